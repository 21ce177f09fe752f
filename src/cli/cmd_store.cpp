// krtp-cli store: the shared file store from the command line, through the same operations as the
// file list window.
#include "app/login.h"
#include "app/options.h"
#include "cli/clicommand.h"
#include "cli/membersession.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "filestore/addfiles.h"
#include "filestore/catalogue.h"
#include "filestore/checkinchoices.h"
#include "filestore/filelistmodel.h"
#include "filestore/filestatus.h"
#include "filestore/filestore.h"
#include "filestore/history.h"
#include "filestore/owneractions.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "filestore/textdiff.h"
#include "platform/consoledialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <memory>

namespace krtp::cli {

namespace {

const char kStoreUsage[] =
    "store status|checkout NAME...|checkin NAME... -m COMMENT [--keep] [--revert]|get NAME...|get --all"
    "|addable|add NAME... -d DESCRIPTION [-d DESCRIPTION...]|hide NAME...|describe NAME -d TEXT|remove NAME"
    "|relinquish NAME|edit NAME [--controller X] [--version N] [--author A] [--desc D] [--comment C] "
    "[--my-version N] --user NAME [--password-file FILE] [--local-folder DIR] [--proxy HOST:PORT] [--yes]"
    " [--parallel N] | store history NAME | show NAME --version V | diff NAME --from V [--to W]"
    " | restore NAME --version V [-m COMMENT] | history-depth [N]"
    " | store options [KEY=VALUE...]";

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
    QString password, passwordError;
    if (!takePassword(args, user, password, &passwordError)) {
        std::fprintf(stderr, "%s\n", passwordError.toLocal8Bit().constData());
        return 2;
    }
    const QString proxy = takeOption(args, QStringLiteral("--proxy"));
    QString folder =
        takeOption(args, QStringLiteral("--local-folder"), settingsStore().get(settings::LocalFolder));
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    // Connections for many files; without the option, the member's setting.
    const QString parallelText = takeOption(args, QStringLiteral("--parallel"));
    bool parallelOk = true;
    const int parallel = parallelText.isEmpty() ? 0 : parallelText.toInt(&parallelOk);
    if (!parallelText.isEmpty() && (!parallelOk || parallel < 1 || parallel > 10)) {
        std::fprintf(stderr, "--parallel takes a number of connections from 1 to 10.\n");
        return 2;
    }
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
    session->store->setParallelTransfers(parallel);
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

// Text from the host reaches the terminal with its control characters made visible.
QByteArray field(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return VisibleControlCharacters(t).toUtf8();
}

// Each file the operation did not do, with why, on stderr; true when there was none.
bool reportUndone(const OperationReport& report) {
    for (const OperationReport::Skip& skip : report.skipped)
        if (!skip.intended)
            std::fprintf(stderr, "%s: %s\n", field(skip.name).constData(), field(skip.reason).constData());
    return report.everyFileDone();
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
    // A short catalogue's entries are not the store's: nothing is printed from it.
    if (!s.store->UpdateFileList())
        return 1;
    printList(s.list);
    return 0;
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
            // A question answered the safe way, or a file passed over, left something undone.
            const bool everyFile = reportUndone(ops.lastReport());
            rc = ok && everyFile && s.consoleDialogs.declined() == 0 ? 0 : 1;
        }
        if (s.store->lastOutcome() == FileStore::ReadOutcome::Complete)
            printList(s.list);
    }
    CloseSession(session);
    return rc;
}

int usage() {
    std::fprintf(stderr, "usage: krtp-cli %s\n", kStoreUsage);
    return 2;
}

// Removes every "-d TEXT" from args, in order.
QStringList takeDescriptions(QStringList& args) {
    QStringList texts;
    for (qsizetype i = args.indexOf(QStringLiteral("-d")); i >= 0; i = args.indexOf(QStringLiteral("-d"))) {
        if (i + 1 >= args.size()) {
            args.removeAt(i);
            texts << QString();
            continue;
        }
        texts << args.at(i + 1);
        args.remove(i, 2);
    }
    return texts;
}

