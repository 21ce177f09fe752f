// Renders the start-up windows the guide shows to build/screens/*.png so it can be looked at without a
// display.
#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "app/mainmenu.h"
#include "buildconfig.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/gui/frmfilelist.h"
#include "screenshot.h"
#include "testmain.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;

class TestScreens : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    void save(QWidget& w, const QString& name) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(test::saveScreen(w, name));
    }

private slots:
    void login() {
        SettingsStore store(m_dir.filePath(QStringLiteral("login.ini")));
        store.set(settings::LoginUserName, QStringLiteral("Bob"));
        store.set(settings::LoginPassword, QStringLiteral("builder"));
        frmLogin w(nullptr, &store);
        save(w, QStringLiteral("frmLogin"));
    }

    void options() {
        SettingsStore store(m_dir.filePath(QStringLiteral("options.ini")));
        store.set(settings::ShowCheckedOutAsGreen, QStringLiteral("Yes"));
        store.set(settings::ShowPreviewPane, QStringLiteral("No"));
        setSettingsStore(&store);
        frmFileList list;
        list.setViewStyle(1);
        frmOptions* w = frmOptions::ShowOptions(list);
        save(*w, QStringLiteral("frmOptions"));
        QMetaObject::invokeMethod(w->findChild<QObject*>(QStringLiteral("cmdCancel")), "click");
        setSettingsStore(nullptr);
    }

    void mainMenu() {
        QFile motd(QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site/krg/_message.dat"));
        QVERIFY(motd.open(QIODevice::ReadOnly));
        runState().UserLevel = LevelAdministrator;
        frmMainMenu w;
        w.txtMessage->setPlainText(ParseMessageOfTheDay(QString::fromLatin1(motd.readAll())).message);
        const MainMenuButtons allowed = ButtonsForLevel(runState().UserLevel);
        w.cmdAdventure->setEnabled(allowed.adventure);
        w.cmdWebPage->setEnabled(allowed.webPage);
        w.cmdPostNews->setEnabled(allowed.postNews);
        w.cmdUsers->setEnabled(allowed.users);
        save(w, QStringLiteral("frmMainMenu"));
    }
};

KRTP_TEST_MAIN_GUI(TestScreens)
#include "tst_screens.moc"
