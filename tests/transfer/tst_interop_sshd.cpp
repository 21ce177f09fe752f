// The transfer verbs, the host key checks and a member's store work over SFTP against OpenSSH's sshd,
// which the test starts on 127.0.0.1 (internal-sftp, a key for the test account) and stops.
#include "app/login.h"
#include "config/siteconfig.h"
#include "scripteddialogs.h"
#include "sshdhost.h"
#include "storescenario.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

namespace {

struct Outcome {
    bool ok;
    QString reply;
    QString error;
};

Outcome run(TransferControl& c, const QString& command) {
    if (!c.Execute(command))
        return {false, {}, c.lastError()};
    c.waitUntilIdle();
    QString reply;
    for (QString piece = c.GetChunk(1024); !piece.isEmpty(); piece = c.GetChunk(1024))
        reply += piece;
    return {c.lastSucceeded(), reply, c.lastError()};
}

void writeKnownHosts(const QString& text) {
    const QString path = SiteConfig::knownHostsFileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text.toUtf8());
}

} // namespace

class TestInteropSshd : public QObject {
    Q_OBJECT
    QTemporaryDir work;
    SshdHost host;
    QString otherFingerprint, otherKnownLine;

private slots:
    void initTestCase() {
        if (!QFileInfo(SshdHost::sshdPath()).isExecutable())
            QSKIP("OpenSSH's sshd is not installed: the SFTP interop tests are skipped (bash scripts/dev.sh "
                  "build installs it)");
        QVERIFY(QDir::setCurrent(work.path()));
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        StoreScenario::seed(host.root());
        // A second key, for a host that changed its key and for a wrong pin.
        QString otherPublic;
        QVERIFY(SshdHost::makeKey(work.path(), QStringLiteral("other_key"), &otherFingerprint, &otherPublic));
        otherKnownLine = QStringLiteral("[127.0.0.1]:") + host.host().section(QLatin1Char(':'), 1) +
                         QLatin1Char(' ') + otherPublic;
        qInfo("sshd on %s, %s", qPrintable(host.host()),
              host.chrooted() ? "chrooted to the site" : "starting in the site's folder");
    }

