// The saved login password in a real Secret Service: a private session bus and gnome-keyring-daemon
// with a fresh login keyring, both started here in the test's own home and stopped at the end.
#include "app/savedlogin.h"
#include "clirunner.h"
#include "config/settingsstore.h"
#include "hostfixture.h"
#include "platform/desktopkeyring.h"
#include "platform/keyring.h"
#include "serverwait.h"
#include "testfiles.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace krtp;
using namespace Qt::StringLiterals;

class TestKeyring : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_daemon;

    static QString tool(const char* name) {
        return QStandardPaths::findExecutable(QString::fromLatin1(name), {u"/usr/bin"_s});
    }
    static bool loginKeyringReady() {
        QProcess p;
        p.start(tool("dbus-send"),
                u"--session --print-reply --dest=org.freedesktop.secrets "
                "/org/freedesktop/secrets "
                "org.freedesktop.Secret.Service.ReadAlias string:default"_s.split(QLatin1Char(' ')));
        return p.waitForFinished(5000) && p.readAllStandardOutput().contains("/collection/login");
    }

private slots:
    void initTestCase() {
        for (const char* name : {"dbus-daemon", "gnome-keyring-daemon", "dbus-send"})
            if (tool(name).isEmpty())
                QSKIP("dbus-daemon or gnome-keyring-daemon is not installed (apt-get install gnome-keyring)");
        // A bus of our own with no activatable services: nothing else starts on it.
        const QString conf = m_dir.filePath(u"bus.conf"_s);
        QVERIFY(test::writeLocal(
            conf, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig><type>session</type><listen>unix:dir=" +
                      QFile::encodeName(m_dir.path()) +
                      "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                      "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                      "<allow own=\"*\"/></policy></busconfig>\n"));
        m_bus.start(tool("dbus-daemon"), {u"--config-file="_s + conf, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY(m_bus.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(m_bus.canReadLine(), 10000);
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
        m_daemon.start(tool("gnome-keyring-daemon"),
                       {u"--unlock"_s, u"--foreground"_s, u"--components=secrets"_s});
        QVERIFY(m_daemon.waitForStarted(5000));
        m_daemon.write("login keyring password");
        m_daemon.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(loginKeyringReady(), 20000);
    }
    void cleanupTestCase() {
        if (m_daemon.processId() > 0)
            ::kill(pid_t(m_daemon.processId()), SIGCONT);
        test::StopServer(m_daemon);
        test::StopServer(m_bus);
    }

    void storesReadsAndRemoves() {
        auto k = CreateDesktopKeyring();
        QVERIFY(k);
        const QString key = u"tst_keyring at http://127.0.0.1/"_s;
        QCOMPARE(k->read(key).status, Keyring::Status::NotFound);
        const QString secret = u"p\u00e4ss w,o=rd"_s;
        QVERIFY2(k->write(key, secret).ok(), qPrintable(k->write(key, secret).error));
        const Keyring::Answer a = k->read(key);
        QCOMPARE(a.status, Keyring::Status::Ok);
        QCOMPARE(a.secret, secret);
        QVERIFY(k->remove(key).ok());
        QCOMPARE(k->read(key).status, Keyring::Status::NotFound);
        QVERIFY(k->remove(key).ok()); // nothing there: no failure
    }

    // The window's saved login in the keyring, read back by krtp-cli's "saved login" source.
    void cliReadsTheSavedLogin() {
        test::HostFixture fx;
        QVERIFY(fx.startHost());
        fx.setAccounts({{u"Bob"_s, u"builder"_s, 3}});
        Keyring* k = keyring();
        QVERIFY(k);
        SettingsStore store; // the default file, which krtp-cli reads too
        SaveLogin(store, k, u"Bob"_s, u"builder"_s, true);
        store.sync();
        const QByteArray text = test::readLocal(store.fileName());
        QVERIFY(text.contains("SavePassword=Yes"));
        QVERIFY(!text.contains("builder"));
        const auto whoami = [] {
            const test::CliResult r = test::runCli(test::cliWords("whoami --user bob"));
            return r.out + r.err;
        };
        QCOMPARE(whoami(), QByteArray("Bob 3\n"));
        SaveLogin(store, k, u"Bob"_s, u"builder"_s, false);
        store.sync();
        QCOMPARE(k->read(SavedPasswordKey(u"Bob"_s)).status, Keyring::Status::NotFound);
        QCOMPARE(whoami(), QByteArray("Invalid Username/Password\n"));
    }

    // A keyring that stops answering holds the login up no longer than the time limit, once.
    void silentServiceCountsAsNone() {
        auto k = CreateDesktopKeyring();
        QVERIFY(k);
        k->setTimeLimit(500);
        QVERIFY(::kill(pid_t(m_daemon.processId()), SIGSTOP) == 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(k->read(u"anything"_s).status, Keyring::Status::Unavailable);
        QVERIFY2(t.elapsed() < 3000, QByteArray::number(t.elapsed()).constData());
        QVERIFY(!k->usable());
        t.restart();
        QCOMPARE(k->write(u"anything"_s, u"x"_s).status, Keyring::Status::Unavailable);
        QVERIFY(t.elapsed() < 100);
        QVERIFY(::kill(pid_t(m_daemon.processId()), SIGCONT) == 0);
    }
};

KRTP_TEST_MAIN_CORE(TestKeyring)
#include "tst_keyring.moc"
