#pragma once

#include "accounts/accountfile.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "loopbackhost.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

inline QByteArray accountFile(const QList<AccountRecord>& members) {
    QByteArray data;
    for (const AccountRecord& m : members)
        data += EncodeAccountRecord(m);
    return data;
}

// The team of the accounts tests: two super users, two other administrators and one member of each
// other level.
inline QList<AccountRecord> team() {
    return {{QStringLiteral("Velmar"), QStringLiteral("keystone"), 4},
            {QStringLiteral("Ann"), QStringLiteral("anvil"), 4},
            {QStringLiteral("Zed"), QStringLiteral("zinc"), 4},
            {QStringLiteral("Bob"), QStringLiteral("builder"), 3},
            {QStringLiteral("Tomas"), QStringLiteral("reader"), 2},
            {QStringLiteral("Greta"), QStringLiteral("closed"), 1}};
}

// A loopback host holding the team's account file, and a private local folder with its mirror root
// as the working directory.
struct AccountsFixture {
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
        reset();
        return true;
    }
    // Fresh local folder and settings, the team's account file on the host, no backup.
    void reset() {
        local = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(local->path());
        QDir().mkdir(QStringLiteral("VelmarFTP"));
        runState().LocalFolder = local->path() + QLatin1Char('/');
        setSettingsStore(nullptr);
        settings = std::make_unique<SettingsStore>(
            config.filePath(QFileInfo(local->path()).fileName() + QStringLiteral(".ini")));
        setSettingsStore(settings.get());
        host.write(QStringLiteral("krg/_files.dat"), accountFile(team()));
        QFile::remove(host.path(QStringLiteral("krg/_files.dat.backup")));
    }
    void logIn(const QString& name, quint8 level) {
        runState().CurrentUserName = name;
        runState().UserLevel = level;
    }
    QList<AccountRecord> hostAccounts() const {
        return ReadAccountRecords(host.read(QStringLiteral("krg/_files.dat")));
    }
};

} // namespace krtp::test
