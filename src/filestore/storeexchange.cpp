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
#include <QTemporaryFile>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

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
    m_cancelled = false;
    LocalBackup backup(name);
    if (!backup.keep()) {
        m_error = backup.error();
        return false;
    }
    bool reached = run(storecmd::Download(name));
    // A file missing for a moment (another member's check-in has it renamed aside) comes back.
    for (int retry = 0; retry < 3 && reached && m_refused && m_store.inet().lastReplyCode() == 550; ++retry) {
        pauseBriefly();
        reached = run(storecmd::Download(name));
    }
    if (reached && !m_refused) {
        if (backup.commit())
            return true;
        m_error = backup.error();
        return false;
    }
    m_reply = m_store.inet().lastError();
    m_cancelled = !reached && m_store.inet().lastCancelled();
    return reached;
}

void StoreExchange::pauseBriefly() {
    QEventLoop loop;
    QTimer::singleShot(kRetryPauseMs, &loop, &QEventLoop::quit);
    loop.exec();
}

LocalBackup::~LocalBackup() {
    // Only the name goes: a hard link shares N's attribute, which must stay as it was.
    if (!m_kept.isEmpty())
        QFile::remove(m_kept);
}

bool LocalBackup::keep() {
    m_error.clear();
    if (!QFileInfo::exists(m_name))
        return true;
    // A free scratch name beside N, so the rename of commit() never crosses file systems.
    QString scratch;
    {
        QTemporaryFile reserve(QFileInfo(m_name).absolutePath() + QStringLiteral("/.krtp-XXXXXX.keep"));
        if (reserve.open())
            scratch = reserve.fileName();
    }
    // A second name for the same file costs nothing and leaves N untouched; where the file system
    // has no hard links, a copy does.
    if (scratch.isEmpty() ||
        (::link(QFile::encodeName(m_name).constData(), QFile::encodeName(scratch).constData()) != 0 &&
         !QFile::copy(m_name, scratch))) {
        m_error = QStringLiteral("Permission denied: cannot keep a copy of ") + m_name;
        return false;
    }
    m_kept = scratch;
    return true;
}

bool LocalBackup::commit() {
    m_error.clear();
    if (m_kept.isEmpty())
        return true;
    const QString backup = backupOf(m_name);
    // rename() replaces an older backup in one step, whatever its read-only attribute.
    if (std::rename(QFile::encodeName(m_kept).constData(), QFile::encodeName(backup).constData()) != 0) {
        m_error =
            QStringLiteral("Permission denied: cannot rename ") + m_name + QStringLiteral(" to ") + backup;
        return false;
    }
    m_kept.clear();
    SetFileReadOnly(backup, false, false);
    return true;
}

} // namespace krtp
