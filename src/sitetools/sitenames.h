#pragma once

#include <QString>

namespace krtp {

// Names that come from the host (listings) or from an access list are untrusted. These tests decide
// whether such a name may become a list entry, a local path or part of an FTP command.

// One path segment: not empty or blank, not "." or "..", no "/", "\", ":" (drive), double quote
// (it would break the command quoting) and no control character.
bool IsSafeSiteName(const QString& name);
// A folder key: empty (the site root) or safe segments each followed by "/".
bool IsSafeFolderKey(const QString& key);
// A host path below the site root ("/" or "\" separators): safe folder segments and a safe file name.
bool IsSafeHostPath(const QString& path);

// Splits a host path at its last separator into the folder key ("a/b/", "" for the root) and the
// file name; "\" is read as "/".
void SplitHostPath(const QString& path, QString& folderKey, QString& name);

// Whether a host path names one of the files the program keeps in the control folder "krg" (the
// member names of the run-time state give the access lists).
bool IsControlFilePath(const QString& hostPath);
// Why the logged-in member may not write this host path: the control folder's files are the
// program's, and only administrators reach them through the explorer or the editor. Empty when the
// member may.
QString ControlFileRefusal(const QString& hostPath);

// The local mirror path of a host path, relative to the local folder: "VelmarFTP/a/b/c.txt".
QString LocalMirrorPath(const QString& hostPath);
// The mirror folder of a folder key, relative to the local folder: "VelmarFTP/a/b/".
QString LocalMirrorFolder(const QString& folderKey);

} // namespace krtp
