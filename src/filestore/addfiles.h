#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

class KeyedListModel;

// The add window's list apart from its widgets: which local files may be offered for adding, the
// hide list "_hidden.txt" and deleting local files. Names are plain file names in the local folder
// (the working directory).
namespace addfiles {

inline constexpr char kHideList[] = "_hidden.txt";

// Never offered, ignoring case: the catalogue copy and the hide list ("_files", "_hidden"), control
// files ("_control") and every backup (a name ending in "backup").
bool IsReservedName(const QString& name);

// The hide list's lines in file order; empty when there is no hide list.
QStringList ReadHideList();
// A name is hidden when a whole line, in lower case, equals it in lower case.
bool IsHidden(const QString& name, const QStringList& hideList);

struct Listing {
    QStringList names; // in the order the file system gave them
    QString error;     // set when the local folder or the hide list could not be read or made
};

// The local folder's plain files that are neither reserved, hidden, already in catalogued (compared
// ignoring case with the entries' texts) nor unusable as a shared file name. Creates an empty hide
// list when there is none.
Listing AddableFiles(const KeyedListModel& catalogued);

// Appends the names to the hide list, one line each ended by CR LF. False with error when the list
// could not be written.
bool HideFiles(const QStringList& names, QString* error = nullptr);

// Deletes the named local files; returns the names that could not be deleted.
QStringList DeleteLocalFiles(const QStringList& names);

// Messages of the add window and of adding files.
QString HiddenNotice();  // "files added to _hidden.txt"
QString DeletedNotice(); // "files deleted from local drive"
QString DeleteQuestion();
QString NotDeletedMessage(const QStringList& names);
QString HideFailedMessage(const QString& error);
QString ReservedNameMessage(const QString& name);
QString AlreadyCataloguedMessage(const QString& name);
QString DescriptionPrompt(const QString& name);
QString NoDescriptionMessage(const QString& name);

} // namespace addfiles

} // namespace krtp
