// The start-up windows against a real loopback host seeded with the demo site.
#include "accounts/gui/frmusers.h"
#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "app/gui/frmsetlocaldir.h"
#include "app/gui/frmsplash.h"
#include "app/gui/guistartupwindows.h"
#include "app/gui/mainmenuhooks.h"
#include "app/savedlogin.h"
#include "buildconfig.h"
#include "controls.h"
#include "fakekeyring.h"
#include "filestore/gui/frmfilelist.h"
#include "hostfixture.h"
#include "sitetools/gui/frmpostnews.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
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
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {
const QString kSeed = QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site");
} // namespace

class TestAppWindows : public QObject {
    Q_OBJECT
    HostFixture fx;
    QByteArray m_seedAccounts;
    WindowHarness dialogs;

    SettingsStore* store() { return fx.settings.get(); }
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
        QCOMPARE(m_seedAccounts.size(), 6 * kAccountRecordSize);
    }
    // A fresh local folder with the mirror root as the working folder, and fresh settings.
    void init() {
        runState() = RunState();
        fx.resetLocal(true);
        fx.host.write(u"krg/_files.dat"_s, m_seedAccounts);
        fx.host.exportEnvironment();
        dialogs.init();
    }
    void cleanup() {
        runState() = RunState();
        QVERIFY(dialogs.done());
    }

    // Names match whatever their letter case and blanks, the last record of a name wins, odd text is
    // sent encoded, and levels the start-up refuses still pass the check.
    void loginAsMember_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("members"); // null: the demo site's
        QTest::addColumn<QString>("name");
        const QByteArray two =
            accountFile({{u"Bob"_s, u"pw"_s, 2}, {u"Al Ray"_s, u"a&b #c=d %"_s, 3}, {u"BOB"_s, u"PW"_s, 4}});
        QTest::newRow("case and blanks") << " bob " << 3 << "BUILDER" << QByteArray() << "Bob";
        QTest::newRow("later record wins") << "bob" << 4 << "pw" << two << "BOB";
        QTest::newRow("odd text") << "al ray" << 3 << "A&B #C=D %" << two << "Al Ray";
        for (int level : {0, 1, 5})
            QTest::addRow("level %d", level)
                << "Greta" << level << "closed" << accountFile({{u"Greta"_s, u"closed"_s, quint8(level)}})
                << "Greta";
    }
    void loginAsMember() {
        QFETCH(QString, user);
        QFETCH(int, level);
        QFETCH(QString, password);
        QFETCH(QByteArray, members);
        QFETCH(QString, name);
        if (!members.isNull())
            fx.host.write(u"krg/_files.dat"_s, members);
        auto w = login(user, password);
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QCOMPARE(runState().CurrentUserName, name);
        QCOMPARE(runState().UserLevel, quint8(level));
        QVERIFY(dialogs->records().isEmpty());
        QVERIFY(dialogs->busyDepth() == 0 && dialogs->busyCount() > 0); // the busy pointer came and went
        QCOMPARE(
            QStringList({store()->get(settings::LoginUserName), store()->get(settings::LoginSavePassword),
                         store()->get(settings::LoginPassword), store()->get(settings::ProxyUseProxy)}),
            QStringList({user, "Yes", password, "No"}));
        QCOMPARE(w->inet->AccessType, int(TransferControl::AccessDirect));
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
        QCOMPARE(w->result(), int(QDialog::Rejected));
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
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QCOMPARE(fake.entries.value(SavedPasswordKey(u"Bob"_s)), u"builder"_s);
        auto again = std::make_unique<frmLogin>(nullptr, store());
        QCOMPARE(again->txtUserName->text(), u"Bob"_s);
        QCOMPARE(again->txtPassword->text(), u"builder"_s);
        QVERIFY(again->chkSavePassword->isChecked());
        again->chkSavePassword->setChecked(false);
        again->cmdOK->click();
        QCOMPARE(again->result(), int(QDialog::Accepted));
        QVERIFY(fake.entries.isEmpty());
        QCOMPARE(store()->get(settings::LoginSavePassword), u"No"_s);
        frmLogin third(nullptr, store());
        QVERIFY(!third.chkSavePassword->isChecked());
        QCOMPARE(third.txtPassword->text(), QString());
    }

    void proxyBox() {
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
    }

    void passwordHiddenAndKeys() {
        runState().CurrentUserName = u"left over"_s;
        frmLogin w(nullptr, store());
        w.txtPassword->setText(u"pw1"_s);
        QCOMPARE(w.txtPassword->displayText(), u"***"_s);
        QVERIFY(!w.chkProxyServer->isChecked());
        QCOMPARE(w.height(), w.CollapsedHeight);
        QVERIFY(w.cmdOK->isDefault());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QVERIFY(!w.isVisible());
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

    // Without their windows the buttons stay disabled; the message takes the full width and the rest
    // of the height, the panel is centred.
    void mainMenuWithoutWindows() {
        runState().UserLevel = 4;
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
    }

    // The message of the day: a newer version line ends the start-up (a byte order mark before it
    // too), the text shows as written in UTF-8, and a missing message still opens the menu, with the
    // buttons of the member's level.
    void messageOfTheDay_data() {
        QTest::addColumn<QByteArray>("message"); // null: no message file
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("buttons"); // enabled: adventure, web page, news, users; empty: no menu
        QTest::addColumn<QString>("shown");
        const QString newer = u"KRtp has been updated to version 2.0.6\r\nYou are currently using "
                              "version 2.0.5\r\n\r\nPlease get version 2.0.6 from Velmar."_s;
        QTest::newRow("newer version") << QByteArray("2.0.6\r\nPlease update.") << 3 << QString() << newer;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                       "2.0.6\r\nBitte aktualisieren.")
                                         << 3 << QString() << newer;
        QTest::newRow("utf-8") << QByteArray("2.0.5\r\nGr\xC3\xBC\xC3\x9F"
                                             "e \xE2\x82\xAC")
                               << 3 << u"1110"_s
                               << u"Gr\u00FC\u00DF"
                                  "e \u20AC"_s;
        QTest::newRow("missing") << QByteArray() << 2 << u"1100"_s << QString();
        QTest::newRow("administrator") << QByteArray("2.0.4\r\nHi") << 4 << u"1111"_s << u"Hi"_s;
    }
    void messageOfTheDay() {
        QFETCH(QByteArray, message);
        QFETCH(int, level);
        QFETCH(QString, buttons);
        QFETCH(QString, shown);
        const QByteArray seedMessage = fx.host.read(u"krg/_message.dat"_s);
        const auto restore = qScopeGuard([&] { fx.host.write(u"krg/_message.dat"_s, seedMessage); });
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
            return;
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

    void localFolderWindow() {
        QTemporaryDir chosen;
        const QString chosenPath = QDir(chosen.path()).canonicalPath();
        runState().LocalFolder = chosenPath + QLatin1Char('/');
        frmSetLocalDir w(nullptr, store());
        QCOMPARE(w.treePath(), chosenPath);
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath);
        QDir(chosenPath).mkdir(u"sub"_s);
        QVERIFY(w.setTreePath(chosenPath + u"/sub"_s));
        QCOMPARE(w.lblSetLocalFolder->text(), chosenPath + u"/sub"_s);
        QVERIFY(!w.setTreePath(chosenPath + u"/missing"_s));
        QCOMPARE(w.treePath(), chosenPath + u"/sub"_s);
        w.show();
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

    // The tree fills and sorts its folders in the background, and folders appear while it is open:
    // the chosen folder stays in view until the member uses the tree.
    void localFolderTreeKeepsChosenFolderInView() {
        QTemporaryDir base;
        const QDir root(QDir(base.path()).canonicalPath());
        const QString chosen = root.filePath(u"team/.local/share/KRtp/Local Folder"_s);
        QVERIFY(QDir().mkpath(chosen));
        runState().LocalFolder = chosen + QLatin1Char('/');
        frmSetLocalDir w(nullptr, store());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.treePath(), chosen);
        const auto inView = [&] {
            return w.dirLocalFolder->viewport()->rect().contains(
                w.dirLocalFolder->visualRect(w.dirLocalFolder->currentIndex()));
        };
        QTRY_VERIFY(inView());
        for (int i = 0; i < 60; ++i) // rows above the chosen folder push it down
            QVERIFY(root.mkdir(u"added%1"_s.arg(i, 2, 10, QLatin1Char('0'))));
        const auto* model = qobject_cast<const QFileSystemModel*>(w.dirLocalFolder->model());
        QTRY_COMPARE(model->rowCount(model->index(root.path())), 61);
        QTRY_VERIFY(inView());
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
        const QString program = fx.config.filePath(u"program"_s);
        QDir().mkpath(program);
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
        const StartupEnd end = RunStartup(windows, *store(), program, {u"krtp"_s});
        driver.stop();
        QVERIFY2(end == StartupEnd::Running, qPrintable(dialogs->texts().join(QLatin1Char('|'))));
        const QString local = program + u"/Local Folder"_s;
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
