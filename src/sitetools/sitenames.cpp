#include "sitetools/sitenames.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "transfer/controlfiles.h"

#include <QDir>
#include <QStringList>

namespace krtp {

bool IsSafeSiteName(const QString& name) {
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7f || c.category() == QChar::Other_Control || u == 0x2028 || u == 0x2029)
            return false;
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char('"'))
            return false;
    }
    return true;
}

bool IsSafeFolderKey(const QString& key) {
    if (key.isEmpty())
        return true;
    if (!key.endsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = key.chopped(1).split(QLatin1Char('/'));
    for (const QString& part : parts)
        if (!IsSafeSiteName(part))
            return false;
    return true;
}

bool IsSafeHostPath(const QString& path) {
    QString folder, name;
    SplitHostPath(path, folder, name);
    return IsSafeSiteName(name) && IsSafeFolderKey(folder);
}

void SplitHostPath(const QString& path, QString& folderKey, QString& name) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    folderKey = p.left(slash + 1);
    name = p.mid(slash + 1);
}

bool IsControlFilePath(const QString& hostPath) {
    QString p = hostPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // As the host would resolve it: "krg//x" and "./krg/x" name the same file as "krg/x".
    p = QDir::cleanPath(QLatin1Char('/') + p);
    if (!p.startsWith(QLatin1String("/krg/"), Qt::CaseInsensitive))
        return false;
    // Anything inside a control folder of krg (the history, a lock) is the program's too.
    const QString first = p.mid(5).section(QLatin1Char('/'), 0, 0);
    return IsControlFileName(first, runState().MemberNames);
}

QString ControlFileRefusal(const QString& hostPath) {
    if (runState().UserLevel == LevelAdministrator || !IsControlFilePath(hostPath))
        return {};
    QString folder, name;
    SplitHostPath(hostPath, folder, name);
    return ControlFileMessage(name);
}

QString LocalMirrorPath(const QString& hostPath) {
    QString p = hostPath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QLatin1String(kMirrorRoot) + QLatin1Char('/') + p;
}

QString LocalMirrorFolder(const QString& folderKey) {
    return LocalMirrorPath(folderKey);
}

} // namespace krtp
