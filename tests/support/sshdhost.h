#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

// OpenSSH's sshd on 127.0.0.1 with its own configuration, host key and a free port, serving a
// temporary site through internal-sftp to one account that logs in with a key made for the test;
// a plain HTTP server beside it serves the same site (the login reads the account file that way).
// As root the account is root, chrooted to the site when every folder above it is root's alone, else
// started in the site's folder; otherwise the account is the user running the test.
class SshdHost {
public:
    SshdHost();
    ~SshdHost();

    static QString sshdPath();

    bool start(QString* error);
    void stop();

    QString root() const { return m_root; } // the site's folder, the account's "/"
    QString host() const;                   // "127.0.0.1:port"
    QString user() const { return m_user; }
    QString keyFile() const { return m_clientKey; }
    // A second key of the account, protected by keyPassphrase().
    QString lockedKeyFile() const { return m_lockedKey; }
    static QString keyPassphrase() { return QStringLiteral("open sesame: 1"); }
    // The account's password, or empty when the host cannot offer password logins: as root, sshd runs in
    // a mount namespace of its own where a shadow file made for the test stands in for the system's, so
    // no system account changes. host() takes it as a password, kbdInteractiveHost() only by
    // keyboard-interactive (through PAM).
    QString password() const { return m_password; }
    QString kbdInteractiveHost() const;
    // The host key as OpenSSH shows it ("SHA256:...") and its known_hosts line for this host.
    QString hostKeyFingerprint() const { return m_hostFingerprint; }
    QString knownHostsLine() const;
    bool chrooted() const { return m_chrooted; }
    // What sshd logged so far (logins show as "Accepted publickey").
    QString log();

    // KRTP_PROTOCOL=sftp, the host, the account and its key file, the HTTP base address; the host key
    // pinned when pin is true (else the known-hosts file decides). Reloads the site configuration.
    void exportEnvironment(bool pin) const;

    // A fresh ed25519 key pair at dir/name (name.pub beside it); the fingerprint and the public key's
    // "type base64" text. False when ssh-keygen fails.
    static bool makeKey(const QString& dir, const QString& name, QString* fingerprint, QString* publicKey,
                        const QString& passphrase = {});

private:
    QString chrootBase() const;
    QString shadowFile(const QString& dir) const;

    QTemporaryDir m_config;
    std::unique_ptr<QTemporaryDir> m_siteDir;
    QString m_root, m_user, m_clientKey, m_lockedKey, m_hostFingerprint, m_hostPublic, m_password;
    bool m_chrooted = false;
    int m_port = 0;
    int m_kbdPort = 0;
    int m_httpPort = 0;
    QProcess m_sshd;
    QProcess m_web;
    QByteArray m_log;
};

} // namespace krtp::test
