// krtp-cli store: the shared file store from the command line, through the same operations as the
// file list window.
#include "app/login.h"
#include "cli/clicommand.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "filestore/checkinchoices.h"
#include "filestore/filelistmodel.h"
#include "filestore/filestatus.h"
#include "filestore/filestore.h"
#include "filestore/storeoperations.h"
#include "platform/consoledialogs.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <cstdio>
#include <memory>

namespace krtp::cli {

namespace {

const char kStoreUsage[] =
    "store status|checkout NAME...|checkin NAME... -m COMMENT [--keep] [--revert]|get NAME...|get --all "
    "--user NAME --password PW [--local-folder DIR] [--proxy HOST:PORT] [--yes]";

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
    runState().CurrentUserName = check.member.name;
    runState().UserLevel = check.member.level;
    runState().ProxyServer = proxy;
    return 0;
}

// The console's dialogs, except that --yes confirms the repair of a broken catalogue once per run:
// a backup that does not mend it would otherwise be sent again and again.
class StoreConsoleDialogs : public ConsoleDialogs {
public:
    using ConsoleDialogs::ConsoleDialogs;
    Button message(const QString& text, Icon icon, Buttons buttons, Button defaultButton,
                   const QString& title) override {
        const bool repair = text.startsWith(QLatin1String("KRtp detected a corrupt or missing "));
        if (repair && m_repairs++ > 0) {
            QString shown = text;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            std::fprintf(stderr, "%s\n%s\n", shown.toLocal8Bit().constData(),
                         "The shared file list is still broken after one repair; giving up.");
            return Cancel;
        }
        return ConsoleDialogs::message(text, icon, buttons, defaultButton, title);
    }

private:
    int m_repairs = 0;
};

// What every store subcommand needs: a logged-in member, the local folder as working directory,
// console dialogs and a store on its own transfer control and list.
struct StoreSession {
    StoreConsoleDialogs consoleDialogs;
    TransferControl inet;
    FileListModel list;
    std::unique_ptr<FileStore> store;

