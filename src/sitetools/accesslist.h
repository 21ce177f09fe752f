#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// A member's web-site access list, the host file krg/<member name>.dat: either exactly
// "*full access*", or one host path per line (CR LF), where a line ending in "*add files*" or
// "*delete files*" grants adding or deleting in that folder. Matching ignores case; "\" reads as "/".
class AccessList {
public:
    static constexpr char kFullAccess[] = "*full access*";
    static constexpr char kAddFiles[] = "*add files*";
    static constexpr char kDeleteFiles[] = "*delete files*";

    // The host path of a member's list. The member's name is used as stored in the account file, for
    // reading and for writing back, so both go to the same file on a host whose names are
    // case-sensitive. Empty when the name cannot be part of a path.
    static QString PathFor(const QString& memberName);

    AccessList() = default;
    // The content as downloaded: HTML (any "<") reads as empty, "\" becomes "/", and the exact text
    // "*full access*" (nothing before or after) is the unrestricted form.
    static AccessList FromContent(const QString& content);
    static AccessList Unrestricted();

    bool fullAccess() const { return m_full; }
    const QString& text() const { return m_text; }

    // Folder keys the tree shows for a restricted member, in order: "images/", then every
    // "/"-terminated prefix of every line with its spelling from the list. Names that could leave
    // the site folder are skipped together with everything below them.
    QStringList folderKeys() const;

    // What a restricted member sees in the folder with key folderKey.
    struct FolderView {
        struct File {
            QString name;     // in lower case, as shown
            QString hostPath; // spelt as the list has it, for the host and the mirror
        };
        QList<File> files;
        bool canAdd = false;
        bool canDelete = false;
    };
    // memberName gives the name GIF ("<name>.gif" in lower case) that "images/" always shows.
    FolderView folder(const QString& folderKey, const QString& memberName) const;

    // Registering and unregistering a file: the list trimmed, then the host path appended on a line
    // of its own, or the lines equal to it (ignoring case) removed.
    void addPath(const QString& hostPath);
    void removePath(const QString& hostPath);

private:
    QString m_text;
    bool m_full = false;
};

} // namespace krtp
