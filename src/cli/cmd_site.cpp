// krtp-cli site: the site explorer from the command line, through the same actions and access rules
// as its window.
#include "app/login.h"
#include "cli/clicommand.h"
#include "cli/membersession.h"
#include "cli/sitesession.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "sitetools/sitenames.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace krtp::cli {

namespace {

const char kSiteUsage[] =
    "site ls [FOLDERKEY]|get PATH...|put PATH...|rm PATH...|rmlocal PATH...|add FOLDERKEY FILE...|"
    "new FOLDERKEY NAME|replace PATH FILE --user NAME [--password-file FILE] [--local-folder DIR] "
    "[--proxy HOST:PORT] [--yes] [--parallel N] (password also from KRTP_PASSWORD)";

void err(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int usage() {
    std::fprintf(stderr, "usage: krtp-cli %s\n", kSiteUsage);
    return 2;
}

int list(SiteSession& s, const QStringList& args) {
    if (args.size() > 1)
        return usage();
    const QString key = args.value(0);
    if (!s.explorer.openFolder(key)) {
        err(QStringLiteral("There is no folder ") + key + QStringLiteral(" in your view of the site."));
        return 1;
    }
    QByteArray out;
    for (const FolderNode* child : s.explorer.children(s.explorer.selectedFolderKey()))
        out += child->text.toUtf8() + "/\n";
    for (const ListEntry& e : s.explorer.files().entries())
        out += e.text.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    return 0;
}

// get, put, rm and rmlocal: the paths of one folder are selected together and handled by one run
// of the action, as a selection in the window is.
int selectedAction(SiteSession& s, const QString& op, const QStringList& paths) {
    if (paths.isEmpty())
        return usage();
    QStringList folders;
    for (const QString& p : paths) {
        QString folder, name;
        SplitHostPath(p, folder, name);
        if (!folders.contains(folder))
            folders << folder;
    }
    int rc = 0;
    for (const QString& folder : folders) {
        QStringList keys;
        for (const QString& p : paths) {
            QString f, name;
            SplitHostPath(p, f, name);
            if (f != folder)
                continue;
            const QString key = s.findEntry(p);
            if (key.isEmpty())
                rc = 1;
            else
                keys << key;
        }
        if (keys.isEmpty())
            continue;
        s.explorer.files().setAllSelected(false);
        for (const QString& k : keys)
            s.explorer.files().setSelected(k, true);
        bool ok = false;
        if (op == QLatin1String("get"))
            ok = s.actions.Download();
        else if (op == QLatin1String("put"))
            ok = s.actions.Send();
        else if (op == QLatin1String("rm"))
            ok = s.actions.DeleteOnHost();
        else
            ok = s.actions.DeleteLocal();
        if (!ok)
            return 1;
    }
    return rc;
}

int add(SiteSession& s, const QStringList& args) {
    if (args.size() < 2)
        return usage();
    if (!s.explorer.openFolder(args[0])) {
        err(QStringLiteral("There is no folder ") + args[0] + QStringLiteral(" in your view of the site."));
        return 1;
    }
    return s.actions.AddFiles(args.mid(1)) ? 0 : 1;
}

int newFile(SiteSession& s, const QStringList& args) {
    if (args.size() != 2)
        return usage();
    if (!s.explorer.openFolder(args[0])) {
        err(QStringLiteral("There is no folder ") + args[0] + QStringLiteral(" in your view of the site."));
        return 1;
    }
    return s.actions.NewFile(args[1]) ? 0 : 1;
}

int replace(SiteSession& s, const QStringList& args) {
    if (args.size() != 2)
        return usage();
    const QString key = s.findEntry(args[0]);
    if (key.isEmpty())
        return 1;
    return s.actions.ReplaceWith(key, args[1]) ? 0 : 1;
}

int site(const QStringList& arguments) {
    QStringList args = arguments;
    const QString op = args.isEmpty() ? QString() : args.takeFirst();
    static const QStringList ops{"ls", "get", "put", "rm", "rmlocal", "add", "new", "replace"};
    if (!ops.contains(op))
        return usage();
    QStringList positional, options;
    SplitArguments(args, positional, options);
    // Connections for the commands that take several files; without the option, the member's setting.
    static const QStringList manyFiles{"get", "put", "rm", "rmlocal", "add"};
    int parallel = 0;
    if (manyFiles.contains(op) && options.contains(QStringLiteral("--parallel"))) {
        const QString text = takeOption(options, QStringLiteral("--parallel"));
        bool ok = false;
        parallel = text.toInt(&ok);
        if (!ok || parallel < 1 || parallel > 10) {
            err(QStringLiteral("--parallel takes a number of connections from 1 to 10."));
            return 2;
        }
    }
    // Local files name places in the directory krtp-cli started in, before it enters the local folder.
    if (op == QLatin1String("add"))
        for (qsizetype i = 1; i < positional.size(); ++i)
            positional[i] = AbsoluteArgument(positional[i]);
    if (op == QLatin1String("replace") && positional.size() == 2)
        positional[1] = AbsoluteArgument(positional[1]);
    std::unique_ptr<SiteSession> session;
    if (const int rc = OpenSiteSession(options, session, kSiteUsage))
        return rc;
    SiteSession& s = *session;
    s.actions.setParallelTransfers(parallel);
    if (op == QLatin1String("ls"))
        return list(s, positional);
    if (op == QLatin1String("add"))
        return add(s, positional);
    if (op == QLatin1String("new"))
        return newFile(s, positional);
    if (op == QLatin1String("replace"))
        return replace(s, positional);
    return selectedAction(s, op, positional);
}

CliRegistration siteCommand({"site", kSiteUsage, site});

} // namespace

SiteSession::~SiteSession() {
    inet.Execute(QStringLiteral("QUIT"));
    inet.waitUntilIdle(5000);
    setDialogs(nullptr);
}

QString SiteSession::findEntry(const QString& hostPath) {
    QString folder, name;
    SplitHostPath(hostPath, folder, name);
    if (!IsSafeHostPath(hostPath) || !explorer.openFolder(folder)) {
        err(hostPath + QStringLiteral(" is not in your view of the site."));
        return {};
    }
    const ExplorerFileModel& files = explorer.files();
    if (files.contains(name))
        return name;
    QString p = hostPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const ListEntry& e : files.entries())
        if (e.text.compare(name, Qt::CaseInsensitive) == 0 ||
            files.hostPath(e.key).compare(p, Qt::CaseInsensitive) == 0)
            return e.key;
    err(hostPath + QStringLiteral(" is not in your view of the site."));
    return {};
}

