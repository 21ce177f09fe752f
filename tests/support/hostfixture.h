#pragma once

#include "accounts/accountfile.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "loopbackhost.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

inline QByteArray accountFile(const QList<AccountRecord>& members) {
    QByteArray data;
    for (const AccountRecord& m : members)
        data += EncodeAccountRecord(m);
    return data;
}

// A loopback host seeded with an empty control folder, a private local folder as the working
// directory and a private settings store.
struct HostFixture {
    LoopbackHost host;
    QTemporaryDir seed;
    QTemporaryDir config;
    std::unique_ptr<QTemporaryDir> local;
    std::unique_ptr<SettingsStore> settings;

    // The host's server must not run inside a local folder a test throws away.
    bool startHost() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QDir::setCurrent(QDir::tempPath());
        QString error;
        if (!host.start(seed.path(), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return true;
    }
    // A fresh local folder (with the mirror root when asked) and settings store.
    void resetLocal(bool mirrorRoot = false) {
        local = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(local->path());
        if (mirrorRoot)
            QDir().mkdir(QStringLiteral("VelmarFTP"));
        runState().LocalFolder = local->path() + QLatin1Char('/');
        setSettingsStore(nullptr);
        settings = std::make_unique<SettingsStore>(
            config.filePath(QFileInfo(local->path()).fileName() + QStringLiteral(".ini")));
        setSettingsStore(settings.get());
    }
    static void logIn(const QString& name, quint8 level) {
        runState().CurrentUserName = name;
        runState().UserLevel = level;
    }
    static void login(const QString& name, quint8 level) { logIn(name, level); }

    QString localPath(const QString& name) const { return local->filePath(name); }
    QString mirror(const QString& hostPath) const {
        return local->filePath(QStringLiteral("VelmarFTP/") + hostPath);
    }
    void setAccounts(const QList<AccountRecord>& members) {
        host.write(QStringLiteral("krg/_files.dat"), accountFile(members));
    }
    // Every file of the control folder gone, the lock too.
    void clearControlFolder() {
        QDir(host.path(QStringLiteral("krg/_files.lock"))).removeRecursively();
        QDirIterator it(host.path(QStringLiteral("krg")), QDir::Files | QDir::Hidden);
        while (it.hasNext())
            QFile::remove(it.next());
    }
    void setCatalogue(const QByteArray& data, const QByteArray& backup = {}) {
        host.write(QStringLiteral("krg/_files.txt"), data);
        if (!backup.isNull())
            host.write(QStringLiteral("krg/_files.txt.backup"), backup);
        else
            QFile::remove(host.path(QStringLiteral("krg/_files.txt.backup")));
    }
    QByteArray hostCatalogue() const { return host.read(QStringLiteral("krg/_files.txt")); }
    QByteArray hostBackup() const { return host.read(QStringLiteral("krg/_files.txt.backup")); }
    QByteArray hostFile(const QString& name) const { return host.read(QStringLiteral("krg/") + name); }
    bool hostHas(const QString& name) const { return host.exists(QStringLiteral("krg/") + name); }
    bool lockOnHost() const { return QFileInfo(host.path(QStringLiteral("krg/_files.lock"))).isDir(); }
};

} // namespace krtp::test
