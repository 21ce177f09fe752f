// The start-up, its settings and its windows, the windows against a real loopback host seeded with the
// demo site.
#include "accounts/gui/frmusers.h"
#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "app/gui/frmsetlocaldir.h"
#include "app/gui/frmsplash.h"
#include "app/gui/guistartupwindows.h"
#include "app/gui/mainmenuhooks.h"
#include "app/mainmenu.h"
#include "app/options.h"
#include "app/savedlogin.h"
#include "app/startup.h"
#include "app/startupsequence.h"
#include "buildconfig.h"
#include "config/paths.h"
#include "config/siteconfig.h"
#include "controls.h"
#include "fakekeyring.h"
#include "filestore/gui/frmfilelist.h"
#include "hostfixture.h"
#include "sitetools/gui/frmpostnews.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <optional>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

const QString kSeed = QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site");

// Start-up's windows, scripted: records the order of calls and lets each test decide what the
// login and the local-folder window do.
class FakeWindows : public StartupWindows {
public:
    QStringList calls;
    QString proxyAtLogin;
    std::function<void()> login = [] { HostFixture::logIn(u"Bob"_s, 3); };
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

class TestAppWindows : public QObject {
    Q_OBJECT
    HostFixture fx;
    QByteArray m_seedAccounts;
    QString m_programFolder;
    WindowHarness dialogs;

