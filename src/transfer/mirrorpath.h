#pragma once

#include <QString>

namespace krtp {

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

} // namespace krtp
