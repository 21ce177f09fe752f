#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

namespace krtp {

struct SiteConfig;

// States reported by StateChanged; 12 means the reply is complete and can be read with GetChunk.
enum TransferStates {
    StateFindingHost = 1,
    StateHostFound = 2,
    StateConnecting = 3,
    StateConnected = 4,
    StateRequesting = 5,
    StateRequestSent = 6,
    StateReceivingResponse = 7,
    StateResponseReceived = 8,
    StateDisconnecting = 9,
    StateDisconnected = 10,
    StateError = 11,
    StateResponseCompleted = 12,
};

// Whether the private key file at path is protected by a passphrase (OpenSSH's own format, or PEM
// and PKCS#8 with their "ENCRYPTED" marks). False for a file that cannot be read.
bool SshKeyFileNeedsPassphrase(const QString& path);

// The window title text of a state ("KRtp - Finding Host" ...); empty for an unknown state.
QString StateText(int state);

// One FTP or SFTP session (and HTTP reads) per window. Commands run off the UI thread; the UI thread waits
// with waitUntilIdle(), which keeps processing events.
//
// Invariant: when StillExecuting() turns false, the final StateChanged (12 or 11) has already been
// delivered on the UI thread and the reply can be read with GetChunk().
class TransferControl : public QObject {
    Q_OBJECT
public:
    enum Protocols { ProtocolFTP = 2, ProtocolHTTP = 4, ProtocolSFTP = 7 };
    enum AccessTypes { AccessDirect = 1, AccessNamedProxy = 2 };

    explicit TransferControl(QObject* parent = nullptr);
    ~TransferControl() override;

    // Settings made before use.
    QString RemoteHost; // host or host:port
    QString Document;   // document path, "/" for the windows that browse
    QString UserName;
    QString Password;
    int Protocol = ProtocolFTP;
    int AccessType = AccessDirect;
    QString Proxy; // "name:port", used when AccessType is AccessNamedProxy
    // Explicit FTPS: off, when the host offers it, or always (nothing is sent before "AUTH TLS", and a
    // host without TLS is refused). Certificates are verified against the system's store unless a CA
    // file is named; a pinned key ("sha256//<base64>") replaces the store for a self-signed one.
    enum TlsModes { TlsOff = 0, TlsTry = 1, TlsRequire = 2 };
    int Tls = TlsRequire;
    QString TlsCaFile;
    QString TlsPinnedKey;
    // SFTP: the account logs in with the key file when one is named (then the password), else with
    // the password. The host's key is checked against the pinned one ("SHA256:<base64>") when set,
    // else against the known-hosts file (OpenSSH's format). Paths are below the folder the account
    // starts in, which is the site's "/".
    QString SshKeyFile;
    QString SshKeyPassphrase;
    QString SshHostKey;
    QString SshKnownHostsFile;

    // What the last SFTP connection found out about the host's key.
    enum HostKeyStates { HostKeyUnchecked, HostKeyKnown, HostKeyUnknown, HostKeyChanged, HostKeyNotPinned };
    int lastHostKeyState() const;
    // The fingerprint of the key the host offered ("SHA256:<base64>"), when it was not trusted.
    QString lastHostKeyFingerprint() const;
    // For this process: an unknown host key with this fingerprint is trusted and added to the
    // known-hosts file when a session meets it; an empty fingerprint trusts whichever key a host not
    // yet known offers. A key that differs from a known one is never trusted.
    static void TrustHostKey(const QString& fingerprint);
    // For this process: the passphrase of the site's key file, once the login found it (keyring,
    // question or environment); configureForSite() hands it to every control after that.
    static void SetKeyPassphrase(const QString& passphrase);
    static QString keyPassphrase();

    // Host, account and password from the site configuration, FTP or SFTP, and the run-time proxy when set.
    void configureForSite();
    void configureForSite(const SiteConfig& site, const QString& proxy);

    // Starts one command (CD, CDUP, PWD, LS/DIR [path], GET/RECV remote [local], PUT/SEND local [remote],
    // DELETE, RENAME old new, MKDIR, RMDIR, SIZE, QUIT/CLOSE; verbs in any letter case; arguments with
    // blanks in double quotes). Returns false, and starts nothing, while another command runs.
    bool Execute(const QString& command);
    bool StillExecuting() const;
    // The next piece (at most max characters) of the last command's reply; empty when no more.
    QString GetChunk(int max = 1024);
    // Synchronous HTTP read (the event loop keeps running); the body, or an empty array with
    // *error set when the fetch failed.
    QByteArray OpenURL(const QString& url, QString* error = nullptr);

    // Processes events until the running command ends. False on timeout (timeoutMs >= 0).
    bool waitUntilIdle(int timeoutMs = -1);
    // Ends the running command as soon as possible; it finishes with state 11.
    void Cancel();

    // Whether the last command succeeded, and why not: the host's last reply or the failure's description.
    bool lastSucceeded() const;
    QString lastError() const;
    // The host's reply code when it refused the last command (e.g. 550); 0 when it succeeded or the
    // host could not be reached at all.
    int lastReplyCode() const;
    // Whether the member cancelled the last command (Cancel), rather than the host or the link failing it.
    bool lastCancelled() const;
    // After "ls" of one file: its size as the host lists it; -1 when the host did not say (or after
    // any other command).
    qint64 lastListedSize() const;

    // Counters for measurements: control connections opened, commands sent to the host.
    int connectionsOpened() const;
    int commandsSent() const;

    // The session's remote current folder ("/" until CD, and again after QUIT).
    QString currentFolder() const;

    // Limits that keep a dead or silent host from hanging a command: time to connect (including the
    // host's greeting) and time without any progress. Defaults: kDefaultConnectSeconds, kDefaultStallSeconds.
    static constexpr int kDefaultConnectSeconds = 20;
    static constexpr int kDefaultStallSeconds = 30;
    void setTimeLimits(int connectSeconds, int stallSeconds);

signals:
    void StateChanged(int state);
    // Bytes moved by the running file transfer; total is 0 when the host did not say.
    void progress(qint64 done, qint64 total);
    // A command was accepted by Execute (the text as given), for displays of what is under way.
    void commandStarted(const QString& command);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace krtp
