#pragma once

// A member's check-out and check-in through krtp-cli against the host the KRTP_* environment names,
// with names that hosts reading LIST's argument as a wildcard pattern would mistake, checked byte by
// byte in the host's folder.
#include "accounts/accountfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

class StoreScenario {
public:
    struct Result {
        int code = -1;
        QByteArray out;
        QByteArray err;
    };

    static QStringList names() {
        return {QStringLiteral("{x}.txt"), QStringLiteral("b*c.txt"), QStringLiteral("q?[1].txt"),
                QStringLiteral("my page.html")};
    }
    static QByteArray content(const QString& name, int version) {
        return name.toUtf8() + " version " + QByteArray::number(version) + "\r\n";
    }
    static QByteArray catalogueLine(const QString& name, int version, const QString& controller,
                                    const QString& comment) {
        return "\"" + name.toUtf8() + "\"," + QByteArray::number(version) + ",\"" + controller.toUtf8() +
               "\",\"\",\"\",\"" + comment.toUtf8() + "\"\r\n";
    }

    // Fills hostRoot/krg: the account file (member Alda, password "a1"), the catalogue and the files,
    // writable by whoever serves them. "bXc.txt" is there too, for a pattern to match by mistake.
    static void seed(const QString& hostRoot) {
        QDir(hostRoot).mkpath(QStringLiteral("krg"));
        write(hostRoot, QStringLiteral("_files.dat"),
              EncodeAccountRecord({QStringLiteral("Alda"), QStringLiteral("a1"), 3}));
        QByteArray catalogue = "2.0.5\r\n" + QByteArray::number(names().size()) + "\r\n";
        for (const QString& n : names()) {
            catalogue += catalogueLine(n, 1, {}, {});
            write(hostRoot, n, content(n, 1));
        }
        write(hostRoot, QStringLiteral("_files.txt"), catalogue);
        write(hostRoot, QStringLiteral("bXc.txt"), "not b*c.txt");
    }

    // Runs "krtp-cli store ARGS" as Alda in her own local folder and settings.
    Result run(const QStringList& args) { return finish(start(args)); }
    // Any subcommand ("site", "news", "users"), as the member given, in the same folder and settings.
    Result runAs(const QString& user, const QString& password, const QStringList& subcommandAndArgs) {
        return finish(start(subcommandAndArgs, user, password));
    }

