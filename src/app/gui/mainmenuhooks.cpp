#include "app/gui/mainmenuhooks.h"

#include "accounts/gui/frmusers.h"
#include "app/gui/frmmainmenu.h"
#include "filestore/gui/frmfilelist.h"
#include "sitetools/editfile.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/gui/frmpostnews.h"

namespace krtp {

// Each tool window is connected to its main-menu button here once it exists; a button without an
// opener stays disabled. Still to come: the out-of-date files window that "Levels" shows after the
// rebuild when files are outdated.
void ConnectMainMenuWindows(frmMainMenu& menu) {
    InstallEditWindow();
    // The accounts window edits a member's access list in the site tools' internal editor.
    frmUsers::EditFile = [](const QString& pstrRelativePathName) { EditFile(pstrRelativePathName); };
    menu.openFileList = [] { frmFileList::ShowFileList(); };
    menu.openWebPage = [] { frmExplorer::ShowWebPage(); };
    menu.openPostNews = [] { frmPostNews::ShowPostNews(); };
    menu.openUsers = [] { frmUsers::ShowUsers(); };
}

} // namespace krtp
