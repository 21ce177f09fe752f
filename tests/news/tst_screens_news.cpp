// Renders the news window to build/screens/*.png so it can be looked at without a display.
#include "newstestutil.h"
#include "screenshot.h"
#include "sitetools/gui/frmpostnews.h"
#include "testmain.h"
#include "windowharness.h"

#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestScreensNews : public QObject {
    Q_OBJECT
    NewsFixture fx;
    WindowHarness d;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { d.init(); }
    void cleanup() { QVERIFY(d.done()); }

    void postNews() {
        QImage name(96, 26, QImage::Format_RGB32);
        name.fill(QColor(40, 60, 140));
        QTemporaryDir pictures;
        QVERIFY(name.save(pictures.filePath(QStringLiteral("bob.png")), "PNG"));
        fx.host.write(QStringLiteral("bob.gif"), readLocal(pictures.filePath(QStringLiteral("bob.png"))));
        frmPostNews w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.LoadWindow();
        w.txtSubject->setText(QStringLiteral("Spring banner"));
        w.txtNews->setPlainText(QStringLiteral("The new banner is up.\nTell us what you think!"));
        QVERIFY(saveScreen(w, QStringLiteral("frmPostNews")));
        QVERIFY(d->records().isEmpty());
    }
};

KRTP_TEST_MAIN_GUI(TestScreensNews)
#include "tst_screens_news.moc"
