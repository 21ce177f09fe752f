// Renders the file list and history windows the guide shows to build/screens/*.png so it can be looked at
// without a display.
#define KRTP_STORE_WINDOW_TEST
#include "filestore/gui/frmhistory.h"
#include "screenshot.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"

#include <QTreeWidget>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestScreensFileStore : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness d;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { d.init(); }
    void cleanup() { QVERIFY(d.done()); }

    void fileList() {
        fx.setCatalogue(
            catalogue({catalogueLine("index.html", 4, "", "velmar", "Home page", "velmar: new links"),
                       catalogueLine("Logo.GIF", 3, "", "brenmoor", "The guild's logo", "brenmoor: bigger"),
                       catalogueLine("notes.txt", 5, "Dovrin", "Dovrin", "Meeting notes", "Dovrin: more"),
                       catalogueLine("krplot.doc", 2, "brenmoor", "velmar", "The plot", "velmar: chapter 3"),
                       catalogueLine("theme.mid", 1, "", "", "Theme tune", "velmar: first"),
                       catalogueLine("door.wav", 1, "", "", "Door sound", "velmar: first"),
                       catalogueLine("world.norrow", 7, "", "", "World file", "brenmoor: rivers"),
                       catalogueLine("README", 1, "", "", "Read me", "velmar: first")}));
        setLocalVersions(u"index.html=4 logo.gif=2 notes.txt=5 krplot.doc=2 theme.mid=1 door.wav=1"_s);
        QVERIFY(writeLocal(u"notes.txt"_s, "Next meeting: Thursday.\r\nBring the maps.\r\n"));
        frmFileList w;
        w.resize(1100, 600);
        QVERIFY(showAndRebuild(w));
        w.model().setFocusedKey(u"notes.txt"_s);
        w.UpdatePreview();
        // The list filtered to the names and descriptions with an "n", while a check-in sends notes.txt: the
        // status line shows the step under way, the filter box what the list keeps.
        control<QLineEdit>(w, "txtFilter")->setText(u"n"_s);
        auto* inet = control<TransferControl>(w, "inet");
        control<TransferProgress>(w, "prgTransfer")->beginOperation();
        emit inet->commandStarted(u"PUT notes.txt notes.txt"_s);
        emit inet->progress(40 * 1024, 120 * 1024);
        QApplication::processEvents();
        QVERIFY(saveScreen(w, u"frmFileList"_s));
        emit inet->StateChanged(StateResponseCompleted);
        control<TransferProgress>(w, "prgTransfer")->endOperation();

        // The history of the home page, versions 3 and 4 compared.
        const QByteArray page = "<html>\r\n<h1>The guild</h1>\r\n<a href=\"news.html\">News</a>\r\n";
        fx.host.write(u"krg/index.html"_s, page + "<a href=\"map.html\">Map</a>\r\n</html>\r\n");
        fx.host.write(u"krg/_history/index.html.v3"_s, page + "</html>\r\n");
        fx.host.write(u"krg/_history/index.html.index"_s,
                      "1\tvelmar\t2026-10-02T09:12:00Z\t31\tx\t*new file*\r\n"
                      "2\tbrenmoor\t2026-10-19T16:40:00Z\t58\tx\theading\r\n"
                      "3\tvelmar\t2026-11-03T11:05:00Z\t74\tx\tnews link\r\n"
                      "4\tvelmar\t2026-12-01T08:30:00Z\t99\tx\tnew links\r\n");
        w.model().setAllSelected(false);
        w.model().setSelected(u"index.html"_s, true);
        frmHistory* history = w.ShowHistory();
        QVERIFY(history);
        QVERIFY(QTest::qWaitForWindowExposed(history));
        history->lvwVersions->clearSelection();
        history->lvwVersions->topLevelItem(0)->setSelected(true);
        history->lvwVersions->topLevelItem(1)->setSelected(true);
        history->cmdCompare->click();
        QVERIFY(saveScreen(*history, u"frmHistory"_s));
        history->close();
    }
};

KRTP_TEST_MAIN_GUI(TestScreensFileStore)
#include "tst_screens_filestore.moc"
