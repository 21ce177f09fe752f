#include "app/gui/application.h"

#include "app/paths.h"
#include "app/runstate.h"
#include "app/settingsstore.h"
#include "app/startup.h"
#include "platform/qtdialogs.h"

#include <QApplication>

namespace krtp {

int RunApplication(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KRtp"));
    QApplication::setApplicationVersion(GetProgramVersion());

    static QtDialogs qtDialogs;
    static QtDesktopServices qtDesktop;
    setDialogs(&qtDialogs);
    setDesktopServices(&qtDesktop);

    PrepareExternalEditors(ProgramFolder());
    ReadStartupSettings(settingsStore());
    ProxyFromCommandLine(CommandLineText(QApplication::arguments()));

    dialogs().message(QStringLiteral("KRtp ") + GetProgramVersion(), Dialogs::Icon::Information);
    return 0;
}

} // namespace krtp
