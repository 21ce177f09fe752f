#pragma once

#include <QString>

namespace krtp {

// The installed program's folder is not writable on Linux; files the program keeps "beside itself"
// (the external editors list, the default local folder) live in the per-user data folder instead:
// $XDG_DATA_HOME/KRtp, usually ~/.local/share/KRtp.
QString ProgramFolder();

inline constexpr char kMirrorRoot[] = "VelmarFTP";
inline constexpr char kExternalEditorsFileName[] = "external editors.ini";
inline constexpr char kDefaultLocalFolderName[] = "Local Folder";

} // namespace krtp
