// Check out: the member becomes the controller of the selected free files, with the server's
// latest copy in the local folder.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "transfer/transferpool.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace krtp {

bool StoreOperations::checkOut() {
    Guard guard(*this);
    QStringList keys;
    if (!guard || !beginOperation(true, keys))
        return false;
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const QString me = runState().CurrentUserName;
    BusyPointer busy(d);
    StoreExchange ex(m_store);
    bool ok = true;

    // Every server copy first, then one change of the catalogue for the whole batch. With several
    // connections the bodies travel together; what did not arrive takes the one-by-one path, which
    // asks or says why in the order of the selection.
    bool cancelled = false;
    const QSet<QString> arrived = fetchInParallel(
        keys, [](const ListEntry& e) { return e.columns.value(QLatin1String(columns::kOwner)).isEmpty(); },
        cancelled);
    QList<clsFileDetails> batch;
    for (const QString& key : keys) {
        const ListEntry* e = list.find(key);
        if (!e)
            continue;
        if (const QString owner = e->columns.value(QLatin1String(columns::kOwner)); !owner.isEmpty()) {
            m_report.skip(e->text, QStringLiteral("checked out by ") + owner);
            continue;
        }
        const QString name = e->text;
        if (arrived.contains(key)) {
            clsFileDetails record;
            record.ListItem = key;
            record.Name = name;
            record.Controller = me;
            list.setSelected(key, false);
            batch << record;
            continue;
        }
        if (cancelled) {
            ok = false;
            continue;
        }
        const ServerCopy copy = locateServerCopy(ex, key, name);
        if (copy == ServerCopy::Refused) {
            ok = false;
            continue;
        }
        if (copy == ServerCopy::Failed)
            return failOperation(ex.error());
        bool refused = false;
        if (copy == ServerCopy::Missing) {
            if (d.message(NotOnServerQuestion(name), Dialogs::Icon::Critical, Dialogs::Yes | Dialogs::No) !=
                Dialogs::Yes) {
                m_report.skip(name, QStringLiteral("not on the server"));
                continue;
            }
        } else if (!ex.download(name)) {
            // What arrived before the member's stop is still checked out.
            if (!stoppedByMember(ex, cancelled))
                return failOperation(ex.error());
            ok = false;
            continue;
        } else if (ex.refused() && QFileInfo::exists(name)) {
            d.message(DownloadRefusedMessage(name, ex.reply()), Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("the server did not send it"));
            ok = false;
            continue;
        } else {
            refused = ex.refused();
        }
        if (refused || !QFileInfo::exists(name)) {
            d.message(MissingLocalFileMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("not received"));
            ok = false;
            continue;
        }
        clsFileDetails record;
        record.ListItem = key;
        record.Name = name;
        record.Controller = me;
        list.setSelected(key, false);
        batch << record;
    }

    QStringList recorded;
    if (!batch.isEmpty() && !recordCheckOuts(batch, recorded))
        ok = false;
    // A file another member took first is theirs: the copy just fetched is read-only again.
    for (const clsFileDetails& record : batch)
        if (!recorded.contains(record.ListItem))
            SetFileReadOnly(record.Name, true, false);

    // The rebuild also shows whether a member whose program does not take the lock overwrote one of
    // our entries after the save.
    if (!m_store.UpdateFileList())
        return false;
    for (const QString& key : recorded) {
        const ListEntry* e = list.find(key);
        if (!e)
            continue;
        const QString controller = e->columns.value(QLatin1String(columns::kOwner));
        if (!controller.isEmpty() && controller.compare(me, Qt::CaseInsensitive) != 0) {
            SetFileReadOnly(e->text, true, false);
            d.message(TakenMeanwhileMessage(e->text, controller), Dialogs::Icon::Warning, Dialogs::Ok);
            m_report.skip(e->text,
                          QStringLiteral("checked out by ") + controller + QStringLiteral(" meanwhile"));
            ok = false;
            continue;
        }
        m_report.done << e->text;
    }
    return ok;
}

// Writes the member as controller of every file of the batch that is still free in the fresh
// catalogue, in one locked save; the member hears about the others once the save is through.
bool StoreOperations::recordCheckOuts(const QList<clsFileDetails>& batch, QStringList& recorded) {
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    QStringList notes;
    QList<OperationReport::Skip> skips;
    QHash<QString, qint16> versions;
    const bool saved = m_store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
        notes.clear();
        skips.clear();
        versions.clear();
        QHash<QString, const CatalogueRecord*> byName;
        for (const CatalogueRecord& r : current)
            byName.insert(r.Name.toLower(), &r);
        QList<CatalogueEdit> edits;
        for (const clsFileDetails& record : batch) {
            const CatalogueRecord* r = byName.value(record.Name.toLower());
            if (!r) {
                notes << NoLongerCataloguedMessage(record.Name);
                skips.append({record.Name, QStringLiteral("no longer in the catalogue")});
                continue;
            }
            if (!r->Controller.isEmpty() &&
                r->Controller.compare(record.Controller, Qt::CaseInsensitive) != 0) {
                notes << TakenMeanwhileMessage(record.Name, r->Controller);
                skips.append({record.Name, QStringLiteral("checked out by ") + r->Controller});
                continue;
            }
            // The version of the copy just fetched: the fresh catalogue's, which a list built earlier
            // may not show yet.
            versions.insert(record.ListItem, r->CurrentVersion);
            CatalogueEdit e;
            e.name = record.Name;
            e.controller = record.Controller;
            edits << e;
        }
        return edits;
    });
    for (const QString& note : notes)
        d.message(note, Dialogs::Icon::Warning, Dialogs::Ok);
    m_report.skipped += skips;
    if (!saved)
        return false;
    for (const clsFileDetails& record : batch) {
        if (!versions.contains(record.ListItem))
            continue;
        const QString version = QString::number(versions.value(record.ListItem));
        m_store.settings().setFileVersion(record.Name, version);
        list.setColumnText(record.ListItem, QLatin1String(columns::kMyVer), version);
        list.setSelected(record.ListItem, false);
        list.setIcons(record.ListItem, QStringLiteral("open"), QStringLiteral("open"));
        recorded << record.ListItem;
    }
    return notes.isEmpty();
}

} // namespace krtp
