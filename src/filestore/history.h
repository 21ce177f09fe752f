#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

namespace krtp {

class FileStore;

// Earlier versions of the shared files, kept beside the catalogue where older clients never look:
// "krg/_history/<file>.v<version>" holds each version that has been replaced, and
// "krg/_history/<file>.index" one line per version (the current one too):
// version, member, UTC time (ISO 8601), size, SHA-256, comment, separated by tabs. The current
// version's content is the shared file itself. A missing or unreadable index is an empty history.
namespace history {

inline constexpr int kDefaultDepth = 20;
inline constexpr int kMaxDepth = 1000;

struct Record {
    int version = 0;
    QString member;
    QDateTime utc;
    qint64 size = 0;
    QByteArray sha256; // hex
    QString comment;
};

// Paths relative to the control folder.
QString IndexPath(const QString& name);
QString VersionPath(const QString& name, int version);
QString DepthPath();

// Lines that cannot be read are left out; the result is in version order, newest last.
QList<Record> ParseIndex(const QByteArray& data);
QByteArray FormatRecord(const Record& record);
// The record of a version about to go up, from its local copy.
Record RecordOf(const QString& localFile, int version, const QString& member, const QString& comment);

} // namespace history

// The history's exchanges with the host, over the store's session (in the control folder).
class FileHistory {
public:
    explicit FileHistory(FileStore& store) : m_store(store) {}

    // The kept depth from the site-wide setting (read once per object; the default when unset).
    int depth();
    // Administrators only (checked by the caller): writes the site-wide depth.
    bool setDepth(int depth, QString* error);

    // After a check-in's upload of name as newVersion: moves the previous copy (waiting as
    // "name.backup") into the history, appends the new version's record and drops versions beyond
    // the depth. At most three commands more than deleting the backup (once the site's history folder
    // exists): the index read and written, and the version that fell off the depth deleted.
    // Never fails the check-in: false only says the history was not kept.
    bool RecordCheckIn(const QString& name, int newVersion, const QString& localFile, const QString& member,
                       const QString& comment);
    // After an add (version 1), or a check-in over a host copy that was missing: the version's record
    // starts the history.
    bool RecordNew(const QString& name, int version, const QString& localFile, const QString& member,
                   const QString& comment);

    // The versions of name, oldest first; empty when there is no readable index.
    QList<history::Record> Versions(const QString& name);
    // Fetches one version's content into localFile; current is the catalogue's version (its content
    // is the shared file itself).
    bool FetchVersion(const QString& name, int version, int current, const QString& localFile,
                      QString* error);

private:
    bool run(const QString& command);
    bool fetchIndex(const QString& name, QByteArray& data);
    bool appendRecord(const QString& name, const history::Record& record, QList<history::Record>* dropped);

    FileStore& m_store;
    std::optional<int> m_depth;
};

class StoreOperations;

// Makes an earlier version of the file at key the newest: check-out (unless the member holds it
// already), the version's content as the member's copy, and a check-in with the comment
// "Restored version N" (": note" added when given), so nothing of the history is rewritten. Refused
// with a message when another member holds the file or the version is the current one or not kept.
bool RestoreVersion(StoreOperations& ops, const QString& key, int version, const QString& note);
// Brings back a file that was removed from the store but whose history is kept (administrators
// only): the entry returns at its last kept version, checked out by the administrator, and the
// chosen version is checked in as the next one, as RestoreVersion does.
bool RestoreRemovedFile(StoreOperations& ops, const QString& name, int version, const QString& note);
QString RestoredComment(int version, const QString& note);

} // namespace krtp
