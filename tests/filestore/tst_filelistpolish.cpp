// What the file list window tells and keeps: the status line after each operation, a host that
// cannot be reached, the remembered layout, shortcuts and the legend of the status icons.
#define KRTP_STORE_WINDOW_TEST
#include "config/siteconfig.h"
#include "filestore/filestatus.h"
#include "filestore/operationreport.h"
#include "platform/gui/windowmemory.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QDateTime>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QTcpServer>

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

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        dlg.init();
    }
    void cleanup() { QVERIFY(dlg.done()); }

    // The summaries no window test reaches; the others show on the window's status line.
    void summaryLines() {
        using K = OperationReport::Kind;
        const auto summary = [](K kind, const QStringList& done,
                                const QStringList& skipped, // name, reason...
                                const QString& failure = {}, bool cancelled = false) {
            OperationReport r;
            r.kind = kind;
            r.done = done;
            for (int i = 0; i + 1 < skipped.size(); i += 2)
                r.skip(skipped[i], skipped[i + 1]);
            r.failure = failure;
            r.cancelled = cancelled;
            return r.summary();
        };
        QCOMPARE(summary(K::GetLatest, {}, {"a.txt", "checked out by you"}),
                 QStringLiteral("Got the latest version of no files; skipped a.txt, checked out by you"));
        QCOMPARE(summary(K::CheckOut, {}, {}), QStringLiteral("Check out: no file selected"));
        // Only the first line of the failure.
        QCOMPARE(
            summary(K::GetLatest, {"a.txt"}, {"b.txt", "not on the server", "c.txt", "not received"},
                    QStringLiteral("Error sending c.txt, please try again.\r\n\r\n550 denied")),
            QStringLiteral("Got the latest version of a.txt; skipped b.txt, not on the server; c.txt, not "
                           "received; stopped: Error sending c.txt, please try again."));
        QCOMPARE(summary(K::CheckIn, {}, {}, {}, true), QStringLiteral("Check in cancelled"));
    }

    void statusLineAfterCheckOutWithOneSkipped() {
        fx.setCatalogue(
            catalogue({catalogueLine("a.txt", 1),
                       catalogueLine("team roster.txt", 3, "Lina", "Lina", "Who does what", "Lina: May"),
                       catalogueLine("b.txt", 2)}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        fx.host.write(QStringLiteral("krg/b.txt"), "server b");
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        QCOMPARE(statusLine(w), QStringLiteral("File list: 3 files, 3 out of date, 0 checked out by you"));
        control<QAction>(w, "mnuEditSelectAll")->trigger();
        control<QToolButton>(w, "cmdCheckOut")->click();
        QCOMPARE(statusLine(w),
                 QStringLiteral("Checked out 2 files; skipped team roster.txt, checked out by Lina"));
        QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
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
        QVERIFY(showAndRebuild(w));
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
        // libcurl's own words follow as the detail.
        const QString text = dlg->lastText();
        QVERIFY2(
            text.startsWith(QStringLiteral("The site's host could not be reached: nothing answered at its "
                                           "address.")) &&
                text.contains(QStringLiteral("\r\n\r\n(")) && text.endsWith(QLatin1Char(')')),
            qPrintable(text));
        QVERIFY2(statusLine(w).startsWith(
                     QStringLiteral("The file list could not be read: The site's host could not be reached")),
                 qPrintable(statusLine(w)));
        // The old entries stay, and the list takes clicks and selections again.
        QCOMPARE(w.model().count(), 2);
        QVERIFY(control<FileListView>(w, "lvwFileList")->detailsView()->isEnabled());
        QVERIFY(control<QToolButton>(w, "cmdRefresh")->isEnabled());
        dlg->clear();
        QVERIFY(w.UpdateFileList());
    }

    // Closed and opened again, the window comes back at its place and size with the member's sort, column
    // widths, preview width and filter; the layout lives in the window's own section only. The filter
    // hides what does not match by name or description and leaves the catalogue's entries alone; the
    // member's own copies show their size and time.
    void reopenedWindowKeepsLayoutSortAndFilter() {
        fx.setCatalogue(catalogue({catalogueLine("b.txt", 1, "", "", "Front page"), catalogueLine("C.txt", 1),
                                   catalogueLine("a.gif", 1, "", "", "Picture on the FRONT")}));
        QVERIFY(writeLocal(QStringLiteral("C.txt"), "12345678"));
        const QStringList descending{"C.txt", "b.txt", "a.gif"}, texts{"C.txt", "b.txt"};
        const auto shown = [](frmFileList& w) {
            QStringList out;
            QTreeView* view = control<FileListView>(w, "lvwFileList")->detailsView();
            for (int row = 0; row < w.model().count(); ++row)
                if (!view->isRowHidden(row, QModelIndex()))
                    out << w.model().entries().at(row).text;
            return out;
        };
        QRect geometry;
        {
            frmFileList w;
            QVERIFY(showAndRebuild(w));
            const int size = w.model().columnIndex(QLatin1String(frmFileList::kLocalSize));
            QCOMPARE(w.model().headerData(size, Qt::Horizontal, Qt::DisplayRole).toString(),
                     QStringLiteral("Size"));
            const auto cell = [&](const char* key, int column) {
                return w.model().index(w.model().rowOf(QLatin1String(key)), column).data().toString();
            };
            QCOMPARE(cell("c.txt", size), QStringLiteral("8 bytes"));
            QCOMPARE(cell("b.txt", size), QString());
            QCOMPARE(cell("c.txt", size + 1), QFileInfo(QStringLiteral("C.txt"))
                                                  .lastModified()
                                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm")));
            w.resize(760, 450);
            w.move(20, 50);
            QTRY_COMPARE(w.size(), QSize(760, 450));
            geometry = w.geometry();
            auto* lvwFileList = control<FileListView>(w, "lvwFileList");
            QHeaderView* header = lvwFileList->detailsView()->header();
            // First click sorts by the name ascending, whatever the letter case; the second reverses.
            const QPoint name(header->sectionViewportPosition(0) + 5, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(names(w.model()), (QStringList{"a.gif", "b.txt", "C.txt"}));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(names(w.model()), descending);
            QVERIFY(w.UpdateFileList()); // the sort survives a rebuild
            QCOMPARE(names(w.model()), descending);
            header->resizeSection(3, 333); // "File Description", by hand
            w.SplitterDropped(lvwFileList, lvwFileList->width() - 50 + 3);
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            auto* txtFilter = control<QLineEdit>(w, "txtFilter");
            QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(txtFilter->hasFocus());
            QTest::keyClicks(txtFilter, QStringLiteral("front"));
            QCOMPARE(shown(w), (QStringList{"b.txt", "a.gif"}));
            QCOMPARE(w.model().count(), 3);
            txtFilter->setText(QStringLiteral(".TXT"));
            QCOMPARE(shown(w), texts);
            // A rebuild keeps the filter on the new entries.
            QVERIFY(w.UpdateFileList());
            QTRY_COMPARE(shown(w), texts);
            QVERIFY(w.close());
        }
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

        frmFileList again;
        QVERIFY(showAndRebuild(again));
        QCOMPARE(again.geometry(), geometry);
        QCOMPARE(again.model().sortKey(), 0);
        QVERIFY(again.model().sortDescending());
        QCOMPARE(names(again.model()), descending);
        QHeaderView* header = control<FileListView>(again, "lvwFileList")->detailsView()->header();
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(header->sectionSize(3), 333);
        QVERIFY(again.previewWidth() > 220);
        QCOMPARE(control<QLineEdit>(again, "txtFilter")->text(), QStringLiteral(".TXT"));
        QTRY_COMPARE(shown(again), texts);
        control<QLineEdit>(again, "txtFilter")->clear();
        QCOMPARE(shown(again).size(), 3);
        // A rebuild keeps the member's column widths.
        QVERIFY(again.UpdateFileList());
        QCOMPARE(header->sectionSize(3), 333);
        QVERIFY(again.close());
    }

    // A window keeps inside the available area of its screen, a remembered place included.
    void windowsFitTheScreen() {
        const QRect screen(0, 0, 1400, 900);
        const std::pair<QRect, QRect> rows[] = {
            {QRect(100, 100, 800, 600), QRect(100, 100, 800, 600)},    // inside stays
            {QRect(1000, 100, 800, 600), QRect(600, 100, 800, 600)},   // off the right
            {QRect(100, -50, 800, 600), QRect(100, 0, 800, 600)},      // above the top
            {QRect(100, 200, 800, 1000), QRect(100, 0, 800, 900)},     // too tall
            {QRect(2000, 1200, 960, 560), QRect(440, 340, 960, 560)}}; // on another screen
        for (const auto& [frame, fitted] : rows)
            QCOMPARE(WindowMemory::FitInto(frame, screen), fitted);
    }

    // Every column and toolbar caption shows in full, the window at its smallest too.
    void captionsFitAndTheLastColumnStretches() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "", "", "A longer description of it")}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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

    void shortcutsAct() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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
    }

    void legendAndIconTooltips() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Lina"), catalogueLine("b.txt", 1)}));
        fx.settings->setFileVersion(QStringLiteral("b.txt"), QStringLiteral("1"));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        const auto tip = [&](const char* key) {
            return w.model().index(w.model().rowOf(QLatin1String(key)), 0).data(Qt::ToolTipRole).toString();
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
    }
};

KRTP_TEST_MAIN_GUI(TestFileListPolish)
#include "tst_filelistpolish.moc"
