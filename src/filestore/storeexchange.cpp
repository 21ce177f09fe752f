#include "filestore/storeexchange.h"

#include "config/runstate.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "transfer/controlfiles.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace krtp {

namespace {

QString q(const QString& s) {
    return QuoteCommandArgument(s);
}
QString backupOf(const QString& name) {
    return name + QLatin1String(kBackupSuffix);
}

} // namespace

namespace storecmd {
QString ChangeToControlFolder() {
    return QLatin1String(kControlFolderCommand);
}
QString List(const QString& n) {
    return QStringLiteral("ls ") + q(n);
}
QString Restore(const QString& n) {
    return QStringLiteral("rename ") + q(backupOf(n)) + QLatin1Char(' ') + q(n);
}
QString Download(const QString& n) {
    return QStringLiteral("get ") + q(n) + QLatin1Char(' ') + q(n);
}
QString Upload(const QString& n) {
    return QStringLiteral("send ") + q(n) + QLatin1Char(' ') + q(n);
}
QString MoveAside(const QString& n) {
    return QStringLiteral("rename ") + q(n) + QLatin1Char(' ') + q(backupOf(n));
}
QString DeleteBackup(const QString& n) {
    return QStringLiteral("delete ") + q(backupOf(n));
}
QString Delete(const QString& n) {
    return QStringLiteral("delete ") + q(n);
}
} // namespace storecmd

bool IsSharedFileName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (IsControlFileName(name, runState().MemberNames))
        return false;
    const QString catalogue = QLatin1String(kCatalogueName);
    if (name.compare(catalogue, Qt::CaseInsensitive) == 0 ||
        name.compare(backupOf(catalogue), Qt::CaseInsensitive) == 0)
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('"') || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            return false;
    return true;
}

bool ListedSizeMatches(TransferControl& inet, const QString& name) {
    const qint64 listed = inet.lastListedSize();
    return listed < 0 || listed == QFileInfo(name).size();
}

QString MissingLocalFileMessage(const QString& name) {
    return name + QStringLiteral(
                      " does not exist on the local computer.  Either it was not downloaded correctly, or "
                      "it has been deleted off both the server and the local machine.");
}

bool StoreExchange::run(const QString& command) {
    m_refused = false;
    m_error.clear();
    m_reply.clear();
    if (m_store.Run(command))
        return true;
    TransferControl& inet = m_store.inet();
    if (inet.lastReplyCode() != 0) {
        m_refused = true;
        m_reply = inet.lastError();
        return true;
    }
    m_error = inet.lastError();
    if (m_error.isEmpty())
        m_error = QStringLiteral("The host could not be reached (") + command + QStringLiteral(").");
    return false;
}

bool StoreExchange::enterControlFolder() {
    if (m_store.inet().currentFolder() == QLatin1String("/krg"))
        return true;
    if (!run(storecmd::ChangeToControlFolder()))
        return false;
    if (m_refused) {
        m_error = m_store.inet().lastError();
        return false;
    }
    return true;
}

bool StoreExchange::listFile(const QString& name, bool& exists) {
    exists = false;
    if (!run(storecmd::List(name)))
        return false;
    exists = !m_refused && m_store.GetChunkData.contains(name);
    return true;
}

bool StoreExchange::ensureOnServer(const QString& name, bool& exists) {
    if (!enterControlFolder() || !listFile(name, exists))
        return false;
    if (exists)
        return true;
    // Another member's check-in moves the copy aside for a moment before the new one arrives.
    pauseBriefly();
    if (!listFile(name, exists))
        return false;
    if (exists)
        return true;
    // A check-in that was cut short may have left the server copy under its backup name.
    if (!run(storecmd::Restore(name)))
        return false;
    return listFile(name, exists);
}

bool StoreExchange::download(const QString& name) {
    m_madeBackup = false;
    if (!makeLocalBackup(name))
        return false;
    bool reached = run(storecmd::Download(name));
    // A file missing for a moment (another member's check-in has it renamed aside) comes back.
    for (int retry = 0; retry < 3 && reached && m_refused && m_store.inet().lastReplyCode() == 550; ++retry) {
        pauseBriefly();
        reached = run(storecmd::Download(name));
    }
    if (reached && !m_refused)
        return true;
    m_reply = m_store.inet().lastError();
    // The member's working copy comes back under its own name: a download that did not arrive loses
    // nothing locally.
    if (m_madeBackup && !QFileInfo::exists(name)) {
        const QString backup = backupOf(name);
        QFile::rename(backup, name);
    }
    return reached;
}

void StoreExchange::pauseBriefly() {
    QEventLoop loop;
    QTimer::singleShot(kRetryPauseMs, &loop, &QEventLoop::quit);
    loop.exec();
}

bool StoreExchange::makeLocalBackup(const QString& name) {
    m_error.clear();
    if (!QFileInfo::exists(name))
        return true;
    const QString backup = backupOf(name);
    if (QFileInfo::exists(backup)) {
        SetFileReadOnly(backup, false, false);
        if (!QFile::remove(backup)) {
            m_error = QStringLiteral("Permission denied: cannot delete ") + backup;
            return false;
        }
    }
    SetFileReadOnly(name, false, false);
    m_madeBackup = true;
    if (!QFile::rename(name, backup)) {
        m_madeBackup = false;
        m_error =
            QStringLiteral("Permission denied: cannot rename ") + name + QStringLiteral(" to ") + backup;
        return false;
    }
    return true;
}

} // namespace krtp
