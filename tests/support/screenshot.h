#pragma once

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

namespace krtp::test {

// Folder for the window pictures of the screens label: <build>/screens.
inline QString screensFolder() {
    const QString out =
        qEnvironmentVariable("KRTP_BINARY_DIR", QDir::currentPath()) + QStringLiteral("/screens");
    QDir().mkpath(out);
    return out;
}

// Renders a shown window to <build>/screens/<name>.png; false when the file cannot be written.
inline bool saveScreen(QWidget& w, const QString& name) {
    QApplication::processEvents();
    const QString file = screensFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!w.grab().save(file))
        return false;
    qInfo("%s", qPrintable(file));
    return true;
}

} // namespace krtp::test
