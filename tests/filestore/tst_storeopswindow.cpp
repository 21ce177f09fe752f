// The check-in dialog's rules on its widgets, and the store operations from the file list window:
// buttons, the real dialog, and the busy state while an operation waits for the host.
#define KRTP_STORE_WINDOW_TEST
#include "filestore/gui/frmcheckin.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"

#include <QCheckBox>
#include <QDir>
#include <QScopeGuard>
#include <QTimer>

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
        auto* chkKeep = control<QCheckBox>(dlg, "chkKeepFileCheckedOut");
        auto* chkRevert = control<QCheckBox>(dlg, "chkRevert");
        auto* txtComments = control<QLineEdit>(dlg, "txtComments");
        QVERIFY(!chkKeep->isChecked() && !chkRevert->isChecked() && txtComments->text().isEmpty());
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
        QVERIFY(txtComments->text().isEmpty() && !txtComments->isEnabled() && !chkKeep->isEnabled());
        chkRevert->click();
        QCOMPARE(txtComments->text(), QStringLiteral("fix 'x' here"));
        QVERIFY(txtComments->isEnabled() && chkKeep->isEnabled());
        // Keep locks revert.
        chkKeep->click();
        QVERIFY(!chkRevert->isEnabled());
        chkKeep->click();
        QVERIFY(chkRevert->isEnabled());
        chkRevert->setFocus();
        dlg.hide();

        // Do_CheckInFile: Check In All, then the answers are remembered for the next call; Cancel and
        // the close box give false.
        QString comment;
        bool keep = false, all = false, revert = false;
        const auto ask = [&](const char* file, std::function<void()> answer) {
            WindowHarness::whenShown(&dlg, nullptr, [answer](QWidget*) { answer(); });
            return dlg.Do_CheckInFile(QLatin1String(file), comment, keep, all, revert);
        };
        QVERIFY(ask("a.txt", [&] {
            QCOMPARE(control<QLineEdit>(dlg, "txtCheckingInFile")->text(), QStringLiteral("a.txt"));
            QCOMPARE(dlg.focusWidget(), txtComments); // the member comes to type the comment
            chkKeep->click();
            control<QPushButton>(dlg, "cmdCheckInAll")->click();
        }));
        QCOMPARE(comment, QStringLiteral("fix 'x' here"));
        QVERIFY(keep && all && !revert);
        QVERIFY(!ask("b.txt", [&] {
            QCOMPARE(txtComments->text(), QStringLiteral("fix 'x' here"));
            QVERIFY(chkKeep->isChecked());
            control<QPushButton>(dlg, "cmdCancel")->click();
        }));
        QVERIFY(!all);
        QVERIFY(!ask("c.txt", [&] { dlg.close(); }));
        QVERIFY(ask("c.txt", [&] { control<QPushButton>(dlg, "cmdCheckIn")->click(); }));
        QVERIFY(!all);
    }

    void windowRunsTheOperationsOneAtATime() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 2, "Dovrin")}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        QVERIFY(writeLocal(fx.localPath(QStringLiteral("b.txt")), "Dovrin's b"));
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
        bool checked = false;
        QTimer::singleShot(0, &w, [&] {
            checked = true;
            QVERIFY(w.operations().busy());
            QCOMPARE(enabled({"cmdCheckOut", "cmdCheckIn", "cmdGetLatestVersion", "cmdRefresh", "txtCommands",
                              "mnuActionsCheckOut", "mnuActionsCheckIn", "mnuActionsGetLatestVersion",
                              "mnuActionsOpenFile", "mnuFileRefresh"}),
                     QStringList{});
            QCOMPARE(enabled({"lvwFileList"}).size(), 1);
            QVERIFY(d->busyDepth() > 0);
            QVERIFY(!w.close());
        });
        w.model().setSelected(QStringLiteral("a.txt"), true);
        control<QToolButton>(w, "cmdCheckOut")->click();
        QVERIFY(checked && w.isVisible());
        QCOMPARE(enabled({"cmdCheckOut", "mnuActionsCheckOut", "cmdRefresh", "txtCommands"}).size(), 4);
        QCOMPARE(d->busyDepth(), 0);
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Dovrin\""));

        // Check in through the real dialog; it shows no message.
        d->clear(); // the closing refused above asked
        w.model().setAllSelected(false);
        w.model().setSelected(QStringLiteral("b.txt"), true);
        auto* dlg = control<frmCheckIn>(w, "frmCheckIn");
        WindowHarness::whenShown(dlg, nullptr, [&](QWidget*) {
            QCOMPARE(control<QLineEdit>(*dlg, "txtCheckingInFile")->text(), QStringLiteral("b.txt"));
            auto* txtComments = control<QLineEdit>(*dlg, "txtComments");
            txtComments->setText(QStringLiteral("from the window"));
            QTest::keyClicks(txtComments, QStringLiteral("!"));
            control<QPushButton>(*dlg, "cmdCheckIn")->click();
        });
        control<QAction>(w, "mnuActionsCheckIn")->trigger();
        QCOMPARE(fx.host.read(QStringLiteral("krg/b.txt")), QByteArray("Dovrin's b"));
        QVERIFY(fx.hostCatalogue().contains("\"b.txt\",3,\"\",\"\",\"\",\"Dovrin: from the window!\""));
        QVERIFY2(d->records().isEmpty(), qPrintable(d->texts().join(QLatin1Char('|'))));
        QCOMPARE(w.statusText(), QStringLiteral("Checked in b.txt"));
        d->answer(Dialogs::No); // a.txt is still checked out
        QVERIFY(w.close());
    }

    void cancelLeavesEveryCopyAsItWas_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("the window's connection") << QStringList{"big.bin"} << "mnuActionsGetLatestVersion"
                                                 << "Get latest version cancelled";
        QTest::newRow("several connections")
            << QStringList{"big.bin", "big2.bin"} << "mnuActionsGetLatestVersion"
            << "Get latest version cancelled";
        QTest::newRow("check out") << QStringList{"big.bin"} << "mnuActionsCheckOut"
                                   << "Check out cancelled";
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
        QFile::Permissions readOnly;
        for (const QString& f : files) {
            lines << catalogueLine(f.toLatin1().constData(), 2);
            slow.write(QStringLiteral("krg/") + f, QByteArray(4 << 20, 'n'));
            QVERIFY(writeLocal(fx.localPath(f), "my copy of " + f.toLatin1()));
            QVERIFY(writeLocal(fx.localPath(f + QStringLiteral(".backup")), "older copy"));
            QVERIFY(QFile::setPermissions(fx.localPath(f), QFile::ReadOwner | QFile::ReadGroup));
            readOnly = QFile::permissions(fx.localPath(f));
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
            QCOMPARE(readLocal(fx.localPath(f)), "my copy of " + f.toLatin1());
            QCOMPARE(QFile::permissions(fx.localPath(f)), readOnly);
            QCOMPARE(readLocal(fx.localPath(f + QStringLiteral(".backup"))), QByteArray("older copy"));
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
