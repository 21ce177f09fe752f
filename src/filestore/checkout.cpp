// Check out: the member becomes the controller of the selected free files, with the server's
// latest copy in the local folder.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"

#include <QFileInfo>

namespace krtp {

bool StoreOperations::CheckOut() {
    Guard guard(*this);
    if (!guard)
        return false;
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const RunState& rs = runState();
    if (rs.UserLevel != LevelAdministrator && rs.UserLevel != LevelFullAccess) {
        d.message(NoAccessMessage(), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    BusyPointer busy(d);
    StoreExchange ex(m_store);
    bool ok = true;
    const auto raised = [&](const QString& description) {
        d.message(description, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    };

    QList<clsFileDetails> batch;
    for (const QString& key : selectedKeys()) {
        const ListEntry* e = list.find(key);
        if (!e || !e->columns.value(QLatin1String(columns::kOwner)).isEmpty())
            continue;
        const QString name = e->text;
        const ServerCopy copy = locateServerCopy(ex, key, name);
        if (copy == ServerCopy::Refused) {
            ok = false;
            continue;
        }
        if (copy == ServerCopy::Failed)
            return raised(ex.error());
        if (copy == ServerCopy::Missing) {
            if (d.message(NotOnServerQuestion(name), Dialogs::Icon::Critical, Dialogs::Yes | Dialogs::No) !=
                Dialogs::Yes)
                continue;
        } else if (!ex.download(name)) {
            return raised(ex.error());
        }
        if (!QFileInfo::exists(name)) {
            d.message(MissingLocalFileMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
            ok = false;
            continue;
        }
        clsFileDetails record;
        record.ListItem = key;
        record.Name = name;
        record.Controller = rs.CurrentUserName;
        list.setSelected(key, false);
        batch << record;
    }

    QStringList recorded;
    for (const clsFileDetails& record : batch) {
        bool stop = false;
        if (checkOutRecord(record, stop))
            recorded << record.ListItem;
        else
            ok = false;
        if (stop)
            break;
    }

    // The rebuild fetches the catalogue anyway; it also shows whether a member who saved at the same
    // moment overwrote one of our entries.
    if (!m_store.UpdateFileList())
        return false;
    for (const QString& key : recorded) {
        const ListEntry* e = list.find(key);
        if (!e)
            continue;
        const QString controller = e->columns.value(QLatin1String(columns::kOwner));
        if (!controller.isEmpty() && controller.compare(rs.CurrentUserName, Qt::CaseInsensitive) != 0) {
            d.message(TakenMeanwhileMessage(e->text, controller), Dialogs::Icon::Warning, Dialogs::Ok);
            ok = false;
        }
    }
    return ok;
}

// Records one file of the batch in the catalogue: fetch, check that the file is still free, write
// the member as its controller and save. stop is set when the remaining files must be left alone.
bool StoreOperations::checkOutRecord(const clsFileDetails& record, bool& stop) {
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    stop = true;
    if (!m_store.UpdateFileDetails(QString(), false, {}, {}, {}, {}, {}, false, true, false))
        return false;
    QList<CatalogueRecord> records;
    QString reason;
    if (!m_store.ReadWorkingCopy(&records, reason)) {
        d.message(FileStore::IncompleteCatalogueMessage(reason), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    stop = false;
    const CatalogueRecord* current = nullptr;
    for (const CatalogueRecord& r : records)
        if (r.Name.compare(record.Name, Qt::CaseInsensitive) == 0) {
            current = &r;
            break;
        }
    if (!current) {
        d.message(record.Name + QStringLiteral(" is no longer in the catalogue, so it was not checked out."),
                  Dialogs::Icon::Warning, Dialogs::Ok);
        return false;
    }
    if (!current->Controller.isEmpty() &&
        current->Controller.compare(record.Controller, Qt::CaseInsensitive) != 0) {
        d.message(TakenMeanwhileMessage(record.Name, current->Controller), Dialogs::Icon::Warning,
                  Dialogs::Ok);
        return false;
    }
    // The version of the copy just fetched: the fresh catalogue's, which a list built earlier may
    // not show yet.
    const QString version = QString::number(current->CurrentVersion);
    m_store.settings().setFileVersion(record.Name, version);
    list.setColumnText(record.ListItem, QLatin1String(columns::kMyVer), version);
    if (!m_store.UpdateFileDetails(record.Name, false, {}, record.Controller, {}, {}, {}, false, false,
                                   true)) {
        stop = true;
        return false;
    }
    list.setSelected(record.ListItem, false);
    list.setIcons(record.ListItem, QStringLiteral("open"), QStringLiteral("open"));
    return true;
}

} // namespace krtp
