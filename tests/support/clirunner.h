#pragma once

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace krtp::test {

struct CliResult {
    int code = -1; // -1: did not start or did not end in time
    QByteArray out;
    QByteArray err;
    // The exit code, a blank, and what the run wrote to stdout and then to stderr: one text to compare.
    QByteArray line() const { return QByteArray::number(code) + ' ' + out + err; }
};

// Words split on blanks; a word in single quotes may hold blanks ('my page.html').
inline QStringList cliWords(const QString& line) {
    QStringList out;
    QString word;
    bool quoted = false, any = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            any = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (any)
                out << word;
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        out << word;
    return out;
}

// How one krtp-cli process runs: its password goes through the environment (a null one: none at all),
// its settings in configHome when given, else the test's own.
struct CliCall {
    QString password;
    QString configHome;
    QString workDir;
};

inline void startCli(QProcess& p, const QStringList& args, const CliCall& how) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (how.password.isNull())
        env.remove(QStringLiteral("KRTP_PASSWORD"));
    else
        env.insert(QStringLiteral("KRTP_PASSWORD"), how.password);
    if (!how.configHome.isEmpty())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), how.configHome);
    p.setProcessEnvironment(env);
    if (!how.workDir.isEmpty())
        p.setWorkingDirectory(how.workDir);
    p.start(qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"), args);
}

inline CliResult finishCli(QProcess& p, int timeoutMs = 60000) {
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit)
        qWarning("krtp-cli crashed: %s", p.readAllStandardError().constData());
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

inline CliResult runCli(const QStringList& args, const CliCall& how = {}) {
    QProcess p;
    startCli(p, args, how);
    return finishCli(p);
}

// krtp-cli with the words of line as user (the login's password through the environment) in localFolder.
inline CliResult runCliAs(const QString& user, const QString& password, const QString& line,
                          const QString& localFolder) {
    return runCli(cliWords(line) + QStringList{QStringLiteral("--user"), user,
                                               QStringLiteral("--local-folder"), localFolder},
                  {password, {}, {}});
}

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
    QString settingsFile() const { return config.path() + QStringLiteral("/KRtp/KRtp.ini"); }
    QString version(const QString& f) const {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value(QStringLiteral("FileVersions/") + f.toLower(), QStringLiteral("0")).toString();
    }
    CliCall call() const { return {password, config.path(), {}}; }
    // The arguments with this member's login and local folder after them.
    QStringList args(const QStringList& words) const {
        return words +
               QStringList{QStringLiteral("--user"), name, QStringLiteral("--local-folder"), local.path()};
    }
    // run("store checkout a.txt 'my page.html'")
    CliResult run(const QString& words) const { return runCli(args(cliWords(words)), call()); }
    CliResult run(const QStringList& words) const { return runCli(args(words), call()); }
};

// "krtp-cli store ARGS" as the member.
inline CliResult runStore(const CliMember& m, const QStringList& args) {
    return m.run(QStringList{QStringLiteral("store")} + args);
}

} // namespace krtp::test
