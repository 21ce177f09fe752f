#include "app/localfolder.h"

#include "config/runstate.h"
#include "config/settingsstore.h"

#include <QDir>

namespace krtp {

QString LocalFolderPath(const QString& chosen) {
    if (chosen.endsWith(QLatin1Char('/')))
        return chosen;
    return chosen + QLatin1Char('/');
}

QString SetLocalFolderQuestion(const QString& path) {
    return QStringLiteral("Set Local Folder to ") + path + QStringLiteral(" ?");
}

bool ApplyLocalFolder(SettingsStore& store, const QString& path, QString* error) {
    // Entering the folder first keeps a folder that vanished meanwhile out of the settings.
    if (!QDir::setCurrent(path)) {
        if (error)
            *error = QStringLiteral("Cannot open the folder ") + path;
        return false;
    }
    store.set(settings::LocalFolder, path);
    runState().LocalFolder = path;
    return true;
}

} // namespace krtp
