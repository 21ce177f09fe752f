#pragma once

#include <QString>
#include <QtGlobal>

namespace krtp {

// One catalogue entry's details while a batch operation (check-in, check-out, adding files) works
// on it. Holds values only; it never reads or writes the catalogue.
struct clsFileDetails {
    // Key of the file list entry the record belongs to (the file name in lower case). A key rather
    // than a pointer: entries move when the list is sorted or rebuilt.
    QString ListItem;
    bool DontUpdateServer = false;
    QString Name;
    QString Controller;
    qint16 CurrentVersion = 0;
    QString Comment;
    QString Description;
    QString Author;
};

} // namespace krtp
