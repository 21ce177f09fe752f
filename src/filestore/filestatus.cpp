#include "filestore/filestatus.h"

namespace krtp {

const QStringList& FileListImageKeys() {
    static const QStringList keys{
        QStringLiteral("open"),   QStringLiteral("unlocked"), QStringLiteral("locked"),
        QStringLiteral("old"),    QStringLiteral("new"),      QStringLiteral(".norrow"),
        QStringLiteral(".gif"),   QStringLiteral(".mid"),     QStringLiteral(".txt"),
        QStringLiteral(".doc"),   QStringLiteral(".wav"),     QStringLiteral("folder"),
        QStringLiteral("add"),    QStringLiteral("refresh"),  QStringLiteral("options"),
        QStringLiteral("delete"),
    };
    return keys;
}

FileStatus DecideFileStatus(const QString& controller, int catalogueVersion, int localVersion,
                            const QString& userName, const ColourFlags& flags) {
    FileStatus s;
    // An empty controller is a free file, also before anybody has logged in.
    if (!controller.isEmpty() && controller.compare(userName, Qt::CaseInsensitive) == 0) {
        s.key = QStringLiteral("open");
        s.count = FileStatus::CountCheckedOut;
        s.useStatusIcon = flags.checkedOutAsGreen;
    } else if (localVersion != catalogueVersion && localVersion != 0) {
        s.key = QStringLiteral("old");
        s.count = FileStatus::CountOutdated;
        s.useStatusIcon = flags.outOfDateAsRed;
    } else if (localVersion != catalogueVersion) {
        s.key = QStringLiteral("new");
        s.count = FileStatus::CountOutdated;
        s.useStatusIcon = flags.outOfDateAsRed;
    } else if (!controller.isEmpty()) {
        s.key = QStringLiteral("locked");
        s.useStatusIcon = flags.unavailableAsYellow;
    } else {
        s.key = QStringLiteral("unlocked");
        s.useStatusIcon = flags.upToDateAsBlue;
    }
    return s;
}

QString GetIcon(bool pblnUseDefault, const QString& pstrDefault, const QString& pstrFileName) {
    if (pblnUseDefault)
        return pstrDefault;
    const qsizetype dot = pstrFileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return pstrDefault;
    const QString extension = pstrFileName.mid(dot);
    for (const QString& key : FileListImageKeys())
        if (key.compare(extension, Qt::CaseInsensitive) == 0)
            return key;
    return pstrDefault;
}

} // namespace krtp

namespace krtp {

QString StatusDescription(const QString& statusKey, const QString& controller) {
    if (statusKey == QLatin1String("open"))
        return QStringLiteral("Checked out by you: check it in when your changes are done");
    if (statusKey == QLatin1String("old"))
        return QStringLiteral("Out of date: the server has a newer version than your copy");
    if (statusKey == QLatin1String("new"))
        return QStringLiteral("Not in your local folder yet: get the latest version to fetch it");
    if (statusKey == QLatin1String("locked"))
        return (controller.isEmpty() ? QStringLiteral("Checked out by another member")
                                     : QStringLiteral("Checked out by ") + controller) +
               QStringLiteral(": you can get the latest version, but not check it out");
    if (statusKey == QLatin1String("unlocked"))
        return QStringLiteral("Up to date and free to check out");
    return QString();
}

const QStringList& StatusKeys() {
    static const QStringList keys = {QStringLiteral("open"), QStringLiteral("old"), QStringLiteral("new"),
                                     QStringLiteral("locked"), QStringLiteral("unlocked")};
    return keys;
}

} // namespace krtp
