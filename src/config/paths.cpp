#include "config/paths.h"

#include <QDir>
#include <QStandardPaths>

namespace krtp {

QString ProgramFolder() {
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/KRtp");
    QDir().mkpath(folder);
    return folder;
}

} // namespace krtp
