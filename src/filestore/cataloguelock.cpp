#include "filestore/cataloguelock.h"

#include "config/runstate.h"
#include "filestore/catalogue.h"
#include "filestore/filestore.h"
#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

namespace krtp {

namespace {

QString q(const QString& s) {
    return QuoteCommandArgument(s);
}

// Reply codes 4xx are passing refusals; the host answered, so a retry may go through.
bool hostAnswered(TransferControl& inet) {
    return inet.lastReplyCode() != 0;
}

} // namespace

CatalogueLock::Timing& CatalogueLock::timing() {
    static Timing t;
    return t;
}

CatalogueLock::CatalogueLock(FileStore& store) : m_store(store) {}

CatalogueLock::~CatalogueLock() {
    release();
}

QString CatalogueLock::WaitingText(const QString& holder) {
    return QStringLiteral("Waiting for ") + (holder.isEmpty() ? QStringLiteral("another member") : holder) +
           QStringLiteral(", who is changing the shared file list\u2026");
}

QString CatalogueLock::TimeoutMessage(const QString& holder) {
    return (holder.isEmpty() ? QStringLiteral("Another member") : holder) +
           QStringLiteral(
               " is still changing the shared file list, so nothing was changed.  Please try again in a "
               "moment.");
}

void CatalogueLock::pause() {
    const Timing& t = timing();
    const int ms =
        t.retryMinMs + int(QRandomGenerator::global()->bounded(qMax(1, t.retryMaxMs - t.retryMinMs)));
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

CatalogueLock::Holder CatalogueLock::readHolder() {
    Holder h;
    const QString local = QLatin1String(kLocalHolder);
    QFile::remove(local);
    if (!m_store.Run(QStringLiteral("get ") + q(QLatin1String(kHolder)) + QLatin1Char(' ') + q(local)))
        return h;
    QByteArray data;
    if (!ReadWholeFile(local, data))
        return h;
    QFile::remove(local);
    h.bytes = data;
    const QList<QByteArray> lines = data.split('\n');
    if (lines.size() < 2)
        return h;
    h.read = true;
    h.name = QString::fromUtf8(lines[0].trimmed()).left(64);
    // Only printable text from the host reaches a message.
    for (QChar& c : h.name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    h.since = lines[1].trimmed().toLongLong();
    return h;
}

bool CatalogueLock::lockFolderExists() {
    const bool exists = m_store.Run(QStringLiteral("cd ") + q(QLatin1String(kFolder)));
    m_store.Run(QLatin1String(kControlFolderCommand));
    return exists;
}

QString CatalogueLock::LockRefusedMessage(const QString& reply) {
    return QStringLiteral("The host refused to create the folder ") + QLatin1String(kFolder) +
           QStringLiteral(
               ", which keeps two members from changing the shared file list at once, so nothing was "
               "changed.") +
           (reply.isEmpty() ? QString() : QStringLiteral("\r\n\r\n") + reply);
}

bool CatalogueLock::tryBreak(const Holder& seen) {
    // Moving the folder aside is atomic: of several members who found the same dead lock, one
    // breaks it. The holder inside must still be the one found dead, or a live lock was moved.
    const QString aside = QLatin1String(kFolder) + QStringLiteral(".broken-") +
                          QString::number(QRandomGenerator::global()->generate64(), 16);
    if (!m_store.Run(QStringLiteral("rename ") + q(QLatin1String(kFolder)) + QLatin1Char(' ') + q(aside)))
        return false;
    const QString local = QLatin1String(kLocalHolder);
    QFile::remove(local);
    QByteArray moved;
    const QString movedHolder = aside + QStringLiteral("/holder.txt");
    const bool gotHolder =
        m_store.Run(QStringLiteral("get ") + q(movedHolder) + QLatin1Char(' ') + q(local)) &&
        ReadWholeFile(local, moved);
    QFile::remove(local);
    if (gotHolder && moved != seen.bytes) {
        // Somebody took the lock in between: give it back.
        m_store.Run(QStringLiteral("rename ") + q(aside) + QLatin1Char(' ') + q(QLatin1String(kFolder)));
        return false;
    }
    m_store.Run(QStringLiteral("delete ") + q(movedHolder));
    m_store.Run(QStringLiteral("rmdir ") + q(aside));
    return true;
}

// Locks this process took but could not give back (the connection broke during the save): they are
// its own, so it breaks them at once instead of waiting for them to grow stale.
QSet<QByteArray>& unreleasedLocks() {
    static QSet<QByteArray> locks;
    return locks;
}

bool CatalogueLock::acquire() {
    return take(timing().waitMs, false);
}

bool CatalogueLock::acquireQuietly(int maxMs) {
    return take(maxMs, true);
}

bool CatalogueLock::take(int waitMs, bool quiet) {
    if (m_held)
        return true;
    TransferControl& inet = m_store.inet();
    Dialogs& d = m_store.dialogs();
    const Timing& t = timing();
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer emptySeen; // a lock folder without a holder: its maker died before writing one
    QString holderName;
    bool told = false;
    int refusedWithoutLock = 0;
    for (;;) {
        if (m_store.Run(QStringLiteral("mkdir ") + q(QLatin1String(kFolder)))) {
            // Taken: say who holds it. A failure here leaves a lock without holder, which others
            // break after the stale age; try to give it back at once instead.
            const QByteArray holder = runState().CurrentUserName.toUtf8() + "\r\n" +
                                      QByteArray::number(QDateTime::currentSecsSinceEpoch()) + "\r\n" +
                                      QByteArray::number(QRandomGenerator::global()->generate64(), 16) +
                                      "\r\n";
            const QString local = QLatin1String(kLocalHolder);
            QString error;
            const bool written = WriteWholeFile(local, holder, &error) &&
                                 m_store.Run(QStringLiteral("send ") + q(local) + QLatin1Char(' ') +
                                             q(QLatin1String(kHolder)));
            QFile::remove(local);
            if (!written) {
                const QString why = error.isEmpty() ? inet.lastError() : error;
                m_store.Run(QStringLiteral("rmdir ") + q(QLatin1String(kFolder)));
                if (told)
                    d.status(QString());
                d.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
                return false;
            }
            m_held = true;
            m_holder = holder;
            if (told)
                d.status(QString());
            return true;
        }
        if (!hostAnswered(inet)) {
            if (told)
                d.status(QString());
            d.message(inet.lastError(), Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
        const QString refusal = inet.lastError();
        const Holder h = readHolder();
        if (!h.read && !lockFolderExists()) {
            // The host refused the folder for another reason than an existing lock (a freed lock
            // would let the next try through, so this counts only when it repeats).
            if (++refusedWithoutLock >= 3) {
                if (told)
                    d.status(QString());
                d.message(LockRefusedMessage(refusal), Dialogs::Icon::Critical, Dialogs::Ok);
                return false;
            }
            continue;
        }
        refusedWithoutLock = 0;
        if (h.read) {
            emptySeen.invalidate();
            holderName = h.name;
            const qint64 age = QDateTime::currentSecsSinceEpoch() - h.since;
            const bool ours = unreleasedLocks().contains(h.bytes);
            if ((ours || age > t.staleSeconds) && tryBreak(h)) {
                unreleasedLocks().remove(h.bytes);
                continue;
            }
        } else {
            if (!emptySeen.isValid())
                emptySeen.start();
            else if (emptySeen.elapsed() > qint64(t.staleSeconds) * 1000 && tryBreak(h))
                continue;
        }
        if (waited.elapsed() > waitMs) {
            if (told)
                d.status(QString());
            if (!quiet)
                d.message(TimeoutMessage(holderName), Dialogs::Icon::Warning, Dialogs::Ok);
            return false;
        }
        if (!told || h.read) {
            d.status(WaitingText(holderName));
            told = true;
        }
        pause();
    }
}

void CatalogueLock::release() {
    if (!m_held)
        return;
    m_held = false;
    m_store.Run(QStringLiteral("delete ") + q(QLatin1String(kHolder)));
    if (!m_store.Run(QStringLiteral("rmdir ") + q(QLatin1String(kFolder))) &&
        m_store.inet().lastReplyCode() == 0)
        unreleasedLocks().insert(m_holder);
}

} // namespace krtp
