#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QWidget>

namespace krtp::test {

// The pictures show the windows as on a common desktop screen of 1400 x 900: the offscreen
// platform's own screen (800 x 600) would have every window fitted into it. Set before the
// application object exists, from the picture tests only.
inline bool useDesktopSizedScreen() {
    const QString config = QDir::temp().filePath(QStringLiteral("krtp-screens-desktop.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(R"({"screens": [{"name": "Desktop", "x": 0, "y": 0, "width": 1400, "height": 900,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    return true;
}
inline const bool kDesktopSizedScreen = useDesktopSizedScreen();

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