    void transferVerbs() {
        host.exportEnvironment(true);
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("cd /krg")).ok);
        const QString listing = run(c, QStringLiteral("ls")).reply;
        for (const QString& n : StoreScenario::names())
            QVERIFY2(listing.contains(n + QStringLiteral("\r\n")), qPrintable(listing));
        // Existence is judged by exact names: "b*c.txt" is not "bXc.txt".
        for (const QString& n : StoreScenario::names())
            QCOMPARE(run(c, QStringLiteral("ls \"") + n + QLatin1Char('"')).reply,
                     n + QStringLiteral("\r\n"));

        QByteArray data(300 * 1024 + 1, Qt::Uninitialized);
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(i * 13 + i / 7);
        QVERIFY(writeLocal(QStringLiteral("up.bin"), data));
        QVERIFY(run(c, QStringLiteral("send up.bin \"{new} file.bin\"")).ok);
        QCOMPARE(readLocal(host.root() + QStringLiteral("/krg/{new} file.bin")), data);
        QCOMPARE(c.lastListedSize(), -1);
        QVERIFY(run(c, QStringLiteral("ls \"{new} file.bin\"")).ok);
        QCOMPARE(c.lastListedSize(), data.size());
        QVERIFY(run(c, QStringLiteral("get \"{new} file.bin\" down.bin")).ok);
        QCOMPARE(readLocal(QStringLiteral("down.bin")), data);
        QCOMPARE(run(c, QStringLiteral("size \"{new} file.bin\"")).reply, QString::number(data.size()));
        QVERIFY(run(c, QStringLiteral("rename \"{new} file.bin\" \"r*d 'q'.bin\"")).ok);
        QVERIFY(QFile::exists(host.root() + QStringLiteral("/krg/r*d 'q'.bin")));
        QVERIFY(run(c, QStringLiteral("delete \"r*d 'q'.bin\"")).ok);
        QVERIFY(!QFile::exists(host.root() + QStringLiteral("/krg/r*d 'q'.bin")));
        QVERIFY(run(c, QStringLiteral("mkdir \"new [dir]\"")).ok);
        QVERIFY(QFileInfo(host.root() + QStringLiteral("/krg/new [dir]")).isDir());
        QCOMPARE(run(c, QStringLiteral("ls \"new [dir]\"")).reply, QString());
        QVERIFY(run(c, QStringLiteral("rmdir \"new [dir]\"")).ok);
        QVERIFY(!QFileInfo::exists(host.root() + QStringLiteral("/krg/new [dir]")));
        QCOMPARE(c.currentFolder(), QStringLiteral("/krg"));
        // One SSH connection for the whole session.
        QCOMPARE(c.connectionsOpened(), 1);
        QVERIFY(run(c, QStringLiteral("quit")).ok);
        QCOMPARE(c.currentFolder(), QStringLiteral("/"));
    }

    // What the host refuses is a refusal (a reply code), never a lost connection: the store's lock
    // relies on a refused mkdir of an existing lock folder, the save on a refused rename onto a name.
    void refusals_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("lock folder exists") << QStringLiteral("mkdir /krg");
        QTest::newRow("rename onto a name") << QStringLiteral("rename /krg/{x}.txt /krg/_files.txt");
        QTest::newRow("pattern is no name") << QStringLiteral("ls /krg/b?c.txt");
        QTest::newRow("missing file") << QStringLiteral("get /krg/none.txt none.txt");
        QTest::newRow("missing folder") << QStringLiteral("cd /none");
        QTest::newRow("delete missing") << QStringLiteral("delete /krg/none.txt");
        QTest::newRow("size of a folder") << QStringLiteral("size /krg");
        QTest::newRow("upload into nothing") << QStringLiteral("send up.bin /none/up.bin");
    }

    void refusals() {
        QFETCH(QString, command);
        host.exportEnvironment(true);
        QVERIFY(writeLocal(QStringLiteral("up.bin"), "x"));
        TransferControl c;
        c.configureForSite();
        const Outcome o = run(c, command);
        QVERIFY2(!o.ok && c.lastReplyCode() == 550, qPrintable(o.error));
        QCOMPARE(StoreScenario::hostFile(host.root(), QStringLiteral("{x}.txt")),
                 StoreScenario::content(QStringLiteral("{x}.txt"), 1));
        // The session goes on after the refusal.
        QVERIFY(run(c, QStringLiteral("ls /krg/_files.txt")).ok);
        QCOMPARE(c.connectionsOpened(), 1);
    }

    // Nothing moves, not even the login, unless the host's key is the trusted one.
    void hostKeys_data() {
        QTest::addColumn<QString>("known");   // known_hosts: "", "right" or "other"
        QTest::addColumn<QString>("pin");     // pinned key: "", "right" or "other"
        QTest::addColumn<int>("state");       // lastHostKeyState
        QTest::addColumn<QString>("message"); // the start of the refusal; empty: accepted
        QTest::newRow("unknown") << ""
                                 << "" << int(TransferControl::HostKeyUnknown)
                                 << "The host's SSH key is not known yet: its fingerprint is ";
        QTest::newRow("changed") << "other"
                                 << "" << int(TransferControl::HostKeyChanged)
                                 << "The host's SSH key has changed: it is not the key that was trusted "
                                    "before (it is now ";
        QTest::newRow("wrong pin") << "right"
                                   << "other" << int(TransferControl::HostKeyNotPinned)
                                   << "The host's SSH key is not the one pinned in the site settings "
                                      "(SftpHostKey). Nothing was sent;";
        QTest::newRow("known") << "right"
                               << "" << int(TransferControl::HostKeyKnown) << "";
        QTest::newRow("pinned") << ""
                                << "right" << int(TransferControl::HostKeyUnchecked) << "";
    }

    void hostKeys() {
        QFETCH(QString, known);
        QFETCH(QString, pin);
        QFETCH(int, state);
        QFETCH(QString, message);
        host.exportEnvironment(false);
        writeKnownHosts(known == QLatin1String("right")   ? host.knownHostsLine() + QLatin1Char('\n')
                        : known == QLatin1String("other") ? otherKnownLine + QLatin1Char('\n')
                                                          : QString());
        QVERIFY(writeLocal(QStringLiteral("up.bin"), "sent"));
        TransferControl c;
        c.configureForSite();
        c.SshHostKey = pin == QLatin1String("right")   ? host.hostKeyFingerprint()
                       : pin == QLatin1String("other") ? otherFingerprint
                                                       : QString();
        const int loginsBefore = int(host.log().count(QStringLiteral("Accepted publickey")));
        const Outcome o = run(c, QStringLiteral("send up.bin /krg/sent.bin"));
        QCOMPARE(c.lastHostKeyState(), state);
        if (message.isEmpty()) {
            QVERIFY2(o.ok, qPrintable(o.error));
            QCOMPARE(readLocal(host.root() + QStringLiteral("/krg/sent.bin")), QByteArray("sent"));
            QFile::remove(host.root() + QStringLiteral("/krg/sent.bin"));
            return;
        }
        QVERIFY2(!o.ok && o.error.startsWith(message), qPrintable(o.error));
        if (state != TransferControl::HostKeyNotPinned)
            QVERIFY2(o.error.contains(host.hostKeyFingerprint()), qPrintable(o.error));
        QVERIFY(!QFileInfo::exists(host.root() + QStringLiteral("/krg/sent.bin")));
        QCOMPARE(int(host.log().count(QStringLiteral("Accepted publickey"))), loginsBefore);
    }

    // The login asks about an unknown key: No stores nothing, Yes adds it to the lines already there.
    void loginAsksAboutUnknownKey() {
        host.exportEnvironment(false);
        const QString otherHost =
            QStringLiteral("example.org ") + otherKnownLine.section(QLatin1Char(' '), 1);
        writeKnownHosts(otherHost);
        const QString question =
            QStringLiteral("The host ") + host.host() +
            QStringLiteral(" is not known yet. Its SSH key's fingerprint is:\r\n\r\n") +
            host.hostKeyFingerprint() +
            QStringLiteral("\r\n\r\nCompare it with the fingerprint your host publishes. Do "
                           "you trust this key? Yes stores it for the next logins.");
        ScriptedDialogs d;
        d.answer(Dialogs::No);
        d.answer(Dialogs::Yes);
        QString error = QStringLiteral("unset");
        QVERIFY(!SettleHostKey({}, &d, &error));
        QCOMPARE(error, QString());
        QCOMPARE(readLocal(SiteConfig::knownHostsFileName()), otherHost.toUtf8());
        QVERIFY2(SettleHostKey({}, &d, &error), qPrintable(error));
        QCOMPARE(d.texts(), QStringList({question, question}));
        QCOMPARE(d.records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(d.records().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(readLocal(SiteConfig::knownHostsFileName()),
                 (otherHost + QLatin1Char('\n') + host.knownHostsLine() + QLatin1Char('\n')).toUtf8());
        QVERIFY(d.unexpected().isEmpty());
        // From now on the key is known: no question.
        QVERIFY2(SettleHostKey({}, &d, &error), qPrintable(error));
        QCOMPARE(d.records().size(), 2);
    }

    // krtp-cli refuses an unknown key with its fingerprint; --trust-host-key stores it for the next runs.
    void commandLineTrust() {
        host.exportEnvironment(false);
        StoreScenario member;
        StoreScenario::Result r = member.run({QStringLiteral("status")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(host.hostKeyFingerprint().toUtf8()), r.err.constData());
        const QString knownHosts = member.configFolder() + QStringLiteral("/KRtp/known_hosts");
        QVERIFY(!QFileInfo(knownHosts).size());
        r = member.run({QStringLiteral("status"), QStringLiteral("--trust-host-key")});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(readLocal(knownHosts).contains(host.knownHostsLine().toUtf8()),
                 readLocal(knownHosts).constData());
        r = member.run({QStringLiteral("status")});
        QVERIFY2(r.code == 0, r.err.constData());
    }

    void storeScenario() {
        host.exportEnvironment(true);
        QString failure = RunStoreScenario(host.root());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = RunGetLatestAndAdd(host.root());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        failure = RunThreeMembersAtOnce(host.root());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void cleanupTestCase() { host.stop(); }
};

KRTP_TEST_MAIN_CORE(TestInteropSshd)
#include "tst_interop_sshd.moc"
