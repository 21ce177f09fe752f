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
    std::unique_ptr<test::ScriptedDialogs> m_dialogs;

    StartupEnd run(FakeWindows& w, const QStringList& args = {QStringLiteral("krtp")}) {
        return RunStartup(w, *m_store, m_programFolder, args);
    }

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void init() {
        runState() = RunState();
        m_programFolder = m_dir.filePath(QStringLiteral("program%1").arg(QTest::currentTestFunction()));
        QDir().mkpath(m_programFolder);
        m_store = std::make_unique<SettingsStore>(
            m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction())));
        m_dialogs = std::make_unique<test::ScriptedDialogs>();
    }
    void cleanup() {
        QDir::setCurrent(m_startDir);
        runState() = RunState();
        m_dialogs.reset();
    }

    void firstStartUsesDefaultFolder() {
        FakeWindows w; // the local-folder window is cancelled
        QCOMPARE(run(w), StartupEnd::Running);
        QCOMPARE(w.calls, (QStringList{"splash", "login", "localfolder", "mainmenu", "closesplash"}));
        const QString folder = m_programFolder + QStringLiteral("/Local Folder/");
        QCOMPARE(runState().LocalFolder, folder);
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), folder);
        QVERIFY(QFileInfo(folder + QStringLiteral("VelmarFTP")).isDir());
        QVERIFY(QFileInfo::exists(m_programFolder + QStringLiteral("/external editors.ini")));
        QCOMPARE(m_store->get(settings::LocalFolder), QString()); // only the window stores it
        QVERIFY(m_dialogs->records().isEmpty());
        // The next start with the same (still unstored) choice asks again; an existing
        // "Local Folder" is no error.
        FakeWindows again;
        QCOMPARE(run(again), StartupEnd::Running);
        QVERIFY(again.calls.contains(QStringLiteral("localfolder")));
    }

    void storedFolderIsEntered() {
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path()); // without its separator
        FakeWindows w;
        QCOMPARE(run(w), StartupEnd::Running);
        QVERIFY(!w.calls.contains(QStringLiteral("localfolder")));
        QCOMPARE(runState().LocalFolder, local.path() + QLatin1Char('/'));
        QCOMPARE(QDir::currentPath(), QDir(local.path()).canonicalPath());
        QVERIFY(QFileInfo(local.filePath(QStringLiteral("VelmarFTP"))).isDir());
    }

    // Every later path is built as LocalFolder + name while LocalFolder is also the working
    // directory, so a relative stored folder must become absolute.
    void relativeStoredFolderBecomesAbsolute() {
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir(QStringLiteral("work")));
        QVERIFY(QDir::setCurrent(base.path()));
        m_store->set(settings::LocalFolder, QStringLiteral("work"));
        FakeWindows w;
        QCOMPARE(run(w), StartupEnd::Running);
        QCOMPARE(runState().LocalFolder, base.path() + QStringLiteral("/work/"));
        QCOMPARE(QDir::currentPath(), QDir(base.filePath(QStringLiteral("work"))).canonicalPath());
    }

    void vanishedFolderAsksOnce() {
        m_store->set(settings::LocalFolder, m_dir.filePath(QStringLiteral("gone/")));
        FakeWindows fails;
        QCOMPARE(run(fails), StartupEnd::NoLocalFolder);
        QCOMPARE(fails.calls, (QStringList{"splash", "login", "localfolder"}));
        QVERIFY(m_dialogs->records().isEmpty());
        QTemporaryDir chosen;
        FakeWindows picks;
        picks.localFolder = [&] { runState().LocalFolder = chosen.path() + QLatin1Char('/'); };
        QCOMPARE(run(picks), StartupEnd::Running);
        QCOMPARE(QDir::currentPath(), QDir(chosen.path()).canonicalPath());
        // A folder the window empties ends the start-up.
        FakeWindows empties;
        empties.localFolder = [] { runState().LocalFolder.clear(); };
        m_store->set(settings::LocalFolder, QString());
        QCOMPARE(run(empties), StartupEnd::NoLocalFolder);
        QVERIFY(!empties.calls.contains(QStringLiteral("mainmenu")));
    }

    void cancelledLoginEndsSilently() {
        FakeWindows w;
        w.login = [] {};
        QCOMPARE(run(w), StartupEnd::LoginCancelled);
        QCOMPARE(w.calls, (QStringList{"splash", "login"}));
        QVERIFY(m_dialogs->records().isEmpty());
    }

    void levelsOutsideTwoToFourAreLockedOut() {
        for (int level : {0, 1, 5, 255}) {
            m_dialogs->clear();
            FakeWindows w;
            w.login = [level] {
                runState().CurrentUserName = QStringLiteral("Greta");
                runState().UserLevel = quint8(level);
            };
            QCOMPARE(run(w), StartupEnd::LockedOut);
            QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("Sorry, you've been locked out.")});
            QCOMPARE(m_dialogs->records().first().icon, Dialogs::Icon::None);
            QCOMPARE(m_dialogs->records().first().buttons, Dialogs::Buttons(Dialogs::Ok));
            QCOMPARE(w.calls, (QStringList{"splash", "login"}));
        }
    }

    void refusedMainMenuEnds() {
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path() + QLatin1Char('/'));
        FakeWindows w;
        w.menuOpens = false;
        QCOMPARE(run(w), StartupEnd::MainMenuRefused);
        QCOMPARE(w.calls.last(), QStringLiteral("mainmenu"));
    }

    void proxySwitchBeforeLogin() {
        QTemporaryDir local;
        m_store->set(settings::LocalFolder, local.path() + QLatin1Char('/'));
        FakeWindows lower, upper;
        run(lower, {"krtp", "/proxy", "cache.example:3128"});
        QCOMPARE(lower.proxyAtLogin, QStringLiteral("cache.example:3128"));
        runState().ProxyServer.clear();
        run(upper, {"krtp", "/PROXY", "cache.example:3128"});
        QCOMPARE(upper.proxyAtLogin, QString());
    }

    void messageOfTheDay() {
        MessageOfTheDay m = ParseMessageOfTheDay(QStringLiteral("2.0.5\r\nHello\r\nteam\r\n"));
        QCOMPARE(m.version + QLatin1Char('|') + m.message, QStringLiteral("2.0.5|Hello\r\nteam\r\n"));
        m = ParseMessageOfTheDay(QStringLiteral("2.0.4\nno CR LF here"));
        QCOMPARE(m.version + QLatin1Char('|') + m.message, QStringLiteral("2.0.4\nno CR LF here|"));
    }

    // Adventure, web page, post news, users per level.
    void buttonsByLevel() {
        for (int level : {0, 1, 2, 3, 4, 5}) {
            const MainMenuButtons b = ButtonsForLevel(quint8(level));
            QCOMPARE(b.adventure * 1000 + b.webPage * 100 + b.postNews * 10 + int(b.users),
                     QList<int>({0, 0, 1100, 1110, 1111, 0}).at(level));
        }
    }
};

KRTP_TEST_MAIN_CORE(TestStartup)
#include "tst_startup.moc"