// addable, add and hide: the add window's list and actions.
int RunAddCommand(const QString& op, QStringList args) {
    const QStringList descriptions = takeDescriptions(args);
    std::unique_ptr<StoreSession> session;
    QStringList names;
    if (const int rc = OpenSession(args, session, &names))
        return rc;
    const bool wrong =
        op == QLatin1String("addable") ? !names.isEmpty() || !descriptions.isEmpty()
        : op == QLatin1String("hide")
            ? names.isEmpty() || !descriptions.isEmpty()
            : names.isEmpty() || (descriptions.size() != 1 && descriptions.size() != names.size());
    if (wrong) {
        CloseSession(session);
        return usage();
    }
    StoreSession& s = *session;
    StoreOperations ops(*s.store);
    int rc = 1;
    if (op == QLatin1String("hide")) {
        QString error;
        if (addfiles::HideFiles(names, &error))
            rc = 0;
        else
            std::fprintf(stderr, "%s\n", addfiles::HideFailedMessage(error).toLocal8Bit().constData());
    } else if (op == QLatin1String("addable")) {
        if (ops.UpdateFileList()) {
            const addfiles::Listing listing = addfiles::AddableFiles(s.list);
            for (const QString& n : listing.names)
                std::printf("%s\n", n.toUtf8().constData());
            std::fflush(stdout);
            if (listing.error.isEmpty())
                rc = 0;
            else
                std::fprintf(stderr, "%s\n", listing.error.toLocal8Bit().constData());
        }
    } else if (ops.MayAddFiles()) {
        const auto describe = [&](const QString& name) -> std::optional<QString> {
            const qsizetype i = names.indexOf(name);
            return descriptions.size() == 1 ? descriptions.first() : descriptions.value(i);
        };
        const bool added = ops.AddFiles(names, describe);
        rc = reportUndone(ops.lastReport()) && added ? 0 : 1;
        if (s.store->lastOutcome() == FileStore::ReadOutcome::Complete)
            printList(s.list);
    }
    CloseSession(session);
    return rc;
}

// describe, remove, relinquish and edit: one catalogued file, named ignoring case.
int RunOwnerCommand(const QString& op, QStringList args) {
    const QStringList descriptions = takeDescriptions(args);
    QHash<QString, QString> fields;
    if (op == QLatin1String("edit")) {
        for (const char* option :
             {"--controller", "--version", "--author", "--desc", "--comment", "--my-version"}) {
            const QString name = QLatin1String(option);
            if (args.contains(name))
                fields.insert(name, takeOption(args, name));
        }
    }
    std::unique_ptr<StoreSession> session;
    QStringList names;
    if (const int rc = OpenSession(args, session, &names))
        return rc;
    const bool describe = op == QLatin1String("describe");
    if (names.size() != 1 || descriptions.size() != (describe ? 1 : 0)) {
        CloseSession(session);
        return usage();
    }
    StoreSession& s = *session;
    StoreOperations ops(*s.store);
    const QString key = names.first().toLower();
    int rc = 1;
    if (ops.UpdateFileList()) {
        const ListEntry* e = s.list.find(key);
        if (!e) {
            std::fprintf(stderr, "%s is not in the file list.\n", names.first().toLocal8Bit().constData());
        } else if (describe) {
            rc = ops.ChangeFileDescription(key, descriptions.first()) ? 0 : 1;
        } else if (op == QLatin1String("remove")) {
            // Declining the question leaves the entry, and that is not a success here.
            rc = ops.DeleteFile(key) && !s.list.contains(key) ? 0 : 1;
        } else if (op == QLatin1String("relinquish")) {
            rc = ops.RelinquishControl(key) &&
                         s.list.columnText(key, QLatin1String(columns::kAuthor)).isEmpty()
                     ? 0
                     : 1;
        } else {
            StoreOperations::FileDetailsEdit edit = DetailsOfEntry(*e);
            edit.checkedOutBy = fields.value(QStringLiteral("--controller"), edit.checkedOutBy);
            edit.serverVersion = fields.value(QStringLiteral("--version"), edit.serverVersion);
            edit.author = fields.value(QStringLiteral("--author"), edit.author);
            edit.description = fields.value(QStringLiteral("--desc"), edit.description);
            edit.lastComment = fields.value(QStringLiteral("--comment"), edit.lastComment);
            edit.localVersion = fields.value(QStringLiteral("--my-version"), edit.localVersion);
            rc = ops.EditFileDetails(key, edit) ? 0 : 1;
        }
        printList(s.list);
    }
    CloseSession(session);
    return rc;
}

