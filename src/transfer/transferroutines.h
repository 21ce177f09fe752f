#pragma once

#include <QString>

namespace krtp {

class TransferControl;

// Passed as the text of GetFileFromServer: store the file only.
inline constexpr char kSaveToFile[] = "[savetofile]";

// A site file's places: local mirror (relative to the working directory, below "VelmarFTP/") and host.
struct MirrorPath {
    bool ok = false;
    QString error;       // why the path was refused
    QString localFolder; // "VelmarFTP/a/b/"
    QString hostFolder;  // "/a/b/"
    QString fileName;    // "c.txt"
    QString localFile() const { return localFolder + fileName; }
    QString hostFile() const { return hostFolder + fileName; }
};

// Maps a path below the site root ("/" or "\" separators). Paths that would leave the mirror root
// (".." segments, absolute or drive paths) are refused.
MirrorPath MapMirrorPath(const QString& relativePath);

// Upload the mirror copy of a site file, keeping the host's previous copy as ".backup".
bool SendFileToServer(TransferControl& control, const QString& relativePath);
// Download a site file into the mirror, keeping the previous local copy as ".backup". text is in/out:
// kSaveToFile on entry stores only; any other value is replaced by the file's text.
bool GetFileFromServer(TransferControl& control, const QString& relativePath, QString& text);
bool DeleteFileFromServer(TransferControl& control, const QString& relativePath);

// Why the last of these routines to fail did so: the text it showed the member; taking it clears it.
// A caller that tells the outcome elsewhere (a status line) takes it before and after its work.
QString TakeRoutineError();

// Fetches one control-folder file (in "/krg" on the host) into the working directory over a fresh
// connection.
bool GetFile(TransferControl& control, const QString& pstrFileName);

} // namespace krtp
