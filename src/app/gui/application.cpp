#include "app/gui/application.h"

#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmsetlocaldir.h"
#include "app/gui/frmsplash.h"
#include "app/gui/mainmenuhooks.h"
#include "app/paths.h"
#include "app/runstate.h"
#include "app/settingsstore.h"
#include "app/startupsequence.h"
#include "platform/qtdialogs.h"

#include <QApplication>
#include <QPointer>

namespace krtp {

namespace {

// Start-up's windows as the member sees them.
class GuiStartupWindows : public StartupWindows {
public:
    ~GuiStartupWindows() override { delete m_splash; }

    void showSplash() override {
        m_splash = new frmSplash;
        m_splash->show();
    }
    void showLogin() override {
        frmLogin login(m_splash);
        login.exec();
    }
    void showLocalFolderWindow() override {
        frmSetLocalDir window;
        window.exec();
    }
    bool showMainMenu() override {
        auto* menu = new frmMainMenu;
        menu->setAttribute(Qt::WA_DeleteOnClose);
        ConnectMainMenuWindows(*menu);
        if (!menu->LoadWindow()) {
            delete menu;
            return false;
        }
        menu->show();
        return true;
    }
    void closeSplash() override {
        if (m_splash)
            m_splash->close();
    }

private:
    QPointer<frmSplash> m_splash;
};

} // namespace

int RunApplication(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRtp"));
    QApplication::setApplicationVersion(GetProgramVersion());

    static QtDialogs qtDialogs;
    static QtDesktopServices qtDesktop;
    setDialogs(&qtDialogs);
    setDesktopServices(&qtDesktop);

    // Every refusal during start-up ends the program at once, with whatever windows are open.
    GuiStartupWindows windows;
    if (RunStartup(windows, settingsStore(), ProgramFolder(), QApplication::arguments()) != StartupEnd::Running)
        return 0;
    return QApplication::exec();
}

} // namespace krtp
