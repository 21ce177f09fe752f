#pragma once

#include <QString>

namespace krtp {

class FileStore;

// Serialises catalogue changes among this program's clients: the folder "_files.lock" in the control
// folder, which the host creates for exactly one client. A small file inside names the holder and
// the time it took the lock, so a waiting member is told whom they wait for, and a lock left by a
// client that died is broken once it is older than a fixed age. Clients that do not know the lock
// ignore the folder; the read-back after every save catches their saves.
class CatalogueLock {
public:
    struct Timing {
        int waitMs = 40000;     // give up after this long
        int staleSeconds = 120; // a holder older than this has died
        int retryMinMs = 150;   // randomised pause between tries
        int retryMaxMs = 600;
    };
    // Process-wide, so tests can shorten them.
    static Timing& timing();

    explicit CatalogueLock(FileStore& store);
    ~CatalogueLock();
    CatalogueLock(const CatalogueLock&) = delete;
    CatalogueLock& operator=(const CatalogueLock&) = delete;

    // Takes the lock, waiting for another holder. False (after telling the member) when the wait ran
    // out or the host could not be reached; nothing on the host was changed then.
    bool acquire();
    // Takes the lock like acquire, but waits at most maxMs and tells nobody when the wait runs out.
    bool acquireQuietly(int maxMs);
    // Gives the lock back; also done by the destructor.
    void release();
    bool held() const { return m_held; }

    static constexpr char kFolder[] = "/krg/_files.lock";
    static constexpr char kHolder[] = "/krg/_files.lock/holder.txt";
    // Local scratch names; they start with "_files" so no list offers them as shared files.
    static constexpr char kLocalHolder[] = "_files.lock.txt";

    static QString WaitingText(const QString& holder);
    static QString TimeoutMessage(const QString& holder);
    static QString LockRefusedMessage(const QString& reply);

private:
    struct Holder {
        bool read = false;
        QString name;
        qint64 since = 0; // seconds since the epoch, UTC
        QByteArray bytes;
    };
    bool take(int waitMs, bool quiet);
    Holder readHolder();
    bool tryBreak(const Holder& seen);
    bool lockFolderExists();
    void pause();

    FileStore& m_store;
    bool m_held = false;
    QByteArray m_holder; // what we wrote into the holder file
};

} // namespace krtp
