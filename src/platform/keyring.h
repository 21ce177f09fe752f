#pragma once

#include <QString>

#include <functional>

namespace krtp {

// The desktop's store of secrets (a keyring or wallet), where the saved login password lives when
// there is one. Implementations answer asynchronously on the calling thread; a keyring may also
// never answer (one that waits for its own unlock prompt, or a service that hangs), so callers use
// the waiting forms, which give up after timeLimit().
class Keyring {
public:
    enum class Status { Ok, NotFound, Unavailable };
    struct Answer {
        Status status = Status::Unavailable;
        QString secret; // what read() found
        QString error;  // why the keyring could not be used
        bool ok() const { return status == Status::Ok; }
    };
    using Done = std::function<void(const Answer&)>;

    static constexpr int kDefaultTimeLimitMs = 2000;

    virtual ~Keyring() = default;

    // Wait for the answer at most timeLimit(), letting the event loop run (no user input, so a
    // window cannot be used meanwhile). A keyring that answers Unavailable, or does not answer in
    // time, counts as none from then on: later calls answer Unavailable at once, so a login waits
    // for a silent keyring once at most.
    Answer read(const QString& key);
    Answer write(const QString& key, const QString& secret);
    // Removing a secret that is not there is no failure.
    Answer remove(const QString& key);

    bool usable() const { return !m_givenUp; }
    int timeLimit() const { return m_timeLimitMs; }
    void setTimeLimit(int ms) { m_timeLimitMs = ms; }

protected:
    // Each calls done once on this thread, possibly before returning, possibly never.
    virtual void startRead(const QString& key, Done done) = 0;
    virtual void startWrite(const QString& key, const QString& secret, Done done) = 0;
    virtual void startRemove(const QString& key, Done done) = 0;

private:
    Answer wait(const std::function<void(Done)>& start);

    int m_timeLimitMs = kDefaultTimeLimitMs;
    bool m_givenUp = false;
};

// The process's keyring: the one a test or front end installed, else the desktop's (when this
// build has keyring support and a session bus is there to reach it), else none (null).
Keyring* keyring();
// Installs k for the process (null: none); the caller keeps ownership.
void setKeyring(Keyring* k);

} // namespace krtp
