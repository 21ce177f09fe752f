#pragma once

#include <QString>

namespace krtp {

// Where the team site lives. Build-time defaults, overridden by the per-user site.ini
// ([Site] FtpHost, BaseUrl, FtpUser, FtpPassword) and then by KRTP_FTP_HOST, KRTP_BASE_URL,
// KRTP_FTP_USER and KRTP_FTP_PASSWORD in the environment.
struct SiteConfig {
    QString ftpHost; // host or host:port
    QString baseUrl; // ends in "/"
    QString ftpUser;
    QString ftpPassword;

    static SiteConfig load();
    static QString siteFileName();
};

// Loaded once per process on first use.
const SiteConfig& siteConfig();
void reloadSiteConfig();

} // namespace krtp
