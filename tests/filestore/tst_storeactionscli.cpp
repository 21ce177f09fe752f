// krtp-cli store addable / add / hide / describe / remove / relinquish / edit / options: members as
// processes with their own local folders and settings, against a loopback host.
#include "clirunner.h"
#include "storetestutil.h"
#include "testmain.h"

using namespace krtp;
using namespace krtp::test;

class TestStoreActionsCli : public QObject {
    Q_OBJECT
    HostFixture fx;
    CliMember alda{QStringLiteral("Alda"), QStringLiteral("a1"), {}, {}};
    CliMember bren{QStringLiteral("Bren"), QStringLiteral("b2"), {}, {}};
    CliMember rita{QStringLiteral("Rita"), QStringLiteral("r3"), {}, {}};

    QByteArray hostCatalogue() const { return fx.hostCatalogue(); }

private slots:
    void initTestCase() {
        QVERIFY(fx.startHost());
        fx.setAccounts({{QStringLiteral("Alda"), QStringLiteral("a1"), 3},
                        {QStringLiteral("Bren"), QStringLiteral("b2"), 4},
                        {QStringLiteral("Rita"), QStringLiteral("r3"), 2}});
        fx.setCatalogue(catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links")}));
        fx.host.write(QStringLiteral("krg/index.html"), "index v3");
    }

    void addingAndOwnerActions() {
        for (const char* n : {"one.txt", "two.txt", "skip.txt", "one.txt.backup"})
            alda.write(QLatin1String(n), QByteArray("A's ") + n);
        CliResult r = alda.run("store addable");
        QCOMPARE(r.code, 0);
        QList<QByteArray> offered = r.out.split('\n');
        offered.removeAll(QByteArray());
        std::sort(offered.begin(), offered.end());
        QCOMPARE(offered, (QList<QByteArray>{"one.txt", "skip.txt", "two.txt"}));
        QCOMPARE(alda.run("store hide skip.txt").code, 0);
        QCOMPARE(alda.read(QStringLiteral("_hidden.txt")), QByteArray("skip.txt\r\n"));

        // One description per name, in order; quotes become apostrophes.
        r = alda.run(R"(store add one.txt two.txt -d 'First "one"' -d Second)");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(fx.hostFile(QStringLiteral("one.txt")), QByteArray("A's one.txt"));
        QCOMPARE(hostCatalogue(),
                 catalogue({catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links"),
                            catalogueLine("one.txt", 1, "", "Alda", "First 'one'", "Alda: *new file*"),
                            catalogueLine("two.txt", 1, "", "Alda", "Second", "Alda: *new file*")}));
        QCOMPARE(alda.version(QStringLiteral("one.txt")), QStringLiteral("1"));
        QCOMPARE(alda.run("store addable").out, QByteArray());
        // Two descriptions for three names is a usage error; a Read Only member cannot add.
        QCOMPARE(alda.run("store add a b c -d x -d y").code, 2);
        rita.write(QStringLiteral("r.txt"), "r");
        r = rita.run("store add r.txt -d R");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, you do not have access to that feature."));

        // Owner actions: B may not describe A's file; the question of remove gets the safe answer.
        r = bren.run("store describe ONE.txt -d mine");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, only Alda has permission to change one.txt's description."));
        QCOMPARE(alda.run("store describe one.txt -d Better").code, 0);
        QVERIFY(hostCatalogue().contains("\"one.txt\",1,\"\",\"Alda\",\"Better\","));
        QCOMPARE(alda.run("store remove two.txt").code, 1);
        QVERIFY(hostCatalogue().contains("\"two.txt\""));
        QCOMPARE(alda.run("store remove two.txt --yes").code, 0);
        QVERIFY(!hostCatalogue().contains("two.txt"));
        QCOMPARE(fx.hostFile(QStringLiteral("two.txt")), QByteArray("A's two.txt"));
        QCOMPARE(alda.run("store relinquish one.txt --yes").code, 0);
        QVERIFY(hostCatalogue().contains("\"one.txt\",1,\"\",\"\",\"Better\","));
        r = alda.run("store relinquish one.txt --yes");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Sorry, you do not have control one.txt."));

        // The administrator's edit; other members are refused.
        QCOMPARE(alda.run("store edit index.html --version 9").code, 1);
        r = bren.run(
            R"(store edit index.html --controller Rita --version 9 --desc 'The "home"' --my-version 9)");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QVERIFY(hostCatalogue().contains(
            "\"index.html\",9,\"Rita\",\"Alda\",\"The 'home'\",\"Alda: links\"\r\n"));
        QCOMPARE(bren.version(QStringLiteral("index.html")), QStringLiteral("9"));
    }

    void optionsByTheWindowsRules() {
        const CliCall own{QString(), alda.config.path(), {}};
        CliResult r =
            runCli(cliWords("store options ShowOutOfDateAsRed=yes NoReadOnly=Yes CurrentView=1"), own);
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("CurrentView=1\nShowOutOfDateAsRed=Yes\n"));
        QSettings s(alda.settingsFile(), QSettings::IniFormat);
        // A box that matches the stored value (the default) is not written.
        QVERIFY(!s.contains(QStringLiteral("Icons/%2FShowOutOfDateAsRed")) &&
                !s.contains(QStringLiteral("Icons//ShowOutOfDateAsRed")));
        QCOMPARE(s.value(QStringLiteral("Settings/NoReadOnly")).toString(), QStringLiteral("Yes"));
        QCOMPARE(runCli(cliWords("store options NoReadOnly=maybe"), own).code, 2);
    }
};

KRTP_TEST_MAIN_CORE(TestStoreActionsCli)
#include "tst_storeactionscli.moc"
