// The start-up windows against a real loopback host seeded with the demo site.
#include "accounts/accountfile.h"
#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmsetlocaldir.h"
#include "app/gui/frmsplash.h"
#include "app/gui/guistartupwindows.h"
#include "app/gui/mainmenuhooks.h"
#include "app/savedlogin.h"
#include "buildconfig.h"
#include "clirunner.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "fakekeyring.h"
#include "filestore/gui/frmfilelist.h"
#include "loopbackhost.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace krtp;

namespace {

const QString kSeed = QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site");

QByteArray accounts(std::initializer_list<AccountRecord> members) {
    QByteArray data;
    for (const AccountRecord& m : members)
        data += EncodeAccountRecord(m);
    return data;
}

} // namespace

class TestAppWindows : public QObject {
    Q_OBJECT

    test::LoopbackHost m_host;
    QByteArray m_seedAccounts;
    QTemporaryDir m_dir;
    QString m_startDir;
    std::unique_ptr<SettingsStore> m_store;
    int m_storeCount = 0;
    test::WindowHarness dialogs;
    std::unique_ptr<QTemporaryDir> m_local;

    // A fresh local folder with the mirror root, as the working folder.
    void useLocalFolder() {
        m_local = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_local->path()));
        QDir().mkdir(QStringLiteral("VelmarFTP"));
    }

    // A login window on a fresh settings file, filled and submitted.
    std::unique_ptr<frmLogin> login(const QString& user, const QString& password) {
        auto w = std::make_unique<frmLogin>(nullptr, m_store.get());
        w->show();
        w->txtUserName->setText(user);
        w->txtPassword->setText(password);
        w->cmdOK->click();
        return w;
    }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(m_host.start(kSeed, &error), qPrintable(error));
        m_seedAccounts = m_host.read(QStringLiteral("krg/_files.dat"));
        QCOMPARE(m_seedAccounts.size(), 6 * kAccountRecordSize);
        m_startDir = QDir::currentPath();
    }
    void init() {
        runState() = RunState();
        m_store =
            std::make_unique<SettingsStore>(m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_storeCount)));
        m_host.write(QStringLiteral("krg/_files.dat"), m_seedAccounts);
        m_host.exportEnvironment();
        dialogs.init();
    }
    void cleanup() {
        QDir::setCurrent(m_startDir);
        m_local.reset();
        runState() = RunState();
        QVERIFY(dialogs.done());
    }

    // Names match whatever their letter case and blanks, the last record of a name wins, odd text is
    // sent encoded, and levels the start-up refuses still pass the check.
    void loginAsMember_data() {
        QTest::addColumn<QByteArray>("members");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("level");
        const QByteArray two = accounts({{QStringLiteral("Bob"), QStringLiteral("pw"), 2},
                                         {QStringLiteral("Al Ray"), QStringLiteral("a&b #c=d %"), 3},
                                         {QStringLiteral("BOB"), QStringLiteral("PW"), 4}});
        QTest::newRow("case and blanks") << QByteArray() << " bob "
                                         << "BUILDER"
                                         << "Bob" << 3;
        QTest::newRow("later record wins") << two << "bob"
                                           << "pw"
                                           << "BOB" << 4;
        QTest::newRow("odd text") << two << "al ray"
                                  << "A&B #C=D %"
                                  << "Al Ray" << 3;
        for (int level : {0, 1, 5})
            QTest::addRow("level %d", level)
                << accounts({{QStringLiteral("Greta"), QStringLiteral("closed"), quint8(level)}}) << "Greta"
                << "closed"
                << "Greta" << level;
    }
    void loginAsMember() {
        QFETCH(QByteArray, members);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, name);
        QFETCH(int, level);
        if (!members.isNull())
            m_host.write(QStringLiteral("krg/_files.dat"), members);
        auto w = login(user, password);
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QCOMPARE(runState().CurrentUserName, name);
        QCOMPARE(runState().UserLevel, quint8(level));
        QVERIFY(dialogs->records().isEmpty());
        QCOMPARE(dialogs->busyDepth(), 0);
        QVERIFY(dialogs->busyCount() > 0);
        QCOMPARE(m_store->get(settings::LoginUserName), user);
        QCOMPARE(m_store->get(settings::LoginSavePassword), QStringLiteral("Yes"));
        QCOMPARE(m_store->get(settings::LoginPassword), password);
        QCOMPARE(m_store->get(settings::ProxyUseProxy), QStringLiteral("No"));
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessDirect));
    }

    void invalidAnswers_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("password");
        QTest::newRow("wrong password") << m_seedAccounts << "build";
        QTest::newRow("html page") << QByteArray(
                                          "<html><head><title>Error</title></head><body>The page cannot be "
                                          "found. Please try again later.</body></html>\r\n")
                                   << "builder";
        QTest::newRow("empty") << QByteArray() << "builder";
    }
    void invalidAnswers() {
        QFETCH(QByteArray, body);
        QFETCH(QString, password);
        int busyAtPrompt = -1;
        dialogs->onPrompt([&](const test::ScriptedDialogs::Record&) { busyAtPrompt = dialogs->busyDepth(); });
        m_host.write(QStringLiteral("krg/_files.dat"), body);
        auto w = login(QStringLiteral("Bob"), password);
        QCOMPARE(busyAtPrompt, 0); // the message box has the normal pointer
        QCOMPARE(dialogs->texts(), QStringList{QStringLiteral("Invalid Username/Password")});
        QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::None);
        QCOMPARE(dialogs->records().first().buttons, Dialogs::Buttons(Dialogs::Ok));
        QVERIFY(w->isVisible());
        QVERIFY(w->isEnabled());
        QCOMPARE(w->result(), int(QDialog::Rejected));
        QCOMPARE(runState().CurrentUserName, QString());
        QCOMPARE(w->txtUserName->palette().color(QPalette::Base), w->palette().color(QPalette::Base));
        QCOMPARE(m_store->get(settings::LoginUserName), QString()); // nothing saved
    }

    void stoppedHostKeepsWindowUsable() {
        test::LoopbackHost gone;
        QVERIFY(gone.start());
        gone.stop(); // its port is closed now
        auto w = login(QStringLiteral("Bob"), QStringLiteral("builder"));
        QCOMPARE(dialogs->records().size(), 1);
        QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::Critical);
        QVERIFY(!dialogs->lastText().isEmpty());
        QVERIFY(dialogs->lastText() != QLatin1String("Invalid Username/Password"));
        QVERIFY(w->isEnabled());
        QCOMPARE(dialogs->busyDepth(), 0);
        QCOMPARE(runState().CurrentUserName, QString());

        m_host.exportEnvironment(); // the host is back: the same window logs in
        w->cmdOK->click();
        QCOMPARE(runState().CurrentUserName, QStringLiteral("Bob"));
        QCOMPARE(w->result(), int(QDialog::Accepted));
    }

    void savePasswordOffEmptiesIt() {
        m_store->set(settings::LoginUserName, QStringLiteral("Lina"));
        m_store->set(settings::LoginPassword, QStringLiteral("lantern"));
        auto w = std::make_unique<frmLogin>(nullptr, m_store.get());
        QCOMPARE(w->txtUserName->text(), QStringLiteral("Lina"));
        QCOMPARE(w->txtPassword->text(), QStringLiteral("lantern")); // SavePassword defaults to Yes
        QVERIFY(w->chkSavePassword->isChecked());
        w->chkSavePassword->setChecked(false);
        w->cmdOK->click();
        QCOMPARE(runState().CurrentUserName, QStringLiteral("Lina"));
        QCOMPARE(m_store->get(settings::LoginSavePassword), QStringLiteral("No"));
        QCOMPARE(m_store->get(settings::LoginPassword), QString());

        auto again = std::make_unique<frmLogin>(nullptr, m_store.get());
        QVERIFY(!again->chkSavePassword->isChecked());
        QCOMPARE(again->txtPassword->text(), QString());
    }

    // With a keyring the window files the saved password there and the settings file never holds it;
    // unticking Save Password takes it out of both.
    void savedPasswordGoesToTheKeyring() {
        test::FakeKeyring fake;
        setKeyring(&fake);
        const auto restore = qScopeGuard([] { setKeyring(nullptr); });
        const auto fileText = [this] {
            m_store->sync();
            QFile f(m_store->fileName());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        auto w = login(QStringLiteral("Bob"), QStringLiteral("builder"));
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QCOMPARE(fake.entries.value(SavedPasswordKey(QStringLiteral("Bob"))), QStringLiteral("builder"));
        QCOMPARE(m_store->get(settings::LoginSavePassword), QStringLiteral("Yes"));
        QVERIFY(fileText().contains("UserName=Bob"));
        QVERIFY(!fileText().contains("builder"));

        auto again = std::make_unique<frmLogin>(nullptr, m_store.get());
        QVERIFY(again->chkSavePassword->isChecked());
        QCOMPARE(again->txtPassword->text(), QStringLiteral("builder"));
        again->chkSavePassword->setChecked(false);
        again->cmdOK->click();
        QCOMPARE(again->result(), int(QDialog::Accepted));
        QVERIFY(fake.entries.isEmpty());
        QCOMPARE(m_store->get(settings::LoginSavePassword), QStringLiteral("No"));
        QVERIFY(!fileText().contains("builder"));
        QVERIFY(dialogs->records().isEmpty());
    }

    void proxyBox() {
        runState().ProxyServer =
            QStringLiteral("127.0.0.1:1"); // from the command line; nothing listens there
        auto w = std::make_unique<frmLogin>(nullptr, m_store.get());
        w->show();
        QVERIFY(w->chkProxyServer->isChecked());
        QCOMPARE(w->txtProxyName->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(w->txtProxyPort->text(), QStringLiteral("1"));
        QVERIFY(w->fraProxyServer->isEnabled());
        const int expanded = w->height();
        QVERIFY(expanded > w->CollapsedHeight);
        QVERIFY(w->fraProxyServer->geometry().bottom() < expanded);

        // Through the refused proxy the check fails with the failure's description.
        w->txtUserName->setText(QStringLiteral("Bob"));
        w->txtPassword->setText(QStringLiteral("builder"));
        w->cmdOK->click();
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessNamedProxy));
        QCOMPARE(w->inet->Proxy, QStringLiteral("127.0.0.1:1"));
        QCOMPARE(dialogs->records().size(), 1);
        QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::Critical);

        // Unticking collapses the frame and clears the command-line proxy.
        w->chkProxyServer->setChecked(false);
        QCOMPARE(w->height(), w->CollapsedHeight);
        QVERIFY(!w->fraProxyServer->isEnabled());
        QVERIFY(w->fraProxyServer->y() >= w->height());
        w->cmdOK->click();
        QCOMPARE(runState().CurrentUserName, QStringLiteral("Bob"));
        QCOMPARE(runState().ProxyServer, QString());
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessDirect));
        QCOMPARE(m_store->get(settings::ProxyUseProxy), QStringLiteral("No"));
        QCOMPARE(m_store->get(settings::ProxyName), QStringLiteral("127.0.0.1"));

        // Ticking the box moves the focus to the proxy name.
        runState().ProxyServer.clear();
        frmLogin next(nullptr, m_store.get());
        next.show();
        QVERIFY(QTest::qWaitForWindowActive(&next));
        QVERIFY(!next.chkProxyServer->isChecked());
        next.chkProxyServer->setChecked(true);
        QCOMPARE(next.height(), expanded);
        QTRY_VERIFY(next.txtProxyName->hasFocus());

        // Entering a text box selects all of its text.
        next.txtUserName->setText(QStringLiteral("Bob"));
        next.txtUserName->deselect();
        QTest::mouseClick(next.txtUserName, Qt::LeftButton);
        QTRY_COMPARE(next.txtUserName->selectedText(), QStringLiteral("Bob"));
    }

    void passwordHiddenAndKeys() {
        runState().CurrentUserName = QStringLiteral("left over");
        frmLogin w(nullptr, m_store.get());
        w.txtPassword->setText(QStringLiteral("pw1"));
        QCOMPARE(w.txtPassword->displayText(), QStringLiteral("***"));
        QVERIFY(!w.chkProxyServer->isChecked());
        QCOMPARE(w.height(), w.CollapsedHeight);
        QVERIFY(w.cmdOK->isDefault());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(!w.isVisible());
        QCOMPARE(runState().CurrentUserName, QString());

        frmLogin enter(nullptr, m_store.get());
        enter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&enter));
        enter.txtUserName->setText(QStringLiteral("tomas"));
        enter.txtPassword->setText(QStringLiteral("reader"));
        QTest::keyClick(enter.txtPassword, Qt::Key_Return);
        QTRY_COMPARE(runState().CurrentUserName, QStringLiteral("Tomas"));
        QCOMPARE(runState().UserLevel, quint8(2));
    }

    void whoamiCommand() {
        const QStringList args{QStringLiteral("whoami"), QStringLiteral("--user"), QStringLiteral(" bob ")};
        test::CliResult r = test::runCli(args, {QStringLiteral("Builder"), {}, {}});
        QCOMPARE(r.out, QByteArray("Bob 3\n"));
        QCOMPARE(r.code, 0);
        r = test::runCli(args, {QStringLiteral("wrong"), {}, {}});
        QCOMPARE(r.err, QByteArray("Invalid Username/Password\n"));
        QVERIFY(r.code > 0);
        QCOMPARE(r.out, QByteArray());
    }

    void levelsOpensTheOneFileListWindow() {
        useLocalFolder();
        runState().CurrentUserName = QStringLiteral("Bob");
        runState().UserLevel = 3;
        runState().LocalFolder = m_local->path() + QLatin1Char('/');
        setSettingsStore(m_store.get());
        const auto restore = qScopeGuard([] { setSettingsStore(nullptr); });
        m_store->set(settings::ShowCheckedOutFilesOnExit, QStringLiteral("No"));

        frmMainMenu menu;
        ConnectMainMenuWindows(menu);
        QVERIFY(menu.LoadWindow());
        QVERIFY(menu.cmdAdventure->isEnabled());
        menu.cmdAdventure->click();
        QPointer<frmFileList> window = frmFileList::instance();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->model().count() > 0);
        // The member has fetched nothing yet: the out-of-date list follows, owned by the window. The
        // window has its options and local-folder openers.
        QVERIFY(window->LastCountOfOutdatedFiles() > 0);
        QPointer<QWidget> outdated = window->findChild<QWidget*>(QStringLiteral("frmOutdatedFiles"));
        QVERIFY(outdated && outdated->isVisible());
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("cmdOptions"))->isEnabled());
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("cmdSetLocalFolder"))->isEnabled());
        outdated->close();
        QTRY_VERIFY(!outdated);
        // A second click shows the same window again, rebuilt; with the option off no list follows.
        m_store->set(settings::ShowOutdatedFilesOnStartup, QStringLiteral("No"));
        menu.cmdAdventure->click();
        QCOMPARE(frmFileList::instance(), window.data());
        QVERIFY(!window->findChild<QWidget*>(QStringLiteral("frmOutdatedFiles")));
        QVERIFY(dialogs->unexpected().isEmpty());
        window->close();
        QTRY_VERIFY(!window);
    }

    void mainMenuOpensWithMessage() {
        useLocalFolder();
        for (int level : {2, 3, 4}) {
            runState().UserLevel = quint8(level);
            frmMainMenu menu;
            int opened = 0;
            menu.openFileList = menu.openWebPage = menu.openPostNews = menu.openUsers = [&] { ++opened; };
            QVERIFY(menu.LoadWindow());
            QVERIFY(
                menu.txtMessage->toPlainText().startsWith(QLatin1String("Welcome back to the Korrindale")));
            QVERIFY(!menu.txtMessage->toPlainText().contains(QLatin1String("2.0.5")));
            QVERIFY(menu.cmdAdventure->isEnabled());
            QVERIFY(menu.cmdWebPage->isEnabled());
            QCOMPARE(menu.cmdPostNews->isEnabled(), level >= 3);
            QCOMPARE(menu.cmdUsers->isEnabled(), level == 4);
            menu.cmdAdventure->click();
            QCOMPARE(opened, 1);
        }
        QVERIFY(QFileInfo::exists(QStringLiteral("VelmarFTP/krg/_message.dat")));
        QVERIFY(dialogs->records().isEmpty());

        // Without their windows the buttons stay disabled.
        runState().UserLevel = 4;
        frmMainMenu bare;
        QVERIFY(bare.LoadWindow());
        for (QPushButton* b : {bare.cmdAdventure, bare.cmdWebPage, bare.cmdPostNews, bare.cmdUsers})
            QVERIFY(!b->isEnabled());

        // Resizing: the message takes the full width and the rest of the height; the panel is centred.
        bare.resize(900, 640);
        bare.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bare));
        QCOMPARE(bare.txtMessage->width(), bare.width());
        QCOMPARE(bare.txtMessage->geometry().bottom() + 1, bare.height());
        QCOMPARE(bare.picPanel->x(), (bare.width() - bare.picPanel->width()) / 2);
    }

    // The message of the day: a newer version line ends the start-up (a byte order mark before it
    // too), the text shows as written in UTF-8, and a missing message still opens the menu.
    void messageOfTheDay_data() {
        QTest::addColumn<QByteArray>("message"); // null: no message file
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("shown");
        const QString newer =
            QStringLiteral("KRtp has been updated to version 2.0.6\r\nYou are currently using "
                           "version 2.0.5\r\n\r\nPlease get version 2.0.6 from Velmar.");
        QTest::newRow("newer version") << QByteArray("2.0.6\r\nPlease update.") << 3 << false << newer;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                       "2.0.6\r\nBitte aktualisieren.")
                                         << 3 << false << newer;
        QTest::newRow("utf-8") << QByteArray("2.0.5\r\nGr\xC3\xBC\xC3\x9F"
                                             "e \xE2\x82\xAC")
                               << 3 << true
                               << QStringLiteral("Gr\u00FC\u00DF"
                                                 "e \u20AC");
        QTest::newRow("missing") << QByteArray() << 2 << true << QString();
    }
    void messageOfTheDay() {
        QFETCH(QByteArray, message);
        QFETCH(int, level);
        QFETCH(bool, opens);
        QFETCH(QString, shown);
        useLocalFolder();
        const QByteArray seedMessage = m_host.read(QStringLiteral("krg/_message.dat"));
        const auto restore =
            qScopeGuard([&] { m_host.write(QStringLiteral("krg/_message.dat"), seedMessage); });
        if (message.isNull())
            QFile::remove(m_host.path(QStringLiteral("krg/_message.dat")));
        else
            m_host.write(QStringLiteral("krg/_message.dat"), message);
        runState().UserLevel = quint8(level);
        frmMainMenu menu;
        menu.openPostNews = [] {};
        QCOMPARE(menu.LoadWindow(), opens);
        if (opens) {
            QCOMPARE(menu.txtMessage->toPlainText(), shown);
            QCOMPARE(menu.cmdPostNews->isEnabled(), level >= 3);
            QVERIFY(shown.isEmpty() || dialogs->records().isEmpty());
        } else {
            QCOMPARE(dialogs->texts(), QStringList{shown});
            QCOMPARE(dialogs->records().first().icon, Dialogs::Icon::Critical);
        }
    }

    void localFolderWindow() {
        QTemporaryDir chosen;
        const QString chosenPath = QDir(chosen.path()).canonicalPath();
        runState().LocalFolder = chosenPath + QLatin1Char('/');
        frmSetLocalDir w(nullptr, m_store.get());
        QCOMPARE(w.windowTitle(), QStringLiteral("Set Local Folder"));
        QCOMPARE(w.treePath(), chosenPath);
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath);
        QDir(chosenPath).mkdir(QStringLiteral("sub"));
        QVERIFY(w.setTreePath(chosenPath + QStringLiteral("/sub")));
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath + QStringLiteral("/sub"));
        QVERIFY(!w.setTreePath(chosenPath + QStringLiteral("/missing")));
        QCOMPARE(w.treePath(), chosenPath + QStringLiteral("/sub"));

        w.show();
        dialogs->answer(Dialogs::No);
        w.cmdSetLocalDir->click();
        QVERIFY(w.isVisible());
        QCOMPARE(m_store->get(settings::LocalFolder), QString());
        const QString expected = chosenPath + QStringLiteral("/sub/");
        QCOMPARE(dialogs->lastText(),
                 QStringLiteral("Set Local Folder to ") + expected + QStringLiteral(" ?"));
        QCOMPARE(dialogs->records().last().buttons, Dialogs::Buttons(Dialogs::Yes | Dialogs::No));

        dialogs->answer(Dialogs::Yes);
        w.cmdSetLocalDir->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(m_store->get(settings::LocalFolder), expected);
        QCOMPARE(runState().LocalFolder, expected);
        QCOMPARE(QDir::currentPath(), chosenPath + QStringLiteral("/sub"));
        QVERIFY(dialogs->unexpected().isEmpty());
    }

    // The tree fills and sorts its folders in the background, and folders appear while it is open:
    // the chosen folder stays in view until the member uses the tree.
    void localFolderTreeKeepsChosenFolderInView() {
        QTemporaryDir base;
        const QDir root(QDir(base.path()).canonicalPath());
        const QString chosen = root.filePath(QStringLiteral("team/.local/share/KRtp/Local Folder"));
        QVERIFY(QDir().mkpath(chosen));
        runState().LocalFolder = chosen + QLatin1Char('/');
        frmSetLocalDir w(nullptr, m_store.get());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.treePath(), chosen);
        const auto inView = [&] {
            return w.dirLocalFolder->viewport()->rect().contains(
                w.dirLocalFolder->visualRect(w.dirLocalFolder->currentIndex()));
        };
        QTRY_VERIFY(inView());
        for (int i = 0; i < 60; ++i) // rows above the chosen folder push it down
            QVERIFY(root.mkdir(QStringLiteral("added%1").arg(i, 2, 10, QLatin1Char('0'))));
        const auto* model = qobject_cast<const QFileSystemModel*>(w.dirLocalFolder->model());
        QTRY_COMPARE(model->rowCount(model->index(root.path())), 61);
        QTRY_VERIFY(inView());
    }

    void localFolderRootAndCancel() {
        runState().LocalFolder = m_dir.filePath(QStringLiteral("no such folder/"));
        frmSetLocalDir w(nullptr, m_store.get());
        QCOMPARE(w.treePath(), QDir::currentPath()); // an unusable folder leaves the tree where it was
        QVERIFY(w.setTreePath(QStringLiteral("/")));
        dialogs->answer(Dialogs::Yes);
        w.cmdSetLocalDir->click();
        QCOMPARE(dialogs->lastText(), QStringLiteral("Set Local Folder to / ?"));
        QCOMPARE(m_store->get(settings::LocalFolder), QStringLiteral("/"));

        frmSetLocalDir cancelled(nullptr, m_store.get());
        cancelled.show();
        cancelled.cmdCancel->click();
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
        QCOMPARE(m_store->get(settings::LocalFolder), QStringLiteral("/"));
        QCOMPARE(dialogs->records().size(), 1);
    }

    // The whole start-up with the real windows: modal ones are answered from a timer.
    void wholeStartUp() {
        SettingsStore store(m_dir.filePath(QStringLiteral("whole.ini")));
        setSettingsStore(&store);
        const QString program = m_dir.filePath(QStringLiteral("program"));
        QDir().mkpath(program);
        QStringList seen;
        QTimer driver;
        connect(&driver, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* login = qobject_cast<frmLogin*>(modal); login && !login->checking()) {
                // The login is still open after one try: it was refused. Cancelling ends the start-up
                // (and fails the test below) instead of trying again for ever.
                if (seen.contains(QStringLiteral("login"))) {
                    seen << QStringLiteral("login again");
                    login->cmdCancel->click();
                    return;
                }
                seen << QStringLiteral("login");
                login->txtUserName->setText(QStringLiteral("Velmar"));
                login->txtPassword->setText(QStringLiteral("keystone"));
                login->cmdOK->click();
            } else if (auto* folder = qobject_cast<frmSetLocalDir*>(modal)) {
                seen << QStringLiteral("localfolder ") + folder->treePath();
                folder->cmdCancel->click();
            }
        });
        driver.start(5);
        GuiStartupWindows windows;
        const StartupEnd end = RunStartup(windows, store, program, {QStringLiteral("krtp")});
        driver.stop();
        setSettingsStore(nullptr);
        QVERIFY2(end == StartupEnd::Running, qPrintable(dialogs->texts().join(QLatin1Char('|'))));
        const QString local = program + QStringLiteral("/Local Folder");
        QCOMPARE(seen, (QStringList{QStringLiteral("login"), QStringLiteral("localfolder ") + local}));
        QCOMPARE(runState().CurrentUserName, QStringLiteral("Velmar"));
        QCOMPARE(runState().LocalFolder, local + QLatin1Char('/'));
        QVERIFY(QFileInfo(local + QStringLiteral("/VelmarFTP/krg/_message.dat")).isFile());
        QVERIFY(windows.mainMenu() && windows.mainMenu()->isVisible());
        QVERIFY(windows.mainMenu()->txtMessage->toPlainText().startsWith(QLatin1String("Welcome back")));
        QVERIFY(!windows.splash() || !windows.splash()->isVisible());
        QCOMPARE(store.get(settings::LoginUserName), QStringLiteral("Velmar"));
        QVERIFY(dialogs->records().isEmpty());
        delete windows.mainMenu();
    }

    void splash() {
        frmSplash s;
        QCOMPARE(s.lblVersion->text(), QStringLiteral("Version 2.0.5"));
        QCOMPARE(s.lblPlatform->text(), QStringLiteral("for Windows 95"));
        s.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s));
        QTest::mouseClick(s.Frame1, Qt::LeftButton);
        QVERIFY(!s.isVisible());
        s.close(); // closing twice is harmless
        s.show();
        QTest::keyClick(&s, Qt::Key_Space);
        QVERIFY(!s.isVisible());
    }

    void demoSeedIsWhole() {
        for (const char* gif : {"images/logo.gif", "images/bob.gif", "krg/logo.gif"})
            QVERIFY2(!QImage(kSeed + QLatin1Char('/') + QLatin1String(gif)).isNull(), gif);
        QFile catalogue(kSeed + QStringLiteral("/krg/_files.txt"));
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = catalogue.readAll().split('\n');
        QVERIFY(CheckProgramVersion(QString::fromLatin1(lines.at(0).trimmed())));
        const int count = lines.at(1).trimmed().toInt();
        QCOMPARE(count, 5);
        for (int i = 2; i < 2 + count; ++i) {
            QVERIFY(lines.at(i).endsWith('\r'));
            const QByteArray name = lines.at(i).split('"').value(1);
            QVERIFY2(QFileInfo::exists(kSeed + QStringLiteral("/krg/") + QString::fromLatin1(name)), name);
        }
        QCOMPARE(QFileInfo(kSeed + QStringLiteral("/krg/Bob.dat")).size(), qint64(13)); // "*full access*"
    }
};

KRTP_TEST_MAIN_GUI(TestAppWindows)
#include "tst_appwindows.moc"
