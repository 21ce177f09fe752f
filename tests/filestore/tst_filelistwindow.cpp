#define KRTP_STORE_WINDOW_TEST
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

using namespace krtp;
using namespace krtp::test;

namespace {

const QByteArray
    kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00\x00\x00\x2c\x00"
         "\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
         43);

} // namespace

class TestFileListWindow : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness dlg;

    // A window that deletes itself when it closes, shown with the host's list; null when the read failed.
    static QPointer<frmFileList> openDeletingWindow() {
        QPointer<frmFileList> w = new frmFileList;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        return w->UpdateFileList() ? w : nullptr;
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        dlg.init();
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void loadingBuildsToolbarColumnsAndViews() {
        settingsStore().set(settings::CurrentView, QStringLiteral("1"));
        settingsStore().set(settings::ViewToolbar, QStringLiteral("0"));
        frmFileList w;
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Korrindale Guildhouse"));
        QCOMPARE(w.viewStyle(), 1);
        QVERIFY(control<QWidget>(w, "picToolBar")->isHidden());
        QVERIFY(!control<QAction>(w, "mnuViewToolbar")->isChecked());
        // The windows of the layer above come with their openers; without them their entries are off.
        auto* cmdOptions = control<QToolButton>(w, "cmdOptions");
        auto* cmdSetLocalFolder = control<QToolButton>(w, "cmdSetLocalFolder");
        QVERIFY(!cmdOptions->isEnabled() && !cmdSetLocalFolder->isEnabled());
        int opened = 0;
        w.showOptions = [&] { ++opened; };
        w.chooseLocalFolder = [&] { opened += 10; };
        w.UpdateOpeners();
        cmdOptions->click();
        control<QAction>(w, "mnuViewOptions")->trigger();
        cmdSetLocalFolder->click();
        QCOMPARE(opened, 12);
        RecordingDesktopServices desktop;
        auto* cmdExplorer = control<QToolButton>(w, "cmdExplorer");
        cmdExplorer->click();
        control<QAction>(w, "mnuFileExplore")->trigger();
        QCOMPARE(desktop.calls.size(), 2);
        QVERIFY(desktop.calls.first().contains(runState().LocalFolder));
        // A desktop without a file manager: the status line says so, no message box.
        desktop.result = false;
        cmdExplorer->click();
        QCOMPARE(w.statusText(), QStringLiteral("The file manager could not be started for ") +
                                     runState().LocalFolder +
                                     QStringLiteral(": no file manager is set up on this desktop"));
        QVERIFY(dlg->records().isEmpty());
        for (const QString& key : FileListImageKeys())
            QCOMPARE(w.image(key).pixmap(16, 16).size(), QSize(16, 16));
        QCOMPARE(w.model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Updated By"));
        settingsStore().set(settings::CurrentView, QStringLiteral("9"));
        QCOMPARE(frmFileList().viewStyle(), 3);
    }

    void statusAndIconsThroughTheWindow() {
        fx.setCatalogue(catalogue({catalogueLine("site.backup.txt", 2), catalogueLine("README", 1),
                                   catalogueLine("notes.txt", 5, "dOVRIN"), catalogueLine("index.html", 4),
                                   catalogueLine("pic.gif", 3), catalogueLine("old.gif", 3),
                                   catalogueLine("theirs.doc", 2, "brenmoor")}));
        setLocalVersions(
            QStringLiteral("site.backup.txt=2 notes.txt=1 index.html=4 pic.gif=3 old.gif=2 theirs.doc=2"));
        frmFileList w;
        QVERIFY(w.UpdateFileList());
        const auto icons = [&](std::initializer_list<const char*> keys) {
            QStringList out;
            for (const char* key : keys)
                out << w.model().find(QLatin1String(key))->smallIconKey;
            return out;
        };
        // Default colours: only out-of-date files show their circle.
        QCOMPARE(icons({"site.backup.txt", "readme", "notes.txt", "index.html", "pic.gif", "old.gif",
                        "theirs.doc"}),
                 (QStringList{".txt", "new", ".txt", "unlocked", ".gif", "old", ".doc"}));
        QCOMPARE(w.LastCountOfCheckedOutFiles(), 1);
        QCOMPARE(w.LastCountOfOutdatedFiles(), 2);
        const QModelIndex first = w.model().index(w.model().rowOf(QStringLiteral("old.gif")), 0);
        QVERIFY(!w.model().data(first, Qt::DecorationRole).value<QIcon>().isNull());
        // Every colour on: the status circles ("readme" has no "." in the name).
        for (const SettingKey& k : {settings::ShowUpToDateAsBlue, settings::ShowCheckedOutAsGreen,
                                    settings::ShowUnavailableAsYellow})
            settingsStore().set(k, QStringLiteral("Yes"));
        settingsStore().set(settings::ShowOutOfDateAsRed, QStringLiteral("No"));
        QVERIFY(w.UpdateFileList());
        QCOMPARE(icons({"site.backup.txt", "notes.txt", "theirs.doc", "readme", "old.gif"}),
                 (QStringList{"unlocked", "open", "locked", "new", ".gif"}));
    }

    void closingAsksAboutCheckedOutFiles() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1)}));
        settingsStore().set(settings::CurrentView, QStringLiteral("2"));
        QPointer<frmFileList> w = openDeletingWindow();
        QVERIFY(w);
        dlg->answer(Dialogs::Yes);
        w->close();
        QCOMPARE(dlg->lastText(), FileStore::CheckedOutQuestion(1));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QVERIFY(w->isVisible());
        // "Yes" shows the checked-out list, owned by the window.
        QWidget* checkedOut = control<QWidget>(*w, "frmCheckedOutFiles");
        QVERIFY(checkedOut->isVisible() && checkedOut->isWindow());
        QCOMPARE(control<QTreeView>(*checkedOut, "lvwCheckedOutFiles")->model()->rowCount(), 1);
        dlg->answer(Dialogs::Cancel);
        w->close();
        QVERIFY(w->isVisible());
        fx.setCatalogue(
            catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1, "dovrin")}));
        QVERIFY(w->UpdateFileList());
        w->setViewStyle(3);
        dlg->answer(Dialogs::No);
        w->close();
        QCOMPARE(dlg->lastText(), FileStore::CheckedOutQuestion(2));
        QTRY_VERIFY(w.isNull());
        QCOMPARE(settingsStore().get(settings::CurrentView), QStringLiteral("3"));
        // With the option off the window closes without asking, and nothing else starts meanwhile.
        settingsStore().set(settings::ShowCheckedOutFilesOnExit, QStringLiteral("No"));
        w = openDeletingWindow();
        QVERIFY(w);
        bool checked = false;
        QTimer::singleShot(0, w, [&] { // while the closing waits for the host to take its QUIT
            checked = true;
            QVERIFY(!control<QToolButton>(*w, "cmdCheckOut")->isEnabled());
            QVERIFY(!control<QAction>(*w, "mnuFileRefresh")->isEnabled());
        });
        QVERIFY(w->close());
        QVERIFY(checked);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(dlg->records().size(), 3);
    }

    // An outdated catalogue leaves no window behind; a current one opens one window, however often asked.
    void onlyOneWindowIsOpened() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}, "2.1"));
        QVERIFY(!frmFileList::ShowFileList());
        QCOMPARE(dlg->texts(), QStringList{FileStore::OutdatedMessage(QStringLiteral("2.1"))});
        QVERIFY(!frmFileList::instance());
        const auto noneOpen = [] {
            const QWidgetList all = QApplication::topLevelWidgets();
            return std::none_of(all.cbegin(), all.cend(),
                                [](QWidget* w) { return qobject_cast<frmFileList*>(w); });
        };
        QTRY_VERIFY(noneOpen());
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        QPointer<frmFileList> first = frmFileList::ShowFileList();
        QVERIFY(first);
        QCOMPARE(frmFileList::ShowFileList(), first.data());
        QCOMPARE(first->model().count(), 1);
        first->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(!frmFileList::instance());
    }

    void previewPane() {
        fx.setCatalogue(catalogue({catalogueLine("Logo.GIF", 1), catalogueLine("notes.txt", 1),
                                   catalogueLine("missing.txt", 1), catalogueLine("page.html", 1),
                                   catalogueLine("gone.html", 1)}));
        writeLocal(QStringLiteral("Logo.GIF"), kGif);
        writeLocal(QStringLiteral("notes.txt"), "caf\xe9 au lait");
        writeLocal(QStringLiteral("page.html"), "<p>");
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        clickEntry(w, QStringLiteral("notes.txt"));
        auto* txtPreview = control<QPlainTextEdit>(w, "txtPreview");
        auto* picPreview = control<QLabel>(w, "picPreview");
        QCOMPARE(txtPreview->toPlainText(), QString::fromLatin1("caf\xe9 au lait"));
        clickEntry(w, QStringLiteral("logo.gif"));
        QVERIFY(txtPreview->isHidden());
        QCOMPARE(picPreview->pixmap().size(), QSize(1, 1));
        clickEntry(w, QStringLiteral("missing.txt"));
        QVERIFY(!txtPreview->isHidden() && picPreview->pixmap().isNull());
        QCOMPARE(txtPreview->toPlainText(),
                 QStringLiteral("missing.txt does not exist on the local hard drive!"));
        clickEntry(w, QStringLiteral("page.html"));
        // With the pane switched off, clicks change nothing.
        settingsStore().set(settings::ShowPreviewPane, QStringLiteral("No"));
        w.LayOut();
        clickEntry(w, QStringLiteral("gone.html"));
        QCOMPARE(txtPreview->toPlainText(), QStringLiteral("No Preview Availble: page.html"));
    }

    // What the progress line says for each command: the member's own files with their sizes, the
    // program's own steps in the member's words, nothing for commands that move no file. Cancel is
    // pressed once, and an error ends the line.
    void progressInTheMembersWords() {
        struct Row {
            const char* command;
            qint64 done, total;
            const char* shown; // the start of the line; all of it for the steps
        };
        const Row rows[] = {
            {"cd /krg", 10, 0, ""},
            {"GET \"my page.html\" \"my page.html\"", 3LL << 20, 0, "Downloading my page.html: 3.0 MB"},
            {"send notes.txt", 512, 2048, "Uploading notes.txt: 512 bytes of 2 KB"},
            {"PUT \"my page.html\" \"my page.html\"", 512, 2048, "Uploading my page.html: 512 bytes"},
            {"PUT _files.lock.txt /krg/_files.lock/holder.txt", 512, 2048, "Saving the shared file list"},
            {"GET /krg/_files.txt _files.txt", 512, 2048, "Reading the shared file list"},
            {"PUT _files.txt krg/_files.txt.backup", 512, 2048, "Saving the shared file list"},
            {"PUT h.txt /krg/_shared.lock/holder.txt", 512, 2048, "Saving the site's shared settings"},
            {"GET /krg/_history/a.txt.idx a.idx", 512, 2048, "Reading the version history"}};
        frmFileList w;
        w.show();
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        auto* inet = control<TransferControl>(w, "inet");
        for (const Row& r : rows) {
            const QString shown = QLatin1String(r.shown);
            QVERIFY(progress->isHidden());
            emit inet->commandStarted(QLatin1String(r.command));
            emit inet->progress(r.done, r.total);
            QVERIFY2(progress->isVisible() == !shown.isEmpty(), r.command);
            if (!shown.isEmpty())
                QCOMPARE(progress->lblTransfer->text().left(shown.contains(QLatin1String(": ")) ? shown.size()
                                                                                                : -1),
                         shown);
            emit inet->StateChanged(StateResponseCompleted);
        }
        emit inet->commandStarted(QStringLiteral("send notes.txt"));
        emit inet->progress(512, 2048);
        progress->cmdCancel->click();
        QVERIFY(!progress->cmdCancel->isEnabled());
        emit inet->StateChanged(StateError);
        QVERIFY(progress->isHidden());
        QCOMPARE(TransferProgress::LineText(QStringLiteral("Uploading"), QStringLiteral("a.zip"), 5LL << 20,
                                            200LL << 20, 2.5 * 1024 * 1024),
                 QStringLiteral("Uploading a.zip: 5.0 MB of 200.0 MB at 2.5 MB/s"));
    }

    // The status line during and after an operation: the last outcome goes when the next starts, the
    // steps never name the program's own files, a hover hint covers nothing, and the outcome stays.
    void statusLineBelongsToTheOperations() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        auto* lblStatus = control<QLabel>(w, "lblStatus");
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        QStringList outcomesSeen, steps;
        connect(control<TransferControl>(w, "inet"), &TransferControl::commandStarted, &w, [&] {
            outcomesSeen << lblStatus->text();
            if (progress->isVisible() && !progress->lblTransfer->text().isEmpty())
                steps << progress->lblTransfer->text();
        });
        w.model().setSelected(QStringLiteral("a.txt"), true);
        w.CheckOut();
        QVERIFY(!outcomesSeen.isEmpty());
        QCOMPARE(outcomesSeen.join(QString()), QString());
        QVERIFY2(steps.contains(QStringLiteral("Saving the shared file list")), qPrintable(steps.join('|')));
        for (const QString& step : steps)
            QVERIFY2(!step.contains(QLatin1String("krg/")) && !step.contains(QLatin1String("_files")),
                     qPrintable(step));
        QCOMPARE(w.statusText(), QStringLiteral("Checked out a.txt"));
        QVERIFY(progress->isHidden());
        QStatusTipEvent hint(QStringLiteral("take the selected files to work on them"));
        QApplication::sendEvent(control<QToolButton>(w, "cmdCheckOut"), &hint);
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        QVERIFY(lblStatus->isVisible());
        QCOMPARE(w.statusText(), QStringLiteral("Checked out a.txt"));
        dlg->answer(Dialogs::No);
        QVERIFY(w.close());
    }

    // Closing while an operation waits for the host asks; Wait keeps the window and the operation.
    void closingWhileBusyAsks() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        fx.host.setFaults("{\"latency_ms\": 150}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closed = true;
        QTimer::singleShot(200, &w, [&] {
            QVERIFY(w.operations().busy());
            dlg->answer(Dialogs::No);
            closed = w.close();
        });
        QVERIFY(w.UpdateFileList());
        QVERIFY(!closed && w.isVisible());
        QCOMPARE(dlg->texts(), QStringList{"Wait for the transfer to finish, or cancel it?"});
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(w.model().count(), 1);
    }

    void consoleSendsOnEnterAndCollectsReplies() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        auto* txtResults = control<QPlainTextEdit>(w, "txtResults");
        auto* inet = control<TransferControl>(w, "inet");
        auto* txtCommands = control<QLineEdit>(w, "txtCommands");
        QString before = txtResults->toPlainText();
        const int sent = inet->commandsSent();
        txtCommands->setFocus();
        QTest::keyClicks(txtCommands, QStringLiteral("ls _files.txt"));
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QCOMPARE(txtCommands->selectedText(), QStringLiteral("ls _files.txt"));
        QTRY_VERIFY(!inet->StillExecuting());
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        QCOMPARE(inet->commandsSent() - sent, 2);
        QCOMPARE(txtCommands->text(), QStringLiteral("ls _files.txt"));
        // Each command echoed, each reply collected.
        QString added = txtResults->toPlainText().mid(before.size());
        QCOMPARE(added.count(QStringLiteral("> ls _files.txt\n")), 2);
        QCOMPARE(added.count(QStringLiteral("_files.txt")), 4);
        QVERIFY(added.endsWith(QLatin1Char('\n')));
        QCOMPARE(w.GetChunkData().count(QStringLiteral("_files.txt")), 1);
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Transfer Complete"));
        // A refused command shows its echo and the host's reply.
        before = txtResults->toPlainText();
        txtCommands->setText(QStringLiteral("cd nothere"));
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        added = txtResults->toPlainText().mid(before.size());
        QVERIFY2(added.startsWith(QStringLiteral("> cd nothere\n550 ")) && added.endsWith(QLatin1Char('\n')),
                 qPrintable(added));
    }

    void toolbarAndSplitter() {
        frmFileList w;
        w.resize(900, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* central = w.centralWidget();
        auto* lvwFileList = control<FileListView>(w, "lvwFileList");
        auto* picToolBar = control<QWidget>(w, "picToolBar");
        auto* picResize1 = control<QFrame>(w, "picResize1");
        auto* txtFilter = control<QLineEdit>(w, "txtFilter");
        const int preview = w.previewWidth(), splitter = picResize1->width(), margin = lvwFileList->x(),
                  toolbar = picToolBar->height(), filter = txtFilter->height();
        // The filter box sits between the toolbar and the list; the preview right of the splitter.
        QCOMPARE(txtFilter->y(), margin + toolbar);
        QCOMPARE(lvwFileList->geometry(), QRect(margin, 2 * margin + toolbar + filter,
                                                central->width() - 2 * margin - (preview + splitter),
                                                central->height() - toolbar - filter - 3 * margin));
        QCOMPARE(picResize1->x(), lvwFileList->x() + lvwFileList->width());
        QCOMPARE(control<QLabel>(w, "picPreview")->geometry(),
                 QRect(picResize1->x() + splitter, lvwFileList->y(), preview, lvwFileList->height()));
        // Toolbar off: the list moves up and the choice is stored.
        auto* mnuViewToolbar = control<QAction>(w, "mnuViewToolbar");
        mnuViewToolbar->trigger();
        QVERIFY(picToolBar->isHidden() && !mnuViewToolbar->isChecked());
        QCOMPARE(settingsStore().get(settings::ViewToolbar), QStringLiteral("0"));
        QCOMPARE(lvwFileList->y(), 2 * margin + filter);
        mnuViewToolbar->trigger();
        QCOMPARE(settingsStore().get(settings::ViewToolbar), QStringLiteral("-1"));
        // Splitter dropped 100 pixels left of its place on the list: the preview grows by 100.
        const int listWidth = lvwFileList->width();
        w.SplitterDropped(lvwFileList, listWidth - 100 + splitter / 2);
        QCOMPARE(w.previewWidth(), preview + 100);
        QCOMPARE(lvwFileList->width(), listWidth - 100);
        // Dropped 40 pixels into the preview: it shrinks by 40 plus half the splitter.
        w.SplitterDropped(control<QPlainTextEdit>(w, "txtPreview"), 40);
        QCOMPARE(w.previewWidth(), preview + 100 - 40 - splitter / 2);
        // Without the preview pane the list takes the width.
        settingsStore().set(settings::ShowPreviewPane, QStringLiteral("No"));
        w.LayOut();
        QVERIFY(picResize1->isHidden());
        QCOMPARE(lvwFileList->width(), central->width() - 2 * margin);
    }

    void iconPositionsOnlyInSmallIcons() {
        const QByteArray whole = catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)});
        fx.setCatalogue(whole);
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        FileIconView* view = control<FileListView>(w, "lvwFileList")->iconView();
        const auto index = [&](const char* key) {
            return w.model().index(w.model().rowOf(QLatin1String(key)), 0);
        };
        const auto stored = [](const char* key) {
            return settingsStore().read(QLatin1String(settings::kIconsSection), QLatin1String(key),
                                        QString());
        };
        settingsStore().write(QLatin1String(settings::kIconsSection), QStringLiteral("a.txt"),
                              QStringLiteral("300,50"));
        w.SaveIcons(); // details view: nothing stored
        QCOMPARE(stored("a.txt"), QStringLiteral("300,50"));
        w.setViewStyle(1);
        w.LoadIcons();
        QCOMPARE(view->itemPosition(index("a.txt")), QPoint(300, 50));
        view->setItemPosition(index("b.txt"), QPoint(10, 120));
        w.SaveIcons();
        QCOMPARE(stored("b.txt"), QStringLiteral("10,120"));
        QCOMPARE(stored("a.txt"), QStringLiteral("300,50"));
        // A rebuild keeps them, also one that reads a short catalogue twice and repairs it.
        QVERIFY(w.UpdateFileList());
        QCOMPARE(view->itemPosition(index("b.txt")), QPoint(10, 120));
        fx.setCatalogue(catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)}, "2.0.5", 3), whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(w.UpdateFileList());
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(view->itemPosition(index("b.txt")), QPoint(10, 120));
        QCOMPARE(stored("b.txt"), QStringLiteral("10,120"));
    }
};

KRTP_TEST_MAIN_GUI(TestFileListWindow)
#include "tst_filelistwindow.moc"
