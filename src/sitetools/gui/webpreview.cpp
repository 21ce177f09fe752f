#include "sitetools/gui/webpreview.h"

#include <QStackedLayout>

#ifdef KRTP_HAVE_WEBENGINE
#include <QWebEngineView>
#else
#include <QTextBrowser>
#endif

namespace krtp {

WebPreview::WebPreview(QWidget* parent) : QWidget(parent), m_layout(new QStackedLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void WebPreview::navigate(const QUrl& url) {
    m_address = url;
#ifdef KRTP_HAVE_WEBENGINE
    if (!m_view) {
        if (url.toString() == QLatin1String("about:blank"))
            return; // a blank pane needs no engine
        auto* view = new QWebEngineView(this);
        view->setObjectName(QStringLiteral("webView"));
        m_view = view;
        m_layout->addWidget(view);
    }
    static_cast<QWebEngineView*>(m_view)->setUrl(url);
#else
    if (!m_view) {
        auto* view = new QTextBrowser(this);
        view->setObjectName(QStringLiteral("webView"));
        view->setOpenLinks(false);
        m_view = view;
        m_layout->addWidget(view);
    }
    auto* browser = static_cast<QTextBrowser*>(m_view);
    if (url.isLocalFile())
        browser->setSource(url);
    else
        browser->clear();
#endif
}

} // namespace krtp
