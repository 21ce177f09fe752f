// krtp-cli ftp / get / send / delete: the transfer control and routines from the command line.
#include "cli/clicommand.h"
#include "config/runstate.h"
#include "platform/consoledialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"

#include <cstdio>

namespace krtp::cli {

namespace {

int ftp(const QStringList& args) {
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: krtp-cli ftp CMD [CMD...]\n");
        return 2;
    }
    ConsoleDialogs console;
    setDialogs(&console);
    TransferControl control;
    control.configureForSite();
    int failures = 0;
    for (const QString& command : args) {
        if (!control.Execute(command)) {
            std::fprintf(stderr, "%s\n", qPrintable(control.lastError()));
            ++failures;
            continue;
        }
        control.waitUntilIdle();
        QString reply;
        for (QString piece = control.GetChunk(1024); !piece.isEmpty(); piece = control.GetChunk(1024))
            reply += piece;
        std::fputs(reply.toUtf8().constData(), stdout);
        if (!reply.isEmpty() && !reply.endsWith(QLatin1Char('\n')))
            std::fputs("\n", stdout);
        if (!control.lastSucceeded()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(VisibleControlCharacters(MaskedCommandText(command))),
                         qPrintable(control.lastError()));
            ++failures;
        }
    }
    std::fflush(stdout);
    control.Execute(QStringLiteral("QUIT"));
    control.waitUntilIdle();
    return failures ? 1 : 0;
}

template <typename Routine> int routine(const QStringList& args, const char* usage, Routine call) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: krtp-cli %s PATH\n", usage);
        return 2;
    }
    ConsoleDialogs console;
    setDialogs(&console);
    TransferControl control;
    const bool ok = call(control, args[0]);
    control.Execute(QStringLiteral("QUIT"));
    control.waitUntilIdle();
    return ok ? 0 : 1;
}

int get(const QStringList& args) {
    return routine(args, "get", [](TransferControl& c, const QString& path) {
        QString text = QLatin1String(kSaveToFile);
        return GetFileFromServer(c, path, text);
    });
}
int send(const QStringList& args) {
    return routine(args, "send", SendFileToServer);
}
int del(const QStringList& args) {
    return routine(args, "delete", DeleteFileFromServer);
}

CliRegistration ftpCommand({"ftp", "ftp CMD [CMD...]     run transfer commands in one session", ftp});
CliRegistration getCommand({"get", "get PATH             download a site file into ./VelmarFTP", get});
CliRegistration sendCommand({"send", "send PATH            upload ./VelmarFTP/PATH to the site", send});
CliRegistration deleteCommand({"delete", "delete PATH          delete a site file on the host", del});

} // namespace

} // namespace krtp::cli
