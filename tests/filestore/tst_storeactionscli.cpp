// krtp-cli store addable / add / hide / describe / remove / relinquish / edit / options: members as
// processes with their own local folders and settings, against a loopback host.
#include "accounts/accountfile.h"
#include "clitestutil.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestStoreActionsCli : public QObject {
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
                                       AccountRecord{QStringLiteral("Bren"), QStringLiteral("b2"), 4},
                                       AccountRecord{QStringLiteral("Rita"), QStringLiteral("r3"), 2}})
            accounts += EncodeAccountRecord(m);
        host.write(QStringLiteral("krg/_files.dat"), accounts);
        host.write(QStringLiteral("krg/_files.txt"),
                   catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links")}));
        host.write(QStringLiteral("krg/index.html"), "index v3");
    }

    void addingAndOwnerActions() {
        for (const char* n : {"one.txt", "two.txt", "skip.txt", "one.txt.backup"})
            alda.write(QLatin1String(n), QByteArray("A's ") + n);
        Result r = run(alda, {QStringLiteral("addable")});
        QCOMPARE(r.code, 0);
        QList<QByteArray> offered = r.out.split('\n');
        offered.removeAll(QByteArray());
        std::sort(offered.begin(), offered.end());
        QCOMPARE(offered, (QList<QByteArray>{"one.txt", "skip.txt", "two.txt"}));
        r = run(alda, {QStringLiteral("hide"), QStringLiteral("skip.txt")});
        QCOMPARE(r.code, 0);
        QCOMPARE(alda.read(QStringLiteral("_hidden.txt")), QByteArray("skip.txt\r\n"));

        // One description per name, in order; quotes become apostrophes.
        r = run(alda, {QStringLiteral("add"), QStringLiteral("one.txt"), QStringLiteral("two.txt"),
                       QStringLiteral("-d"), QStringLiteral("First \"one\""), QStringLiteral("-d"),
                       QStringLiteral("Second")});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(host.read(QStringLiteral("krg/one.txt")), QByteArray("A's one.txt"));
        QCOMPARE(hostCatalogue(),
                 catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links"),
                            catalogueLine("one.txt", 1, "", "Alda", "First 'one'", "Alda: *new file*"),
                            catalogueLine("two.txt", 1, "", "Alda", "Second", "Alda: *new file*")}));
        QCOMPARE(alda.version(QStringLiteral("one.txt")), QStringLiteral("1"));
        r = run(alda, {QStringLiteral("addable")});
        QCOMPARE(r.out, QByteArray());
        // Two descriptions for three names is a usage error; a Read Only member cannot add.
        r = run(alda, {QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                       QStringLiteral("-d"), QStringLiteral("x"), QStringLiteral("-d"), QStringLiteral("y")});
        QCOMPARE(r.code, 2);
        rita.write(QStringLiteral("r.txt"), "r");
        r = run(rita,
                {QStringLiteral("add"), QStringLiteral("r.txt"), QStringLiteral("-d"), QStringLiteral("R")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, you do not have access to that feature."));

        // Owner actions: B may not describe A's file; the question of remove gets the safe answer.
        r = run(bren, {QStringLiteral("describe"), QStringLiteral("ONE.txt"), QStringLiteral("-d"),
                       QStringLiteral("mine")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, only Alda has permission to change one.txt's description."));
        r = run(alda, {QStringLiteral("describe"), QStringLiteral("one.txt"), QStringLiteral("-d"),
                       QStringLiteral("Better")});
        QCOMPARE(r.code, 0);
        QVERIFY(hostCatalogue().contains("\"one.txt\",1,\"\",\"Alda\",\"Better\","));
        r = run(alda, {QStringLiteral("remove"), QStringLiteral("two.txt")});
        QCOMPARE(r.code, 1);
        QVERIFY(hostCatalogue().contains("\"two.txt\""));
        r = run(alda, {QStringLiteral("remove"), QStringLiteral("two.txt"), QStringLiteral("--yes")});
        QCOMPARE(r.code, 0);
        QVERIFY(!hostCatalogue().contains("two.txt"));
        QCOMPARE(host.read(QStringLiteral("krg/two.txt")), QByteArray("A's two.txt"));
        r = run(alda, {QStringLiteral("relinquish"), QStringLiteral("one.txt"), QStringLiteral("--yes")});
        QCOMPARE(r.code, 0);
        QVERIFY(hostCatalogue().contains("\"one.txt\",1,\"\",\"\",\"Better\","));
        r = run(alda, {QStringLiteral("relinquish"), QStringLiteral("one.txt"), QStringLiteral("--yes")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, you do not have control one.txt."));

        // The administrator's edit; other members are refused.
        r = run(alda, {QStringLiteral("edit"), QStringLiteral("index.html"), QStringLiteral("--version"),
                       QStringLiteral("9")});
        QCOMPARE(r.code, 1);
        r = run(bren, {QStringLiteral("edit"), QStringLiteral("index.html"), QStringLiteral("--controller"),
                       QStringLiteral("Rita"), QStringLiteral("--version"), QStringLiteral("9"),
                       QStringLiteral("--desc"), QStringLiteral("The \"home\""),
                       QStringLiteral("--my-version"), QStringLiteral("9")});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QVERIFY(hostCatalogue().contains(
            "\"index.html\",9,\"Rita\",\"Alda\",\"The 'home'\",\"Alda: links\"\r\n"));
        QCOMPARE(bren.version(QStringLiteral("index.html")), QStringLiteral("9"));
    }

    void optionsByTheWindowsRules() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), alda.config.path());
        p.setProcessEnvironment(env);
        const QString cli = qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli");
        p.start(cli,
                {QStringLiteral("store"), QStringLiteral("options"), QStringLiteral("ShowOutOfDateAsRed=yes"),
                 QStringLiteral("NoReadOnly=Yes"), QStringLiteral("CurrentView=1")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().startsWith("CurrentView=1\nShowOutOfDateAsRed=Yes\n"));
        QSettings s(alda.config.path() + QStringLiteral("/KRtp/KRtp.ini"), QSettings::IniFormat);
        // A box that matches the stored value (the default) is not written.
        QVERIFY(!s.contains(QStringLiteral("Icons/%2FShowOutOfDateAsRed")) &&
                !s.contains(QStringLiteral("Icons//ShowOutOfDateAsRed")));
        QCOMPARE(s.value(QStringLiteral("Settings/NoReadOnly")).toString(), QStringLiteral("Yes"));
        p.start(cli,
                {QStringLiteral("store"), QStringLiteral("options"), QStringLiteral("NoReadOnly=maybe")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
    }
};

KRTP_TEST_MAIN_CORE(TestStoreActionsCli)
#include "tst_storeactionscli.moc"
