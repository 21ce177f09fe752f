// krtp-cli whoami: the login's credential check against the configured site.
#include "app/login.h"
#include "cli/clicommand.h"
#include "config/siteconfig.h"
#include "transfer/transfercontrol.h"

#include <cstdio>

namespace krtp::cli {

namespace {

int whoami(const QStringList& arguments) {
    QStringList args = arguments;
    const QString user = takeOption(args, QStringLiteral("--user"));
    QString password, passwordError;
    if (!takePassword(args, user, password, &passwordError)) {
        std::fprintf(stderr, "%s\n", passwordError.toLocal8Bit().constData());
        return 2;
    }
    const QString proxy = takeOption(args, QStringLiteral("--proxy"));
    if (user.isEmpty() || !args.isEmpty()) {
        std::fprintf(
            stderr, "usage: krtp-cli whoami --user NAME [--password-file FILE] [--proxy HOST:PORT] (password "
                    "also from KRTP_PASSWORD)\n");
        return 2;
    }
    TransferControl control;
    UseLoginProxy(control, proxy);
    const LoginCheck check = CheckCredentials(control, siteConfig().baseUrl, user, password);
    switch (check.outcome) {
    case LoginCheck::Accepted:
        std::printf("%s %d\n", check.member.name.toLocal8Bit().constData(), int(check.member.level));
        return 0;
    case LoginCheck::Rejected:
        std::fprintf(stderr, "%s\n", kInvalidLoginMessage);
        return 1;
    case LoginCheck::FetchFailed:
        std::fprintf(stderr, "%s\n", check.error.toLocal8Bit().constData());
        return 3;
    }
    return 3;
}

CliRegistration whoamiCommand({"whoami", "whoami --user NAME [--password-file FILE] [--proxy HOST:PORT]",
                               whoami});

} // namespace

} // namespace krtp::cli
