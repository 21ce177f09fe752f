#pragma once

#include "filestore/catalogue.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace krtp {

// One change of one catalogue entry; unset fields stay as they are.
struct CatalogueEdit {
    QString name;
    bool newFile = false;
    bool deleteFile = false;
    std::optional<qint64> version;
    std::optional<QString> controller, author, description, comment;
};

// Decides the edits from the fresh catalogue; may be called more than once.
using CataloguePlan = std::function<QList<CatalogueEdit>(const QList<CatalogueRecord>& current)>;

} // namespace krtp
