#include "app/gui/mainmenuhooks.h"

#include "app/gui/frmmainmenu.h"
#include "filestore/gui/frmfilelist.h"

namespace krtp {

// Each tool window is connected to its main-menu button here once it exists; a button without an
// opener stays disabled. Still to come: the site explorer (openWebPage), the news poster
// (openPostNews), the accounts window (openUsers) and the out-of-date files window that "Levels"
// shows after the rebuild when files are outdated.
void ConnectMainMenuWindows(frmMainMenu& menu) {
    menu.openFileList = [] { frmFileList::ShowFileList(); };
}

} // namespace krtp
