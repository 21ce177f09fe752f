// The site tools: their rules without a host, the explorer, its actions, the editor and their windows
// against the loopback host, and krtp-cli site and edit.
#include "clirunner.h"
#include "config/settingsstore.h"
#include "hostfixture.h"
#include "platform/gui/windowmemory.h"
#include "sitetools/accesslist.h"
#include "sitetools/editfile.h"
#include "sitetools/exploreractions.h"
#include "sitetools/explorerfilemodel.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/gui/frmexternaleditors.h"
#include "sitetools/gui/webpreview.h"
#include "sitetools/siteexplorer.h"
#include "sitetools/sitenames.h"
#include "sitetools/sitetext.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "windowharness.h"

#include <QtTest>
#include <QtWidgets>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kGif =
    QByteArray::fromBase64("R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");

// The host fixture with a small site and access lists of every form, by member.
struct SiteFixture : HostFixture {
    bool start() {
        host.addReadOnlyFolder(u"locked"_s);
        return startHost();
    }

    // The host's site as every test starts with it.
    void resetSite() {
        QDir root(host.root());
        for (const QString& e : root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QFileInfo info(root.filePath(e));
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
        const std::pair<const char*, QByteArray> files[] = {
            {"index.html", "<html><body>Home</body></html>\r\n"},
            {"old_index.html", "<html><body>Old home</body></html>\r\n"},
            {"style.css", "body { color: navy; }\r\n"},
            {"images/logo.gif", kGif},
            {"images/bob.gif", kGif},
            {"Pages/News.HTML", "<p>News</p>\r\n"},
            {"news/index.html", "<h1>News</h1>\n<p>First</p>\n"},
            {"news/old/2024.html", "<p>Last year</p>\r\n"},
            {"krg/Bob.dat", "news/index.html\r\nnews/*add files*"},
            {"krg/Ann.dat", "Pages/News.HTML\r\nPages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"},
            {"krg/Cara.dat", "*full access*"},
            {"krg/Dan.dat", "*full access*\r\n"},
            {"krg/Eve.dat",
             "../../etc/passwd\r\n/abs.html\r\nC:/win.ini\r\nnews/../../x.html\r\n..\\..\\y.html\r\n"
             "news/evil\x01.html\r\nnews/index.html\r\n.hidden/secret.html\r\n"},
            {"krg/Hal.dat", "<html><body><h1>404 Not Found</h1></body></html>"}};
        for (const auto& [path, bytes] : files)
            host.write(QString::fromLatin1(path), bytes);
        QDir(host.root()).mkpath(u"empty"_s);
        QDir(host.root()).mkpath(u"locked"_s);
    }
};

// The file names (or another field) of the list.
QStringList fileNames(const SiteExplorer& e, QString ListEntry::*field = &ListEntry::text) {
    QStringList names;
    for (const ListEntry& entry : e.files().entries())
        names << entry.*field;
    return names;
}

// Every file below a folder with its bytes, by path relative to it: a whole tree to compare.
QMap<QString, QByteArray> treeBytes(const QString& root) {
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(root).relativeFilePath(path), readLocal(path));
    }
    return out;
}

// Runs fn on the next modal window, a W, once it is up, from the event loop (so whatever the caller
// waits for goes on meanwhile). A window fn leaves open (a failed check) is hidden, which ends its modal
// loop, so a failure never waits for the test's time limit.
template <class W> void whenModal(std::function<void(W*)> fn) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        if (QPointer<W> w = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            fn(w);
            if (w && w->isVisible())
                w->hide();
        }
    });
    timer->start(10);
}

// "folder:file,file|flags" for the root and each folder key, flags "a" (add) and "d" (delete).
QString describe(const AccessList& list, const QString& member) {
    QStringList out;
    for (const QString& key : QStringList{QString()} + list.folderKeys()) {
        const AccessList::FolderView v = list.folder(key, member);
        QStringList names;
        for (const auto& f : v.files)
            names << f.name;
        out << (key.isEmpty() ? u"root"_s : key) + u':' + names.join(u',') + u'|' + (v.canAdd ? "a" : "") +
                   (v.canDelete ? "d" : "");
    }
    return out.join(u' ');
}

} // namespace

class TestSiteExplorer : public QObject {
    Q_OBJECT
    SiteFixture fx;
    WindowHarness dlg;
    QTemporaryDir disk;

    // An explorer opened for a member (unless told not to), with the folder shown.
    struct Session {
        TransferControl inet;
        SiteExplorer explorer{inet};
        ExplorerActions actions{explorer};
        Session(const QString& folder = QString(), bool open = true) {
            if (open)
                explorer.Open(), explorer.clickFolder(folder);
        }
        void select(const QStringList& keys) {
            explorer.files().setAllSelected(false);
            for (const QString& k : keys)
                explorer.files().setSelected(k, true);
        }
        QString icon(const QString& key) const { return explorer.files().find(key)->smallIconKey; }
    };
    // Selects the files, answers the confirmation and runs the action.
    bool confirm(Session& s, bool (ExplorerActions::*action)(), const QStringList& keys,
                 Dialogs::Button answer = Dialogs::Ok) {
        s.select(keys);
        dlg->answer(answer);
        return (s.actions.*action)();
    }

