#include "transfer/controlfiles.h"

namespace krtp {

bool IsControlFileName(const QString& name, const QStringList& members) {
    QString lower = name.trimmed().toLower();
    // Older clients and our own saves keep "<file>.backup" beside each control file.
    while (lower.endsWith(QLatin1String(".backup")))
        lower.chop(7);
    if (lower.isEmpty())
        return false;
    // The catalogue, the account file and every scratch name the store uses start with "_files".
    if (lower.startsWith(QLatin1String("_files")) || lower.startsWith(QLatin1String("_history")))
        return true;
    // Message file, news list, lock folders: the underscore names are the program's. Member names
    // cannot begin with "_", so no member's access list is among them.
    if (lower.startsWith(QLatin1Char('_')) &&
        (lower.endsWith(QLatin1String(".dat")) || lower.endsWith(QLatin1String(".lock"))))
        return true;
    if (lower.endsWith(QLatin1String(".dat"))) {
        const QString base = lower.chopped(4);
        for (const QString& member : members)
            if (member.trimmed().compare(base, Qt::CaseInsensitive) == 0)
                return true;
    }
    return false;
}

QString ControlFileMessage(const QString& name) {
    return name +
           QStringLiteral(" is one of the files KRtp keeps for itself in the control folder (the shared file "
                          "list, the member accounts, an access list, the message or the news list), so it "
                          "cannot be added or changed this way.");
}

bool IsAllowedMemberName(const QString& name) {
    return !name.trimmed().startsWith(QLatin1Char('_'));
}

} // namespace krtp
