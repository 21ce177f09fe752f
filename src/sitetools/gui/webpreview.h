#pragma once

#include <QUrl>
#include <QWidget>

class QStackedLayout;

namespace krtp {

// The browser view of the preview panes (webPreview). It shows a local file given as a file URL,
// or a blank page. The engine starts on the first page shown, so a window that never previews
// costs nothing; without Qt WebEngine a plain rich-text view stands in.
class WebPreview : public QWidget {
    Q_OBJECT
public:
    explicit WebPreview(QWidget* parent = nullptr);

    void navigate(const QUrl& url);
    void showBlank() { navigate(QUrl(QStringLiteral("about:blank"))); }
    // The address last navigated to.
    QUrl address() const { return m_address; }
    // The view inside, once created.
    QWidget* view() const { return m_view; }

private:
    QStackedLayout* m_layout;
    QWidget* m_view = nullptr;
    QUrl m_address;
};

} // namespace krtp
