// The explorer, its file actions and the editor session against the loopback host, without windows.
#include "platform/desktopservices.h"
#include "sitetestutil.h"
#include "sitetools/editfile.h"
#include "sitetools/exploreractions.h"
#include "sitetools/siteexplorer.h"
#include "sitetools/sitenames.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "windowharness.h"

#include <QScopeGuard>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestSiteExplorer : public QObject {
    Q_OBJECT
    SiteFixture fx;
    WindowHarness dlg;

    // An explorer opened for a member, with the folder shown.
    struct Session {
        TransferControl inet;
        SiteExplorer explorer{inet};
        ExplorerActions actions{explorer};
        Session(const QString& folder = QString()) {
            explorer.Open();
            if (!folder.isEmpty())
                explorer.clickFolder(folder);
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

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetSite();
        fx.resetLocal();
        dlg.init();
        SiteFixture::login(u"Cara"_s, LevelFullAccess);
    }
    void cleanup() { QVERIFY(dlg.done()); }

    // view: shown folder > tree keys (the root first, the rest sorted) | file names sorted | "a" can
    // add, "d" can delete.
    void viewsPerMember_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("view");
        const QString full =
            u">,empty/,images/,krg/,locked/,news/,Pages/|index.html,old_index.html,style.css|ad"_s;
        QTest::newRow("one file, adding") << "Bob" << 3 << "news/>,images/,news/|index.html|a";
        QTest::newRow("name GIF in images") << "Bob" << 3 << "images/>,images/,news/|bob.gif|";
        QTest::newRow("lower case, GIF once") << "Ann" << 2 << "images/>,images/,Pages/|ann.gif|";
        QTest::newRow("Pages/News.HTML") << "Ann" << 2 << "Pages/>,images/,Pages/|news.html|ad";
        QTest::newRow("full access form") << "Cara" << 3 << full;
        QTest::newRow("full access, line end") << "Dan" << 3 << ">,images/|*full access*|";
        QTest::newRow("hostile access list") << "Eve" << 3 << "news/>,images/,news/|index.html|";
        QTest::newRow("HTML for a list") << "Hal" << 3 << "images/>,images/|hal.gif|";
        QTest::newRow("administrator") << "Velmar" << 4 << full;
    }
    void viewsPerMember() {
        QFETCH(QString, member);
        QFETCH(int, level);
        QFETCH(QString, view);
        SiteFixture::login(member, quint8(level));
        Session s(view.section(u'>', 0, 0));
        QStringList keys = treeKeys(s.explorer), names = fileNames(s.explorer);
        if (s.explorer.fullAccess())
            std::sort(keys.begin() + 1, keys.end(), [](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        names.sort();
        QCOMPARE(s.explorer.selectedFolderKey() + u'>' + keys.join(u',') + u'|' + names.join(u',') + u'|' +
                     (s.explorer.canAddFiles() ? "a" : "") + (s.explorer.canDeleteFiles() ? "d" : ""),
                 view);
        // Administrators read no list.
        QVERIFY(!QFileInfo::exists(fx.mirror(u"krg/Velmar.dat"_s)));
        QVERIFY(dlg->records().isEmpty());
    }

    void missingAccessListLeavesTheMemberRestricted() {
        SiteFixture::login(u"Zed"_s, LevelFullAccess);
        Session s(u"images/"_s);
        QCOMPARE(treeKeys(s.explorer), (QStringList{"", "images/"}));
        QCOMPARE(fileNames(s.explorer), QStringList{"zed.gif"});
        QCOMPARE(fileIcons(s.explorer), QStringList{"filenotfound"});
        QVERIFY(!s.explorer.canAddFiles() && !s.explorer.canDeleteFiles());
        QCOMPARE(dlg->records().size(), 1); // the download reported the missing file
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
    }

    void listingsAreCachedAndEmptyOnesAskedAgain() {
        Session s;
        TransferControl& inet = s.inet;
        s.explorer.clickFolder(u"news/"_s);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        QCOMPARE(s.explorer.children(u"news/"_s).size(), 1);
        int sent = inet.commandsSent();
        // The shown folder clicked again: nothing happens.
        s.explorer.clickFolder(u"news/"_s);
        QCOMPARE(inet.commandsSent(), sent);
        // Root and back: both come from the cache, the subfolder is not added twice.
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(u"NEWS/"_s);
        QCOMPARE(inet.commandsSent(), sent);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        QCOMPARE(s.explorer.children(u"news/"_s).size(), 1);
        // An empty folder is listed at every visit.
        s.explorer.clickFolder(u"empty/"_s);
        QVERIFY(inet.commandsSent() > sent);
        sent = inet.commandsSent();
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(u"empty/"_s);
        QVERIFY(inet.commandsSent() > sent);
        // A new file on the host shows only once the empty folder is asked again.
        fx.host.write(u"news/late.html"_s, "x");
        s.explorer.clickFolder(u"news/"_s);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
    }

    void hostileNamesFromTheHostAreIgnored() {
        for (const char* name : {"tab\there.html", "esc\x1b[2J.html", "quote\".html", "drive:x.html"})
            fx.host.write(QString::fromUtf8(name), "x");
        Session s;
        QStringList names = fileNames(s.explorer);
        names.sort();
        QCOMPARE(names, (QStringList{"index.html", "old_index.html", "style.css"}));
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

    void downloadConfirmsAndMarks() {
        Session s;
        QVERIFY(!confirm(s, &ExplorerActions::Download, {"index.html"}, Dialogs::Cancel));
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to download 1 file from the server."_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Information);
        QVERIFY(!QFileInfo::exists(fx.mirror(u"index.html"_s)));
        QVERIFY(confirm(s, &ExplorerActions::Download, {"index.html", "style.css"}));
        QCOMPARE(dlg->lastText(), u"Please confirm.  You are about to download 2 files from the server."_s);
        QCOMPARE(readLocal(fx.mirror(u"index.html"_s)), fx.host.read(u"index.html"_s));
        QCOMPARE(readLocal(fx.mirror(u"style.css"_s)), fx.host.read(u"style.css"_s));
        QCOMPARE(fileIcons(s.explorer), (QStringList{"file", "filenotfound", "file"}));
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
        QCOMPARE(fileIcons(s.explorer).join(u' '), icons);
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
        QTemporaryDir disk;
        struct Run {
            QMap<QString, QByteArray> host, mirror;
            QStringList texts, names;
            QString outcome;
            int poolLogins = 0;
        };
        QList<Run> runs;
        for (int connections : {1, 4}) {
            fx.resetSite();
            fx.resetLocal();
            dlg->clear();
            const QStringList names = seedMany(12);
            // Earlier copies on both sides, some with backups of their own, one empty.
            fx.host.write(u"many/f02.html.backup"_s, "older on the host");
            QVERIFY(writeLocal(fx.mirror(u"many/f01.html"_s), "mine 1"));
            QVERIFY(writeLocal(fx.mirror(u"many/f03.html"_s), ""));
            QVERIFY(writeLocal(fx.mirror(u"many/f04.html.backup"_s), "older here"));
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
            runs.append({treeBytes(fx.host.root()), treeBytes(fx.local->path()), dlg->texts(),
                         fileNames(s.explorer), s.actions.lastOutcome(), s.actions.pool().logins()});
        }
        const Run &one = runs[0], &four = runs[1];
        QCOMPARE(four.host, one.host);
        QCOMPARE(four.mirror, one.mirror);
        QCOMPARE(four.texts, one.texts);
        QCOMPARE(four.names, one.names);
        QCOMPARE(four.outcome, one.outcome);
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
        QTemporaryDir disk;
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

    void sendKeepsTheHostBackup() {
        Session s;
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

        // Among many, the program's own files still go one at a time under the shared lock and are
        // read back: a save by a client without the lock in between is noticed and made again.
        SiteFixture::login(u"Velmar"_s, LevelAdministrator);
        const QStringList names{"_message.dat", "notes.txt", "todo.txt"};
        for (const QString& name : names) {
            fx.host.write(u"krg/"_s + name, "old");
            QVERIFY(writeLocal(fx.mirror(u"krg/"_s + name), "Welcome back"));
        }
        QTemporaryDir scratch;
        QVERIFY(writeLocal(scratch.filePath(u"other"_s), "Welcome BACK"));
        const auto replaceOnce = [&](const char* hostPath) {
            fx.host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "%1", "content_file": "%2",
                                                 "times": 1}]})")
                                  .arg(QLatin1String(hostPath), scratch.filePath(u"other"_s))
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
            added << scratch.filePath(QString::fromLatin1(name));
            QVERIFY(writeLocal(added.last(), "Welcome back"));
        }
        QVERIFY2(admin.actions.AddFiles(added), qPrintable(admin.actions.lastOutcome()));
        for (const char* name : {"_news.dat", "a.txt", "b.txt"})
            QCOMPARE(fx.host.read(u"krg/"_s + QLatin1String(name)), "Welcome back"_ba);
    }

    void deleteOnHostLeavesSimilarNames() {
        Session s;
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

    void deleteLocalCopies() {
        QVERIFY(writeLocal(fx.mirror(u"index.html"_s), "local"));
        Session s;
        QCOMPARE(s.icon(u"index.html"_s), u"file"_s);
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
        QVERIFY(fx.host.exists(u"index.html"_s));
    }

    void addFilesChecksNamesAndExistence() {
        QTemporaryDir disk;
        const QString a = disk.filePath(u"a.html"_s), spaced = disk.filePath(u"b c.html"_s),
                      c = disk.filePath(u"c.gif"_s), existing = disk.filePath(u"style.css"_s);
        QVERIFY(writeLocal(a, "<p>a</p>") && writeLocal(spaced, "b") && writeLocal(c, kGif) &&
                writeLocal(existing, "mine"));
        Session s(u"news/"_s);
        dlg->answerFiles(QStringList{a, spaced, c});
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->records().first().text, u"Add File..."_s);
        QCOMPARE(dlg->records().first().filter, ExplorerActions::FileFilter());
        QCOMPARE(dlg->texts().mid(1),
                 QStringList{"b c.html\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"});
        QCOMPARE(fx.host.read(u"news/a.html"_s), "<p>a</p>"_ba);
        QCOMPARE(fx.host.read(u"news/c.gif"_s), kGif);
        QCOMPARE(readLocal(fx.mirror(u"news/c.gif"_s)), kGif);
        QVERIFY(!fx.host.exists(u"news/b c.html"_s));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "a.html", "c.gif"}));
        QVERIFY(s.explorer.node(u"news/"_s)->tag.endsWith(u"\r\na.html\r\nc.gif"_s));
        // A name the host has already.
        s.explorer.clickFolder(QString());
        dlg->clear();
        QVERIFY(!s.actions.AddFiles({existing}));
        QCOMPARE(dlg->texts(),
                 QStringList{"style.css already exists on the server.  Try using the REPLACE button."});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(u"style.css"_s), "body { color: navy; }\r\n"_ba);
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "old_index.html", "style.css"}));
        // A cancelled dialog.
        dlg->answerFiles(std::nullopt);
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->lastText(), u"Cancel was selected."_s);
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), runState().LocalFolder);
    }

    void restrictedAddIsAppendedToTheAccessList() {
        SiteFixture::login(u"Bob"_s, LevelFullAccess);
        QTemporaryDir disk;
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
        QVERIFY(confirm(again, &ExplorerActions::Download, {"story.html"}));
        QCOMPARE(readLocal(fx.mirror(u"news/Story.html"_s)), "<p>story</p>"_ba);
        // Nothing to add where the list does not allow it.
        Session root;
        QVERIFY(!root.actions.AddFiles({page}));
        QCOMPARE(dlg->lastText(), u"Your access list does not allow you to add files in the folder /."_s);
    }

    void newFileRegistersTheName() {
        Session s(u"news/"_s);
        dlg->answerText(u"newfile.html"_s);
        QVERIFY(s.actions.NewFile());
        QCOMPARE(dlg->records().first().text, u"Please enter a name for the new file"_s);
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
    }

    void replaceSendsTheChosenFile() {
        QTemporaryDir disk;
        const QString chosen = disk.filePath(u"new-style.css"_s), spaced = disk.filePath(u"new style.css"_s);
        QVERIFY(writeLocal(chosen, "body { color: green; }\r\n") && writeLocal(spaced, "x"));
        Session s;
        QVERIFY(!s.actions.Replace()); // nothing selected: nothing asked
        QVERIFY(dlg->records().isEmpty());
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
    }

    void externalEditorsStartOnTheLocalCopy() {
        QTemporaryDir programs;
        const QString editor = programs.filePath(u"my editor"_s);
        QVERIFY(writeLocal(editor, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = programs.filePath(u"external editors.ini"_s);
        QVERIFY(writeLocal(runState().ExternalEditorsFile,
                           "Notepad\r\nC:\\WINDOWS\\NOTEPAD.EXE\r\nMine\r\n\"" + editor.toUtf8() + "\"\r\n"));
        RecordingDesktopServices desktop;
        Session s;
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

    void withoutAFolderNothingIsAsked() {
        TransferControl inet;
        SiteExplorer explorer(inet);
        ExplorerActions actions(explorer);
        QVERIFY(!actions.AddFiles() && !actions.NewFile() && !actions.Replace() &&
                !actions.DownloadAndEdit());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(inet.commandsSent(), 0);
    }

    void foldersCreatedAndRemovedWithFullAccess() {
        Session s(u"news/"_s);
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
        SiteFixture::login(u"Bob"_s, LevelFullAccess);
        Session bob(u"news/"_s);
        QVERIFY(!bob.actions.CreateSubfolder(u"x"_s));
        QVERIFY(!fx.host.exists(u"news/x"_s));
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
    // change made while the editor was open.
    void editorKeepsAnAccessListChangedMeanwhile() {
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
    }

    void editorClosingQuestion() {
        TransferControl inet;
        EditSession s(inet);
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
        QVERIFY(!fx.host.exists(u"style.css.backup"_s));
        // Discard Changes: no question.
        s.discardOnClose = true;
        s.sendOnClose = false;
        QVERIFY(s.QueryClose());
        QCOMPARE(dlg->records().size(), 2);
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
    }

    void editorWriteFailureAsksBeforeClosing() {
        TransferControl inet;
        EditSession s(inet);
        QCOMPARE(s.load(u"krg\\Bob.dat"_s), EditSession::Load::Opened);
        s.setEditorText(u"news/index.html\nnews/*delete files*"_s);
        QCOMPARE(s.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "news/index.html\r\nnews/*delete files*"_ba);
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
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "news/index.html\r\nnews/*delete files*"_ba);
    }

    void editFileRunsTheWindowHook() {
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
        QVERIFY(EditFileWithText(*std::make_unique<TransferControl>(), u"style.css"_s, u"a\nb"_s));
        QCOMPARE(fx.host.read(u"style.css"_s), "a\r\nb"_ba);
    }
};

KRTP_TEST_MAIN_CORE(TestSiteExplorer)
#include "tst_siteexplorer.moc"
