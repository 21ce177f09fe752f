#include "cli/membersession.h"

#include "app/login.h"
#include "cli/clicommand.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "util/fileutil.h"

#include <QDir>
#include <cstdio>

namespace krtp::cli {

MemberSession::MemberSession(bool answerYes) : consoleDialogs(answerYes, stderr) {
    setDialogs(&consoleDialogs);
    inet.configureForSite();
}

MemberSession::~MemberSession() {
    inet.Execute(QStringLiteral("QUIT"));
    inet.waitUntilIdle(5000);
    setDialogs(nullptr);
}

namespace {

int usageError(const char* usage) {
    std::fprintf(stderr, "usage: krtp-cli %s\n", usage);
    return 2;
}

} // namespace

int OpenMemberSession(QStringList& args, const char* usage, std::unique_ptr<MemberSession>& session,
                      QStringList& positional) {
    const QString user = takeOption(args, QStringLiteral("--user"));
    QString password, passwordError;
    if (!takePassword(args, user, password, &passwordError)) {
        std::fprintf(stderr, "%s\n", passwordError.toLocal8Bit().constData());
        return 2;
    }
    const QString proxy = takeOption(args, QStringLiteral("--proxy"));
    QString folder =
        takeOption(args, QStringLiteral("--local-folder"), settingsStore().get(settings::LocalFolder));
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    for (qsizetype i = args.size() - 1; i >= 0; --i)
        if (!args.at(i).startsWith(QLatin1String("--")))
            positional.prepend(args.takeAt(i));
    if (user.isEmpty() || !args.isEmpty())
        return usageError(usage);
    if (folder.isEmpty()) {
        std::fprintf(stderr, "No local folder: give --local-folder DIR or set one in the program.\n");
        return 2;
    }
    folder = QDir(folder).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!QDir::setCurrent(folder)) {
        std::fprintf(stderr, "Cannot enter the local folder %s\n", folder.toLocal8Bit().constData());
        return 2;
    }

    if (const int rc = LoginMember(user, password, proxy))
        return rc;
    runState().LocalFolder = folder;
    runState().NoReadOnly = settingsStore().isYes(settings::NoReadOnly);
    MakeLocalFolder(QLatin1String(kMirrorRoot));
    session = std::make_unique<MemberSession>(yes);
    return 0;
}

// Logs the member in with the login's credential check; on success the run-time state holds the
// member's name and level. Returns the exit code to end with, or 0.
int LoginMember(const QString& user, const QString& password, const QString& proxy) {
    TransferControl control;
    UseLoginProxy(control, proxy);
    const LoginCheck check = CheckCredentials(control, siteConfig().baseUrl, user, password);
    if (check.outcome == LoginCheck::FetchFailed) {
        std::fprintf(stderr, "%s\n", check.error.toLocal8Bit().constData());
        return 3;
    }
    if (check.outcome != LoginCheck::Accepted) {
        std::fprintf(stderr, "%s\n", kInvalidLoginMessage);
        return 1;
    }
    if (check.member.level < LevelReadOnly || check.member.level > LevelAdministrator) {
        std::fprintf(stderr, "Sorry, you've been locked out.\n");
        return 1;
    }
    // An SFTP host's key is settled before any subcommand talks to the host: an unknown key is refused
    // with its fingerprint unless --trust-host-key was given.
    QString hostKeyError;
    if (!SettleHostKey(proxy, nullptr, &hostKeyError)) {
        std::fprintf(stderr, "%s\n", hostKeyError.toLocal8Bit().constData());
        // A refused key or a missing passphrase is a refused login; anything else, no answer.
        const bool refused = hostKeyError.startsWith(QLatin1String("The host's SSH key")) ||
                             hostKeyError.contains(QLatin1String("passphrase"));
        return refused ? 1 : 3;
    }
    runState().CurrentUserName = check.member.name;
    runState().MemberNames = check.member.members;
    runState().UserLevel = check.member.level;
    runState().ProxyServer = proxy;
    return 0;
}

} // namespace krtp::cli
