#include "config/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace krtp {

namespace {

// QSettings reads "/" and "\" in keys as group separators; escape them (and the escape character)
// so that every key is stored as one verbatim key of its section.
QString encodeKey(const QString& key) {
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == QLatin1Char('%'))
            out += QStringLiteral("%25");
        else if (c == QLatin1Char('/'))
            out += QStringLiteral("%2F");
        else if (c == QLatin1Char('\\'))
            out += QStringLiteral("%5C");
        else
            out += c;
    }
    return out;
}

QString fullKey(const QString& section, const QString& key) {
    return encodeKey(section) + QLatin1Char('/') + encodeKey(key);
}

SettingsStore* g_store = nullptr;

} // namespace

QString SettingsStore::defaultFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/") +
           QLatin1String(settings::kApplication) + QStringLiteral("/") +
           QLatin1String(settings::kApplication) + QStringLiteral(".ini");
}

SettingsStore::SettingsStore() : SettingsStore(defaultFileName()) {}

SettingsStore::SettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() {
    m_settings->sync();
}

QString SettingsStore::read(const QString& section, const QString& key, const QString& defaultValue) const {
    const QVariant v = m_settings->value(fullKey(section, key));
    return v.isValid() ? v.toString() : defaultValue;
}

void SettingsStore::write(const QString& section, const QString& key, const QString& value) {
    ensurePrivateFile();
    m_settings->setValue(fullKey(section, key), value);
}

QString SettingsStore::get(const SettingKey& k) const {
    return read(QLatin1String(k.section), QLatin1String(k.key), QLatin1String(k.defaultValue));
}

void SettingsStore::set(const SettingKey& k, const QString& value) {
    write(QLatin1String(k.section), QLatin1String(k.key), value);
}

bool SettingsStore::isYes(const SettingKey& k) const {
    return get(k) == QLatin1String("Yes");
}

QString SettingsStore::fileVersion(const QString& fileName) const {
    return read(QLatin1String(settings::kFileVersionsSection), fileName.toLower(),
                QLatin1String(settings::kFileVersionDefault));
}

void SettingsStore::setFileVersion(const QString& fileName, const QString& version) {
    write(QLatin1String(settings::kFileVersionsSection), fileName.toLower(), version);
}

void SettingsStore::sync() {
    m_settings->sync();
    // QSettings replaces the file on save; keep it private even if it was created by another tool.
    if (QFile::exists(fileName()))
        QFile::setPermissions(fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString SettingsStore::fileName() const {
    return m_settings->fileName();
}

void SettingsStore::ensurePrivateFile() {
    if (m_fileChecked)
        return;
    m_fileChecked = true;
    const QString name = fileName();
    QDir().mkpath(QFileInfo(name).absolutePath());
    if (!QFile::exists(name)) {
        QFile f(name);
        if (f.open(QIODevice::WriteOnly))
            f.close();
    }
    QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

SettingsStore& settingsStore() {
    if (!g_store) {
        static SettingsStore defaultStore;
        g_store = &defaultStore;
    }
    return *g_store;
}

void setSettingsStore(SettingsStore* store) {
    g_store = store;
}

} // namespace krtp
