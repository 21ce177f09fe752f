// krtp-cli users: the accounts window's list and edits from the command line, under the same rules
// for the logged-in member.
#include "accounts/useraccounts.h"
#include "cli/clicommand.h"
#include "cli/membersession.h"
#include "config/runstate.h"
#include "transfer/controlfiles.h"
#include "transfer/ftpcommand.h"

#include <cstdio>

namespace krtp::cli {

namespace {

const char kUsersUsage[] =
    "users list|set NAME [--password P|--new-password P] [--level N] [--new] [--rename NEWNAME] --user NAME "
    "[--password-file FILE] [--local-folder DIR] [--proxy HOST:PORT] [--yes]";

int usageError() {
    std::fprintf(stderr, "usage: krtp-cli %s\n", kUsersUsage);
    return 2;
}

// Names come from the host's account file: a line break in one must not print a second member.
void printEntry(const UserEntry& e) {
    std::printf("%s\t%d\n", VisibleControlCharacters(e.text).toLocal8Bit().constData(), int(e.level));
}

// A name as the accounts window lets it be typed: ASCII letters and digits only.
bool checkName(const QString& name) {
    int start = 0, length = 0;
    if (!name.isEmpty() && FilterMemberName(name, start, length) == name)
        return true;
    std::fprintf(stderr, "Member names may contain only the letters A to Z and the digits 0 to 9.\n");
    return false;
}

int users(const QStringList& arguments) {
    QStringList args = arguments;
    const QString sub = args.isEmpty() ? QString() : args.takeFirst();
    if (sub != QLatin1String("list") && sub != QLatin1String("set"))
        return usageError();

    // "--password" is also the login's option. In "set" it gives the member's new password when it is
    // given twice (the first) or when the login's password comes from KRTP_PASSWORD or a password
    // file; "--new-password" is never ambiguous.
    QString newPassword;
    bool hasNewPassword = false;
    QString levelText, rename;
    bool isNew = false;
    if (sub == QLatin1String("set")) {
        const qsizetype first = args.indexOf(QStringLiteral("--password"));
        const bool twice = first >= 0 && args.indexOf(QStringLiteral("--password"), first + 1) > 0;
        const bool loginElsewhere =
            qEnvironmentVariableIsSet("KRTP_PASSWORD") || args.contains(QStringLiteral("--password-file"));
        if (first >= 0 && first + 1 < args.size() && (twice || loginElsewhere)) {
            newPassword = args.at(first + 1);
            hasNewPassword = true;
            args.remove(first, 2);
        }
        if (args.contains(QStringLiteral("--new-password"))) {
            newPassword = takeOption(args, QStringLiteral("--new-password"));
            hasNewPassword = true;
        }
        levelText = takeOption(args, QStringLiteral("--level"));
        rename = takeOption(args, QStringLiteral("--rename"));
        isNew = takeFlag(args, QStringLiteral("--new"));
    }

    std::unique_ptr<MemberSession> session;
    QStringList positional;
    if (const int rc = OpenMemberSession(args, kUsersUsage, session, positional))
        return rc;
    if (runState().UserLevel != LevelAdministrator) {
        std::fprintf(stderr, "Only administrators may edit the members.\n");
        return 1;
    }
    UserAccounts accounts(session->inet, session->consoleDialogs);

    if (sub == QLatin1String("list")) {
        if (!positional.isEmpty())
            return usageError();
        if (!accounts.Load())
            return 1;
        for (const UserEntry& e : accounts.entries())
            printEntry(e);
        accounts.DiscardMirror();
        return 0;
    }

    if (positional.size() != 1)
        return usageError();
    const QString name = positional.first();
    int level = 0;
    if (!levelText.isEmpty()) {
        bool ok = false;
        level = levelText.toInt(&ok);
        if (!ok || level < LevelLockedOut || level > LevelAdministrator)
            return usageError();
    }
    if ((isNew || !rename.isEmpty()) && !IsAllowedMemberName(isNew ? name : rename)) {
        std::fprintf(stderr, "%s\n", UserAccounts::underscoreMessage().toLocal8Bit().constData());
        return 1;
    }
    if ((isNew || !rename.isEmpty()) && !checkName(isNew ? name : rename))
        return 2;
    if (!accounts.Load())
        return 1;

    int index = -1;
    AccountRecord wanted;
    if (isNew) {
        index = accounts.NewUser();
        wanted = {name, newPassword, quint8(level ? level : LevelFullAccess)};
    } else {
        // The login takes the later of two records with one name; so does this.
        for (int i = accounts.count() - 1; i >= 0 && index < 0; --i)
            if (accounts.entries().at(i).text.toLower() == name.trimmed().toLower())
                index = i;
        const std::optional<AccountRecord> existing = index >= 0 ? accounts.Record(index) : std::nullopt;
        if (!existing) {
            std::fprintf(stderr, "%s is not a member.\n", name.toLocal8Bit().constData());
            accounts.DiscardMirror();
            return 1;
        }
        wanted = {existing->Name.trimmed(), existing->Password.trimmed(), existing->Level};
        if (hasNewPassword)
            wanted.Password = newPassword;
        if (level)
            wanted.Level = quint8(level);
        if (!rename.isEmpty())
            wanted.Name = rename;
    }
    if (!accounts.Apply(index, wanted)) {
        accounts.DiscardMirror();
        return 1;
    }
    // The saved file may have other members before it: what was set is printed as set.
    const UserEntry applied = accounts.entries().at(index);
    const bool saved = accounts.UpdateServer();
    accounts.DiscardMirror();
    // Another administrator's change of this member came first; the message said so.
    if (!saved || !accounts.notSaved().isEmpty())
        return 1;
    printEntry(applied);
    return 0;
}

CliRegistration usersCommand({"users", kUsersUsage, users});

} // namespace

} // namespace krtp::cli
