#pragma once

#include "platform/consoledialogs.h"
#include "sitetools/exploreractions.h"
#include "sitetools/siteexplorer.h"
#include "transfer/transfercontrol.h"

#include <QStringList>
#include <memory>

namespace krtp::cli {

// What krtp-cli site and edit need: a logged-in member, the local folder as working directory,
// console dialogs and the explorer with its actions on their own transfer control.
struct SiteSession {
    ConsoleDialogs consoleDialogs;
    TransferControl inet;
    SiteExplorer explorer{inet};
    ExplorerActions actions{explorer};

    explicit SiteSession(bool answerYes) : consoleDialogs(answerYes, stderr) {}
    ~SiteSession();

    // Shows the folder of hostPath and finds its entry (by name, ignoring case, or by host path).
    // Prints why not and returns an empty key when the member cannot see it.
    QString findEntry(const QString& hostPath);
};

// Takes the shared options (--user, --password, --proxy, --local-folder, --yes) out of args, logs
// in, enters the local folder and opens the explorer. Returns 0, or the exit code to end with after
// printing why. Call it after turning local file arguments into absolute paths.
int OpenSiteSession(QStringList& args, std::unique_ptr<SiteSession>& session, const char* usage);

// Arguments split into those that are not options, in order, and the options with their values.
void SplitArguments(const QStringList& args, QStringList& positional, QStringList& options);

// Local file arguments resolved against the directory krtp-cli was started in.
QString AbsoluteArgument(const QString& path);

} // namespace krtp::cli
