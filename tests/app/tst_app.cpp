#include "app/savedlogin.h"
#include "app/startup.h"
#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "fakekeyring.h"
#include "testfiles.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace krtp;
using namespace krtp::test;

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void checkProgramVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("ok");
        QTest::newRow("same") << "2.0.5" << true;
        QTest::newRow("older revision") << "2.0.4" << true;
        QTest::newRow("older") << "1.9.9" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("no digits") << "abc" << true;
        QTest::newRow("newer revision") << "2.0.6" << false;
        QTest::newRow("newer minor") << "2.1" << false;
        QTest::newRow("newer major") << "3" << false;
        QTest::newRow("leading digits count") << "2.0.5beta" << true;
        QTest::newRow("trailing text") << "2.0.6 (update)" << false;
        QTest::newRow("huge") << "99999999999999999999" << false;
        QTest::newRow("two only") << "2.0" << true;
        QTest::newRow("leading blank") << " 2.0.6" << false;
        QTest::newRow("blank before minor") << "2. 1" << false;
    }
    void checkProgramVersion() {
        QFETCH(QString, version);
        QFETCH(bool, ok);
        QCOMPARE(CheckProgramVersion(version), ok);
        QCOMPARE(GetProgramVersion(), QStringLiteral("2.0.5"));
    }

    void settingsDefaultsAndYes() {
        QTemporaryDir dir;
        SettingsStore s(dir.filePath(QStringLiteral("KRtp.ini")));
        QCOMPARE(s.get(settings::CurrentView), QStringLiteral("3"));
        QCOMPARE(s.get(settings::ProxyUseProxy), QStringLiteral("no"));
        QCOMPARE(s.get(settings::PostNewsTimeZone), QStringLiteral("EST"));
        QCOMPARE(s.fileVersion(QStringLiteral("Index.HTML")), QStringLiteral("0"));
        QVERIFY(s.isYes(settings::ShowPreviewPane));
        // Reading creates nothing.
        QVERIFY(!QFile::exists(s.fileName()));
        s.set(settings::ShowPreviewPane, QStringLiteral("yes")); // only the exact word counts
        QVERIFY(!s.isYes(settings::ShowPreviewPane));
    }

    // Keys and values (a password, a proxy name typed by the member) come back exactly as written.
    void settingsKeysAndValuesStayVerbatim() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("KRtp.ini"));
        const QStringList values{" pass word ",  "a,b;c=d",     "@Variant(x)",
                                 "\"quoted\"",   "back\\slash", "\u00e9t\u00e9 \u0141\u20ac",
                                 "two\r\nlines", "#hash",       QString()};
        {
            SettingsStore s(file);
            s.set(settings::CurrentView, QStringLiteral("1"));
            s.write(QStringLiteral("Icons"), QStringLiteral("currentview"), QStringLiteral("10,20"));
            s.write(QStringLiteral("Icons"), QStringLiteral("a/b\\c%2F d.txt"), QStringLiteral("5,6"));
            s.setFileVersion(QStringLiteral("My Page.HTML"), QStringLiteral("7"));
            for (int i = 0; i < values.size(); ++i)
                s.write(QStringLiteral("Login"), QStringLiteral("K%1").arg(i), values.at(i));
            s.sync();
        }
        SettingsStore again(file);
        QCOMPARE(again.get(settings::CurrentView), QStringLiteral("1"));
        const auto icon = [&](const char* key) {
            return again.read(QStringLiteral("Icons"), QLatin1String(key), QStringLiteral("none"));
        };
        QCOMPARE(icon("currentview") + icon("a/b\\c%2F d.txt") + icon("a/b/c%2F d.txt"),
                 QStringLiteral("10,205,6none"));
        QCOMPARE(again.fileVersion(QStringLiteral("my page.html")), QStringLiteral("7"));
        for (int i = 0; i < values.size(); ++i)
            QCOMPARE(again.read(QStringLiteral("Login"), QStringLiteral("K%1").arg(i), QStringLiteral("-")),
                     values.at(i));
        // The file may hold a password: owner only.
        QCOMPARE(QFile::permissions(file) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteGroup | QFileDevice::WriteOther),
                 QFileDevice::Permissions());
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
        const QString key = SavedPasswordKey(QStringLiteral("Lina"));
        QCOMPARE(SavedPasswordKey(QStringLiteral(" LINA ")), key);
        for (const Case& c : cases) {
            QTemporaryDir dir;
            const QString file = dir.filePath(QStringLiteral("KRtp.ini"));
            std::optional<FakeKeyring> fake;
            if (c.keyring)
                fake.emplace(*c.keyring).setTimeLimit(50);
            Keyring* k = fake ? &*fake : nullptr;
            const auto fileText = [&] { return readLocal(file); };
            {
                SettingsStore s(file);
                SaveLogin(s, k, QStringLiteral("Lina"), QStringLiteral("lan tern"), true);
                s.sync();
                QCOMPARE(s.get(settings::LoginSavePassword), QStringLiteral("Yes"));
                QCOMPARE(s.get(settings::LoginUserName), QStringLiteral("Lina"));
            }
            QVERIFY2(fileText().contains("Password") && fileText().contains("lan tern") != c.inKeyring,
                     c.what);
            QCOMPARE(fake && fake->entries.value(key) == QLatin1String("lan tern"), c.inKeyring);
            {
                SettingsStore s(file);
                QElapsedTimer t;
                t.start();
                QCOMPARE(LoadSavedPassword(s, k), QStringLiteral("lan tern"));
                // A keyring that did not answer is not asked again.
                QVERIFY2(t.elapsed() < 40 || c.keyring != FakeKeyring::Mode::Silent, c.what);
                SaveLogin(s, k, QStringLiteral("Lina"), QStringLiteral("lan tern"), false);
                s.sync();
                QCOMPARE(s.get(settings::LoginSavePassword), QStringLiteral("No"));
                QCOMPARE(LoadSavedPassword(s, k), QString());
            }
            QVERIFY2(!fileText().contains("lan tern"), c.what);
            if (fake && c.inKeyring)
                QVERIFY(fake->entries.isEmpty());
        }
        // A password the file kept from before the keyring moves there with the next login; a
        // changed user name takes the entry of the previous one away.
        QTemporaryDir dir;
        SettingsStore s(dir.filePath(QStringLiteral("KRtp.ini")));
        s.set(settings::LoginUserName, QStringLiteral("Lina"));
        s.set(settings::LoginPassword, QStringLiteral("old"));
        FakeKeyring fake;
        QCOMPARE(LoadSavedPassword(s, &fake), QStringLiteral("old"));
        SaveLogin(s, &fake, QStringLiteral("Lina"), QStringLiteral("old"), true);
        QCOMPARE(s.get(settings::LoginPassword), QString());
        QCOMPARE(fake.entries, (QMap<QString, QString>{{key, QStringLiteral("old")}}));
        SaveLogin(s, &fake, QStringLiteral("Bob"), QStringLiteral("builder"), true);
        QCOMPARE(fake.entries, (QMap<QString, QString>{
                                   {SavedPasswordKey(QStringLiteral("bob")), QStringLiteral("builder")}}));
        QCOMPARE(LoadSavedPassword(s, &fake), QStringLiteral("builder"));
        // Saving off reads nothing from the keyring.
        s.set(settings::LoginSavePassword, QStringLiteral("no"));
        const int calls = fake.calls;
        QCOMPARE(LoadSavedPassword(s, &fake), QString());
        QCOMPARE(fake.calls, calls);
    }

    void defaultStoreLivesInConfigFolder() {
        QCOMPARE(SettingsStore::defaultFileName(),
                 qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/KRtp/KRtp.ini"));
        QCOMPARE(ProgramFolder(), qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/KRtp"));
    }

    void startupReadsNoReadOnly() {
        QTemporaryDir dir;
        SettingsStore s(dir.filePath(QStringLiteral("KRtp.ini")));
        ReadStartupSettings(s);
        QVERIFY(!runState().NoReadOnly);
        for (const char* value : {"YES", "Yes"}) { // only the exact word counts
            s.set(settings::NoReadOnly, QLatin1String(value));
            ReadStartupSettings(s);
            QCOMPARE(runState().NoReadOnly, value[1] == 'e');
        }
        runState().NoReadOnly = false;
    }

    void externalEditorsWrittenOnce() {
        QTemporaryDir dir;
        PrepareExternalEditors(dir.path());
        const QString file = dir.filePath(QStringLiteral("external editors.ini"));
        QCOMPARE(runState().ExternalEditorsFile, file);
        const QByteArray content = readLocal(file);
        QCOMPARE(content, DefaultExternalEditors());
        QCOMPARE(content.count("\r\n"), 6);
        QVERIFY(content.split('\n').at(3).startsWith('"'));
        QVERIFY(writeLocal(file, "Mine\r\n/bin/mine\r\n"));
        PrepareExternalEditors(dir.path());
        QCOMPARE(readLocal(file), QByteArray("Mine\r\n/bin/mine\r\n"));
    }

    void proxySwitch_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("proxy");
        QTest::newRow("switch") << QStringList{"krtp", "/proxy", "cache.example:3128"}
                                << "cache.example:3128";
        QTest::newRow("capitals ignored") << QStringList{"krtp", "/PROXY", "cache:1"} << "";
        QTest::newRow("later in line") << QStringList{"krtp", "-x", "/proxy", "p:8"} << "p:8";
        QTest::newRow("rest of line") << QStringList{"krtp", "/proxy", "p:8", "more"} << "p:8 more";
        QTest::newRow("none") << QStringList{"krtp"} << "";
        QTest::newRow("switch alone") << QStringList{"krtp", "/proxy"} << "";
    }
    void proxySwitch() {
        QFETCH(QStringList, args);
        QFETCH(QString, proxy);
        runState().ProxyServer.clear();
        ProxyFromCommandLine(CommandLineText(args));
        QCOMPARE(runState().ProxyServer, proxy);
        runState().ProxyServer.clear();
    }

    void siteConfigLayers() {
        SiteConfig c = SiteConfig::load();
        QVERIFY(c.baseUrl.endsWith(QLatin1Char('/')));
        {
            QSettings site(SiteConfig::siteFileName(), QSettings::IniFormat);
            site.setValue(QStringLiteral("Site/FtpHost"), QStringLiteral("files.example:21"));
            site.setValue(QStringLiteral("Site/BaseUrl"), QStringLiteral("http://www.example"));
        }
        c = SiteConfig::load();
        QCOMPARE(c.ftpHost, QStringLiteral("files.example:21"));
        QCOMPARE(c.baseUrl, QStringLiteral("http://www.example/"));
        qputenv("KRTP_FTP_HOST", "127.0.0.1:9");
        c = SiteConfig::load();
        QCOMPARE(c.ftpHost, QStringLiteral("127.0.0.1:9"));
        QCOMPARE(c.baseUrl, QStringLiteral("http://www.example/"));
        qunsetenv("KRTP_FTP_HOST");
        // A hand-written site file: a comma in a value is part of it.
        QVERIFY(writeLocal(SiteConfig::siteFileName(), "[Site]\nFtpPassword=to,lbek\nFtpUser=team site\n"));
        c = SiteConfig::load();
        QCOMPARE(c.ftpPassword + QLatin1Char('|') + c.ftpUser, QStringLiteral("to,lbek|team site"));
        QFile::remove(SiteConfig::siteFileName());
    }
};

KRTP_TEST_MAIN_CORE(TestApp)
#include "tst_app.moc"
