#include "app/gui/application.h"

#include "app/gui/guistartupwindows.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/gui/qtdialogs.h"

#include <QApplication>

namespace krtp {

int RunApplication(int argc, char* argv[]) {
    // The web view of the site tools shares its GL context; Qt wants to know before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRtp"));
    QApplication::setApplicationVersion(GetProgramVersion());

    static QtDialogs qtDialogs;
    static QtDesktopServices qtDesktop;
    setDialogs(&qtDialogs);
    setDesktopServices(&qtDesktop);

    // Every refusal during start-up ends the program at once, with whatever windows are open.
    GuiStartupWindows windows;
    if (RunStartup(windows, settingsStore(), ProgramFolder(), QApplication::arguments()) !=
        StartupEnd::Running)
        return 0;
    return QApplication::exec();
}

} // namespace krtp
