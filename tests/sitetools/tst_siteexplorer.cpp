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

    // Files f00.html ... in many/ on the host, of different sizes (the first empty); their names.
    QStringList seedMany(int count) {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("f%1.html").arg(i, 2, 10, QLatin1Char('0'));
            fx.host.write(QStringLiteral("many/") + name, QByteArray(700 * (i % 4) + i, char('a' + i)));
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
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void viewsPerMember_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("level");
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("del");
        const QStringList full{"", "empty/", "images/", "krg/", "locked/", "news/", "Pages/"};
        QTest::newRow("restricted, one file and adding")
            << "Bob" << 3 << QStringList{"", "images/", "news/"} << "news/" << QStringList{"index.html"}
            << true << false;
        QTest::newRow("name GIF always in images") << "Bob" << 3 << QStringList{"", "images/", "news/"}
                                                   << "images/" << QStringList{"bob.gif"} << false << false;
        QTest::newRow("lower-case entry, name GIF once")
            << "Ann" << 2 << QStringList{"", "images/", "Pages/"} << "images/" << QStringList{"ann.gif"}
            << false << false;
        QTest::newRow("Pages/News.HTML") << "Ann" << 2 << QStringList{"", "images/", "Pages/"} << "Pages/"
                                         << QStringList{"news.html"} << true << true;
        QTest::newRow("full access form")
            << "Cara" << 3 << full << "" << QStringList{"index.html", "old_index.html", "style.css"} << true
            << true;
        QTest::newRow("full access with a line end") << "Dan" << 3 << QStringList{"", "images/"} << ""
                                                     << QStringList{"*full access*"} << false << false;
        QTest::newRow("hostile access list") << "Eve" << 3 << QStringList{"", "images/", "news/"} << "news/"
                                             << QStringList{"index.html"} << false << false;
        QTest::newRow("HTML in place of a list") << "Hal" << 3 << QStringList{"", "images/"} << "images/"
                                                 << QStringList{"hal.gif"} << false << false;
        QTest::newRow("administrator")
            << "Velmar" << 4 << full << "" << QStringList{"index.html", "old_index.html", "style.css"} << true
            << true;
    }
    void viewsPerMember() {
        QFETCH(QString, member);
        QFETCH(int, level);
        QFETCH(QStringList, tree);
        QFETCH(QString, folder);
        QFETCH(QStringList, files);
        QFETCH(bool, add);
        QFETCH(bool, del);
        SiteFixture::login(member, quint8(level));
        Session s(folder);
        QStringList keys = treeKeys(s.explorer);
        if (s.explorer.fullAccess())
            std::sort(keys.begin() + 1, keys.end(), [](const QString& a, const QString& b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        QCOMPARE(keys, tree);
        QCOMPARE(s.explorer.selectedFolderKey(), folder);
        QStringList names = fileNames(s.explorer);
        names.sort();
        QCOMPARE(names, files);
        QCOMPARE(s.explorer.canAddFiles(), add);
        QCOMPARE(s.explorer.canDeleteFiles(), del);
        // Administrators read no list.
        QCOMPARE(QFileInfo::exists(fx.mirror(QStringLiteral("krg/Velmar.dat"))), false);
        QVERIFY(dlg->records().isEmpty());
    }

    void missingAccessListLeavesTheMemberRestricted() {
        SiteFixture::login(QStringLiteral("Zed"), LevelFullAccess);
        Session s(QStringLiteral("images/"));
        QCOMPARE(treeKeys(s.explorer), (QStringList{"", "images/"}));
        QCOMPARE(fileNames(s.explorer), QStringList{"zed.gif"});
        QCOMPARE(fileIcons(s.explorer), QStringList{"filenotfound"});
        QVERIFY(!s.explorer.canAddFiles() && !s.explorer.canDeleteFiles());
        QCOMPARE(dlg->records().size(), 1); // the download reported the missing file
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
    }

    void listingsAreCachedAndEmptyOnesAskedAgain() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s;
        TransferControl& inet = s.inet;
        s.explorer.clickFolder(QStringLiteral("news/"));
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        QCOMPARE(s.explorer.children(QStringLiteral("news/")).size(), 1);
        int sent = inet.commandsSent();
        // The shown folder clicked again: nothing happens.
        s.explorer.clickFolder(QStringLiteral("news/"));
        QCOMPARE(inet.commandsSent(), sent);
        // Root and back: both come from the cache, the subfolder is not added twice.
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(QStringLiteral("NEWS/"));
        QCOMPARE(inet.commandsSent(), sent);
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
        QCOMPARE(s.explorer.children(QStringLiteral("news/")).size(), 1);
        // An empty folder is listed at every visit.
        s.explorer.clickFolder(QStringLiteral("empty/"));
        QVERIFY(inet.commandsSent() > sent);
        sent = inet.commandsSent();
        s.explorer.clickFolder(QString());
        s.explorer.clickFolder(QStringLiteral("empty/"));
        QVERIFY(inet.commandsSent() > sent);
        // A new file on the host shows only once the empty folder is asked again.
        fx.host.write(QStringLiteral("news/late.html"), "x");
        s.explorer.clickFolder(QStringLiteral("news/"));
        QCOMPARE(fileNames(s.explorer), QStringList{"index.html"});
    }

    void hostileNamesFromTheHostAreIgnored() {
        for (const char* name : {"tab\there.html", "esc\x1b[2J.html", "quote\".html", "drive:x.html"})
            fx.host.write(QString::fromUtf8(name), "x");
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s;
        QStringList names = fileNames(s.explorer);
        names.sort();
        QCOMPARE(names, (QStringList{"index.html", "old_index.html", "style.css"}));
        // A listing as a hostile host could send it.
        s.explorer.setTag(QString(),
                          QStringLiteral("../\r\n/etc/\r\n..\\x/\r\nC:/\r\n.git/\r\n../../passwd\r\n"
                                         "/etc/passwd\r\nok.html\r\nsub/\r\n  \r\n"));
        s.explorer.clickFolder(QStringLiteral("news/"));
        s.explorer.clickFolder(QString());
        QCOMPARE(fileNames(s.explorer), QStringList{"ok.html"});
        QVERIFY(s.explorer.node(QStringLiteral("sub/")));
        for (const FolderNode& n : s.explorer.nodes())
            QVERIFY2(IsSafeFolderKey(n.key) && !n.key.startsWith(QLatin1Char('.')), qPrintable(n.key));
        QVERIFY(!s.explorer.AddFolderNode(QString(), QStringLiteral("..")));
        QVERIFY(!s.explorer.AddFolderNode(QStringLiteral("nowhere/"), QStringLiteral("x/")));
    }

    void downloadConfirmsAndMarks() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s;
        s.select({"index.html"});
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.actions.Download());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Please confirm.  You are about to download 1 file from the server."));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Information);
        QVERIFY(!QFileInfo::exists(fx.mirror(QStringLiteral("index.html"))));
        s.select({"index.html", "style.css"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.Download());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Please confirm.  You are about to download 2 files from the server."));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("index.html"))),
                 fx.host.read(QStringLiteral("index.html")));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("style.css"))),
                 fx.host.read(QStringLiteral("style.css")));
        QCOMPARE(fileIcons(s.explorer), (QStringList{"file", "filenotfound", "file"}));
    }

    void restrictedDownloadUsesTheListSpelling() {
        SiteFixture::login(QStringLiteral("Ann"), LevelReadOnly);
        Session s(QStringLiteral("Pages/"));
        s.select({"news.html"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.Download());
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("Pages/News.HTML"))), QByteArray("<p>News</p>\r\n"));
        QCOMPARE(s.icon(QStringLiteral("news.html")), QStringLiteral("file"));
    }

    void theFirstFailedTransferEndsTheAction_data() {
        QTest::addColumn<int>("connections");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("gone");
        QTest::addColumn<QStringList>("icons");
        QTest::addColumn<QString>("outcome");
        const QStringList three{"f00.html", "f01.html", "f02.html"};
        QTest::newRow("one connection: later files untouched")
            << 1 << three << "f01.html"
            << QStringList{"file", "filedownload", "filenotfound", "filenotfound", "filenotfound"}
            << "Downloaded f00.html; stopped: 550 No such file or directory.";
        QTest::newRow("four: a file already under way still arrives")
            << 4 << three << "f01.html"
            << QStringList{"file", "filedownload", "file", "filenotfound", "filenotfound"}
            << "Downloaded 2 files; stopped: 550 No such file or directory.";
        // f01 is large, so the refusal of f00 comes while it still moves: nothing new starts after.
        QTest::newRow("two: no file starts after the failure")
            << 2 << QStringList{"f00.html", "f01.html", "f02.html", "f03.html", "f04.html"} << "f00.html"
            << QStringList{"filedownload", "file", "filenotfound", "filenotfound", "filenotfound"}
            << "Downloaded f01.html; stopped: 550 No such file or directory.; left as they were: f02.html, "
               "f03.html, f04.html";
    }
    void theFirstFailedTransferEndsTheAction() {
        QFETCH(int, connections);
        QFETCH(QStringList, selected);
        QFETCH(QString, gone);
        QFETCH(QStringList, icons);
        QFETCH(QString, outcome);
        seedMany(5);
        fx.host.write(QStringLiteral("many/f01.html"), QByteArray(24 * 1024 * 1024, 'b'));
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s(QStringLiteral("many/"));
        s.actions.setParallelTransfers(connections);
        QFile::remove(fx.host.path(QStringLiteral("many/") + gone)); // listed, then gone
        s.select(selected);
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.Download());
        QCOMPARE(dlg->texts().mid(1), QStringList{"550 No such file or directory."});
        QCOMPARE(fileIcons(s.explorer), icons);
        QCOMPARE(s.actions.lastOutcome(), outcome);
        for (const QString& name : selected)
            QCOMPARE(QFileInfo::exists(fx.mirror(QStringLiteral("many/") + name)),
                     icons[int(fileNames(s.explorer).indexOf(name))] == QLatin1String("file"));
    }

    // The same action from the same start on one connection and on four: host, mirror, messages,
    // list and outcome end up the same.
    void severalConnectionsDoWhatOneDoes_data() {
        QTest::addColumn<QString>("action");
        for (const char* action : {"download", "send", "add", "delete"})
            QTest::newRow(action) << QString::fromLatin1(action);
    }
    void severalConnectionsDoWhatOneDoes() {
        QFETCH(QString, action);
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
            fx.host.write(QStringLiteral("many/f02.html.backup"), "older on the host");
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/f01.html")), "mine 1"));
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/f03.html")), ""));
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/f04.html.backup")), "older here"));
            QString folder = QStringLiteral("many/");
            if (action == QLatin1String("add")) {
                SiteFixture::login(QStringLiteral("Bob"), LevelFullAccess);
                folder = QStringLiteral("news/");
            } else if (action == QLatin1String("delete")) {
                SiteFixture::login(QStringLiteral("Ann"), LevelFullAccess);
                folder = QStringLiteral("Pages/");
                QByteArray list = fx.host.read(QStringLiteral("krg/Ann.dat"));
                for (int i = 0; i < 8; ++i) {
                    fx.host.write(QStringLiteral("Pages/p%1.html").arg(i), QByteArray(100 * i, 'p'));
                    list += "\r\nPages/p" + QByteArray::number(i) + ".html";
                }
                fx.host.write(QStringLiteral("krg/Ann.dat"), list);
            } else {
                SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
            }
            Session s(folder);
            s.actions.setParallelTransfers(connections);
            bool ok = false;
            if (action == QLatin1String("add")) {
                QStringList paths;
                for (const char* name : {"a0.html", "a1.html", "a2.html", "index.html", "a3.html",
                                         "my page.html", "a4.html", "a5.gif", "a6.html", "a7.html"}) {
                    paths << disk.filePath(QString::fromLatin1(name));
                    QVERIFY(writeLocal(paths.last(), QByteArray("added ") + name));
                }
                paths.insert(2, paths[1]); // given twice: the second finds the first on the host
                ok = s.actions.AddFiles(paths);
            } else {
                if (action == QLatin1String("send"))
                    for (const QString& n : names)
                        QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/") + n), "sent " + n.toLatin1()));
                if (action == QLatin1String("delete"))
                    s.explorer.files().setAllSelected(true);
                else
                    s.select(names);
                dlg->answer(Dialogs::Ok);
                ok = action == QLatin1String("download") ? s.actions.Download()
                     : action == QLatin1String("send")   ? s.actions.Send()
                                                         : s.actions.DeleteOnHost();
            }
            QCOMPARE(ok, action != QLatin1String("add"));
            runs.append({treeBytes(fx.host.root()), treeBytes(fx.local->path()), dlg->texts(),
                         fileNames(s.explorer), s.actions.lastOutcome(), s.actions.pool().logins()});
        }
        const Run &one = runs[0], &four = runs[1];
        QCOMPARE(four.host.keys(), one.host.keys());
        for (auto it = one.host.begin(); it != one.host.end(); ++it)
            QVERIFY2(four.host.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(four.mirror.keys(), one.mirror.keys());
        for (auto it = one.mirror.begin(); it != one.mirror.end(); ++it)
            QVERIFY2(four.mirror.value(it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(four.texts, one.texts);
        QCOMPARE(four.names, one.names);
        QCOMPARE(four.outcome, one.outcome);
        // The bodies went over the pool, on no more logins than connections.
        QCOMPARE(one.poolLogins, 0);
        QVERIFY2(four.poolLogins >= 2 && four.poolLogins <= 4, qPrintable(QString::number(four.poolLogins)));
    }

    void oneRefusedFileAmongManyRestoresOnlyItself_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("download") << "download"
                                  << QByteArray(R"({"refuse": [{"cmd": "RETR", "path": "/many/f01.html",
                                                  "reply": "450 Busy."}]})")
                                  << "450 Busy."
                                  << "Downloaded 3 files; stopped: 450 Busy.";
        QTest::newRow("send") << "send" << QByteArray(R"({"refuse": [{"cmd": "STOR", "path": "/many/f01.html",
                                              "reply": "451 Broken.", "leave": "first part"}]})")
                              << "451 Broken."
                              << "Sent 3 files to the server; stopped: 451 Broken.";
        QTest::newRow("add") << "add" << QByteArray(R"({"refuse": [{"cmd": "STOR", "path": "/news/f01.html",
                                             "reply": "451 Broken.", "leave": "first part"}]})")
                             << "451 Broken."
                             << "Added 3 files to the server; skipped f01.html, 451 Broken.";
    }
    void oneRefusedFileAmongManyRestoresOnlyItself() {
        QFETCH(QString, action);
        QFETCH(QByteArray, faults);
        QFETCH(QString, message);
        QFETCH(QString, outcome);
        const QStringList names = seedMany(4);
        QTemporaryDir disk;
        QStringList paths;
        for (const QString& n : names) {
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/") + n), "mine " + n.toLatin1()));
            paths << disk.filePath(n);
            QVERIFY(writeLocal(paths.last(), "new " + n.toLatin1()));
        }
        const QMap<QString, QByteArray> hostBefore = treeBytes(fx.host.root());
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        const bool adding = action == QLatin1String("add");
        Session s(adding ? QStringLiteral("news/") : QStringLiteral("many/"));
        s.actions.setParallelTransfers(4);
        fx.host.setFaults(faults);
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        if (adding) {
            QVERIFY(!s.actions.AddFiles(paths));
        } else {
            s.select(names);
            dlg->answer(Dialogs::Ok);
            QVERIFY(action == QLatin1String("download") ? !s.actions.Download() : !s.actions.Send());
        }
        QCOMPARE(dlg->texts().mid(adding ? 0 : 1), QStringList{message});
        QCOMPARE(s.actions.lastOutcome(), outcome);
        for (const QString& n : names) {
            const QString hostPath = (adding ? QStringLiteral("news/") : QStringLiteral("many/")) + n;
            const bool refused = n == QLatin1String("f01.html");
            if (action == QLatin1String("download")) {
                QCOMPARE(readLocal(fx.mirror(hostPath)),
                         refused ? QByteArray("mine f01.html") : fx.host.read(hostPath));
                QCOMPARE(readLocal(fx.mirror(hostPath + QStringLiteral(".backup"))),
                         refused ? QByteArray("<missing>") : "mine " + n.toLatin1());
                QCOMPARE(s.icon(n), refused ? QStringLiteral("filedownload") : QStringLiteral("file"));
            } else if (action == QLatin1String("send")) {
                QCOMPARE(fx.host.read(hostPath),
                         refused ? hostBefore.value(hostPath) : "mine " + n.toLatin1());
                QCOMPARE(fx.host.exists(hostPath + QStringLiteral(".backup")), !refused);
                if (!refused)
                    QCOMPARE(fx.host.read(hostPath + QStringLiteral(".backup")), hostBefore.value(hostPath));
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
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s(QStringLiteral("many/"));
        s.actions.setParallelTransfers(4);
        const int own = s.inet.commandsSent();
        s.select(names);
        dlg->answer(Dialogs::Ok);
        QVERIFY2(s.actions.Download(), qPrintable(s.actions.lastOutcome()));
        for (const QString& n : names) {
            QCOMPARE(readLocal(fx.mirror(QStringLiteral("many/") + n)),
                     fx.host.read(QStringLiteral("many/") + n));
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("many/") + n), "sent " + n.toLatin1()));
        }
        dlg->answer(Dialogs::Ok);
        QVERIFY2(s.actions.Send(), qPrintable(s.actions.lastOutcome()));
        for (const QString& n : names)
            QCOMPARE(fx.host.read(QStringLiteral("many/") + n), "sent " + n.toLatin1());
        QCOMPARE(dlg->texts(),
                 (QStringList{"Please confirm.  You are about to download 8 files from the server.",
                              "Please confirm.  You are about to send (upload) 8 files to the server."}));
        // Every file went over the pool's connection; none took the one-by-one path afterwards.
        QCOMPARE(s.inet.commandsSent(), own);
    }

    void sendKeepsTheHostBackup() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s;
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("style.css")), "body { color: red; }\r\n"));
        s.select({"style.css"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.Send());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Please confirm.  You are about to send (upload) 1 file to the server."));
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("body { color: red; }\r\n"));
        QCOMPARE(fx.host.read(QStringLiteral("style.css.backup")), QByteArray("body { color: navy; }\r\n"));
        QCOMPARE(s.icon(QStringLiteral("style.css")), QStringLiteral("file"));
        // A file with no local copy: the routine's message, the mark stays.
        s.select({"index.html"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.Send());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("VelmarFTP/index.html does not exist on the local hard drive."));
        QCOMPARE(s.icon(QStringLiteral("index.html")), QStringLiteral("fileupload"));

        // Among many, the program's own files still go one at a time under the shared lock and are
        // read back: a save by a client without the lock in between is noticed and made again.
        SiteFixture::login(QStringLiteral("Velmar"), LevelAdministrator);
        const QStringList names{"_message.dat", "notes.txt", "todo.txt"};
        for (const QString& name : names) {
            fx.host.write(QStringLiteral("krg/") + name, "old");
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("krg/") + name), "Welcome back"));
        }
        QTemporaryDir scratch;
        QVERIFY(writeLocal(scratch.filePath(QStringLiteral("other")), "Welcome BACK"));
        const auto replaceOnce = [&](const char* hostPath) {
            fx.host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "%1", "content_file": "%2",
                                                 "times": 1}]})")
                                  .arg(QLatin1String(hostPath), scratch.filePath(QStringLiteral("other")))
                                  .toUtf8());
        };
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        replaceOnce("/krg/_message.dat");
        Session admin(QStringLiteral("krg/"));
        admin.actions.setParallelTransfers(4);
        admin.select(names);
        dlg->answer(Dialogs::Ok);
        QVERIFY2(admin.actions.Send(), qPrintable(admin.actions.lastOutcome()));
        for (const QString& name : names)
            QCOMPARE(fx.host.read(QStringLiteral("krg/") + name), QByteArray("Welcome back"));
        // Adding them alike.
        replaceOnce("/krg/_news.dat");
        QStringList added;
        for (const char* name : {"_news.dat", "a.txt", "b.txt"}) {
            added << scratch.filePath(QString::fromLatin1(name));
            QVERIFY(writeLocal(added.last(), "Welcome back"));
        }
        QVERIFY2(admin.actions.AddFiles(added), qPrintable(admin.actions.lastOutcome()));
        for (const char* name : {"_news.dat", "a.txt", "b.txt"})
            QCOMPARE(fx.host.read(QStringLiteral("krg/") + QLatin1String(name)), QByteArray("Welcome back"));
    }

    void deleteOnHostLeavesSimilarNames() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s;
        s.select({"index.html"});
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.actions.DeleteOnHost());
        QVERIFY(fx.host.exists(QStringLiteral("index.html")));
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.DeleteOnHost());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Please confirm.  You are about to DELETE 1 file from the server."));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
        QVERIFY(!fx.host.exists(QStringLiteral("index.html")));
        QVERIFY(fx.host.exists(QStringLiteral("old_index.html")));
        QCOMPARE(fileNames(s.explorer), (QStringList{"old_index.html", "style.css"}));
        const QStringList tag = s.explorer.node(QString())->tag.split(QStringLiteral("\r\n"));
        QVERIFY(!tag.contains(QStringLiteral("index.html")));
        QVERIFY(tag.contains(QStringLiteral("old_index.html")));
        // The cached listing is what the folder shows next time.
        s.explorer.clickFolder(QStringLiteral("news/"));
        s.explorer.clickFolder(QString());
        QCOMPARE(fileNames(s.explorer), (QStringList{"old_index.html", "style.css"}));
    }

    void restrictedDeleteUnregistersInTheList() {
        SiteFixture::login(QStringLiteral("Ann"), LevelFullAccess);
        Session s(QStringLiteral("Pages/"));
        s.select({"news.html"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.DeleteOnHost());
        QVERIFY(!fx.host.exists(QStringLiteral("Pages/News.HTML")));
        QCOMPARE(fx.host.read(QStringLiteral("krg/Ann.dat")),
                 QByteArray("Pages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"));
        QCOMPARE(
            fx.host.read(QStringLiteral("krg/Ann.dat.backup")),
            QByteArray("Pages/News.HTML\r\nPages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"));
        QVERIFY(fileNames(s.explorer).isEmpty());
    }

    void deleteLocalCopies() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("index.html")), "local"));
        Session s;
        QCOMPARE(s.icon(QStringLiteral("index.html")), QStringLiteral("file"));
        QVERIFY(!s.actions.DeleteLocal());
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("No Files are Selected.  Please select the files to delete."));
        s.select({"index.html", "style.css"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.DeleteLocal()); // style.css has no local copy
        QCOMPARE(dlg->texts().mid(dlg->texts().size() - 2),
                 (QStringList{"Please confirm.  You are about to DELETE 2 files from your LOCAL hard drive.",
                              "File not found: VelmarFTP/style.css"}));
        QVERIFY(!QFileInfo::exists(fx.mirror(QStringLiteral("index.html"))));
        QCOMPARE(s.icon(QStringLiteral("index.html")), QStringLiteral("filenotfound"));
        QCOMPARE(s.icon(QStringLiteral("style.css")), QStringLiteral("filedelete"));
        QVERIFY(fx.host.exists(QStringLiteral("index.html")));
    }

    void addFilesChecksNamesAndExistence() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QTemporaryDir disk;
        const QString a = disk.filePath(QStringLiteral("a.html")),
                      spaced = disk.filePath(QStringLiteral("b c.html")),
                      c = disk.filePath(QStringLiteral("c.gif")),
                      existing = disk.filePath(QStringLiteral("style.css"));
        QVERIFY(writeLocal(a, "<p>a</p>") && writeLocal(spaced, "b") && writeLocal(c, kGif) &&
                writeLocal(existing, "mine"));
        Session s(QStringLiteral("news/"));
        dlg->answerFiles(QStringList{a, spaced, c});
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->records().first().text, QStringLiteral("Add File..."));
        QCOMPARE(dlg->records().first().filter, ExplorerActions::FileFilter());
        QCOMPARE(dlg->texts().mid(1),
                 QStringList{"b c.html\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"});
        QCOMPARE(fx.host.read(QStringLiteral("news/a.html")), QByteArray("<p>a</p>"));
        QCOMPARE(fx.host.read(QStringLiteral("news/c.gif")), kGif);
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("news/c.gif"))), kGif);
        QVERIFY(!fx.host.exists(QStringLiteral("news/b c.html")));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "a.html", "c.gif"}));
        QVERIFY(
            s.explorer.node(QStringLiteral("news/"))->tag.endsWith(QStringLiteral("\r\na.html\r\nc.gif")));
        // A name the host has already.
        s.explorer.clickFolder(QString());
        dlg->clear();
        QVERIFY(!s.actions.AddFiles({existing}));
        QCOMPARE(dlg->texts(),
                 QStringList{"style.css already exists on the server.  Try using the REPLACE button."});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("body { color: navy; }\r\n"));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "old_index.html", "style.css"}));
        // A cancelled dialog.
        dlg->answerFiles(std::nullopt);
        QVERIFY(!s.actions.AddFiles());
        QCOMPARE(dlg->lastText(), QStringLiteral("Cancel was selected."));
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), runState().LocalFolder);
    }

    void restrictedAddIsAppendedToTheAccessList() {
        SiteFixture::login(QStringLiteral("Bob"), LevelFullAccess);
        QTemporaryDir disk;
        const QString page = disk.filePath(QStringLiteral("Story.html"));
        QVERIFY(writeLocal(page, "<p>story</p>"));
        Session s(QStringLiteral("news/"));
        // An administrator gives Bob another page while his explorer is open: the list is extended
        // as the host has it now.
        fx.host.write(QStringLiteral("krg/Bob.dat"),
                      "news/index.html\r\nnews/*add files*\r\nnews/extra.html");
        QVERIFY2(s.actions.AddFiles({page}), qPrintable(dlg->texts().join(QLatin1Char('|'))));
        QCOMPARE(fx.host.read(QStringLiteral("news/Story.html")), QByteArray("<p>story</p>"));
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*add files*\r\nnews/extra.html\r\nnews/Story.html"));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "Story.html"}));
        // Read back the way the explorer reads it.
        Session again(QStringLiteral("news/"));
        QCOMPARE(fileNames(again.explorer), (QStringList{"index.html", "extra.html", "story.html"}));
        again.select({"story.html"});
        dlg->answer(Dialogs::Ok);
        QVERIFY(again.actions.Download());
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("news/Story.html"))), QByteArray("<p>story</p>"));
        // Nothing to add where the list does not allow it.
        Session root;
        QVERIFY(!root.actions.AddFiles({page}));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Your access list does not allow you to add files in the folder /."));
    }

    void newFileRegistersTheName() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s(QStringLiteral("news/"));
        dlg->answerText(QStringLiteral("newfile.html"));
        QVERIFY(s.actions.NewFile());
        QCOMPARE(dlg->records().first().text, QStringLiteral("Please enter a name for the new file"));
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "newfile.html"}));
        QCOMPARE(s.icon(QStringLiteral("newfile.html")), QStringLiteral("filenotfound"));
        QVERIFY(!fx.host.exists(QStringLiteral("news/newfile.html")));
        QVERIFY(!QFileInfo::exists(fx.mirror(QStringLiteral("news/newfile.html"))));
        const QString spaces =
            QStringLiteral("\r\n\r\nSorry, spaces are not allows in files for the KR Web Site");
        for (const auto& [name, refusal] :
             {std::pair{"my page.html", "my page.html" + spaces},
              std::pair{"index.html",
                        QStringLiteral("news/index.html already exists on the server.  Try using "
                                       "the REPLACE button.")},
              std::pair{
                  "../escape.html",
                  QStringLiteral("../escape.html\r\n\r\nSorry, this name cannot be used for files on the "
                                 "KR Web Site")}}) {
            dlg->answerText(QLatin1String(name));
            QVERIFY(!s.actions.NewFile());
            QCOMPARE(dlg->lastText(), refusal);
        }
        dlg->answerText(QString());
        QVERIFY(!s.actions.NewFile());
        QCOMPARE(fileNames(s.explorer), (QStringList{"index.html", "newfile.html"}));
    }

    void replaceSendsTheChosenFile() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QTemporaryDir disk;
        const QString chosen = disk.filePath(QStringLiteral("new-style.css")),
                      spaced = disk.filePath(QStringLiteral("new style.css"));
        QVERIFY(writeLocal(chosen, "body { color: green; }\r\n") && writeLocal(spaced, "x"));
        Session s;
        QVERIFY(!s.actions.Replace()); // nothing selected: nothing asked
        QVERIFY(dlg->records().isEmpty());
        s.select({"style.css"});
        dlg->answerFiles(QStringList{spaced});
        QVERIFY(!s.actions.Replace());
        QCOMPARE(dlg->records().first().text, QStringLiteral("Replace style.css With..."));
        QCOMPARE(
            dlg->lastText(),
            QStringLiteral("new style.css\r\n\r\nSorry, spaces are not allows in files for the KR Web Site"));
        dlg->answerFiles(QStringList{chosen});
        QVERIFY(s.actions.Replace());
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("body { color: green; }\r\n"));
        QCOMPARE(fx.host.read(QStringLiteral("style.css.backup")), QByteArray("body { color: navy; }\r\n"));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("style.css"))), QByteArray("body { color: green; }\r\n"));
        // The mirror copy itself as the chosen file is sent as it is.
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("style.css")), "p {}"));
        QVERIFY(s.actions.ReplaceWith(QStringLiteral("style.css"), fx.mirror(QStringLiteral("style.css"))));
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("p {}"));
    }

    void externalEditorsStartOnTheLocalCopy() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QTemporaryDir programs;
        const QString editor = programs.filePath(QStringLiteral("my editor"));
        QVERIFY(writeLocal(editor, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = programs.filePath(QStringLiteral("external editors.ini"));
        QVERIFY(writeLocal(runState().ExternalEditorsFile,
                           "Notepad\r\nC:\\WINDOWS\\NOTEPAD.EXE\r\nMine\r\n\"" + editor.toUtf8() + "\"\r\n"));
        RecordingDesktopServices desktop;
        Session s;
        s.actions.LoadExternalEditors();
        QCOMPARE(s.actions.editors().size(), 2);
        QCOMPARE(s.actions.editors()[0].caption(), QStringLiteral("Notepad - FILE NOT FOUND"));
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
        const QString local = fx.mirror(QStringLiteral("index.html"));
        QCOMPARE(readLocal(local), fx.host.read(QStringLiteral("index.html")));
        QCOMPARE(desktop.calls, QStringList{"start " + editor + "|" + local});
        // With a local copy: the question; No starts on it as it is.
        QVERIFY(writeLocal(local, "mine"));
        dlg->answer(Dialogs::No);
        QVERIFY(s.actions.EditWith(2));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Would you like to download index.html from the web page before "
                                "you edit it with Mine?"));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(readLocal(local), QByteArray("mine"));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.actions.EditWith(2));
        QCOMPARE(desktop.calls.size(), 2);
        // A program that cannot start is reported.
        desktop.result = false;
        dlg->answer(Dialogs::No);
        QVERIFY(!s.actions.EditWith(2));
        QCOMPARE(dlg->lastText(), QStringLiteral("Cannot start ") + editor);
    }

    void withoutAFolderNothingIsAsked() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        TransferControl inet;
        SiteExplorer explorer(inet);
        ExplorerActions actions(explorer);
        QVERIFY(!actions.AddFiles());
        QVERIFY(!actions.NewFile());
        QVERIFY(!actions.Replace());
        QVERIFY(!actions.DownloadAndEdit());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(inet.commandsSent(), 0);
    }

    void foldersCreatedAndRemovedWithFullAccess() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        Session s(QStringLiteral("news/"));
        QVERIFY(s.actions.CreateSubfolder(QStringLiteral("2026")));
        QVERIFY(QFileInfo(fx.host.path(QStringLiteral("news/2026"))).isDir());
        QVERIFY(s.explorer.node(QStringLiteral("news/2026/")));
        QVERIFY(!s.actions.CreateSubfolder(QStringLiteral("..")));
        s.explorer.clickFolder(QStringLiteral("news/old/"));
        dlg->answer(Dialogs::Ok);
        QVERIFY(!s.actions.DeleteCurrentFolder()); // not empty
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
        s.explorer.clickFolder(QStringLiteral("news/2026/"));
        dlg->answer(Dialogs::Ok);
        QVERIFY(s.actions.DeleteCurrentFolder());
        QVERIFY(!fx.host.exists(QStringLiteral("news/2026")));
        QVERIFY(!s.explorer.node(QStringLiteral("news/2026/")));
        QCOMPARE(s.explorer.selectedFolderKey(), QStringLiteral("news/"));
        SiteFixture::login(QStringLiteral("Bob"), LevelFullAccess);
        Session bob(QStringLiteral("news/"));
        QVERIFY(!bob.actions.CreateSubfolder(QStringLiteral("x")));
        QVERIFY(!fx.host.exists(QStringLiteral("news/x")));
    }

    // What the editor sends: a text nobody touched goes back byte for byte; typed text is written in
    // the page's own set (UTF-8 with its byte order mark, or the single-byte set the page declares),
    // a character that set lacks as a reference, and the lines nobody touched keep their ends.
    void editorSendsThePagesOwnBytes_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("typed"); // null: untouched
        QTest::addColumn<bool>("append");
        QTest::addColumn<QByteArray>("sent");
        const QByteArray utf8 = "\xEF\xBB\xBF<p>Caf\xc3\xa9</p>\r\n<p>\rsame</p>";
        const QByteArray latin1 = "<p>Caf\xe9 \x80</p>\r\n";
        const QString euro = QString::fromUtf8("<p>Caf\xc3\xa9 \xe2\x82\xac</p>");
        QTest::newRow("LF lines untouched") << QByteArray("<h1>News</h1>\n<p>First</p>\n") << QString()
                                            << false << QByteArray("<h1>News</h1>\r\n<p>First</p>\r\n");
        const QByteArray crs = "<p>a</p>\r\r\n<p>b</p>\r<p>c</p>\r\n";
        QTest::newRow("CR CR LF and lone CR untouched") << crs << QString() << false << crs;
        QTest::newRow("29,999 characters, the most it opens")
            << QByteArray(29999, 'x') << QString() << false << QByteArray(29999, 'x');
        QTest::newRow("UTF-8 untouched") << utf8 << QString() << false << utf8;
        QTest::newRow("single bytes untouched") << latin1 << QString() << false << latin1;
        QTest::newRow("UTF-8 typed") << utf8 << euro + QLatin1Char('\n') << false
                                     << QByteArray("\xEF\xBB\xBF<p>Caf\xc3\xa9 \xe2\x82\xac</p>\r\n");
        QTest::newRow("single bytes typed")
            << latin1 << euro << false << QByteArray("<p>Caf\xe9 &#8364;</p>");
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
            QTest::newRow(name) << head + rest << cafe << true << head + rest + typed;
    }
    void editorSendsThePagesOwnBytes() {
        QFETCH(QByteArray, page);
        QFETCH(QString, typed);
        QFETCH(bool, append);
        QFETCH(QByteArray, sent);
        fx.host.write(QStringLiteral("c.html"), page);
        TransferControl inet;
        EditSession e(inet);
        QCOMPARE(e.load(QStringLiteral("c.html")), EditSession::Load::Opened);
        e.setEditorText(typed.isNull() ? e.editorText() : append ? e.editorText() + typed : typed);
        QCOMPARE(e.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(QStringLiteral("c.html")), sent);
    }

    // The control folder's files go back under the lock, and never over another administrator's
    // change made while the editor was open.
    void editorKeepsAnAccessListChangedMeanwhile() {
        SiteFixture::login(QStringLiteral("Velmar"), LevelAdministrator);
        runState().MemberNames = QStringList{"Bob", "Velmar"};
        const auto noMembers = qScopeGuard([] { runState().MemberNames.clear(); });
        TransferControl inet;
        EditSession s(inet);
        QCOMPARE(s.load(QStringLiteral("krg\\Bob.dat")), EditSession::Load::Opened);
        fx.host.write(QStringLiteral("krg/Bob.dat"), "news/index.html\r\nnews/*delete files*");
        s.setEditorText(QStringLiteral("images/*add files*"));
        QCOMPARE(s.send(), EditSession::Send::UploadFailed);
        QCOMPARE(dlg->texts(), QStringList{"krg/Bob.dat was changed on the server after you opened it, so "
                                           "your changes were not sent."});
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*delete files*"));
        QVERIFY(!fx.host.exists(QStringLiteral("krg/_shared.lock")));
        // Opened again, it is sent.
        QCOMPARE(s.load(QStringLiteral("krg\\Bob.dat")), EditSession::Load::Opened);
        s.setEditorText(QStringLiteral("images/*add files*"));
        QCOMPARE(s.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")), QByteArray("images/*add files*"));
    }

    void editorClosingQuestion() {
        TransferControl inet;
        EditSession s(inet);
        QCOMPARE(s.load(QStringLiteral("style.css")), EditSession::Load::Opened);
        s.setEditorText(QStringLiteral("changed"));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!s.QueryClose());
        QCOMPARE(dlg->lastText(), QStringLiteral("Send changes to server?"));
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QVERIFY(!s.sendOnClose && !s.discardOnClose);
        dlg->answer(Dialogs::No);
        QVERIFY(s.QueryClose());
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("body { color: navy; }\r\n"));
        QVERIFY(!fx.host.exists(QStringLiteral("style.css.backup")));
        // Discard Changes: no question.
        s.discardOnClose = true;
        s.sendOnClose = false;
        QVERIFY(s.QueryClose());
        QCOMPARE(dlg->records().size(), 2);
        // Yes sends.
        s.discardOnClose = false;
        dlg->answer(Dialogs::Yes);
        QVERIFY(s.QueryClose());
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("changed"));
        // Send to Server on a host that refuses: its reply is shown, the window stays, the flags are cleared.
        fx.host.write(QStringLiteral("locked/page.html"), "<p>locked</p>");
        EditSession locked(inet);
        QCOMPARE(locked.load(QStringLiteral("locked/page.html")), EditSession::Load::Opened);
        locked.setEditorText(QStringLiteral("<p>mine</p>"));
        locked.sendOnClose = true;
        QVERIFY(!locked.QueryClose());
        QVERIFY(dlg->lastText().startsWith(QLatin1String("550")));
        QVERIFY(!locked.sendOnClose && !locked.discardOnClose);
        QCOMPARE(fx.host.read(QStringLiteral("locked/page.html")), QByteArray("<p>locked</p>"));
    }

    void editorWriteFailureAsksBeforeClosing() {
        TransferControl inet;
        EditSession s(inet);
        QCOMPARE(s.load(QStringLiteral("krg\\Bob.dat")), EditSession::Load::Opened);
        QCOMPARE(s.hostPath(), QStringLiteral("krg/Bob.dat"));
        QCOMPARE(s.localFile(), fx.mirror(QStringLiteral("krg/Bob.dat")));
        s.setEditorText(QStringLiteral("news/index.html\nnews/*delete files*"));
        QCOMPARE(s.send(), EditSession::Send::Sent);
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*delete files*"));
        // A folder in place of the local copy: it cannot be written.
        QVERIFY(QFile::remove(fx.mirror(QStringLiteral("krg/Bob.dat"))));
        QVERIFY(QDir().mkpath(fx.mirror(QStringLiteral("krg/Bob.dat/x"))));
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
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*delete files*"));
    }

    void editFileRunsTheWindowHook() {
        int shown = 0;
        EditWindowHooks hooks;
        hooks.showModal = [&](EditSession& session, QObject*) {
            ++shown;
            session.setEditorText(session.editorText() + QStringLiteral("<p>Second</p>\n"));
            session.sendOnClose = true;
            QVERIFY(session.QueryClose());
        };
        SetEditWindowHooks(hooks);
        QVERIFY(EditFile(QStringLiteral("news/index.html")));
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html")),
                 QByteArray("<h1>News</h1>\r\n<p>First</p>\r\n<p>Second</p>\r\n"));
        QVERIFY(!EditFile(QStringLiteral("../outside.html")));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("The path \"../outside.html\" does not name a file below the site folder."));
        QVERIFY(!EditFile(QStringLiteral("missing.html")));
        QCOMPARE(shown, 1);
        SetEditWindowHooks({});
        QVERIFY(EditFileWithText(*std::make_unique<TransferControl>(), QStringLiteral("style.css"),
                                 QStringLiteral("a\nb")));
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("a\r\nb"));
    }
};

KRTP_TEST_MAIN_CORE(TestSiteExplorer)
#include "tst_siteexplorer.moc"
