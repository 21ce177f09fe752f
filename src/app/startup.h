#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

class SettingsStore;

// The first start-up steps, before any window: they need no host and no member.

// Sets ExternalEditorsFile and writes the default list when no such file exists; an existing
// list is never rewritten.
void PrepareExternalEditors(const QString& programFolder);
QByteArray DefaultExternalEditors();

// NoReadOnly from the settings store.
void ReadStartupSettings(SettingsStore& store);

// The proxy switch: everything from the 8th character after the first (case-sensitive) "/proxy"
// of the command line. commandLine holds the arguments after the program name joined by blanks.
void ProxyFromCommandLine(const QString& commandLine);
QString CommandLineText(const QStringList& arguments);

} // namespace krtp
