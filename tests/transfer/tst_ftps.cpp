// FTPS (explicit TLS) against the loopback host in its TLS mode, and passwords kept out of sight.
#include "accounts/accountfile.h"
#include "config/siteconfig.h"
#include "loopbackhost.h"
#include "storescenario.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

// The host's command log since `before` lines, without the "QUIT" of sessions that ended earlier.
QStringList newCommands(const LoopbackHost& host, qsizetype before) {
    QStringList lines = host.commandLog().mid(before);
    lines.removeAll(u"QUIT"_s);
    return lines;
}

const QString kNoTls = QStringLiteral("The host does not offer TLS (FTPS), which this site requires: nothing "
                                      "was sent to it, not even the account "
                                      "name. Ask the host to enable FTPS, or set FtpTls to \"try\" or "
                                      "\"off\" in the site settings if you accept "
                                      "sending the password in clear.");
const QString kUntrustedStart = u"The host's certificate is not trusted ("_s;
const QString kUntrustedEnd = QStringLiteral("). Nothing was sent. If the site uses a certificate of its "
                                             "own, name its CA file (FtpTlsCaFile) or pin its "
                                             "public key (FtpTlsPinnedKey) in the site settings.");

} // namespace

class TestFtps : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir work;

    // A control set up for the host of the environment.
    static void configure(TransferControl& c) {
        reloadSiteConfig();
        c.configureForSite();
    }

