#include "filestore/cataloguechange.h"

#include "filestore/filestore.h"
#include "platform/dialogs.h"

namespace krtp {

bool ChangeCatalogue(FileStore& store, const CataloguePlan& plan) {
    if (!store.UpdateFileDetails(QString(), false, {}, {}, {}, {}, {}, false, true, false))
        return false;
    QList<CatalogueRecord> current;
    QString reason;
    if (!store.ReadWorkingCopy(&current, reason)) {
        store.dialogs().message(FileStore::IncompleteCatalogueMessage(reason), Dialogs::Icon::Critical,
                                Dialogs::Ok);
        return false;
    }
    const QList<CatalogueEdit> edits = plan(current);
    if (edits.isEmpty())
        return true;
    for (const CatalogueEdit& e : edits)
        if (!store.UpdateFileDetails(e.name, e.newFile, e.version, e.controller, e.author, e.description,
                                     e.comment, e.deleteFile, false, false))
            return false;
    return store.UpdateFileDetails(QString(), false, {}, {}, {}, {}, {}, false, false, true);
}

} // namespace krtp
