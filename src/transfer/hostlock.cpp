#include "transfer/hostlock.h"

#include "config/runstate.h"
#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QDateTime>
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

// Locks this process took but could not give back (the connection broke during the release): they
// are its own, so it breaks them at once instead of waiting for itself.
QSet<QByteArray>& unreleasedLocks() {
    static QSet<QByteArray> locks;
    return locks;
}

} // namespace

HostLock::Timing& HostLock::timing() {
    static Timing t;
    return t;
}

HostLock::HostLock(TransferControl& inet, Dialogs& dialogs, const QString& folder, const QString& subject,
                   Runner run)
    : m_inet(inet), m_dialogs(dialogs), m_folder(folder), m_subject(subject), m_run(std::move(run)) {}

HostLock::~HostLock() {
    release();
}

bool HostLock::run(const QString& command) {
    if (m_run)
        return m_run(command);
    if (!m_inet.Execute(command)) {
        m_inet.waitUntilIdle();
        if (!m_inet.Execute(command))
            return false;
    }
    m_inet.waitUntilIdle();
    return m_inet.lastSucceeded();
}

QString HostLock::WaitingText(const QString& holder, const QString& subject) {
    return QStringLiteral("Waiting for ") + (holder.isEmpty() ? QStringLiteral("another member") : holder) +
           QStringLiteral(", who is changing ") + subject + QStringLiteral("\u2026");
}

QString HostLock::TimeoutMessage(const QString& holder, const QString& subject) {
    return (holder.isEmpty() ? QStringLiteral("Another member") : holder) +
           QStringLiteral(" is still changing ") + subject +
           QStringLiteral(", so nothing was changed.  Please try again in a moment.");
}

QString HostLock::LockRefusedMessage(const QString& folder, const QString& subject, const QString& reply) {
    return QStringLiteral("The host refused to create the folder ") + folder +
           QStringLiteral(", which keeps two members from changing ") + subject +
           QStringLiteral(" at once, so nothing was changed.") +
           (reply.isEmpty() ? QString() : QStringLiteral("\r\n\r\n") + reply);
}

