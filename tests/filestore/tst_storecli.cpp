#include "accounts/accountfile.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QProcess>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestStoreCli : public QObject {
    Q_OBJECT
    StoreFixture fx;

    struct Result {
        int code = -1;
        QByteArray out;
        QByteArray err;
    };

    Result store(QStringList args) {
        QProcess p;
        // The password goes through the environment, out of the process list.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (const qsizetype i = args.indexOf(QStringLiteral("--password")); i >= 0) {
            env.insert(QStringLiteral("KRTP_PASSWORD"), args.at(i + 1));
            args.remove(i, 2);
        }
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"),
                QStringList{QStringLiteral("store"), QStringLiteral("status")} + args);
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }

    QStringList login() const {
        return {QStringLiteral("--user"), QStringLiteral(" dovrin "),       QStringLiteral("--password"),
                QStringLiteral("Secret"), QStringLiteral("--local-folder"), fx.local->path()};
    }

private slots:
    void initTestCase() {
        QVERIFY(fx.start());
        QByteArray accounts;
        for (const AccountRecord& m : {AccountRecord{QStringLiteral("Dovrin"), QStringLiteral("secret"), 3},
                                       AccountRecord{QStringLiteral("Gone"), QStringLiteral("x"), 1}})
            accounts += EncodeAccountRecord(m);
        fx.host.write(QStringLiteral("krg/_files.dat"), accounts);
        // The command line reads the member's own settings store.
        setSettingsStore(nullptr);
        fx.settings = std::make_unique<SettingsStore>(SettingsStore::defaultFileName());
        setSettingsStore(fx.settings.get());
    }

    void statusPrintsTheListInOrder() {
        fx.setCatalogue(
            catalogue({catalogueLine("index.html", 3, "", "velmar", "Home page", "velmar: links"),
                       catalogueLine("Logo.GIF", 2, "brenmoor", "", "The logo", "brenmoor: bigger"),
                       catalogueLine("notes.txt", 5, "DOVRIN", "Dovrin", "Notes", "Dovrin: more"),
                       catalogueLine("fresh.txt", 1, "brenmoor")}));
        fx.settings->setFileVersion(QStringLiteral("index.html"), QStringLiteral("3"));
        fx.settings->setFileVersion(QStringLiteral("LOGO.GIF"), QStringLiteral("1"));
        fx.settings->sync();
        const Result r = store(login());
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("index.html\tunlocked\t\t3\t3\tvelmar\tHome page\tvelmar: links\n"
                                   "Logo.GIF\told\tbrenmoor\t2\t1\t\tThe logo\tbrenmoor: bigger\n"
                                   "notes.txt\topen\tDOVRIN\t5\t0\tDovrin\tNotes\tDovrin: more\n"
                                   "fresh.txt\tnew\tbrenmoor\t1\t0\t\t\t\n"));
        QVERIFY(QFile::exists(fx.localPath(QStringLiteral("_files.txt"))));
    }

    void repairOnlyWithYes() {
        const QByteArray good = catalogue({catalogueLine("a.txt", 1)});
        const QByteArray broken = catalogue({catalogueLine("a.txt", 1)}, "2.0.5", 4);
        fx.setCatalogue(broken, good);
        Result r = store(login());
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("KRtp detected a corrupt or missing _files.txt on the server."));
        QVERIFY(r.err.contains("(ERR: 4 files expected, 1 files found))\n"));
        QCOMPARE(fx.hostCatalogue(), broken);
        r = store(login() << QStringLiteral("--yes"));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("a.txt\tnew\t\t1\t0\t\t\t\n"));
        QCOMPARE(fx.hostCatalogue(), good);
    }

    void outdatedAndRefusedLogins() {
        fx.setCatalogue(catalogue({}, "3.0.0"));
        Result r = store(login());
        QCOMPARE(r.code, 1);
        QCOMPARE(
            r.err,
            QByteArray("KRtp has been updated to version 3.0.0\nYou are currently using version 2.0.5\n\n"
                       "Please get version 3.0.0 from Dovrin.\n"));
        r = store({QStringLiteral("--user"), QStringLiteral("dovrin"), QStringLiteral("--password"),
                   QStringLiteral("wrong"), QStringLiteral("--local-folder"), fx.local->path()});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Invalid Username/Password\n"));
        r = store({QStringLiteral("--user"), QStringLiteral("gone"), QStringLiteral("--password"),
                   QStringLiteral("x"), QStringLiteral("--local-folder"), fx.local->path()});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Sorry, you've been locked out.\n"));
        QCOMPARE(r.out, QByteArray());
    }
};

KRTP_TEST_MAIN_CORE(TestStoreCli)
#include "tst_storecli.moc"
