#include "vsftpdhost.h"
#include "loopbackhost.h"
#include "serverwait.h"

#include "config/siteconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace krtp::test {

bool VsftpdHost::start(bool tls, QString* error) {
    m_tls = tls;
    const QString site = root();
    QDir().mkpath(site + QStringLiteral("/krg"));
    QDir().mkpath(m_dir.filePath(QStringLiteral("empty")));
    // vsftpd refuses a writable root for the anonymous account; the folders below it are writable.
    const auto readable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(site, readable);
    QFile::setPermissions(m_dir.path(), readable);
    openUp(site + QStringLiteral("/krg"));
    QStringList conf{QStringLiteral("listen=YES"),
                     QStringLiteral("listen_ipv6=NO"),
                     QStringLiteral("listen_address=127.0.0.1"),
                     QStringLiteral("listen_port=%1").arg(m_ftpPort = FreePort()),
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
        conf << QStringLiteral("ssl_enable=YES")
             << QStringLiteral("rsa_cert_file=") + made.value(QStringLiteral("cert")).toString()
             << QStringLiteral("rsa_private_key_file=") + made.value(QStringLiteral("key")).toString()
             << QStringLiteral("allow_anon_ssl=YES") << QStringLiteral("force_anon_logins_ssl=YES")
             << QStringLiteral("force_anon_data_ssl=YES") << QStringLiteral("ssl_ciphers=HIGH")
             << QStringLiteral("require_ssl_reuse=YES");
    }
    const QString confFile = m_dir.filePath(QStringLiteral("vsftpd.conf"));
    QFile f(confFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(conf.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
        *error = QStringLiteral("cannot write ") + confFile;
        return false;
    }
    f.close();
    m_ftp.setProcessChannelMode(QProcess::MergedChannels);
    m_ftp.start(vsftpdPath(), {confFile});
    if (!m_ftp.waitForStarted(5000) || !WaitForBanner(m_ftp, m_ftpPort, "220")) {
        *error = QStringLiteral("vsftpd did not greet: ") + QString::fromLocal8Bit(m_ftp.readAll());
        return false;
    }
    if (!(m_httpPort = StartHttpServer(m_web, site))) {
        *error = QStringLiteral("the HTTP server did not start");
        return false;
    }
    exportEnvironment();
    return true;
}

void VsftpdHost::stop() {
    StopServer(m_ftp);
    StopServer(m_web);
}

void VsftpdHost::exportEnvironment() const {
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

void VsftpdHost::openUp(const QString& path) {
    const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                     QFile::ReadOther | QFile::WriteOther;
    QFile::setPermissions(path, all | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    for (const QFileInfo& i :
         QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        i.isDir() ? openUp(i.filePath()) : void(QFile::setPermissions(i.filePath(), all));
}

} // namespace krtp::test
