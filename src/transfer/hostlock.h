#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <functional>

namespace krtp {

class Dialogs;
class TransferControl;

// Serialises changes of shared files among this program's clients: a lock folder in the control
// folder, which the host creates for exactly one client. A small file inside names the holder and
// carries a token, so a waiting member is told whom they wait for. A lock's age is measured on the
// observer's own clock (how long it has seen the same token), never on the holder's, and nobody
// removes a lock whose token is not their own. Clients that do not know the lock ignore the folder;
// the read-back after every save catches their saves.
class HostLock {
public:
    struct Timing {
        int waitMs = 60000;     // give up after this long: longer than a dead holder can block
        int staleSeconds = 25;  // the same token seen this long on our clock: its holder has died
        int refreshSeconds = 8; // a holder still working after this long writes a fresh token
        int retryMinMs = 150;   // randomised pause between tries
        int retryMaxMs = 600;
    };
    // Process-wide, so tests can shorten them.
    static Timing& timing();

    // Runs one command and waits for it; the default sends it straight through the control.
    using Runner = std::function<bool(const QString& command)>;

    // folder: the lock folder's absolute host path ("/krg/_files.lock"); subject: what it guards, in
    // the member's words ("the shared file list"), for the waiting and refusal texts.
    HostLock(TransferControl& inet, Dialogs& dialogs, const QString& folder, const QString& subject,
             Runner run = {});
    ~HostLock();
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

    // Takes the lock, waiting for another holder. False (after telling the member) when the wait ran
    // out or the host could not be reached; nothing on the host was changed then.
    bool acquire();
    // Takes the lock like acquire, but waits at most maxMs and tells nobody when the wait runs out.
    bool acquireQuietly(int maxMs);
    // While held: writes a fresh token when the last one is older than the refresh period, so
    // waiting members see the holder is alive. Cheap to call between the steps of long work.
    void keepAlive();
    // Gives the lock back (only when the token in the folder is still ours); also done by the destructor.
    void release();
    bool held() const { return m_held; }

    QString folder() const { return m_folder; }
    QString holderPath() const { return m_folder + QStringLiteral("/holder.txt"); }

    static QString WaitingText(const QString& holder, const QString& subject);
    static QString TimeoutMessage(const QString& holder, const QString& subject);
    static QString LockRefusedMessage(const QString& folder, const QString& subject, const QString& reply);

    // Local scratch file for the holder text; starts with "_files" so no list offers it as a shared file.
    static constexpr char kLocalHolder[] = "_files.lock.txt";

private:
    struct Holder {
        bool read = false;
        QString name;
        QByteArray bytes;
    };
    bool take(int waitMs, bool quiet);
    bool run(const QString& command);
    bool writeHolder(QString* error);
    Holder readHolder(const QString& path);
    bool tryBreak(const Holder& seen);
    bool folderExists();
    void pause();

    TransferControl& m_inet;
    Dialogs& m_dialogs;
    QString m_folder;
    QString m_subject;
    Runner m_run;
    bool m_held = false;
    QByteArray m_holder; // what we wrote into the holder file
    QElapsedTimer m_written;
};

} // namespace krtp
