#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace krtp::test {

// vsftpd on 127.0.0.1 with its own configuration and a free port, plain or with TLS required, serving
// a temporary site to the anonymous account (writable, chrooted to the site); a plain HTTP server
// beside it serves the same site. Needs root for the chroot.
class VsftpdHost {
public:
    ~VsftpdHost() { stop(); }

    static QString vsftpdPath() { return QStringLiteral("/usr/sbin/vsftpd"); }

    // Starts both servers and exports the KRTP_* variables for them.
    bool start(bool tls, QString* error);
    void stop();

    QString root() const { return m_dir.filePath(QStringLiteral("site")); }
    void exportEnvironment() const;
    // What the anonymous account writes must be writable by it: the seeded files and folders.
    static void openUp(const QString& path);

private:
    QTemporaryDir m_dir;
    QProcess m_ftp;
    QProcess m_web;
    bool m_tls = false;
    int m_ftpPort = 0;
    int m_httpPort = 0;
    QString m_caFile;
};

} // namespace krtp::test
