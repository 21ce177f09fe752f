#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace krtp {

class TransferControl;

// A small pool of connections for many independent files: each connection takes the next command
// when it finished one, on the session it already has (no new login per file). Everything runs on the
// UI thread's event loop; the transfers themselves run on the controls' own threads.
class TransferPool : public QObject {
    Q_OBJECT
public:
    // How a job ended: ok, or the host's refusal (replyCode, e.g. 550) or another failure (replyCode 0).
    struct Outcome {
        bool ok = false;
        bool started = false; // false: cancelled (or the host could not be reached) before it began
        int replyCode = 0;
        QString error;
    };

    explicit TransferPool(int connections = kDefaultConnections, QObject* parent = nullptr);
    ~TransferPool() override;

    static constexpr int kDefaultConnections = 4;
    static constexpr int kMaxConnections = 10;
    int connections() const { return m_size; }
    void setConnections(int n);

    // Sets up each new connection (host, account, TLS); called once per control before its first use.
    std::function<void(TransferControl&)> configure;

    // Runs one command per job, at most connections() at once, and waits (processing events) until
    // all ended. Outcomes come back in job order. A connection the host does not accept (too many
    // sessions) is given up and its job goes to the others, without an error, as long as one remains.
    QList<Outcome> run(const QStringList& commands);
    // A job of several commands on one connection, one after another (say a backup, the upload and
    // its check): next(job, step, control) gives the job's command number step (0 first) once the
    // one before has ended on control, whose reply can be read; an empty text ends the job. A job
    // whose first command is empty did not start; step 0 is asked again when the job moves to another
    // connection because the host refused a session. The job's outcome is that of its last command.
    // Commands of a job already under way are still asked for after cancel(), so that it can put
    // back what it changed.
    using NextCommand = std::function<QString(int job, int step, TransferControl& control)>;
    QList<Outcome> run(int jobs, const NextCommand& next);
    // Stops every running transfer; jobs not yet started are not started.
    void cancel();
    bool running() const { return m_running; }
    // Whether the last run was cancelled.
    bool cancelled() const { return m_cancelled; }

    // Logins made and commands sent since the pool was created (for measurements).
    int logins() const;
    int commandsSent() const;

signals:
    // After each job and while bytes move: files ended of the whole run, bytes moved, bytes per second.
    void progress(int filesDone, int filesTotal, qint64 bytes, double bytesPerSecond);
    void started(int filesTotal);
    void finished();

private:
    struct Slot;
    void startNext(Slot& slot);
    void onFinished(Slot& slot);
    void emitProgress();
    QList<Outcome> runJobs(int jobs);

    int m_size;
    std::vector<std::unique_ptr<Slot>> m_slots;
    QStringList m_commands;
    NextCommand m_next; // set while a run of several-command jobs goes on
    int m_total = 0;
    QList<Outcome> m_outcomes;
    QList<int> m_queue;
    int m_done = 0;
    qint64 m_bytesDone = 0;
    bool m_running = false;
    bool m_cancelled = false;
    qint64 m_startedMs = 0;
    std::function<void()> m_wake;
};

} // namespace krtp
