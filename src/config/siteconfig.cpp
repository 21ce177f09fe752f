#include "config/siteconfig.h"

#include "buildconfig.h"

#include <QSettings>
#include <QStandardPaths>
#include <QtDebug>

namespace krtp {

namespace {

// True when the site file or the environment gave a value.
bool overrideFrom(QString& value, const QSettings& site, const char* key, const char* envName) {
    bool given = false;
    // An unquoted comma makes QSettings read a list; in a hand-written site file it is part of the value.
    const QString v =
        site.value(QStringLiteral("Site/") + QLatin1String(key)).toStringList().join(QLatin1Char(','));
    if (!v.isEmpty()) {
        value = v;
        given = true;
    }
    if (qEnvironmentVariableIsSet(envName) && !qEnvironmentVariableIsEmpty(envName)) {
        value = qEnvironmentVariable(envName);
        given = true;
    }
    return given;
}

SiteConfig& cached() {
    static SiteConfig config = SiteConfig::load();
    return config;
}

} // namespace

QString SiteConfig::siteFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/KRtp/site.ini");
}

QString SiteConfig::knownHostsFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/KRtp/known_hosts");
}

SiteProtocol ParseSiteProtocol(const QString& text) {
    return text.trimmed().compare(QLatin1String("sftp"), Qt::CaseInsensitive) == 0 ? SiteProtocol::Sftp
                                                                                   : SiteProtocol::Ftp;
}

FtpTlsMode ParseFtpTlsMode(const QString& text) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("off") || t == QLatin1String("no") || t == QLatin1String("false") ||
        t == QLatin1String("0"))
        return FtpTlsMode::Off;
    if (t == QLatin1String("try"))
        return FtpTlsMode::Try;
    return FtpTlsMode::Require;
}

QString FtpTlsModeName(FtpTlsMode mode) {
    switch (mode) {
    case FtpTlsMode::Off:
        return QStringLiteral("off");
    case FtpTlsMode::Try:
        return QStringLiteral("try");
    case FtpTlsMode::Require:
        break;
    }
    return QStringLiteral("require");
}

SiteConfig SiteConfig::load() {
    SiteConfig c{QStringLiteral(KRTP_DEFAULT_FTP_HOST), QStringLiteral(KRTP_DEFAULT_BASE_URL),
                 QStringLiteral(KRTP_DEFAULT_FTP_USER), QStringLiteral(KRTP_DEFAULT_FTP_PASSWORD)};
    const QSettings site(siteFileName(), QSettings::IniFormat);
    overrideFrom(c.ftpHost, site, "FtpHost", "KRTP_FTP_HOST");
    overrideFrom(c.baseUrl, site, "BaseUrl", "KRTP_BASE_URL");
    overrideFrom(c.ftpUser, site, "FtpUser", "KRTP_FTP_USER");
    overrideFrom(c.ftpPassword, site, "FtpPassword", "KRTP_FTP_PASSWORD");
    QString protocol = QStringLiteral(KRTP_DEFAULT_PROTOCOL);
    overrideFrom(protocol, site, "Protocol", "KRTP_PROTOCOL");
    c.protocol = ParseSiteProtocol(protocol);
    QString tls = QStringLiteral(KRTP_DEFAULT_FTP_TLS);
    const bool tlsGiven = overrideFrom(tls, site, "FtpTls", "KRTP_FTP_TLS");
    c.ftpTls = ParseFtpTlsMode(tls);
    if (tlsGiven && c.protocol == SiteProtocol::Sftp)
        qInfo("FtpTls is ignored: the site uses SFTP, which is always encrypted.");
    overrideFrom(c.ftpTlsCaFile, site, "FtpTlsCaFile", "KRTP_FTP_TLS_CA_FILE");
    overrideFrom(c.ftpTlsPinnedKey, site, "FtpTlsPinnedKey", "KRTP_FTP_TLS_PINNED_KEY");
    overrideFrom(c.sftpKeyFile, site, "SftpKeyFile", "KRTP_SFTP_KEY_FILE");
    overrideFrom(c.sftpHostKey, site, "SftpHostKey", "KRTP_SFTP_HOST_KEY");
    if (!c.baseUrl.endsWith(QLatin1Char('/')))
        c.baseUrl += QLatin1Char('/');
    return c;
}

const SiteConfig& siteConfig() {
    return cached();
}

void reloadSiteConfig() {
    cached() = SiteConfig::load();
}

} // namespace krtp
