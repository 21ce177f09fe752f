#include "platform/gui/windowmemory.h"

#include "config/settingsstore.h"

#include <QEvent>
#include <QMainWindow>
#include <QWidget>

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
    return QObject::eventFilter(watched, event);
}

} // namespace krtp
