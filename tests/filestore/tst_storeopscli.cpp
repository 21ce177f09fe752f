// krtp-cli store checkout / checkin / get: two members as two processes with their own local
// folders and settings, against a loopback host.
#include "accounts/accountfile.h"
#include "clitestutil.h"
#include "storetestutil.h"
#include "testmain.h"
#include "util/fileutil.h"

#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestStoreOpsCli : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir seed;

    CliMember alda{QStringLiteral("Alda"), QStringLiteral("a1"), {}, {}};
    CliMember bren{QStringLiteral("Bren"), QStringLiteral("b2"), {}, {}};
    CliMember rita{QStringLiteral("Rita"), QStringLiteral("r3"), {}, {}};

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
                                       AccountRecord{QStringLiteral("Rita"), QStringLiteral("r3"), 2}})
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
