#pragma once

#include "filestore/catalogueedit.h"

namespace krtp {

class FileStore;

// Fetches the catalogue, applies the plan's edits to the fresh records and saves it once. False,
// after telling the member, when nothing was saved.
bool ChangeCatalogue(FileStore& store, const CataloguePlan& plan);

} // namespace krtp
