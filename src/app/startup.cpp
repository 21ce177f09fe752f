#include "app/startup.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"

#include <QFile>

namespace krtp {

QByteArray DefaultExternalEditors() {
    // Three common Linux programs, in the shape of the historic list: name line, command line,
    // commands two and three in double quotes.
    return QByteArrayLiteral("Text Editor (gedit)\r\n"
                             "/usr/bin/gedit\r\n"
                             "HTML Editor (Bluefish)\r\n"
                             "\"/usr/bin/bluefish\"\r\n"
                             "Image Editor (GIMP)\r\n"
                             "\"/usr/bin/gimp\"\r\n");
}

void PrepareExternalEditors(const QString& programFolder) {
    const QString path = programFolder + QLatin1Char('/') + QLatin1String(kExternalEditorsFileName);
    runState().ExternalEditorsFile = path;
    if (QFile::exists(path))
        return;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        f.write(DefaultExternalEditors());
}

void ReadStartupSettings(SettingsStore& store) {
    runState().NoReadOnly = store.isYes(settings::NoReadOnly);
}

QString CommandLineText(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

void ProxyFromCommandLine(const QString& commandLine) {
    const qsizetype pos = commandLine.indexOf(QLatin1String("/proxy"), 0, Qt::CaseSensitive);
    if (pos >= 0)
        runState().ProxyServer = commandLine.mid(pos + 7);
}

} // namespace krtp
