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
using namespace Qt::StringLiterals;

namespace {

// Start-up's windows, scripted: records the order of calls and lets each test decide what the
// login and the local-folder window do.
class FakeWindows : public StartupWindows {
public:
    QStringList calls;
    QString proxyAtLogin;
    std::function<void()> login = [] {
        runState().CurrentUserName = u"Bob"_s;
        runState().UserLevel = 3;
    };
    std::function<void()> localFolder = [] {};
    bool menuOpens = true;

    void showSplash() override { calls << u"splash"_s; }
    void showLogin() override {
        calls << u"login"_s;
        proxyAtLogin = runState().ProxyServer;
        login();
    }
    void showLocalFolderWindow() override {
        calls << u"localfolder"_s;
        localFolder();
    }
    bool showMainMenu() override {
        calls << u"mainmenu"_s;
        return menuOpens;
    }
    void closeSplash() override { calls << u"closesplash"_s; }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_programFolder;
    QString m_startDir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<test::ScriptedDialogs> m_dialogs;

    StartupEnd run(FakeWindows& w, const QStringList& args = {u"krtp"_s}) {
        return RunStartup(w, *m_store, m_programFolder, args);
    }

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void init() {
        runState() = RunState();
        m_programFolder = m_dir.filePath(u"program%1"_s.arg(QTest::currentTestFunction()));
        QDir().mkpath(m_programFolder);
        m_store =
            std::make_unique<SettingsStore>(m_dir.filePath(u"%1.ini"_s.arg(QTest::currentTestFunction())));
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
        const QString folder = m_programFolder + u"/Local Folder/"_s;
        QCOMPARE(runState().LocalFolder, folder);
        QCOMPARE(QDir::currentPath() + QLatin1Char('/'), folder);
        QVERIFY(QFileInfo(folder + u"VelmarFTP"_s).isDir());
        QVERIFY(QFileInfo::exists(m_programFolder + u"/external editors.ini"_s));
        QCOMPARE(m_store->get(settings::LocalFolder), QString()); // only the window stores it
        QVERIFY(m_dialogs->records().isEmpty());
        // The next start with the same (still unstored) choice asks again; an existing
        // "Local Folder" is no error.
        FakeWindows again;
        QCOMPARE(run(again), StartupEnd::Running);
        QVERIFY(again.calls.contains(u"localfolder"_s));
    }

    // A stored folder is entered without asking, its separator added. A relative one becomes absolute:
    // every later path is built as LocalFolder + name while LocalFolder is also the working directory.
    void storedFolderIsEntered() {
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkdir(u"work"_s));
        for (const QString& stored : {base.path(), u"work"_s}) {
            QVERIFY(QDir::setCurrent(base.path()));
            m_store->set(settings::LocalFolder, stored);
            FakeWindows w;
            QCOMPARE(run(w), StartupEnd::Running);
            QVERIFY(!w.calls.contains(u"localfolder"_s));
            const QString entered = stored == base.path() ? base.path() : base.filePath(u"work"_s);
            QCOMPARE(runState().LocalFolder, entered + QLatin1Char('/'));
            QCOMPARE(QDir::currentPath(), QDir(entered).canonicalPath());
            QVERIFY(QFileInfo(entered + u"/VelmarFTP"_s).isDir());
        }
    }

    void vanishedFolderAsksOnce() {
        m_store->set(settings::LocalFolder, m_dir.filePath(u"gone/"_s));
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
        QVERIFY(!empties.calls.contains(u"mainmenu"_s));
    }

    // A cancelled login ends the start-up silently, levels outside 2 to 4 are locked out, and a main
    // menu that does not open ends it last.
    void earlyEnds() {
        FakeWindows cancelled;
        cancelled.login = [] {};
        QCOMPARE(run(cancelled), StartupEnd::LoginCancelled);
        QCOMPARE(cancelled.calls, (QStringList{"splash", "login"}));
        QVERIFY(m_dialogs->records().isEmpty());
        for (int level : {0, 1, 5, 255}) {
            m_dialogs->clear();
            FakeWindows w;
            w.login = [level] {
                runState().CurrentUserName = u"Greta"_s;
                runState().UserLevel = quint8(level);
            };
            QCOMPARE(run(w), StartupEnd::LockedOut);
            QCOMPARE(m_dialogs->texts(), QStringList{u"Sorry, you've been locked out."_s});
            QCOMPARE(m_dialogs->records().first().icon, Dialogs::Icon::None);
            QCOMPARE(m_dialogs->records().first().buttons, Dialogs::Buttons(Dialogs::Ok));
            QCOMPARE(w.calls, (QStringList{"splash", "login"}));
        }
        FakeWindows refused;
        refused.menuOpens = false;
        QCOMPARE(run(refused), StartupEnd::MainMenuRefused);
        QCOMPARE(refused.calls.last(), u"mainmenu"_s);
    }

    void proxySwitchBeforeLogin() {
        FakeWindows lower, upper;
        run(lower, {"krtp", "/proxy", "cache.example:3128"});
        QCOMPARE(lower.proxyAtLogin, u"cache.example:3128"_s);
        runState().ProxyServer.clear();
        run(upper, {"krtp", "/PROXY", "cache.example:3128"});
        QCOMPARE(upper.proxyAtLogin, QString());
    }

    void messageOfTheDay() {
        MessageOfTheDay m = ParseMessageOfTheDay(u"2.0.5\r\nHello\r\nteam\r\n"_s);
        QCOMPARE(m.version + QLatin1Char('|') + m.message, u"2.0.5|Hello\r\nteam\r\n"_s);
        m = ParseMessageOfTheDay(u"2.0.4\nno CR LF here"_s);
        QCOMPARE(m.version + QLatin1Char('|') + m.message, u"2.0.4\nno CR LF here|"_s);
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
