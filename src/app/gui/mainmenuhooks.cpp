#include "app/gui/mainmenuhooks.h"

#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "app/gui/frmsetlocaldir.h"
#include "config/settingsstore.h"
#include "filestore/gui/frmfilelist.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"

namespace krtp {

void ConnectFileListWindows(frmFileList& window) {
    frmFileList* w = &window;
    w->showOptions = [w] { frmOptions::ShowOptions(*w); };
    w->chooseLocalFolder = [w] {
        frmSetLocalDir folder(w);
        folder.exec();
    };
    // "Edit Users" (w->openUsers) stays disabled until the accounts window is connected here.
}

// Each tool window is connected to its main-menu button here once it exists; a button without an
// opener stays disabled. Still to come: the news poster (openPostNews) and the accounts window
// (openUsers).
void ConnectMainMenuWindows(frmMainMenu& menu) {
    InstallEditWindow();
    menu.openFileList = [] {
        frmFileList* w = frmFileList::ShowFileList(ConnectFileListWindows);
        // The out-of-date list after "Levels", when the rebuild found any and the member wants it.
        if (w && w->LastCountOfOutdatedFiles() > 0 &&
            settingsStore().isYes(settings::ShowOutdatedFilesOnStartup))
            w->ShowOutdatedFiles();
    };
    menu.openWebPage = [] { frmExplorer::ShowWebPage(); };
}

} // namespace krtp
