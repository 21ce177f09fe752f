// krtp-cli site and krtp-cli edit against the loopback host.
#include "clirunner.h"
#include "sitetestutil.h"
#include "testmain.h"

#include <QScopeGuard>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestSiteCli : public QObject {
    Q_OBJECT
    SiteFixture fx;
    QTemporaryDir disk;

    using Result = CliResult;

    // cli("Bob", "edit news/index.html --text-file new.txt"): the members share one local folder.
    Result cli(const QString& member, const QString& words) {
        return runCli(cliWords(words) + QStringList{"--user", member, "--local-folder", fx.local->path()},
                      {member.toLower() + QStringLiteral("pw"), {}, disk.path()});
    }
    Result site(const QString& member, const QString& words) { return cli(member, "site " + words); }
    static QStringList sortedLines(const QByteArray& out) {
        QStringList lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetSite();
        fx.resetLocal();
        fx.setAccounts(
            {{"Bob", "bobpw", 3}, {"Cara", "carapw", 3}, {"Ann", "annpw", 2}, {"Velmar", "velmarpw", 4}});
    }

    void listShowsTheMembersView() {
        Result r = site("Bob", "ls");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("images/\nnews/\n"));
        r = site("Bob", "ls news/");
        QCOMPARE(r.out, QByteArray("index.html\n"));
        r = site("Bob", "ls images");
        QCOMPARE(r.out, QByteArray("bob.gif\n"));
        r = site("Bob", "ls Pages/");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("There is no folder Pages/ in your view of the site.\n"));
        r = site("Ann", "ls pages");
        QCOMPARE(r.out, QByteArray("news.html\n"));
        r = site("Cara", "ls news/old/");
        QCOMPARE(r.out, QByteArray("2024.html\n"));
        r = site("Velmar", "ls");
        QCOMPARE(r.code, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.mid(0, 6).count(), 6);
        for (int i = 0; i < 6; ++i)
            QVERIFY(lines[i].endsWith('/'));
        QCOMPARE(sortedLines(r.out), (QStringList{"Pages/", "empty/", "images/", "index.html", "krg/",
                                                  "locked/", "news/", "old_index.html", "style.css"}));
        QCOMPARE(site("Bob", "ls news/ images/").code, 2);
        QCOMPARE(site("Bob", "frob").code, 2);
    }

    void getAndPutAskUnlessYes() {
        Result r = site("Ann", "get Pages/News.HTML");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Please confirm.  You are about to download 1 file from the server.\n"));
        QVERIFY(!QFileInfo::exists(fx.mirror(QStringLiteral("Pages/News.HTML"))));
        r = site("Ann", "get pages/news.html --yes");
        QCOMPARE(r.code, 0);
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("Pages/News.HTML"))), QByteArray("<p>News</p>\r\n"));
        r = site("Ann", "get index.html --yes");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("index.html is not in your view of the site.\n"));
        r = site("Cara", "get index.html style.css news/index.html --yes");
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QByteArray("Please confirm.  You are about to download 2 files from the server.\n"
                                   "Please confirm.  You are about to download 1 file from the server.\n"));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("news/index.html"))),
                 fx.host.read(QStringLiteral("news/index.html")));
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("style.css")), "p { margin: 0 }"));
        r = site("Cara", "put style.css --yes");
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("p { margin: 0 }"));
        QCOMPARE(fx.host.read(QStringLiteral("style.css.backup")), QByteArray("body { color: navy; }\r\n"));
        r = site("Cara", "get ../krg/_files.dat --yes");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("../krg/_files.dat is not in your view of the site.\n"));
        // --parallel: one connection stops at a refused file; with more, the next one is already
        // coming down beside it.
        r = site("Cara", "get index.html style.css --parallel 11 --yes");
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, QByteArray("--parallel takes a number of connections from 1 to 10.\n"));
        fx.host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/index.html", "reply": "450 Busy."}]})");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        for (const char* parallel : {"1", "4"}) {
            QVERIFY(QFile::remove(fx.mirror(QStringLiteral("style.css"))));
            r = site("Cara", QStringLiteral("get index.html style.css --parallel %1 --yes").arg(parallel));
            QCOMPARE(r.code, 1);
            QCOMPARE(r.err, QByteArray("Please confirm.  You are about to download 2 files from the server.\n"
                                       "450 Busy.\n"));
            QCOMPARE(QFileInfo::exists(fx.mirror(QStringLiteral("style.css"))), parallel == QByteArray("4"));
            QVERIFY(writeLocal(fx.mirror(QStringLiteral("style.css")), "x"));
        }
    }

    void removingOnTheHostAndLocally() {
        Result r = site("Cara", "rm index.html --yes");
        QCOMPARE(r.code, 0);
        QVERIFY(!fx.host.exists(QStringLiteral("index.html")));
        QVERIFY(fx.host.exists(QStringLiteral("old_index.html")));
        r = site("Bob", "rm news/index.html --yes");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QByteArray("Your access list does not allow you to delete files in the folder news/.\n"));
        QVERIFY(fx.host.exists(QStringLiteral("news/index.html")));
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("style.css")), "x"));
        r = site("Cara", "rmlocal style.css --yes");
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo::exists(fx.mirror(QStringLiteral("style.css"))));
        r = site("Cara", "rmlocal style.css --yes");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.endsWith("File not found: VelmarFTP/style.css\n"));
    }

    void addNewAndReplace() {
        QVERIFY(writeLocal(disk.filePath(QStringLiteral("story.html")), "<p>story</p>"));
        QVERIFY(writeLocal(disk.filePath(QStringLiteral("my story.html")), "x"));
        Result r = site("Bob", "add news/ story.html 'my story.html'");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QByteArray("my story.html\n\nSorry, spaces are not allows in files for the KR Web Site\n"));
        QCOMPARE(fx.host.read(QStringLiteral("news/story.html")), QByteArray("<p>story</p>"));
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*add files*\r\nnews/story.html"));
        r = site("Bob", "new news fresh.html");
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("news/index.html\r\nnews/*add files*\r\nnews/story.html\r\nnews/fresh.html"));
        QCOMPARE(site("Bob", "ls news/").out, QByteArray("index.html\nstory.html\nfresh.html\n"));
        r = site("Bob", "new images/ x.gif");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QByteArray("Your access list does not allow you to add files in the folder images/.\n"));
        r = site("Cara", "replace style.css story.html");
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("style.css")), QByteArray("<p>story</p>"));
    }

    // Members who are not administrators never write the program's own files in krg/, whatever
    // their access list says; administrators still do.
    void controlFilesAreRefused_data() {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("put") << QString("site put krg/_files.txt --yes") << QByteArray("_files.txt");
        QTest::newRow("rm") << QString("site rm krg/_message.dat --yes") << QByteArray("_message.dat");
        QTest::newRow("add") << QString("site add krg/ _news.dat") << QByteArray("_news.dat");
        QTest::newRow("new access list") << QString("site new krg/ BOB.DAT") << QByteArray("BOB.DAT");
        QTest::newRow("new lock") << QString("site new krg/ _shared.lock") << QByteArray("_shared.lock");
        QTest::newRow("replace") << QString("site replace krg/Ann.dat _news.dat") << QByteArray("Ann.dat");
        QTest::newRow("edit") << QString("edit krg/_files.txt --text-file _news.dat")
                              << QByteArray("_files.txt");
    }
    void controlFilesAreRefused() {
        QFETCH(QString, args);
        QFETCH(QByteArray, name);
        fx.host.write(QStringLiteral("krg/_files.txt"), "catalogue");
        fx.host.write(QStringLiteral("krg/_message.dat"), "2.0.5\r\nHello");
        QVERIFY(writeLocal(disk.filePath(QStringLiteral("_news.dat")), "Mine,index.html,x.html"));
        const QStringList before = QDir(fx.host.path(QStringLiteral("krg"))).entryList(QDir::AllEntries);
        const QByteArray annList = fx.host.read(QStringLiteral("krg/Ann.dat"));
        const Result r = cli(QStringLiteral("Cara"), args);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, name + " is one of the files KRtp keeps for itself in the control folder (the shared "
                               "file list, the member accounts, an access list, the message or the news "
                               "list), so it cannot be added or changed this way.\n");
        QCOMPARE(QDir(fx.host.path(QStringLiteral("krg"))).entryList(QDir::AllEntries), before);
        QCOMPARE(fx.host.read(QStringLiteral("krg/_files.txt")), QByteArray("catalogue"));
        QCOMPARE(fx.host.read(QStringLiteral("krg/_message.dat")), QByteArray("2.0.5\r\nHello"));
        QCOMPARE(fx.host.read(QStringLiteral("krg/Ann.dat")), annList);
        // An administrator's explorer still reaches them.
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("krg/_files.txt")), "mine"));
        QCOMPARE(cli(QStringLiteral("Velmar"), "site put krg/_files.txt --yes").code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("krg/_files.txt")), QByteArray("mine"));
    }

    void editWithoutAWindow() {
        QVERIFY(writeLocal(disk.filePath(QStringLiteral("new.txt")), "<h1>News</h1>\n<p>Edited</p>\n"));
        Result r = cli("Bob", "edit news/index.html --text-file new.txt");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html")),
                 QByteArray("<h1>News</h1>\r\n<p>Edited</p>\r\n"));
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html.backup")),
                 QByteArray("<h1>News</h1>\n<p>First</p>\n"));
        r = cli("Bob", "edit style.css --text-file new.txt");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("style.css is not in your view of the site.\n"));
        fx.host.write(QStringLiteral("style.css"), QByteArray(30000, 'x'));
        r = cli("Velmar", "edit style.css --text-file new.txt");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("This file is too large to edit with the KRtp internal editor.\n"));
        r = cli("Velmar", "edit krg\\Bob.dat --text-file new.txt");
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("krg/Bob.dat")),
                 QByteArray("<h1>News</h1>\r\n<p>Edited</p>\r\n"));
        QCOMPARE(cli("Velmar", "edit style.css").code, 2);
    }
};

KRTP_TEST_MAIN_CORE(TestSiteCli)
#include "tst_sitecli.moc"
