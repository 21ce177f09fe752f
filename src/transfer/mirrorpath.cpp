#include "transfer/mirrorpath.h"

#include "config/paths.h"
#include "transfer/ftpcommand.h"

#include <QStringList>

namespace krtp {

MirrorPath MapMirrorPath(const QString& relativePath) {
    MirrorPath m;
    QString path = relativePath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const auto refuse = [&](const QString& why) {
        m.error = QStringLiteral("The path \"") + VisibleControlCharacters(relativePath) +
                  QStringLiteral("\" ") + why + QStringLiteral(" Nothing was transferred.");
        return m;
    };
    // A line break would reach the host as a command of its own.
    if (HasControlCharacter(relativePath))
        return refuse(QStringLiteral("contains a control character."));
    if (path.trimmed().isEmpty())
        return refuse(QStringLiteral("names no file."));
    if (path.startsWith(QLatin1Char('/')) || (path.size() >= 2 && path[1] == QLatin1Char(':')))
        return refuse(QStringLiteral("is not a path below the site folder."));
    QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (path.endsWith(QLatin1Char('/')) || segments.isEmpty())
        return refuse(QStringLiteral("names no file."));
    for (const QString& seg : segments)
        if (seg == QLatin1String(".."))
            return refuse(QStringLiteral("leads outside the site folder."));
    m.fileName = segments.takeLast();
    m.localFolder = QLatin1String(kMirrorRoot) + QLatin1Char('/');
    m.hostFolder = QStringLiteral("/");
    for (const QString& folder : segments) {
        m.localFolder += folder + QLatin1Char('/');
        m.hostFolder += folder + QLatin1Char('/');
    }
    m.ok = true;
    return m;
}

} // namespace krtp
