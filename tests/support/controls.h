#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace krtp::test {

// A window's control by its object name (the name the window gives it). Ends the test run at once
// when there is none, naming what was missing, rather than crashing on a null pointer later.
template <class T = QObject> T* control(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("%s has no control named %s of the expected kind", qPrintable(window.objectName()), name);
    return found;
}

} // namespace krtp::test
