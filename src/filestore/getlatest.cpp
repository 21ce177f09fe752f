// Get latest version: the server's current copies of the selected files, read-only, without taking
// control; the member's own check-outs are only recorded as current.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "transfer/transferpool.h"
#include "util/fileutil.h"

#include <QFileInfo>
#include <QSet>

namespace krtp {

bool StoreOperations::getLatestVersion() {
    Guard guard(*this);
    QStringList keys;
    if (!guard || !beginOperation(false, keys))
        return false;
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const QString me = runState().CurrentUserName;
    BusyPointer busy(d);
    StoreExchange ex(m_store);
    bool ok = true;
    bool specialDocument = false;

    // With several connections the bodies travel together first; what did not arrive (a file
    // missing for the moment, a refusal) takes the one-by-one path below, which says why. Messages
    // keep the order of the selection.
    bool cancelled = false;
    const QSet<QString> arrived = fetchInParallel(
        keys,
        [&](const ListEntry& e) {
            return me.isEmpty() ||
                   e.columns.value(QLatin1String(columns::kOwner)).compare(me, Qt::CaseInsensitive) != 0;
        },
        cancelled);

    for (const QString& key : keys) {
        const ListEntry* e = list.find(key);
        if (!e)
            continue;
        const QString name = e->text;
        const QString owner = e->columns.value(QLatin1String(columns::kOwner));
        const QString verText = e->columns.value(QLatin1String(columns::kVer));
        const QString version = QString::number(LeadingVersion(verText));
        // Never overwrite the working copy of a file the member has checked out (the list counts a
        // controller in another letter case as the member too).
        if (!me.isEmpty() && owner.compare(me, Qt::CaseInsensitive) == 0) {
            // A copy that is not there has no version: the list then shows it as missing.
            if (IsSharedFileName(name) && !QFileInfo::exists(name)) {
                m_store.settings().setFileVersion(name, QLatin1String(settings::kFileVersionDefault));
                m_report.skip(name, QStringLiteral("checked out by you, but not in your local folder"));
                continue;
            }
            m_store.settings().setFileVersion(name, version);
            m_report.skip(name, QStringLiteral("checked out by you, your copy kept"), true);
            continue;
        }
        if (!arrived.contains(key)) {
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
            if (copy == ServerCopy::Missing) {
                d.message(NotOnServerMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
                m_report.skip(name, QStringLiteral("not on the server"));
                ok = false;
                continue;
            }
            if (!ex.download(name)) {
                if (!stoppedByMember(ex, cancelled))
                    return failOperation(ex.error());
                ok = false;
                continue;
            }
            // A download the host refused leaves the member's previous copy (or none): record no
            // version the member does not have.
            if (ex.refused() && QFileInfo::exists(name)) {
                d.message(DownloadRefusedMessage(name, ex.reply()), Dialogs::Icon::Critical, Dialogs::Ok);
                m_report.skip(name, QStringLiteral("the server did not send it"));
                ok = false;
                continue;
            }
            if (ex.refused() || !QFileInfo::exists(name)) {
                d.message(MissingLocalFileMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
                m_report.skip(name, QStringLiteral("not received"));
                ok = false;
                continue;
            }
        }
        m_store.settings().setFileVersion(name, version);
        list.setColumnText(key, QLatin1String(columns::kMyVer), verText);
        SetFileReadOnly(name, true, false);
        list.setSelected(key, false);
        const QString icon = owner.isEmpty() ? QStringLiteral("unlocked") : QStringLiteral("locked");
        list.setIcons(key, icon, icon);
        m_report.done << name;
        if (name.toLower() == QLatin1String("krplot.doc"))
            specialDocument = true;
    }

    m_store.UpdateFileList();
    // Not after the member chose to end the program, or the window closed, in the rebuild.
    const FileStore::ReadOutcome outcome = m_store.lastOutcome();
    if (outcome == FileStore::ReadOutcome::Cancelled || outcome == FileStore::ReadOutcome::Outdated)
        return ok;
    if (specialDocument && d.message(SpecialDocumentQuestion(), Dialogs::Icon::Information,
                                     Dialogs::Ok | Dialogs::Cancel) == Dialogs::Ok) {
        for (const ListEntry& e : list.entries())
            list.setSelected(e.key, e.key == QLatin1String("krplot.doc"));
        list.ensureVisible(QStringLiteral("krplot.doc"));
        if (!openSelected())
            ok = false;
    }
    return ok;
}

} // namespace krtp