void SplitArguments(const QStringList& args, QStringList& positional, QStringList& options) {
    static const QStringList withValue{"--user",         "--password",  "--password-file", "--proxy",
                                       "--local-folder", "--text-file", "--parallel"};
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (withValue.contains(a) && i + 1 < args.size()) {
            options << a << args[i + 1];
            ++i;
        } else if (a.startsWith(QLatin1String("--"))) {
            options << a;
        } else {
            positional << a;
        }
    }
}

QString AbsoluteArgument(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

int OpenSiteSession(QStringList& args, std::unique_ptr<SiteSession>& session, const char* usageText) {
    const QString user = takeOption(args, QStringLiteral("--user"));
    QString password, passwordError;
    if (!takePassword(args, user, password, &passwordError)) {
        err(passwordError);
        return 2;
    }
    const QString proxy = takeOption(args, QStringLiteral("--proxy"));
    QString folder =
        takeOption(args, QStringLiteral("--local-folder"), settingsStore().get(settings::LocalFolder));
    const bool yes = takeFlag(args, QStringLiteral("--yes"));
    if (user.isEmpty() || !args.isEmpty()) {
        std::fprintf(stderr, "usage: krtp-cli %s\n", usageText);
        return 2;
    }
    if (folder.isEmpty()) {
        err(QStringLiteral("No local folder: give --local-folder DIR or set one in the program."));
        return 2;
    }
    folder = QDir(folder).absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!QDir::setCurrent(folder)) {
        err(QStringLiteral("Cannot enter the local folder ") + folder);
        return 2;
    }
    if (const int rc = LoginMember(user, password, proxy))
        return rc;
    runState().LocalFolder = folder;
    runState().NoReadOnly = settingsStore().isYes(settings::NoReadOnly);
    QDir().mkpath(QStringLiteral("VelmarFTP"));
    session = std::make_unique<SiteSession>(yes);
    setDialogs(&session->consoleDialogs);
    session->inet.configureForSite();
    session->inet.Document = QStringLiteral("/");
    session->explorer.Open();
    return 0;
}

} // namespace krtp::cli
