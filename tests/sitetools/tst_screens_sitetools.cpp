// Renders the site explorer and the internal editor to build/screens/*.png.
#include "screenshot.h"
#include "sitetestutil.h"
#include "sitetools/editfile.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QTest>
#include <QTreeView>
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

class TestScreensSiteTools : public QObject {
    Q_OBJECT
    SiteFixture fx;
    WindowHarness h;

private slots:
    void initTestCase() {
        QVERIFY(fx.start());
        for (const char* name :
             {"news/2025-spring.html", "news/2025-summer.html", "news/2025-autumn.html", "news/archive.html",
              "news/template.html", "news/banner.gif", "news/rss.txt"})
            fx.host.write(QLatin1String(name), "<p>x</p>");
        fx.host.write(u"news/index.html"_s, kPage);
        fx.host.write(u"members/roster.html"_s, "x");
        fx.host.write(u"downloads/maps.zip"_s, "x");
        QVERIFY(writeLocal(fx.mirror(u"news/index.html"_s), kPage));
        QVERIFY(writeLocal(fx.mirror(u"news/2025-spring.html"_s), "<p>x</p>"));
        QVERIFY(writeLocal(fx.mirror(u"news/archive.html"_s), "<p>x</p>"));
    }

    void init() { h.init(); }
    void cleanup() { QVERIFY(h.done()); }

    void explorer() {
        SiteFixture::login(u"Cara"_s, LevelFullAccess);
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
    }

    void editor() {
        TransferControl inet;
        EditSession session(inet);
        QCOMPARE(session.load(u"news/index.html"_s), EditSession::Load::Opened);
        frmEdit w(session);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(saveScreen(w, u"frmEdit"_s));
        session.discardOnClose = true;
        w.close();
    }
};

KRTP_TEST_MAIN_GUI(TestScreensSiteTools)
#include "tst_screens_sitetools.moc"
