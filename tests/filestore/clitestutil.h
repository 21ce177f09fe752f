#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace krtp::test {

// A member who runs krtp-cli in processes of their own: own local folder and settings.
struct CliMember {
    QString name;
    QString password;
    QTemporaryDir local;
    QTemporaryDir config;
    QString path(const QString& f) const { return local.filePath(f); }
    QByteArray read(const QString& f) const {
        QFile file(path(f));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString& f, const QByteArray& data) const {
        QFile::setPermissions(path(f), QFile::ReadOwner | QFile::WriteOwner);
        QFile file(path(f));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(data);
    }
    QString version(const QString& f) const {
        QSettings s(config.path() + QStringLiteral("/KRtp/KRtp.ini"), QSettings::IniFormat);
        return s.value(QStringLiteral("FileVersions/") + f.toLower(), QStringLiteral("0")).toString();
    }
};

struct CliResult {
    int code = -1; // -1: did not start or did not end in time
    QByteArray out;
    QByteArray err;
};

// Runs "krtp-cli store ARGS" as the member, the password passed through the environment.
inline CliResult runStore(const CliMember& m, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m.config.path());
    env.insert(QStringLiteral("KRTP_PASSWORD"), m.password);
    p.setProcessEnvironment(env);
    p.start(
        qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"),
        QStringList{QStringLiteral("store")} + args +
            QStringList{QStringLiteral("--user"), m.name, QStringLiteral("--local-folder"), m.local.path()});
    if (!p.waitForFinished(60000))
        return {};
    if (p.exitStatus() != QProcess::NormalExit)
        qWarning("krtp-cli crashed: %s", p.readAllStandardError().constData());
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace krtp::test
