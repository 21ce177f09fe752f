// Open: the selected local copies in the applications registered for their types.
#include "config/runstate.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace krtp {

bool StoreOperations::openFile() {
    Guard guard(*this);
    if (!guard)
        return false;
    return openSelected();
}

bool StoreOperations::openSelected() {
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const auto latest = [](const ListEntry& e) {
        return LeadingNumber(e.columns.value(QLatin1String(columns::kMyVer))) ==
               LeadingNumber(e.columns.value(QLatin1String(columns::kVer)));
    };
    const QStringList keys = selectedKeys();
    if (keys.isEmpty()) {
        d.message(QStringLiteral("No Files Are Selected"), Dialogs::Icon::Warning, Dialogs::Ok);
        return true;
    }
    if (keys.size() == 1) {
        const ListEntry* e = list.find(keys.first());
        if (!latest(*e)) {
            d.message(QStringLiteral("You do not have the latest version of this file."),
                      Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(e->text, QStringLiteral("not the latest version"));
            return true;
        }
        if (e->columns.value(QLatin1String(columns::kOwner))
                    .compare(runState().CurrentUserName, Qt::CaseInsensitive) != 0 &&
            d.message(
                QStringLiteral("You do not have ") + e->text +
                    QStringLiteral(" checked out.  You will not be able to save your changes to this file."),
                Dialogs::Icon::Information, Dialogs::Ok | Dialogs::Cancel) != Dialogs::Ok) {
            m_report.cancelled = true;
            return true;
        }
    } else if (d.message(QStringLiteral("Are you sure you want to open the ") + QString::number(keys.size()) +
                             QStringLiteral(" selected files?"),
                         Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No) != Dialogs::Yes) {
        m_report.cancelled = true;
        return true;
    }
    bool ok = true;
    int skipped = 0;
    for (const QString& key : keys) {
        const ListEntry* e = list.find(key);
        if (!e)
            continue;
        if (!latest(*e)) {
            ++skipped;
            m_report.skip(e->text, QStringLiteral("not the latest version"));
            continue;
        }
        if (!IsSharedFileName(e->text) || !QFileInfo::exists(e->text) ||
            !desktopServices().openDocument(QDir::current().absoluteFilePath(e->text))) {
            d.message(e->text + QStringLiteral(
                                    " could not be opened: no program is registered for it, or the file is "
                                    "missing from your local folder."),
                      Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(e->text, QFileInfo::exists(e->text)
                                       ? QStringLiteral("no program is registered for it")
                                       : QStringLiteral("not in your local folder"));
            ok = false;
            continue;
        }
        m_report.done << e->text;
    }
    if (skipped > 0)
        d.message(
            QString::number(skipped) +
                QStringLiteral(
                    " files were not opened because you do not have the latest version of these files."),
            Dialogs::Icon::Information, Dialogs::Ok);
    return ok;
}

} // namespace krtp
