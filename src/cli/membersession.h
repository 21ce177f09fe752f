#pragma once

#include "platform/consoledialogs.h"
#include "transfer/transfercontrol.h"

#include <QStringList>
#include <memory>

namespace krtp::cli {

// What the news and users subcommands share: a logged-in member, the local folder as working
// directory with its mirror root, console dialogs and one transfer control.
struct MemberSession {
    ConsoleDialogs consoleDialogs;
    TransferControl inet;

    explicit MemberSession(bool answerYes);
    ~MemberSession();
    MemberSession(const MemberSession&) = delete;
    MemberSession& operator=(const MemberSession&) = delete;
};

// Takes the login options (--user, the password as takePassword finds it, --proxy, --local-folder,
// --yes) from args, logs the member in with the login's check and enters the local folder. Arguments that are
// not options go to positional. Returns 0, or the exit code after printing why: 2 usage, 1 refused login, 3
// no answer from the site.
// Logs the member in with the login's credential check; on success the run-time state holds the
// member's name, level and proxy. Returns 0, or the exit code after printing why.
int LoginMember(const QString& user, const QString& password, const QString& proxy);

int OpenMemberSession(QStringList& args, const char* usage, std::unique_ptr<MemberSession>& session,
                      QStringList& positional);

} // namespace krtp::cli