    // The same, started and left running; finish() waits for it.
    std::unique_ptr<QProcess> start(const QStringList& args) {
        return start(QStringList{QStringLiteral("store")} + args, QStringLiteral("Alda"),
                     QStringLiteral("a1"));
    }
    std::unique_ptr<QProcess> start(const QStringList& subcommandAndArgs, const QString& user,
                                    const QString& password) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("KRTP_PASSWORD"), password);
        p->setProcessEnvironment(env);
        p->start(qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"),
                 subcommandAndArgs + QStringList{QStringLiteral("--user"), user,
                                                 QStringLiteral("--local-folder"), m_local.path()});
        return p;
    }
    QString localFolder() const { return m_local.path(); }
    static Result finish(const std::unique_ptr<QProcess>& p) {
        if (!p->waitForFinished(120000)) {
            p->kill();
            p->waitForFinished();
            return {};
        }
        return {p->exitCode(), p->readAllStandardOutput(), p->readAllStandardError()};
    }

    QByteArray local(const QString& name) const { return readFile(m_local.filePath(name)); }
    // The member's configuration folder (XDG_CONFIG_HOME): site.ini and known_hosts live in KRtp/.
    QString configFolder() const { return m_config.path(); }
    void setLocal(const QString& name, const QByteArray& data) const {
        QFile::setPermissions(m_local.filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        QFile f(m_local.filePath(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(data);
    }
    static QByteArray hostFile(const QString& hostRoot, const QString& name) {
        return readFile(hostRoot + QStringLiteral("/krg/") + name);
    }

private:
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString& hostRoot, const QString& name, const QByteArray& data) {
        const QString path = hostRoot + QStringLiteral("/krg/") + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(data);
        f.close();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
    }

    QTemporaryDir m_local;
    QTemporaryDir m_config;
};

// The whole scenario; returns an empty text when every step held, else what went wrong.
inline QString RunStoreScenario(const QString& hostRoot) {
    StoreScenario s;
    const QStringList names = StoreScenario::names();
    StoreScenario::Result r = s.run(QStringList{QStringLiteral("checkout")} + names);
    if (r.code != 0)
        return QStringLiteral("check-out ended with %1: ").arg(r.code) + QString::fromUtf8(r.err);
    for (const QString& n : names) {
        if (s.local(n) != StoreScenario::content(n, 1))
            return QStringLiteral("check-out did not fetch ") + n;
        if (!StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"))
                 .contains(StoreScenario::catalogueLine(n, 1, QStringLiteral("Alda"), {})))
            return QStringLiteral("the catalogue does not show ") + n + QStringLiteral(" checked out: ") +
                   QString::fromUtf8(StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt")));
        s.setLocal(n, StoreScenario::content(n, 2));
    }
    r = s.run(QStringList{QStringLiteral("checkin")} + names +
              QStringList{QStringLiteral("-m"), QStringLiteral("second")});
    if (r.code != 0)
        return QStringLiteral("check-in ended with %1: ").arg(r.code) + QString::fromUtf8(r.err);
    const QByteArray catalogue = StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"));
    for (const QString& n : names) {
        if (StoreScenario::hostFile(hostRoot, n) != StoreScenario::content(n, 2))
            return QStringLiteral("check-in did not send ") + n;
        if (!catalogue.contains(StoreScenario::catalogueLine(n, 2, {}, QStringLiteral("Alda: second"))))
            return QStringLiteral("the catalogue does not show version 2 of ") + n + QStringLiteral(": ") +
                   QString::fromUtf8(catalogue);
    }
    if (StoreScenario::hostFile(hostRoot, QStringLiteral("bXc.txt")) != "not b*c.txt")
        return QStringLiteral("bXc.txt was changed");
    return {};
}

// After RunStoreScenario: a member in a second local folder gets the latest versions, then adds a
// new file, which the host and its catalogue then hold.
inline QString RunGetLatestAndAdd(const QString& hostRoot) {
    StoreScenario s;
    StoreScenario::Result r = s.run(
        {QStringLiteral("get"), QStringLiteral("--all"), QStringLiteral("--parallel"), QStringLiteral("3")});
    if (r.code != 0)
        return QStringLiteral("get latest ended with %1: ").arg(r.code) + QString::fromUtf8(r.err);
    for (const QString& n : StoreScenario::names())
        if (s.local(n) != StoreScenario::content(n, 2))
            return QStringLiteral("get latest did not fetch version 2 of ") + n;
    const QString added = QStringLiteral("new {page}.html");
    s.setLocal(added, "<p>added</p>\r\n");
    r = s.run({QStringLiteral("add"), added, QStringLiteral("-d"), QStringLiteral("a new page")});
    if (r.code != 0)
        return QStringLiteral("add ended with %1: ").arg(r.code) + QString::fromUtf8(r.err);
    if (StoreScenario::hostFile(hostRoot, added) != "<p>added</p>\r\n")
        return QStringLiteral("add did not send ") + added;
    const QByteArray catalogue = StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"));
    if (!catalogue.contains("\"" + added.toUtf8() + "\",1,\"\",\"Alda\",\"a new page\""))
        return QStringLiteral("the catalogue does not list ") + added + QStringLiteral(": ") +
               QString::fromUtf8(catalogue);
    return {};
}

// Three members at once, each checking out and then checking in a file of their own: every change
// reaches the host and the catalogue, none overwrites another's.
inline QString RunThreeMembersAtOnce(const QString& hostRoot) {
    const QStringList names = StoreScenario::names().mid(0, 3);
    StoreScenario members[3];
    const auto together = [&](const QString& step, auto argsOf) -> QString {
        std::unique_ptr<QProcess> running[3];
        for (int i = 0; i < 3; ++i)
            running[i] = members[i].start(argsOf(i));
        QString failure;
        for (int i = 0; i < 3; ++i) {
            const StoreScenario::Result r = StoreScenario::finish(running[i]);
            if (r.code != 0)
                failure += step + QStringLiteral(" of ") + names[i] +
                           QStringLiteral(" ended with %1: ").arg(r.code) + QString::fromUtf8(r.err);
        }
        return failure;
    };
    QString failure = together(QStringLiteral("check-out"), [&](int i) {
        return QStringList{QStringLiteral("checkout"), names[i]};
    });
    if (!failure.isEmpty())
        return failure;
    for (int i = 0; i < 3; ++i)
        members[i].setLocal(names[i], StoreScenario::content(names[i], 3));
    failure = together(QStringLiteral("check-in"), [&](int i) {
        return QStringList{QStringLiteral("checkin"), names[i], QStringLiteral("-m"),
                           QStringLiteral("third")};
    });
    if (!failure.isEmpty())
        return failure;
    const QByteArray catalogue = StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"));
    for (const QString& n : names) {
        if (StoreScenario::hostFile(hostRoot, n) != StoreScenario::content(n, 3))
            return QStringLiteral("the host lost the check-in of ") + n;
        if (!catalogue.contains(StoreScenario::catalogueLine(n, 3, {}, QStringLiteral("Alda: third"))))
            return QStringLiteral("the catalogue lost the check-in of ") + n + QStringLiteral(": ") +
                   QString::fromUtf8(catalogue);
    }
    return {};
}

} // namespace krtp::test