private slots:
    void initTestCase() {
        host.setTls(LoopbackHost::Tls::Require);
        host.setCommandLog(true);
        QString error;
        QVERIFY2(host.start(LoopbackHost::seedPath(u"transfer"_s), &error), qPrintable(error));
        StoreScenario::seed(host.root());
        QVERIFY(QDir::setCurrent(work.path()));
    }

    // A test that started a host of its own leaves the shared one in the environment again.
    void cleanup() { host.exportEnvironment(); }

    void siteSetting() {
        QCOMPARE(ParseFtpTlsMode(u"off"_s), FtpTlsMode::Off);
        QCOMPARE(ParseFtpTlsMode(u" Try "_s), FtpTlsMode::Try);
        QCOMPARE(ParseFtpTlsMode(u"require"_s), FtpTlsMode::Require);
        QCOMPARE(ParseFtpTlsMode(u"no"_s), FtpTlsMode::Off);
        // A mistyped value never weakens the setting.
        QCOMPARE(ParseFtpTlsMode(u"of"_s), FtpTlsMode::Require);
        QCOMPARE(ParseFtpTlsMode(QString()), FtpTlsMode::Require);
        QCOMPARE(siteConfig().ftpTls, FtpTlsMode::Require);
        QCOMPARE(siteConfig().ftpTlsCaFile, host.caFile());
        TransferControl c;
        QCOMPARE(c.Tls, int(TransferControl::TlsRequire)); // a control nobody set up does not send in clear
    }

    void transferVerbsAndStoreOverTls() {
        TransferControl c;
        configure(c);
        const qsizetype before = host.commandLog().size();
        CheckTransferVerbs(c, host.root());
        if (QTest::currentTestFailed())
            return;
        CheckStoreScenario(host.root());
        if (QTest::currentTestFailed())
            return;

        // Nothing before "AUTH TLS"; data connections protected before the first one opens.
        const QStringList log = newCommands(host, before);
        QVERIFY2(!log.isEmpty() && log.first() == u"AUTH TLS"_s, qPrintable(log.join('|')));
        qsizetype firstData = -1;
        for (qsizetype i = 0; i < log.size() && firstData < 0; ++i)
            if (log[i] == QLatin1String("EPSV") || log[i] == QLatin1String("PASV"))
                firstData = i;
        const qsizetype prot = log.indexOf(u"PROT P"_s);
        QVERIFY2(prot > 0 && prot < firstData, qPrintable(log.join('|')));
        QVERIFY(log.contains(u"PASS ****"_s));
        // Every session, the members' too (some at once), began with AUTH TLS.
        int secured = 0;
        for (const QString& line : log) {
            if (line.startsWith(u"USER "_s))
                QVERIFY2(secured-- > 0, qPrintable(log.join('|')));
            secured += line == QLatin1String("AUTH TLS");
        }
    }

    void aHostWithoutTlsIsRefusedBeforeTheAccountName() {
        LoopbackHost plain;
        plain.setCommandLog(true);
        QVERIFY(plain.start());
        TransferControl c;
        configure(c);
        c.Tls = TransferControl::TlsRequire;
        const Outcome o = run(c, u"ls /"_s);
        QVERIFY(!o.ok);
        QCOMPARE(o.error, kNoTls);
        QCOMPARE(c.lastReplyCode(), 0);
        for (const QString& line : plain.commandLog())
            QVERIFY2(line.startsWith(u"AUTH "_s), qPrintable(line));

        // "try" goes on in clear on such a host, and uses TLS where it is offered.
        c.Tls = TransferControl::TlsTry;
        QVERIFY(run(c, u"ls /"_s).ok);
        QVERIFY(plain.commandLog().contains(u"USER velmar"_s));
        LoopbackHost offering;
        offering.setTls(LoopbackHost::Tls::Offer);
        offering.setCommandLog(true);
        QVERIFY(offering.start());
        TransferControl d;
        configure(d);
        d.Tls = TransferControl::TlsTry;
        QVERIFY(run(d, u"ls /"_s).ok);
        QCOMPARE(offering.commandLog().value(0), u"AUTH TLS"_s);
    }

    void certificatesAreVerified() {
        // No CA file: the test CA is not in the system's store.
        TransferControl c;
        configure(c);
        c.TlsCaFile.clear();
        const qsizetype before = host.commandLog().size();
        Outcome o = run(c, u"ls /krg/_files.txt"_s);
        QVERIFY(!o.ok);
        QVERIFY2(o.error.startsWith(kUntrustedStart) && o.error.endsWith(kUntrustedEnd), qPrintable(o.error));
        QCOMPARE(newCommands(host, before), QStringList{u"AUTH TLS"_s});

        // The pinned key of a certificate no store trusts.
        c.TlsPinnedKey = host.pinnedKey();
        QVERIFY(run(c, u"ls /krg/_files.txt"_s).ok);
        TransferControl d;
        configure(d);
        d.TlsCaFile.clear();
        d.TlsPinnedKey = u"sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="_s;
        o = run(d, u"ls /krg/_files.txt"_s);
        QVERIFY(!o.ok);
        QCOMPARE(o.error, QStringLiteral("The host's public key is not the one pinned in the site settings "
                                         "(FtpTlsPinnedKey). Nothing was sent. If the host's certificate was "
                                         "renewed with a new key, pin the new key; otherwise someone may be "
                                         "between you and the host."));
        // A CA file that is not there.
        TransferControl e;
        configure(e);
        e.TlsCaFile = work.filePath(u"none.pem"_s);
        o = run(e, u"ls /"_s);
        QVERIFY2(
            o.error.startsWith(QStringLiteral("The CA file named in the site settings (FtpTlsCaFile) cannot "
                                              "be read (")),
            qPrintable(o.error));
    }

    void aCertificateForAnotherNameIsRefused() {
        LoopbackHost misnamed;
        misnamed.setTls(LoopbackHost::Tls::Require, u"wrong.invalid"_s);
        QVERIFY(misnamed.start());
        TransferControl c;
        configure(c); // its own CA file: only the name is wrong
        const Outcome o = run(c, u"ls /"_s);
        QVERIFY(!o.ok);
        QVERIFY2(o.error.startsWith(kUntrustedStart) && o.error.endsWith(kUntrustedEnd), qPrintable(o.error));
        // A pinned key does not excuse a wrong name either.
        c.TlsCaFile.clear();
        c.TlsPinnedKey = misnamed.pinnedKey();
        QVERIFY(!run(c, u"ls /"_s).ok);
    }

    void accountFileOverHttps() {
        TransferControl c;
        configure(c);
        QString error;
        QCOMPARE(c.OpenURL(host.baseUrl() + u"krg/_message.dat"_s, &error), host.read(u"krg/_message.dat"_s));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        c.TlsCaFile.clear();
        QVERIFY(c.OpenURL(host.baseUrl() + u"krg/_message.dat"_s, &error).isEmpty());
        QVERIFY2(error.startsWith(kUntrustedStart), qPrintable(error));
    }

    // krtp-cli takes the password from the environment, a file or (with a warning) the command line,
    // and never echoes a password command.
    void passwordsStayOutOfTheProcessList_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("envPassword"); // empty: none in the environment
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err"); // exactly, or its start when it ends in "..."
        const QString file = work.filePath(u"password.txt"_s);
        const QString none = work.filePath(u"none.txt"_s);
        QTest::newRow("environment") << QStringList{} << "builder" << 0 << QByteArray("Bob 3\n")
                                     << QByteArray();
        QTest::newRow("file") << QStringList{"--password-file", file} << "" << 0 << QByteArray("Bob 3\n")
                              << QByteArray();
        QTest::newRow("command line")
            << QStringList{"--password", "builder"} << "" << 0 << QByteArray("Bob 3\n")
            << QByteArray("Warning: --password shows the password to every local user "
                          "in the process list; use KRTP_PASSWORD or --password-file "
                          "instead.\n");
        QTest::newRow("environment first")
            << QStringList{"--password", "wrong"} << "builder" << 0 << QByteArray("Bob 3\n") << QByteArray();
        QTest::newRow("missing file") << QStringList{"--password-file", none} << "" << 2 << QByteArray()
                                      << QByteArray("Cannot read the password file ...");
        QTest::newRow("password command")
            << QStringList{"PASS secret\r"} << "" << 1 << QByteArray() << QByteArray("PASS ****");
    }

    void passwordsStayOutOfTheProcessList() {
        QFETCH(QStringList, args);
        QFETCH(QString, envPassword);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        host.write(u"krg/_files.dat"_s, EncodeAccountRecord({u"Bob"_s, u"builder"_s, 3}));
        QVERIFY(writeLocal(u"password.txt"_s, "builder\r\nsecond line\n"));
        const bool command = QTest::currentDataTag() == QByteArrayLiteral("password command");
        const CliResult r =
            runCli((command ? QStringList{u"ftp"_s} : QStringList{u"whoami"_s, u"--user"_s, u"bob"_s}) + args,
                   {envPassword.isEmpty() ? QString() : envPassword, {}, {}});
        QCOMPARE(r.out, out);
        const QByteArray errText = r.err;
        if (command) // the echo of the command, masked; the host's refusal follows
            QVERIFY2(!errText.contains("secret") && errText.contains(err), errText.constData());
        else if (err.endsWith("..."))
            QVERIFY2(errText.startsWith(err.chopped(3)), errText.constData());
        else
            QCOMPARE(errText, err);
        QCOMPARE(r.code, code);
    }
};

KRTP_TEST_MAIN_CORE(TestFtps)
#include "tst_ftps.moc"
