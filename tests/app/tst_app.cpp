#include "app/mainmenu.h"
#include "app/options.h"
#include "app/savedlogin.h"
#include "app/startup.h"
#include "app/startupsequence.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "fakekeyring.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

using namespace krtp;
using namespace krtp::test;
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

class TestApp : public QObject {
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

    // The local-folder window is cancelled; the proxy switch is read before the login.
    void firstStartUsesDefaultFolder() {
        FakeWindows w;
        QCOMPARE(run(w, {"krtp", "/proxy", "cache.example:3128"}), StartupEnd::Running);
        QCOMPARE(w.proxyAtLogin, u"cache.example:3128"_s);
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

    // A version from the host is refused only when newer than this program's; leading digits count.
    void checkProgramVersion() {
        QCOMPARE(GetProgramVersion(), u"2.0.5"_s);
        for (const char* accepted : {"2.0.5", "2.0.4", "1.9.9", "", "abc", "2.0.5beta", "2.0"})
            QVERIFY2(CheckProgramVersion(QLatin1String(accepted)), accepted);
        for (const char* newer :
             {"2.0.6", "2.1", "3", "2.0.6 (update)", "99999999999999999999", " 2.0.6", "2. 1"})
            QVERIFY2(!CheckProgramVersion(QLatin1String(newer)), newer);
    }

    void settingsDefaultsAndYes() {
        SettingsStore& s = *m_store;
        QCOMPARE(s.get(settings::CurrentView), u"3"_s);
        QCOMPARE(s.get(settings::ProxyUseProxy), u"no"_s);
        QCOMPARE(s.get(settings::PostNewsTimeZone), u"EST"_s);
        QCOMPARE(s.fileVersion(u"Index.HTML"_s), u"0"_s);
        QVERIFY(s.isYes(settings::ShowPreviewPane));
        // Reading creates nothing.
        QVERIFY(!QFile::exists(s.fileName()));
        s.set(settings::ShowPreviewPane, u"yes"_s); // only the exact word counts
        QVERIFY(!s.isYes(settings::ShowPreviewPane));
    }

    // Keys and values (a password, a proxy name typed by the member) come back exactly as written.
    void settingsKeysAndValuesStayVerbatim() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"KRtp.ini"_s);
        const QStringList values{" pass word ",  "a,b;c=d",     "@Variant(x)",
                                 "\"quoted\"",   "back\\slash", "\u00e9t\u00e9 \u0141\u20ac",
                                 "two\r\nlines", "#hash",       QString()};
        {
            SettingsStore s(file);
            s.set(settings::CurrentView, u"1"_s);
            s.write(u"Icons"_s, u"currentview"_s, u"10,20"_s);
            s.write(u"Icons"_s, u"a/b\\c%2F d.txt"_s, u"5,6"_s);
            s.setFileVersion(u"My Page.HTML"_s, u"7"_s);
            for (int i = 0; i < values.size(); ++i)
                s.write(u"Login"_s, u"K%1"_s.arg(i), values.at(i));
            s.sync();
        }
        SettingsStore again(file);
        QCOMPARE(again.get(settings::CurrentView), u"1"_s);
        const auto icon = [&](const char* key) {
            return again.read(u"Icons"_s, QLatin1String(key), u"none"_s);
        };
        QCOMPARE(icon("currentview") + icon("a/b\\c%2F d.txt") + icon("a/b/c%2F d.txt"), u"10,205,6none"_s);
        QCOMPARE(again.fileVersion(u"my page.html"_s), u"7"_s);
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(again.read(u"Login"_s, u"K%1"_s.arg(i), u"-"_s), values.at(i));
        // The file may hold a password: owner only.
        QCOMPARE(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());
    }

    void onlyChangedOptionBoxesAreWritten() {
        SettingsStore& s = *m_store;
        const auto stored = [&](const SettingKey& k) {
            return s.read(QLatin1String(k.section), QLatin1String(k.key), u"-"_s);
        };
        // An empty store reads as the defaults: red, start-up, exit and preview on.
        OptionBoxes b = LoadOptions(s, 0);
        QVERIFY(b.showOutOfDateAsRed && !b.showUpToDateAsBlue && b.showOutdatedFilesOnStartup &&
                b.showCheckedOutFilesOnExit && b.showPreviewPane && !b.noReadOnly);
        QCOMPARE(b.listStyle * 100 + LoadOptions(s, 1).listStyle * 10 + LoadOptions(s, 3).listStyle, 213);
        // Saving the boxes as loaded writes only the list style.
        OptionsSaved saved = SaveOptions(s, b);
        QCOMPARE(saved.written, QStringList{u"/CurrentView"_s});
        QVERIFY(saved.viewStyle == 2 && !saved.coloursChanged);
        QCOMPARE(stored(settings::ShowOutOfDateAsRed) + stored(settings::CurrentView), u"-2"_s);
        // A stored "yes" is not "Yes": the box shows unticked, and an unticked box leaves it alone.
        s.set(settings::ShowPreviewPane, u"yes"_s);
        b = LoadOptions(s, 3);
        QVERIFY(!b.showPreviewPane);
        b.showUpToDateAsBlue = true;
        b.noReadOnly = true;
        saved = SaveOptions(s, b);
        QCOMPARE(saved.written, (QStringList{"/CurrentView", "/ShowUpToDateAsBlue", "NoReadOnly"}));
        QVERIFY(saved.coloursChanged);
        QCOMPARE(stored(settings::ShowPreviewPane) + stored(settings::ShowUpToDateAsBlue), u"yesYes"_s);
        QVERIFY(runState().NoReadOnly);
        b.noReadOnly = false;
        SaveOptions(s, b);
        QCOMPARE(stored(settings::NoReadOnly), u"No"_s);
        QVERIFY(!runState().NoReadOnly);
    }

    // Where the saved login password goes: the keyring when one answers, else the settings file.
    void savedLoginPassword() {
        using test::FakeKeyring;
        struct Case {
            const char* what;
            std::optional<FakeKeyring::Mode> keyring; // none: no keyring at all
            bool inKeyring;
        };
        const QList<Case> cases = {{"keyring", FakeKeyring::Mode::Answers, true},
                                   {"no keyring", std::nullopt, false},
                                   {"keyring unavailable", FakeKeyring::Mode::Unavailable, false},
                                   {"keyring silent", FakeKeyring::Mode::Silent, false}};
        const QString key = SavedPasswordKey(u"Lina"_s);
        QCOMPARE(SavedPasswordKey(u" LINA "_s), key);
        for (const Case& c : cases) {
            QTemporaryDir dir;
            const QString file = dir.filePath(u"KRtp.ini"_s);
            std::optional<FakeKeyring> fake;
            if (c.keyring)
                fake.emplace(*c.keyring).setTimeLimit(50);
            Keyring* k = fake ? &*fake : nullptr;
            const auto fileText = [&] { return readLocal(file); };
            {
                SettingsStore s(file);
                SaveLogin(s, k, u"Lina"_s, u"lan tern"_s, true);
                s.sync();
                QCOMPARE(s.get(settings::LoginSavePassword) + s.get(settings::LoginUserName), u"YesLina"_s);
            }
            QVERIFY2(fileText().contains("Password") && fileText().contains("lan tern") != c.inKeyring,
                     c.what);
            QCOMPARE(fake && fake->entries.value(key) == QLatin1String("lan tern"), c.inKeyring);
            {
                SettingsStore s(file);
                QElapsedTimer t;
                t.start();
                QCOMPARE(LoadSavedPassword(s, k), u"lan tern"_s);
                // A keyring that did not answer is not asked again.
                QVERIFY2(t.elapsed() < 40 || c.keyring != FakeKeyring::Mode::Silent, c.what);
                SaveLogin(s, k, u"Lina"_s, u"lan tern"_s, false);
                s.sync();
                QCOMPARE(s.get(settings::LoginSavePassword), u"No"_s);
                QCOMPARE(LoadSavedPassword(s, k), QString());
            }
            QVERIFY2(!fileText().contains("lan tern"), c.what);
            if (fake && c.inKeyring)
                QVERIFY(fake->entries.isEmpty());
        }
        // A password the file kept from before the keyring moves there with the next login; a
        // changed user name takes the entry of the previous one away.
        QTemporaryDir dir;
        SettingsStore s(dir.filePath(u"KRtp.ini"_s));
        s.set(settings::LoginUserName, u"Lina"_s);
        s.set(settings::LoginPassword, u"old"_s);
        FakeKeyring fake;
        QCOMPARE(LoadSavedPassword(s, &fake), u"old"_s);
        SaveLogin(s, &fake, u"Lina"_s, u"old"_s, true);
        QCOMPARE(s.get(settings::LoginPassword), QString());
        QCOMPARE(fake.entries, (QMap<QString, QString>{{key, u"old"_s}}));
        SaveLogin(s, &fake, u"Bob"_s, u"builder"_s, true);
        QCOMPARE(fake.entries, (QMap<QString, QString>{{SavedPasswordKey(u"bob"_s), u"builder"_s}}));
        QCOMPARE(LoadSavedPassword(s, &fake), u"builder"_s);
        // Saving off reads nothing from the keyring.
        s.set(settings::LoginSavePassword, u"no"_s);
        const int calls = fake.calls;
        QCOMPARE(LoadSavedPassword(s, &fake), QString());
        QCOMPARE(fake.calls, calls);
    }

    void defaultStoreLivesInConfigFolder() {
        QCOMPARE(SettingsStore::defaultFileName(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + u"/KRtp/KRtp.ini"_s);
        QCOMPARE(ProgramFolder(), qEnvironmentVariable("XDG_DATA_HOME") + u"/KRtp"_s);
    }

    void startupReadsNoReadOnly() {
        SettingsStore& s = *m_store;
        ReadStartupSettings(s);
        QVERIFY(!runState().NoReadOnly);
        for (const char* value : {"YES", "Yes"}) { // only the exact word counts
            s.set(settings::NoReadOnly, QLatin1String(value));
            ReadStartupSettings(s);
            QCOMPARE(runState().NoReadOnly, value[1] == 'e');
        }
    }

    void externalEditorsWrittenOnce() {
        QTemporaryDir dir;
        PrepareExternalEditors(dir.path());
        const QString file = dir.filePath(u"external editors.ini"_s);
        QCOMPARE(runState().ExternalEditorsFile, file);
        const QByteArray content = readLocal(file);
        QCOMPARE(content, DefaultExternalEditors());
        QCOMPARE(content.count("\r\n"), 6);
        QVERIFY(content.split('\n').at(3).startsWith('"'));
        QVERIFY(writeLocal(file, "Mine\r\n/bin/mine\r\n"));
        PrepareExternalEditors(dir.path());
        QCOMPARE(readLocal(file), QByteArray("Mine\r\n/bin/mine\r\n"));
    }

    // "/proxy HOST:PORT" on the command line, in small letters only; the rest of the line is the proxy.
    void proxySwitch() {
        const QList<std::pair<QStringList, QString>> cases = {
            {{"krtp", "/proxy", "cache.example:3128"}, u"cache.example:3128"_s},
            {{"krtp", "/PROXY", "cache:1"}, QString()},
            {{"krtp", "-x", "/proxy", "p:8"}, u"p:8"_s},
            {{"krtp", "/proxy", "p:8", "more"}, u"p:8 more"_s},
            {{"krtp"}, QString()},
            {{"krtp", "/proxy"}, QString()}};
        for (const auto& [args, proxy] : cases) {
            runState().ProxyServer.clear();
            ProxyFromCommandLine(CommandLineText(args));
            QCOMPARE(runState().ProxyServer, proxy);
        }
    }

    void siteConfigLayers() {
        SiteConfig c = SiteConfig::load();
        QVERIFY(c.baseUrl.endsWith(QLatin1Char('/')));
        {
            QSettings site(SiteConfig::siteFileName(), QSettings::IniFormat);
            site.setValue(u"Site/FtpHost"_s, u"files.example:21"_s);
            site.setValue(u"Site/BaseUrl"_s, u"http://www.example"_s);
        }
        c = SiteConfig::load();
        QCOMPARE(c.ftpHost + QLatin1Char(' ') + c.baseUrl, u"files.example:21 http://www.example/"_s);
        qputenv("KRTP_FTP_HOST", "127.0.0.1:9"); // the environment before the site file
        c = SiteConfig::load();
        QCOMPARE(c.ftpHost + QLatin1Char(' ') + c.baseUrl, u"127.0.0.1:9 http://www.example/"_s);
        qunsetenv("KRTP_FTP_HOST");
        // A hand-written site file: a comma in a value is part of it.
        QVERIFY(writeLocal(SiteConfig::siteFileName(), "[Site]\nFtpPassword=to,lbek\nFtpUser=team site\n"));
        c = SiteConfig::load();
        QCOMPARE(c.ftpPassword + QLatin1Char('|') + c.ftpUser, u"to,lbek|team site"_s);
        QFile::remove(SiteConfig::siteFileName());
    }
};

KRTP_TEST_MAIN_CORE(TestApp)
#include "tst_app.moc"
