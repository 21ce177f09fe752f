// What the file list window tells and keeps: the status line after each operation, a host that
// cannot be reached, the remembered layout, shortcuts and the legend of the status icons.
#include "config/siteconfig.h"
#include "controls.h"
#include "filestore/filestatus.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/operationreport.h"
#include "filestore/storeoperations.h"
#include "platform/gui/windowmemory.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QStatusBar>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace krtp;
using namespace krtp::test;

namespace {

QString statusLine(const frmFileList& w) {
    return control<QLabel>(w, "lblStatus")->text();
}

QStringList names(const FileListModel& m) {
    QStringList out;
    for (const ListEntry& e : m.entries())
        out << e.text;
    return out;
}

} // namespace

class TestFileListPolish : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness dlg;

    void showAndRebuild(frmFileList& w) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        dlg.init();
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void summaryLines_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("done");
        QTest::addColumn<QStringList>("skipped"); // name, reason, name, reason...
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QString>("summary");
        const int out = int(OperationReport::Kind::CheckOut);
        QTest::newRow("three out, one held")
            << out << QStringList{"a.txt", "b.txt", "c.txt"}
            << QStringList{"team roster.txt", "checked out by Lina"} << ""
            << "" << false << "Checked out 3 files; skipped team roster.txt, checked out by Lina";
        QTest::newRow("one named") << int(OperationReport::Kind::CheckIn) << QStringList{"a.txt"}
                                   << QStringList{} << ""
                                   << "" << false << "Checked in a.txt";
        QTest::newRow("nothing selected") << out << QStringList{} << QStringList{} << ""
                                          << "" << false << "Check out: no file selected";
        QTest::newRow("refused") << out << QStringList{} << QStringList{}
                                 << "Sorry, you do not have access to that feature."
                                 << "" << false
                                 << "Check out refused: Sorry, you do not have access to that feature.";
        QTest::newRow("stopped, first line only")
            << int(OperationReport::Kind::GetLatest) << QStringList{"a.txt"}
            << QStringList{"b.txt", "not on the server", "c.txt", "not received"} << ""
            << "Error sending c.txt, please try again.\r\n\r\n550 denied" << false
            << "Got the latest version of a.txt; skipped b.txt, not on the server; c.txt, not received; "
               "stopped: Error sending c.txt, please try again.";
        QTest::newRow("cancelled") << int(OperationReport::Kind::CheckIn) << QStringList{} << QStringList{}
                                   << ""
                                   << "" << true << "Check in cancelled";
        QTest::newRow("declined remove")
            << int(OperationReport::Kind::Remove) << QStringList{} << QStringList{} << ""
            << "" << false << "Nothing removed";
    }
    void summaryLines() {
        QFETCH(int, kind);
        QFETCH(QStringList, done);
        QFETCH(QStringList, skipped);
        QFETCH(QString, refusal);
        QFETCH(QString, failure);
        QFETCH(bool, cancelled);
        QFETCH(QString, summary);
        OperationReport r;
        r.kind = OperationReport::Kind(kind);
        r.done = done;
        for (int i = 0; i + 1 < skipped.size(); i += 2)
            r.skip(skipped[i], skipped[i + 1]);
        r.refusal = refusal;
        r.failure = failure;
        r.cancelled = cancelled;
        QCOMPARE(r.summary(), summary);
    }

    void statusLineAfterCheckOutWithOneSkipped() {
        const QByteArray roster =
            catalogueLine("team roster.txt", 3, "Lina", "Lina", "Who does what", "Lina: May");
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), roster, catalogueLine("b.txt", 2)}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        fx.host.write(QStringLiteral("krg/b.txt"), "server b");
        frmFileList w;
        showAndRebuild(w);
        QCOMPARE(statusLine(w), QStringLiteral("File list: 3 files, 3 out of date, 0 checked out by you"));
        control<QAction>(w, "mnuEditSelectAll")->trigger();
        control<QToolButton>(w, "cmdCheckOut")->click();
        QCOMPARE(statusLine(w),
                 QStringLiteral("Checked out 2 files; skipped team roster.txt, checked out by Lina"));
        QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
        const QByteArray host = fx.hostCatalogue();
        QVERIFY(host.contains("\"a.txt\",1,\"Dovrin\""));
        QVERIFY(host.contains("\"b.txt\",2,\"Dovrin\""));
        QVERIFY(host.contains(roster));

        // A level that may not check out: the reason is on the status line too.
        runState().UserLevel = LevelReadOnly;
        control<QToolButton>(w, "cmdCheckOut")->click();
        runState().UserLevel = LevelFullAccess;
        QCOMPARE(dlg->lastText(), QStringLiteral("Sorry, you do not have access to that feature."));
        QCOMPARE(statusLine(w),
                 QStringLiteral("Check out refused: Sorry, you do not have access to that feature."));
        dlg->clear();
        dlg->answer(Dialogs::No);
        QVERIFY(w.close());
    }

    void unreachableHostIsToldInWordsAndListStaysUsable() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        showAndRebuild(w);
        // A port where nothing listens.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closed = probe.serverPort();
        probe.close();
        const auto back = qScopeGuard([this] {
            fx.host.exportEnvironment();
            reloadSiteConfig();
        });
        qputenv("KRTP_FTP_HOST", QByteArray("127.0.0.1:") + QByteArray::number(closed));
        reloadSiteConfig();
        QVERIFY(!w.UpdateFileList());
        fx.host.exportEnvironment();
        reloadSiteConfig();
        QCOMPARE(dlg->records().size(), 1);
        const QString text = dlg->lastText();
        QVERIFY2(
            text.startsWith(QStringLiteral("The site's host could not be reached: nothing answered at its "
                                           "address.")),
            qPrintable(text));
        // libcurl's own words follow as the detail.
        QVERIFY2(text.contains(QStringLiteral("\r\n\r\n(")) && text.endsWith(QLatin1Char(')')),
                 qPrintable(text));
        QVERIFY2(statusLine(w).startsWith(
                     QStringLiteral("The file list could not be read: The site's host could not be reached")),
                 qPrintable(statusLine(w)));
        // The old entries stay, and the list takes clicks and selections again.
        QCOMPARE(w.model().count(), 2);
        auto* lvwFileList = control<FileListView>(w, "lvwFileList");
        QVERIFY(lvwFileList->detailsView()->isEnabled());
        QVERIFY(control<QToolButton>(w, "cmdRefresh")->isEnabled());
        dlg->clear();
        QVERIFY(w.UpdateFileList());
        w.store().Shutdown();
    }

    void remembersLayoutAndSortAcrossReopen() {
        fx.setCatalogue(
            catalogue({catalogueLine("b.txt", 1), catalogueLine("C.txt", 1), catalogueLine("a.txt", 1)}));
        QRect geometry;
        int described = 0;
        {
            frmFileList w;
            showAndRebuild(w);
            w.resize(760, 450);
            w.move(20, 50);
            QTRY_COMPARE(w.size(), QSize(760, 450));
            geometry = w.geometry();
            auto* lvwFileList = control<FileListView>(w, "lvwFileList");
            QHeaderView* header = lvwFileList->detailsView()->header();
            // First click sorts by the name ascending, whatever the letter case; the second reverses.
            const QPoint name(header->sectionViewportPosition(0) + 5, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(names(w.model()), (QStringList{"a.txt", "b.txt", "C.txt"}));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(names(w.model()), (QStringList{"C.txt", "b.txt", "a.txt"}));
            QVERIFY(w.UpdateFileList()); // the sort survives a rebuild
            QCOMPARE(names(w.model()), (QStringList{"C.txt", "b.txt", "a.txt"}));
            header->resizeSection(3, 333); // "File Description", by hand
            described = header->sectionSize(3);
            w.SplitterDropped(lvwFileList, lvwFileList->width() - 50 + 3);
            QVERIFY(w.close());
        }
        // The layout lives in the window's own section, nowhere else.
        settingsStore().sync();
        QSettings ini(settingsStore().fileName(), QSettings::IniFormat);
        const QString section = WindowMemory::sectionFor(QStringLiteral("frmFileList"));
        QCOMPARE(section, QStringLiteral("Window frmFileList"));
        for (const QString& group : ini.childGroups())
            QVERIFY2((QStringList{"Settings", "Icons", "FileVersions", section}).contains(group),
                     qPrintable(group));
        ini.beginGroup(QStringLiteral("Settings"));
        QCOMPARE(ini.childKeys(), QStringList{}); // nothing of the layout among the preferences
        ini.endGroup();
        ini.beginGroup(section);
        for (const char* key :
             {"Geometry", "State", "PreviewWidth", "ColumnWidths", "SortColumn", "SortOrder"})
            QVERIFY2(ini.childKeys().contains(QLatin1String(key)), key);
        ini.endGroup();

        frmFileList again;
        showAndRebuild(again);
        QCOMPARE(again.geometry(), geometry);
        QCOMPARE(again.model().sortKey(), 0);
        QVERIFY(again.model().sortDescending());
        QCOMPARE(names(again.model()), (QStringList{"C.txt", "b.txt", "a.txt"}));
        QHeaderView* header = control<FileListView>(again, "lvwFileList")->detailsView()->header();
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(header->sectionSize(3), described);
        QVERIFY(again.previewWidth() > 220);
        // A rebuild keeps the member's column widths.
        QVERIFY(again.UpdateFileList());
        QCOMPARE(header->sectionSize(3), described);
        QVERIFY(again.close());
    }

    // The filter hides what does not match by name or description, leaves the catalogue's entries
    // alone and comes back with the window; the member's own copies show their size and time.
    void filterHidesEntriesAndIsRemembered() {
        fx.setCatalogue(catalogue({catalogueLine("index.html", 1, "", "", "Front page"),
                                   catalogueLine("logo.gif", 1, "", "", "Picture on the FRONT"),
                                   catalogueLine("notes.txt", 1)}));
        QFile local(QStringLiteral("notes.txt"));
        QVERIFY(local.open(QIODevice::WriteOnly) && local.write("12345678") == 8);
        local.close();
        const auto shown = [](frmFileList& w) {
            QStringList out;
            QTreeView* view = control<FileListView>(w, "lvwFileList")->detailsView();
            for (int row = 0; row < w.model().count(); ++row)
                if (!view->isRowHidden(row, QModelIndex()))
                    out << w.model().entries().at(row).text;
            return out;
        };
        {
            frmFileList w;
            showAndRebuild(w);
            const int size = w.model().columnIndex(QLatin1String(frmFileList::kLocalSize));
            QCOMPARE(w.model().headerData(size, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QStringLiteral("Size"));
            const auto cell = [&](const char* key, int column) {
                return w.model()
                    .data(w.model().index(w.model().rowOf(QLatin1String(key)), column), Qt::DisplayRole)
                    .toString();
            };
            QCOMPARE(cell("notes.txt", size), QStringLiteral("8 bytes"));
            QCOMPARE(cell("index.html", size), QString());
            QCOMPARE(cell("notes.txt", size + 1), QFileInfo(QStringLiteral("notes.txt"))
                                                      .lastModified()
                                                      .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            auto* txtFilter = control<QLineEdit>(w, "txtFilter");
            QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(txtFilter->hasFocus());
            QTest::keyClicks(txtFilter, QStringLiteral("front"));
            QCOMPARE(shown(w), (QStringList{"index.html", "logo.gif"}));
            QCOMPARE(w.model().count(), 3);
            txtFilter->setText(QStringLiteral(".TXT"));
            QCOMPARE(shown(w), QStringList{"notes.txt"});
            // A rebuild keeps the filter on the new entries.
            QVERIFY(w.UpdateFileList());
            QTRY_COMPARE(shown(w), QStringList{"notes.txt"});
            w.store().Shutdown();
        }
        frmFileList again;
        showAndRebuild(again);
        QCOMPARE(control<QLineEdit>(again, "txtFilter")->text(), QStringLiteral(".TXT"));
        QTRY_COMPARE(shown(again), QStringList{"notes.txt"});
        control<QLineEdit>(again, "txtFilter")->clear();
        QCOMPARE(shown(again).size(), 3);
        again.store().Shutdown();
    }

    // A window keeps inside the available area of its screen, a remembered place included.
    void windowsFitTheScreen_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("fitted");
        const QRect screen(0, 0, 1400, 900);
        QTest::newRow("inside stays") << QRect(100, 100, 800, 600) << QRect(100, 100, 800, 600);
        QTest::newRow("off the right") << QRect(1000, 100, 800, 600) << QRect(600, 100, 800, 600);
        QTest::newRow("above the top") << QRect(100, -50, 800, 600) << QRect(100, 0, 800, 600);
        QTest::newRow("too tall") << QRect(100, 200, 800, 1000) << QRect(100, 0, 800, 900);
        QTest::newRow("other screen") << QRect(2000, 1200, 960, 560) << QRect(440, 340, 960, 560);
    }
    void windowsFitTheScreen() {
        QFETCH(QRect, frame);
        QFETCH(QRect, fitted);
        QCOMPARE(WindowMemory::FitInto(frame, QRect(0, 0, 1400, 900)), fitted);
    }

    void columnsFitTheirCaptionsAndTheLastStretches() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "", "", "A longer description of it")}));
        frmFileList w;
        showAndRebuild(w);
        QTreeView* view = control<FileListView>(w, "lvwFileList")->detailsView();
        QHeaderView* header = view->header();
        QTRY_VERIFY(header->sectionSize(3) >=
                    view->fontMetrics().horizontalAdvance(QStringLiteral("A longer description of it")));
        for (int i = 0; i < header->count() - 1; ++i)
            QVERIFY2(header->sectionSize(i) >= header->sectionSizeHint(i),
                     qPrintable(w.model().headerData(i, Qt::Horizontal, Qt::DisplayRole).toString()));
        QVERIFY(header->stretchLastSection());
        QCOMPARE(header->sectionViewportPosition(header->count() - 1) +
                     header->sectionSize(header->count() - 1),
                 qMax(header->length(), view->viewport()->width()));
        // The preview wraps long lines.
        QCOMPARE(control<QPlainTextEdit>(w, "txtPreview")->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        w.store().Shutdown();
    }

    void shortcutsAct() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        showAndRebuild(w);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTreeView* list = control<FileListView>(w, "lvwFileList")->detailsView();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(w.model().selectedCount(), 2);
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.model().selectedCount(), 0);
        fx.setCatalogue(
            catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1), catalogueLine("c.txt", 1)}));
        QTest::keyClick(list, Qt::Key_F5);
        QCOMPARE(w.model().count(), 3);
        QCOMPARE(w.operations().lastReport().kind, OperationReport::Kind::Refresh);
        QTRY_VERIFY(list->hasFocus()); // the rebuild gives the list its focus back
        // Delete on the list asks to remove the current entry; in the console it edits the text.
        w.model().setSelected(QStringLiteral("a.txt"), true);
        list->setCurrentIndex(w.model().index(w.model().rowOf(QStringLiteral("a.txt")), 0));
        QTRY_VERIFY(control<QAction>(w, "mnuActionsDeleteFile")->isEnabled());
        dlg->answer(Dialogs::No);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(dlg->lastText(), StoreOperations::RemoveQuestion(QStringLiteral("a.txt")));
        QCOMPARE(statusLine(w), QStringLiteral("Nothing removed"));
        dlg->clear();
        auto* txtCommands = control<QLineEdit>(w, "txtCommands");
        txtCommands->setFocus();
        txtCommands->setText(QStringLiteral("pwdx"));
        QTest::keyClick(txtCommands, Qt::Key_Backspace);
        QTest::keyClick(txtCommands, Qt::Key_Home);
        QTest::keyClick(txtCommands, Qt::Key_Delete);
        QCOMPARE(txtCommands->text(), QStringLiteral("wd"));
        QVERIFY(dlg->records().isEmpty());
        // Enter on the list opens the entry (here: not the latest version, so it says so).
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(dlg->lastText(), QStringLiteral("You do not have the latest version of this file."));
        QCOMPARE(w.operations().lastReport().kind, OperationReport::Kind::Open);
        w.store().Shutdown();
    }

    void toolbarReadableAtMinimumWidth() {
        frmFileList w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QList<QToolButton*> buttons = control<QWidget>(w, "picToolBar")->findChildren<QToolButton*>();
        w.resize(200, 300); // below the minimum: the window stays wide enough for every caption
        QTRY_COMPARE(w.width(), w.minimumWidth());
        // A low window gives its height to the list: the console folds away until there is room.
        auto* console = control<QWidget>(w, "fraConsole");
        QTRY_VERIFY(console->isHidden());
        w.resize(w.width(), 560);
        QTRY_VERIFY(console->isVisible());
        for (QToolButton* b : buttons)
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()),
                     qPrintable(b->objectName()));
        for (int i = 1; i < buttons.size(); ++i)
            QVERIFY(buttons[i]->x() >= buttons[i - 1]->x() + buttons[i - 1]->width());
    }

    void legendAndIconTooltips() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Lina"), catalogueLine("b.txt", 1)}));
        fx.settings->setFileVersion(QStringLiteral("b.txt"), QStringLiteral("1"));
        frmFileList w;
        showAndRebuild(w);
        const auto tip = [&](const char* key) {
            return w.model()
                .data(w.model().index(w.model().rowOf(QLatin1String(key)), 0), Qt::ToolTipRole)
                .toString();
        };
        QCOMPARE(tip("a.txt"),
                 QStringLiteral("Not in your local folder yet: get the latest version to fetch it"));
        QCOMPARE(tip("b.txt"), QStringLiteral("Up to date and free to check out"));
        QCOMPARE(StatusDescription(QStringLiteral("locked"), QStringLiteral("Lina")),
                 QStringLiteral("Checked out by Lina: you can get the latest version, but not check it out"));
        control<QAction>(w, "mnuHelpStatusIcons")->trigger();
        auto* legend = control<QWidget>(w, "frmStatusIcons");
        QVERIFY(legend->isVisible());
        for (const QString& key : StatusKeys())
            QCOMPARE(legend->findChild<QLabel*>(QStringLiteral("lblStatus_") + key)->text(),
                     StatusDescription(key));
        w.store().Shutdown();
    }
};

KRTP_TEST_MAIN_GUI(TestFileListPolish)
#include "tst_filelistpolish.moc"
