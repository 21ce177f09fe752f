#pragma once

#include "app/gui/frmmainmenu.h"
#include "app/gui/frmsplash.h"
#include "app/startupsequence.h"

#include <QPointer>

namespace krtp {

// Start-up's windows as the member sees them: the splash, the modal login and local-folder
// windows, and the main menu, which stays open after start-up.
class GuiStartupWindows : public StartupWindows {
public:
    ~GuiStartupWindows() override;

    void showSplash() override;
    void showLogin() override;
    void showLocalFolderWindow() override;
    bool showMainMenu() override;
    void closeSplash() override;

    frmSplash* splash() const { return m_splash; }
    frmMainMenu* mainMenu() const { return m_menu; }

private:
    QPointer<frmSplash> m_splash;
    QPointer<frmMainMenu> m_menu;
};

} // namespace krtp
