#include "filestore/catalogueedit.h"

namespace krtp {

bool ApplyCatalogueEdit(CatalogueDocument& doc, const CatalogueEdit& e, QString& error) {
    if (e.name.isEmpty())
        return true;
    if (e.version && (*e.version < -32768 || *e.version > 32767)) {
        error = QStringLiteral("Overflow: version %1 does not fit the catalogue.").arg(*e.version);
        return false;
    }
    qsizetype found = -1;
    for (qsizetype i = 0; i < doc.records.size(); ++i)
        if (doc.records[i].Name.compare(e.name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    if (e.newFile) {
        if (found >= 0) {
            error = QStringLiteral("Cannot add a file that already exists.");
            return false;
        }
        CatalogueRecord added;
        added.Name = e.name;
        added.CurrentVersion = qint16(e.version.value_or(0));
        added.Controller = e.controller.value_or(QString());
        added.Author = e.author.value_or(QString());
        added.Description = e.description.value_or(QString());
        added.Comment = e.comment.value_or(QString());
        doc.records << added;
        ++doc.header.count;
        return true;
    }
    if (e.deleteFile) {
        if (found < 0) {
            error = QStringLiteral("Cannot delete a file that doesn't exist.");
            return false;
        }
        doc.records.removeAt(found);
        --doc.header.count;
        return true;
    }
    if (found < 0)
        return true;
    CatalogueRecord& r = doc.records[found];
    const CatalogueRecord before = r;
    if (e.version)
        r.CurrentVersion = qint16(*e.version);
    if (e.controller)
        r.Controller = *e.controller;
    if (e.author)
        r.Author = *e.author;
    if (e.description)
        r.Description = *e.description;
    if (e.comment)
        r.Comment = *e.comment;
    // An entry whose values did not change keeps its bytes.
    if (r.CurrentVersion != before.CurrentVersion || r.Controller != before.Controller ||
        r.Author != before.Author || r.Description != before.Description || r.Comment != before.Comment)
        r.raw.clear();
    return true;
}

} // namespace krtp
