#pragma once

// What every server is put through: the transfer verbs on one session, and a member's check-out and
// check-in through krtp-cli against the host the KRTP_* environment names, with names that hosts
// reading LIST's argument as a wildcard pattern would mistake, checked byte by byte in the host's folder.
#include "accounts/accountfile.h"
#include "clirunner.h"
#include "testfiles.h"
#include "transfer/transfercontrol.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>
#include <memory>
#include <optional>

namespace krtp::test {

// A control set up for the site the KRTP_* environment names.
struct SiteControl : TransferControl {
    SiteControl() { configureForSite(); }
};

struct Outcome {
    bool ok;
    QString reply;
    QString error;
};

// One command to its end; the reply read in small pieces, as the console does.
inline Outcome run(TransferControl& c, const QString& command) {
    if (!c.Execute(command))
        return {false, {}, c.lastError()};
    c.waitUntilIdle();
    QString reply;
    for (QString piece = c.GetChunk(7); !piece.isEmpty(); piece = c.GetChunk(7))
        reply += piece;
    return {c.lastSucceeded(), reply, c.lastError()};
}

inline QByteArray pattern(qsizetype size) {
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char((i * 131 + i / 251) & 0xff);
    return data;
}

// Alda (password "a1"), a member who runs krtp-cli against the host the KRTP_* environment names, in
// her own local folder and settings.
struct StoreScenario : CliMember {
    StoreScenario() {
        name = QStringLiteral("Alda");
        password = QStringLiteral("a1");
    }

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

    // Fills hostRoot/krg: the account file (Alda), the catalogue and the files, writable by whoever
    // serves them. "bXc.txt" is there too, for a pattern to match by mistake.
    static void seed(const QString& hostRoot) {
        QByteArray catalogue = "2.0.5\r\n" + QByteArray::number(names().size()) + "\r\n";
        for (const QString& n : names()) {
            catalogue += catalogueLine(n, 1, {}, {});
            seedFile(hostRoot, n, content(n, 1));
        }
        seedFile(hostRoot, QStringLiteral("_files.dat"),
                 EncodeAccountRecord({QStringLiteral("Alda"), QStringLiteral("a1"), 3}));
        seedFile(hostRoot, QStringLiteral("_files.txt"), catalogue);
        seedFile(hostRoot, QStringLiteral("bXc.txt"), "not b*c.txt");
    }
    static QByteArray hostFile(const QString& hostRoot, const QString& name) {
        return readLocal(hostRoot + QStringLiteral("/krg/") + name);
    }

