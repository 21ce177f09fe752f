#include "filestore/cataloguechanges.h"

#include "filestore/filelistmodel.h"
#include "filestore/filestatus.h"

#include <QHash>
#include <QStringList>

namespace krtp {

QList<SeenEntry> SeenEntries(const FileListModel& list) {
    QList<SeenEntry> out;
    for (const ListEntry& e : list.entries())
        out.append({e.text, e.columns.value(QLatin1String(columns::kVer)),
                    e.columns.value(QLatin1String(columns::kOwner)),
                    e.columns.value(QLatin1String(columns::kComment))});
    return out;
}

namespace {
// A check-in's comment starts with the member's name and a colon.
QString commentAuthor(const QString& comment) {
    const qsizetype colon = comment.indexOf(QLatin1Char(':'));
    return colon > 0 ? comment.left(colon) : QString();
}
} // namespace

QString DescribeCatalogueChanges(const QList<SeenEntry>& before, const QList<SeenEntry>& after) {
    QHash<QString, const SeenEntry*> old;
    for (const SeenEntry& e : before)
        old.insert(e.name.toLower(), &e);
    QStringList said;
    QHash<QString, bool> present;
    for (const SeenEntry& e : after) {
        present.insert(e.name.toLower(), true);
        const SeenEntry* was = old.value(e.name.toLower());
        if (!was) {
            said << e.name + QStringLiteral(" was added");
            continue;
        }
        if (was->version != e.version) {
            const QString who = commentAuthor(e.comment);
            said << (who.isEmpty() ? QStringLiteral("Somebody") : who) + QStringLiteral(" checked in ") +
                        e.name + QStringLiteral(" (version ") + e.version + QLatin1Char(')');
        } else if (was->controller.isEmpty() && !e.controller.isEmpty()) {
            said << e.controller + QStringLiteral(" checked out ") + e.name;
        } else if (!was->controller.isEmpty() && e.controller.isEmpty()) {
            said << was->controller + QStringLiteral(" gave back ") + e.name;
        } else if (was->controller.compare(e.controller, Qt::CaseInsensitive) != 0) {
            said << e.controller + QStringLiteral(" checked out ") + e.name;
        }
    }
    for (const SeenEntry& e : before)
        if (!present.contains(e.name.toLower()))
            said << e.name + QStringLiteral(" was removed");
    return said.join(QStringLiteral("; "));
}

} // namespace krtp
