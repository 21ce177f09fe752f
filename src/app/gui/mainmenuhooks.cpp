#include "app/gui/mainmenuhooks.h"

#include "app/gui/frmmainmenu.h"
#include "filestore/gui/frmfilelist.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"

namespace krtp {

// Each tool window is connected to its main-menu button here once it exists; a button without an
// opener stays disabled. Still to come: the news poster (openPostNews), the accounts window
// (openUsers) and the out-of-date files window that "Levels" shows after the rebuild when files are
// outdated.
void ConnectMainMenuWindows(frmMainMenu& menu) {
    InstallEditWindow();
    menu.openFileList = [] { frmFileList::ShowFileList(); };
    menu.openWebPage = [] { frmExplorer::ShowWebPage(); };
}

} // namespace krtp
