#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// Keys of the file list's images, in image-list order: status circles, file-type icons (by
// extension, "." included), button pictures.
const QStringList& FileListImageKeys();

// Column keys of the file list. kColumnStatus is not shown: it keeps the status key of the last
// rebuild for operations and the command line.
namespace columns {
inline constexpr char kFileName[] = "filename";
inline constexpr char kOwner[] = "owner";
inline constexpr char kComment[] = "comment";
inline constexpr char kDesc[] = "desc";
inline constexpr char kAuthor[] = "author";
inline constexpr char kVer[] = "ver";
inline constexpr char kMyVer[] = "myver";
inline constexpr char kStatus[] = "status";
} // namespace columns

// The four colour options, read at the start of every rebuild.
struct ColourFlags {
    bool outOfDateAsRed = true;
    bool upToDateAsBlue = false;
    bool checkedOutAsGreen = false;
    bool unavailableAsYellow = false;
};

struct FileStatus {
    enum Count { CountNone, CountCheckedOut, CountOutdated };
    QString key; // "open", "old", "new", "locked", "unlocked"
    Count count = CountNone;
    bool useStatusIcon = false; // the colour option of the matching row
};

// The first matching row decides: checked out by the member (names compared ignoring case), local
// copy older, never fetched, checked out by somebody else, up to date and free.
FileStatus DecideFileStatus(const QString& controller, int catalogueVersion, int localVersion,
                            const QString& userName, const ColourFlags& flags);

// pstrDefault when pblnUseDefault is set or no image matches the file's extension (from the last
// "." on, compared ignoring case); otherwise the matching image's key as stored.
QString GetIcon(bool pblnUseDefault, const QString& pstrDefault, const QString& pstrFileName);

} // namespace krtp

namespace krtp {

// What a status key means to the member, for the tooltip on an entry's icon and the legend of the
// status icons; controller names who holds a file checked out by somebody else.
QString StatusDescription(const QString& statusKey, const QString& controller = {});
// The status keys in the order the legend shows them.
const QStringList& StatusKeys();

} // namespace krtp