void HostLock::pause() {
    const Timing& t = timing();
    const int ms =
        t.retryMinMs + int(QRandomGenerator::global()->bounded(qMax(1, t.retryMaxMs - t.retryMinMs)));
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

HostLock::Holder HostLock::readHolder(const QString& path) {
    Holder h;
    const QString local = QLatin1String(kLocalHolder);
    QFile::remove(local);
    if (!run(QStringLiteral("get ") + q(path) + QLatin1Char(' ') + q(local)))
        return h;
    QByteArray data;
    const bool got = ReadWholeFile(local, data);
    QFile::remove(local);
    if (!got)
        return h;
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
    return h;
}

bool HostLock::folderExists() {
    const QString back = m_inet.currentFolder();
    const bool exists = run(QStringLiteral("cd ") + q(m_folder));
    run(QStringLiteral("cd ") + q(back.isEmpty() ? QStringLiteral("/") : back));
    return exists;
}

bool HostLock::writeHolder(QString* error) {
    // The token makes every taking (and every refresh) unique, so a waiting member can tell a holder
    // that works on from one that died; the time is for people reading the file, nobody trusts it.
    const QByteArray holder = runState().CurrentUserName.toUtf8() + "\r\n" +
                              QByteArray::number(QDateTime::currentSecsSinceEpoch()) + "\r\n" +
                              QByteArray::number(QRandomGenerator::global()->generate64(), 16) + "\r\n";
    const QString local = QLatin1String(kLocalHolder);
    const bool written = WriteWholeFile(local, holder, error) &&
                         run(QStringLiteral("send ") + q(local) + QLatin1Char(' ') + q(holderPath()));
    QFile::remove(local);
    if (written) {
        m_holder = holder;
        m_written.start();
    }
    return written;
}

bool HostLock::tryBreak(const Holder& seen) {
    // Moving the folder aside is atomic: of several members who found the same dead lock, one
    // breaks it. The holder inside must still be the one found dead, or a live lock was moved.
    const QString aside =
        m_folder + QStringLiteral(".broken-") + QString::number(QRandomGenerator::global()->generate64(), 16);
    if (!run(QStringLiteral("rename ") + q(m_folder) + QLatin1Char(' ') + q(aside)))
        return false;
    const QString movedHolder = aside + QStringLiteral("/holder.txt");
    const Holder moved = readHolder(movedHolder);
    if (moved.bytes != seen.bytes) {
        // Somebody took the lock (or refreshed it) in between: give it back.
        run(QStringLiteral("rename ") + q(aside) + QLatin1Char(' ') + q(m_folder));
        return false;
    }
    run(QStringLiteral("delete ") + q(movedHolder));
    run(QStringLiteral("rmdir ") + q(aside));
    return true;
}

bool HostLock::acquire() {
    return take(timing().waitMs, false);
}

bool HostLock::acquireQuietly(int maxMs) {
    return take(maxMs, true);
}

bool HostLock::take(int waitMs, bool quiet) {
    if (m_held)
        return true;
    const Timing& t = timing();
    QElapsedTimer waited;
    waited.start();
    // How long the same holder text has stood, on this member's clock.
    QByteArray seenBytes;
    QElapsedTimer seenFor;
    QString holderName;
    bool told = false;
    int refusedWithoutLock = 0;
    const auto stopWaiting = [&] {
        if (told)
            m_dialogs.status(QString());
    };
    for (;;) {
        if (run(QStringLiteral("mkdir ") + q(m_folder))) {
            QString error;
            if (!writeHolder(&error)) {
                // A lock without holder would stop others for the stale period: give it back at once.
                const QString why = error.isEmpty() ? m_inet.lastError() : error;
                run(QStringLiteral("rmdir ") + q(m_folder));
                stopWaiting();
                m_dialogs.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
                return false;
            }
            m_held = true;
            stopWaiting();
            return true;
        }
        if (m_inet.lastReplyCode() == 0) {
            stopWaiting();
            m_dialogs.message(m_inet.lastError(), Dialogs::Icon::Critical, Dialogs::Ok);
            return false;
        }
        const QString refusal = m_inet.lastError();
        const Holder h = readHolder(holderPath());
        if (!h.read && !folderExists()) {
            // The host refused the folder for another reason than an existing lock (a freed lock
            // would let the next try through, so this counts only when it repeats).
            if (++refusedWithoutLock >= 3) {
                stopWaiting();
                m_dialogs.message(LockRefusedMessage(m_folder, m_subject, refusal), Dialogs::Icon::Critical,
                                  Dialogs::Ok);
                return false;
            }
            continue;
        }
        refusedWithoutLock = 0;
        // A lock folder without a holder file is a maker that died before writing one: it ages the same.
        if (!seenFor.isValid() || h.bytes != seenBytes || h.read != !seenBytes.isNull()) {
            seenBytes = h.read ? h.bytes : QByteArray();
            seenFor.start();
        }
        if (h.read)
            holderName = h.name;
        const bool ours = h.read && unreleasedLocks().contains(h.bytes);
        if ((ours || seenFor.elapsed() > qint64(t.staleSeconds) * 1000) && tryBreak(h)) {
            unreleasedLocks().remove(h.bytes);
            seenFor.invalidate();
            continue;
        }
        if (waited.elapsed() > waitMs) {
            stopWaiting();
            if (!quiet)
                m_dialogs.message(TimeoutMessage(holderName, m_subject), Dialogs::Icon::Warning, Dialogs::Ok);
            return false;
        }
        if (!told || h.read) {
            m_dialogs.status(WaitingText(holderName, m_subject));
            told = true;
        }
        pause();
    }
}

void HostLock::keepAlive() {
    if (!m_held || !m_written.isValid() || m_written.elapsed() < qint64(timing().refreshSeconds) * 1000)
        return;
    writeHolder(nullptr);
}

void HostLock::release() {
    if (!m_held)
        return;
    m_held = false;
    // Only our own token is removed: a member who broke this lock (we were too slow) may hold it now.
    const Holder h = readHolder(holderPath());
    if (!h.read) {
        if (m_inet.lastReplyCode() == 0)
            unreleasedLocks().insert(m_holder);
        return;
    }
    if (h.bytes != m_holder)
        return;
    run(QStringLiteral("delete ") + q(holderPath()));
    if (!run(QStringLiteral("rmdir ") + q(m_folder)) && m_inet.lastReplyCode() == 0)
        unreleasedLocks().insert(m_holder);
}

} // namespace krtp
