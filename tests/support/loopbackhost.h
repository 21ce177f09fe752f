#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

// A real FTP server (pyftpdlib) and a plain HTTP server on 127.0.0.1, serving one temporary root
// seeded from a folder. Ports are chosen by the system. Stopped by stop() or the destructor.
class LoopbackHost {
public:
    LoopbackHost();
    ~LoopbackHost();
    LoopbackHost(const LoopbackHost&) = delete;
    LoopbackHost& operator=(const LoopbackHost&) = delete;

    // Copies seedFolder (when given) into a fresh root and starts both servers. Also exports the
    // KRTP_* variables and reloads the site configuration of this process.
    bool start(const QString& seedFolder = {}, QString* error = nullptr);
    // Limits data transfers to bytesPerSecond (0: no limit); takes effect at the next start().
    void setThrottle(int bytesPerSecond) { m_throttle = bytesPerSecond; }
    // A folder below the root where the host refuses every change; takes effect at the next start().
    void addReadOnlyFolder(const QString& relative) { m_readOnly << relative; }
    // The host closes control connections idle this long; takes effect at the next start().
    void setIdleTimeout(int seconds) { m_idleTimeout = seconds; }
    // Behave as an older host without MLST/MLSD; takes effect at the next start().
    void setWithoutMachineListings(bool on) { m_noMlsx = on; }
    // Faults the running host shows from now on, as JSON (see tools/loopback_host.py): passing
    // refusals, a latency per command, a catalogue swapped right after an upload. Empty: none.
    void setFaults(const QByteArray& json);
    void stop();
    bool running() const;

    QString root() const { return m_root ? m_root->path() : QString(); }
    int ftpPort() const { return m_ftpPort; }
    int httpPort() const { return m_httpPort; }
    QString ftpHost() const;
    QString baseUrl() const;
    static QString user() { return QStringLiteral("velmar"); }
    static QString password() { return QStringLiteral("tolbek"); }

    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;
    void write(const QString& relative, const QByteArray& data);
    void exportEnvironment() const;

    static QString scriptPath();
    static QString seedPath(const QString& name); // tests/seeds/<name>

private:
    std::unique_ptr<QTemporaryDir> m_root;
    QTemporaryDir m_control; // beside the root, so no client can reach the faults file
    std::unique_ptr<QProcess> m_process;
    int m_ftpPort = 0;
    int m_httpPort = 0;
    int m_throttle = 0;
    QStringList m_readOnly;
    int m_idleTimeout = 0;
    bool m_noMlsx = false;
};

// Copies a folder tree; false on the first failure.
bool copyTree(const QString& from, const QString& to);

} // namespace krtp::test
