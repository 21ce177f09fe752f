// The transfer verbs and a member's check-out and check-in against vsftpd, plain and with TLS. The
// test starts its own vsftpd on 127.0.0.1 with its own configuration (anonymous writable account,
// chroot to a temporary site) and stops it; the account file is served by a plain HTTP server.
#include "config/siteconfig.h"
#include "loopbackhost.h"
#include "serverwait.h"
#include "storescenario.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace krtp;
using namespace krtp::test;

namespace {

const char kVsftpd[] = "/usr/sbin/vsftpd";

struct Outcome {
    bool ok;
    QString reply;
    QString error;
};

Outcome run(TransferControl& c, const QString& command) {
    if (!c.Execute(command))
        return {false, {}, c.lastError()};
    c.waitUntilIdle();
    QString reply;
    for (QString piece = c.GetChunk(1024); !piece.isEmpty(); piece = c.GetChunk(1024))
        reply += piece;
    return {c.lastSucceeded(), reply, c.lastError()};
}

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void stopProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// One vsftpd instance and the HTTP server beside it.
class VsftpdHost {
public:
    ~VsftpdHost() { stop(); }

    bool start(bool tls, QString* error) {
        m_tls = tls;
        const QString site = root();
        QDir().mkpath(site + QStringLiteral("/krg"));
        QDir().mkpath(m_dir.filePath(QStringLiteral("empty")));
        // vsftpd refuses a writable root for the anonymous account; the folders below it are writable.
        QFile::setPermissions(site, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther);
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                                QFile::ExeOther);
        openUp(site + QStringLiteral("/krg"));
        QString cert, key;
        if (tls) {
            QProcess make;
            make.start(QStringLiteral("/usr/bin/python3"),
                       {LoopbackHost::scriptPath(), QStringLiteral("--make-certificates"), m_dir.path()});
            if (!make.waitForFinished(30000) || make.exitCode() != 0) {
                *error = QStringLiteral("cannot make certificates: ") +
                         QString::fromLocal8Bit(make.readAllStandardError());
                return false;
            }
            const QJsonObject made = QJsonDocument::fromJson(make.readAllStandardOutput()).object();
            m_caFile = made.value(QStringLiteral("ca")).toString();
            cert = made.value(QStringLiteral("cert")).toString();
            key = made.value(QStringLiteral("key")).toString();
        }
        m_ftpPort = freePort();
        QStringList conf{QStringLiteral("listen=YES"),
                         QStringLiteral("listen_ipv6=NO"),
                         QStringLiteral("listen_address=127.0.0.1"),
                         QStringLiteral("listen_port=%1").arg(m_ftpPort),
                         QStringLiteral("background=NO"),
                         QStringLiteral("anonymous_enable=YES"),
                         QStringLiteral("local_enable=NO"),
                         QStringLiteral("write_enable=YES"),
                         QStringLiteral("anon_upload_enable=YES"),
                         QStringLiteral("anon_mkdir_write_enable=YES"),
                         QStringLiteral("anon_other_write_enable=YES"),
                         QStringLiteral("anon_world_readable_only=NO"),
                         QStringLiteral("anon_umask=000"),
                         QStringLiteral("anon_root=") + site,
                         QStringLiteral("ftp_username=ftp"),
                         QStringLiteral("secure_chroot_dir=") + m_dir.filePath(QStringLiteral("empty")),
                         QStringLiteral("seccomp_sandbox=NO"),
                         QStringLiteral("isolate=NO"),
                         QStringLiteral("isolate_network=NO"),
                         QStringLiteral("xferlog_enable=NO"),
                         QStringLiteral("syslog_enable=NO"),
                         QStringLiteral("connect_from_port_20=NO"),
                         QStringLiteral("idle_session_timeout=20"),
                         QStringLiteral("data_connection_timeout=20"),
                         QStringLiteral("max_per_ip=0")};
        if (tls)
            conf << QStringLiteral("ssl_enable=YES") << QStringLiteral("rsa_cert_file=") + cert
                 << QStringLiteral("rsa_private_key_file=") + key << QStringLiteral("allow_anon_ssl=YES")
                 << QStringLiteral("force_anon_logins_ssl=YES") << QStringLiteral("force_anon_data_ssl=YES")
                 << QStringLiteral("ssl_ciphers=HIGH") << QStringLiteral("require_ssl_reuse=YES");
        const QString confFile = m_dir.filePath(QStringLiteral("vsftpd.conf"));
        QFile f(confFile);
        if (!f.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("cannot write ") + confFile;
            return false;
        }
        f.write(conf.join(QLatin1Char('\n')).toUtf8() + '\n');
        f.close();
        m_ftp.setProcessChannelMode(QProcess::MergedChannels);
        m_ftp.start(QLatin1String(kVsftpd), {confFile});
        if (!m_ftp.waitForStarted(5000)) {
            *error = QStringLiteral("cannot start vsftpd");
            return false;
        }
        // Ready once it greets.
        if (!WaitForBanner(m_ftp, m_ftpPort, "220")) {
            *error = QStringLiteral("vsftpd did not greet: ") + QString::fromLocal8Bit(m_ftp.readAll());
            return false;
        }
        m_web.setProcessChannelMode(QProcess::MergedChannels);
        m_web.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                     QStringLiteral("--bind"), QStringLiteral("127.0.0.1"), QStringLiteral("--directory"),
                     site, QStringLiteral("0")});
        QByteArray banner;
        static const QRegularExpression portText(QStringLiteral("port (\\d+)"));
        while (!portText.match(QString::fromUtf8(banner)).hasMatch()) {
            if (!m_web.waitForReadyRead(10000)) {
                *error = QStringLiteral("the HTTP server did not start");
                return false;
            }
            banner += m_web.readAll();
        }
        m_httpPort = portText.match(QString::fromUtf8(banner)).captured(1).toInt();
        exportEnvironment();
        return true;
    }

    void stop() {
        stopProcess(m_ftp);
        stopProcess(m_web);
    }

    QString root() const { return m_dir.filePath(QStringLiteral("site")); }
    QString caFile() const { return m_caFile; }

    void exportEnvironment() const {
        qputenv("KRTP_FTP_HOST", QStringLiteral("127.0.0.1:%1").arg(m_ftpPort).toUtf8());
        qputenv("KRTP_BASE_URL", QStringLiteral("http://127.0.0.1:%1/").arg(m_httpPort).toUtf8());
        qputenv("KRTP_FTP_USER", "anonymous");
        qputenv("KRTP_FTP_PASSWORD", "krtp@example.invalid");
        qputenv("KRTP_FTP_TLS", m_tls ? "require" : "off");
        if (m_tls)
            qputenv("KRTP_FTP_TLS_CA_FILE", m_caFile.toUtf8());
        else
            qunsetenv("KRTP_FTP_TLS_CA_FILE");
        reloadSiteConfig();
    }

    // What the anonymous account writes must be writable by it: the seeded files and folders.
    static void openUp(const QString& path) {
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                         QFile::ReadOther | QFile::WriteOther;
        QFile::setPermissions(path, all | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        for (const QFileInfo& i :
             QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            i.isDir() ? openUp(i.filePath()) : void(QFile::setPermissions(i.filePath(), all));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_ftp;
    QProcess m_web;
    bool m_tls = false;
    int m_ftpPort = 0;
    int m_httpPort = 0;
    QString m_caFile;
};

} // namespace

class TestInteropVsftpd : public QObject {
    Q_OBJECT
    QTemporaryDir work;

private slots:
    void initTestCase() {
        if (!QFileInfo(QLatin1String(kVsftpd)).isExecutable())
            QSKIP("vsftpd is not installed: the interop tests are skipped (bash scripts/dev.sh build "
                  "installs it)");
        if (::geteuid() != 0)
            QSKIP("vsftpd's chroot needs root: the interop tests are skipped");
        QVERIFY(QDir::setCurrent(work.path()));
    }

    void transferVerbs_data() {
        QTest::addColumn<bool>("tls");
        QTest::newRow("plain") << false;
        QTest::newRow("tls") << true;
    }

    void transferVerbs() {
        QFETCH(bool, tls);
        VsftpdHost host;
        QString error;
        QVERIFY2(host.start(tls, &error), qPrintable(error));
        StoreScenario::seed(host.root());
        VsftpdHost::openUp(host.root() + QStringLiteral("/krg"));
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("cd /krg")).ok);
        const QString listing = run(c, QStringLiteral("ls")).reply;
        for (const QString& n : StoreScenario::names())
            QVERIFY2(listing.contains(n + QStringLiteral("\r\n")), qPrintable(listing));
        // vsftpd reads LIST's argument as a pattern: existence is judged by exact names instead.
        for (const QString& n : StoreScenario::names())
            QCOMPARE(run(c, QStringLiteral("ls \"") + n + QLatin1Char('"')).reply,
                     n + QStringLiteral("\r\n"));
        const Outcome none = run(c, QStringLiteral("ls b?c.txt"));
        QVERIFY2(!none.ok && c.lastReplyCode() == 550, qPrintable(none.reply + none.error));
        QVERIFY(!run(c, QStringLiteral("ls /krg/none.txt")).ok);

        QByteArray data(200 * 1024 + 1, Qt::Uninitialized);
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(i * 13 + i / 7);
        QVERIFY(writeLocal(QStringLiteral("up.bin"), data));
        QVERIFY(run(c, QStringLiteral("send up.bin \"{new} file.bin\"")).ok);
        QCOMPARE(readLocal(host.root() + QStringLiteral("/krg/{new} file.bin")), data);
        QVERIFY(run(c, QStringLiteral("get \"{new} file.bin\" down.bin")).ok);
        QCOMPARE(readLocal(QStringLiteral("down.bin")), data);
        QCOMPARE(run(c, QStringLiteral("size \"{new} file.bin\"")).reply, QString::number(data.size()));
        QVERIFY(run(c, QStringLiteral("rename \"{new} file.bin\" \"r*d.bin\"")).ok);
        QVERIFY(QFile::exists(host.root() + QStringLiteral("/krg/r*d.bin")));
        QVERIFY(run(c, QStringLiteral("delete \"r*d.bin\"")).ok);
        QVERIFY(!QFile::exists(host.root() + QStringLiteral("/krg/r*d.bin")));
        QVERIFY(run(c, QStringLiteral("mkdir \"new [dir]\"")).ok);
        QCOMPARE(run(c, QStringLiteral("ls \"new [dir]\"")).reply, QString());
        QVERIFY(run(c, QStringLiteral("rmdir \"new [dir]\"")).ok);
        QVERIFY(run(c, QStringLiteral("quit")).ok);

        if (tls) {
            // The same host refuses a member without TLS, and TLS is refused without its CA.
            TransferControl plain;
            plain.configureForSite();
            plain.Tls = TransferControl::TlsOff;
            QVERIFY(!run(plain, QStringLiteral("ls /krg")).ok);
            QVERIFY2(plain.lastError().startsWith(QStringLiteral("530")), qPrintable(plain.lastError()));
            TransferControl untrusting;
            untrusting.configureForSite();
            untrusting.TlsCaFile.clear();
            QVERIFY(!run(untrusting, QStringLiteral("ls /krg")).ok);
            QVERIFY(
                untrusting.lastError().startsWith(QStringLiteral("The host's certificate is not trusted (")));
        }
    }

    void checkOutAndCheckIn_data() { transferVerbs_data(); }

    void checkOutAndCheckIn() {
        QFETCH(bool, tls);
        VsftpdHost host;
        QString error;
        QVERIFY2(host.start(tls, &error), qPrintable(error));
        StoreScenario::seed(host.root());
        VsftpdHost::openUp(host.root() + QStringLiteral("/krg"));
        const QString failure = RunStoreScenario(host.root());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

KRTP_TEST_MAIN_CORE(TestInteropVsftpd)
#include "tst_interop_vsftpd.moc"
