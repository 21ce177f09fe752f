// Check in: the member's changed copies go up as new versions with a comment (or are given back
// unsent), then the catalogue is changed once.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/checkinchoices.h"
#include "filestore/filestore.h"
#include "filestore/history.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <optional>

namespace krtp {

void StoreOperations::failCheckIn(const QString& description) {
    m_report.failure = description;
    m_store.dialogs().message(description, Dialogs::Icon::Critical, Dialogs::Ok);
    m_store.UpdateFileList();
}

bool StoreOperations::checkIn() {
    Guard guard(*this);
    QStringList keys;
    if (!guard || !beginOperation(false, keys))
        return false;
    CheckInBatch batch;
    checkInChoices(batch);
    if (batch.abandoned || batch.files.isEmpty()) {
        m_report.cancelled = batch.abandoned && m_report.failure.isEmpty();
        m_store.UpdateFileList();
        return batch.ok;
    }
    BusyPointer busy(m_store.dialogs());
    if (!checkInDropHeldByOthers(batch) || !checkInUpload(batch) || !checkInRecord(batch))
        return false;
    checkInBookkeeping(batch);
    m_store.UpdateFileList();
    return batch.ok;
}

// Phase 1: the member's choices for every file, before anything is sent.
void StoreOperations::checkInChoices(CheckInBatch& batch) {
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const QString me = runState().CurrentUserName;
    std::optional<BusyPointer> busy;
    busy.emplace(d);
    QString comment;
    bool keep = false;
    bool dontUpdate = false;
    bool all = false;
    for (const QString& key : selectedKeys()) {
        const ListEntry* e = list.find(key);
        // The list shows a file as the member's whatever the letter case of the name; so does this.
        if (!e)
            continue;
        if (e->columns.value(QLatin1String(columns::kOwner)).compare(me, Qt::CaseInsensitive) != 0 ||
            me.isEmpty()) {
            m_report.skip(e->text, QStringLiteral("not checked out by you"));
            continue;
        }
        const QString name = e->text;
        const QString verText = e->columns.value(QLatin1String(columns::kVer));
        if (refuseName(name)) {
            batch.ok = false;
            continue;
        }
        list.ensureVisible(key);
        // Nothing from outside the member's folder is published through a link.
        if (const QString why =
                LinkLeavesFolderError(QDir::current().absoluteFilePath(name), QDir::currentPath());
            !why.isEmpty()) {
            d.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("a link to a file outside your local folder"));
            batch.ok = false;
            continue;
        }
        const bool localExists = QFileInfo::exists(name);
        bool fileDontUpdate = dontUpdate;
        if (all) {
            if (!localExists && !dontUpdate) {
                if (d.message(MissingLocalCheckInQuestion(name), Dialogs::Icon::Critical,
                              Dialogs::Ok | Dialogs::Cancel, Dialogs::Cancel) != Dialogs::Ok) {
                    batch.abandoned = true;
                    return;
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
                    batch.abandoned = true;
                    return;
                }
                fileDontUpdate = true;
            } else {
                const bool accepted =
                    m_prompt && m_prompt->Do_CheckInFile(name, comment, keep, all, dontUpdate);
                busy.emplace(d);
                if (!accepted) {
                    batch.abandoned = true;
                    return;
                }
                comment = CheckInChoices::CleanComment(comment);
                fileDontUpdate = dontUpdate;
            }
        }
        clsFileDetails record;
        record.ListItem = key;
        record.Name = name;
        if (!localExists)
            batch.missing.insert(name);
        if (fileDontUpdate) {
            record.DontUpdateServer = true;
        } else {
            const qint64 version = LeadingNumber(verText);
            if (version < -32768 || version >= 32767) {
                // Nothing has been sent yet: the whole check-in stops here.
                d.message(OverflowMessage(name, version), Dialogs::Icon::Critical, Dialogs::Ok);
                m_report.failure = OverflowMessage(name, version);
                batch.ok = false;
                batch.abandoned = true;
                return;
            }
            record.CurrentVersion = qint16(version + 1);
            record.Controller = keep ? me : QString();
            record.Comment = me + QStringLiteral(": ") + comment;
        }
        batch.files << record;
    }
}

// Phase 2: nothing goes up for a file that somebody else holds by now; the list may be older than
// the catalogue. The locked save checks again.
bool StoreOperations::checkInDropHeldByOthers(CheckInBatch& batch) {
    const QString me = runState().CurrentUserName;
    if (!m_store.FetchCatalogueInSession()) {
        m_store.UpdateFileList();
        return false;
    }
    QList<CatalogueRecord> current;
    if (QString reason; !m_store.ReadWorkingCopy(&current, reason)) {
        // Perhaps another member's save seen halfway: read it again once that save is through.
        if (!m_store.GetControlFileWhenSaved()) {
            m_store.UpdateFileList();
            return false;
        }
        if (!m_store.ReadWorkingCopy(&current, reason)) {
            failCheckIn(FileStore::IncompleteCatalogueMessage(reason));
            return false;
        }
    }
    QHash<QString, QString> controllers;
    for (const CatalogueRecord& r : current)
        controllers.insert(r.Name.toLower(), r.Controller);
    QList<clsFileDetails> kept;
    for (const clsFileDetails& record : batch.files) {
        const QString controller = controllers.value(record.Name.toLower());
        if (!controller.isEmpty() && controller.compare(me, Qt::CaseInsensitive) != 0) {
            batch.notes << HeldByOtherMessage(record.Name, controller);
            m_report.skip(record.Name,
                          QStringLiteral("checked out by ") + controller + QStringLiteral(" now"));
            batch.ok = false;
            continue;
        }
        kept << record;
    }
    batch.files = kept;
    return true;
}

