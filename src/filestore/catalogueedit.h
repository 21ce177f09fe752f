#pragma once

#include "filestore/catalogue.h"

#include <QString>
#include <optional>

namespace krtp {

// One change of one catalogue entry, with named fields instead of a row of positional arguments.
// A field left unset keeps its value; a new entry gets empty text and version 0 for unset fields.
struct CatalogueEdit {
    QString name{};          // the entry, matched ignoring letter case; empty changes no entry
    bool newFile = false;    // add the entry (refused when the name is there in any letter case)
    bool deleteFile = false; // remove the entry (refused when it is not there)
    std::optional<qint64> version{};
    std::optional<QString> controller{};
    std::optional<QString> author{};
    std::optional<QString> description{};
    std::optional<QString> comment{};
    // For FileStore::UpdateFileDetails only: fetch the catalogue first, save it afterwards.
    bool fetchFirst = false;
    bool saveAfter = false;
};

// Applies an edit to a catalogue in memory: line 2 moves by one for an added or removed entry, the
// other entries keep their bytes. False, with the member's message in error, when the edit cannot
// be made; the document is then unchanged.
bool ApplyCatalogueEdit(CatalogueDocument& doc, const CatalogueEdit& edit, QString& error);

} // namespace krtp
