#pragma once

#include <QString>

namespace krtp {

// What the preview pane shows for a file of the local folder (a name relative to the working
// directory): its picture (".gif"), its text read as Latin-1 (".txt"), or a notice.
struct PreviewContent {
    enum Kind { Nothing, Picture, Text } kind = Nothing;
    QString text;        // for Text
    QString picturePath; // for Picture
};

// Nothing when a text file cannot be read: the pane then keeps what it showed.
PreviewContent PreviewFor(const QString& fileName);

QString MissingLocalFileNotice(const QString& fileName);

} // namespace krtp
