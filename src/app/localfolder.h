#pragma once

#include <QString>

namespace krtp {

class SettingsStore;

// A chosen folder as the local folder is kept: with one trailing "/" (a root stays "/").
QString LocalFolderPath(const QString& chosen);

// The question the local-folder window asks before storing the choice.
QString SetLocalFolderQuestion(const QString& path);

// Stores path as Settings / LocalFolder, makes it the run-time local folder and the working
// directory. False (and *error) when the folder cannot be entered; nothing is stored then.
bool ApplyLocalFolder(SettingsStore& store, const QString& path, QString* error = nullptr);

} // namespace krtp
