#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace krtp {

// One preference of the per-user store: section, key and the value used when the key is absent.
struct SettingKey {
    const char* section;
    const char* key;
    const char* defaultValue;
};

namespace settings {
inline constexpr char kApplication[] = "KRtp";

inline constexpr SettingKey LocalFolder{"Settings", "LocalFolder", ""};
inline constexpr SettingKey NoReadOnly{"Settings", "NoReadOnly", "No"};
inline constexpr SettingKey ViewToolbar{"Settings", "ViewToolbar", "-1"};
inline constexpr SettingKey ShowPreviewPane{"Settings", "ShowPreviewPane", "Yes"};
inline constexpr SettingKey ShowOutdatedFilesOnStartup{"Settings", "ShowOutdatedFilesOnStartup", "Yes"};
inline constexpr SettingKey ShowCheckedOutFilesOnExit{"Settings", "ShowCheckedOutFilesOnExit", "Yes"};
inline constexpr SettingKey CurrentView{"Icons", "/CurrentView", "3"};
inline constexpr SettingKey ShowOutOfDateAsRed{"Icons", "/ShowOutOfDateAsRed", "Yes"};
inline constexpr SettingKey ShowUpToDateAsBlue{"Icons", "/ShowUpToDateAsBlue", "No"};
inline constexpr SettingKey ShowCheckedOutAsGreen{"Icons", "/ShowCheckedOutAsGreen", "No"};
inline constexpr SettingKey ShowUnavailableAsYellow{"Icons", "/ShowUnavailableAsYellow", "No"};
inline constexpr SettingKey LoginUserName{"Login", "UserName", ""};
inline constexpr SettingKey LoginSavePassword{"Login", "SavePassword", "Yes"};
inline constexpr SettingKey LoginPassword{"Login", "Password", ""};
inline constexpr SettingKey ProxyUseProxy{"Proxy", "UseProxy", "no"};
inline constexpr SettingKey ProxyName{"Proxy", "Name", ""};
inline constexpr SettingKey ProxyPort{"Proxy", "Port", ""};
inline constexpr SettingKey PostNewsTimeZone{"PostNews", "TimeZone", "EST"};
// The file list window looks for other members' changes every half minute and when it gets the focus.
inline constexpr SettingKey WatchFileList{"Settings", "WatchFileList", "Yes"};
// Connections for operations on many files (1 to 10); 1 sends every command on the window's own.
inline constexpr SettingKey TransfersParallel{"Transfers", "Parallel", "4"};

// Sections whose keys are file names in lower case.
inline constexpr char kIconsSection[] = "Icons"; // icon position "left,top"
inline constexpr char kIconPositionDefault[] = "";
inline constexpr char kFileVersionsSection[] = "FileVersions"; // version of the member's local copy
inline constexpr char kFileVersionDefault[] = "0";
} // namespace settings

// The member's per-user settings: plain strings addressed by section and key. Keys are stored
// verbatim (a preference "/CurrentView" and a file named "currentview" stay apart); nothing is
// ever deleted. The file is readable by its owner only, as it may hold a saved password.
class SettingsStore {
public:
    // The default store: <config>/KRtp/KRtp.ini below the per-user configuration folder.
    SettingsStore();
    explicit SettingsStore(const QString& fileName);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    void write(const QString& section, const QString& key, const QString& value);

    QString get(const SettingKey& k) const;
    void set(const SettingKey& k, const QString& value);
    // True only for the exact word "Yes".
    bool isYes(const SettingKey& k) const;

    // Version of the member's local copy of a catalogued file ("0" when never fetched).
    QString fileVersion(const QString& fileName) const;
    void setFileVersion(const QString& fileName, const QString& version);

    void sync();
    QString fileName() const;

    static QString defaultFileName();

private:
    void ensurePrivateFile();
    std::unique_ptr<QSettings> m_settings;
    bool m_fileChecked = false;
};

// The process's store (the default file unless a front end installs another).
SettingsStore& settingsStore();
void setSettingsStore(SettingsStore* store);

} // namespace krtp
