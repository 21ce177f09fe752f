#include "app/startupsequence.h"

#include "app/localfolder.h"
#include "app/startup.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/dialogs.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFileInfo>

namespace krtp {

QString DefaultLocalFolder(const QString& programFolder) {
    return programFolder + QLatin1Char('/') + QLatin1String(kDefaultLocalFolderName) + QLatin1Char('/');
}

namespace {

// An empty path must not count as success (QDir::setCurrent("") would keep the old directory).
bool enterFolder(const QString& folder) {
    return !folder.isEmpty() && QDir::setCurrent(folder);
}

} // namespace

StartupEnd RunStartup(StartupWindows& windows, SettingsStore& store, const QString& programFolder,
                      const QStringList& arguments) {
    RunState& state = runState();
    PrepareExternalEditors(programFolder);
    ReadStartupSettings(store);
    ProxyFromCommandLine(CommandLineText(arguments));

    windows.showSplash();
    windows.showLogin();
    if (state.CurrentUserName.isEmpty())
        return StartupEnd::LoginCancelled;
    if (state.UserLevel < LevelReadOnly || state.UserLevel > LevelAdministrator) {
        dialogs().message(QLatin1String(kLockedOutMessage), Dialogs::Icon::None, Dialogs::Ok);
        return StartupEnd::LockedOut;
    }

    state.LocalFolder = store.get(settings::LocalFolder);
    // Later paths are LocalFolder + name, so a relative (hand-edited) folder is made absolute.
    if (!state.LocalFolder.isEmpty())
        state.LocalFolder = LocalFolderPath(QFileInfo(state.LocalFolder).absoluteFilePath());
    if (state.LocalFolder.isEmpty()) {
        MakeLocalFolder(DefaultLocalFolder(programFolder));
        // Only the local-folder window stores the choice; the default stays unstored.
        state.LocalFolder = DefaultLocalFolder(programFolder);
        windows.showLocalFolderWindow();
    }
    if (state.LocalFolder.isEmpty())
        return StartupEnd::NoLocalFolder;
    if (!enterFolder(state.LocalFolder)) {
        windows.showLocalFolderWindow();
        if (!enterFolder(state.LocalFolder))
            return StartupEnd::NoLocalFolder;
    }
    QDir().mkdir(QLatin1String(kMirrorRoot));

    if (!windows.showMainMenu())
        return StartupEnd::MainMenuRefused;
    windows.closeSplash();
    return StartupEnd::Running;
}

} // namespace krtp
