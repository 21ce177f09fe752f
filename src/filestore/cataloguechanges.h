#pragma once

#include <QList>
#include <QString>

namespace krtp {

class FileListModel;

// One entry of the file list as a member last saw it.
struct SeenEntry {
    QString name;
    QString version;
    QString controller;
    QString comment;
};

QList<SeenEntry> SeenEntries(const FileListModel& list);

// What other members did between two looks at the file list, in the member's words:
// "Bren checked in index.html (version 5); Cara checked out a.txt; new.txt was added". Empty when
// nothing a member would notice changed.
QString DescribeCatalogueChanges(const QList<SeenEntry>& before, const QList<SeenEntry>& after);

} // namespace krtp
