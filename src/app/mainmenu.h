#pragma once

#include <QString>
#include <QtGlobal>

namespace krtp {

class TransferControl;

// krg/_message.dat: the newest program version, CR LF, then the message of the day.
inline constexpr char kMessageFile[] = "krg/_message.dat";

struct MessageOfTheDay {
    bool fetched = false;
    QString version; // empty when the file could not be fetched or has no version line
    QString message;
};

// Splits the message file's text at its first CR LF.
MessageOfTheDay ParseMessageOfTheDay(const QString& text);
// Downloads the message file into the mirror (text mode) and parses it.
MessageOfTheDay FetchMessageOfTheDay(TransferControl& control);

// The text shown before the program ends because the host announces a newer version.
QString OutdatedProgramMessage(const QString& newestVersion);

// Which main-menu buttons a level may use.
struct MainMenuButtons {
    bool adventure = false; // "Levels": the shared file store
    bool webPage = false;   // the site explorer
    bool postNews = false;
    bool users = false;
};
MainMenuButtons ButtonsForLevel(quint8 level);

} // namespace krtp
