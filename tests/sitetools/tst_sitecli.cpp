// krtp-cli site and krtp-cli edit against the loopback host.
#include "clirunner.h"
#include "sitetestutil.h"
#include "testmain.h"

#include <QScopeGuard>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestSiteCli : public QObject {
    Q_OBJECT
    SiteFixture fx;
    QTemporaryDir disk;

    using Result = CliResult;

    // cli("Bob", "edit news/index.html --text-file new.txt"): the members share one local folder.
    Result cli(const QString& member, const QString& words) {
        return runCli(cliWords(words) + QStringList{"--user", member, "--local-folder", fx.local->path()},
                      {member.toLower() + u"pw"_s, {}, disk.path()});
    }
    Result site(const QString& member, const QString& words) { return cli(member, "site " + words); }
    // The exit code and the error output as one text, to compare in one line.
    static QByteArray codeErr(const Result& r) { return QByteArray::number(r.code) + ' ' + r.err; }

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
        QCOMPARE(codeErr(r), "0 "_ba);
        QCOMPARE(r.out, "images/\nnews/\n"_ba);
        QCOMPARE(site("Bob", "ls news/").out, "index.html\n"_ba);
        QCOMPARE(site("Bob", "ls images").out, "bob.gif\n"_ba);
        QCOMPARE(codeErr(site("Bob", "ls Pages/")),
                 "1 There is no folder Pages/ in your view of the site.\n"_ba);
        QCOMPARE(site("Ann", "ls pages").out, "news.html\n"_ba);
        QCOMPARE(site("Cara", "ls news/old/").out, "2024.html\n"_ba);
        r = site("Velmar", "ls");
        QCOMPARE(r.code, 0);
        // Folders first, each in the host's own order.
        QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(lines[i].endsWith(u'/'), i < 6);
        lines.sort();
        QCOMPARE(lines, (QStringList{"Pages/", "empty/", "images/", "index.html", "krg/", "locked/", "news/",
                                     "old_index.html", "style.css"}));
        QCOMPARE(site("Bob", "ls news/ images/").code, 2);
        QCOMPARE(site("Bob", "frob").code, 2);
    }

    void getAndPutAskUnlessYes() {
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
        QCOMPARE(fx.host.read(u"style.css.backup"_s), "body { color: navy; }\r\n"_ba);
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
    }

    void removingOnTheHostAndLocally() {
        QCOMPARE(site("Cara", "rm index.html --yes").code, 0);
        QVERIFY(!fx.host.exists(u"index.html"_s));
        QVERIFY(fx.host.exists(u"old_index.html"_s));
        QCOMPARE(codeErr(site("Bob", "rm news/index.html --yes")),
                 "1 Your access list does not allow you to delete files in the folder news/.\n"_ba);
        QVERIFY(fx.host.exists(u"news/index.html"_s));
        QVERIFY(writeLocal(fx.mirror(u"style.css"_s), "x"));
        QCOMPARE(site("Cara", "rmlocal style.css --yes").code, 0);
        QVERIFY(!QFileInfo::exists(fx.mirror(u"style.css"_s)));
        const Result r = site("Cara", "rmlocal style.css --yes");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.endsWith("File not found: VelmarFTP/style.css\n"));
    }

    void addNewAndReplace() {
        QVERIFY(writeLocal(disk.filePath(u"story.html"_s), "<p>story</p>"));
        QVERIFY(writeLocal(disk.filePath(u"my story.html"_s), "x"));
        QCOMPARE(codeErr(site("Bob", "add news/ story.html 'my story.html'")),
                 "1 my story.html\n\nSorry, spaces are not allows in files for the KR Web Site\n"_ba);
        QCOMPARE(fx.host.read(u"news/story.html"_s), "<p>story</p>"_ba);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "news/index.html\r\nnews/*add files*\r\nnews/story.html"_ba);
        QCOMPARE(site("Bob", "new news fresh.html").code, 0);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s),
                 "news/index.html\r\nnews/*add files*\r\nnews/story.html\r\nnews/fresh.html"_ba);
        QCOMPARE(site("Bob", "ls news/").out, "index.html\nstory.html\nfresh.html\n"_ba);
        QCOMPARE(codeErr(site("Bob", "new images/ x.gif")),
                 "1 Your access list does not allow you to add files in the folder images/.\n"_ba);
        QCOMPARE(site("Cara", "replace style.css story.html").code, 0);
        QCOMPARE(fx.host.read(u"style.css"_s), "<p>story</p>"_ba);
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
        const QStringList before = QDir(fx.host.path(u"krg"_s)).entryList(QDir::AllEntries);
        const QByteArray annList = fx.host.read(u"krg/Ann.dat"_s);
        QCOMPARE(codeErr(cli(u"Cara"_s, args)),
                 "1 " + name +
                     " is one of the files KRtp keeps for itself in the control folder (the shared "
                     "file list, the member accounts, an access list, the message or the news "
                     "list), so it cannot be added or changed this way.\n");
        QCOMPARE(QDir(fx.host.path(u"krg"_s)).entryList(QDir::AllEntries), before);
        QCOMPARE(fx.host.read(u"krg/_files.txt"_s), "catalogue"_ba);
        QCOMPARE(fx.host.read(u"krg/_message.dat"_s), "2.0.5\r\nHello"_ba);
        QCOMPARE(fx.host.read(u"krg/Ann.dat"_s), annList);
        // An administrator's explorer still reaches them.
        QVERIFY(writeLocal(fx.mirror(u"krg/_files.txt"_s), "mine"));
        QCOMPARE(cli(u"Velmar"_s, "site put krg/_files.txt --yes").code, 0);
        QCOMPARE(fx.host.read(u"krg/_files.txt"_s), "mine"_ba);
    }

    void editWithoutAWindow() {
        QVERIFY(writeLocal(disk.filePath(u"new.txt"_s), "<h1>News</h1>\n<p>Edited</p>\n"));
        QCOMPARE(codeErr(cli("Bob", "edit news/index.html --text-file new.txt")), "0 "_ba);
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\r\n<p>Edited</p>\r\n"_ba);
        QCOMPARE(fx.host.read(u"news/index.html.backup"_s), "<h1>News</h1>\n<p>First</p>\n"_ba);
        QCOMPARE(codeErr(cli("Bob", "edit style.css --text-file new.txt")),
                 "1 style.css is not in your view of the site.\n"_ba);
        fx.host.write(u"style.css"_s, QByteArray(30000, 'x'));
        QCOMPARE(codeErr(cli("Velmar", "edit style.css --text-file new.txt")),
                 "1 This file is too large to edit with the KRtp internal editor.\n"_ba);
        QCOMPARE(cli("Velmar", "edit krg\\Bob.dat --text-file new.txt").code, 0);
        QCOMPARE(fx.host.read(u"krg/Bob.dat"_s), "<h1>News</h1>\r\n<p>Edited</p>\r\n"_ba);
        QCOMPARE(cli("Velmar", "edit style.css").code, 2);
    }
};

KRTP_TEST_MAIN_CORE(TestSiteCli)
#include "tst_sitecli.moc"