    SettingsStore* store() { return fx.settings.get(); }
    StartupEnd run(FakeWindows& w, const QStringList& args = {u"krtp"_s}) {
        return RunStartup(w, *store(), m_programFolder, args);
    }
    // A login window on the test's settings, filled and submitted.
    std::unique_ptr<frmLogin> login(const QString& user, const QString& password) {
        auto w = std::make_unique<frmLogin>(nullptr, store());
        w->show();
        w->txtUserName->setText(user);
        w->txtPassword->setText(password);
        w->cmdOK->click();
        return w;
    }

private slots:
    // The host's server must not run inside a local folder a test throws away.
    void initTestCase() {
        QDir::setCurrent(QDir::tempPath());
        QString error;
        QVERIFY2(fx.host.start(kSeed, &error), qPrintable(error));
        m_seedAccounts = fx.hostFile(u"_files.dat"_s);
    }
    // A fresh local folder with the mirror root as the working folder, fresh settings and program folder.
    void init() {
        runState() = RunState();
        fx.resetLocal(true);
        fx.host.write(u"krg/_files.dat"_s, m_seedAccounts);
        fx.host.exportEnvironment();
        m_programFolder = fx.config.filePath(u"program%1"_s.arg(QTest::currentTestFunction()));
        QDir().mkpath(m_programFolder);
        dialogs.init();
    }
    void cleanup() { QVERIFY(dialogs.done()); }

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
        QCOMPARE(store()->get(settings::LocalFolder), QString()); // only the window stores it
        QVERIFY(dialogs->records().isEmpty());
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
            store()->set(settings::LocalFolder, stored);
            FakeWindows w;
            QCOMPARE(run(w), StartupEnd::Running);
            QVERIFY(!w.calls.contains(u"localfolder"_s));
            const QString entered = stored == base.path() ? base.path() : base.filePath(u"work"_s);
            QCOMPARE(runState().LocalFolder, entered + QLatin1Char('/'));
            QCOMPARE(QDir::currentPath(), QDir(entered).canonicalPath());
            QVERIFY(QFileInfo(entered + u"/VelmarFTP"_s).isDir());
        }
        // A stored folder that is gone asks once, for this start only.
        store()->set(settings::LocalFolder, fx.config.filePath(u"gone/"_s));
        FakeWindows fails;
        QCOMPARE(run(fails), StartupEnd::NoLocalFolder);
        QCOMPARE(fails.calls, (QStringList{"splash", "login", "localfolder"}));
        QVERIFY(dialogs->records().isEmpty());
        FakeWindows picks;
        picks.localFolder = [&] { runState().LocalFolder = base.filePath(u"work/"_s); };
        QCOMPARE(run(picks), StartupEnd::Running);
        QCOMPARE(QDir::currentPath(), QDir(base.filePath(u"work"_s)).canonicalPath());
        // A folder the window empties ends the start-up.
        FakeWindows empties;
        empties.localFolder = [] { runState().LocalFolder.clear(); };
        store()->set(settings::LocalFolder, QString());
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
        QVERIFY(dialogs->records().isEmpty());
        for (int level : {0, 1, 5, 255}) {
            dialogs->clear();
            FakeWindows w;
            w.login = [level] { HostFixture::logIn(u"Greta"_s, quint8(level)); };
            QCOMPARE(run(w), StartupEnd::LockedOut);
            QCOMPARE(dialogs->texts(), QStringList{u"Sorry, you've been locked out."_s});
            QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::None);
            QCOMPARE(dialogs->records().first().buttons, Dialogs::Buttons(Dialogs::Ok));
            QCOMPARE(w.calls, (QStringList{"splash", "login"}));
        }
        FakeWindows refused;
        refused.menuOpens = false;
        QCOMPARE(run(refused), StartupEnd::MainMenuRefused);
        QCOMPARE(refused.calls.last(), u"mainmenu"_s);
    }

    // The message of the day's two parts; a version from the host is refused only when newer than this
    // program's (leading digits count); the buttons per level: adventure, web page, post news, users.
    void messageVersionAndButtonsByLevel() {
        QCOMPARE(GetProgramVersion(), u"2.0.5"_s);
        for (const char* accepted : {"2.0.5", "2.0.4", "1.9.9", "", "abc", "2.0.5beta", "2.0"})
            QVERIFY2(CheckProgramVersion(QLatin1String(accepted)), accepted);
        for (const char* newer :
             {"2.0.6", "2.1", "3", "2.0.6 (update)", "99999999999999999999", " 2.0.6", "2. 1"})
            QVERIFY2(!CheckProgramVersion(QLatin1String(newer)), newer);
        MessageOfTheDay m = ParseMessageOfTheDay(u"2.0.5\r\nHello\r\nteam\r\n"_s);
        QCOMPARE(m.version + QLatin1Char('|') + m.message, u"2.0.5|Hello\r\nteam\r\n"_s);
        m = ParseMessageOfTheDay(u"2.0.4\nno CR LF here"_s);
        QCOMPARE(m.version + QLatin1Char('|') + m.message, u"2.0.4\nno CR LF here|"_s);
        for (int level : {0, 1, 2, 3, 4, 5}) {
            const MainMenuButtons b = ButtonsForLevel(quint8(level));
            QCOMPARE(b.adventure * 1000 + b.webPage * 100 + b.postNews * 10 + int(b.users),
                     QList<int>({0, 0, 1100, 1110, 1111, 0}).at(level));
        }
    }

    // The settings' defaults and files; the start-up's own settings and external editors list.
    void settingsDefaultsAndFiles() {
        QCOMPARE(SettingsStore::defaultFileName(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + u"/KRtp/KRtp.ini"_s);
        QCOMPARE(ProgramFolder(), qEnvironmentVariable("XDG_DATA_HOME") + u"/KRtp"_s);
        SettingsStore& s = *store();
        QCOMPARE(s.get(settings::CurrentView), u"3"_s);
        QCOMPARE(s.get(settings::ProxyUseProxy), u"no"_s);
        QCOMPARE(s.get(settings::PostNewsTimeZone), u"EST"_s);
        QCOMPARE(s.fileVersion(u"Index.HTML"_s), u"0"_s);
        QVERIFY(s.isYes(settings::ShowPreviewPane));
        // Reading creates nothing.
        QVERIFY(!QFile::exists(s.fileName()));
        s.set(settings::ShowPreviewPane, u"yes"_s); // only the exact word counts
        QVERIFY(!s.isYes(settings::ShowPreviewPane));
        ReadStartupSettings(s);
        QVERIFY(!runState().NoReadOnly);
        for (const char* value : {"YES", "Yes"}) { // only the exact word counts
            s.set(settings::NoReadOnly, QLatin1String(value));
            ReadStartupSettings(s);
            QCOMPARE(runState().NoReadOnly, value[1] == 'e');
        }
        PrepareExternalEditors(m_programFolder);
        const QString file = m_programFolder + u"/external editors.ini"_s;
        QCOMPARE(runState().ExternalEditorsFile, file);
        const QByteArray content = readLocal(file);
        QCOMPARE(content, DefaultExternalEditors());
        QCOMPARE(content.count("\r\n"), 6);
        QVERIFY(content.split('\n').at(3).startsWith('"'));
        QVERIFY(writeLocal(file, "Mine\r\n/bin/mine\r\n"));
        PrepareExternalEditors(m_programFolder);
        QCOMPARE(readLocal(file), QByteArray("Mine\r\n/bin/mine\r\n"));
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
        SettingsStore& s = *store();
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
            const QString file = fx.config.filePath(QLatin1String(c.what) + u".ini"_s);
            std::optional<FakeKeyring> fake;
            if (c.keyring)
                fake.emplace(*c.keyring).setTimeLimit(50);
            Keyring* k = fake ? &*fake : nullptr;
            {
                SettingsStore s(file);
                SaveLogin(s, k, u"Lina"_s, u"lan tern"_s, true);
                s.sync();
                QCOMPARE(s.get(settings::LoginSavePassword) + s.get(settings::LoginUserName), u"YesLina"_s);
            }
            QVERIFY2(readLocal(file).contains("Password") &&
                         readLocal(file).contains("lan tern") != c.inKeyring,
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
            QVERIFY2(!readLocal(file).contains("lan tern"), c.what);
            if (fake && c.inKeyring)
                QVERIFY(fake->entries.isEmpty());
        }
        // A password the file kept from before the keyring moves there with the next login; a
        // changed user name takes the entry of the previous one away.
        SettingsStore& s = *store();
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
        for (const char* name : {"KRTP_FTP_HOST", "KRTP_BASE_URL", "KRTP_FTP_USER", "KRTP_FTP_PASSWORD"})
            qunsetenv(name);
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
        // A hand-written site file: a comma in a value is part of it.
        QVERIFY(writeLocal(SiteConfig::siteFileName(), "[Site]\nFtpPassword=to,lbek\nFtpUser=team site\n"));
        c = SiteConfig::load();
        QCOMPARE(c.ftpPassword + QLatin1Char('|') + c.ftpUser, u"to,lbek|team site"_s);
        QFile::remove(SiteConfig::siteFileName());
    }

    // Names match whatever their letter case and blanks, the last record of a name wins, odd text is
    // sent encoded, and levels the start-up refuses still pass the check.
    void loginAsMember() {
        const QByteArray two =
            accountFile({{u"Bob"_s, u"pw"_s, 2}, {u"Al Ray"_s, u"a&b #c=d %"_s, 3}, {u"BOB"_s, u"PW"_s, 4}});
        // Typed name and password, the host's account file (null: the demo site's), the member found.
        QList<std::tuple<QString, int, QString, QByteArray, QString>> rows = {
            {u" bob "_s, 3, u"BUILDER"_s, m_seedAccounts, u"Bob"_s}, // letter case and blanks
            {u"bob"_s, 4, u"pw"_s, two, u"BOB"_s},                   // the later record wins
            {u"al ray"_s, 3, u"A&B #C=D %"_s, two, u"Al Ray"_s}};    // odd text
        for (int level : {0, 1, 5})
            rows.append({u"Greta"_s, level, u"closed"_s,
                         accountFile({{u"Greta"_s, u"closed"_s, quint8(level)}}), u"Greta"_s});
        for (const auto& [user, level, password, members, name] : rows) {
            fx.host.write(u"krg/_files.dat"_s, members);
            const int busy = dialogs->busyCount();
            auto w = login(user, password);
            QCOMPARE(w->result(), int(QDialog::Accepted));
            QCOMPARE(runState().CurrentUserName, name);
            QCOMPARE(runState().UserLevel, quint8(level));
            QVERIFY(dialogs->records().isEmpty());
            QVERIFY(dialogs->busyDepth() == 0 &&
                    dialogs->busyCount() > busy); // the busy pointer came and went
            QCOMPARE(
                QStringList({store()->get(settings::LoginUserName), store()->get(settings::LoginSavePassword),
                             store()->get(settings::LoginPassword), store()->get(settings::ProxyUseProxy)}),
                QStringList({user, "Yes", password, "No"}));
            QCOMPARE(w->inet->AccessType, int(TransferControl::AccessDirect));
        }
    }

    // A refused or failed check leaves the window usable, and once the host is right it logs in.
    void refusedLoginKeepsWindowUsable_data() {
        QTest::addColumn<QByteArray>("body"); // the host's account file; null: a host that is gone
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << m_seedAccounts << "build";
        QTest::newRow("html page") << QByteArray(
                                          "<html><head><title>Error</title></head><body>The page cannot "
                                          "be found. Please try again later.</body></html>\r\n")
                                   << "builder";
        QTest::newRow("empty") << QByteArray("") << "builder";
        QTest::newRow("host gone") << QByteArray() << "builder";
    }
    void refusedLoginKeepsWindowUsable() {
        QFETCH(QByteArray, body);
        QFETCH(QString, password);
        int busyAtPrompt = -1;
        dialogs->onPrompt([&](const ScriptedDialogs::Record&) { busyAtPrompt = dialogs->busyDepth(); });
        LoopbackHost gone;
        if (body.isNull()) {
            QVERIFY(gone.start());
            gone.stop(); // its port is closed now
        } else {
            fx.host.write(u"krg/_files.dat"_s, body);
        }
        auto w = login(u"Bob"_s, password);
        QCOMPARE(busyAtPrompt, 0); // the message box has the normal pointer
        QCOMPARE(dialogs->records().size(), 1);
        const ScriptedDialogs::Record said = dialogs->records().first();
        if (body.isNull()) { // the failure's own description
            QCOMPARE(said.icon, Dialogs::Icon::Critical);
            QVERIFY(!said.text.isEmpty() && said.text != QLatin1String("Invalid Username/Password"));
        } else {
            QCOMPARE(said.text, u"Invalid Username/Password"_s);
            QCOMPARE(said.icon, Dialogs::Icon::None);
            QCOMPARE(said.buttons, Dialogs::Buttons(Dialogs::Ok));
        }
        QVERIFY(w->isVisible() && w->isEnabled());
        QCOMPARE(runState().CurrentUserName, QString());
        QCOMPARE(w->txtUserName->palette().color(QPalette::Base), w->palette().color(QPalette::Base));
        QCOMPARE(store()->get(settings::LoginUserName), QString()); // nothing saved
        fx.host.write(u"krg/_files.dat"_s, m_seedAccounts);
        fx.host.exportEnvironment();
        w->txtPassword->setText(u"builder"_s);
        w->cmdOK->click();
        QCOMPARE(runState().CurrentUserName, u"Bob"_s);
        QCOMPARE(w->result(), int(QDialog::Accepted));
    }

    // With a keyring the window files the saved password there; unticking Save Password takes it out,
    // and the next window shows the box unticked and empty.
    void savedPasswordGoesToTheKeyring() {
        FakeKeyring fake;
        setKeyring(&fake);
        const auto restore = qScopeGuard([] { setKeyring(nullptr); });
        auto w = login(u"Bob"_s, u"builder"_s);
        QCOMPARE(fake.entries.value(SavedPasswordKey(u"Bob"_s)), u"builder"_s);
        auto again = std::make_unique<frmLogin>(nullptr, store());
        QCOMPARE(again->txtUserName->text(), u"Bob"_s);
        QCOMPARE(again->txtPassword->text(), u"builder"_s);
        QVERIFY(again->chkSavePassword->isChecked());
        again->chkSavePassword->setChecked(false);
        again->cmdOK->click();
        QVERIFY(fake.entries.isEmpty());
        frmLogin third(nullptr, store());
        QVERIFY(!third.chkSavePassword->isChecked());
        QCOMPARE(third.txtPassword->text(), QString());
    }

    // The proxy box: from the command line, through a refused proxy, unticked and ticked.
    void proxyBoxAndKeys() {
        runState().ProxyServer = u"127.0.0.1:1"_s; // from the command line; nothing listens there
        auto w = std::make_unique<frmLogin>(nullptr, store());
        w->show();
        QVERIFY(w->chkProxyServer->isChecked());
        QCOMPARE(w->txtProxyName->text() + QLatin1Char(':') + w->txtProxyPort->text(), u"127.0.0.1:1"_s);
        QVERIFY(w->fraProxyServer->isEnabled());
        const int expanded = w->height();
        QVERIFY(expanded > w->CollapsedHeight);
        QVERIFY(w->fraProxyServer->geometry().bottom() < expanded);
        // Through the refused proxy the check fails with the failure's description.
        w->txtUserName->setText(u"Bob"_s);
        w->txtPassword->setText(u"builder"_s);
        w->cmdOK->click();
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessNamedProxy));
        QCOMPARE(w->inet->Proxy, u"127.0.0.1:1"_s);
        QCOMPARE(dialogs->records().size(), 1);
        QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::Critical);
        // Unticking collapses the frame and clears the command-line proxy.
        w->chkProxyServer->setChecked(false);
        QCOMPARE(w->height(), w->CollapsedHeight);
        QVERIFY(!w->fraProxyServer->isEnabled());
        QVERIFY(w->fraProxyServer->y() >= w->height());
        w->cmdOK->click();
        QCOMPARE(runState().CurrentUserName, u"Bob"_s);
        QCOMPARE(runState().ProxyServer, QString());
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessDirect));
        QCOMPARE(store()->get(settings::ProxyUseProxy) + store()->get(settings::ProxyName), u"No127.0.0.1"_s);
        // Ticking the box moves the focus to the proxy name.
        runState().ProxyServer.clear();
        frmLogin next(nullptr, store());
        next.show();
        QVERIFY(QTest::qWaitForWindowActive(&next));
        QVERIFY(!next.chkProxyServer->isChecked());
        next.chkProxyServer->setChecked(true);
        QCOMPARE(next.height(), expanded);
        QTRY_VERIFY(next.txtProxyName->hasFocus());
        // Entering a text box selects all of its text.
        next.txtUserName->setText(u"Bob"_s);
        next.txtUserName->deselect();
        QTest::mouseClick(next.txtUserName, Qt::LeftButton);
        QTRY_COMPARE(next.txtUserName->selectedText(), u"Bob"_s);
        // The password shows hidden; Escape cancels, Return logs in.
        runState().CurrentUserName = u"left over"_s;
        frmLogin hidden(nullptr, store());
        hidden.txtPassword->setText(u"pw1"_s);
        QCOMPARE(hidden.txtPassword->displayText(), u"***"_s);
        QCOMPARE(hidden.height(), hidden.CollapsedHeight);
        QVERIFY(hidden.cmdOK->isDefault());
        hidden.show();
        QVERIFY(QTest::qWaitForWindowExposed(&hidden));
        QTest::keyClick(&hidden, Qt::Key_Escape);
        QCOMPARE(hidden.result(), int(QDialog::Rejected));
        QVERIFY(!hidden.isVisible());
        QCOMPARE(runState().CurrentUserName, QString());
        frmLogin enter(nullptr, store());
        enter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&enter));
        enter.txtUserName->setText(u"tomas"_s);
        enter.txtPassword->setText(u"reader"_s);
        QTest::keyClick(enter.txtPassword, Qt::Key_Return);
        QTRY_COMPARE(runState().CurrentUserName, u"Tomas"_s);
        QCOMPARE(runState().UserLevel, quint8(2));
    }

    // The main menu opens each window once, for the levels that may use it; another click shows the
    // same window again.
    void mainMenuOpensEachWindowOnce() {
        fx.logIn(u"Ann"_s, 3);
        QVERIFY(!frmUsers::ShowUsers());
        fx.logIn(u"Tomas"_s, 2);
        QVERIFY(!frmPostNews::ShowPostNews());
        fx.logIn(u"Velmar"_s, 4);
        // Without their windows the buttons stay disabled; the message takes the full width and the rest
        // of the height, the panel is centred.
        frmMainMenu bare;
        QVERIFY(bare.LoadWindow());
        for (QPushButton* b : {bare.cmdAdventure, bare.cmdWebPage, bare.cmdPostNews, bare.cmdUsers})
            QVERIFY(!b->isEnabled());
        bare.resize(900, 640);
        bare.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bare));
        QCOMPARE(bare.txtMessage->width(), bare.width());
        QCOMPARE(bare.txtMessage->geometry().bottom() + 1, bare.height());
        QCOMPARE(bare.picPanel->x(), (bare.width() - bare.picPanel->width()) / 2);
        store()->set(settings::ShowCheckedOutFilesOnExit, u"No"_s);
        frmMainMenu menu;
        ConnectMainMenuWindows(menu);
        QVERIFY(menu.LoadWindow());
        menu.cmdAdventure->click();
        QPointer<frmFileList> window = frmFileList::instance();
        QVERIFY(window && window->isVisible());
        QVERIFY(window->model().count() > 0);
        // The member has fetched nothing yet: the out-of-date list follows, owned by the window. The
        // window has its options and local-folder openers.
        QVERIFY(window->LastCountOfOutdatedFiles() > 0);
        QPointer<QWidget> outdated = window->findChild<QWidget*>(u"frmOutdatedFiles"_s);
        QVERIFY(outdated && outdated->isVisible());
        QVERIFY(window->findChild<QWidget*>(u"cmdOptions"_s)->isEnabled());
        QVERIFY(window->findChild<QWidget*>(u"cmdSetLocalFolder"_s)->isEnabled());
        outdated->close();
        QTRY_VERIFY(!outdated);
        // Rebuilt on the second click; with the option off no list follows.
        store()->set(settings::ShowOutdatedFilesOnStartup, u"No"_s);
        menu.cmdAdventure->click();
        QCOMPARE(frmFileList::instance(), window.data());
        QVERIFY(!window->findChild<QWidget*>(u"frmOutdatedFiles"_s));
        window->close();
        QTRY_VERIFY(!window);
        // The accounts window keeps its edits when shown again.
        menu.cmdUsers->click();
        QPointer<frmUsers> users = frmUsers::instance();
        QVERIFY(users && users->isVisible());
        QCOMPARE(users->lvwFileList->count(), 6);
        users->cmdNewUser->click();
        menu.cmdUsers->click();
        QCOMPARE(frmUsers::instance(), users.data());
        QCOMPARE(users->lvwFileList->count(), 7);
        dialogs->answer(Dialogs::No);
        users->close();
        QTRY_VERIFY(!users);
        menu.cmdPostNews->click();
        QPointer<frmPostNews> news = frmPostNews::instance();
        QVERIFY(news && news->isVisible());
        QCOMPARE(news->cboWhichPage[0]->currentText(), u"Front Page News"_s);
        menu.cmdPostNews->click();
        QCOMPARE(frmPostNews::instance(), news.data());
        news->close();
        QTRY_VERIFY(!news);
    }

    // The message of the day: a newer version line ends the start-up (a byte order mark before it
    // too), the text shows as written in UTF-8, and a missing message still opens the menu, with the
    // buttons of the member's level.
    void messageOfTheDay() {
        const QString newer = u"KRtp has been updated to version 2.0.6\r\nYou are currently using "
                              "version 2.0.5\r\n\r\nPlease get version 2.0.6 from Velmar."_s;
        // The message (null: no message file), the level, the buttons on (adventure, web page, news,
        // users; empty: no menu) and the text shown.
        const std::tuple<QByteArray, int, QString, QString> rows[] = {
            {"2.0.6\r\nPlease update.", 3, {}, newer},
            {"\xEF\xBB\xBF"
             "2.0.6\r\nBitte aktualisieren.",
             3,
             {},
             newer},
            {"2.0.5\r\nGr\xC3\xBC\xC3\x9F"
             "e \xE2\x82\xAC",
             3, u"1110"_s,
             u"Gr\u00FC\u00DF"
             "e \u20AC"_s},
            {QByteArray(), 2, u"1100"_s, QString()},
            {"2.0.4\r\nHi", 4, u"1111"_s, u"Hi"_s}};
        const QByteArray seedMessage = fx.host.read(u"krg/_message.dat"_s);
        const auto restore = qScopeGuard([&] { fx.host.write(u"krg/_message.dat"_s, seedMessage); });
        for (const auto& [message, level, buttons, shown] : rows) {
            dialogs->clear();
            if (message.isNull())
                QFile::remove(fx.host.path(u"krg/_message.dat"_s));
            else
                fx.host.write(u"krg/_message.dat"_s, message);
            runState().UserLevel = quint8(level);
            frmMainMenu menu;
            int opened = 0;
            menu.openFileList = menu.openWebPage = menu.openPostNews = menu.openUsers = [&] { ++opened; };
            QCOMPARE(menu.LoadWindow(), !buttons.isEmpty());
            if (buttons.isEmpty()) {
                QCOMPARE(dialogs->texts(), QStringList{shown});
                QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::Critical);
                continue;
            }
            QCOMPARE(menu.txtMessage->toPlainText(), shown);
            QVERIFY(shown.isEmpty() || dialogs->records().isEmpty());
            QString enabled;
            for (const QPushButton* b : {menu.cmdAdventure, menu.cmdWebPage, menu.cmdPostNews, menu.cmdUsers})
                enabled += QLatin1Char(b->isEnabled() ? '1' : '0');
            QCOMPARE(enabled, buttons);
            menu.cmdAdventure->click();
            QCOMPARE(opened, 1);
        }
    }

    // The tree fills and sorts its folders in the background, and folders appear while it is open:
    // the chosen folder stays in view until the member uses the tree.
    void localFolderWindow() {
        QTemporaryDir base;
        const QDir top(QDir(base.path()).canonicalPath());
        const QString chosenPath = top.filePath(u"team/.local/share/KRtp/Local Folder"_s);
        QVERIFY(QDir().mkpath(chosenPath));
        runState().LocalFolder = chosenPath + QLatin1Char('/');
        frmSetLocalDir w(nullptr, store());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.treePath(), chosenPath);
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath);
        const auto inView = [&] {
            return w.dirLocalFolder->viewport()->rect().contains(
                w.dirLocalFolder->visualRect(w.dirLocalFolder->currentIndex()));
        };
        QTRY_VERIFY(inView());
        for (int i = 0; i < 60; ++i) // rows above the chosen folder push it down
            QVERIFY(top.mkdir(u"added%1"_s.arg(i, 2, 10, QLatin1Char('0'))));
        const auto* model = qobject_cast<const QFileSystemModel*>(w.dirLocalFolder->model());
        QTRY_COMPARE(model->rowCount(model->index(top.path())), 61);
        QTRY_VERIFY(inView());
        // Set Local Folder asks first; No keeps the window open and stores nothing.
        QDir(chosenPath).mkdir(u"sub"_s);
        QVERIFY(w.setTreePath(chosenPath + u"/sub"_s));
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath + u"/sub"_s);
        QVERIFY(!w.setTreePath(chosenPath + u"/missing"_s));
        QCOMPARE(w.treePath(), chosenPath + u"/sub"_s);
        dialogs->answer(Dialogs::No);
        w.cmdSetLocalDir->click();
        QVERIFY(w.isVisible());
        QCOMPARE(store()->get(settings::LocalFolder), QString());
        const QString expected = chosenPath + u"/sub/"_s;
        QCOMPARE(dialogs->lastText(), u"Set Local Folder to "_s + expected + u" ?"_s);
        QCOMPARE(dialogs->records().last().buttons, Dialogs::Buttons(Dialogs::Yes | Dialogs::No));
        dialogs->answer(Dialogs::Yes);
        w.cmdSetLocalDir->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(store()->get(settings::LocalFolder), expected);
        QCOMPARE(runState().LocalFolder, expected);
        QCOMPARE(QDir::currentPath(), chosenPath + u"/sub"_s);
        // An unusable folder leaves the tree where it was; the root is offered without a doubled
        // separator; Cancel stores nothing.
        runState().LocalFolder = fx.config.filePath(u"no such folder/"_s);
        frmSetLocalDir root(nullptr, store());
        QCOMPARE(root.treePath(), QDir::currentPath());
        QVERIFY(root.setTreePath(u"/"_s));
        dialogs->answer(Dialogs::Yes);
        root.cmdSetLocalDir->click();
        QCOMPARE(dialogs->lastText(), u"Set Local Folder to / ?"_s);
        QCOMPARE(store()->get(settings::LocalFolder), u"/"_s);
        frmSetLocalDir cancelled(nullptr, store());
        cancelled.cmdCancel->click();
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
        QCOMPARE(store()->get(settings::LocalFolder), u"/"_s);
    }

    // Opening the options stores the icon positions (small icons), even when the window is then
    // cancelled, and cancelling writes nothing else. OK writes only what differs; a changed colour
    // rebuilds the list.
    void optionsOnTheFileList() {
        fx.logIn(u"Bob"_s, LevelFullAccess);
        const auto stored = [this](const SettingKey& k) {
            return store()->read(QLatin1String(k.section), QLatin1String(k.key), u"-"_s);
        };
        frmFileList list;
        list.show();
        QVERIFY(list.UpdateFileList());
        auto* inet = control<TransferControl>(list, "inet");
        list.setViewStyle(1);
        QPointer<frmOptions> w = frmOptions::ShowOptions(list);
        QCOMPARE(w->windowTitle(), u"Options"_s);
        QVERIFY(stored({"Icons", "menu.js", ""}) != u"-"_s);
        QVERIFY(control<QRadioButton>(*w, "optSmallIcons")->isChecked());
        QVERIFY(control<QCheckBox>(*w, "chkShowOutOfDateAsRed")->isChecked());
        control<QCheckBox>(*w, "chkShowUpToDateAsBlue")->setChecked(true);
        control<QPushButton>(*w, "cmdCancel")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(stored(settings::ShowUpToDateAsBlue) + stored(settings::CurrentView), u"--"_s);
        // Large icons show as "List"; OK stores 2.
        list.setViewStyle(0);
        w = frmOptions::ShowOptions(list);
        QCOMPARE(frmOptions::ShowOptions(list), w.data());
        QVERIFY(control<QRadioButton>(*w, "optList")->isChecked());
        const int sent = inet->commandsSent();
        control<QPushButton>(*w, "cmdOK")->click();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(list.viewStyle(), 2);
        QCOMPARE(stored(settings::CurrentView) + stored(settings::ShowOutOfDateAsRed), u"2-"_s);
        QCOMPARE(inet->commandsSent(), sent);
        w = frmOptions::ShowOptions(list);
        control<QCheckBox>(*w, "chkShowUpToDateAsBlue")->setChecked(true);
        control<QRadioButton>(*w, "optDetails")->setChecked(true);
        w->close();
        QCOMPARE(stored(settings::ShowUpToDateAsBlue), u"Yes"_s);
        QVERIFY(inet->commandsSent() > sent);
        QCOMPARE(list.model().find(u"menu.js"_s)->smallIconKey, u"new"_s);
        QCOMPARE(list.viewStyle(), 3);
        list.store().Shutdown();
    }

    // The whole start-up with the real windows: modal ones are answered from a timer.
    void wholeStartUp() {
        QStringList seen;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* login = qobject_cast<frmLogin*>(modal); login && !login->checking()) {
                // The login is still open after one try: it was refused. Cancelling ends the start-up
                // (and fails the test below) instead of trying again for ever.
                if (seen.contains(u"login"_s)) {
                    seen << u"login again"_s;
                    login->cmdCancel->click();
                    return;
                }
                seen << u"login"_s;
                login->txtUserName->setText(u"Velmar"_s);
                login->txtPassword->setText(u"keystone"_s);
                login->cmdOK->click();
            } else if (auto* folder = qobject_cast<frmSetLocalDir*>(modal)) {
                seen << u"localfolder "_s + folder->treePath();
                folder->cmdCancel->click();
            }
        });
        driver.start(5);
        GuiStartupWindows windows;
        const StartupEnd end = RunStartup(windows, *store(), m_programFolder, {u"krtp"_s});
        driver.stop();
        QVERIFY2(end == StartupEnd::Running, qPrintable(dialogs->texts().join(QLatin1Char('|'))));
        const QString local = m_programFolder + u"/Local Folder"_s;
        QCOMPARE(seen, (QStringList{u"login"_s, u"localfolder "_s + local}));
        QCOMPARE(runState().CurrentUserName, u"Velmar"_s);
        QCOMPARE(runState().LocalFolder, local + QLatin1Char('/'));
        QVERIFY(QFileInfo(local + u"/VelmarFTP/krg/_message.dat"_s).isFile());
        QVERIFY(windows.mainMenu() && windows.mainMenu()->isVisible());
        QVERIFY(windows.mainMenu()->txtMessage->toPlainText().startsWith(QLatin1String("Welcome back")));
        QVERIFY(!windows.splash() || !windows.splash()->isVisible());
        QCOMPARE(store()->get(settings::LoginUserName), u"Velmar"_s);
        QVERIFY(dialogs->records().isEmpty());
        delete windows.mainMenu();
    }

    void splash() {
        frmSplash s;
        QCOMPARE(s.lblVersion->text(), u"Version 2.0.5"_s);
        QCOMPARE(s.lblPlatform->text(), u"for Windows 95"_s);
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QTest::mouseClick(s.Frame1, Qt::LeftButton);
        QVERIFY(!s.isVisible());
        s.close(); // closing twice is harmless
        s.show();
        QTest::keyClick(&s, Qt::Key_Space);
        QVERIFY(!s.isVisible());
    }
};

KRTP_TEST_MAIN_GUI(TestAppWindows)
#include "tst_appwindows.moc"