    // Files f00.html ... in many/ on the host, of different sizes (the first empty); their names.
    QStringList seedMany(int count) {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QString name = u"f%1.html"_s.arg(i, 2, 10, QLatin1Char('0'));
            fx.host.write(u"many/"_s + name, QByteArray(700 * (i % 4) + i, char('a' + i)));
            names << name;
        }
        return names;
    }

    void clickEntry(frmExplorer& w, const QString& key, Qt::KeyboardModifiers mods = {}) {
        const QModelIndex index = w.explorer().files().index(w.explorer().files().rowOf(key), 0);
        QVERIFY(index.isValid());
        w.lvwExplorer->scrollTo(index);
        QTest::mouseClick(w.lvwExplorer->viewport(), Qt::LeftButton, mods,
                          w.lvwExplorer->visualRect(index).center());
    }
    void clickFolder(frmExplorer& w, const QString& key) {
        QTreeWidgetItem* item = w.treeItem(key);
        QVERIFY(item);
        w.tvwExplorer->scrollToItem(item);
        QTest::mouseClick(w.tvwExplorer->viewport(), Qt::LeftButton, {},
                          w.tvwExplorer->visualItemRect(item).center());
    }

    // cli("Bob", "edit news/index.html --text-file new.txt"): the members share one local folder.
    CliResult cli(const QString& member, const QString& words) {
        return runCli(cliWords(words) + QStringList{"--user", member, "--local-folder", fx.local->path()},
                      {member.toLower() + u"pw"_s, {}, disk.path()});
    }
    CliResult site(const QString& member, const QString& words) { return cli(member, "site " + words); }
    // The exit code and the error output as one text, to compare in one line.
    static QByteArray codeErr(const CliResult& r) { return QByteArray::number(r.code) + ' ' + r.err; }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetSite();
        fx.resetLocal(true);
        fx.setAccounts(
            {{"Bob", "bobpw", 3}, {"Cara", "carapw", 3}, {"Ann", "annpw", 2}, {"Velmar", "velmarpw", 4}});
        dlg.init();
        SiteFixture::login(u"Cara"_s, LevelFullAccess);
    }
    void cleanup() { QVERIFY(dlg.done()); }

    // view: shown folder > tree keys (the root first, the rest sorted) | file names sorted | "a" can
    // add, "d" can delete | the messages.
    void viewsPerMember_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("view");
        const QString full =
            u">,empty/,images/,krg/,locked/,news/,Pages/|index.html,old_index.html,style.css|ad|"_s;
        QTest::newRow("one file, adding") << "Bob" << 3 << "news/>,images/,news/|index.html|a|";
        QTest::newRow("name GIF in images") << "Bob" << 3 << "images/>,images/,news/|bob.gif||";
        QTest::newRow("lower case, GIF once") << "Ann" << 2 << "images/>,images/,Pages/|ann.gif||";
        QTest::newRow("Pages/News.HTML") << "Ann" << 2 << "Pages/>,images/,Pages/|news.html|ad|";
        QTest::newRow("full access form") << "Cara" << 3 << full;
        QTest::newRow("full access, line end") << "Dan" << 3 << ">,images/|*full access*||";
        QTest::newRow("hostile access list") << "Eve" << 3 << "news/>,images/,news/|index.html||";
        QTest::newRow("HTML for a list") << "Hal" << 3 << "images/>,images/|hal.gif||";
        QTest::newRow("administrator") << "Velmar" << 4 << full;
        QTest::newRow("no access list")
            << "Zed" << 3 << "images/>,images/|zed.gif||550 No such file or directory.";
    }
    void viewsPerMember() {
        QFETCH(QString, member);
        QFETCH(int, level);
        QFETCH(QString, view);
        SiteFixture::login(member, quint8(level));
        Session s(view.section(u'>', 0, 0));
        QStringList keys, names = fileNames(s.explorer);
        for (const FolderNode& n : s.explorer.nodes())
            keys << n.key;
        if (s.explorer.fullAccess())
            std::sort(keys.begin() + 1, keys.end(), [](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        names.sort();
        QCOMPARE(s.explorer.selectedFolderKey() + u'>' + keys.join(u',') + u'|' + names.join(u',') + u'|' +
                     (s.explorer.canAddFiles() ? "a" : "") + (s.explorer.canDeleteFiles() ? "d" : "") + u'|' +
                     dlg->texts().join(u'|'),
                 view);
        // Administrators read no list.
        QVERIFY(!QFileInfo::exists(fx.mirror(u"krg/Velmar.dat"_s)));
    }

    // Listings are cached, empty ones asked again; names a host should never send are left out.
    void listingsCachedAndHostileNamesIgnored() {
        for (const char* name : {"tab\there.html", "esc\x1b[2J.html", "quote\".html", "drive:x.html"})
            fx.host.write(QString::fromUtf8(name), "x");
        Session s;
        QStringList names = fileNames(s.explorer);
        names.sort();
        QCOMPARE(names, (QStringList{"index.html", "old_index.html", "style.css"}));
        s.explorer.clickFolder(u"news/"_s);
        int sent = s.inet.commandsSent();
        // The shown folder clicked again: nothing happens.
        s.explorer.clickFolder(u"news/"_s);
        QCOMPARE(s.inet.commandsSent(), sent);
        // Root and back: both come from the cache, the subfolder is not added twice.
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(u"NEWS/"_s);
        QCOMPARE(s.inet.commandsSent(), sent);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        QCOMPARE(s.explorer.children(u"news/"_s).size(), 1);
        // An empty folder is listed at every visit.
        s.explorer.clickFolder(u"empty/"_s);
        QVERIFY(s.inet.commandsSent() > sent);
        sent = s.inet.commandsSent();
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(u"empty/"_s);
        QVERIFY(s.inet.commandsSent() > sent);
        // A new file on the host shows only once the empty folder is asked again.
        fx.host.write(u"news/late.html"_s, "x");
        s.explorer.clickFolder(u"news/"_s);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        // A listing as a hostile host could send it.
        s.explorer.setTag(QString(),
                          QStringLiteral("../\r\n/etc/\r\n..\\x/\r\nC:/\r\n.git/\r\n../../passwd\r\n"
                                         "/etc/passwd\r\nok.html\r\nsub/\r\n  \r\n"));
        s.explorer.clickFolder(u"news/"_s);
        s.explorer.clickFolder(QString());
        QCOMPARE(fileNames(s.explorer), QStringList{"ok.html"});
        QVERIFY(s.explorer.node(u"sub/"_s));
        for (const FolderNode& n : s.explorer.nodes())
            QVERIFY2(IsSafeFolderKey(n.key) && !n.key.startsWith(QLatin1Char('.')), qPrintable(n.key));
        QVERIFY(!s.explorer.AddFolderNode(QString(), u".."_s));
        QVERIFY(!s.explorer.AddFolderNode(u"nowhere/"_s, u"x/"_s));
    }

    // Delete of the local copies, send, download and delete on the host at the root: each asks first.
    void confirmedActionsAtTheRoot() {
        QVERIFY(writeLocal(fx.mirror(u"index.html"_s), "local"));
        Session s;
        QVERIFY(!s.actions.DeleteLocal());
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to delete."_s);
        s.select({"index.html", "style.css"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.DeleteLocal()); // style.css has no local copy
        QCOMPARE(dlg->texts().mid(dlg->texts().size() - 2),
                 (QStringList{"Please confirm.  You are about to DELETE 2 files from your LOCAL hard drive.",
                              "File not found: VelmarFTP/style.css"}));
        QVERIFY(!QFileInfo::exists(fx.mirror(u"index.html"_s)));
        QCOMPARE(s.icon(u"index.html"_s), u"filenotfound"_s);
        QCOMPARE(s.icon(u"style.css"_s), u"filedelete"_s);
        // Send keeps the host's backup.
        QVERIFY(writeLocal(fx.mirror(u"style.css"_s), "body { color: red; }\r\n"));
        QVERIFY(confirm(s, &ExplorerActions::Send, {"style.css"}));
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to send (upload) 1 file to the server."_s);
        QCOMPARE(fx.host.read(u"style.css"_s), "body { color: red; }\r\n"_ba);
        QCOMPARE(fx.host.read(u"style.css.backup"_s), "body { color: navy; }\r\n"_ba);
        QCOMPARE(s.icon(u"style.css"_s), u"file"_s);
        // A file with no local copy: the routine's message, the mark stays.
        QVERIFY(!confirm(s, &ExplorerActions::Send, {"index.html"}));
        QCOMPARE(dlg->lastText(), u"VelmarFTP/index.html does not exist on the local hard drive."_s);
        QCOMPARE(s.icon(u"index.html"_s), u"fileupload"_s);
        // Download.
        QVERIFY(!confirm(s, &ExplorerActions::Download, {"index.html"}, Dialogs::Cancel));
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to download 1 file from the server."_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Information);
        QVERIFY(!QFileInfo::exists(fx.mirror(u"index.html"_s)));
        QVERIFY(confirm(s, &ExplorerActions::Download, {"index.html", "style.css"}));
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to download 2 files from the server."_s);
        QCOMPARE(readLocal(fx.mirror(u"index.html"_s)), fx.host.read(u"index.html"_s));
        QCOMPARE(readLocal(fx.mirror(u"style.css"_s)), fx.host.read(u"style.css"_s));
        QCOMPARE(fileNames(s.explorer, &ListEntry::smallIconKey),
                 (QStringList{"file", "filenotfound", "file"}));
        // Delete from the server, which leaves similar names.
        QVERIFY(!confirm(s, &ExplorerActions::DeleteOnHost, {"index.html"}, Dialogs::Cancel));
        QVERIFY(fx.host.exists(u"index.html"_s));
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.DeleteOnHost());
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to DELETE 1 file from the server."_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
        QVERIFY(!fx.host.exists(u"index.html"_s));
        QVERIFY(fx.host.exists(u"old_index.html"_s));
        QCOMPARE(fileNames(s.explorer), (QStringList{"old_index.html", "style.css"}));
        // The cached listing is what the folder shows next time.
        s.explorer.clickFolder(u"news/"_s);
        s.explorer.clickFolder(QString());
        QCOMPARE(fileNames(s.explorer), (QStringList{"old_index.html", "style.css"}));
    }

    // selected: that many files from f00.html on; icons: of f00.html to f04.html.
    void theFirstFailedTransferEndsTheAction_data() {
        QTest::addColumn<int>("connections");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("gone");
        QTest::addColumn<QString>("icons");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("one connection: later files untouched")
            << 1 << 3 << u"f01.html"_s << u"file filedownload filenotfound filenotfound filenotfound"_s
            << u"Downloaded f00.html; stopped: 550 No such file or directory."_s;
        QTest::newRow("four: a file already under way still arrives")
            << 4 << 3 << u"f01.html"_s << u"file filedownload file filenotfound filenotfound"_s
            << u"Downloaded 2 files; stopped: 550 No such file or directory."_s;
        // f01 is large, so the refusal of f00 comes while it still moves: nothing new starts after.
        QTest::newRow("two: no file starts after the failure")
            << 2 << 5 << u"f00.html"_s << u"filedownload file filenotfound filenotfound filenotfound"_s
            << u"Downloaded f01.html; stopped: 550 No such file or directory.; left as they were: f02.html, "
               "f03.html, f04.html"_s;
    }
    void theFirstFailedTransferEndsTheAction() {
        QFETCH(int, connections);
        QFETCH(int, selected);
        QFETCH(QString, gone);
        QFETCH(QString, icons);
        QFETCH(QString, outcome);
        const QStringList names = seedMany(5);
        fx.host.write(u"many/f01.html"_s, QByteArray(24 * 1024 * 1024, 'b'));
        Session s(u"many/"_s);
        s.actions.setParallelTransfers(connections);
        QFile::remove(fx.host.path(u"many/"_s + gone)); // listed, then gone
        QVERIFY(!confirm(s, &ExplorerActions::Download, names.mid(0, selected)));
        QCOMPARE(dlg->texts().mid(1), QStringList{"550 No such file or directory."});
        QCOMPARE(fileNames(s.explorer, &ListEntry::smallIconKey).join(u' '), icons);
        QCOMPARE(s.actions.lastOutcome(), outcome);
        for (const QString& name : names)
            QCOMPARE(QFileInfo::exists(fx.mirror(u"many/"_s + name)), s.icon(name) == "file");
    }

    // The same action from the same start on one connection and on four: host, mirror, messages,
    // list and outcome end up the same.
    void severalConnectionsDoWhatOneDoes_data() {
        QTest::addColumn<QString>("action");
        for (const char* action : {"download", "send", "add", "delete"})
            QTest::newRow(action);
    }
    void severalConnectionsDoWhatOneDoes() {
        const QString action = QString::fromLatin1(QTest::currentDataTag());
        struct Run {
            QMap<QString, QByteArray> host, mirror;
            QStringList said; // the messages, the list and the outcome
            int poolLogins = 0;
        };
        QList<Run> runs;
        for (int connections : {1, 4}) {
            fx.resetSite();
            fx.resetLocal(true);
            dlg->clear();
            const QStringList names = seedMany(12);
            // Earlier copies on both sides, some with backups of their own, one empty.
            fx.host.write(u"many/f02.html.backup"_s, "older on the host");
            QVERIFY(writeLocal(fx.mirror(u"many/f01.html"_s), "mine 1") &&
                    writeLocal(fx.mirror(u"many/f03.html"_s), "") &&
                    writeLocal(fx.mirror(u"many/f04.html.backup"_s), "older here"));
            QString folder = u"many/"_s;
            if (action == "add") {
                SiteFixture::login(u"Bob"_s, LevelFullAccess);
                folder = u"news/"_s;
            } else if (action == "delete") {
                SiteFixture::login(u"Ann"_s, LevelFullAccess);
                folder = u"Pages/"_s;
                QByteArray list = fx.host.read(u"krg/Ann.dat"_s);
                for (int i = 0; i < 8; ++i) {
                    fx.host.write(u"Pages/p%1.html"_s.arg(i), QByteArray(100 * i, 'p'));
                    list += "\r\nPages/p" + QByteArray::number(i) + ".html";
                }
                fx.host.write(u"krg/Ann.dat"_s, list);
            }
            Session s(folder);
            s.actions.setParallelTransfers(connections);
            bool ok = false;
            if (action == "add") {
                QStringList paths;
                for (const char* name : {"a0.html", "a1.html", "a2.html", "index.html", "a3.html",
                                         "my page.html", "a4.html", "a5.gif", "a6.html", "a7.html"}) {
                    paths << disk.filePath(QString::fromLatin1(name));
                    QVERIFY(writeLocal(paths.last(), "added "_ba + name));
                }
                paths.insert(2, paths[1]); // given twice: the second finds the first on the host
                ok = s.actions.AddFiles(paths);
            } else {
                if (action == "send")
                    for (const QString& n : names)
                        QVERIFY(writeLocal(fx.mirror(u"many/"_s + n), "sent " + n.toLatin1()));
                if (action == "delete")
                    s.explorer.files().setAllSelected(true);
                else
                    s.select(names);
                dlg->answer(Dialogs::Ok);
                ok = action == "download" ? s.actions.Download()
                     : action == "send"   ? s.actions.Send()
                                          : s.actions.DeleteOnHost();
            }
            QCOMPARE(ok, action != "add");
            runs.append({treeBytes(fx.host.root()), treeBytes(fx.local->path()),
                         dlg->texts() + fileNames(s.explorer) << s.actions.lastOutcome(),
                         s.actions.pool().logins()});
        }
        const Run &one = runs[0], &four = runs[1];
        QCOMPARE(four.host, one.host);
        QCOMPARE(four.mirror, one.mirror);
        QCOMPARE(four.said, one.said);
        // The bodies went over the pool, on no more logins than connections.
        QCOMPARE(one.poolLogins, 0);
        QVERIFY2(four.poolLogins >= 2 && four.poolLogins <= 4, qPrintable(QString::number(four.poolLogins)));
    }

    // The host refuses f01.html: "450 Busy." for the download, "451 Broken." with a part left behind
    // for the uploads.
    void oneRefusedFileAmongManyRestoresOnlyItself_data() {
        QTest::addColumn<QString>("outcome");
        QTest::newRow("download") << u"Downloaded 3 files; stopped: 450 Busy."_s;
        QTest::newRow("send") << u"Sent 3 files to the server; stopped: 451 Broken."_s;
        QTest::newRow("add") << u"Added 3 files to the server; skipped f01.html, 451 Broken."_s;
    }
    void oneRefusedFileAmongManyRestoresOnlyItself() {
        QFETCH(QString, outcome);
        const QString action = QString::fromLatin1(QTest::currentDataTag());
        const bool adding = action == "add", down = action == "download";
        const QString folder = adding ? u"news/"_s : u"many/"_s,
                      message = down ? u"450 Busy."_s : u"451 Broken."_s;
        const QStringList names = seedMany(4);
        QStringList paths;
        for (const QString& n : names) {
            QVERIFY(writeLocal(fx.mirror(u"many/"_s + n), "mine " + n.toLatin1()));
            paths << disk.filePath(n);
            QVERIFY(writeLocal(paths.last(), "new " + n.toLatin1()));
        }
        const QMap<QString, QByteArray> hostBefore = treeBytes(fx.host.root());
        Session s(folder);
        s.actions.setParallelTransfers(4);
        fx.host.setFaults(uR"({"refuse": [{"cmd": "%1", "path": "/%2f01.html", "reply": "%3"%4}]})"_s
                              .arg(down ? u"RETR"_s : u"STOR"_s, folder, message,
                                   down ? QString() : u", \"leave\": \"first part\""_s)
                              .toUtf8());
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        if (adding) {
            QVERIFY(!s.actions.AddFiles(paths));
        } else {
            s.select(names);
            dlg->answer(Dialogs::Ok);
            QVERIFY(down ? !s.actions.Download() : !s.actions.Send());
        }
        QCOMPARE(dlg->texts().mid(adding ? 0 : 1), QStringList{message});
        QCOMPARE(s.actions.lastOutcome(), outcome);
        for (const QString& n : names) {
            const QString hostPath = folder + n;
            const bool refused = n == "f01.html";
            if (down) {
                QCOMPARE(readLocal(fx.mirror(hostPath)),
                         refused ? "mine f01.html"_ba : fx.host.read(hostPath));
                QCOMPARE(readLocal(fx.mirror(hostPath + u".backup"_s)),
                         refused ? "<missing>"_ba : "mine " + n.toLatin1());
                QCOMPARE(s.icon(n), refused ? u"filedownload"_s : u"file"_s);
            } else if (action == "send") {
                QCOMPARE(fx.host.read(hostPath),
                         refused ? hostBefore.value(hostPath) : "mine " + n.toLatin1());
                QCOMPARE(fx.host.exists(hostPath + u".backup"_s), !refused);
                if (!refused)
                    QCOMPARE(fx.host.read(hostPath + u".backup"_s), hostBefore.value(hostPath));
            } else {
                QCOMPARE(fx.host.exists(hostPath), !refused);
                if (!refused)
                    QCOMPARE(fx.host.read(hostPath), "new " + n.toLatin1());
            }
        }
        if (adding)
            QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "f00.html", "f02.html", "f03.html"}));
    }

    // A host that takes two sessions (the explorer has one of them): the pool works on the one left,
    // and the member sees nothing of it.
    void hostWithTwoSessionsTakesTheWorkOnThoseItAccepts() {
        fx.host.setMaxSessions(2);
        QVERIFY(fx.host.start());
        const auto restore = qScopeGuard([this] {
            fx.host.setMaxSessions(0);
            fx.host.start();
        });
        fx.resetSite();
        const QStringList names = seedMany(8);
        Session s(u"many/"_s);
        s.actions.setParallelTransfers(4);
        const int own = s.inet.commandsSent();
        QVERIFY2(confirm(s, &ExplorerActions::Download, names), qPrintable(s.actions.lastOutcome()));
        for (const QString& n : names) {
            QCOMPARE(readLocal(fx.mirror(u"many/"_s + n)), fx.host.read(u"many/"_s + n));
            QVERIFY(writeLocal(fx.mirror(u"many/"_s + n), "sent " + n.toLatin1()));
        }
        dlg->answer(Dialogs::Ok);
        QVERIFY2(s.actions.Send(), qPrintable(s.actions.lastOutcome()));
        for (const QString& n : names)
            QCOMPARE(fx.host.read(u"many/"_s + n), "sent " + n.toLatin1());
        QCOMPARE(dlg->texts(),
                 (QStringList{"Please confirm.  You are about to download 8 files from the server.",
                              "Please confirm.  You are about to send (upload) 8 files to the server."}));
        // Every file went over the pool's connection; none took the one-by-one path afterwards.
        QCOMPARE(s.inet.commandsSent(), own);
    }

    // Among many, the program's own files still go one at a time under the shared lock and are
    // read back: a save by a client without the lock in between is noticed and made again.
    void ownFilesGoOneAtATimeUnderTheLock() {
        SiteFixture::login(u"Velmar"_s, LevelAdministrator);
        const QStringList names{"_message.dat", "notes.txt", "todo.txt"};
        for (const QString& name : names) {
            fx.host.write(u"krg/"_s + name, "old");
            QVERIFY(writeLocal(fx.mirror(u"krg/"_s + name), "Welcome back"));
        }
        QVERIFY(writeLocal(disk.filePath(u"other"_s), "Welcome BACK"));
        const auto replaceOnce = [&](const char* hostPath) {
            fx.host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "%1", "content_file": "%2",
                                                 "times": 1}]})")
                                  .arg(QLatin1String(hostPath), disk.filePath(u"other"_s))
                                  .toUtf8());
        };
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        replaceOnce("/krg/_message.dat");
        Session admin(u"krg/"_s);
        admin.actions.setParallelTransfers(4);
        QVERIFY2(confirm(admin, &ExplorerActions::Send, names), qPrintable(admin.actions.lastOutcome()));
        for (const QString& name : names)
            QCOMPARE(fx.host.read(u"krg/"_s + name), "Welcome back"_ba);
        // Adding them alike.
        replaceOnce("/krg/_news.dat");
        QStringList added;
        for (const char* name : {"_news.dat", "a.txt", "b.txt"}) {
            added << disk.filePath(QString::fromLatin1(name));
            QVERIFY(writeLocal(added.last(), "Welcome back"));
        }
        QVERIFY2(admin.actions.AddFiles(added), qPrintable(admin.actions.lastOutcome()));
        for (const char* name : {"_news.dat", "a.txt", "b.txt"})
            QCOMPARE(fx.host.read(u"krg/"_s + QLatin1String(name)), "Welcome back"_ba);
    }

    // The host path is spelt as the list has it; a delete takes the file off the list.
    void restrictedDownloadAndDeleteUseTheList() {
        SiteFixture::login(u"Ann"_s, LevelFullAccess);
        Session s(u"Pages/"_s);
        QVERIFY(confirm(s, &ExplorerActions::Download, {"news.html"}));
        QCOMPARE(readLocal(fx.mirror(u"Pages/News.HTML"_s)), "<p>News</p>\r\n"_ba);
        QCOMPARE(s.icon(u"news.html"_s), u"file"_s);
        QVERIFY(confirm(s, &ExplorerActions::DeleteOnHost, {"news.html"}));
        QVERIFY(!fx.host.exists(u"Pages/News.HTML"_s));
        QCOMPARE(fx.host.read(u"krg/Ann.dat"_s),
                 "Pages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"_ba);
        QCOMPARE(fx.host.read(u"krg/Ann.dat.backup"_s),
                 "Pages/News.HTML\r\nPages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"_ba);
        QVERIFY(fileNames(s.explorer).isEmpty());
    }

    // In news/ with full access: a new file registers its name, folders are made and removed, files
    // are added where their names allow.
    void newFileFoldersAndAddedFiles() {
        const QString a = disk.filePath(u"a.html"_s), spaced = disk.filePath(u"b c.html"_s),
                      c = disk.filePath(u"c.gif"_s), existing = disk.filePath(u"style.css"_s);
        QVERIFY(writeLocal(a, "<p>a</p>") && writeLocal(spaced, "b") && writeLocal(c, kGif) &&
                writeLocal(existing, "mine"));
        Session s(u"news/"_s);
        dlg->answerText(u"newfile.html"_s);
        QVERIFY(s.actions.NewFile());
        QCOMPARE(dlg->lastText(), u"Please enter a name for the new file"_s);
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "newfile.html"}));
        QCOMPARE(s.icon(u"newfile.html"_s), u"filenotfound"_s);
        QVERIFY(!fx.host.exists(u"news/newfile.html"_s));
        QVERIFY(!QFileInfo::exists(fx.mirror(u"news/newfile.html"_s)));
        const auto refused = [&](const QString& name, const QString& message) {
            dlg->answerText(name);
            QVERIFY(!s.actions.NewFile());
            QCOMPARE(dlg->lastText(), message);
        };
        refused(u"my page.html"_s,
                u"my page.html\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"_s);
        refused(u"index.html"_s,
                u"news/index.html already exists on the server.  Try using the REPLACE button."_s);
        refused(u"../escape.html"_s,
                u"../escape.html\r\n\r\nSorry, this name cannot be used for files on the KR Web Site"_s);
        dlg->answerText(QString());
        QVERIFY(!s.actions.NewFile());
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "newfile.html"}));
        // Folders.
        QVERIFY(s.actions.CreateSubfolder(u"2026"_s));
        QVERIFY(QFileInfo(fx.host.path(u"news/2026"_s)).isDir());
        QVERIFY(s.explorer.node(u"news/2026/"_s));
        QVERIFY(!s.actions.CreateSubfolder(u".."_s));
        s.explorer.clickFolder(u"news/old/"_s);
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.DeleteCurrentFolder()); // not empty
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
        s.explorer.clickFolder(u"news/2026/"_s);
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.DeleteCurrentFolder());
        QVERIFY(!fx.host.exists(u"news/2026"_s));
        QVERIFY(!s.explorer.node(u"news/2026/"_s));
        QCOMPARE(s.explorer.selectedFolderKey(), u"news/"_s);
        // Added files.
        qsizetype asked = dlg->records().size();
        dlg->answerFiles(QStringList{a, spaced, c});
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->records().at(asked).text, u"Add File..."_s);
        QCOMPARE(dlg->records().at(asked).filter, ExplorerActions::FileFilter());
        QCOMPARE(dlg->texts().mid(asked + 1),
                 QStringList{"b c.html\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"});
        QCOMPARE(fx.host.read(u"news/a.html"_s), "<p>a</p>"_ba);
        QCOMPARE(fx.host.read(u"news/c.gif"_s), kGif);
        QCOMPARE(readLocal(fx.mirror(u"news/c.gif"_s)), kGif);
        QVERIFY(!fx.host.exists(u"news/b c.html"_s));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "newfile.html", "a.html", "c.gif"}));
        QVERIFY(s.explorer.node(u"news/"_s)->tag.endsWith(u"\r\na.html\r\nc.gif"_s));
        // A name the host has already.
        s.explorer.clickFolder(QString());
        asked = dlg->records().size();
        QVERIFY(!s.actions.AddFiles({existing}));
        QCOMPARE(dlg->texts().mid(asked),
                 QStringList{"style.css already exists on the server.  Try using the REPLACE button."});
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(u"style.css"_s), "body { color: navy; }\r\n"_ba);
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "old_index.html", "style.css"}));
        // A cancelled dialog.
        dlg->answerFiles(std::nullopt);
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->lastText(), u"Cancel was selected."_s);
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), runState().LocalFolder);
    }

    // Bob's add extends his list; his window offers what the list allows and opens once.
    void restrictedAddIsAppendedToTheAccessList() {
        SiteFixture::login(u"Bob"_s, LevelFullAccess);
        const QString page = disk.filePath(u"Story.html"_s);
        QVERIFY(writeLocal(page, "<p>story</p>"));
        Session s(u"news/"_s);
        // An administrator gives Bob another page while his explorer is open: the list is extended
        // as the host has it now.
        fx.host.write(u"krg/Bob.dat"_s, "news/index.html\r\nnews/*add files*\r\nnews/extra.html");
        QVERIFY2(s.actions.AddFiles({page}), qPrintable(dlg->texts().join(QLatin1Char('|'))));
        QCOMPARE(fx.host.read(u"news/Story.html"_s), "<p>story</p>"_ba);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s),
                 "news/index.html\r\nnews/*add files*\r\nnews/extra.html\r\nnews/Story.html"_ba);
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "Story.html"}));
        // Read back the way the explorer reads it.
        Session again(u"news/"_s);
        QCOMPARE(fileNames(again.explorer), (QStringList{"index.html", "extra.html", "story.html"}));
        // Nothing to add where the list does not allow it.
        Session root;
        QVERIFY(!root.actions.AddFiles({page}));
        QCOMPARE(dlg->lastText(), u"Your access list does not allow you to add files in the folder /."_s);
        // Nor a folder.
        QVERIFY(!again.actions.CreateSubfolder(u"x"_s));
        QVERIFY(!fx.host.exists(u"news/x"_s));
        // His window.
        QPointer<frmExplorer> w = frmExplorer::ShowWebPage();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), u"Norrow Eternal Web Page"_s);
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->text(0), u"VelmarFTP"_s);
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->childCount(), 2);
        QVERIFY(!w->cmdAddFilesToServer->isEnabled() && !w->cmdDeleteFile->isEnabled());
        clickFolder(*w, u"news/"_s);
        QVERIFY(w->cmdAddFilesToServer->isEnabled() && w->cmdNewFile->isEnabled());
        QVERIFY(!w->cmdDeleteFile->isEnabled() && !w->mnuActionDeleteFiles->isEnabled());
        // A second press brings the same window forward.
        QCOMPARE(frmExplorer::ShowWebPage(), w.data());
        QCOMPARE(w->tvwExplorer->topLevelItemCount(), 1);
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY(!frmExplorer::instance());
    }

    // Replace sends the chosen file; an external editor starts on the local copy.
    void replaceAndExternalEditorsAtTheRoot() {
        const QString chosen = disk.filePath(u"new-style.css"_s), spaced = disk.filePath(u"new style.css"_s);
        QVERIFY(writeLocal(chosen, "body { color: green; }\r\n") && writeLocal(spaced, "x"));
        // Without a folder or with nothing selected nothing is asked.
        Session none({}, false), s;
        QVERIFY(!none.actions.AddFiles() && !none.actions.NewFile() && !none.actions.Replace() &&
                !none.actions.DownloadAndEdit() && !s.actions.Replace());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(none.inet.commandsSent(), 0);
        s.select({"style.css"});
        dlg->answerFiles(QStringList{spaced});
        QVERIFY(!s.actions.Replace());
        QCOMPARE(dlg->records().first().text, u"Replace style.css With..."_s);
        QCOMPARE(dlg->lastText(),
                 u"new style.css\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"_s);
        dlg->answerFiles(QStringList{chosen});
        QVERIFY(s.actions.Replace());
        QCOMPARE(fx.host.read(u"style.css"_s), "body { color: green; }\r\n"_ba);
        QCOMPARE(fx.host.read(u"style.css.backup"_s), "body { color: navy; }\r\n"_ba);
        QCOMPARE(readLocal(fx.mirror(u"style.css"_s)), "body { color: green; }\r\n"_ba);
        // The mirror copy itself as the chosen file is sent as it is.
        QVERIFY(writeLocal(fx.mirror(u"style.css"_s), "p {}"));
        QVERIFY(s.actions.ReplaceWith(u"style.css"_s, fx.mirror(u"style.css"_s)));
        QCOMPARE(fx.host.read(u"style.css"_s), "p {}"_ba);
        const QString editor = disk.filePath(u"my editor"_s);
        QVERIFY(writeLocal(editor, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = disk.filePath(u"external editors.ini"_s);
        QVERIFY(writeLocal(runState().ExternalEditorsFile,
                           "Notepad\r\nC:\\WINDOWS\\NOTEPAD.EXE\r\nMine\r\n\"" + editor.toUtf8() + "\"\r\n"));
        RecordingDesktopServices desktop;
        s.actions.LoadExternalEditors();
        s.select({"index.html"});
        QVERIFY(!s.actions.EditWith(0)); // "Edit With..." itself
        QVERIFY(!s.actions.EditWith(1)); // not found
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.actions.EditWith(2));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("VelmarFTP/index.html does not exist on your local hard drive.  "
                                "Press OK to download it from the web page."));
        QVERIFY(desktop.calls.isEmpty());
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.EditWith(2));
        const QString local = fx.mirror(u"index.html"_s);
        QCOMPARE(readLocal(local), fx.host.read(u"index.html"_s));
        QCOMPARE(desktop.calls, QStringList{"start " + editor + "|" + local});
        // With a local copy: the question; No starts on it as it is.
        QVERIFY(writeLocal(local, "mine"));
        dlg->answer(Dialogs::No);
        QVERIFY(s.actions.EditWith(2));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Would you like to download index.html from the web page before "
                                "you edit it with Mine?"));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(readLocal(local), "mine"_ba);
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.actions.EditWith(2));
        QCOMPARE(desktop.calls.size(), 2);
        // A program that cannot start is reported.
        desktop.result = false;
        dlg->answer(Dialogs::No);
        QVERIFY(!s.actions.EditWith(2));
        QCOMPARE(dlg->lastText(), u"Cannot start "_s + editor);
    }

    // What the editor sends: a text nobody touched goes back byte for byte; typed text is written in
    // the page's own set (UTF-8 with its byte order mark, or the single-byte set the page declares),
    // a character that set lacks as a reference, and the lines nobody touched keep their ends.
    void editorSendsThePagesOwnBytes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("typed"); // null: untouched; "+" first: added at the end
        QTest::addColumn<QByteArray>("sent");
        const QByteArray utf8 = "\xEF\xBB\xBF<p>Caf\xc3\xa9</p>\r\n<p>\rsame</p>";
        const QByteArray latin1 = "<p>Caf\xe9 \x80</p>\r\n";
        const QString euro = QString::fromUtf8("<p>Caf\xc3\xa9 \xe2\x82\xac</p>");
        QTest::newRow("LF lines untouched")
            << "<h1>News</h1>\n<p>First</p>\n"_ba << QString() << "<h1>News</h1>\r\n<p>First</p>\r\n"_ba;
        const QByteArray crs = "<p>a</p>\r\r\n<p>b</p>\r<p>c</p>\r\n";
        QTest::newRow("CR CR LF and lone CR untouched") << crs << QString() << crs;
        QTest::newRow("29,999 characters, the most it opens")
            << QByteArray(29999, 'x') << QString() << QByteArray(29999, 'x');
        QTest::newRow("UTF-8 untouched") << utf8 << QString() << utf8;
        QTest::newRow("single bytes untouched") << latin1 << QString() << latin1;
        QTest::newRow("UTF-8 typed") << utf8 << euro + QLatin1Char('\n')
                                     << "\xEF\xBB\xBF<p>Caf\xc3\xa9 \xe2\x82\xac</p>\r\n"_ba;
        QTest::newRow("single bytes typed") << latin1 << euro << "<p>Caf\xe9 &#8364;</p>"_ba;
        const QByteArray rest = "\r\r\n<p>old</p>\r\n";
        const QString cafe = QString::fromUtf8("caf\xc3\xa9");
        for (const auto& [name, head, typed] :
             {std::tuple{"iso-8859-1",
                         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">",
                         "caf\xe9"},
              std::tuple{"windows-1252", "<meta charset='windows-1252'>", "caf\xe9"},
              std::tuple{"latin1", "<meta charset=latin1>", "caf\xe9"},
              std::tuple{"utf-8", "<meta charset=\"utf-8\">", "caf\xc3\xa9"},
              std::tuple{"no set declared", "<title>x</title>", "caf\xc3\xa9"}})
            QTest::newRow(name) << head + rest << u'+' + cafe << head + rest + typed;
    }
    void editorSendsThePagesOwnBytes() {
        QFETCH(QByteArray, page);
        QFETCH(QString, typed);
        QFETCH(QByteArray, sent);
        fx.host.write(u"c.html"_s, page);
        TransferControl inet;
        EditSession e(inet);
        QCOMPARE(e.load(u"c.html"_s), EditSession::Load::Opened);
        e.setEditorText(typed.isNull()           ? e.editorText()
                        : typed.startsWith(u'+') ? e.editorText() + typed.mid(1)
                                                 : typed);
        QCOMPARE(e.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(u"c.html"_s), sent);
    }

    // The control folder's files go back under the lock, and never over another administrator's
    // change made while the editor was open. A local copy that cannot be written asks before closing;
    // the closing question, a host's refusal and EditFile's window hook.
    void editorKeepsAnAccessListChangedMeanwhileAndAsksOnClosing() {
        SiteFixture::login(u"Velmar"_s, LevelAdministrator);
        runState().MemberNames = QStringList{"Bob", "Velmar"};
        const auto noMembers = qScopeGuard([] { runState().MemberNames.clear(); });
        TransferControl inet;
        EditSession s(inet);
        QCOMPARE(s.load(u"krg\\Bob.dat"_s), EditSession::Load::Opened);
        fx.host.write(u"krg/Bob.dat"_s, "news/index.html\r\nnews/*delete files*");
        s.setEditorText(u"images/*add files*"_s);
        QCOMPARE(s.send(), EditSession::Send::UploadFailed);
        QCOMPARE(dlg->texts(), QStringList{"krg/Bob.dat was changed on the server after you opened it, so "
                                           "your changes were not sent."});
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "news/index.html\r\nnews/*delete files*"_ba);
        QVERIFY(!fx.host.exists(u"krg/_shared.lock"_s));
        // Opened again, it is sent.
        QCOMPARE(s.load(u"krg\\Bob.dat"_s), EditSession::Load::Opened);
        s.setEditorText(u"images/*add files*"_s);
        QCOMPARE(s.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "images/*add files*"_ba);
        // A folder in place of the local copy: it cannot be written.
        QVERIFY(QFile::remove(fx.mirror(u"krg/Bob.dat"_s)));
        QVERIFY(QDir().mkpath(fx.mirror(u"krg/Bob.dat/x"_s)));
        s.sendOnClose = true;
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.QueryClose());
        QVERIFY(dlg->lastText().endsWith(
            QLatin1String("\r\n\r\nChanges may not be saved.  Press Cancel to try to save your changes.")));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Warning);
        QVERIFY(!s.sendOnClose);
        s.sendOnClose = true;
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.QueryClose());
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "images/*add files*"_ba);
        QCOMPARE(s.load(u"style.css"_s), EditSession::Load::Opened);
        s.setEditorText(u"changed"_s);
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.QueryClose());
        QCOMPARE(dlg->lastText(), u"Send changes to server?"_s);
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QVERIFY(!s.sendOnClose && !s.discardOnClose);
        dlg->answer(Dialogs::No);
        QVERIFY(s.QueryClose());
        QCOMPARE(fx.host.read(u"style.css"_s), "body { color: navy; }\r\n"_ba);
        // Yes sends.
        s.discardOnClose = false;
        dlg->answer(Dialogs::Yes);
        QVERIFY(s.QueryClose());
        QCOMPARE(fx.host.read(u"style.css"_s), "changed"_ba);
        // Send to Server on a host that refuses: its reply is shown, the window stays, the flags are cleared.
        fx.host.write(u"locked/page.html"_s, "<p>locked</p>");
        EditSession locked(inet);
        QCOMPARE(locked.load(u"locked/page.html"_s), EditSession::Load::Opened);
        locked.setEditorText(u"<p>mine</p>"_s);
        locked.sendOnClose = true;
        QVERIFY(!locked.QueryClose());
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
        QVERIFY(!locked.sendOnClose && !locked.discardOnClose);
        QCOMPARE(fx.host.read(u"locked/page.html"_s), "<p>locked</p>"_ba);
        // EditFile runs the window hook on a session it loaded.
        int shown = 0;
        EditWindowHooks hooks;
        hooks.showModal = [&](EditSession& session, QObject*) {
            ++shown;
            session.setEditorText(session.editorText() + u"<p>Second</p>\n"_s);
            session.sendOnClose = true;
            QVERIFY(session.QueryClose());
        };
        SetEditWindowHooks(hooks);
        QVERIFY(EditFile(u"news/index.html"_s));
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\r\n<p>First</p>\r\n<p>Second</p>\r\n"_ba);
        QVERIFY(!EditFile(u"../outside.html"_s));
        QCOMPARE(dlg->lastText(),
                 u"The path \"../outside.html\" does not name a file below the site folder."_s);
        QVERIFY(!EditFile(u"missing.html"_s));
        QCOMPARE(shown, 1);
        SetEditWindowHooks({});
    }

    // One window for a member with full access: preview and icons, the status line, the action menu
    // with the external editors, then the tree as folders are visited and the shortcuts.
    void fullAccessWindow() {
        const QString one = disk.filePath(u"one"_s);
        QVERIFY(writeLocal(one, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = disk.filePath(u"external editors.ini"_s);
        const QByteArray path = one.toUtf8();
        QVERIFY(writeLocal(runState().ExternalEditorsFile,
                           "One\r\n" + path + "\r\nTwo\r\n/nowhere/two\r\nThree\r\n\"" + path + "\"\r\n"));
        QVERIFY(writeLocal(fx.mirror(u"index.html"_s), "<p>local</p>"));
        RecordingDesktopServices desktop;
        frmExplorer w;
        w.Do_ShowWebPage();
        QCOMPARE(w.statusText(), u"/: 3 files"_s);
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.webPreview->address(), QUrl::fromLocalFile(fx.mirror(u"index.html"_s)));
        clickEntry(w, u"style.css"_s);
        QCOMPARE(w.webPreview->address(), QUrl(u"about:blank"_s));
        // Hidden pane: the preview stays, the icon still follows the disk.
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isHidden() && w.picResize2->isHidden());
        QVERIFY(QFile::remove(fx.mirror(u"index.html"_s)));
        QCOMPARE(w.explorer().files().find(u"index.html"_s)->smallIconKey, u"file"_s);
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.webPreview->address(), QUrl(u"about:blank"_s));
        QCOMPARE(w.explorer().files().find(u"index.html"_s)->smallIconKey, u"filenotfound"_s);
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isVisible());
        // The host no longer has one of the two files: the first comes down, the second is refused.
        QVERIFY(QFile::remove(fx.host.path(u"style.css"_s)));
        clickEntry(w, u"index.html"_s);
        clickEntry(w, u"style.css"_s, Qt::ControlModifier);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        QCOMPARE(w.statusText(), u"Downloaded index.html; stopped: 550 No such file or directory."_s);
        QVERIFY(w.centralWidget()->isEnabled());
        // The status line tells what the action's outcome says.
        const auto status = [&](const QString& text) {
            QCOMPARE(w.statusText(), text);
            QCOMPARE(w.actions().lastOutcome(), text);
        };
        const QString folder = runState().LocalFolder + u"VelmarFTP"_s;
        w.actSelectAll->trigger();
        status(u"Selected 3 files"_s);
        w.explorer().files().setAllSelected(false);
        w.cmdDeleteFile->click();
        status(
            u"Delete from the server refused: No Files are Selected.  Please select the files to delete."_s);
        w.explorer().files().setSelected(u"index.html"_s, true);
        dlg->answer(Dialogs::Cancel);
        w.cmdDeleteLocal->click();
        status(u"Delete of the local copy cancelled"_s);
        w.actions().NewFile(u"my page.html"_s);
        status(u"New file: skipped my page.html, spaces are not allowed in file names"_s);
        w.cmdExplorer->click();
        status(u"Opened "_s + folder + u" in the file manager"_s);
        desktop.result = false;
        w.cmdExplorer->click();
        status(u"The file manager could not be started for "_s + folder +
               u": no file manager is set up on this desktop"_s);
        QCOMPARE(desktop.calls, QStringList(2, u"files "_s + folder));
        // The action menu's external editors; the button shows only them.
        QStringList captions;
        for (QAction* a : w.mnuActionExternalEditor)
            captions << a->text() + (a->isEnabled() ? QString() : u" (disabled)"_s);
        QCOMPARE(captions, (QStringList{"Edit With...", "One", "Two - FILE NOT FOUND (disabled)", "Three"}));
        w.cmdExternalEditor->click();
        QTRY_VERIFY(w.mnuAction->isVisible());
        QVERIFY(!w.mnuActionDownload->isVisible() && !w.mnuActionEdit->isVisible() &&
                !w.mnuActionUpload->isVisible() && !w.mnuActionDeleteFiles->isVisible() &&
                !w.mnuActionDeleteLocal->isVisible() && !w.mnuActionBreak1->isVisible() &&
                !w.mnuActionBreak2->isVisible());
        QVERIFY(w.mnuActionConfigure->isVisible() && w.mnuActionExternalEditor[3]->isVisible());
        w.mnuAction->close();
        // The list's right button: everything, with "Download and Edit" as the default entry.
        clickEntry(w, u"index.html"_s);
        QTest::mouseRelease(w.lvwExplorer->viewport(), Qt::RightButton, {},
                            w.lvwExplorer->visualRect(w.explorer().files().index(0, 0)).center());
        QTRY_VERIFY(w.mnuAction->isVisible());
        QVERIFY(w.mnuActionDownload->isVisible() && w.mnuActionDeleteLocal->isVisible());
        QCOMPARE(w.mnuAction->defaultAction(), w.mnuActionEdit);
        w.mnuAction->close();
        // Configuring: the list shortened to one editor leaves one visible entry.
        whenModal<frmExternalEditors>([](frmExternalEditors* editors) {
            QCOMPARE(editors->windowTitle(), u"Configure External Editors"_s);
            QVERIFY(editors->txtExternalEditors->toPlainText().startsWith(QLatin1String("One\n")));
            editors->txtExternalEditors->setPlainText(u"Only\n/nowhere/only"_s);
            editors->close();
        });
        dlg->answer(Dialogs::Yes);
        w.mnuActionConfigure->trigger();
        QCOMPARE(dlg->lastText(), u"Save Changes?"_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(readLocal(runState().ExternalEditorsFile), "Only\r\n/nowhere/only"_ba);
        QCOMPARE(std::count_if(w.mnuActionExternalEditor.begin(), w.mnuActionExternalEditor.end(),
                               [](QAction* a) { return a->isVisible(); }),
                 2);
        QCOMPARE(w.mnuActionExternalEditor[1]->text(), u"Only - FILE NOT FOUND"_s);
        // The tree grows as folders are visited.
        QCOMPARE(w.tvwExplorer->topLevelItem(0)->childCount(), 6);
        QStringList titles;
        connect(&w, &QWidget::windowTitleChanged, &w, [&](const QString& t) { titles << t; });
        clickFolder(w, u"news/"_s);
        QVERIFY2(titles.contains(u"KRtp - Sending Request to Host"_s) &&
                     titles.last() == u"KRtp - Transfer Complete"_s,
                 qPrintable(titles.join(QLatin1Char('|'))));
        clickFolder(w, u"news/old/"_s);
        QCOMPARE(fileNames(w.explorer()), QStringList{"2024.html"});
        clickFolder(w, u"news/"_s);
        QCOMPARE(w.treeItem(u"news/"_s)->childCount(), 1);
        QVERIFY(w.cmdDeleteFile->isEnabled() && w.cmdAddFilesToServer->isEnabled());
        // Selection goes both ways between the list and the model.
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.explorer().files().selectedKeys(), QStringList{"index.html"});
        clickFolder(w, QString());
        w.cmdSelectAll->click();
        QCOMPARE(w.lvwExplorer->selectionModel()->selectedIndexes().size(), 3);
        // The menu's shortcuts work on the window.
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.explorer().files().setAllSelected(false);
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to download."_s);
        QTest::keyClick(&w, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to upload."_s);
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to delete."_s);
        // The folder menu, full access only.
        dlg->answerText(u"drafts"_s);
        w.mnuFoldersNew->trigger();
        QVERIFY(w.treeItem(u"drafts/"_s));
        w.close();
    }

    void remembersLayoutAcrossReopen() {
        QRect geometry;
        {
            frmExplorer w;
            w.Do_ShowWebPage();
            w.resize(760, 500);
            w.move(30, 40);
            QTRY_COMPARE(w.size(), QSize(760, 500));
            geometry = w.geometry();
            // The splitters move the panes by the distance dropped, the list's edges with them.
            w.SplitterDropped(w.picResize1, w.tvwExplorer, 150);
            QCOMPARE(w.tvwExplorer->width(), 150);
            w.SplitterDropped(w.picResize1, w.lvwExplorer, 20);
            const int preview = w.previewWidth(), list = w.lvwExplorer->width();
            w.SplitterDropped(w.picResize2, w.lvwExplorer, list - 50);
            QCOMPARE(w.picPreview->width(), preview + 50);
            w.SplitterDropped(w.picResize2, w.webPreview, 20);
            QCOMPARE(w.previewWidth(), preview + 30);
            QCOMPARE(w.lvwExplorer->x() + w.lvwExplorer->width() + w.picResize2->width() +
                         w.picPreview->width(),
                     w.centralWidget()->width());
            w.cmdPreviewPAne->click();
            QVERIFY(w.close());
        }
        settingsStore().sync();
        QSettings ini(settingsStore().fileName(), QSettings::IniFormat);
        ini.beginGroup(WindowMemory::sectionFor(u"frmExplorer"_s));
        for (const char* key : {"Geometry", "State", "TreeWidth", "PreviewWidth", "PreviewPane"})
            QVERIFY2(ini.childKeys().contains(QLatin1String(key)), key);

        frmExplorer again;
        again.Do_ShowWebPage();
        QCOMPARE(again.geometry(), geometry);
        QCOMPARE(again.treeWidth(), 170);
        QCOMPARE(again.tvwExplorer->width(), 170);
        QVERIFY(again.picPreview->isHidden());
        // A place kept on a larger screen (or one that is gone) comes back inside this one.
        again.move(2000, 1500);
        again.close();
        frmExplorer moved;
        moved.Do_ShowWebPage();
        QVERIFY2(moved.screen()->availableGeometry().contains(moved.frameGeometry()),
                 qPrintable(QString::number(moved.x())));
        moved.close();

        // The editors window keeps its size too; a change not saved is asked about on closing.
        const QString file = disk.filePath(u"external editors.ini"_s);
        QVERIFY(writeLocal(file, "A\r\n/bin/a\r\n"));
        {
            frmExternalEditors e(file);
            e.show();
            e.resize(610, 333);
            QTRY_COMPARE(e.size(), QSize(610, 333));
            e.txtExternalEditors->setPlainText(u"changed"_s);
            dlg->answer(Dialogs::Cancel);
            QVERIFY(!e.close());
            QVERIFY(e.isVisible());
            dlg->answer(Dialogs::No);
            QVERIFY(e.close());
        }
        QCOMPARE(readLocal(file), "A\r\n/bin/a\r\n"_ba);
        QCOMPARE(frmExternalEditors(file).size(), QSize(610, 333));
    }

    void editorWindowPreviewDiscardAndSend() {
        InstallEditWindow();
        RecordingDesktopServices desktop;
        frmExplorer w;
        w.Do_ShowWebPage();
        clickFolder(w, u"news/"_s);
        clickEntry(w, u"index.html"_s);
        // The host's listing gives each file its size and time.
        ExplorerFileModel& files = w.explorer().files();
        QCOMPARE(files.columnText(u"index.html"_s, QLatin1String(frmExplorer::kSizeColumn)), u"27 bytes"_s);
        QVERIFY(!files.columnText(u"index.html"_s, QLatin1String(frmExplorer::kModifiedColumn)).isEmpty());
        // A listing line | the name | its size and time as the list shows them.
        const QString rows[] = {
            u"-rw-r--r--   1 velmar   team       2048 Dec 07 16:53 my page.html|my page.html|2 KB|Dec 07 16:53"_s,
            u"-rw-r--r-- 1 velmar team 12 Jan  3  2024 a.txt|a.txt|12 bytes|Jan 3 2024"_s,
            u"drwxr-xr-x 2 velmar team 4096 Dec 07 16:53 news|news||"_s,
            u"02-18-22  03:14PM  1234 b.txt|b.txt||"_s};
        for (const QString& row : rows) {
            const QStringList f = row.split(u'|');
            const auto facts = frmExplorer::ParseListing(f[0] + u"\r\n"_s).value(f[1]);
            QCOMPARE(facts.size + u'|' + facts.modified, f[2] + u'|' + f[3]);
        }
        // Preview writes the text; Discard then closes without a question and leaves the host alone.
        whenModal<frmEdit>([this](frmEdit* edit) {
            QCOMPARE(edit->windowTitle(), u"news/index.html - KRtp Text Editor"_s);
            QCOMPARE(edit->txtEdit->toPlainText(), u"<h1>News</h1>\n<p>First</p>\n"_s);
            edit->txtEdit->setPlainText(u"<h1>Preview</h1>"_s);
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), u"Back to Edit Mode"_s);
            QVERIFY(edit->webPreview->isVisible() && edit->txtEdit->isHidden());
            QCOMPARE(edit->webPreview->address(), QUrl::fromLocalFile(fx.mirror(u"news/index.html"_s)));
            QCOMPARE(readLocal(fx.mirror(u"news/index.html"_s)), "<h1>Preview</h1>"_ba);
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), u"Preview"_s);
            edit->cmdPreviewInRegisteredApplication->click();
            edit->cmdDiscard->click();
        });
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\n<p>First</p>\n"_ba);
        QCOMPARE(desktop.calls, QStringList{"open " + fx.mirror(u"news/index.html"_s)});
        // The close box asks; Cancel keeps the editor, the next close asks again; Send to Server sends.
        whenModal<frmEdit>([this](frmEdit* edit) {
            edit->txtEdit->setPlainText(u"<h1>News</h1>\n<p>Second</p>\n"_s);
            dlg->answer(Dialogs::Cancel);
            QVERIFY(!edit->close());
            QVERIFY(edit->isVisible());
            QCOMPARE(dlg->lastText(), u"Send changes to server?"_s);
            edit->cmdSendToServer->click();
            QTRY_VERIFY(edit->isHidden());
        });
        w.mnuActionEdit->trigger();
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\r\n<p>Second</p>\r\n"_ba);
        QCOMPARE(w.statusText(), u"Sent index.html"_s);
        QVERIFY(w.isEnabled());
        // Too large: the message, no editor.
        fx.host.write(u"news/index.html"_s, QByteArray(30000, 'x'));
        w.cmdOpenEdit->click();
        QCOMPARE(dlg->lastText(), u"This file is too large to edit with the KRtp internal editor."_s);
        QVERIFY(!QApplication::activeModalWidget());
        // The box shows a lone CR and a CR CR LF as line breaks of their own; sent unchanged, the page
        // keeps its bytes. A close that comes while the text is on its way waits for the server.
        const QByteArray page = "<p>a</p>\r\r\n<p>b</p>\r<p>c</p>\r\n";
        fx.host.write(u"news/index.html"_s, page);
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closedWhileSending = true;
        whenModal<frmEdit>([&](frmEdit* edit) {
            fx.host.setFaults("{\"latency_ms\": 150}");
            // Wait: the text still goes to the host, then the window closes.
            dlg->answer(Dialogs::No);
            QTimer::singleShot(100, edit,
                               [&closedWhileSending, edit] { closedWhileSending = edit->close(); });
            edit->cmdSendToServer->click();
            QTRY_VERIFY_WITH_TIMEOUT(edit->isHidden(), 20000);
        });
        QVERIFY(EditFile(u"news/index.html"_s));
        QVERIFY(!closedWhileSending);
        QCOMPARE(dlg->lastText(), u"Wait for the transfer to finish, or cancel it?"_s);
        QCOMPARE(fx.host.read(u"news/index.html"_s), page);
        QCOMPARE(fx.host.read(u"news/index.html.backup"_s), page);
        w.close();
    }

    void busyWindowShowsProgressAndCancels() {
        // A host that moves 20 MB a second, so a 50 MB transfer is still running when it is cancelled.
        LoopbackHost slow;
        slow.setThrottle(20 * 1024 * 1024);
        QVERIFY(slow.start());
        const auto restore = qScopeGuard([this] { fx.host.exportEnvironment(); });
        const qint64 size = 50LL * 1024 * 1024;
        slow.write(u"big.bin"_s, QByteArray(size, 'n'));
        QVERIFY(writeLocal(fx.mirror(u"big.bin"_s), "previous local copy"));
        const QStringList pair{"a.bin", "b.bin"};
        for (const QString& name : pair) {
            slow.write(name, QByteArray(4096, 'n'));
            QVERIFY(writeLocal(fx.mirror(name), "previous local copy"));
        }
        SiteFixture::login(u"Velmar"_s, LevelAdministrator);
        frmExplorer w;
        w.Do_ShowWebPage();
        QStringList seen;
        bool disabledMeanwhile = false;
        connect(w.inet, &TransferControl::progress, &w, [&](qint64 done, qint64) {
            if (done <= 0 || !w.prgTransfer->isVisible() || !w.prgTransfer->cmdCancel->isEnabled())
                return;
            seen << w.prgTransfer->lblTransfer->text();
            disabledMeanwhile = !w.centralWidget()->isEnabled() && w.prgTransfer->isEnabledTo(&w);
            w.prgTransfer->cmdCancel->click();
        });
        // One progress line, starting and holding as given, was shown and cancelled.
        const auto cancelledAt = [&](const QString& start, const QString& part) {
            QCOMPARE(seen.size(), 1);
            QVERIFY2(seen.first().startsWith(start) && seen.first().contains(part), qPrintable(seen.first()));
            QCOMPARE(dlg->lastText(), u"The command was cancelled."_s);
            seen.clear();
        };
        QElapsedTimer clock;
        clock.start();
        w.explorer().files().setSelected(u"big.bin"_s, true);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        cancelledAt(u"Downloading big.bin: "_s, u"/s"_s);
        QVERIFY(disabledMeanwhile);
        QCOMPARE(w.statusText(), u"Download cancelled"_s);
        QCOMPARE(readLocal(fx.mirror(u"big.bin"_s)), "previous local copy"_ba);
        QCOMPARE(w.explorer().files().find(u"big.bin"_s)->smallIconKey, u"filedownload"_s);
        QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        // The upload: the host keeps its copy.
        QVERIFY(writeLocal(fx.mirror(u"big.bin"_s), QByteArray(size, 'l')));
        dlg->answer(Dialogs::Ok);
        w.cmdUploadFile->click();
        cancelledAt(u"Uploading big.bin: "_s, u" of 50.0 MB"_s);
        QCOMPARE(slow.read(u"big.bin"_s), QByteArray(size, 'n'));
        // A new file: the host is left without it.
        const QString fresh = fx.local->filePath(u"fresh.bin"_s);
        QVERIFY(writeLocal(fresh, QByteArray(size, 'f')));
        QVERIFY(!w.actions().AddFiles({fresh}));
        cancelledAt(QString(), QString());
        QVERIFY(!slow.exists(u"fresh.bin"_s));
        QVERIFY(!w.explorer().files().contains(u"fresh.bin"_s));
        // Two files over two connections: one line for both, and its Cancel stops both while they
        // are under way (every reply comes late); each keeps its previous copy, and the cancel is told
        // once.
        w.actions().setParallelTransfers(4);
        slow.setFaults(R"({"latency_ms": 100})");
        connect(&w.actions().pool(), &TransferPool::started, &w, [&] {
            QTimer::singleShot(250, &w, [&] {
                if (w.prgTransfer->isVisible() && w.prgTransfer->cmdCancel->isEnabled())
                    seen << w.prgTransfer->lblTransfer->text();
                w.prgTransfer->cmdCancel->click();
            });
        });
        w.explorer().files().setAllSelected(false);
        for (const QString& name : pair)
            w.explorer().files().setSelected(name, true);
        for (bool down : {true, false}) {
            dlg->clear();
            dlg->answer(Dialogs::Ok);
            if (!down)
                for (const QString& name : pair)
                    QVERIFY(writeLocal(fx.mirror(name), QByteArray(4096, 'l')));
            (down ? w.cmdDownload : w.cmdUploadFile)->click();
            QCOMPARE(seen, QStringList{"Transferring 0 of 2 files: 0 bytes"});
            seen.clear();
            QCOMPARE(dlg->texts().mid(1), QStringList{"The command was cancelled."});
            QCOMPARE(w.statusText(),
                     (down ? u"Download"_s : u"Upload"_s) + u" cancelled; left as they were: a.bin, b.bin"_s);
            for (const QString& name : pair) {
                QCOMPARE(slow.read(name), QByteArray(4096, 'n'));
                if (down)
                    QCOMPARE(readLocal(fx.mirror(name)), "previous local copy"_ba);
            }
            QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        }
        QVERIFY2(clock.elapsed() < 20000, "a cancelled transfer ran on");
        w.close();
    }

    void siteCommands() {
        CliResult r = site("Bob", "ls");
        QCOMPARE(codeErr(r) + r.out, "0 images/\nnews/\n"_ba);
        QCOMPARE(codeErr(site("Bob", "ls Pages/")),
                 "1 There is no folder Pages/ in your view of the site.\n"_ba);
        QCOMPARE(site("Ann", "ls pages").out, "news.html\n"_ba);
        QCOMPARE(site("Cara", "ls news/old/").out, "2024.html\n"_ba);
        r = site("Velmar", "ls");
        // Folders first, each in the host's own order.
        QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i].endsWith(u'/'), i < 6);
        lines.sort();
        QCOMPARE(lines, (QStringList{"Pages/", "empty/", "images/", "index.html", "krg/", "locked/", "news/",
                                     "old_index.html", "style.css"}));
        QCOMPARE(site("Bob", "ls news/ images/").code, 2);
        QCOMPARE(site("Bob", "frob").code, 2);
        // get, put and remove ask unless --yes.
        QCOMPARE(codeErr(site("Ann", "get Pages/News.HTML")),
                 "1 Please confirm.  You are about to download 1 file from the server.\n"_ba);
        QVERIFY(!QFileInfo::exists(fx.mirror(u"Pages/News.HTML"_s)));
        QCOMPARE(site("Ann", "get pages/news.html --yes").code, 0);
        QCOMPARE(readLocal(fx.mirror(u"Pages/News.HTML"_s)), "<p>News</p>\r\n"_ba);
        QCOMPARE(codeErr(site("Ann", "get index.html --yes")),
                 "1 index.html is not in your view of the site.\n"_ba);
        QCOMPARE(codeErr(site("Cara", "get index.html style.css news/index.html --yes")),
                 "0 Please confirm.  You are about to download 2 files from the server.\n"
                 "Please confirm.  You are about to download 1 file from the server.\n"_ba);
        QCOMPARE(readLocal(fx.mirror(u"news/index.html"_s)), fx.host.read(u"news/index.html"_s));
        QVERIFY(writeLocal(fx.mirror(u"style.css"_s), "p { margin: 0 }"));
        QCOMPARE(site("Cara", "put style.css --yes").code, 0);
        QCOMPARE(fx.host.read(u"style.css"_s), "p { margin: 0 }"_ba);
        QCOMPARE(codeErr(site("Cara", "get ../krg/_files.dat --yes")),
                 "1 ../krg/_files.dat is not in your view of the site.\n"_ba);
        // --parallel: one connection stops at a refused file; with more, the next one is already
        // coming down beside it.
        QCOMPARE(codeErr(site("Cara", "get index.html style.css --parallel 11 --yes")),
                 "2 --parallel takes a number of connections from 1 to 10.\n"_ba);
        fx.host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/index.html", "reply": "450 Busy."}]})");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        for (const char* parallel : {"1", "4"}) {
            QVERIFY(QFile::remove(fx.mirror(u"style.css"_s)));
            QCOMPARE(codeErr(site("Cara", u"get index.html style.css --parallel %1 --yes"_s.arg(parallel))),
                     "1 Please confirm.  You are about to download 2 files from the server.\n450 Busy.\n"_ba);
            QCOMPARE(QFileInfo::exists(fx.mirror(u"style.css"_s)), parallel == "4"_ba);
            QVERIFY(writeLocal(fx.mirror(u"style.css"_s), "x"));
        }
        QCOMPARE(site("Cara", "rm index.html --yes").code, 0);
        QVERIFY(!fx.host.exists(u"index.html"_s));
        QCOMPARE(codeErr(site("Bob", "rm news/index.html --yes")),
                 "1 Your access list does not allow you to delete files in the folder news/.\n"_ba);
        QVERIFY(fx.host.exists(u"news/index.html"_s));
        QCOMPARE(site("Cara", "rmlocal style.css --yes").code, 0);
        r = site("Cara", "rmlocal style.css --yes");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.endsWith("File not found: VelmarFTP/style.css\n"));
        // add, new and replace.
        QVERIFY(writeLocal(disk.filePath(u"story.html"_s), "<p>story</p>"));
        QVERIFY(writeLocal(disk.filePath(u"my story.html"_s), "x"));
        QCOMPARE(codeErr(site("Bob", "add news/ story.html 'my story.html'")),
                 "1 my story.html\n\nSorry, spaces are not allows in files for the KR Web Site\n"_ba);
        QCOMPARE(fx.host.read(u"news/story.html"_s), "<p>story</p>"_ba);
        QCOMPARE(site("Bob", "new news fresh.html").code, 0);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s),
                 "news/index.html\r\nnews/*add files*\r\nnews/story.html\r\nnews/fresh.html"_ba);
        QCOMPARE(site("Bob", "ls news/").out, "index.html\nstory.html\nfresh.html\n"_ba);
        QCOMPARE(codeErr(site("Bob", "new images/ x.gif")),
                 "1 Your access list does not allow you to add files in the folder images/.\n"_ba);
        QCOMPARE(site("Cara", "replace style.css story.html").code, 0);
        QCOMPARE(fx.host.read(u"style.css"_s), "<p>story</p>"_ba);
        // krtp-cli edit: the editor without a window.
        QVERIFY(writeLocal(disk.filePath(u"new.txt"_s), "<h1>News</h1>\n<p>Edited</p>\n"));
        QCOMPARE(codeErr(cli("Bob", "edit news/index.html --text-file new.txt")), "0 "_ba);
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\r\n<p>Edited</p>\r\n"_ba);
        QCOMPARE(codeErr(cli("Bob", "edit style.css --text-file new.txt")),
                 "1 style.css is not in your view of the site.\n"_ba);
        fx.host.write(u"style.css"_s, QByteArray(30000, 'x'));
        QCOMPARE(codeErr(cli("Velmar", "edit style.css --text-file new.txt")),
                 "1 This file is too large to edit with the KRtp internal editor.\n"_ba);
        QCOMPARE(cli("Velmar", "edit krg\\Bob.dat --text-file new.txt").code, 0);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "<h1>News</h1>\r\n<p>Edited</p>\r\n"_ba);
        QCOMPARE(cli("Velmar", "edit style.css").code, 2);
    }

    // Members who are not administrators never write the program's own files in krg/, whatever
    // their access list says; administrators still do.
    void controlFilesAreRefused_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("put") << u"site put krg/_files.txt --yes"_s << "_files.txt"_ba;
        QTest::newRow("rm") << u"site rm krg/_message.dat --yes"_s << "_message.dat"_ba;
        QTest::newRow("add") << u"site add krg/ _news.dat"_s << "_news.dat"_ba;
        QTest::newRow("new access list") << u"site new krg/ BOB.DAT"_s << "BOB.DAT"_ba;
        QTest::newRow("new lock") << u"site new krg/ _shared.lock"_s << "_shared.lock"_ba;
        QTest::newRow("replace") << u"site replace krg/Ann.dat _news.dat"_s << "Ann.dat"_ba;
        QTest::newRow("edit") << u"edit krg/_files.txt --text-file _news.dat"_s << "_files.txt"_ba;
    }
    void controlFilesAreRefused() {
        QFETCH(QString, args);
        QFETCH(QByteArray, name);
        fx.host.write(u"krg/_files.txt"_s, "catalogue");
        fx.host.write(u"krg/_message.dat"_s, "2.0.5\r\nHello");
        QVERIFY(writeLocal(disk.filePath(u"_news.dat"_s), "Mine,index.html,x.html"));
        const QMap<QString, QByteArray> before = treeBytes(fx.host.path(u"krg"_s));
        QCOMPARE(codeErr(cli(u"Cara"_s, args)),
                 "1 " + name +
                     " is one of the files KRtp keeps for itself in the control folder (the shared "
                     "file list, the member accounts, an access list, the message or the news "
                     "list), so it cannot be added or changed this way.\n");
        QCOMPARE(treeBytes(fx.host.path(u"krg"_s)), before);
        // An administrator's explorer still reaches them.
        QVERIFY(writeLocal(fx.mirror(u"krg/_files.txt"_s), "mine"));
        QCOMPARE(cli(u"Velmar"_s, "site put krg/_files.txt --yes").code, 0);
        QCOMPARE(fx.host.read(u"krg/_files.txt"_s), "mine"_ba);
    }

    void untrustedNamesPathsAndFolderKeys() {
        const QStringList safe{"index.html", "my page.html", ".htaccess", "*full access*",
                               QString::fromUtf8("caf\xc3\xa9.html")};
        const QStringList unsafe{
            "",      "   ",  "C:x.html", ".",         "..",    "a/b",  "/etc",
            "..\\x", "a\tb", "a\nb",     "a\x1b[2Jb", "a\x7f", "a\"b", QString(QChar(0x85)) + "x"};
        for (const QString& name : safe + unsafe) {
            const bool ok = safe.contains(name);
            QVERIFY2(IsSafeSiteName(name) == ok, qPrintable(name));
            if (!name.contains(u'/'))
                QVERIFY2(IsSafeHostPath(u"pages/"_s + name) == ok, qPrintable(name));
        }
        QVERIFY(IsSafeFolderKey(QString()) && IsSafeFolderKey(u"pages/old/"_s));
        for (const char* key : {"pages", "/pages/", "pages//", "pages/../"})
            QVERIFY2(!IsSafeFolderKey(QString::fromLatin1(key)), key);
        QVERIFY(IsSafeHostPath(u"krg\\Bob.dat"_s) && !IsSafeHostPath(u"krg/"_s) &&
                !IsSafeHostPath(u"a/../../x.html"_s));
        QString folder, name;
        SplitHostPath(u"a\\b/c.txt"_s, folder, name);
        QCOMPARE(folder + u'|' + name, u"a/b/|c.txt"_s);
        SplitHostPath(u"index.html"_s, folder, name);
        QCOMPARE(folder + u'|' + name, u"|index.html"_s);
        QCOMPARE(LocalMirrorPath(u"a\\b/c.txt"_s), u"VelmarFTP/a/b/c.txt"_s);
        QCOMPARE(AccessList::PathFor(u"Bob"_s), u"krg/Bob.dat"_s);
        QCOMPARE(AccessList::PathFor(u"../x"_s), QString());
    }

    // An empty view: full access.
    void accessLists_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("view");
        QTest::newRow("full access") << u"*full access*"_s << QString();
        QTest::newRow("file and add in pages")
            << u"pages/news.html\r\npages/*add files*"_s << u"root:| images/:bob.gif| pages/:news.html|a"_s;
        QTest::newRow("name GIF once")
            << u"images/Bob.GIF\r\nimages/*delete files*"_s << u"root:| images/:bob.gif|d"_s;
        QTest::newRow("backslashes and blank lines") << u"a\\b\\c.txt\r\n\r\n   \r\na\\*delete files*\r\n"_s
                                                     << u"root:| images/:bob.gif| a/:|d a/b/:c.txt|"_s;
        QTest::newRow("deeper levels")
            << u"x/y/z/p.html"_s << u"root:| images/:bob.gif| x/:| x/y/:| x/y/z/:p.html|"_s;
        QTest::newRow("one key per folder, spelt as first named")
            << u"A/b/x.html\r\na/B/c/y.html"_s
            << u"root:| images/:bob.gif| A/:| A/b/:x.html| A/b/c/:y.html|"_s;
        QTest::newRow("empty") << u""_s << u"root:| images/:bob.gif|"_s;
        QTest::newRow("hostile entries")
            << u"../../etc/passwd\r\n/abs.html\r\nC:/win.ini\r\nnews/../../x.html\r\n..\\..\\y.html\r\n"
               "news/evil\x01.html\r\nnews/ok.html\r\n.hidden/secret.html\r\nnews/q\"uote.html"_s
            << u"root:| images/:bob.gif| news/:ok.html|"_s;
    }
    void accessLists() {
        QFETCH(QString, content);
        QFETCH(QString, view);
        const AccessList list = AccessList::FromContent(content);
        QCOMPARE(list.fullAccess(), view.isEmpty());
        if (!view.isEmpty())
            QCOMPARE(describe(list, u"Bob"_s), view);
    }

    // Found by fuzzing: every prefix of a deep line was a key of its own, so a 64 KB list of "a/a/a/..."
    // took minutes and gigabytes. Keys stop at 1024 characters and at the 10,000th.
    void hostileAccessListsStayBounded() {
        QElapsedTimer t;
        t.start();
        const QString deep = u"a/"_s.repeated(40000);
        const QStringList deepKeys = AccessList::FromContent(deep + u"x.html"_s).folderKeys();
        QCOMPARE(deepKeys.size(), 1 + 512);
        QCOMPARE(deepKeys.last().size(), 1024);
        QStringList lines;
        for (int i = 0; i < 12000; ++i)
            lines << u"f%1/x.html"_s.arg(i);
        const QStringList wide = AccessList::FromContent(lines.join(u"\r\n"_s)).folderKeys();
        QCOMPARE(wide.size(), 10000);
        QCOMPARE(wide.last(), u"f9998/"_s);
        QVERIFY2(t.elapsed() < 2000, QByteArray::number(t.elapsed()).constData());
    }

    void accessListSpellingAndRegistering() {
        AccessList list = AccessList::FromContent(u"Pages/News.HTML\r\n  pages/Old.html"_s);
        QStringList files;
        for (const auto& f : list.folder(u"Pages/"_s, u"bob"_s).files)
            files << f.name + u'=' + f.hostPath;
        QCOMPARE(files, (QStringList{"news.html=Pages/News.HTML", "old.html=pages/Old.html"}));
        // Registering and removing paths.
        list = AccessList::FromContent(u"  news/index.html\r\nnews/*add files*\r\n\r\n"_s);
        list.addPath(u"news/new.html"_s);
        QCOMPARE(list.text(), u"news/index.html\r\nnews/*add files*\r\nnews/new.html"_s);
        list = AccessList::FromContent(u"news/index.html\r\nnews/old_index.html\r\nNEWS/Index.html"_s);
        list.removePath(u"news/index.html"_s);
        QCOMPARE(list.text(), u"news/old_index.html"_s);
        AccessList empty;
        empty.addPath(u"a.html"_s);
        QCOMPARE(empty.text(), u"\r\na.html"_s);
    }

    void encodingsRoundTrip() {
        QByteArray latin1;
        for (int i = 0; i < 256; ++i)
            latin1 += char(i);
        const SiteText l = SiteText::decode(latin1);
        QVERIFY(!l.utf8);
        QCOMPARE(l.encode(), latin1);
        // Found by fuzzing: a second mark stays in the text, so the file is written back whole.
        const QByteArray twoMarks("\xEF\xBB\xBF\xEF\xBB\xBFx");
        QCOMPARE(SiteText::decode(twoMarks).text, QString(QChar(0xFEFF)) + QLatin1Char('x'));
        QCOMPARE(SiteText::decode(twoMarks).encode(), twoMarks);
    }

    void externalEditorsFile() {
        QTemporaryDir dir;
        const QString program = dir.filePath(u"psp"_s);
        QVERIFY(writeLocal(program, "#!/bin/sh\n"));
        const QByteArray quoted = "\"" + program.toUtf8() + "\"";
        const std::pair<QByteArray, QString> cases[] = {
            {"Notepad\r\n\r\nPaint Shop Pro\r\n" + quoted + "\r\n", "Paint Shop Pro"},
            {"A\r\n" + quoted + "\r\nB\r\n/nowhere/b\r\nC", "A|B - FILE NOT FOUND"},
            {"\r\n" + quoted + "\r\nD\r\n" + program.toUtf8(), "D"},
            {"E\n/nowhere\n", "E - FILE NOT FOUND"},
            {"", ""}};
        for (const auto& [content, expected] : cases) {
            QStringList captions;
            for (const ExternalEditor& e : ParseExternalEditors(content))
                captions << e.caption();
            QCOMPARE(captions.join(u'|'), expected);
        }
        QVERIFY(ReadExternalEditors(dir.filePath(u"missing.ini"_s)).isEmpty());
        // The text the editors window shows and saves.
        const QString file = dir.filePath(u"external editors.ini"_s);
        QCOMPARE(ExternalEditorsText(file).editorText(), QString());
        const QByteArray original = "Notepad\r\n/usr/bin/gedit\r\r\n";
        QVERIFY(writeLocal(file, original));
        ExternalEditorsText text(file);
        QCOMPARE(text.editorText(), u"Notepad\n/usr/bin/gedit\r\n"_s);
        QVERIFY(text.save(text.editorText()));
        QCOMPARE(readLocal(file), original);
        QVERIFY(text.save(u"One\n/bin/one"_s));
        QCOMPARE(readLocal(file), "One\r\n/bin/one"_ba);
    }
};

KRTP_TEST_MAIN_GUI(TestSiteExplorer)
#include "tst_siteexplorer.moc"