    // "krtp-cli store ARGS", started and left running; finishCli waits for it.
    std::unique_ptr<QProcess> start(const QStringList& args) const {
        auto p = std::make_unique<QProcess>();
        startCli(*p, this->args(QStringList{QStringLiteral("store")} + args), call());
        return p;
    }

private:
    static void seedFile(const QString& hostRoot, const QString& name, const QByteArray& data) {
        const QString path = hostRoot + QStringLiteral("/krg/") + name;
        writeLocal(path, data);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
    }
};

// Every transfer verb on one session of c in hostRoot/krg, seeded by StoreScenario::seed, each checked on
// the host's disk or in the working folder. A failed check ends the calling test function's check too.
inline void CheckTransferVerbs(TransferControl& c, const QString& hostRoot) {
    const QByteArray data = pattern(300 * 1024 + 7);
    QVERIFY(writeLocal(QStringLiteral("up.bin"), data) && writeLocal(QStringLiteral("empty.txt"), {}));
    QVERIFY(run(c, QStringLiteral("cd /krg")).ok);
    const QString listing = run(c, QStringLiteral("ls")).reply;
    for (const QString& n : StoreScenario::names()) {
        QVERIFY2(listing.contains(n + QStringLiteral("\r\n")), qPrintable(listing));
        // Existence is judged by exact names: "b*c.txt" is not "bXc.txt".
        QCOMPARE(run(c, QStringLiteral("ls \"") + n + QLatin1Char('"')).reply, n + QStringLiteral("\r\n"));
    }
    const QString sent = QStringLiteral("{new} file.bin"), moved = QStringLiteral("r*d 'q'.bin");
    const QString size = QString::number(data.size());
    struct Step {
        QString command;
        bool ok;
        std::optional<QString> reply; // none: not checked
        QString file; // then the file's bytes ("<missing>" when absent): on the host, or locally
        QByteArray bytes;
        bool local = false;
    };
    const QList<Step> steps{
        {QStringLiteral("ls b?c.txt"), false, QString(), {}, {}},
        {QStringLiteral("send up.bin \"") + sent + QLatin1Char('"'), true, {}, sent, data},
        {QStringLiteral("ls \"") + sent + QLatin1Char('"'), true, sent + QStringLiteral("\r\n"), {}, {}},
        {QStringLiteral("get \"") + sent + QStringLiteral("\" \"down 1.bin\""),
         true,
         {},
         QStringLiteral("down 1.bin"),
         data,
         true},
        {QStringLiteral("size \"") + sent + QLatin1Char('"'), true, size, {}, {}},
        {QStringLiteral("rename \"") + sent + QStringLiteral("\" \"") + moved + QLatin1Char('"'),
         true,
         {},
         sent,
         "<missing>"},
        // Default names: the host's base name locally, the local base name on the host.
        {QStringLiteral("get \"") + moved + QLatin1Char('"'), true, {}, moved, data, true},
        {QStringLiteral("put up.bin"), true, {}, QStringLiteral("up.bin"), data},
        {QStringLiteral("send empty.txt"), true, {}, QStringLiteral("empty.txt"), ""},
        {QStringLiteral("delete \"") + moved + QLatin1Char('"'), true, {}, moved, "<missing>"},
        {QStringLiteral("mkdir \"new [dir]\""), true, {}, {}, {}},
        {QStringLiteral("ls \"new [dir]\""), true, QString(), {}, {}},
        {QStringLiteral("rmdir \"new [dir]\""), true, {}, {}, {}},
        {QStringLiteral("ls \"new [dir]\""), false, QString(), {}, {}},
        {QStringLiteral("ls /krg/none.txt"), false, QString(), {}, {}},
    };
    for (const Step& step : steps) {
        const Outcome o = run(c, step.command);
        QVERIFY2(o.ok == step.ok, qPrintable(step.command + QStringLiteral(": ") + o.error));
        if (!step.ok)
            QVERIFY2(c.lastReplyCode() == 550, qPrintable(step.command + QStringLiteral(": ") + o.error));
        if (step.reply)
            QCOMPARE(o.reply, *step.reply);
        if (!step.file.isEmpty())
            QCOMPARE(readLocal(step.local ? step.file : hostRoot + QStringLiteral("/krg/") + step.file),
                     step.bytes);
    }
    // "ls" of one file tells its size as the host lists it; the upload is checked against that.
    QVERIFY(run(c, QStringLiteral("ls up.bin")).ok);
    QCOMPARE(c.lastListedSize(), data.size());
    QCOMPARE(c.currentFolder(), QStringLiteral("/krg"));
    QCOMPARE(c.connectionsOpened(), 1); // one session for all of it
    QVERIFY(run(c, QStringLiteral("get empty.txt \"empty 2.txt\"")).ok);
    QCOMPARE(readLocal(QStringLiteral("empty 2.txt")), QByteArray());
    QCOMPARE(c.lastListedSize(), -1); // known only right after its "ls"
    QVERIFY(run(c, QStringLiteral("quit")).ok);
    QCOMPARE(c.currentFolder(), QStringLiteral("/"));
    QFile::remove(hostRoot + QStringLiteral("/krg/up.bin"));
    QFile::remove(hostRoot + QStringLiteral("/krg/empty.txt"));
}

// The exit code of a run and, when it failed, its error output: "0 " for success.
inline QByteArray Ended(const CliResult& r) {
    return QByteArray::number(r.code) + ' ' + (r.code ? r.err : QByteArray());
}

// The whole scenario, each step checked on the host. A failed check ends the calling test function's
// check too.
inline void CheckStoreScenario(const QString& hostRoot) {
    StoreScenario s;
    const QStringList names = StoreScenario::names();
    const auto catalogue = [&] { return StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt")); };
    QCOMPARE(Ended(runStore(s, QStringList{QStringLiteral("checkout")} + names)), QByteArray("0 "));
    for (const QString& n : names) {
        QCOMPARE(s.read(n), StoreScenario::content(n, 1));
        QVERIFY2(catalogue().contains(StoreScenario::catalogueLine(n, 1, QStringLiteral("Alda"), {})),
                 catalogue().constData());
        s.write(n, StoreScenario::content(n, 2));
    }
    QCOMPARE(Ended(runStore(s, QStringList{QStringLiteral("checkin")} + names +
                                   QStringList{QStringLiteral("-m"), QStringLiteral("second")})),
             QByteArray("0 "));
    for (const QString& n : names) {
        QCOMPARE(StoreScenario::hostFile(hostRoot, n), StoreScenario::content(n, 2));
        QVERIFY2(catalogue().contains(StoreScenario::catalogueLine(n, 2, {}, QStringLiteral("Alda: second"))),
                 catalogue().constData());
    }
    QCOMPARE(StoreScenario::hostFile(hostRoot, QStringLiteral("bXc.txt")), QByteArray("not b*c.txt"));
}

// After CheckStoreScenario: a member in a second local folder gets the latest versions, then adds a
// new file, which the host and its catalogue then hold.
inline void CheckGetLatestAndAdd(const QString& hostRoot) {
    StoreScenario s;
    QCOMPARE(Ended(s.run("store get --all --parallel 3")), QByteArray("0 "));
    for (const QString& n : StoreScenario::names())
        QCOMPARE(s.read(n), StoreScenario::content(n, 2));
    const QString added = QStringLiteral("new {page}.html");
    s.write(added, "<p>added</p>\r\n");
    QCOMPARE(Ended(runStore(
                 s, {QStringLiteral("add"), added, QStringLiteral("-d"), QStringLiteral("a new page")})),
             QByteArray("0 "));
    QCOMPARE(StoreScenario::hostFile(hostRoot, added), QByteArray("<p>added</p>\r\n"));
    const QByteArray catalogue = StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"));
    QVERIFY2(catalogue.contains("\"" + added.toUtf8() + "\",1,\"\",\"Alda\",\"a new page\""),
             catalogue.constData());
}

// Three members at once, each checking out and then checking in a file of their own: every change
// reaches the host and the catalogue, none overwrites another's.
inline void CheckThreeMembersAtOnce(const QString& hostRoot) {
    const QStringList names = StoreScenario::names().mid(0, 3);
    StoreScenario members[3];
    const auto together = [&](const QStringList& args) {
        std::unique_ptr<QProcess> running[3];
        for (int i = 0; i < 3; ++i)
            running[i] = members[i].start(QStringList{args.first(), names[i]} + args.mid(1));
        QByteArray ended;
        for (int i = 0; i < 3; ++i)
            ended += Ended(finishCli(*running[i], 120000));
        return ended;
    };
    QCOMPARE(together({QStringLiteral("checkout")}), QByteArray("0 0 0 "));
    for (int i = 0; i < 3; ++i)
        members[i].write(names[i], StoreScenario::content(names[i], 3));
    QCOMPARE(together({QStringLiteral("checkin"), QStringLiteral("-m"), QStringLiteral("third")}),
             QByteArray("0 0 0 "));
    const QByteArray catalogue = StoreScenario::hostFile(hostRoot, QStringLiteral("_files.txt"));
    for (const QString& n : names) {
        QCOMPARE(StoreScenario::hostFile(hostRoot, n), StoreScenario::content(n, 3));
        QVERIFY2(catalogue.contains(StoreScenario::catalogueLine(n, 3, {}, QStringLiteral("Alda: third"))),
                 catalogue.constData());
    }
}

} // namespace krtp::test
