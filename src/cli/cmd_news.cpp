// krtp-cli news: the pages offered to the member and posting an item, through the news window's
// operations.
#include "cli/clicommand.h"
#include "cli/membersession.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "sitetools/newsposter.h"
#include "transfer/ftpcommand.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QDir>
#include <cstdio>

namespace krtp::cli {

namespace {

const char kNewsUsage[] =
    "news pages|post PAGE --subject S --text-file F [--time-zone Z] [--at \"YYYY-MM-DD HH:MM\"] [--preview] "
    "--user NAME [--password-file FILE] [--local-folder DIR] [--proxy HOST:PORT]";

int usageError() {
    std::fprintf(stderr, "usage: krtp-cli %s\n", kNewsUsage);
    return 2;
}

// Fields come from the host's news list: no control character of theirs reaches the terminal.
QByteArray field(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return VisibleControlCharacters(t).toLocal8Bit();
}

int news(const QStringList& arguments) {
    QStringList args = arguments;
    const QString sub = args.isEmpty() ? QString() : args.takeFirst();
    if (sub != QLatin1String("pages") && sub != QLatin1String("post"))
        return usageError();
    const bool hasSubject = args.contains(QStringLiteral("--subject"));
    const QString subject = takeOption(args, QStringLiteral("--subject"));
    const QString textFile = takeOption(args, QStringLiteral("--text-file"));
    const bool hasTimeZone = args.contains(QStringLiteral("--time-zone"));
    QString timeZone = takeOption(args, QStringLiteral("--time-zone"));
    const QString at = takeOption(args, QStringLiteral("--at"));
    const bool preview = takeFlag(args, QStringLiteral("--preview"));
    QDateTime when;
    if (!at.isEmpty()) {
        when = QDateTime::fromString(at, QStringLiteral("yyyy-MM-dd HH:mm"));
        if (!when.isValid())
            return usageError();
    }
    if (sub == QLatin1String("post") && (!hasSubject || textFile.isEmpty()))
        return usageError();
    // Read before the session enters the local folder, so a relative path means what it says.
    QString newsText;
    if (!textFile.isEmpty()) {
        QByteArray data;
        QString error;
        if (!ReadWholeFile(textFile, data, &error)) {
            std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
            return 2;
        }
        newsText = DecodeText(data);
    }

    std::unique_ptr<MemberSession> session;
    QStringList positional;
    if (const int rc = OpenMemberSession(args, kNewsUsage, session, positional))
        return rc;
    if (runState().UserLevel < LevelFullAccess) {
        std::fprintf(stderr, "Posting news needs Full Access.\n");
        return 1;
    }
    NewsPoster poster(session->inet, session->consoleDialogs);
    if (when.isValid())
        poster.clock = [when] { return when; };

    if (sub == QLatin1String("pages")) {
        if (!positional.isEmpty())
            return usageError();
        if (!poster.LoadPages())
            return 1;
        for (const NewsPage& p : poster.pages()) {
            const QByteArray line =
                field(p.displayName) + '\t' + field(p.pagePath) + '\t' + field(p.templatePath) + '\n';
            std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        }
        return 0;
    }

    if (positional.size() != 1)
        return usageError();
    const QString page = positional.first();
    if (!poster.LoadPages())
        return 1;
    int index = -1;
    for (int i = 0; i < poster.pages().size() && index < 0; ++i)
        if (poster.pages().at(i).displayName.compare(page, Qt::CaseInsensitive) == 0)
            index = i;
    for (int i = 0; i < poster.pages().size() && index < 0; ++i)
        if (poster.pages().at(i).pagePath.compare(page, Qt::CaseInsensitive) == 0)
            index = i;
    if (index < 0) {
        std::fprintf(stderr, "%s is not a news page offered to you.\n", page.toLocal8Bit().constData());
        return 1;
    }
    poster.SelectPage(index);
    if (!hasTimeZone)
        timeZone = settingsStore().get(settings::PostNewsTimeZone);
    if (!poster.ComposePost(!preview, {subject, timeZone, newsText}))
        return 1;
    if (preview)
        std::printf("%s\n",
                    QDir::current().absoluteFilePath(poster.PageMirrorPath()).toLocal8Bit().constData());
    else
        std::printf("Posted to %s\n", field(poster.pagePath()).constData());
    return 0;
}

CliRegistration newsCommand({"news", kNewsUsage, news});

} // namespace

} // namespace krtp::cli