    explicit StoreSession(bool answerYes) : consoleDialogs(answerYes, stderr) {}
};

// Parses the shared options, logs in and enters the local folder. Returns 0 or the exit code.
// Arguments that are not options go to names when given, else they are a usage error.
int OpenSession(QStringList& args, std::unique_ptr<StoreSession>& session, QStringList* names = nullptr) {
    const QString user = takeOption(args, QStringLiteral("--user"));
    const QString password = takeOption(args, QStringLiteral("--password"));
    const QString proxy = takeOption(args, QStringLiteral("--proxy"));
    QString folder =
        takeOption(args, QStringLiteral("--local-folder"), settingsStore().get(settings::LocalFolder));
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    if (names) {
        for (qsizetype i = args.size() - 1; i >= 0; --i)
            if (!args.at(i).startsWith(QLatin1String("--")))
                names->prepend(args.takeAt(i));
    }
    if (user.isEmpty() || !args.isEmpty()) {
        std::fprintf(stderr, "usage: krtp-cli %s\n", kStoreUsage);
        return 2;
    }
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

    session = std::make_unique<StoreSession>(yes);
    setDialogs(&session->consoleDialogs);
    session->inet.configureForSite();
    session->inet.Document = QStringLiteral("/");
    session->store =
        std::make_unique<FileStore>(session->inet, session->list, settingsStore(), session->consoleDialogs);
    return 0;
}

void CloseSession(std::unique_ptr<StoreSession>& session) {
    if (!session)
        return;
    session->inet.Execute(QStringLiteral("QUIT"));
    session->inet.waitUntilIdle(5000);
    setDialogs(nullptr);
    session.reset();
}

QByteArray field(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return t.toUtf8();
}

// One line per entry in list order: name, status and the columns, separated by tabs.
void printList(const FileListModel& list) {
    for (const ListEntry& e : list.entries()) {
        QByteArray line = field(e.text);
        for (const char* column : {columns::kStatus, columns::kOwner, columns::kVer, columns::kMyVer,
                                   columns::kAuthor, columns::kDesc, columns::kComment}) {
            line += '\t';
            line += field(e.columns.value(QLatin1String(column)));
        }
        line += '\n';
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    }
    std::fflush(stdout);
}

int status(StoreSession& s) {
    const bool complete = s.store->UpdateFileList();
    printList(s.list);
    return complete ? 0 : 1;
}

// The command line's answer to the check-in's question: the same comment and choices for every
// file, as "Check In All" gives them.
class CliCheckInPrompt : public CheckInPrompt {
public:
    QString comment;
    bool keep = false;
    bool revert = false;
    bool Do_CheckInFile(const QString&, QString& pstrComment, bool& pblnKeepCheckedOut, bool& pblnCheckInAll,
                        bool& pblnDontUpdateServer) override {
        pstrComment = CheckInChoices::CleanComment(comment);
        pblnKeepCheckedOut = keep;
        pblnCheckInAll = true;
        pblnDontUpdateServer = revert;
        return true;
    }
};

// checkout, checkin and get: select the named entries (ignoring case) in the rebuilt list, run the
// operation as the window does, print the list it leaves.
int RunStoreOperation(const QString& op, QStringList args) {
    CliCheckInPrompt prompt;
    bool all = false;
    bool hasComment = false;
    if (op == QLatin1String("get"))
        all = takeFlag(args, QStringLiteral("--all"));
    if (op == QLatin1String("checkin")) {
        prompt.keep = takeFlag(args, QStringLiteral("--keep"));
        prompt.revert = takeFlag(args, QStringLiteral("--revert"));
        const qsizetype i = args.indexOf(QStringLiteral("-m"));
        if (i >= 0 && i + 1 < args.size()) {
            prompt.comment = args.at(i + 1);
            args.remove(i, 2);
            hasComment = true;
        }
    }
    std::unique_ptr<StoreSession> session;
    QStringList names;
    if (const int rc = OpenSession(args, session, &names))
        return rc;
    const bool usageError =
        (names.isEmpty() != all) || (op == QLatin1String("checkin") &&
                                     ((!hasComment && !prompt.revert) || (prompt.keep && prompt.revert)));
    if (usageError) {
        CloseSession(session);
        std::fprintf(stderr, "usage: krtp-cli %s\n", kStoreUsage);
        return 2;
    }
    StoreSession& s = *session;
    StoreOperations ops(*s.store);
    ops.setCheckInPrompt(&prompt);
    int rc = 1;
    if (ops.UpdateFileList()) {
        bool known = true;
        s.list.setAllSelected(all);
        for (const QString& n : names) {
            if (!s.list.contains(n.toLower())) {
                std::fprintf(stderr, "%s is not in the file list.\n", n.toLocal8Bit().constData());
                known = false;
            }
            s.list.setSelected(n.toLower(), true);
        }
        if (known) {
            bool ok = false;
            if (op == QLatin1String("checkout"))
                ok = ops.CheckOut();
            else if (op == QLatin1String("checkin"))
                ok = ops.CheckIn();
            else
                ok = ops.GetLatestVersion();
            // A question answered the safe way left something undone.
            rc = ok && s.consoleDialogs.declined() == 0 ? 0 : 1;
        }
        printList(s.list);
    }
    CloseSession(session);
    return rc;
}

struct StoreSubcommand {
    const char* name;
    int (*run)(StoreSession& session);
};

const StoreSubcommand kSubcommands[] = {
    {"status", status},
};

int store(const QStringList& arguments) {
    QStringList args = arguments;
    const QString name = args.isEmpty() ? QString() : args.takeFirst();
    if (name == QLatin1String("checkout") || name == QLatin1String("checkin") || name == QLatin1String("get"))
        return RunStoreOperation(name, args);
    for (const StoreSubcommand& sub : kSubcommands) {
        if (name != QLatin1String(sub.name))
            continue;
        std::unique_ptr<StoreSession> session;
        if (const int rc = OpenSession(args, session))
            return rc;
        const int rc = sub.run(*session);
        CloseSession(session);
        return rc;
    }
    std::fprintf(stderr, "usage: krtp-cli %s\n", kStoreUsage);
    return 2;
}

CliRegistration storeCommand({"store", kStoreUsage, store});

} // namespace

} // namespace krtp::cli
