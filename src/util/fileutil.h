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

} // namespace krtp
