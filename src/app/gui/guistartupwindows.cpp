#include "app/gui/guistartupwindows.h"

#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmsetlocaldir.h"
#include "app/gui/frmsplash.h"
#include "app/gui/mainmenuhooks.h"

namespace krtp {

GuiStartupWindows::~GuiStartupWindows() {
    delete m_splash;
}

void GuiStartupWindows::showSplash() {
    m_splash = new frmSplash;
    m_splash->setAttribute(Qt::WA_DeleteOnClose);
    m_splash->show();
}

void GuiStartupWindows::showLogin() {
    frmLogin login(m_splash);
    login.exec();
}

void GuiStartupWindows::showLocalFolderWindow() {
    frmSetLocalDir window;
    window.exec();
}

bool GuiStartupWindows::showMainMenu() {
    auto* menu = new frmMainMenu;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    ConnectMainMenuWindows(*menu);
    if (!menu->LoadWindow()) {
        delete menu;
        return false;
    }
    m_menu = menu;
    menu->show();
    return true;
}

void GuiStartupWindows::closeSplash() {
    if (m_splash)
        m_splash->close();
}

} // namespace krtp