// options: the options window's settings, printed or changed by its rules. Local settings only: no
// login and no host.
int RunOptions(const QStringList& args) {
    SettingsStore& store = settingsStore();
    OptionBoxes boxes = LoadOptions(store, int(LeadingNumber(store.get(settings::CurrentView))));
    const QString listKey = QStringLiteral("CurrentView");
    for (const QString& arg : args) {
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return usage();
        const QString key = arg.left(eq);
        const QString value = arg.mid(eq + 1);
        if (key.compare(listKey, Qt::CaseInsensitive) == 0) {
            if (value != QLatin1String("1") && value != QLatin1String("2") && value != QLatin1String("3"))
                return usage();
            boxes.listStyle = value.toInt();
            continue;
        }
        bool known = false;
        for (const OptionBox& o : OptionBoxKeys()) {
            QString name = QLatin1String(o.key->key);
            if (name.startsWith(QLatin1Char('/')))
                name.remove(0, 1);
            if (key.compare(name, Qt::CaseInsensitive) != 0)
                continue;
            if (value.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
                boxes.*o.box = true;
            else if (value.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
                boxes.*o.box = false;
            else
                return usage();
            known = true;
        }
        if (!known)
            return usage();
    }
    if (!args.isEmpty())
        SaveOptions(store, boxes);
    QByteArray out = listKey.toUtf8() + '=' + QByteArray::number(boxes.listStyle) + '\n';
    for (const OptionBox& o : OptionBoxKeys()) {
        QString name = QLatin1String(o.key->key);
        if (name.startsWith(QLatin1Char('/')))
            name.remove(0, 1);
        out += name.toUtf8() + (boxes.*o.box ? "=Yes\n" : "=No\n");
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return 0;
}

// The "--version N" style options of the history commands: 0 when absent, -1 when not a version.
int takeVersion(QStringList& args, const QString& option) {
    if (!args.contains(option))
        return 0;
    bool ok = false;
    const int v = takeOption(args, option).toInt(&ok);
    return ok && v >= 1 ? v : -1;
}

// history, show, diff, restore and history-depth: the versions the store keeps of each file.
int RunHistoryCommand(const QString& op, QStringList args) {
    const int version = takeVersion(args, QStringLiteral("--version"));
    const int from = takeVersion(args, QStringLiteral("--from"));
    const int to = takeVersion(args, QStringLiteral("--to"));
    QString extra;
    if (const qsizetype i = args.indexOf(QStringLiteral("-m")); i >= 0 && i + 1 < args.size()) {
        extra = args.at(i + 1);
        args.remove(i, 2);
    }
    std::unique_ptr<StoreSession> session;
    QStringList names;
    if (const int rc = OpenSession(args, session, &names))
        return rc;
    const bool depthCommand = op == QLatin1String("history-depth");
    const bool wrong =
        version < 0 || from < 0 || to < 0 || (depthCommand ? names.size() > 1 : names.size() != 1) ||
        (op == QLatin1String("show") && version == 0) || (op == QLatin1String("restore") && version == 0) ||
        (op == QLatin1String("diff") && from == 0);
    if (wrong) {
        CloseSession(session);
        return usage();
    }
    StoreSession& s = *session;
    StoreOperations ops(*s.store);
    FileHistory history(*s.store);
    int rc = 1;
    const auto fail = [](const QString& text) {
        std::fprintf(stderr, "%s\n", field(text).constData());
        return 1;
    };
    if (!ops.UpdateFileList()) {
        CloseSession(session);
        return 1;
    }
    if (depthCommand) {
        if (names.isEmpty()) {
            std::printf("%d\n", history.depth());
            rc = 0;
        } else if (runState().UserLevel != LevelAdministrator) {
            rc = fail(StoreOperations::NoAccessMessage());
        } else {
            bool ok = false;
            const int n = names.first().toInt(&ok);
            QString error;
            rc = ok && history.setDepth(n, &error)
                     ? 0
                     : fail(error.isEmpty() ? QStringLiteral("Not a number: ") + names.first() : error);
        }
        std::fflush(stdout);
        CloseSession(session);
        return rc;
    }
    const QString key = names.first().toLower();
    const ListEntry* e = s.list.find(key);
    // A removed file keeps its history: it can be read, and an administrator can bring it back.
    const bool removed = !e && op != QLatin1String("diff") && IsSharedFileName(names.first());
    if (!e && !removed) {
        rc = fail(names.first() + QStringLiteral(" is not in the file list."));
        CloseSession(session);
        return rc;
    }
    const QString name = e ? e->text : names.first();
    // A removed file's current version is the last one its history kept.
    const QList<history::Record> kept = e ? QList<history::Record>() : history.Versions(name);
    if (!e && kept.isEmpty()) {
        rc = fail(names.first() + QStringLiteral(" is not in the file list."));
        CloseSession(session);
        return rc;
    }
    const int current =
        e ? int(LeadingNumber(e->columns.value(QLatin1String(columns::kVer)))) : kept.last().version;
    const auto fetch = [&](int v, QByteArray& data) {
        const QString scratch = QStringLiteral("_files.history.version");
        QString error;
        const bool got =
            history.FetchVersion(name, v, current, scratch, &error) && ReadWholeFile(scratch, data, &error);
        QFile::remove(scratch);
        if (!got)
            fail(error);
        return got;
    };
    if (op == QLatin1String("history")) {
        for (const history::Record& r : e ? history.Versions(name) : kept) {
            QByteArray line = QByteArray::number(r.version) + '\t' + field(r.member) + '\t' +
                              r.utc.toString(Qt::ISODate).toLatin1() + '\t' + QByteArray::number(r.size) +
                              '\t' + field(r.comment) + '\n';
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        }
        std::fflush(stdout);
        rc = 0;
    } else if (op == QLatin1String("show")) {
        QByteArray data;
        if (fetch(version, data)) {
            std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
            std::fflush(stdout);
            rc = 0;
        }
    } else if (op == QLatin1String("diff")) {
        QByteArray a, b;
        QString toLabel = name + QStringLiteral(" (your copy)");
        bool got = fetch(from, a);
        if (got && to > 0) {
            got = fetch(to, b);
            toLabel = name + QStringLiteral(" (version ") + QString::number(to) + QLatin1Char(')');
        } else if (got) {
            QString error;
            got = ReadWholeFile(name, b, &error);
            if (!got)
                fail(error);
        }
        if (got) {
            const TextDiff d = CompareVersions(
                a, b, name + QStringLiteral(" (version ") + QString::number(from) + QLatin1Char(')'),
                toLabel);
            const QByteArray text = d.text.toUtf8();
            std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
            std::fflush(stdout);
            rc = d.different ? 1 : 0;
        } else {
            rc = 2;
        }
    } else if (op == QLatin1String("restore")) {
        rc = (removed ? RestoreRemovedFile(ops, name, version, extra)
                      : RestoreVersion(ops, key, version, extra))
                 ? 0
                 : 1;
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
    if (name == QLatin1String("addable") || name == QLatin1String("add") || name == QLatin1String("hide"))
        return RunAddCommand(name, args);
    if (name == QLatin1String("describe") || name == QLatin1String("remove") ||
        name == QLatin1String("relinquish") || name == QLatin1String("edit"))
        return RunOwnerCommand(name, args);
    if (name == QLatin1String("options"))
        return RunOptions(args);
    if (name == QLatin1String("history") || name == QLatin1String("show") || name == QLatin1String("diff") ||
        name == QLatin1String("restore") || name == QLatin1String("history-depth"))
        return RunHistoryCommand(name, args);
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
