#pragma once

#include "accounts/accountfile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace krtp {

class Dialogs;
class TransferControl;

// The account file as the accounts window reaches it: below the site root on the host, and its
// local mirror copy relative to the local folder.
inline constexpr char kAccountFileSitePath[] = "krg/_files.dat";
QString AccountMirrorPath();

// "level1" ... "level4": the list icon of a level code.
QString LevelIconKey(quint8 level);

// Which controls of the editing frame a member may use on an entry.
struct UserEditRules {
    bool name = true;        // txtUserName
    bool password = true;    // txtPassword
    bool admin = true;       // optAdmin
    bool otherLevels = true; // optFullAccess, optReadOnly, optLockedOut
    bool apply = true;       // cmdApplyToUser
};

// Super users change everything. Other administrators never rename a member or make one an
// administrator; another administrator's entry is closed to them, and their own only for the password.
UserEditRules RulesForEntry(bool superUser, const QString& currentUser, const QString& entryName,
                            quint8 entryLevel);
UserEditRules RulesForNewEntry(bool superUser);

// The level of the selected option button, tested Locked Out, Read Only, Full Access, Administrator:
// the last selected one wins; 0 when none is.
quint8 LevelFromButtons(bool lockedOut, bool readOnly, bool fullAccess, bool admin);

// Removes every character that is not an ASCII letter or digit. selStart and selLength (the
// selection, counted from 0) move with the text so the caret stays where the member left it.
QString FilterMemberName(const QString& text, int& selStart, int& selLength);

// Why the logged-in member may not turn an entry into wanted; empty when the change is allowed.
// existing is the entry's stored record, or nothing for a new entry.
QString RightsError(bool superUser, const QString& currentUser, const std::optional<AccountRecord>& existing,
                    const AccountRecord& wanted);

// The account file to save when the window loaded base, holds mine and the host holds host now:
// a record changed here and not on the host is ours; one not changed here is the host's, byte for
// byte; one changed on both sides keeps the host's version and its member's name goes to notSaved.
// Records added here are appended after the host's.
QByteArray MergeAccountFile(const QByteArray& base, const QByteArray& mine, const QByteArray& host,
                            QStringList* notSaved);

// One entry of the accounts list. stored: the entry has a record in the mirror copy; an added entry
// is not stored until it is applied.
struct UserEntry {
    QString text;
    quint8 level = 0;
    bool stored = false;
};

// The accounts window's data apart from its widgets: the list of members, read from and written to
// the mirror copy of the account file, and the upload back to the host. Entry n (from 0) is record
// n + 1 of the file.
class UserAccounts {
public:
    UserAccounts(TransferControl& control, Dialogs& dialogs);

    // Downloads the account file into the mirror and fills the list. False when the download failed;
    // the list is then empty and nothing may be sent back (an empty list must never replace the
    // members on the host).
    bool Load();
    // Fills the list from the mirror copy; a missing or unreadable copy gives an empty list.
    void FillList();
    bool loaded() const { return m_loaded; }

    const QList<UserEntry>& entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }
    // The stored record of an entry; nothing for an entry that is not stored or cannot be read.
    std::optional<AccountRecord> Record(int index) const;
    // As Record, but a record with a blank name is a free slot (the login never matches it) and
    // counts as no member: it is filled in as a new entry is.
    std::optional<AccountRecord> Member(int index) const;
    UserEditRules Rules(int index) const;

    // Adds the entry "New User" (Full Access) at the end; returns its index.
    int NewUser();

    // Writes wanted as the entry's record, after checking the member's rights and, when another
    // record carries the same name, asking whether to save it anyway. Name and password are cut to
    // their field sizes. Messages go through the dialogs; false when nothing was written.
    bool Apply(int index, const AccountRecord& wanted);

    // Saves the changes made here into the host's account file as it is now, under the shared lock
    // (the previous host copy is kept as ".backup"), and fills the list from what was saved. A member
    // another administrator changed meanwhile keeps that change: the administrator is told, and
    // notSaved() names them. False when nothing could be saved; the edits stay in the mirror copy.
    bool UpdateServer();
    const QStringList& notSaved() const { return m_notSaved; }
    // Deletes the mirror copy.
    void DiscardMirror();

    static QString duplicateNameQuestion(const QString& name);
    static QString underscoreMessage();
    static QString notSavedMessage(const QStringList& names);

private:
    TransferControl& m_control;
    Dialogs& m_dialogs;
    QList<UserEntry> m_entries;
    bool m_loaded = false;
    QByteArray m_base; // the host's account file as it was loaded
    QStringList m_notSaved;
};

} // namespace krtp
