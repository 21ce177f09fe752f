#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

class SettingsStore;

// What start-up needs from the windows. The GUI front end shows the real windows; tests script them.
class StartupWindows {
public:
    virtual ~StartupWindows() = default;
    virtual void showSplash() = 0;
    // Modal; leaves its result in the run-time state.
    virtual void showLogin() = 0;
    // Modal local-folder window; may change the run-time local folder and the working directory.
    virtual void showLocalFolderWindow() = 0;
    // Opens the main menu; false when it ended the program while loading (outdated program).
    virtual bool showMainMenu() = 0;
    virtual void closeSplash() = 0;
};

enum class StartupEnd {
    Running,         // the main menu is open
    LoginCancelled,  // silent end
    LockedOut,       // after "Sorry, you've been locked out."
    NoLocalFolder,   // silent end
    MainMenuRefused, // the main menu ended the program
};

inline constexpr char kLockedOutMessage[] = "Sorry, you've been locked out.";

// The whole start-up in order: external editors list, NoReadOnly, proxy switch, splash, login,
// level check, local folder, mirror root, main menu, splash closed. Messages go through dialogs().
StartupEnd RunStartup(StartupWindows& windows, SettingsStore& store, const QString& programFolder,
                      const QStringList& arguments);

// The default local folder beside the program, with its trailing separator.
QString DefaultLocalFolder(const QString& programFolder);

} // namespace krtp
