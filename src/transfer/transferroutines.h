#pragma once

#include "transfer/mirrorpath.h"

#include <QString>

namespace krtp {

class TransferControl;

// Passed as the text of GetFileFromServer: store the file only.
inline constexpr char kSaveToFile[] = "[savetofile]";

// Upload the mirror copy of a site file, keeping the host's previous copy as ".backup".
bool SendFileToServer(TransferControl& control, const QString& relativePath);
// Download a site file into the mirror, keeping the previous local copy as ".backup". text is in/out:
// kSaveToFile on entry stores only; any other value is replaced by the file's text.
bool GetFileFromServer(TransferControl& control, const QString& relativePath, QString& text);
bool DeleteFileFromServer(TransferControl& control, const QString& relativePath);

// Fetches one control-folder file (in "/krg" on the host) into the working directory over a fresh
// connection.
bool GetFile(TransferControl& control, const QString& pstrFileName);

} // namespace krtp
