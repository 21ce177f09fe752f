#pragma once

#include <QHash>
#include <QIcon>
#include <QString>

namespace krtp {

// The pictures of the explorer's image list, drawn at start: "folderclosed", "folderopen", "file",
// "filedownload", "fileupload", "filenotfound", "filedelete".
QHash<QString, QIcon> ExplorerImages();

} // namespace krtp
