#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace krtp {

// Process-wide values every window reads; written only by the owners named beside them.
struct RunState {
    QString LocalFolder; // absolute, ends in "/"; also the working directory (start-up, local-folder window)
    QString CurrentUserName;     // as stored in the account file; empty until login
    quint8 UserLevel = 0;        // 1 Locked Out, 2 Read Only, 3 Full Access, 4 Administrator
    bool NoReadOnly = false;     // local copies are never marked read-only
    QString ProxyServer;         // "name:port", empty for a direct connection
    QString ExternalEditorsFile; // full path of "external editors.ini"
    QStringList MemberNames;     // the account file's names at login (login)
};

RunState& runState();

enum UserLevels : quint8 {
    LevelLockedOut = 1,
    LevelReadOnly = 2,
    LevelFullAccess = 3,
    LevelAdministrator = 4
};

inline constexpr int kProgramMajor = 2;
inline constexpr int kProgramMinor = 0;
inline constexpr int kProgramRevision = 5;

QString GetProgramVersion();
// True when this program is not older than version ("major.minor.revision", parts may be missing).
bool CheckProgramVersion(const QString& version);
bool IsSuperUser();

// SetFileReadOnly with the member's never-read-only preference of the run-time state.
void SetFileReadOnly(const QString& path, bool readOnly, bool force);

} // namespace krtp
