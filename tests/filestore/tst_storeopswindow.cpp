// The check-in dialog's rules on its widgets, and the store operations from the file list window:
// buttons, the real dialog, and the busy state while an operation waits for the host.
#include "controls.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmcheckin.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/storeoperations.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "windowharness.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace krtp;
using namespace krtp::test;

class TestStoreOpsWindow : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness d;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { d.init(); }
    void cleanup() { QVERIFY(d.done()); }

    void checkInDialogRules() {
        frmCheckIn dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* chkKeepFileCheckedOut = control<QCheckBox>(dlg, "chkKeepFileCheckedOut");
        auto* chkRevert = control<QCheckBox>(dlg, "chkRevert");
        QVERIFY(!chkKeepFileCheckedOut->isChecked() && !chkRevert->isChecked());
        auto* txtComments = control<QLineEdit>(dlg, "txtComments");
        QVERIFY(txtComments->text().isEmpty());

        // A typed double quote shows as an apostrophe; the caret stays where it was.
        txtComments->setFocus();
        QTest::keyClicks(txtComments, QStringLiteral("fix  here"));
        txtComments->setCursorPosition(4);
        QTest::keyClicks(txtComments, QStringLiteral("\"x\""));
        QCOMPARE(txtComments->text(), QStringLiteral("fix 'x' here"));
        QCOMPARE(txtComments->cursorPosition(), 7);
        QCOMPARE(dlg.choices().comment(), QStringLiteral("fix 'x' here"));

        // Revert puts the comment aside and locks the comment and keep boxes; unticking brings it back.
        chkRevert->click();
        QVERIFY(txtComments->text().isEmpty());
        QVERIFY(!txtComments->isEnabled());
        QVERIFY(!chkKeepFileCheckedOut->isEnabled());
        chkRevert->click();
        QCOMPARE(txtComments->text(), QStringLiteral("fix 'x' here"));
        QVERIFY(txtComments->isEnabled() && chkKeepFileCheckedOut->isEnabled());

        // Keep locks revert.
        chkKeepFileCheckedOut->click();
        QVERIFY(!chkRevert->isEnabled());
        chkKeepFileCheckedOut->click();
        QVERIFY(chkRevert->isEnabled());
        chkRevert->setFocus();
        dlg.hide();

        // Do_CheckInFile: Check In All, then the answers are remembered for the next call; Cancel and
        // the close box give false.
        QString comment;
        bool keep = false, all = false, revert = false;
        auto* txtCheckingInFile = control<QLineEdit>(dlg, "txtCheckingInFile");
        auto* cmdCheckInAll = control<QPushButton>(dlg, "cmdCheckInAll");
        WindowHarness::whenShown(&dlg, nullptr, [&](QWidget*) {
            QCOMPARE(txtCheckingInFile->text(), QStringLiteral("a.txt"));
            // The member comes to type the comment.
            QCOMPARE(dlg.focusWidget(), txtComments);
            chkKeepFileCheckedOut->click();
            cmdCheckInAll->click();
        });
        QVERIFY(dlg.Do_CheckInFile(QStringLiteral("a.txt"), comment, keep, all, revert));
        QCOMPARE(comment, QStringLiteral("fix 'x' here"));
        QVERIFY(keep && all && !revert);
        auto* cmdCancel = control<QPushButton>(dlg, "cmdCancel");
        WindowHarness::whenShown(&dlg, nullptr, [&](QWidget*) {
            QCOMPARE(txtComments->text(), QStringLiteral("fix 'x' here"));
            QVERIFY(chkKeepFileCheckedOut->isChecked());
            cmdCancel->click();
        });
        QVERIFY(!dlg.Do_CheckInFile(QStringLiteral("b.txt"), comment, keep, all, revert));
        QVERIFY(!all);
        WindowHarness::whenShown(&dlg, nullptr, [&](QWidget*) { dlg.close(); });
        QVERIFY(!dlg.Do_CheckInFile(QStringLiteral("c.txt"), comment, keep, all, revert));
        auto* cmdCheckIn = control<QPushButton>(dlg, "cmdCheckIn");
        WindowHarness::whenShown(&dlg, nullptr, [&](QWidget*) { cmdCheckIn->click(); });
        QVERIFY(dlg.Do_CheckInFile(QStringLiteral("c.txt"), comment, keep, all, revert));
        QVERIFY(!all);
    }

    void windowRunsTheOperationsOneAtATime() {
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
        // While the check-out waits for the host, the store's actions and the console are off, the
        // list is not, the pointer is busy and the window does not close.
        const auto enabled = [&w](std::initializer_list<const char*> names) {
            QStringList on;
            for (const char* n : names) {
                // The check-in dialog below the window has a cmdCheckIn of its own.
                QObject* o = w.findChild<QToolButton*>(QLatin1String(n));
                if (!o)
                    o = w.findChild<QAction*>(QLatin1String(n));
                if ((o ? o : control<QWidget>(w, n))->property("enabled").toBool())
                    on << QLatin1String(n);
            }
            return on;
        };
        const auto actions = {
            "cmdCheckOut",        "cmdCheckIn",         "cmdGetLatestVersion", "cmdRefresh",
            "txtCommands",        "mnuActionsCheckOut", "mnuActionsCheckIn",   "mnuActionsGetLatestVersion",
            "mnuActionsOpenFile", "mnuFileRefresh"};
        bool checked = false;
        QTimer::singleShot(0, &w, [&] {
            checked = true;
            QVERIFY(w.operations().busy());
            QCOMPARE(enabled(actions).join(QLatin1Char(' ')), QString());
            QCOMPARE(enabled({"lvwFileList"}).size(), 1);
            QVERIFY(d->busyDepth() > 0);
            QVERIFY(!w.close());
        });
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("a.txt"), true);
        control<QToolButton>(w, "cmdCheckOut")->click();
        QVERIFY(checked);
        QVERIFY(w.isVisible());
        QCOMPARE(enabled({"cmdCheckOut", "mnuActionsCheckOut", "cmdRefresh", "txtCommands"}).size(), 4);
        QCOMPARE(d->busyDepth(), 0);
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Dovrin\""));

        // Check in through the real dialog; it shows no message.
        d->clear();
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("b.txt"), true);
        auto* dlg = control<frmCheckIn>(w, "frmCheckIn");
        auto* txtCheckingInFile = control<QLineEdit>(*dlg, "txtCheckingInFile");
        auto* txtComments = control<QLineEdit>(*dlg, "txtComments");
        WindowHarness::whenShown(dlg, nullptr, [&](QWidget*) {
            QCOMPARE(txtCheckingInFile->text(), QStringLiteral("b.txt"));
            txtComments->setText(QStringLiteral("from the window"));
            QTest::keyClicks(txtComments, QStringLiteral("!"));
            control<QPushButton>(*dlg, "cmdCheckIn")->click();
        });
        control<QAction>(w, "mnuActionsCheckIn")->trigger();
        QCOMPARE(fx.host.read(QStringLiteral("krg/b.txt")), QByteArray("Dovrin's b"));
        QVERIFY(fx.hostCatalogue().contains("\"b.txt\",3,\"\",\"\",\"\",\"Dovrin: from the window!\""));
        QVERIFY2(d->records().isEmpty(), qPrintable(d->texts().join(QLatin1Char('|'))));

        // Dovrin holds a.txt but deleted the copy: no version is recorded, the entry shows it missing
        // and the status line says so, after the get and after giving it back.
        QVERIFY(QFile::remove(fx.localPath(QStringLiteral("a.txt"))));
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("a.txt"), true);
        control<QAction>(w, "mnuActionsGetLatestVersion")->trigger();
        QCOMPARE(w.statusText(), QStringLiteral("Got the latest version of no files; skipped a.txt, checked "
                                                "out by you, but not in your local folder"));
        QCOMPARE(w.model().find(QStringLiteral("a.txt"))->columns.value(QLatin1String(columns::kMyVer)),
                 QStringLiteral("0"));
        w.model().setSelected(QStringLiteral("a.txt"), true);
        d->answer(Dialogs::Ok);
        control<QAction>(w, "mnuActionsCheckIn")->trigger();
        QCOMPARE(d->lastText(), StoreOperations::MissingLocalCheckInQuestion(QStringLiteral("a.txt")));
        QCOMPARE(w.statusText(), QStringLiteral("Checked in no files; skipped a.txt, given back without "
                                                "sending: not in your local folder"));
        QCOMPARE(w.model().find(QStringLiteral("a.txt"))->columns.value(QLatin1String(columns::kStatus)),
                 QStringLiteral("new"));
        QCOMPARE(w.store().LastCountOfOutdatedFiles, 1);
        QCOMPARE(fx.settings->fileVersion(QStringLiteral("a.txt")), QStringLiteral("0"));
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"\""));
        QVERIFY(w.close());
    }

    void cancelLeavesEveryCopyAsItWas_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("outcome");
        const QString get = QStringLiteral("mnuActionsGetLatestVersion");
        QTest::newRow("the window's connection") << QStringList{QStringLiteral("big.bin")} << get
                                                 << QStringLiteral("Get latest version cancelled");
        QTest::newRow("several connections")
            << QStringList{QStringLiteral("big.bin"), QStringLiteral("big2.bin")} << get
            << QStringLiteral("Get latest version cancelled");
        QTest::newRow("check out") << QStringList{QStringLiteral("big.bin")}
                                   << QStringLiteral("mnuActionsCheckOut")
                                   << QStringLiteral("Check out cancelled");
    }

    void cancelLeavesEveryCopyAsItWas() {
        QFETCH(QStringList, files);
        QFETCH(QString, action);
        QFETCH(QString, outcome);
        // A host that moves 1 MB a second, so 4 MB files are still on their way when Cancel is pressed.
        LoopbackHost slow;
        slow.setThrottle(1024 * 1024);
        QVERIFY(slow.start(fx.seed.path()));
        const auto restore = qScopeGuard([this] { fx.host.exportEnvironment(); });
        fx.resetLocal();
        QByteArrayList lines;
        QHash<QString, QFile::Permissions> attributes;
        for (const QString& f : files) {
            lines << catalogueLine(f.toLatin1().constData(), 2);
            slow.write(QStringLiteral("krg/") + f, QByteArray(4 << 20, 'n'));
            QFile copy(fx.localPath(f)), older(fx.localPath(f + QStringLiteral(".backup")));
            QVERIFY(copy.open(QIODevice::WriteOnly) && older.open(QIODevice::WriteOnly));
            copy.write("my copy of " + f.toLatin1());
            older.write("older copy");
            copy.close();
            QVERIFY(copy.setPermissions(QFile::ReadOwner | QFile::ReadGroup));
            attributes.insert(f, copy.permissions());
            fx.settings->setFileVersion(f, QStringLiteral("1"));
        }
        slow.write(QStringLiteral("krg/_files.txt"), catalogue(lines));
        frmFileList w;
        w.show();
        QVERIFY(w.UpdateFileList());
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        bool pressed = false;
        const auto press = [&](qint64 bytes) {
            if (bytes > 0 && !pressed && progress->cmdCancel->isEnabled()) {
                pressed = true;
                progress->cmdCancel->click();
            }
        };
        connect(control<TransferControl>(w, "inet"), &TransferControl::progress, &w,
                [&](qint64 done, qint64) { press(done); });
        connect(&w.store().pool(), &TransferPool::progress, &w,
                [&](int, int, qint64 bytes, double) { press(bytes); });
        w.model().setAllSelected(false);
        for (const QString& f : files)
            w.model().setSelected(f, true);
        control<QAction>(w, action.toLatin1().constData())->trigger();
        QVERIFY(pressed);
        QCOMPARE(slow.read(QStringLiteral("krg/_files.txt")), catalogue(lines));
        for (const QString& f : files) {
            QFile copy(fx.localPath(f));
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), "my copy of " + f.toLatin1());
            QCOMPARE(copy.permissions(), attributes.value(f));
            QFile older(fx.localPath(f + QStringLiteral(".backup")));
            QVERIFY(older.open(QIODevice::ReadOnly));
            QCOMPARE(older.readAll(), QByteArray("older copy"));
            QCOMPARE(fx.settings->fileVersion(f), QStringLiteral("1"));
        }
        const QStringList scratch =
            QDir(fx.local->path()).entryList({QStringLiteral(".krtp-*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(scratch.isEmpty(), qPrintable(scratch.join(QLatin1Char(' '))));
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Transfer Complete"));
        QCOMPARE(w.statusText(), outcome);
        QVERIFY2(d->records().isEmpty(), qPrintable(d->texts().join(QLatin1Char('|'))));
        QVERIFY(w.close());
    }
};

KRTP_TEST_MAIN_GUI(TestStoreOpsWindow)
#include "tst_storeopswindow.moc"
