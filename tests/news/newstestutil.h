#pragma once

#include "hostfixture.h"
#include "testfiles.h"

#include <QTest>

namespace krtp::test {

inline const QByteArray kTeamTemplate =
    "<p>@NICKNAME@ @DATE@ @TIME@@AMPM@ @TIMEZONE@: @SUBJECT@<br>@POST@</p>\r\n";
inline const QByteArray kTeamPage = "<html><body>\r\n<!--begin-->\r\n<p>old</p>\r\n</body></html>\r\n";

// The shared host fixture with news pages and members, the mirror root in the local folder.
struct NewsFixture : HostFixture {
    bool start() {
        if (!startHost())
            return false;
        setAccounts({{QStringLiteral("Bob"), QStringLiteral("builder"), 3},
                     {QStringLiteral("Dovrin"), QStringLiteral("d"), 4},
                     {QStringLiteral("Tomas"), QStringLiteral("reader"), 2}});
        reset();
        return true;
    }
    // Fresh local folder and settings, the news pages as seeded, Bob logged in.
    void reset() {
        resetLocal(true);
        logIn(QStringLiteral("Bob"), LevelFullAccess);
        host.write(QStringLiteral("krg/_news.dat"), "Main News,news.html,news_template.html,bob\r\n"
                                                    "Team News,team/news.html,team/template.html\r\n"
                                                    "Twice,twice.html,team/template.html\r\n"
                                                    "Plain,plain.html,team/template.html\r\n"
                                                    "Outside,../outside.html,team/template.html\r\n");
        host.write(QStringLiteral("news.html"), "<!--begin-->");
        host.write(QStringLiteral("news_template.html"), "@POST@");
        host.write(QStringLiteral("team/template.html"), kTeamTemplate);
        host.write(QStringLiteral("team/news.html"), kTeamPage);
        host.write(QStringLiteral("twice.html"), "<!--begin-->A<!--BEGIN-->B");
        host.write(QStringLiteral("plain.html"), "<p>no marker</p>\r\n");
        for (const char* backup :
             {"team/news.html.backup", "twice.html.backup", "plain.html.backup", "bob.gif", "bob.gif.backup"})
            QFile::remove(host.path(QLatin1String(backup)));
    }
};

} // namespace krtp::test
