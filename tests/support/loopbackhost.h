#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
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
    // Fault options; each takes effect at the next start().
    // Behave as a host without EPSV/EPRT ("500 ... not understood").
    void setWithoutEpsv(bool on) { m_faults.noEpsv = on; }
    // Cut every download after this many bytes (0: never): the host replies 426, or with withSession
    // drops the control connection too, without a reply.
    void setCutDownloadsAfter(int bytes, bool withSession = false) {
        m_faults.cutAfter = bytes;
        m_faults.cutSession = withSession;
    }
    // Accept at most this many sessions at once; later logins get "421 Too many connections".
    void setMaxSessions(int n) { m_faults.maxSessions = n; }
    // Delay every reply of the host by this many milliseconds.
    void setReplyLatency(int ms) { m_faults.latencyMs = ms; }
    // Answer the next `count` downloads of a file (path below the root) with "450 busy".
    void addBusyDownloads(const QString& relative, int count) { m_faults.busy << qMakePair(relative, count); }
    // Refuse to rename onto an existing name, as some hosts do.
    void setRefuseRenameOver(bool on) { m_faults.refuseRenameOver = on; }
    // Carry out the next command with this verb (e.g. "RNTO"), then close the control connection
    // without a reply.
    void setDropAfter(const QString& verb) { m_faults.dropAfter = verb; }
    // Answer the next command with this verb "421" without carrying it out, and close the connection.
    void setCloseBefore(const QString& verb) { m_faults.closeBefore = verb; }
    // Keep a log of every command the host receives (passwords masked), read with commandLog().
    void setCommandLog(bool on) { m_faults.commandLog = on; }
    QStringList commandLog() const;

    // FTPS (explicit, AUTH TLS) with a certificate made at start by a test CA, for the name given
    // (the address by default; another name gives a certificate with the wrong host name). The HTTP
    // server then speaks HTTPS. The exported site settings require TLS and name the CA file.
    enum class Tls { Off, Offer, Require };
    void setTls(Tls mode, const QString& certificateName = QStringLiteral("127.0.0.1")) {
        m_tls = mode;
        m_tlsName = certificateName;
    }
    QString caFile() const { return m_caFile; }       // the test CA (PEM)
    QString pinnedKey() const { return m_pinnedKey; } // "sha256//<base64>" of the host key
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
    struct Faults {
        bool noEpsv = false;
        int cutAfter = 0;
        bool cutSession = false;
        int latencyMs = 0;
        QList<QPair<QString, int>> busy;
        bool refuseRenameOver = false;
        QString dropAfter;
        QString closeBefore;
        bool commandLog = false;
        int maxSessions = 0;
        QStringList arguments() const;
    } m_faults;
    std::unique_ptr<QTemporaryDir> m_scratch;
    Tls m_tls = Tls::Off;
    QString m_tlsName;
    QString m_caFile;
    QString m_pinnedKey;
};

// Copies a folder tree; false on the first failure.
bool copyTree(const QString& from, const QString& to);

} // namespace krtp::test
