#include "config/siteconfig.h"

#include "buildconfig.h"

#include <QSettings>
#include <QStandardPaths>

namespace krtp {

namespace {

void overrideFrom(QString& value, const QSettings& site, const char* key, const char* envName) {
    // An unquoted comma makes QSettings read a list; in a hand-written site file it is part of the value.
    const QString v =
        site.value(QStringLiteral("Site/") + QLatin1String(key)).toStringList().join(QLatin1Char(','));
    if (!v.isEmpty())
        value = v;
    if (qEnvironmentVariableIsSet(envName) && !qEnvironmentVariableIsEmpty(envName))
        value = qEnvironmentVariable(envName);
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

SiteConfig SiteConfig::load() {
    SiteConfig c{QStringLiteral(KRTP_DEFAULT_FTP_HOST), QStringLiteral(KRTP_DEFAULT_BASE_URL),
                 QStringLiteral(KRTP_DEFAULT_FTP_USER), QStringLiteral(KRTP_DEFAULT_FTP_PASSWORD)};
    const QSettings site(siteFileName(), QSettings::IniFormat);
    overrideFrom(c.ftpHost, site, "FtpHost", "KRTP_FTP_HOST");
    overrideFrom(c.baseUrl, site, "BaseUrl", "KRTP_BASE_URL");
    overrideFrom(c.ftpUser, site, "FtpUser", "KRTP_FTP_USER");
    overrideFrom(c.ftpPassword, site, "FtpPassword", "KRTP_FTP_PASSWORD");
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
