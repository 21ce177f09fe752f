// krtp-cli edit: the internal editor without a window. The file is downloaded and checked as the
// editor does, its text replaced by a local file's, normalised and sent.
#include "cli/clicommand.h"
#include "cli/sitesession.h"
#include "sitetools/editfile.h"
#include "sitetools/sitetext.h"
#include "util/fileutil.h"

#include <cstdio>

namespace krtp::cli {

namespace {

const char kEditUsage[] =
    "edit PATH --text-file FILE --user NAME [--password-file FILE] [--local-folder DIR] "
    "[--proxy HOST:PORT] (password also from KRTP_PASSWORD)";

int edit(const QStringList& arguments) {
    QStringList positional, options;
    SplitArguments(arguments, positional, options);
    const QString textFile = takeOption(options, QStringLiteral("--text-file"));
    if (positional.size() != 1 || textFile.isEmpty()) {
        std::fprintf(stderr, "usage: krtp-cli %s\n", kEditUsage);
        return 2;
    }
    QByteArray bytes;
    QString error;
    if (!ReadWholeFile(AbsoluteArgument(textFile), bytes, &error)) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 2;
    }
    std::unique_ptr<SiteSession> session;
    if (const int rc = OpenSiteSession(options, session, kEditUsage))
        return rc;
    // Only what the member's explorer shows can be edited.
    const QString key = session->findEntry(positional[0]);
    if (key.isEmpty())
        return 1;
    const QString hostPath = session->explorer.files().hostPath(key);
    return EditFileWithText(session->inet, hostPath, SiteText::decode(bytes).text) ? 0 : 1;
}

CliRegistration editCommand({"edit", kEditUsage, edit});

} // namespace

} // namespace krtp::cli
