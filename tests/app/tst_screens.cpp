// Renders the windows the guide shows to build/screens/*.png so they can be looked at without a display.
#include "../accounts/accountstestutil.h"
#include "../news/newstestutil.h"
#include "accounts/gui/frmusers.h"
#include "app/gui/frmlogin.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/frmoptions.h"
#include "buildconfig.h"
#include "filestore/gui/frmfilelist.h"
#include "screenshot.h"
#include "sitetools/gui/frmpostnews.h"
#include "testmain.h"
#include "windowharness.h"

#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestScreens : public QObject {
    Q_OBJECT
    NewsFixture fx; // the news pages and their members; the accounts window gets the team
    WindowHarness d;

    void save(QWidget& w, const QString& name) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(saveScreen(w, name));
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { d.init(); }
    void cleanup() { QVERIFY(d.done()); }

    void login() {
        fx.settings->set(settings::LoginUserName, u"Bob"_s);
        fx.settings->set(settings::LoginPassword, u"builder"_s);
        frmLogin w(nullptr, fx.settings.get());
        save(w, u"frmLogin"_s);
    }

    void options() {
        fx.settings->set(settings::ShowCheckedOutAsGreen, u"Yes"_s);
        fx.settings->set(settings::ShowPreviewPane, u"No"_s);
        frmFileList list;
        list.setViewStyle(1);
        frmOptions* w = frmOptions::ShowOptions(list);
        save(*w, u"frmOptions"_s);
        QMetaObject::invokeMethod(w->findChild<QObject*>(u"cmdCancel"_s), "click");
    }

    void mainMenu() {
        fx.host.write(u"krg/_message.dat"_s,
                      readLocal(QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site/krg/_message.dat")));
        fx.logIn(u"Velmar"_s, LevelAdministrator);
        frmMainMenu w;
        w.openFileList = w.openWebPage = w.openPostNews = w.openUsers = [] {};
        QVERIFY(w.LoadWindow());
        save(w, u"frmMainMenu"_s);
    }

    void users() {
        fx.setAccounts(team());
        fx.logIn(u"Velmar"_s, LevelAdministrator);
        frmUsers::EditFile = [](const QString&) {};
        frmUsers w;
        w.show();
        QVERIFY(w.LoadWindow());
        w.lvwFileList->setCurrentRow(1);
        save(w, u"frmUsers-Velmar"_s);
        d->answer(Dialogs::No);
        QVERIFY(w.close());
        frmUsers::EditFile = nullptr;
    }

    void postNews() {
        fx.reset();
        QImage name(96, 26, QImage::Format_RGB32);
        name.fill(QColor(40, 60, 140));
        QVERIFY(name.save(fx.localPath(u"bob.png"_s), "PNG"));
        fx.host.write(u"bob.gif"_s, readLocal(fx.localPath(u"bob.png"_s)));
        frmPostNews w;
        w.show();
        w.LoadWindow();
        w.txtSubject->setText(u"Spring banner"_s);
        w.txtNews->setPlainText(u"The new banner is up.\nTell us what you think!"_s);
        save(w, u"frmPostNews"_s);
    }
};

KRTP_TEST_MAIN_GUI(TestScreens)
#include "tst_screens.moc"
