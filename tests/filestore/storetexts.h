#pragma once

#include <QString>

namespace krtp::test {

// Messages of the file store as the member reads them, written out here rather than taken from the
// program, so that a changed text fails the tests. Only the parts that vary are filled in.

inline QString repairQuestion(const QString& reason, const QString& localFolder) {
    return QStringLiteral(
               "KRtp detected a corrupt or missing _files.txt on the server. This is probably the "
               "result of KRtp crashing the last time that you or another user was checking in, "
               "checking out, or adding files.\r\n\r\nKRtp will now try to restore _files.txt from "
               "a backup on the server.: If this fails, please email a copy of the "
               "_files.txt.backup file from your computer to Dovrin.  This file should be found "
               "at ") +
           localFolder + QStringLiteral(".\r\n\r\n(ERR: ") + reason +
           QStringLiteral(")\r\n\r\nPress <OK> to attempt to restore _files.txt from the server backup.");
}

inline QString incompleteCatalogueMessage(const QString& reason) {
    return QStringLiteral("The catalogue _files.txt on the server is missing or incomplete (") + reason +
           QStringLiteral("), perhaps because another member is saving it right now.  Nothing was changed "
                          "in it; please refresh the file list and try again.");
}

} // namespace krtp::test
