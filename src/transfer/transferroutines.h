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

// Why the last of these routines to fail did so: the text it showed the member; taking it clears it.
// A caller that tells the outcome elsewhere (a status line) takes it before and after its work.
QString TakeRoutineError();

// Fetches one control-folder file (in "/krg" on the host) into the working directory over a fresh
// connection.
bool GetFile(TransferControl& control, const QString& pstrFileName);

} // namespace krtp
