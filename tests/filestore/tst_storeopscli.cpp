// krtp-cli store checkout / checkin / get: two members as two processes with their own local
// folders and settings, against a loopback host.
#include "clirunner.h"
#include "hostfixture.h"
#include "storetestutil.h"
#include "testmain.h"
#include "util/fileutil.h"

#include <QDateTime>
#include <QTest>
#include <tuple>

using namespace krtp;
using namespace krtp::test;

class TestStoreOpsCli : public QObject {
    Q_OBJECT
    HostFixture fx;
    CliMember alda{QStringLiteral("Alda"), QStringLiteral("a1"), {}, {}};
    CliMember bren{QStringLiteral("Bren"), QStringLiteral("b2"), {}, {}};
    CliMember rita{QStringLiteral("Rita"), QStringLiteral("r3"), {}, {}};
    CliMember vera{QStringLiteral("Vera"), QStringLiteral("v4"), {}, {}};

    static CliResult run(const CliMember& m, const char* words) {
        return m.run(QStringLiteral("store ") + QLatin1String(words));
    }

private slots:
    void initTestCase() {
        QVERIFY(fx.startHost());
        fx.setAccounts({{QStringLiteral("Alda"), QStringLiteral("a1"), 3},
                        {QStringLiteral("Bren"), QStringLiteral("b2"), 3},
                        {QStringLiteral("Rita"), QStringLiteral("r3"), 2},
                        {QStringLiteral("Vera"), QStringLiteral("v4"), 4}});
        fx.setCatalogue(catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links"),
                                   catalogueLine("my page.html", 1), catalogueLine("a.txt", 1)}));
        fx.host.write(QStringLiteral("krg/index.html"), "index v3");
        fx.host.write(QStringLiteral("krg/my page.html"), "page v1");
        fx.host.write(QStringLiteral("krg/a.txt"), "a v1");
    }

    void twoMembersThroughTheCommandLine() {
        bren.write(QStringLiteral("index.html"), "B's old copy");
        // A checks out, naming the file in another letter case.
        CliResult r = run(alda, "checkout INDEX.html 'my page.html'");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("index.html\topen\tAlda\t3\t3\tAlda\tHome page\tAlda: links\n"
                                   "my page.html\topen\tAlda\t1\t1\t\t\t\n"
                                   "a.txt\tnew\t\t1\t0\t\t\t\n"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("index.html", 3, "Alda", "Alda", "Home page", "Alda: links"),
                            catalogueLine("my page.html", 1, "Alda"), catalogueLine("a.txt", 1)}));
        QCOMPARE(alda.read(QStringLiteral("index.html")), QByteArray("index v3"));

        // B's check-out of it is passed over, and that is no success.
        r = run(bren, "checkout index.html");
        QCOMPARE(r.err, QByteArray("index.html: checked out by Alda\n"));
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.startsWith("index.html\tnew\tAlda\t3\t0\t"));
        QCOMPARE(bren.read(QStringLiteral("index.html")), QByteArray("B's old copy"));

        // A checks in with a comment holding double quotes; they become apostrophes.
        alda.write(QStringLiteral("index.html"), "index v4 by A");
        r = run(alda, "checkin index.html -m 'say \"hi\"'");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("krg/index.html")), QByteArray("index v4 by A"));
        QVERIFY(!fx.host.exists(QStringLiteral("krg/index.html.backup")));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("index.html", 4, "", "Alda", "Home page", "Alda: say 'hi'"),
                            catalogueLine("my page.html", 1, "Alda"), catalogueLine("a.txt", 1)}));
        QVERIFY(IsFileReadOnly(alda.path(QStringLiteral("index.html"))));
        QCOMPARE(alda.version(QStringLiteral("index.html")), QStringLiteral("4"));

        // Revert the page with blanks: nothing sent, given back.
        alda.write(QStringLiteral("my page.html"), "unsent");
        r = run(alda, "checkin 'my page.html' --revert");
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.host.read(QStringLiteral("krg/my page.html")), QByteArray("page v1"));
        QVERIFY(r.out.contains("my page.html\tunlocked\t\t1\t1\t"));

        // B gets everything.
        r = run(bren, "get --all");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(bren.read(QStringLiteral("index.html")), QByteArray("index v4 by A"));
        QCOMPARE(bren.read(QStringLiteral("index.html.backup")), QByteArray("B's old copy"));
        QCOMPARE(bren.read(QStringLiteral("my page.html")), QByteArray("page v1"));
        QVERIFY(IsFileReadOnly(bren.path(QStringLiteral("a.txt"))));
        QCOMPARE(r.out, QByteArray("index.html\tunlocked\t\t4\t4\tAlda\tHome page\tAlda: say 'hi'\n"
                                   "my page.html\tunlocked\t\t1\t1\t\t\t\n"
                                   "a.txt\tunlocked\t\t1\t1\t\t\t\n"));

        // B holds a.txt but deleted the copy: no version stays recorded for it, and each operation says so.
        const QList<std::tuple<const char*, QByteArray, QByteArray>> missing{
            {"checkin a.txt --revert --yes",
             "The file a.txt does not exist on your local computer.  Press OK to check this file in without "
             "updating the server (you will lose any changes you may have made).\n"
             "a.txt: given back without sending: not in your local folder\n",
             "a.txt\tnew\t\t1\t0\t\t\t\n"},
            {"get a.txt", "a.txt: checked out by you, but not in your local folder\n",
             "a.txt\topen\tBren\t1\t0\t\t\t\n"}};
        for (const auto& [args, err, lastLine] : missing) {
            QCOMPARE(run(bren, "checkout a.txt").code, 0);
            QVERIFY(QFile::remove(bren.path(QStringLiteral("a.txt"))));
            r = run(bren, args);
            QCOMPARE(r.err, err);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.out.endsWith(lastLine), r.out);
            QCOMPARE(bren.version(QStringLiteral("a.txt")), QStringLiteral("0"));
        }
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Bren\""));
    }

    void refusalsAndMistakes() {
        // A Read Only member may get but not check out.
        CliResult r = run(rita, "checkout a.txt");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Sorry, you do not have access to that feature.\n"));
        QCOMPARE(run(rita, "get a.txt").code, 0);
        QCOMPARE(rita.read(QStringLiteral("a.txt")), QByteArray("a v1"));
        // Unknown names run nothing.
        r = run(rita, "get a.txt nope.txt");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("nope.txt is not in the file list.\n"));
        // A check-in needs a comment (or --revert); --keep and --revert exclude each other.
        QCOMPARE(run(alda, "checkin a.txt").code, 2);
        QCOMPARE(run(alda, "checkin a.txt -m x --keep --revert").code, 2);
        // A file missing on the server: the safe answer (No) unless --yes.
        fx.setCatalogue(catalogue({catalogueLine("gone.txt", 2)}));
        alda.write(QStringLiteral("gone.txt"), "local only");
        r = run(alda, "checkout gone.txt");
        QCOMPARE(r.code, 1); // the safe answer left the file alone
        QCOMPARE(
            r.err,
            QByteArray("gone.txt does not exist on the server.\n\nDo you still want to check this file out?\n"
                       "gone.txt: not on the server\n"));
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("gone.txt", 2)}));
        QCOMPARE(run(alda, "checkout gone.txt --yes").code, 0);
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("gone.txt", 2, "Alda")}));
        QCOMPARE(alda.read(QStringLiteral("gone.txt")), QByteArray("local only"));
    }

    void everyVersionIsKeptComparedAndRestored() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        const QByteArray v1 = "line one\r\nline two\r\n", v2 = "line one\r\nline 2\r\n",
                         v3 = "line one\r\nline 2\r\nline three\r\n", v4("\x00\x01binary", 8);
        alda.write(QStringLiteral("h.txt"), v1);
        QCOMPARE(run(alda, "add h.txt -d H").code, 0);
        // A check-out, new bytes and a check-in, as one member.
        const auto round = [this](CliMember& m, const QByteArray& bytes, const char* checkIn) {
            QCOMPARE(run(m, "checkout h.txt").code, 0);
            m.write(QStringLiteral("h.txt"), bytes);
            const CliResult r = run(m, checkIn);
            QVERIFY2(r.code == 0, r.err.constData());
        };
        round(alda, v2, "checkin h.txt -m second");
        round(bren, v3, "checkin h.txt -m third");
        round(alda, v4, "checkin h.txt -m fourth");
        CliResult r = run(rita, "history h.txt");
        QCOMPARE(r.code, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 4);
        const QList<QList<QByteArray>> expected = {{"1", "Alda", "20", "*new file*"},
                                                   {"2", "Alda", "18", "second"},
                                                   {"3", "Bren", "30", "third"},
                                                   {"4", "Alda", "8", "fourth"}};
        for (int i = 0; i < 4; ++i) {
            const QList<QByteArray> f = lines[i].split('\t');
            QCOMPARE(f.size(), 5);
            QCOMPARE((QList<QByteArray>{f[0], f[1], f[3], f[4]}), expected[i]);
            QVERIFY(QDateTime::fromString(QString::fromLatin1(f[2]), Qt::ISODate).isValid());
        }
        for (const auto& [v, bytes] : {std::pair{1, v1}, {2, v2}, {3, v3}, {4, v4}}) {
            r = rita.run(QStringLiteral("store show h.txt --version %1").arg(v));
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, bytes);
        }
        r = run(rita, "diff h.txt --from 1 --to 3");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out,
                 QByteArray("--- h.txt (version 1)\n+++ h.txt (version 3)\n@@ -1,2 +1,3 @@\n line one\n"
                            "-line two\n+line 2\n+line three\n"));
        r = run(rita, "diff h.txt --from 3 --to 4");
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.startsWith("Binary files h.txt (version 3) and h.txt (version 4) differ\n"));
        // Against the member's own copy: the same bytes, no difference.
        r = run(alda, "diff h.txt --from 4");
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray());

        // Restore makes an old version the newest; a file another member holds is refused.
        QCOMPARE(run(alda, "checkout h.txt").code, 0);
        r = run(bren, "restore h.txt --version 2");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("h.txt is checked out by Alda, so version 2 was not restored.\n"));
        QCOMPARE(run(alda, "checkin h.txt --revert").code, 0);
        r = run(bren, "restore h.txt --version 2 -m undo");
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(fx.host.read(QStringLiteral("krg/h.txt")), v2);
        QVERIFY(fx.hostCatalogue().contains(
            "\"h.txt\",5,\"\",\"Alda\",\"H\",\"Bren: Restored version 2: undo\""));
        // What an older client sees is the catalogue alone: the history is in a folder it never reads.
        QCOMPARE(fx.hostCatalogue().left(10), QByteArray("2.0.5\r\n2\r\n"));
        QCOMPARE(run(rita, "status").out.count('\n'), 2);

        // A smaller depth: the oldest versions go at the next check-in, records and copies alike.
        QCOMPARE(run(alda, "history-depth 2").code, 1);
        QCOMPARE(run(vera, "history-depth 2").code, 0);
        round(alda, "six", "checkin h.txt -m 6");
        r = run(rita, "history h.txt");
        QCOMPARE(r.out.count('\n'), 2);
        QVERIFY(r.out.startsWith("5\tBren\t"));
        QVERIFY(!fx.host.exists(QStringLiteral("krg/_history/h.txt.v1")));
        QVERIFY(fx.host.exists(QStringLiteral("krg/_history/h.txt.v5")));
        // A damaged index is an empty history, never a failed check-in.
        fx.host.write(QStringLiteral("krg/_history/h.txt.index"), "<html>not found</html>");
        round(alda, "seven", "checkin h.txt -m 7");
        QVERIFY(run(rita, "history h.txt").out.startsWith("7\tAlda\t"));

        // A removed file keeps its history; an administrator alone brings it back as the next version.
        QCOMPARE(run(alda, "remove h.txt --yes").code, 0);
        QVERIFY(run(rita, "history h.txt").out.startsWith("7\tAlda\t"));
        r = run(alda, "restore h.txt --version 7");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Sorry, you do not have access to that feature.\n"));
        QCOMPARE(run(vera, "restore ../h.txt --version 7").code, 1);
        r = run(vera, "restore h.txt --version 7");
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(fx.hostCatalogue().contains("\"h.txt\",8,\"\",\"Vera\",\"\",\"Vera: Restored version 7\""));
        QCOMPARE(fx.host.read(QStringLiteral("krg/h.txt")), QByteArray("seven"));
        QCOMPARE(fx.host.read(QStringLiteral("krg/_history/h.txt.v7")), QByteArray("seven"));
    }

    void yesRepairsAtMostOnce() {
        // Every upload of the catalogue arrives cut, so no repair can mend it; --yes must not loop.
        const QByteArray whole = catalogue({catalogueLine("a.txt", 1)});
        const QByteArray cut = whole.left(whole.size() - 4);
        QTemporaryDir scratch;
        QFile f(scratch.filePath(QStringLiteral("cut")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(cut) == cut.size());
        f.close();
        fx.setCatalogue(cut, whole);
        fx.host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "/krg/_files.txt",
            "content_file": "%1"}]})")
                              .arg(f.fileName())
                              .toUtf8());
        const CliResult r = run(alda, "status --yes");
        fx.host.setFaults({});
        QCOMPARE(r.code, 1);
        // No entry of a short catalogue is printed as if it were the store.
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.count("KRtp detected a corrupt or missing _files.txt on the server."), 2);
        QVERIFY(r.err.endsWith("The shared file list is still broken after one repair; giving up.\n"));
        QCOMPARE(fx.hostCatalogue(), cut);
    }
};

KRTP_TEST_MAIN_CORE(TestStoreOpsCli)
#include "tst_storeopscli.moc"
