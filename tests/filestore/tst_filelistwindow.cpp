#include "controls.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmfilelist.h"
#include "filestore/storeoperations.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

using namespace krtp;
using namespace krtp::test;

namespace {

const QByteArray
    kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00\x00\x00\x2c\x00"
         "\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
         43);

void writeLocal(const QString& name, const QByteArray& data) {
    QFile f(name);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

} // namespace

class TestFileListWindow : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness dlg;

    void showAndRebuild(frmFileList& w) {
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
    }

    void clickEntry(frmFileList& w, const QString& key) {
        auto* lvwFileList = control<FileListView>(w, "lvwFileList");
        QTreeView* view = lvwFileList->detailsView();
        const QModelIndex index = w.model().index(w.model().rowOf(key), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
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
        auto* picToolBar = control<QWidget>(w, "picToolBar");
        QVERIFY(picToolBar->isHidden());
        QVERIFY(!control<QAction>(w, "mnuViewToolbar")->isChecked());
        for (const char* name : {"cmdRefresh", "cmdExplorer", "cmdCheckOut", "cmdAddFile"})
            QVERIFY2(control<QWidget>(w, name)->isEnabled(), name);
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
        control<QToolButton>(w, "cmdExplorer")->click();
        control<QAction>(w, "mnuFileExplore")->trigger();
        QCOMPARE(desktop.calls.size(), 2);
        QVERIFY(desktop.calls.first().contains(runState().LocalFolder));
        // A desktop without a file manager: the status line says so, no message box.
        desktop.result = false;
        control<QToolButton>(w, "cmdExplorer")->click();
        QCOMPARE(w.statusText(), QStringLiteral("The file manager could not be started for ") +
                                     runState().LocalFolder +
                                     QStringLiteral(": no file manager is set up on this desktop"));
        QVERIFY(dlg->records().isEmpty());
        for (const QString& key : FileListImageKeys())
            QCOMPARE(w.image(key).pixmap(16, 16).size(), QSize(16, 16));
        QCOMPARE(w.model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Updated By"));
        settingsStore().set(settings::CurrentView, QStringLiteral("9"));
        frmFileList unknown;
        QCOMPARE(unknown.viewStyle(), 3);
    }

    void statusAndIconsThroughTheWindow() {
        fx.setCatalogue(catalogue({catalogueLine("site.backup.txt", 2), catalogueLine("README", 1),
                                   catalogueLine("notes.txt", 5, "dOVRIN"), catalogueLine("index.html", 4),
                                   catalogueLine("pic.gif", 3), catalogueLine("old.gif", 3),
                                   catalogueLine("theirs.doc", 2, "brenmoor")}));
        SettingsStore& s = settingsStore();
        for (const auto& [key, version] : {std::pair{"site.backup.txt", "2"},
                                           {"notes.txt", "1"},
                                           {"index.html", "4"},
                                           {"pic.gif", "3"},
                                           {"old.gif", "2"},
                                           {"theirs.doc", "2"}})
            s.setFileVersion(QLatin1String(key), QLatin1String(version));
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
        // Every colour on: the status circles.
        for (const SettingKey& k : {settings::ShowUpToDateAsBlue, settings::ShowCheckedOutAsGreen,
                                    settings::ShowUnavailableAsYellow})
            s.set(k, QStringLiteral("Yes"));
        s.set(settings::ShowOutOfDateAsRed, QStringLiteral("No"));
        QVERIFY(w.UpdateFileList());
        // "readme" has no "." in the name.
        QCOMPARE(icons({"site.backup.txt", "notes.txt", "theirs.doc", "readme", "old.gif"}),
                 (QStringList{"unlocked", "open", "locked", "new", ".gif"}));
        w.store().Shutdown();
    }

    void closingAsksAboutCheckedOutFiles() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1)}));
        settingsStore().set(settings::CurrentView, QStringLiteral("2"));
        QPointer<frmFileList> w = new frmFileList;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        QVERIFY(w->UpdateFileList());
        dlg->answer(Dialogs::Yes);
        w->close();
        QCOMPARE(dlg->lastText(),
                 QStringLiteral(
                     "You currently have 1 file checked out.  Would you like to view the list of checked "
                     "out files?\r\n\r\n<Yes> - View Checked Out Files\r\n<No> - Exit KRtp"));
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
        QVERIFY(dlg->lastText().startsWith(QStringLiteral("You currently have 2 files checked out.  Would")));
        QTRY_VERIFY(w.isNull());
        QCOMPARE(settingsStore().get(settings::CurrentView), QStringLiteral("3"));
        QCOMPARE(dlg->records().size(), 3);

        // With the option off the window closes without asking.
        settingsStore().set(settings::ShowCheckedOutFilesOnExit, QStringLiteral("No"));
        w = new frmFileList;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        QVERIFY(w->UpdateFileList());
        w->close();
        QTRY_VERIFY(w.isNull());
        QCOMPARE(dlg->records().size(), 3);
    }

    void whileClosingNothingElseStarts() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        QPointer<frmFileList> w = new frmFileList;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        QVERIFY(w->UpdateFileList());
        // Fires while the closing waits for the host to take its QUIT.
        bool checked = false;
        auto* cmdCheckOut = control<QToolButton>(*w, "cmdCheckOut");
        auto* mnuFileRefresh = control<QAction>(*w, "mnuFileRefresh");
        QTimer::singleShot(0, w, [&] {
            checked = true;
            QVERIFY(!cmdCheckOut->isEnabled());
            QVERIFY(!mnuFileRefresh->isEnabled());
        });
        QVERIFY(w->close());
        QVERIFY(checked);
        QTRY_VERIFY(w.isNull());
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
        showAndRebuild(w);
        clickEntry(w, QStringLiteral("notes.txt"));
        auto* txtPreview = control<QPlainTextEdit>(w, "txtPreview");
        QCOMPARE(txtPreview->toPlainText(), QString::fromLatin1("caf\xe9 au lait"));
        clickEntry(w, QStringLiteral("logo.gif"));
        QVERIFY(txtPreview->isHidden());
        auto* picPreview = control<QLabel>(w, "picPreview");
        QCOMPARE(picPreview->pixmap().size(), QSize(1, 1));
        clickEntry(w, QStringLiteral("missing.txt"));
        QVERIFY(!txtPreview->isHidden());
        QVERIFY(picPreview->pixmap().isNull());
        QCOMPARE(txtPreview->toPlainText(),
                 QStringLiteral("missing.txt does not exist on the local hard drive!"));
        clickEntry(w, QStringLiteral("page.html"));
        QCOMPARE(txtPreview->toPlainText(), QStringLiteral("No Preview Availble: page.html"));
        // With the pane switched off, clicks change nothing.
        settingsStore().set(settings::ShowPreviewPane, QStringLiteral("No"));
        w.LayOut();
        clickEntry(w, QStringLiteral("gone.html"));
        QCOMPARE(txtPreview->toPlainText(), QStringLiteral("No Preview Availble: page.html"));
        w.store().Shutdown();
    }

    // What the progress line says for each command: the member's own files with their sizes, the
    // program's own steps in the member's words, nothing for commands that move no file.
    void progressInTheMembersWords_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("shown"); // the start of the line; all of it for the steps
        QTest::newRow("no file") << "cd /krg" << 10LL << 0LL << "";
        QTest::newRow("download") << "GET \"my page.html\" \"my page.html\"" << (3LL << 20) << 0LL
                                  << "Downloading my page.html: 3.0 MB";
        QTest::newRow("upload") << "send notes.txt" << 512LL << 2048LL
                                << "Uploading notes.txt: 512 bytes of 2 KB";
        QTest::newRow("member's file") << "PUT \"my page.html\" \"my page.html\"" << 512LL << 2048LL
                                       << "Uploading my page.html: 512 bytes";
        QTest::newRow("lock holder") << "PUT _files.lock.txt /krg/_files.lock/holder.txt" << 512LL << 2048LL
                                     << "Saving the shared file list";
        QTest::newRow("catalogue read")
            << "GET /krg/_files.txt _files.txt" << 512LL << 2048LL << "Reading the shared file list";
        QTest::newRow("catalogue backup")
            << "PUT _files.txt krg/_files.txt.backup" << 512LL << 2048LL << "Saving the shared file list";
        QTest::newRow("other lock") << "PUT h.txt /krg/_shared.lock/holder.txt" << 512LL << 2048LL
                                    << "Saving the site's shared settings";
        QTest::newRow("history") << "GET /krg/_history/a.txt.idx a.idx" << 512LL << 2048LL
                                 << "Reading the version history";
    }
    void progressInTheMembersWords() {
        QFETCH(QString, command);
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(QString, shown);
        frmFileList w;
        w.show();
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        auto* inet = control<TransferControl>(w, "inet");
        QVERIFY(progress->isHidden());
        emit inet->commandStarted(command);
        emit inet->progress(done, total);
        QCOMPARE(progress->isVisible(), !shown.isEmpty());
        const QString text = progress->lblTransfer->text();
        if (!shown.isEmpty())
            QCOMPARE(shown.contains(QLatin1String(": ")) ? text.left(shown.size()) : text, shown);
        emit inet->StateChanged(StateResponseCompleted);
        QVERIFY(progress->isHidden());
        w.store().Shutdown();
    }

    void progressCancelsAndEndsOnError() {
        QCOMPARE(TransferProgress::LineText(QStringLiteral("Uploading"), QStringLiteral("a.zip"), 5LL << 20,
                                            200LL << 20, 2.5 * 1024 * 1024),
                 QStringLiteral("Uploading a.zip: 5.0 MB of 200.0 MB at 2.5 MB/s"));
        frmFileList w;
        w.show();
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        auto* inet = control<TransferControl>(w, "inet");
        emit inet->commandStarted(QStringLiteral("send notes.txt"));
        emit inet->progress(512, 2048);
        progress->cmdCancel->click();
        QVERIFY(!progress->cmdCancel->isEnabled());
        emit inet->StateChanged(StateError);
        QVERIFY(progress->isHidden());
        w.store().Shutdown();
    }

    // The status line during and after an operation: the last outcome goes when the next starts, the
    // steps never name the program's own files, a hover hint covers nothing, and the outcome stays.
    void statusLineBelongsToTheOperations() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        fx.host.write(QStringLiteral("krg/a.txt"), "server a");
        frmFileList w;
        showAndRebuild(w);
        auto* lblStatus = control<QLabel>(w, "lblStatus");
        auto* progress = w.findChild<TransferProgress*>(QStringLiteral("prgTransfer"));
        auto* inet = w.findChild<TransferControl*>(QStringLiteral("inet"));
        QStringList outcomesSeen, steps;
        connect(inet, &TransferControl::commandStarted, &w, [&] {
            outcomesSeen << lblStatus->text();
            if (progress->isVisible() && !progress->lblTransfer->text().isEmpty())
                steps << progress->lblTransfer->text();
        });
        w.model().setSelected(QStringLiteral("a.txt"), true);
        w.CheckOut();
        QVERIFY(!outcomesSeen.isEmpty());
        for (const QString& seen : outcomesSeen)
            QCOMPARE(seen, QString());
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
        showAndRebuild(w);
        fx.host.setFaults("{\"latency_ms\": 150}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closed = true;
        QTimer::singleShot(200, &w, [&] {
            QVERIFY(w.operations().busy());
            dlg->answer(Dialogs::No);
            closed = w.close();
        });
        QVERIFY(w.UpdateFileList());
        QVERIFY(!closed);
        QCOMPARE(dlg->texts(), QStringList{"Wait for the transfer to finish, or cancel it?"});
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No);
        QVERIFY(w.isVisible());
        QCOMPARE(w.model().count(), 1);
        w.store().Shutdown();
    }

    void consoleSendsOnEnterAndCollectsReplies() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList w;
        showAndRebuild(w);
        auto* txtResults = control<QPlainTextEdit>(w, "txtResults");
        const QString before = txtResults->toPlainText();
        auto* inet = control<TransferControl>(w, "inet");
        const int sent = inet->commandsSent();
        auto* txtCommands = control<QLineEdit>(w, "txtCommands");
        txtCommands->setFocus();
        QTest::keyClicks(txtCommands, QStringLiteral("ls _files.txt"));
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QCOMPARE(txtCommands->selectedText(), QStringLiteral("ls _files.txt"));
        QTRY_VERIFY(!inet->StillExecuting());
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        QCOMPARE(inet->commandsSent() - sent, 2);
        QCOMPARE(txtCommands->text(), QStringLiteral("ls _files.txt"));
        const QString added = txtResults->toPlainText().mid(before.size());
        // Each command echoed, each reply collected.
        QCOMPARE(added.count(QStringLiteral("> ls _files.txt\n")), 2);
        QCOMPARE(added.count(QStringLiteral("_files.txt")), 4);
        QVERIFY(added.endsWith(QLatin1Char('\n')));
        QCOMPARE(w.GetChunkData().count(QStringLiteral("_files.txt")), 1);
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Transfer Complete"));
        // A refused command shows its echo and the host's reply.
        const QString middle = txtResults->toPlainText();
        txtCommands->setText(QStringLiteral("cd nothere"));
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        const QString refused = txtResults->toPlainText().mid(middle.size());
        QVERIFY2(refused.startsWith(QStringLiteral("> cd nothere\n550 ")), qPrintable(refused));
        QVERIFY(refused.endsWith(QLatin1Char('\n')));
        w.store().Shutdown();
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
        QVERIFY(picToolBar->isHidden());
        QVERIFY(!mnuViewToolbar->isChecked());
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
        fx.setCatalogue(catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        showAndRebuild(w);
        const QString section = QLatin1String(settings::kIconsSection);
        settingsStore().write(section, QStringLiteral("a.txt"), QStringLiteral("300,50"));
        w.SaveIcons(); // details view: nothing stored
        QCOMPARE(settingsStore().read(section, QStringLiteral("a.txt"), QString()), QStringLiteral("300,50"));
        w.setViewStyle(1);
        w.LoadIcons();
        auto* lvwFileList = control<FileListView>(w, "lvwFileList");
        FileIconView* view = lvwFileList->iconView();
        QCOMPARE(view->itemPosition(w.model().index(w.model().rowOf(QStringLiteral("a.txt")), 0)),
                 QPoint(300, 50));
        view->setItemPosition(w.model().index(w.model().rowOf(QStringLiteral("b.txt")), 0), QPoint(10, 120));
        w.SaveIcons();
        QCOMPARE(settingsStore().read(section, QStringLiteral("b.txt"), QString()), QStringLiteral("10,120"));
        QCOMPARE(settingsStore().read(section, QStringLiteral("a.txt"), QString()), QStringLiteral("300,50"));
        // A rebuild keeps them, also one that reads a short catalogue twice and repairs it.
        QVERIFY(w.UpdateFileList());
        QCOMPARE(view->itemPosition(w.model().index(w.model().rowOf(QStringLiteral("b.txt")), 0)),
                 QPoint(10, 120));
        const QByteArray whole = catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)});
        fx.setCatalogue(catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)}, "2.0.5", 3), whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(w.UpdateFileList());
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(view->itemPosition(w.model().index(w.model().rowOf(QStringLiteral("b.txt")), 0)),
                 QPoint(10, 120));
        QCOMPARE(settingsStore().read(section, QStringLiteral("b.txt"), QString()), QStringLiteral("10,120"));
        w.store().Shutdown();
    }

    void selectionFollowsTheModel() {
        fx.setCatalogue(
            catalogue({catalogueLine("b.txt", 1), catalogueLine("C.txt", 1), catalogueLine("a.txt", 1)}));
        frmFileList w;
        showAndRebuild(w);
        QTreeView* view = control<FileListView>(w, "lvwFileList")->detailsView();
        w.model().setSelected(QStringLiteral("c.txt"), true);
        QVERIFY(view->selectionModel()->isRowSelected(1, {}));
        control<QAction>(w, "mnuEditSelectAll")->trigger();
        QCOMPARE(w.model().selectedCount(), 3);
        view->clearSelection();
        QCOMPARE(w.model().selectedCount(), 0);
        w.store().Shutdown();
    }
};

KRTP_TEST_MAIN_GUI(TestFileListWindow)
#include "tst_filelistwindow.moc"
