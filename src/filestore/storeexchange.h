#pragma once

#include <QString>

namespace krtp {

class FileStore;
class TransferControl;

// The pieces every per-file operation of the store shares: the command texts of a file's exchange
// with the control folder, the existence test on the host, the local backup and the download.
namespace storecmd {
QString ChangeToControlFolder();           // cd /krg
QString List(const QString& name);         // ls N
QString Restore(const QString& name);      // rename N.backup N
QString Download(const QString& name);     // get N N
QString Upload(const QString& name);       // send N N
QString MoveAside(const QString& name);    // rename N N.backup
QString DeleteBackup(const QString& name); // delete N.backup
QString Delete(const QString& name);       // delete N
} // namespace storecmd

// A catalogue name that can safely be used as a local file name in the local folder and as a plain
// name in the control folder: no folder separators, not "." or "..", no control characters, and not
// the catalogue itself or its backup, which a check-in would otherwise send over the catalogue, nor
// any other file the program keeps in the control folder (an access list, the account file).
bool IsSharedFileName(const QString& name);

// After the "ls" of an upload: true unless the host lists the file at another size than the local
// copy (a host that cut or replaced the upload). A host that does not say the size passes.
bool ListedSizeMatches(TransferControl& inet, const QString& name);

// "N does not exist on the local computer.  Either ..." shown when a download left no local copy.
QString MissingLocalFileMessage(const QString& name);

// Keeps the member's copy of N aside while the server's copy downloads over it. The download replaces
// N only once the whole file has arrived, so until then N (content and read-only attribute) and an
// older N.backup stay exactly as they are; a download that arrived turns the kept copy into N.backup,
// writable, as the member's previous copy. Uncommitted, the kept copy goes with this object.
class LocalBackup {
public:
    explicit LocalBackup(const QString& name) : m_name(name) {}
    ~LocalBackup();
    LocalBackup(const LocalBackup&) = delete;
    LocalBackup& operator=(const LocalBackup&) = delete;

    // False, with error(), when N exists but could not be kept aside.
    bool keep();
    // After the download arrived. False, with error(), when N.backup could not be replaced.
    bool commit();
    const QString& error() const { return m_error; }

private:
    QString m_name;
    QString m_kept; // scratch name of the kept copy, empty when there is none
    QString m_error;
};

// Sends the store's commands and tells the host's refusals apart from failures to talk to the host
// at all (no reply code), which end an operation.
class StoreExchange {
public:
    explicit StoreExchange(FileStore& store) : m_store(store) {}

    // Runs a command. False when the host could not be reached or the transfer broke down; a refusal
    // by the host (a reply code) is reported through refused().
    bool run(const QString& command);
    bool refused() const { return m_refused; }
    // The host's reply to the last refused command.
    const QString& reply() const { return m_reply; }
    const QString& error() const { return m_error; }

    // Puts the connection into the control folder unless it is there already.
    bool enterControlFolder();

    // Lists N in the control folder; exists is true when the reply names N.
    bool listFile(const QString& name, bool& exists);
    // The list, restore from the server backup and list again of check-out and get latest version.
    bool ensureOnServer(const QString& name, bool& exists);

    // Downloads N; once it arrived, the member's previous copy is N.backup (replacing an older one).
    // False with error() set when a local file cannot be kept or renamed or the host cannot be
    // reached, and with cancelled() when the member cancelled it. Whenever N did not arrive (a
    // refusal, a failure, a cancel), the local folder is as it was.
    bool download(const QString& name);
    bool cancelled() const { return m_cancelled; }

    // Pause before looking again at a file another member's check-in may have moved aside.
    static constexpr int kRetryPauseMs = 400;

private:
    void pauseBriefly();

    FileStore& m_store;
    bool m_refused = false;
    bool m_cancelled = false;
    QString m_error;
    QString m_reply;
};

} // namespace krtp
