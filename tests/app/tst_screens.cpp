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
#include "sitetools/editfile.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/gui/frmpostnews.h"
#include "sitetools/siteexplorer.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {
const QByteArray kPage =
    "<html>\r\n<head><title>Guild News</title>\r\n<link rel=\"stylesheet\" href=\"../style.css\">\r\n"
    "</head>\r\n<body>\r\n<h1>Guild News</h1>\r\n<!-- news items go below -->\r\n"
    "<h2>Spring meeting</h2>\r\n<p>The spring meeting moves to the old mill, Thursday at seven."
    "</p>\r\n<h2>New maps</h2>\r\n<p>Brenmoor finished the river maps; they are in the members' "
    "area.</p>\r\n</body>\r\n</html>\r\n";
} // namespace

class TestScreens : public QObject {
    Q_OBJECT
    NewsFixture fx; // news pages and members; the accounts window gets the team, the explorer a site
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

    void loginOptionsAndMainMenu() {
        fx.settings->set(settings::LoginUserName, u"Bob"_s);
        fx.settings->set(settings::LoginPassword, u"builder"_s);
        frmLogin login(nullptr, fx.settings.get());
        save(login, u"frmLogin"_s);
        fx.settings->set(settings::ShowCheckedOutAsGreen, u"Yes"_s);
        fx.settings->set(settings::ShowPreviewPane, u"No"_s);
        frmFileList list;
        list.setViewStyle(1);
        frmOptions* options = frmOptions::ShowOptions(list);
        save(*options, u"frmOptions"_s);
        QMetaObject::invokeMethod(options->findChild<QObject*>(u"cmdCancel"_s), "click");
        fx.host.write(u"krg/_message.dat"_s,
                      readLocal(QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site/krg/_message.dat")));
        fx.logIn(u"Velmar"_s, LevelAdministrator);
        frmMainMenu menu;
        menu.openFileList = menu.openWebPage = menu.openPostNews = menu.openUsers = [] {};
        QVERIFY(menu.LoadWindow());
        save(menu, u"frmMainMenu"_s);
    }

    void users() {
        fx.setAccounts(team());
        fx.logIn(u"Velmar"_s, LevelAdministrator);
        frmUsers::EditFile = [](const QString&) {};
        frmUsers w;
        QVERIFY(w.LoadWindow());
        w.lvwFileList->setCurrentRow(1);
        save(w, u"frmUsers-Velmar"_s);
        d->answer(Dialogs::No);
        QVERIFY(w.close());
        frmUsers::EditFile = nullptr;
    }

    void explorer() {
        for (const char* name : {"news/2025-spring.html", "news/2025-summer.html", "news/2025-autumn.html",
                                 "news/archive.html", "news/template.html", "news/banner.gif", "news/rss.txt",
                                 "members/roster.html", "downloads/maps.zip"})
            fx.host.write(QLatin1String(name), "<p>x</p>");
        fx.host.write(u"news/index.html"_s, kPage);
        fx.host.write(u"krg/Cara.dat"_s, "*full access*");
        for (const char* name : {"news/2025-spring.html", "news/archive.html", "news/index.html"})
            QVERIFY(writeLocal(fx.mirror(QLatin1String(name)), fx.host.read(QLatin1String(name))));
        fx.logIn(u"Cara"_s, LevelFullAccess);
        frmExplorer w;
        w.resize(1180, 620);
        w.Do_ShowWebPage();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.explorer().clickFolder(u"news/"_s);
        w.explorer().files().setSelected(u"index.html"_s, true);
        w.FileClicked(u"index.html"_s);
        w.tvwExplorer->expandAll();
        QTest::qWait(500); // the preview renders
        QVERIFY(saveScreen(w, u"frmExplorer"_s));
        // The internal editor on the same page.
        TransferControl inet;
        EditSession session(inet);
        QCOMPARE(session.load(u"news/index.html"_s), EditSession::Load::Opened);
        frmEdit e(session);
        save(e, u"frmEdit"_s);
        session.discardOnClose = true;
        e.close();
    }

    void postNews() {
        fx.reset();
        QImage name(96, 26, QImage::Format_RGB32);
        name.fill(QColor(40, 60, 140));
        QVERIFY(name.save(fx.host.path(u"bob.gif"_s), "PNG"));
        frmPostNews w;
        w.LoadWindow();
        w.txtSubject->setText(u"Spring banner"_s);
        w.txtNews->setPlainText(u"The new banner is up.\nTell us what you think!"_s);
        save(w, u"frmPostNews"_s);
    }
};

KRTP_TEST_MAIN_GUI(TestScreens)
#include "tst_screens.moc"
