// The check-in dialog's rules on its widgets, and the store operations from the file list window:
// buttons, the real dialog, and the busy state while an operation waits for the host.
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmcheckin.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/storeoperations.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

using namespace krtp;
using namespace krtp::test;

namespace {

// Runs action once the dialog is showing (inside its modal loop).
void whenShown(QWidget* dialog, std::function<void()> action) {
    QTimer::singleShot(10, dialog, [dialog, action] {
        if (dialog->isVisible())
            action();
        else
            whenShown(dialog, action);
    });
}

} // namespace

class TestStoreOpsWindow : public QObject {
    Q_OBJECT
    StoreFixture fx;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }

    void checkInDialogRules() {
        frmCheckIn dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Check In"));
        QVERIFY(!dlg.chkKeepFileCheckedOut->isChecked() && !dlg.chkRevert->isChecked());
        QVERIFY(dlg.txtComments->text().isEmpty());

        // A typed double quote shows as an apostrophe; the caret stays where it was.
        dlg.txtComments->setFocus();
        QTest::keyClicks(dlg.txtComments, QStringLiteral("fix  here"));
        dlg.txtComments->setCursorPosition(4);
        QTest::keyClicks(dlg.txtComments, QStringLiteral("\"x\""));
        QCOMPARE(dlg.txtComments->text(), QStringLiteral("fix 'x' here"));
        QCOMPARE(dlg.txtComments->cursorPosition(), 7);
        QCOMPARE(dlg.choices().comment(), QStringLiteral("fix 'x' here"));

        // Revert puts the comment aside and locks the comment and keep boxes; unticking brings it back.
        dlg.chkRevert->click();
        QVERIFY(dlg.txtComments->text().isEmpty());
        QVERIFY(!dlg.txtComments->isEnabled());
        QVERIFY(!dlg.chkKeepFileCheckedOut->isEnabled());
        dlg.chkRevert->click();
        QCOMPARE(dlg.txtComments->text(), QStringLiteral("fix 'x' here"));
        QVERIFY(dlg.txtComments->isEnabled() && dlg.chkKeepFileCheckedOut->isEnabled());

        // Keep locks revert.
        dlg.chkKeepFileCheckedOut->click();
        QVERIFY(!dlg.chkRevert->isEnabled());
        dlg.chkKeepFileCheckedOut->click();
        QVERIFY(dlg.chkRevert->isEnabled());
        dlg.hide();

        // Do_CheckInFile: Check In All, then the answers are remembered for the next call; Cancel and
        // the close box give false.
        QString comment;
        bool keep = false, all = false, revert = false;
        whenShown(&dlg, [&] {
            QCOMPARE(dlg.txtCheckingInFile->text(), QStringLiteral("a.txt"));
            dlg.chkKeepFileCheckedOut->click();
            dlg.cmdCheckInAll->click();
        });
        QVERIFY(dlg.Do_CheckInFile(QStringLiteral("a.txt"), comment, keep, all, revert));
        QCOMPARE(comment, QStringLiteral("fix 'x' here"));
        QVERIFY(keep && all && !revert);
        whenShown(&dlg, [&] {
            QCOMPARE(dlg.txtComments->text(), QStringLiteral("fix 'x' here"));
            QVERIFY(dlg.chkKeepFileCheckedOut->isChecked());
            dlg.cmdCancel->click();
        });
        QVERIFY(!dlg.Do_CheckInFile(QStringLiteral("b.txt"), comment, keep, all, revert));
        QVERIFY(!all);
        whenShown(&dlg, [&] { dlg.close(); });
        QVERIFY(!dlg.Do_CheckInFile(QStringLiteral("c.txt"), comment, keep, all, revert));
        whenShown(&dlg, [&] { dlg.cmdCheckIn->click(); });
        QVERIFY(dlg.Do_CheckInFile(QStringLiteral("c.txt"), comment, keep, all, revert));
        QVERIFY(!all);
    }

    void windowRunsTheOperationsOneAtATime() {
        ScriptedDialogs d;
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 2, "Dovrin")}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        fx.host.write(QStringLiteral("krg/b.txt"), "server b");
        QFile f(fx.localPath(QStringLiteral("b.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Dovrin's b");
        f.close();
        frmFileList w;
        w.show();
        QVERIFY(w.UpdateFileList());
        QVERIFY(w.cmdCheckOut->isEnabled() && w.mnuActionsCheckOut->isEnabled());

        // While the check-out waits for the host, the store's actions and the console are off, the
        // list is not, the pointer is busy and the window does not close.
        bool checked = false;
        QTimer::singleShot(0, &w, [&] {
            checked = true;
            QVERIFY(w.operations().busy());
            for (QWidget* b : std::initializer_list<QWidget*>{
                     w.cmdCheckOut, w.cmdCheckIn, w.cmdGetLatestVersion, w.cmdRefresh, w.txtCommands})
                QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
            for (QAction* a : {w.mnuActionsCheckOut, w.mnuActionsCheckIn, w.mnuActionsGetLatestVersion,
                               w.mnuActionsOpenFile, w.mnuFileRefresh})
                QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
            QVERIFY(w.lvwFileList->isEnabled());
            QVERIFY(d.busyDepth() > 0);
            QVERIFY(!w.close());
        });
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("a.txt"), true);
        w.cmdCheckOut->click();
        QVERIFY(checked);
        QVERIFY(w.isVisible());
        QVERIFY(w.cmdCheckOut->isEnabled() && w.cmdRefresh->isEnabled() && w.txtCommands->isEnabled());
        QCOMPARE(d.busyDepth(), 0);
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Dovrin\""));

        // Check in through the real dialog.
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("b.txt"), true);
        frmCheckIn* dlg = w.checkInDialog();
        whenShown(dlg, [&] {
            QCOMPARE(dlg->txtCheckingInFile->text(), QStringLiteral("b.txt"));
            dlg->txtComments->setText(QStringLiteral("from the window"));
            QTest::keyClicks(dlg->txtComments, QStringLiteral("!"));
            dlg->cmdCheckIn->click();
        });
        w.mnuActionsCheckIn->trigger();
        QCOMPARE(fx.host.read(QStringLiteral("krg/b.txt")), QByteArray("Dovrin's b"));
        QVERIFY(fx.hostCatalogue().contains("\"b.txt\",3,\"\",\"\",\"\",\"Dovrin: from the window!\""));
        QVERIFY2(d.records().isEmpty(), qPrintable(d.texts().join(QLatin1Char('|'))));
        d.answer(Dialogs::No); // a.txt is still checked out: leave anyway
        QVERIFY(w.close());
        QVERIFY(d.unexpected().isEmpty());
    }
};

KRTP_TEST_MAIN_GUI(TestStoreOpsWindow)
#include "tst_storeopswindow.moc"
