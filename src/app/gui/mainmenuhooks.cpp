#include "app/gui/mainmenuhooks.h"

#include "app/gui/frmmainmenu.h"

namespace krtp {

// The place where each tool window is connected to its main-menu button once it exists:
//   menu.openFileList  -> frmFileList (show, UpdateFileList, out-of-date files window)
//   menu.openWebPage   -> the site explorer's Do_ShowWebPage
//   menu.openPostNews  -> frmPostNews
//   menu.openUsers     -> frmUsers
// None of these windows exists yet, so all four buttons stay disabled.
void ConnectMainMenuWindows(frmMainMenu& menu) {
    (void)menu;
}

} // namespace krtp
