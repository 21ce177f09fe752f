#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace krtp {

class Dialogs;
class TransferControl;

// The lock folder that serialises changes of the shared files other than the catalogue (account
// file, access lists, news pages) among this program's clients.
inline constexpr char kSharedLockFolder[] = "/krg/_shared.lock";

// What a change does with the host's current content of a shared file.
struct SharedFileEdit {
    // The file's absolute host path ("/krg/_files.dat", "/news/index.html").
    QString hostPath;
    // The local copy (relative to the working directory, inside the member's folder) that receives
    // the fresh content and, before the upload, the changed one; its previous content is replaced.
    QString localCopy;
    // The member's words for the file, in messages ("the member accounts", "the news page news.html").
    QString subject;
    // Builds the new content from what is on the host now. exists is false only when the host lists
    // the file as absent. Returns the bytes to save, or nothing (with error set) to refuse; bytes equal
    // to current mean nothing to send. May run more than once (after another client's save).
    std::function<std::optional<QByteArray>(const QByteArray& current, bool exists, QString& error)> apply;
    // Send a new file when the host has none (otherwise a missing file is a failure).
    bool createMissing = false;
};

struct SharedFileResult {
    bool ok = false;
    bool unchanged = false; // apply asked for nothing to send
    QString error;          // why not, already shown to the member unless quiet
    QByteArray saved;       // what is on the host now (after a successful save or an unchanged one)
};

// One change of a shared file: take the shared lock, fetch the file fresh, apply the edit, upload it
// with the ".backup" exchange, read it back and give the lock back. When the read-back shows that a
// client without the lock saved in between, the edit runs again on what is there now (a few times).
// A refused download of a listed file is a failure, never an absent file. Failures are shown through
// dialogs (error icon) unless quiet.
SharedFileResult ChangeSharedFile(TransferControl& control, Dialogs& dialogs, const SharedFileEdit& edit,
                                  bool quiet = false);

// Fetches a host file into local, telling a missing file (listed as absent: *exists false, true
// returned) from a refused or broken download (false, error set). control may be anywhere.
bool FetchHostFile(TransferControl& control, const QString& hostPath, const QString& local, bool* exists,
                   QString* error);

} // namespace krtp
