#include "platform/gui/windowmemory.h"

#include "config/settingsstore.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace krtp {

namespace {
const QString kGeometry = QStringLiteral("Geometry");
const QString kState = QStringLiteral("State");
} // namespace

WindowMemory::WindowMemory(QWidget& window) : QObject(&window), m_window(window) {
    window.installEventFilter(this);
}

QString WindowMemory::sectionFor(const QString& windowName) {
    return QStringLiteral("Window ") + windowName;
}

QString WindowMemory::section() const {
    return sectionFor(m_window.objectName());
}

QString WindowMemory::value(const QString& key, const QString& fallback) const {
    return settingsStore().read(section(), key, fallback);
}

void WindowMemory::setValue(const QString& key, const QString& value) {
    settingsStore().write(section(), key, value);
}

QRect WindowMemory::FitInto(const QRect& frame, const QRect& available) {
    QRect r = frame;
    r.setWidth(std::min(r.width(), available.width()));
    r.setHeight(std::min(r.height(), available.height()));
    r.moveLeft(std::clamp(r.left(), available.left(), available.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), available.top(), available.bottom() - r.height() + 1));
    return r;
}

void WindowMemory::fitOnScreen() {
    const QRect frame = m_window.frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = m_window.screen();
    if (!screen)
        return;
    const QRect fitted = FitInto(frame, screen->availableGeometry());
    if (fitted == frame)
        return;
    // The frame (title bar, borders) is part of what must fit; the window's own size excludes it.
    const QSize border = frame.size() - m_window.size();
    if (fitted.size() != frame.size())
        m_window.resize(fitted.size() - border);
    m_window.move(fitted.topLeft());
}

bool WindowMemory::restore() {
    const QByteArray geometry = QByteArray::fromBase64(value(kGeometry).toLatin1());
    if (geometry.isEmpty())
        return false;
    m_window.restoreGeometry(geometry);
    if (auto* main = qobject_cast<QMainWindow*>(&m_window)) {
        const QByteArray state = QByteArray::fromBase64(value(kState).toLatin1());
        if (!state.isEmpty())
            main->restoreState(state);
    }
    return true;
}

void WindowMemory::save() {
    setValue(kGeometry, QString::fromLatin1(m_window.saveGeometry().toBase64()));
    if (auto* main = qobject_cast<QMainWindow*>(&m_window))
        setValue(kState, QString::fromLatin1(main->saveState().toBase64()));
    for (const auto& saver : m_savers)
        saver(*this);
}

void WindowMemory::keep(std::function<void(WindowMemory&)> save, std::function<void(WindowMemory&)> restore) {
    m_savers << std::move(save);
    if (restore)
        restore(*this);
}

bool WindowMemory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Hide)
        save();
    else if (watched == &m_window && event->type() == QEvent::Show)
        fitOnScreen();
    return QObject::eventFilter(watched, event);
}

} // namespace krtp
