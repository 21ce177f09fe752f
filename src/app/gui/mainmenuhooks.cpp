#include "app/gui/mainmenuhooks.h"

#include "accounts/gui/frmusers.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "app/gui/frmsetlocaldir.h"
#include "config/settingsstore.h"
#include "filestore/gui/frmfilelist.h"
#include "sitetools/editfile.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/gui/frmpostnews.h"

namespace krtp {

void ConnectFileListWindows(frmFileList& window) {
    frmFileList* w = &window;
    w->showOptions = [w] { frmOptions::ShowOptions(*w); };
    w->chooseLocalFolder = [w] {
        frmSetLocalDir folder(w);
        folder.exec();
    };
    w->openUsers = [] { frmUsers::ShowUsers(); };
}

// Each tool window is connected to its main-menu button here once it exists; a button without an
// opener stays disabled.
void ConnectMainMenuWindows(frmMainMenu& menu) {
    InstallEditWindow();
    // The accounts window edits a member's access list in the site tools' internal editor.
    frmUsers::EditFile = [](const QString& pstrRelativePathName) { EditFile(pstrRelativePathName); };
    menu.openFileList = [] {
        frmFileList* w = frmFileList::ShowFileList(ConnectFileListWindows);
        // The out-of-date list after "Levels", when the rebuild found any and the member wants it.
        if (w && w->LastCountOfOutdatedFiles() > 0 &&
            settingsStore().isYes(settings::ShowOutdatedFilesOnStartup))
            w->ShowOutdatedFiles();
    };
    menu.openWebPage = [] { frmExplorer::ShowWebPage(); };
    menu.openPostNews = [] { frmPostNews::ShowPostNews(); };
    menu.openUsers = [] { frmUsers::ShowUsers(); };
}

} // namespace krtp
