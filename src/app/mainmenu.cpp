#include "app/mainmenu.h"

#include "config/runstate.h"
#include "transfer/transferroutines.h"
#include "util/textutil.h"

namespace krtp {

MessageOfTheDay ParseMessageOfTheDay(const QString& text) {
    MessageOfTheDay m;
    m.fetched = true;
    SplitAtFirst(text, QStringLiteral("\r\n"), m.version, m.message);
    return m;
}

MessageOfTheDay FetchMessageOfTheDay(TransferControl& control) {
    QString text;
    if (!GetFileFromServer(control, QLatin1String(kMessageFile), text))
        return {};
    return ParseMessageOfTheDay(text);
}

QString OutdatedProgramMessage(const QString& newestVersion) {
    return QStringLiteral("KRtp has been updated to version ") + newestVersion +
           QStringLiteral("\r\nYou are currently using version ") + GetProgramVersion() +
           QStringLiteral("\r\n\r\nPlease get version ") + newestVersion + QStringLiteral(" from Velmar.");
}

MainMenuButtons ButtonsForLevel(quint8 level) {
    MainMenuButtons b;
    const bool member = level >= LevelReadOnly && level <= LevelAdministrator;
    b.adventure = member;
    b.webPage = member;
    b.postNews = level >= LevelFullAccess && member;
    b.users = level == LevelAdministrator;
    return b;
}

} // namespace krtp
