// krtp-cli store checkout / checkin / get: two members as two processes with their own local
// folders and settings, against a loopback host.
#include "accounts/accountfile.h"
#include "clitestutil.h"
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
    LoopbackHost host;
    QTemporaryDir seed;

    CliMember alda{QStringLiteral("Alda"), QStringLiteral("a1"), {}, {}};
    CliMember bren{QStringLiteral("Bren"), QStringLiteral("b2"), {}, {}};
    CliMember rita{QStringLiteral("Rita"), QStringLiteral("r3"), {}, {}};
    CliMember vera{QStringLiteral("Vera"), QStringLiteral("v4"), {}, {}};

    using Result = CliResult;
    Result run(const CliMember& m, const QStringList& args) { return runStore(m, args); }

    QByteArray hostCatalogue() const { return host.read(QStringLiteral("krg/_files.txt")); }

private slots:
    void initTestCase() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QString error;
        QVERIFY2(host.start(seed.path(), &error), qPrintable(error));
        QByteArray accounts;
        for (const AccountRecord& m : {AccountRecord{QStringLiteral("Alda"), QStringLiteral("a1"), 3},
                                       AccountRecord{QStringLiteral("Bren"), QStringLiteral("b2"), 3},
                                       AccountRecord{QStringLiteral("Rita"), QStringLiteral("r3"), 2},
                                       AccountRecord{QStringLiteral("Vera"), QStringLiteral("v4"), 4}})
            accounts += EncodeAccountRecord(m);
        host.write(QStringLiteral("krg/_files.dat"), accounts);
        host.write(QStringLiteral("krg/_files.txt"),
                   catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links"),
                              catalogueLine("my page.html", 1), catalogueLine("a.txt", 1)}));
        host.write(QStringLiteral("krg/index.html"), "index v3");
        host.write(QStringLiteral("krg/my page.html"), "page v1");
        host.write(QStringLiteral("krg/a.txt"), "a v1");
    }

    void twoMembersThroughTheCommandLine() {
        bren.write(QStringLiteral("index.html"), "B's old copy");
        // A checks out, naming the file in another letter case.
        Result r = run(
            alda, {QStringLiteral("checkout"), QStringLiteral("INDEX.html"), QStringLiteral("my page.html")});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("index.html\topen\tAlda\t3\t3\tAlda\tHome page\tAlda: links\n"
                                   "my page.html\topen\tAlda\t1\t1\t\t\t\n"
                                   "a.txt\tnew\t\t1\t0\t\t\t\n"));
        QCOMPARE(hostCatalogue(),
                 catalogue({catalogueLine("index.html", 3, "Alda", "Alda", "Home page", "Alda: links"),
                            catalogueLine("my page.html", 1, "Alda"), catalogueLine("a.txt", 1)}));
        QCOMPARE(alda.read(QStringLiteral("index.html")), QByteArray("index v3"));

        // B's check-out of it is passed over, and that is no success.
        r = run(bren, {QStringLiteral("checkout"), QStringLiteral("index.html")});
        QCOMPARE(r.err, QByteArray("index.html: checked out by Alda\n"));
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.startsWith("index.html\tnew\tAlda\t3\t0\t"));
        QCOMPARE(bren.read(QStringLiteral("index.html")), QByteArray("B's old copy"));

        // A checks in with a comment holding double quotes; they become apostrophes.
        alda.write(QStringLiteral("index.html"), "index v4 by A");
        r = run(alda, {QStringLiteral("checkin"), QStringLiteral("index.html"), QStringLiteral("-m"),
                       QStringLiteral("say \"hi\"")});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(host.read(QStringLiteral("krg/index.html")), QByteArray("index v4 by A"));
        QVERIFY(!host.exists(QStringLiteral("krg/index.html.backup")));
        QCOMPARE(hostCatalogue(),
                 catalogue({catalogueLine("index.html", 4, "", "Alda", "Home page", "Alda: say 'hi'"),
                            catalogueLine("my page.html", 1, "Alda"), catalogueLine("a.txt", 1)}));
        QVERIFY(IsFileReadOnly(alda.path(QStringLiteral("index.html"))));
        QCOMPARE(alda.version(QStringLiteral("index.html")), QStringLiteral("4"));

        // Revert the page with blanks: nothing sent, given back.
        alda.write(QStringLiteral("my page.html"), "unsent");
        r = run(alda,
                {QStringLiteral("checkin"), QStringLiteral("my page.html"), QStringLiteral("--revert")});
        QCOMPARE(r.code, 0);
        QCOMPARE(host.read(QStringLiteral("krg/my page.html")), QByteArray("page v1"));
        QVERIFY(r.out.contains("my page.html\tunlocked\t\t1\t1\t"));

        // B gets everything.
        r = run(bren, {QStringLiteral("get"), QStringLiteral("--all")});
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
        const QList<std::tuple<QStringList, QByteArray, QByteArray>> missing{
            {{QStringLiteral("checkin"), QStringLiteral("a.txt"), QStringLiteral("--revert"),
              QStringLiteral("--yes")},
             "The file a.txt does not exist on your local computer.  Press OK to check this file in without "
             "updating the server (you will lose any changes you may have made).\n"
             "a.txt: given back without sending: not in your local folder\n",
             "a.txt\tnew\t\t1\t0\t\t\t\n"},
            {{QStringLiteral("get"), QStringLiteral("a.txt")},
             "a.txt: checked out by you, but not in your local folder\n",
             "a.txt\topen\tBren\t1\t0\t\t\t\n"}};
        for (const auto& [args, err, lastLine] : missing) {
            QCOMPARE(run(bren, {QStringLiteral("checkout"), QStringLiteral("a.txt")}).code, 0);
            QVERIFY(QFile::remove(bren.path(QStringLiteral("a.txt"))));
            r = run(bren, args);
            QCOMPARE(r.err, err);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.out.endsWith(lastLine), r.out);
            QCOMPARE(bren.version(QStringLiteral("a.txt")), QStringLiteral("0"));
        }
        QVERIFY(hostCatalogue().contains("\"a.txt\",1,\"Bren\""));
    }

    void refusalsAndMistakes() {
        // A Read Only member may get but not check out.
        Result r = run(rita, {QStringLiteral("checkout"), QStringLiteral("a.txt")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Sorry, you do not have access to that feature.\n"));
        r = run(rita, {QStringLiteral("get"), QStringLiteral("a.txt")});
        QCOMPARE(r.code, 0);
        QCOMPARE(rita.read(QStringLiteral("a.txt")), QByteArray("a v1"));
        // Unknown names run nothing.
        r = run(rita, {QStringLiteral("get"), QStringLiteral("a.txt"), QStringLiteral("nope.txt")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("nope.txt is not in the file list.\n"));
        // A check-in needs a comment (or --revert); --keep and --revert exclude each other.
        r = run(alda, {QStringLiteral("checkin"), QStringLiteral("a.txt")});
        QCOMPARE(r.code, 2);
        r = run(alda, {QStringLiteral("checkin"), QStringLiteral("a.txt"), QStringLiteral("-m"),
                       QStringLiteral("x"), QStringLiteral("--keep"), QStringLiteral("--revert")});
        QCOMPARE(r.code, 2);
        // A file missing on the server: the safe answer (No) unless --yes.
        host.write(QStringLiteral("krg/_files.txt"), catalogue({catalogueLine("gone.txt", 2)}));
        alda.write(QStringLiteral("gone.txt"), "local only");
        r = run(alda, {QStringLiteral("checkout"), QStringLiteral("gone.txt")});
        QCOMPARE(r.code, 1); // the safe answer left the file alone
        QCOMPARE(
            r.err,
            QByteArray("gone.txt does not exist on the server.\n\nDo you still want to check this file out?\n"
                       "gone.txt: not on the server\n"));
        QCOMPARE(hostCatalogue(), catalogue({catalogueLine("gone.txt", 2)}));
        r = run(alda, {QStringLiteral("checkout"), QStringLiteral("gone.txt"), QStringLiteral("--yes")});
        QCOMPARE(r.code, 0);
        QCOMPARE(hostCatalogue(), catalogue({catalogueLine("gone.txt", 2, "Alda")}));
        QCOMPARE(alda.read(QStringLiteral("gone.txt")), QByteArray("local only"));
    }

    void everyVersionIsKeptComparedAndRestored() {
        host.write(QStringLiteral("krg/_files.txt"), catalogue({catalogueLine("a.txt", 1)}));
        const QByteArray v1 = "line one\r\nline two\r\n";
        const QByteArray v2 = "line one\r\nline 2\r\n";
        const QByteArray v3 = "line one\r\nline 2\r\nline three\r\n";
        const QByteArray v4 = QByteArray("\x00\x01binary", 8);
        alda.write(QStringLiteral("h.txt"), v1);
        QCOMPARE(run(alda, {QStringLiteral("add"), QStringLiteral("h.txt"), QStringLiteral("-d"),
                            QStringLiteral("H")})
                     .code,
                 0);
        // Three check-ins by two members.
        const QList<std::tuple<CliMember*, QByteArray, const char*>> rounds = {
            {&alda, v2, "second"}, {&bren, v3, "third"}, {&alda, v4, "fourth"}};
        for (const auto& [m, bytes, comment] : rounds) {
            QCOMPARE(run(*m, {QStringLiteral("checkout"), QStringLiteral("h.txt")}).code, 0);
            m->write(QStringLiteral("h.txt"), bytes);
            const Result r = run(*m, {QStringLiteral("checkin"), QStringLiteral("h.txt"),
                                      QStringLiteral("-m"), QLatin1String(comment)});
            QVERIFY2(r.code == 0, r.err.constData());
        }
        Result r = run(rita, {QStringLiteral("history"), QStringLiteral("h.txt")});
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
            r = run(rita, {QStringLiteral("show"), QStringLiteral("h.txt"), QStringLiteral("--version"),
                           QString::number(v)});
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, bytes);
        }
        r = run(rita, {QStringLiteral("diff"), QStringLiteral("h.txt"), QStringLiteral("--from"),
                       QStringLiteral("1"), QStringLiteral("--to"), QStringLiteral("3")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out,
                 QByteArray("--- h.txt (version 1)\n+++ h.txt (version 3)\n@@ -1,2 +1,3 @@\n line one\n"
                            "-line two\n+line 2\n+line three\n"));
        r = run(rita, {QStringLiteral("diff"), QStringLiteral("h.txt"), QStringLiteral("--from"),
                       QStringLiteral("3"), QStringLiteral("--to"), QStringLiteral("4")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.startsWith("Binary files h.txt (version 3) and h.txt (version 4) differ\n"));
        // Against the member's own copy: the same bytes, no difference.
        r = run(alda, {QStringLiteral("diff"), QStringLiteral("h.txt"), QStringLiteral("--from"),
                       QStringLiteral("4")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray());

        // Restore makes an old version the newest; a file another member holds is refused.
        QCOMPARE(run(alda, {QStringLiteral("checkout"), QStringLiteral("h.txt")}).code, 0);
        r = run(bren, {QStringLiteral("restore"), QStringLiteral("h.txt"), QStringLiteral("--version"),
                       QStringLiteral("2")});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("h.txt is checked out by Alda, so version 2 was not restored.\n"));
        QCOMPARE(
            run(alda, {QStringLiteral("checkin"), QStringLiteral("h.txt"), QStringLiteral("--revert")}).code,
            0);
        r = run(bren, {QStringLiteral("restore"), QStringLiteral("h.txt"), QStringLiteral("--version"),
                       QStringLiteral("2"), QStringLiteral("-m"), QStringLiteral("undo")});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(host.read(QStringLiteral("krg/h.txt")), v2);
        QVERIFY(
            hostCatalogue().contains("\"h.txt\",5,\"\",\"Alda\",\"H\",\"Bren: Restored version 2: undo\""));
        // What an older client sees is the catalogue alone: the history is in a folder it never reads.
        QCOMPARE(hostCatalogue().left(10), QByteArray("2.0.5\r\n2\r\n"));
        r = run(rita, {QStringLiteral("status")});
        QCOMPARE(r.out.count('\n'), 2);

        // A smaller depth: the oldest versions go at the next check-in, records and copies alike.
        QCOMPARE(run(alda, {QStringLiteral("history-depth"), QStringLiteral("2")}).code, 1);
        QCOMPARE(run(vera, {QStringLiteral("history-depth"), QStringLiteral("2")}).code, 0);
        QCOMPARE(run(alda, {QStringLiteral("checkout"), QStringLiteral("h.txt")}).code, 0);
        alda.write(QStringLiteral("h.txt"), "six");
        QCOMPARE(run(alda, {QStringLiteral("checkin"), QStringLiteral("h.txt"), QStringLiteral("-m"),
                            QStringLiteral("6")})
                     .code,
                 0);
        r = run(rita, {QStringLiteral("history"), QStringLiteral("h.txt")});
        QCOMPARE(r.out.count('\n'), 2);
        QVERIFY(r.out.startsWith("5\tBren\t"));
        QVERIFY(!host.exists(QStringLiteral("krg/_history/h.txt.v1")));
        QVERIFY(host.exists(QStringLiteral("krg/_history/h.txt.v5")));
        // A damaged index is an empty history, never a failed check-in.
        host.write(QStringLiteral("krg/_history/h.txt.index"), "<html>not found</html>");
        QCOMPARE(run(alda, {QStringLiteral("checkout"), QStringLiteral("h.txt")}).code, 0);
        alda.write(QStringLiteral("h.txt"), "seven");
        QCOMPARE(run(alda, {QStringLiteral("checkin"), QStringLiteral("h.txt"), QStringLiteral("-m"),
                            QStringLiteral("7")})
                     .code,
                 0);
        r = run(rita, {QStringLiteral("history"), QStringLiteral("h.txt")});
        QVERIFY(r.out.startsWith("7\tAlda\t"));

        // A removed file keeps its history; an administrator alone brings it back as the next version.
        QCOMPARE(run(alda, {QStringLiteral("remove"), QStringLiteral("h.txt"), QStringLiteral("--yes")}).code,
                 0);
        QVERIFY(run(rita, {QStringLiteral("history"), QStringLiteral("h.txt")}).out.startsWith("7\tAlda\t"));
        const QStringList restore7 = {QStringLiteral("restore"), QStringLiteral("h.txt"),
                                      QStringLiteral("--version"), QStringLiteral("7")};
        r = run(alda, restore7);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Sorry, you do not have access to that feature.\n"));
        r = run(vera, {QStringLiteral("restore"), QStringLiteral("../h.txt"), QStringLiteral("--version"),
                       QStringLiteral("7")});
        QCOMPARE(r.code, 1);
        r = run(vera, restore7);
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(hostCatalogue().contains("\"h.txt\",8,\"\",\"Vera\",\"\",\"Vera: Restored version 7\""));
        QCOMPARE(host.read(QStringLiteral("krg/h.txt")), QByteArray("seven"));
        QCOMPARE(host.read(QStringLiteral("krg/_history/h.txt.v7")), QByteArray("seven"));
    }

    void yesRepairsAtMostOnce() {
        // Every upload of the catalogue arrives cut, so no repair can mend it; --yes must not loop.
        const QByteArray whole = catalogue({catalogueLine("a.txt", 1)});
        const QByteArray cut = whole.left(whole.size() - 4);
        QTemporaryDir scratch;
        QFile f(scratch.filePath(QStringLiteral("cut")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(cut);
        f.close();
        host.write(QStringLiteral("krg/_files.txt"), cut);
        host.write(QStringLiteral("krg/_files.txt.backup"), whole);
        host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "/krg/_files.txt",
            "content_file": "%1"}]})")
                           .arg(f.fileName())
                           .toUtf8());
        const Result r = run(alda, {QStringLiteral("status"), QStringLiteral("--yes")});
        host.setFaults({});
        QCOMPARE(r.code, 1);
        // No entry of a short catalogue is printed as if it were the store.
        QCOMPARE(r.out, QByteArray());
        QCOMPARE(r.err.count("KRtp detected a corrupt or missing _files.txt on the server."), 2);
        QVERIFY(r.err.endsWith("The shared file list is still broken after one repair; giving up.\n"));
        QCOMPARE(host.read(QStringLiteral("krg/_files.txt")), cut);
    }
};

KRTP_TEST_MAIN_CORE(TestStoreOpsCli)
#include "tst_storeopscli.moc"
