#include "app/mainmenu.h"
#include "app/startupsequence.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "scripteddialogs.h"
#include "testmain.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace krtp;

namespace {

// Start-up's windows, scripted: records the order of calls and lets each test decide what the
// login and the local-folder window do.
class FakeWindows : public StartupWindows {
public:
    QStringList calls;
    QString proxyAtLogin;
    std::function<void()> login = [] {
        runState().CurrentUserName = QStringLiteral("Bob");
        runState().UserLevel = 3;
    };
    std::function<void()> localFolder = [] {};
    bool menuOpens = true;

    void showSplash() override { calls << QStringLiteral("splash"); }
    void showLogin() override {
        calls << QStringLiteral("login");
        proxyAtLogin = runState().ProxyServer;
        login();
    }
    void showLocalFolderWindow() override {
        calls << QStringLiteral("localfolder");
        localFolder();
    }
    bool showMainMenu() override {
        calls << QStringLiteral("mainmenu");
        return menuOpens;
    }
    void closeSplash() override { calls << QStringLiteral("closesplash"); }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_programFolder;
    QString m_startDir;
    std::unique_ptr<SettingsStore> m_store;

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }

    void init() {
        runState() = RunState();
        m_programFolder = m_dir.filePath(QStringLiteral("program%1").arg(QTest::currentTestFunction()));
        QDir().mkpath(m_programFolder);
        m_store = std::make_unique<SettingsStore>(
            m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction())));
    }
    void cleanup() {
        QDir::setCurrent(m_startDir);
        runState() = RunState();
    }

    void firstStartUsesDefaultFolder() {
        test::ScriptedDialogs dialogs;
        FakeWindows w; // the local-folder window is cancelled
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}), StartupEnd::Running);
        QCOMPARE(w.calls, (QStringList{"splash", "login", "localfolder", "mainmenu", "closesplash"}));
        const QString folder = m_programFolder + QStringLiteral("/Local Folder/");
        QCOMPARE(runState().LocalFolder, folder);
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), folder);
        QVERIFY(QFileInfo(folder + QStringLiteral("VelmarFTP")).isDir());
        QVERIFY(QFileInfo::exists(m_programFolder + QStringLiteral("/external editors.ini")));
        QCOMPARE(m_store->get(settings::LocalFolder), QString()); // only the window stores it
        QVERIFY(dialogs.records().isEmpty());

        // The next start with the same (still unstored) choice asks again; an existing
        // "Local Folder" is no error.
        FakeWindows again;
        QCOMPARE(RunStartup(again, *m_store, m_programFolder, {QStringLiteral("krtp")}), StartupEnd::Running);
        QVERIFY(again.calls.contains(QStringLiteral("localfolder")));
    }

    void storedFolderIsEntered() {
        test::ScriptedDialogs dialogs;
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path()); // without its separator
        FakeWindows w;
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}), StartupEnd::Running);
        QVERIFY(!w.calls.contains(QStringLiteral("localfolder")));
        QCOMPARE(runState().LocalFolder, local.path() + QLatin1Char('/'));
        QCOMPARE(QDir::currentPath(), QDir(local.path()).canonicalPath());
        QVERIFY(QFileInfo(local.filePath(QStringLiteral("VelmarFTP"))).isDir());
    }

    // Every later path is built as LocalFolder + name while LocalFolder is also the working
    // directory, so a relative stored folder must become absolute.
    void relativeStoredFolderBecomesAbsolute() {
        test::ScriptedDialogs dialogs;
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir(QStringLiteral("work")));
        QVERIFY(QDir::setCurrent(base.path()));
        m_store->set(settings::LocalFolder, QStringLiteral("work"));
        FakeWindows w;
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}), StartupEnd::Running);
        QCOMPARE(runState().LocalFolder, base.path() + QStringLiteral("/work/"));
        QCOMPARE(QDir::currentPath(), QDir(base.filePath(QStringLiteral("work"))).canonicalPath());
    }

    void vanishedFolderAsksOnce() {
        test::ScriptedDialogs dialogs;
        m_store->set(settings::LocalFolder, m_dir.filePath(QStringLiteral("gone/")));
        FakeWindows fails;
        QCOMPARE(RunStartup(fails, *m_store, m_programFolder, {QStringLiteral("krtp")}),
                 StartupEnd::NoLocalFolder);
        QCOMPARE(fails.calls, (QStringList{"splash", "login", "localfolder"}));
        QVERIFY(dialogs.records().isEmpty());

        QTemporaryDir chosen;
        FakeWindows picks;
        picks.localFolder = [&] { runState().LocalFolder = chosen.path() + QLatin1Char('/'); };
        QCOMPARE(RunStartup(picks, *m_store, m_programFolder, {QStringLiteral("krtp")}), StartupEnd::Running);
        QCOMPARE(QDir::currentPath(), QDir(chosen.path()).canonicalPath());
    }

    void emptiedFolderEnds() {
        test::ScriptedDialogs dialogs;
        FakeWindows w;
        w.localFolder = [] { runState().LocalFolder.clear(); };
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}),
                 StartupEnd::NoLocalFolder);
        QVERIFY(!w.calls.contains(QStringLiteral("mainmenu")));
    }

    void cancelledLoginEndsSilently() {
        test::ScriptedDialogs dialogs;
        FakeWindows w;
        w.login = [] {};
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}),
                 StartupEnd::LoginCancelled);
        QCOMPARE(w.calls, (QStringList{"splash", "login"}));
        QVERIFY(dialogs.records().isEmpty());
    }

    void levelsOutsideTwoToFourAreLockedOut() {
        for (int level : {0, 1, 5, 255}) {
            test::ScriptedDialogs dialogs;
            FakeWindows w;
            w.login = [level] {
                runState().CurrentUserName = QStringLiteral("Greta");
                runState().UserLevel = quint8(level);
            };
            QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}),
                     StartupEnd::LockedOut);
            QCOMPARE(dialogs.texts(), QStringList{QStringLiteral("Sorry, you've been locked out.")});
            QCOMPARE(dialogs.records().first().icon, Dialogs::Icon::None);
            QCOMPARE(dialogs.records().first().buttons, Dialogs::Buttons(Dialogs::Ok));
            QVERIFY(!w.calls.contains(QStringLiteral("localfolder")));
            QVERIFY(!w.calls.contains(QStringLiteral("mainmenu")));
        }
    }

    void refusedMainMenuEnds() {
        test::ScriptedDialogs dialogs;
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path() + QLatin1Char('/'));
        FakeWindows w;
        w.menuOpens = false;
        QCOMPARE(RunStartup(w, *m_store, m_programFolder, {QStringLiteral("krtp")}),
                 StartupEnd::MainMenuRefused);
        QCOMPARE(w.calls.last(), QStringLiteral("mainmenu"));
    }

    void proxySwitchBeforeLogin() {
        test::ScriptedDialogs dialogs;
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path() + QLatin1Char('/'));
        FakeWindows lower;
        RunStartup(lower, *m_store, m_programFolder, {"krtp", "/proxy", "cache.example:3128"});
        QCOMPARE(lower.proxyAtLogin, QStringLiteral("cache.example:3128"));
        runState().ProxyServer.clear();
        FakeWindows upper;
        RunStartup(upper, *m_store, m_programFolder, {"krtp", "/PROXY", "cache.example:3128"});
        QCOMPARE(upper.proxyAtLogin, QString());
    }

    void messageOfTheDay() {
        MessageOfTheDay m = ParseMessageOfTheDay(QStringLiteral("2.0.5\r\nHello\r\nteam\r\n"));
        QCOMPARE(m.version, QStringLiteral("2.0.5"));
        QCOMPARE(m.message, QStringLiteral("Hello\r\nteam\r\n"));
        m = ParseMessageOfTheDay(QStringLiteral("2.0.4\nno CR LF here"));
        QCOMPARE(m.version, QStringLiteral("2.0.4\nno CR LF here"));
        QCOMPARE(m.message, QString());
        QCOMPARE(
            OutdatedProgramMessage(QStringLiteral("2.0.6")),
            QStringLiteral("KRtp has been updated to version 2.0.6\r\nYou are currently using version 2.0.5"
                           "\r\n\r\nPlease get version 2.0.6 from Velmar."));
    }

    void buttonsByLevel() {
        const auto b2 = ButtonsForLevel(2), b3 = ButtonsForLevel(3), b4 = ButtonsForLevel(4);
        QVERIFY(b2.adventure && b2.webPage && !b2.postNews && !b2.users);
        QVERIFY(b3.adventure && b3.webPage && b3.postNews && !b3.users);
        QVERIFY(b4.adventure && b4.webPage && b4.postNews && b4.users);
        for (int refused : {0, 1, 5}) {
            const auto b = ButtonsForLevel(quint8(refused));
            QVERIFY(!b.adventure && !b.webPage && !b.postNews && !b.users);
        }
    }
};

KRTP_TEST_MAIN_CORE(TestStartup)
#include "tst_startup.moc"
