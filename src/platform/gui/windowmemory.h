#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QHeaderView;
class QRect;
class QWidget;

namespace krtp {

// Keeps a window's size and position, and the layout of the parts it registers (splitters, list
// columns, sort order, docked panes), between openings. Each window has a section of its own in the
// settings store, "Window " + its object name, apart from every section and key the program's
// preferences use. The window restores when it is made; the memory saves whenever the window is
// hidden or closed.
class WindowMemory : public QObject {
public:
    explicit WindowMemory(QWidget& window);

    static QString sectionFor(const QString& windowName);
    QString section() const;

    QString value(const QString& key, const QString& fallback = {}) const;
    void setValue(const QString& key, const QString& value);

    // A window frame moved (and if need be shrunk by what exceeds) into the available area of a screen.
    static QRect FitInto(const QRect& frame, const QRect& available);
    // The window inside the available area of the screen it opens on; done at every showing, so a
    // place kept on another (or a larger) screen comes back whole.
    void fitOnScreen();

    // Size and position (and a main window's docked panes); false when nothing was kept yet.
    bool restore();
    void save();

    // A part of the window that keeps more than its geometry: save runs on every save, restore at
    // once when something was kept for the window.
    void keep(std::function<void(WindowMemory&)> save, std::function<void(WindowMemory&)> restore);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    QList<std::function<void(WindowMemory&)>> m_savers;
};

} // namespace krtp
