#include "clirunner.h"
#include "storetestutil.h"
#include "testmain.h"

using namespace krtp;
using namespace krtp::test;

class TestStoreCli : public QObject {
    Q_OBJECT
    StoreFixture fx;
    // Name and password as typed: blanks around the name and the password's letter case do not count.
    CliMember dovrin{QStringLiteral(" dovrin "), QStringLiteral("Secret"), {}, {}};

    CliResult status(const QString& more = {}) { return dovrin.run(QStringLiteral("store status ") + more); }

private slots:
    void initTestCase() {
        QVERIFY(fx.start());
        fx.setAccounts({{QStringLiteral("Dovrin"), QStringLiteral("secret"), 3},
                        {QStringLiteral("Gone"), QStringLiteral("x"), 1}});
    }

    void statusPrintsTheListInOrder() {
        fx.setCatalogue(
            catalogue({catalogueLine("index.html", 3, "", "velmar", "Home page", "velmar: links"),
                       catalogueLine("Logo.GIF", 2, "brenmoor", "", "The logo", "brenmoor: bigger"),
                       catalogueLine("notes.txt", 5, "DOVRIN", "Dovrin", "Notes", "Dovrin: more"),
                       catalogueLine("fresh.txt", 1, "brenmoor")}));
        SettingsStore own(dovrin.settingsFile());
        own.setFileVersion(QStringLiteral("index.html"), QStringLiteral("3"));
        own.setFileVersion(QStringLiteral("LOGO.GIF"), QStringLiteral("1"));
        own.sync();
        const CliResult r = status();
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("index.html\tunlocked\t\t3\t3\tvelmar\tHome page\tvelmar: links\n"
                                   "Logo.GIF\told\tbrenmoor\t2\t1\t\tThe logo\tbrenmoor: bigger\n"
                                   "notes.txt\topen\tDOVRIN\t5\t0\tDovrin\tNotes\tDovrin: more\n"
                                   "fresh.txt\tnew\tbrenmoor\t1\t0\t\t\t\n"));
        QVERIFY(QFile::exists(dovrin.path(QStringLiteral("_files.txt"))));
    }

    void repairOnlyWithYes() {
        const QByteArray good = catalogue({catalogueLine("a.txt", 1)});
        const QByteArray broken = catalogue({catalogueLine("a.txt", 1)}, "2.0.5", 4);
        fx.setCatalogue(broken, good);
        CliResult r = status();
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("KRtp detected a corrupt or missing _files.txt on the server."));
        QVERIFY(r.err.contains("(ERR: 4 files expected, 1 files found))\n"));
        QCOMPARE(fx.hostCatalogue(), broken);
        r = status(QStringLiteral("--yes"));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("a.txt\tnew\t\t1\t0\t\t\t\n"));
        QCOMPARE(fx.hostCatalogue(), good);
    }

    void outdatedAndRefusedLogins_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("required");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("outdated") << " dovrin "
                                  << "Secret" << QByteArray("3.0.0")
                                  << QByteArray(
                                         "KRtp has been updated to version 3.0.0\nYou are currently "
                                         "using version 2.0.5\n\nPlease get version 3.0.0 from Dovrin.\n");
        QTest::newRow("wrong password")
            << "dovrin"
            << "wrong" << QByteArray("2.0.5") << QByteArray("Invalid Username/Password\n");
        QTest::newRow("locked out") << "gone"
                                    << "x" << QByteArray("2.0.5")
                                    << QByteArray("Sorry, you've been locked out.\n");
    }
    void outdatedAndRefusedLogins() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QByteArray, required);
        QFETCH(QByteArray, err);
        fx.setCatalogue(catalogue({}, required.constData()));
        const CliMember m{name, password, {}, {}};
        const CliResult r = m.run(QStringLiteral("store status"));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, err);
        QCOMPARE(r.out, QByteArray());
    }
};

KRTP_TEST_MAIN_CORE(TestStoreCli)
#include "tst_storecli.moc"
