#pragma once

#include <QString>

namespace krtp {

// Read-only means no write permission bits; "normal" gives the owner write permission back and
// group/other write as the umask allows. noReadOnly is the member's never-read-only preference.
void SetFileReadOnly(const QString& path, bool readOnly, bool force, bool noReadOnly);

// A file that cannot be examined (missing) counts as read-only.
bool IsFileReadOnly(const QString& path);

// Creates the last level of path (one trailing separator is dropped); errors are ignored.
void MakeLocalFolder(const QString& path);

// Whole-file helpers; false on failure with a description in *error.
bool ReadWholeFile(const QString& path, QByteArray& data, QString* error = nullptr);
bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// Uploads never publish what lies outside the member's folder. path (absolute) lies below root
// lexically; when a symbolic link on the way makes it name a file outside root, this returns why it
// must not be sent. Otherwise empty, with *resolved set to the real file to open (a link that stays
// inside root is followed). A path outside root lexically was named by the member and is left alone.
QString LinkLeavesFolderError(const QString& path, const QString& root, QString* resolved = nullptr);

} // namespace krtp
