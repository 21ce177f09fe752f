// The transfer verbs, the host key checks and a member's store work over SFTP against OpenSSH's sshd,
// which the test starts on 127.0.0.1 (internal-sftp, a key for the test account) and stops.
#include "app/login.h"
#include "config/siteconfig.h"
#include "fakekeyring.h"
#include "scripteddialogs.h"
#include "sshdhost.h"
#include "storescenario.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

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
        QVERIFY(SshdHost::makeKey(work.path(), u"other_key"_s, &otherFingerprint, &otherPublic));
        otherKnownLine =
            u"[127.0.0.1]:"_s + host.host().section(QLatin1Char(':'), 1) + QLatin1Char(' ') + otherPublic;
        qInfo("sshd on %s, %s", qPrintable(host.host()),
              host.chrooted() ? "chrooted to the site" : "starting in the site's folder");
    }

    void transferVerbs() {
        host.exportEnvironment(true);
        SiteControl c;
        CheckTransferVerbs(c, host.root());
    }

    // What the host refuses is a refusal (a reply code), never a lost connection: the store's lock
    // relies on a refused mkdir of an existing lock folder, the save on a refused rename onto a name.
    void refusals_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("lock folder exists") << u"mkdir /krg"_s;
        QTest::newRow("rename onto a name") << u"rename /krg/{x}.txt /krg/_files.txt"_s;
        QTest::newRow("missing file") << u"get /krg/none.txt none.txt"_s;
        QTest::newRow("missing folder") << u"cd /none"_s;
        QTest::newRow("delete missing") << u"delete /krg/none.txt"_s;
        QTest::newRow("size of a folder") << u"size /krg"_s;
        QTest::newRow("upload into nothing") << u"send up.bin /none/up.bin"_s;
    }

    void refusals() {
        QFETCH(QString, command);
        host.exportEnvironment(true);
        QVERIFY(writeLocal(u"up.bin"_s, "x"));
        SiteControl c;
        const Outcome o = run(c, command);
        QVERIFY2(!o.ok && c.lastReplyCode() == 550, qPrintable(o.error));
        QCOMPARE(StoreScenario::hostFile(host.root(), u"{x}.txt"_s), StoreScenario::content(u"{x}.txt"_s, 1));
        // The session goes on after the refusal.
        QVERIFY(run(c, u"ls /krg/_files.txt"_s).ok);
        QCOMPARE(c.connectionsOpened(), 1);
    }

    // Nothing moves, not even the login, unless the host's key is the trusted one.
    void hostKeys_data() {
        QTest::addColumn<QString>("known");   // known_hosts: "", "right" or "other"
        QTest::addColumn<QString>("pin");     // pinned key: "", "right" or "other"
        QTest::addColumn<int>("state");       // lastHostKeyState
        QTest::addColumn<QString>("message"); // the start of the refusal; empty: accepted
        const auto row = [](const char* name, const char* known, const char* pin, int state,
                            const char* message = "") {
            QTest::newRow(name) << QString::fromLatin1(known) << QString::fromLatin1(pin) << state
                                << QString::fromLatin1(message);
        };
        row("unknown", "", "", TransferControl::HostKeyUnknown,
            "The host's SSH key is not known yet: its fingerprint is ");
        row("changed", "other", "", TransferControl::HostKeyChanged,
            "The host's SSH key has changed: it is not the key that was trusted before (it is now ");
        row("wrong pin", "right", "other", TransferControl::HostKeyNotPinned,
            "The host's SSH key is not the one pinned in the site settings (SftpHostKey). Nothing was sent;");
        row("known", "right", "", TransferControl::HostKeyKnown);
        row("pinned", "", "right", TransferControl::HostKeyUnchecked);
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
        QVERIFY(writeLocal(u"up.bin"_s, "sent"));
        SiteControl c;
        c.SshHostKey = pin == QLatin1String("right")   ? host.hostKeyFingerprint()
                       : pin == QLatin1String("other") ? otherFingerprint
                                                       : QString();
        const int loginsBefore = int(host.log().count(u"Accepted publickey"_s));
        const Outcome o = run(c, u"send up.bin /krg/sent.bin"_s);
        QCOMPARE(c.lastHostKeyState(), state);
        if (message.isEmpty()) {
            QVERIFY2(o.ok, qPrintable(o.error));
            QCOMPARE(readLocal(host.root() + u"/krg/sent.bin"_s), QByteArray("sent"));
            QFile::remove(host.root() + u"/krg/sent.bin"_s);
            return;
        }
        QVERIFY2(!o.ok && o.error.startsWith(message), qPrintable(o.error));
        if (state != TransferControl::HostKeyNotPinned)
            QVERIFY2(o.error.contains(host.hostKeyFingerprint()), qPrintable(o.error));
        QVERIFY(!QFileInfo::exists(host.root() + u"/krg/sent.bin"_s));
        QCOMPARE(int(host.log().count(u"Accepted publickey"_s)), loginsBefore);
    }

    // The account logs in by key file (with its passphrase), by password or by keyboard-interactive; a
    // wrong secret is refused before anything moves, with words that name what was wrong.
    void logins_data() {
        QTest::addColumn<QString>("how");     // "locked key", "password", "keyboard"
        QTest::addColumn<QString>("secret");  // passphrase or password; "right" for the true one
        QTest::addColumn<QString>("message"); // the start of the refusal; empty: accepted
        QTest::addColumn<QString>("logged");  // sshd's line for the accepted login
        const auto row = [](const char* name, const char* how, const char* secret, const char* message,
                            const char* logged = "") {
            QTest::newRow(name) << QString::fromLatin1(how) << QString::fromLatin1(secret)
                                << QString::fromLatin1(message) << QString::fromLatin1(logged);
        };
        const char* badPassphrase = "The passphrase of the key file (SftpKeyFile) ";
        row("passphrase", "locked key", "right", "", "Accepted publickey");
        row("wrong passphrase", "locked key", "open sesame: 2", badPassphrase);
        row("no passphrase", "locked key", "", badPassphrase);
        row("password", "password", "right", "", "Accepted password");
        row("wrong password", "password", "pass word:3", "The host refused the account's login.");
        row("keyboard-interactive", "keyboard", "right", "", "Accepted keyboard-interactive");
    }

    void logins() {
        QFETCH(QString, how);
        QFETCH(QString, secret);
        QFETCH(QString, message);
        QFETCH(QString, logged);
        host.exportEnvironment(true);
        SiteControl c;
        if (how == QLatin1String("locked key")) {
            c.SshKeyFile = host.lockedKeyFile();
            c.SshKeyPassphrase = secret == QLatin1String("right") ? SshdHost::keyPassphrase() : secret;
        } else {
            if (host.password().isEmpty())
                QSKIP("sshd cannot offer password logins here (needs root and a mount namespace)");
            c.SshKeyFile.clear();
            c.Password = secret == QLatin1String("right") ? host.password() : secret;
            if (how == QLatin1String("keyboard"))
                c.RemoteHost = host.kbdInteractiveHost();
        }
        const QString before = host.log();
        const Outcome o = run(c, u"ls /krg/_files.txt"_s);
        const QString log = host.log().mid(before.size());
        if (message.isEmpty()) {
            QVERIFY2(o.ok, qPrintable(o.error));
            QVERIFY2(log.contains(logged), qPrintable(log));
            return;
        }
        QVERIFY2(!o.ok && o.error.startsWith(message), qPrintable(o.error));
        QVERIFY2(!log.contains(QLatin1String("Accepted")), qPrintable(log));
    }

    // The login opens a key file with a passphrase: asked once and kept in the keyring on Yes, read from
    // there next time; krtp-cli takes it from the environment and says what is missing without it.
    void keyPassphraseAtLogin() {
        host.exportEnvironment(true);
        qputenv("KRTP_SFTP_KEY_FILE", host.lockedKeyFile().toUtf8());
        reloadSiteConfig();
        FakeKeyring keyring;
        setKeyring(&keyring);
        const QString prompt = u"The SSH key file "_s + host.lockedKeyFile() +
                               u" is protected by a passphrase. Enter the passphrase:"_s;
        const QString keep = u"Keep the passphrase of "_s + host.lockedKeyFile() +
                             u" in the desktop's keyring, so that the next logins do not ask for it?"_s;
        ScriptedDialogs d;
        d.answerText(std::nullopt);
        d.answerText(SshdHost::keyPassphrase());
        d.answer(Dialogs::Yes);
        QString error = u"unset"_s;
        QVERIFY(!SettleHostKey({}, &d, &error));
        QCOMPARE(error, QString());
        QVERIFY2(SettleHostKey({}, &d, &error), qPrintable(error));
        QCOMPARE(d.texts(), QStringList({prompt, prompt, keep}));
        QCOMPARE(keyring.entries.value(KeyPassphraseKeyringKey(host.lockedKeyFile())),
                 SshdHost::keyPassphrase());
        // Every later control of the run has it.
        SiteControl c;
        QVERIFY(run(c, u"ls /krg/_files.txt"_s).ok);
        // The next run reads the keyring and asks nothing.
        TransferControl::SetKeyPassphrase({});
        QVERIFY2(SettleHostKey({}, &d, &error), qPrintable(error));
        QCOMPARE(d.records().size(), 3);
        QVERIFY(d.unexpected().isEmpty());
        setKeyring(nullptr);
        TransferControl::SetKeyPassphrase({});

        StoreScenario member;
        CliResult r = member.run("store status");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("is protected by a passphrase, and none was given"), r.err.constData());
        qputenv("KRTP_SFTP_KEY_PASSPHRASE", SshdHost::keyPassphrase().toUtf8());
        r = member.run("store status");
        qunsetenv("KRTP_SFTP_KEY_PASSPHRASE");
        QVERIFY2(r.code == 0, r.err.constData());
    }

    // The login asks about an unknown key: No stores nothing, Yes adds it to the lines already there.
    void loginAsksAboutUnknownKey() {
        host.exportEnvironment(false);
        const QString otherHost = u"example.org "_s + otherKnownLine.section(QLatin1Char(' '), 1);
        writeKnownHosts(otherHost);
        const QString question =
            u"The host "_s + host.host() + u" is not known yet. Its SSH key's fingerprint is:\r\n\r\n"_s +
            host.hostKeyFingerprint() +
            QStringLiteral("\r\n\r\nCompare it with the fingerprint your host publishes. Do "
                           "you trust this key? Yes stores it for the next logins.");
        ScriptedDialogs d;
        d.answer(Dialogs::No);
        d.answer(Dialogs::Yes);
        QString error = u"unset"_s;
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
        CliResult r = member.run("store status");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(host.hostKeyFingerprint().toUtf8()), r.err.constData());
        const QString knownHosts = member.config.filePath(u"KRtp/known_hosts"_s);
        QVERIFY(!QFileInfo(knownHosts).size());
        r = member.run("store status --trust-host-key");
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(readLocal(knownHosts).contains(host.knownHostsLine().toUtf8()),
                 readLocal(knownHosts).constData());
        r = member.run("store status");
        QVERIFY2(r.code == 0, r.err.constData());
    }

    void storeScenario() {
        host.exportEnvironment(true);
        CheckStoreScenario(host.root());
        if (!QTest::currentTestFailed())
            CheckGetLatestAndAdd(host.root());
        if (!QTest::currentTestFailed())
            CheckThreeMembersAtOnce(host.root());
    }

    // The member's other tools over SFTP, each checked on the host byte for byte: the explorer's get,
    // put and rm, a news post and an account change.
    void siteToolsOverSftp() {
        host.exportEnvironment(true);
        const QString root = host.root();
        const QByteArray accounts =
            StoreScenario::hostFile(root, u"_files.dat"_s) + EncodeAccountRecord({u"Vera"_s, u"v4"_s, 4});
        QVERIFY(writeLocal(root + u"/krg/_files.dat"_s, accounts));
        QVERIFY(writeLocal(root + u"/krg/Alda.dat"_s, "*full access*"));
        QByteArray page("<p>page</p>\r\n\x00\xff\x80 end", 23);
        QVERIFY(writeLocal(root + u"/my {page}.html"_s, page));
        StoreScenario member;
        const QString mirrored = member.path(u"VelmarFTP/my {page}.html"_s);
        const auto ok = [](const CliResult& r) { return r.code == 0 ? QByteArray("ok") : r.err; };
        QCOMPARE(ok(member.run("site get 'my {page}.html' --yes")), "ok");
        QCOMPARE(readLocal(mirrored), page);
        page.append("\r\nmore");
        QVERIFY(writeLocal(mirrored, page));
        QCOMPARE(ok(member.run("site put 'my {page}.html' --yes")), "ok");
        QCOMPARE(readLocal(root + u"/my {page}.html"_s), page);
        QCOMPARE(ok(member.run("site rm 'my {page}.html' --yes")), "ok");
        QVERIFY(!QFileInfo::exists(root + u"/my {page}.html"_s));

        QVERIFY(writeLocal(root + u"/krg/_news.dat"_s, "Main News,news.html,news_template.html\r\n"));
        QVERIFY(writeLocal(root + u"/news.html"_s, "<h1>News</h1><!--begin--><p>old</p>"));
        QVERIFY(writeLocal(root + u"/news_template.html"_s, "<p>@SUBJECT@: @POST@ @DATE@</p>\r\n"));
        QVERIFY(writeLocal(member.path(u"post.txt"_s), "Hello over SSH"));
        QCOMPARE(ok(member.run("news post 'Main News' --subject Moved --text-file '" +
                               member.path(u"post.txt"_s) + "' --at '2026-12-05 15:05'")),
                 "ok");
        QCOMPARE(readLocal(root + u"/news.html"_s),
                 QByteArray("<h1>News</h1><!--begin--><p>Moved: Hello over SSH 12/5/26</p>\r\n<p>old</p>"));

        CliMember vera;
        vera.name = u"Vera"_s;
        vera.password = u"v4"_s;
        QCOMPARE(ok(vera.run("users set Newbie --new --password np --level 2")), "ok");
        QCOMPARE(StoreScenario::hostFile(root, u"_files.dat"_s),
                 accounts + EncodeAccountRecord({u"Newbie"_s, u"np"_s, 2}));
    }

    void cleanupTestCase() { host.stop(); }
};

KRTP_TEST_MAIN_CORE(TestInteropSshd)
#include "tst_interop_sshd.moc"
