#pragma once

#include "accounts/accountfile.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "loopbackhost.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

inline const QByteArray kTeamTemplate =
    "<p>@NICKNAME@ @DATE@ @TIME@@AMPM@ @TIMEZONE@: @SUBJECT@<br>@POST@</p>\r\n";
inline const QByteArray kTeamPage = "<html><body>\r\n<!--begin-->\r\n<p>old</p>\r\n</body></html>\r\n";

// A loopback host with news pages and members, and a private local folder with its mirror root as
// the working directory.
struct NewsFixture {
    LoopbackHost host;
    QTemporaryDir seed;
    QTemporaryDir config;
    std::unique_ptr<QTemporaryDir> local;
    std::unique_ptr<SettingsStore> settings;

    bool start() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QString error;
        if (!host.start(seed.path(), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        QByteArray accounts;
        for (const AccountRecord& m : {AccountRecord{QStringLiteral("Bob"), QStringLiteral("builder"), 3},
                                       AccountRecord{QStringLiteral("Dovrin"), QStringLiteral("d"), 4},
                                       AccountRecord{QStringLiteral("Tomas"), QStringLiteral("reader"), 2}})
            accounts += EncodeAccountRecord(m);
        host.write(QStringLiteral("krg/_files.dat"), accounts);
        reset();
        return true;
    }
    // Fresh local folder and settings, the news pages as seeded, Bob logged in.
    void reset() {
        local = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(local->path());
        QDir().mkdir(QStringLiteral("VelmarFTP"));
        runState().LocalFolder = local->path() + QLatin1Char('/');
        setSettingsStore(nullptr);
        settings = std::make_unique<SettingsStore>(
            config.filePath(QFileInfo(local->path()).fileName() + QStringLiteral(".ini")));
        setSettingsStore(settings.get());
        runState().CurrentUserName = QStringLiteral("Bob");
        runState().UserLevel = LevelFullAccess;
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
