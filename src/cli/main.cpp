#include "app/savedlogin.h"
#include "cli/clicommand.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/consoledialogs.h"
#include "platform/keyring.h"
#include "transfer/transfercontrol.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>

#include <cstdio>

namespace krtp::cli {

namespace {
QList<CliCommand>& registry() {
    static QList<CliCommand> commands;
    return commands;
}
} // namespace

CliRegistration::CliRegistration(const CliCommand& command) {
    registry().append(command);
}

const QList<CliCommand>& cliCommands() {
    return registry();
}

QString takeOption(QStringList& args, const QString& name, const QString& fallback) {
    const qsizetype i = args.indexOf(name);
    if (i < 0 || i + 1 >= args.size())
        return fallback;
    const QString value = args.at(i + 1);
    args.remove(i, 2);
    return value;
}

bool takeFlag(QStringList& args, const QString& name) {
    return args.removeAll(name) > 0;
}

bool takePassword(QStringList& args, const QString& user, QString& password, QString* error) {
    const bool onCommandLine = args.contains(QStringLiteral("--password"));
    const QString given = takeOption(args, QStringLiteral("--password"));
    const QString file = takeOption(args, QStringLiteral("--password-file"));
    if (qEnvironmentVariableIsSet("KRTP_PASSWORD")) {
        password = qEnvironmentVariable("KRTP_PASSWORD");
        return true;
    }
    if (!file.isEmpty()) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("Cannot read the password file ") + file + QStringLiteral(": ") +
                         f.errorString();
            return false;
        }
        QByteArray line = f.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        password = QString::fromUtf8(line);
        return true;
    }
    if (onCommandLine) {
        std::fprintf(stderr,
                     "Warning: --password shows the password to every local user in the process list; "
                     "use KRTP_PASSWORD or --password-file instead.\n");
        password = given;
        return true;
    }
    const SettingsStore& store = settingsStore();
    if (store.get(settings::LoginSavePassword).toLower() == QLatin1String("yes") &&
        store.get(settings::LoginUserName).trimmed().compare(user.trimmed(), Qt::CaseInsensitive) == 0)
        password = LoadSavedPassword(store, keyring());
    else
        password.clear();
    return true;
}

namespace {
int version(const QStringList&) {
    std::printf("%s\n", qPrintable(GetProgramVersion()));
    return 0;
}
CliRegistration versionCommand({"version", "version", version});
} // namespace

} // namespace krtp::cli

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KRtp"));
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString name = args.value(0);
    if (name == QLatin1String("--version")) {
        std::printf("krtp-cli %s\n", qPrintable(krtp::GetProgramVersion()));
        return 0;
    }
    // The key file's passphrase comes as the password does: from the environment, never the command line.
    if (qEnvironmentVariableIsSet("KRTP_SFTP_KEY_PASSPHRASE"))
        krtp::TransferControl::SetKeyPassphrase(qEnvironmentVariable("KRTP_SFTP_KEY_PASSPHRASE"));
    // Any subcommand may meet an SFTP host for the first time.
    if (krtp::cli::takeFlag(args, QStringLiteral("--trust-host-key")))
        krtp::TransferControl::TrustHostKey({});
    const bool help = name == QLatin1String("--help") || name == QLatin1String("-h");
    for (const krtp::cli::CliCommand& c : krtp::cli::cliCommands()) {
        if (name == QLatin1String(c.name)) {
            args.removeFirst();
            return c.run(args);
        }
    }
    // Asked for, the usage goes to standard output and is no error.
    FILE* out = help ? stdout : stderr;
    std::fprintf(out, "usage:\n");
    for (const krtp::cli::CliCommand& c : krtp::cli::cliCommands())
        std::fprintf(out, "  krtp-cli %s\n", c.usage);
    std::fprintf(out, "  krtp-cli --version\n");
    std::fprintf(out,
                 "Any subcommand takes --trust-host-key: trust an SFTP host's key that is not known yet.\n");
    return help ? 0 : 2;
}
