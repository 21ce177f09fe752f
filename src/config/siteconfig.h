#pragma once

#include <QString>

namespace krtp {

// How FTP sessions use TLS (explicit FTPS, "AUTH TLS"): not at all, when the host offers it, or
// always, refusing to send the password in clear to a host that does not offer it.
enum class FtpTlsMode { Off, Try, Require };

// "off", "try" or "require" (also "no"/"false"/"0" and "yes"/"true"/"1"); anything else is
// Require, so a mistyped value never weakens the setting.
FtpTlsMode ParseFtpTlsMode(const QString& text);
QString FtpTlsModeName(FtpTlsMode mode);

// How the site's files are reached: FTP (with FtpTls) or SFTP (file transfer over SSH).
enum class SiteProtocol { Ftp, Sftp };

// "sftp" (any letter case) is SFTP; anything else is FTP.
SiteProtocol ParseSiteProtocol(const QString& text);

// Where the team site lives. Build-time defaults, overridden by the per-user site.ini
// ([Site] Protocol, FtpHost, BaseUrl, FtpUser, FtpPassword, FtpTls, FtpTlsCaFile, FtpTlsPinnedKey,
// SftpKeyFile, SftpHostKey) and then by KRTP_PROTOCOL, KRTP_FTP_HOST, KRTP_BASE_URL, KRTP_FTP_USER,
// KRTP_FTP_PASSWORD, KRTP_FTP_TLS, KRTP_FTP_TLS_CA_FILE, KRTP_FTP_TLS_PINNED_KEY, KRTP_SFTP_KEY_FILE and
// KRTP_SFTP_HOST_KEY in the environment.
struct SiteConfig {
    QString ftpHost; // host or host:port
    QString baseUrl; // ends in "/"
    QString ftpUser;
    QString ftpPassword;
    FtpTlsMode ftpTls = FtpTlsMode::Require;
    // Certificates are verified against the system's store; a site with its own certificate names
    // its CA file (PEM), or pins the host's public key ("sha256//<base64>", as curl takes it).
    QString ftpTlsCaFile{};
    QString ftpTlsPinnedKey{};
    // SFTP: the host and account above (port 22 unless the host names one); FtpTls has no meaning.
    SiteProtocol protocol = SiteProtocol::Ftp;
    // A private key file for the account (OpenSSH's format), tried before the password.
    QString sftpKeyFile{};
    // The host key pinned as OpenSSH shows it ("SHA256:<base64>"); empty: the known-hosts file decides.
    QString sftpHostKey{};

    static SiteConfig load();
    static QString siteFileName();
    // The SSH hosts this member trusts, in OpenSSH's known_hosts format, beside site.ini.
    static QString knownHostsFileName();
};

// Loaded once per process on first use.
const SiteConfig& siteConfig();
void reloadSiteConfig();

} // namespace krtp