// Phase 3: upload. The host's previous copy waits as N.backup until the new one is there.
bool StoreOperations::checkInUpload(CheckInBatch& batch) {
    StoreExchange ex(m_store);
    FileHistory history(m_store);
    bool entered = false;
    for (const clsFileDetails& record : batch.files) {
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
        const bool sent = ex.run(storecmd::Upload(name)) && !ex.refused() && ex.listFile(name, exists) &&
                          exists && ListedSizeMatches(m_store.inet(), name);
        if (!sent) {
            if (movedAside && ex.run(storecmd::Restore(name)) && ex.refused()) {
                // A host that will not rename onto an existing name: drop the partial upload first.
                ex.run(storecmd::Delete(name));
                ex.run(storecmd::Restore(name));
            }
            failCheckIn(SendErrorMessage(name));
            return false;
        }
        // The previous copy joins the file's history instead of being deleted; a history that cannot
        // be kept never stops the check-in.
        const QString me = runState().CurrentUserName;
        const QString typed = record.Comment.startsWith(me + QStringLiteral(": "))
                                  ? record.Comment.mid(me.size() + 2)
                                  : record.Comment;
        if (movedAside)
            history.RecordCheckIn(name, record.CurrentVersion, name, me, typed);
        else
            history.RecordNew(name, record.CurrentVersion, name, me, typed);
        if (m_store.inet().lastReplyCode() == 0 && !m_store.inet().lastSucceeded()) {
            failCheckIn(m_store.inet().lastError());
            return false;
        }
        m_store.list().setSelected(record.ListItem, false);
    }
    return true;
}

// Phase 4: the catalogue, changed once under the lock. A file that somebody else took meanwhile
// keeps its entry, so that check-in never takes it from them.
bool StoreOperations::checkInRecord(CheckInBatch& batch) {
    const QString me = runState().CurrentUserName;
    QStringList heldNotes;
    QList<OperationReport::Skip> heldSkips;
    QList<clsFileDetails> recorded;
    const bool saved =
        batch.files.isEmpty() || m_store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
            heldNotes.clear();
            heldSkips.clear();
            recorded.clear();
            QHash<QString, QString> controllers;
            for (const CatalogueRecord& r : current)
                controllers.insert(r.Name.toLower(), r.Controller);
            QList<CatalogueEdit> edits;
            for (const clsFileDetails& record : batch.files) {
                const QString controller = controllers.value(record.Name.toLower());
                if (!controller.isEmpty() && controller.compare(me, Qt::CaseInsensitive) != 0) {
                    heldNotes << HeldByOtherMessage(record.Name, controller);
                    heldSkips.append({record.Name, QStringLiteral("checked out by ") + controller +
                                                       QStringLiteral(" now")});
                    continue;
                }
                CatalogueEdit e;
                e.name = record.Name;
                e.controller = record.DontUpdateServer ? QString() : record.Controller;
                if (!record.DontUpdateServer) {
                    e.version = record.CurrentVersion;
                    e.comment = record.Comment;
                }
                edits << e;
                recorded << record;
            }
            return edits;
        });
    // The messages wait until the catalogue is saved (or not), so no box stands open meanwhile.
    Dialogs& d = m_store.dialogs();
    for (const QString& note : batch.notes + heldNotes)
        d.message(note, Dialogs::Icon::Warning, Dialogs::Ok);
    if (!heldNotes.isEmpty())
        batch.ok = false;
    m_report.skipped += heldSkips;
    if (!saved) {
        m_store.UpdateFileList();
        return false;
    }
    for (const clsFileDetails& record : recorded) {
        // Given back, but there is no copy the member could call up to date.
        if (batch.missing.contains(record.Name)) {
            m_report.skip(record.Name,
                          QStringLiteral("given back without sending: not in your local folder"));
            continue;
        }
        m_store.list().setIcons(record.ListItem, QStringLiteral("unlocked"), QStringLiteral("unlocked"));
        m_report.done << record.Name;
    }
    batch.files = recorded;
    return true;
}

// Phase 5: the member's own bookkeeping.
void StoreOperations::checkInBookkeeping(const CheckInBatch& batch) {
    FileListModel& list = m_store.list();
    const QString me = runState().CurrentUserName;
    for (const clsFileDetails& record : batch.files) {
        list.ensureVisible(record.ListItem);
        if (!record.DontUpdateServer)
            m_store.settings().setFileVersion(record.Name, QString::number(record.CurrentVersion));
        else if (batch.missing.contains(record.Name))
            m_store.settings().setFileVersion(record.Name, QLatin1String(settings::kFileVersionDefault));
        if (record.Controller.compare(me, Qt::CaseInsensitive) != 0)
            SetFileReadOnly(record.Name, true, false);
        list.setSelected(record.ListItem, true);
    }
}

} // namespace krtp
