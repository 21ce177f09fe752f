// Check in: the member's changed copies go up as new versions with a comment (or are given back
// unsent), then the catalogue is rewritten once.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/checkinchoices.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "util/fileutil.h"

#include <QFileInfo>
#include <QHash>
#include <optional>

namespace krtp {

void StoreOperations::failCheckIn(const QString& description) {
    m_store.dialogs().message(description, Dialogs::Icon::Critical, Dialogs::Ok);
    m_store.UpdateFileList();
}

bool StoreOperations::CheckIn() {
    Guard guard(*this);
    if (!guard)
        return false;
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const QString me = runState().CurrentUserName;
    std::optional<BusyPointer> busy;
    busy.emplace(d);
    bool ok = true;

    // Phase 1: the member's choices for every file, before anything is sent.
    QList<clsFileDetails> batch;
    QString comment;
    bool keep = false;
    bool dontUpdate = false;
    bool all = false;
    bool abandoned = false;
    for (const QString& key : selectedKeys()) {
        const ListEntry* e = list.find(key);
        // The list shows a file as the member's whatever the letter case of the name; so does this.
        if (!e || e->columns.value(QLatin1String(columns::kOwner)).compare(me, Qt::CaseInsensitive) != 0 ||
            me.isEmpty())
            continue;
        const QString name = e->text;
        const QString verText = e->columns.value(QLatin1String(columns::kVer));
        if (refuseName(name)) {
            ok = false;
            continue;
        }
        list.ensureVisible(key);
        const bool localExists = QFileInfo::exists(name);
        bool fileDontUpdate = dontUpdate;
        if (all) {
            if (!localExists && !dontUpdate) {
                if (d.message(MissingLocalCheckInQuestion(name), Dialogs::Icon::Critical,
                              Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok) {
                    abandoned = true;
                    break;
                }
                fileDontUpdate = true;
            }
        } else {
            busy.reset();
            if (!localExists) {
                const bool given = d.message(MissingLocalCheckInQuestion(name), Dialogs::Icon::Critical,
                                             Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) == Dialogs::Ok;
                busy.emplace(d);
                if (!given) {
                    abandoned = true;
                    break;
                }
                fileDontUpdate = true;
            } else {
                const bool accepted =
                    m_prompt && m_prompt->Do_CheckInFile(name, comment, keep, all, dontUpdate);
                busy.emplace(d);
                if (!accepted) {
                    abandoned = true;
                    break;
                }
                comment = CheckInChoices::CleanComment(comment);
                fileDontUpdate = dontUpdate;
            }
        }
        clsFileDetails record;
        record.ListItem = key;
        record.Name = name;
        if (fileDontUpdate) {
            record.DontUpdateServer = true;
        } else {
            const qint64 version = LeadingNumber(verText);
            if (version < -32768 || version >= 32767) {
                failCheckIn(OverflowMessage(name, version));
                return false;
            }
            record.CurrentVersion = qint16(version + 1);
            record.Controller = keep ? me : QString();
            record.Comment = me + QStringLiteral(": ") + comment;
        }
        batch << record;
    }
    if (abandoned || batch.isEmpty()) {
        m_store.UpdateFileList();
        return ok;
    }

    // Phase 2: upload. The host's previous copy waits as N.backup until the new one is there.
    StoreExchange ex(m_store);
    bool entered = false;
    for (const clsFileDetails& record : batch) {
        if (record.DontUpdateServer)
            continue;
        const QString& name = record.Name;
        if (!entered) {
            if (!ex.enterControlFolder()) {
                failCheckIn(ex.error());
                return false;
            }
            entered = true;
        }
        if (!ex.run(storecmd::DeleteBackup(name)) || !ex.run(storecmd::MoveAside(name))) {
            failCheckIn(ex.error());
            return false;
        }
        const bool movedAside = !ex.refused();
        // The upload counts only when the host took it and then lists the file: a refused upload
        // next to a copy that could not be moved aside would otherwise pass for a sent one.
        bool exists = false;
        const bool sent =
            ex.run(storecmd::Upload(name)) && !ex.refused() && ex.listFile(name, exists) && exists;
        if (!sent) {
            if (movedAside && ex.run(storecmd::Restore(name)) && ex.refused()) {
                // A host that will not rename onto an existing name: drop the partial upload first.
                ex.run(storecmd::Delete(name));
                ex.run(storecmd::Restore(name));
            }
            failCheckIn(SendErrorMessage(name));
            return false;
        }
        if (!ex.run(storecmd::DeleteBackup(name))) {
            failCheckIn(ex.error());
            return false;
        }
        list.setSelected(record.ListItem, false);
    }

    // Phase 3: the catalogue, fetched once, rewritten locally and saved once.
    if (!m_store.UpdateFileDetails(QString(), false, {}, {}, {}, {}, {}, false, true, false)) {
        m_store.UpdateFileList();
        return false;
    }
    QList<CatalogueRecord> current;
    if (QString reason; !m_store.ReadWorkingCopy(&current, reason)) {
        failCheckIn(FileStore::IncompleteCatalogueMessage(reason));
        return false;
    }
    // The list may be older than the catalogue: a file somebody else holds now keeps its entry, so
    // that check-in never takes it from them.
    QHash<QString, QString> controllers;
    for (const CatalogueRecord& r : current)
        controllers.insert(r.Name.toLower(), r.Controller);
    QList<clsFileDetails> recorded;
    for (const clsFileDetails& record : batch) {
        const QString controller = controllers.value(record.Name.toLower());
        if (!controller.isEmpty() && controller.compare(me, Qt::CaseInsensitive) != 0) {
            d.message(HeldByOtherMessage(record.Name, controller), Dialogs::Icon::Warning, Dialogs::Ok);
            ok = false;
            continue;
        }
        recorded << record;
    }
    batch = recorded;
    if (batch.isEmpty()) {
        m_store.UpdateFileList();
        return ok;
    }
    for (const clsFileDetails& record : batch) {
        list.ensureVisible(record.ListItem);
        const bool updated =
            record.DontUpdateServer
                ? m_store.UpdateFileDetails(record.Name, false, {}, QString(), {}, {}, {}, false, false,
                                            false)
                : m_store.UpdateFileDetails(record.Name, false, qint64(record.CurrentVersion),
                                            record.Controller, {}, {}, record.Comment, false, false, false);
        if (!updated) {
            m_store.UpdateFileList();
            return false;
        }
        list.setIcons(record.ListItem, QStringLiteral("unlocked"), QStringLiteral("unlocked"));
    }
    if (!m_store.UpdateFileDetails(QString(), false, {}, {}, {}, {}, {}, false, false, true)) {
        m_store.UpdateFileList();
        return false;
    }

    // Phase 4: the member's own bookkeeping.
    for (const clsFileDetails& record : batch) {
        list.ensureVisible(record.ListItem);
        if (!record.DontUpdateServer)
            m_store.settings().setFileVersion(record.Name, QString::number(record.CurrentVersion));
        if (record.Controller.compare(me, Qt::CaseInsensitive) != 0)
            SetFileReadOnly(record.Name, true, false);
        list.setSelected(record.ListItem, true);
    }
    m_store.UpdateFileList();
    return ok;
}

} // namespace krtp
