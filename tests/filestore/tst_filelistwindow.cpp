// The file list window and the store's windows on it: layout, preview, console, status line and closing,
// the Actions menu and its owner rules, the add, edit, check-in, history and companion windows, and the
// busy state and Cancel while an operation waits for the host.
#define KRTP_STORE_WINDOW_TEST
#include "app/gui/frmoptions.h"
#include "config/siteconfig.h"
#include "filestore/addfiles.h"
#include "filestore/filestatus.h"
#include "filestore/gui/frmcheckin.h"
#include "filestore/gui/frmhistory.h"
#include "filestore/operationreport.h"
#include "platform/gui/windowmemory.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "util/fileutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTcpServer>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class TestFileListWindow : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness dlg;
    std::unique_ptr<LoopbackHost> slow; // the Cancel cases' host, stopped with the others at the end

    // Shows the window with this catalogue on the host.
    bool show(frmFileList& w, const QByteArray& list) {
        fx.setCatalogue(list);
        return showAndRebuild(w);
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        fx.logIn(u"Dovrin"_s, LevelFullAccess);
        dlg.init();
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void loadingBuildsToolbarColumnsAndViews() {
        settingsStore().set(settings::CurrentView, u"1"_s);
        settingsStore().set(settings::ViewToolbar, u"0"_s);
        frmFileList w;
        QCOMPARE(w.windowTitle(), u"KRtp - Korrindale Guildhouse"_s);
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
        QCOMPARE(w.statusText(), u"The file manager could not be started for "_s + runState().LocalFolder +
                                     u": no file manager is set up on this desktop"_s);
        QVERIFY(dlg->records().isEmpty());
        for (const QString& key : FileListImageKeys())
            QCOMPARE(w.image(key).pixmap(16, 16).size(), QSize(16, 16));
        QCOMPARE(w.model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), u"Last Updated By"_s);
        settingsStore().set(settings::CurrentView, u"9"_s);
        QCOMPARE(frmFileList().viewStyle(), 3);
    }

    // The icons, their tooltips and the legend of the status icons.
    void statusIconsTooltipsAndLegend() {
        fx.setCatalogue(catalogue({catalogueLine("site.backup.txt", 2), catalogueLine("README", 1),
                                   catalogueLine("notes.txt", 5, "dOVRIN"), catalogueLine("index.html", 4),
                                   catalogueLine("pic.gif", 3), catalogueLine("old.gif", 3),
                                   catalogueLine("theirs.doc", 2, "brenmoor")}));
        setLocalVersions(u"site.backup.txt=2 notes.txt=1 index.html=4 pic.gif=3 old.gif=2 theirs.doc=2"_s);
        frmFileList w;
        QVERIFY(w.UpdateFileList());
        const auto icons = [&](std::initializer_list<const char*> keys, int role = -1) {
            QStringList out;
            for (const char* key : keys)
                out << (role < 0
                            ? w.model().find(QLatin1String(key))->smallIconKey
                            : w.model().index(w.model().rowOf(QLatin1String(key)), 0).data(role).toString());
            return out;
        };
        // Default colours: only out-of-date files show their circle.
        QCOMPARE(icons({"site.backup.txt", "readme", "notes.txt", "index.html", "pic.gif", "old.gif",
                        "theirs.doc"}),
                 (QStringList{".txt", "new", ".txt", "unlocked", ".gif", "old", ".doc"}));
        QCOMPARE(
            icons({"readme", "index.html", "theirs.doc"}, Qt::ToolTipRole),
            (QStringList{"Not in your local folder yet: get the latest version to fetch it",
                         "Up to date and free to check out",
                         "Checked out by brenmoor: you can get the latest version, but not check it out"}));
        QCOMPARE(w.LastCountOfCheckedOutFiles(), 1);
        QCOMPARE(w.LastCountOfOutdatedFiles(), 2);
        const QModelIndex first = w.model().index(w.model().rowOf(u"old.gif"_s), 0);
        QVERIFY(!w.model().data(first, Qt::DecorationRole).value<QIcon>().isNull());
        // Every colour on: the status circles ("readme" has no "." in the name).
        for (const SettingKey& k : {settings::ShowUpToDateAsBlue, settings::ShowCheckedOutAsGreen,
                                    settings::ShowUnavailableAsYellow})
            settingsStore().set(k, u"Yes"_s);
        settingsStore().set(settings::ShowOutOfDateAsRed, u"No"_s);
        QVERIFY(w.UpdateFileList());
        QCOMPARE(icons({"site.backup.txt", "notes.txt", "theirs.doc", "readme", "old.gif"}),
                 (QStringList{"unlocked", "open", "locked", "new", ".gif"}));
        control<QAction>(w, "mnuHelpStatusIcons")->trigger();
        auto* legend = control<QWidget>(w, "frmStatusIcons");
        QVERIFY(legend->isVisible());
        for (const QString& key : StatusKeys())
            QCOMPARE(legend->findChild<QLabel*>(u"lblStatus_"_s + key)->text(), StatusDescription(key));
    }

    // An outdated catalogue leaves no window behind; a current one opens one window, however often asked,
    // and closing it asks about the member's checked-out files.
    void oneWindowAndClosingAsksAboutCheckedOutFiles() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}, "2.1"));
        QVERIFY(!frmFileList::ShowFileList());
        QCOMPARE(dlg->texts(), QStringList{FileStore::OutdatedMessage(u"2.1"_s)});
        QVERIFY(!frmFileList::instance());
        const auto noneOpen = [] {
            const QWidgetList all = QApplication::topLevelWidgets();
            return std::none_of(all.cbegin(), all.cend(),
                                [](QWidget* w) { return qobject_cast<frmFileList*>(w); });
        };
        QTRY_VERIFY(noneOpen());
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1)}));
        settingsStore().set(settings::CurrentView, u"2"_s);
        QPointer<frmFileList> w = frmFileList::ShowFileList();
        QVERIFY(w);
        QCOMPARE(frmFileList::ShowFileList(), w.data());
        QCOMPARE(w->model().count(), 2);
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
        QVERIFY(!frmFileList::instance());
        QCOMPARE(settingsStore().get(settings::CurrentView), u"3"_s);
        // With the option off the window closes without asking, and nothing else starts meanwhile.
        settingsStore().set(settings::ShowCheckedOutFilesOnExit, u"No"_s);
        w = frmFileList::ShowFileList();
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
        QCOMPARE(dlg->records().size(), 4);
    }

    // The filter box sits between the toolbar and the list, the preview right of the splitter and every
    // caption shows in full, the window at its smallest too; the preview follows the clicked entry, and
    // the progress line speaks the member's words.
    void layoutPreviewAndProgress() {
        writeLocal(
            u"Logo.GIF"_s,
            QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00"
                       "\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                       43));
        writeLocal(u"notes.txt"_s, "caf\xe9 au lait");
        writeLocal(u"page.html"_s, "<p>");
        frmFileList w;
        w.resize(900, 600);
        QVERIFY(show(w, catalogue({catalogueLine("Logo.GIF", 1),
                                   catalogueLine("notes.txt", 1, "", "", "A longer description of it"),
                                   catalogueLine("missing.txt", 1), catalogueLine("page.html", 1),
                                   catalogueLine("gone.html", 1)})));
        QWidget* central = w.centralWidget();
        auto* lvwFileList = control<FileListView>(w, "lvwFileList");
        auto* picToolBar = control<QWidget>(w, "picToolBar");
        auto* picResize1 = control<QFrame>(w, "picResize1");
        auto* txtFilter = control<QLineEdit>(w, "txtFilter");
        auto* txtPreview = control<QPlainTextEdit>(w, "txtPreview");
        auto* picPreview = control<QLabel>(w, "picPreview");
        const int preview = w.previewWidth(), splitter = picResize1->width(), margin = lvwFileList->x(),
                  toolbar = picToolBar->height(), filter = txtFilter->height();
        QCOMPARE(txtFilter->y(), margin + toolbar);
        QCOMPARE(lvwFileList->geometry(), QRect(margin, 2 * margin + toolbar + filter,
                                                central->width() - 2 * margin - (preview + splitter),
                                                central->height() - toolbar - filter - 3 * margin));
        QCOMPARE(picResize1->x(), lvwFileList->x() + lvwFileList->width());
        QCOMPARE(picPreview->geometry(),
                 QRect(picResize1->x() + splitter, lvwFileList->y(), preview, lvwFileList->height()));
        // Toolbar off: the list moves up and the choice is stored.
        auto* mnuViewToolbar = control<QAction>(w, "mnuViewToolbar");
        mnuViewToolbar->trigger();
        QVERIFY(picToolBar->isHidden() && !mnuViewToolbar->isChecked());
        QCOMPARE(settingsStore().get(settings::ViewToolbar), u"0"_s);
        QCOMPARE(lvwFileList->y(), 2 * margin + filter);
        mnuViewToolbar->trigger();
        QCOMPARE(settingsStore().get(settings::ViewToolbar), u"-1"_s);
        // Splitter dropped 100 pixels left of its place on the list: the preview grows by 100.
        const int listWidth = lvwFileList->width();
        w.SplitterDropped(lvwFileList, listWidth - 100 + splitter / 2);
        QCOMPARE(w.previewWidth(), preview + 100);
        QCOMPARE(lvwFileList->width(), listWidth - 100);
        // Dropped 40 pixels into the preview: it shrinks by 40 plus half the splitter.
        w.SplitterDropped(txtPreview, 40);
        QCOMPARE(w.previewWidth(), preview + 100 - 40 - splitter / 2);
        clickEntry(w, u"notes.txt"_s);
        QCOMPARE(txtPreview->toPlainText(), QString::fromLatin1("caf\xe9 au lait"));
        clickEntry(w, u"logo.gif"_s);
        QVERIFY(txtPreview->isHidden());
        QCOMPARE(picPreview->pixmap().size(), QSize(1, 1));
        clickEntry(w, u"missing.txt"_s);
        QVERIFY(!txtPreview->isHidden() && picPreview->pixmap().isNull());
        QCOMPARE(txtPreview->toPlainText(), u"missing.txt does not exist on the local hard drive!"_s);
        clickEntry(w, u"page.html"_s);
        QCOMPARE(txtPreview->lineWrapMode(), QPlainTextEdit::WidgetWidth); // long lines wrap
        QTreeView* view = lvwFileList->detailsView();
        QHeaderView* header = view->header();
        QTRY_VERIFY(header->sectionSize(3) >=
                    view->fontMetrics().horizontalAdvance(u"A longer description of it"_s));
        for (int i = 0; i < header->count() - 1; ++i)
            QVERIFY2(header->sectionSize(i) >= header->sectionSizeHint(i),
                     qPrintable(w.model().headerData(i, Qt::Horizontal, Qt::DisplayRole).toString()));
        QVERIFY(header->stretchLastSection());
        QCOMPARE(header->sectionViewportPosition(header->count() - 1) +
                     header->sectionSize(header->count() - 1),
                 qMax(header->length(), view->viewport()->width()));
        // Without the preview pane the list takes the width, and clicks change no preview.
        settingsStore().set(settings::ShowPreviewPane, u"No"_s);
        w.LayOut();
        QVERIFY(picResize1->isHidden());
        QCOMPARE(lvwFileList->width(), central->width() - 2 * margin);
        clickEntry(w, u"gone.html"_s);
        QCOMPARE(txtPreview->toPlainText(), u"No Preview Availble: page.html"_s);
        // The progress line: the member's own files with their sizes, the program's own steps in the member's
        // words, nothing for commands that move no file; Cancel is pressed once, and an error ends the line.
        // The command, its bytes done and in all, and the start of the line (all of it for the steps).
        const std::tuple<const char*, qint64, qint64, const char*> rows[] = {
            {"cd /krg", 10, 0, ""},
            {"GET \"my page.html\" \"my page.html\"", 3LL << 20, 0, "Downloading my page.html: 3.0 MB"},
            {"send notes.txt", 512, 2048, "Uploading notes.txt: 512 bytes of 2 KB"},
            {"PUT \"my page.html\" \"my page.html\"", 512, 2048, "Uploading my page.html: 512 bytes"},
            {"PUT _files.lock.txt /krg/_files.lock/holder.txt", 512, 2048, "Saving the shared file list"},
            {"GET /krg/_files.txt _files.txt", 512, 2048, "Reading the shared file list"},
            {"PUT _files.txt krg/_files.txt.backup", 512, 2048, "Saving the shared file list"},
            {"PUT h.txt /krg/_shared.lock/holder.txt", 512, 2048, "Saving the site's shared settings"},
            {"GET /krg/_history/a.txt.idx a.idx", 512, 2048, "Reading the version history"}};
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        auto* inet = control<TransferControl>(w, "inet");
        for (const auto& [command, done, total, start] : rows) {
            const QString shown = QLatin1String(start);
            QVERIFY(progress->isHidden());
            emit inet->commandStarted(QLatin1String(command));
            emit inet->progress(done, total);
            QVERIFY2(progress->isVisible() == !shown.isEmpty(), command);
            if (!shown.isEmpty())
                QCOMPARE(progress->lblTransfer->text().left(shown.contains(": "_L1) ? shown.size() : -1),
                         shown);
            emit inet->StateChanged(StateResponseCompleted);
        }
        emit inet->commandStarted(u"send notes.txt"_s);
        emit inet->progress(512, 2048);
        progress->cmdCancel->click();
        QVERIFY(!progress->cmdCancel->isEnabled());
        emit inet->StateChanged(StateError);
        QVERIFY(progress->isHidden());
        QCOMPARE(
            TransferProgress::LineText(u"Uploading"_s, u"a.zip"_s, 5LL << 20, 200LL << 20, 2.5 * 1024 * 1024),
            u"Uploading a.zip: 5.0 MB of 200.0 MB at 2.5 MB/s"_s);
        const QList<QToolButton*> buttons = picToolBar->findChildren<QToolButton*>();
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

    // The console sends on Enter and collects the replies; closing while an operation waits for the host
    // asks, and Wait keeps the window and the operation. A host that cannot be reached is told in words
    // and the list stays usable; the shortcuts act.
    void consoleClosingWhileBusyUnreachableHostAndShortcuts() {
        frmFileList w;
        QVERIFY(show(w, catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1)})));
        auto* txtResults = control<QPlainTextEdit>(w, "txtResults");
        auto* inet = control<TransferControl>(w, "inet");
        auto* txtCommands = control<QLineEdit>(w, "txtCommands");
        QString before = txtResults->toPlainText();
        const int sent = inet->commandsSent();
        txtCommands->setFocus();
        QTest::keyClicks(txtCommands, u"ls _files.txt"_s);
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QCOMPARE(txtCommands->selectedText(), u"ls _files.txt"_s);
        QTRY_VERIFY(!inet->StillExecuting());
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        QCOMPARE(inet->commandsSent() - sent, 2);
        // Each command echoed, each reply collected.
        QString added = txtResults->toPlainText().mid(before.size());
        QCOMPARE(added.count(u"> ls _files.txt\n"_s), 2);
        QCOMPARE(added.count(u"_files.txt"_s), 4);
        QVERIFY(added.endsWith(QLatin1Char('\n')));
        QCOMPARE(w.GetChunkData().count(u"_files.txt"_s), 1);
        QCOMPARE(w.windowTitle(), u"KRtp - Transfer Complete"_s);
        // A refused command shows its echo and the host's reply.
        before = txtResults->toPlainText();
        txtCommands->setText(u"cd nothere"_s);
        QTest::keyClick(txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!inet->StillExecuting());
        added = txtResults->toPlainText().mid(before.size());
        QVERIFY2(added.startsWith(u"> cd nothere\n550 "_s) && added.endsWith(QLatin1Char('\n')),
                 qPrintable(added));
        // A port where nothing listens.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        const auto back = qScopeGuard([this] { fx.host.exportEnvironment(); });
        qputenv("KRTP_FTP_HOST", QByteArray("127.0.0.1:") + QByteArray::number(port));
        reloadSiteConfig();
        QVERIFY(!w.UpdateFileList());
        fx.host.exportEnvironment();
        QCOMPARE(dlg->records().size(), 1);
        // libcurl's own words follow as the detail.
        const QString text = dlg->lastText();
        QVERIFY2(
            text.startsWith(u"The site's host could not be reached: nothing answered at its address."_s) &&
                text.contains(u"\r\n\r\n("_s) && text.endsWith(QLatin1Char(')')),
            qPrintable(text));
        QVERIFY2(w.statusText().startsWith(
                     u"The file list could not be read: The site's host could not be reached"_s),
                 qPrintable(w.statusText()));
        // The old entries stay, and the list takes clicks and selections again.
        QCOMPARE(w.model().count(), 2);
        QVERIFY(control<FileListView>(w, "lvwFileList")->detailsView()->isEnabled());
        QVERIFY(control<QToolButton>(w, "cmdRefresh")->isEnabled());
        dlg->clear();
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
        w.model().setSelected(u"a.txt"_s, true);
        list->setCurrentIndex(w.model().index(w.model().rowOf(u"a.txt"_s), 0));
        QTRY_VERIFY(control<QAction>(w, "mnuActionsDeleteFile")->isEnabled());
        dlg->answer(Dialogs::No);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(dlg->lastText(), StoreOperations::RemoveQuestion(u"a.txt"_s));
        QCOMPARE(w.statusText(), u"Nothing removed"_s);
        dlg->clear();
        txtCommands->setFocus();
        txtCommands->setText(u"pwdx"_s);
        QTest::keyClick(txtCommands, Qt::Key_Backspace);
        QTest::keyClick(txtCommands, Qt::Key_Home);
        QTest::keyClick(txtCommands, Qt::Key_Delete);
        QCOMPARE(txtCommands->text(), u"wd"_s);
        QVERIFY(dlg->records().isEmpty());
        // Enter on the list opens the entry (here: not the latest version, so it says so).
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(dlg->lastText(), u"You do not have the latest version of this file."_s);
        QCOMPARE(w.operations().lastReport().kind, OperationReport::Kind::Open);
        dlg->clear();
        fx.host.setFaults("{\"latency_ms\": 30}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closed = true;
        QTimer::singleShot(0, &w, [&] {
            QVERIFY(w.operations().busy());
            dlg->answer(Dialogs::No);
            closed = w.close();
        });
        QVERIFY(w.UpdateFileList());
        QVERIFY(!closed && w.isVisible());
        QCOMPARE(dlg->texts(), QStringList{"Wait for the transfer to finish, or cancel it?"});
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(w.model().count(), 3);
    }

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
                 u"Got the latest version of no files; skipped a.txt, checked out by you"_s);
        QCOMPARE(summary(K::CheckOut, {}, {}), u"Check out: no file selected"_s);
        // Only the first line of the failure.
        QCOMPARE(summary(K::GetLatest, {"a.txt"}, {"b.txt", "not on the server", "c.txt", "not received"},
                         u"Error sending c.txt, please try again.\r\n\r\n550 denied"_s),
                 u"Got the latest version of a.txt; skipped b.txt, not on the server; c.txt, not "
                 "received; stopped: Error sending c.txt, please try again."_s);
        QCOMPARE(summary(K::CheckIn, {}, {}, {}, true), u"Check in cancelled"_s);
    }

    // Reopened, the window comes back with its place, size, sort, column and preview widths and filter,
    // kept in its own section. The filter matches name or description; local copies show size and time.
    void reopenedWindowKeepsLayoutSortAndFilter() {
        fx.setCatalogue(catalogue({catalogueLine("b.txt", 1, "", "", "Front page"), catalogueLine("C.txt", 1),
                                   catalogueLine("a.gif", 1, "", "", "Picture on the FRONT")}));
        QVERIFY(writeLocal(u"C.txt"_s, "12345678"));
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
            QCOMPARE(w.model().headerData(size, Qt::Horizontal, Qt::DisplayRole).toString(), u"Size"_s);
            const auto cell = [&](const char* key, int column) {
                return w.model().index(w.model().rowOf(QLatin1String(key)), column).data().toString();
            };
            QCOMPARE(cell("c.txt", size), u"8 bytes"_s);
            QCOMPARE(cell("b.txt", size), QString());
            QCOMPARE(cell("c.txt", size + 1),
                     QFileInfo(u"C.txt"_s).lastModified().toString(u"yyyy-MM-dd HH:mm"_s));
            w.resize(760, 450);
            w.move(20, 50);
            QTRY_COMPARE(w.size(), QSize(760, 450));
            geometry = w.geometry();
            auto* lvwFileList = control<FileListView>(w, "lvwFileList");
            QHeaderView* header = lvwFileList->detailsView()->header();
            // First click sorts by the name ascending, whatever the letter case; the second reverses.
            const QPoint name(header->sectionViewportPosition(0) + 5, header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(shown(w), (QStringList{"a.gif", "b.txt", "C.txt"}));
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
            QCOMPARE(shown(w), descending);
            QVERIFY(w.UpdateFileList()); // the sort survives a rebuild
            QCOMPARE(shown(w), descending);
            header->resizeSection(3, 333); // "File Description", by hand
            w.SplitterDropped(lvwFileList, lvwFileList->width() - 50 + 3);
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            auto* txtFilter = control<QLineEdit>(w, "txtFilter");
            QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(txtFilter->hasFocus());
            QTest::keyClicks(txtFilter, u"front"_s);
            QCOMPARE(shown(w), (QStringList{"b.txt", "a.gif"}));
            QCOMPARE(w.model().count(), 3);
            txtFilter->setText(u".TXT"_s);
            QCOMPARE(shown(w), texts);
            // A rebuild keeps the filter on the new entries.
            QVERIFY(w.UpdateFileList());
            QTRY_COMPARE(shown(w), texts);
            QVERIFY(w.close());
        }
        settingsStore().sync();
        QSettings ini(settingsStore().fileName(), QSettings::IniFormat);
        QCOMPARE(WindowMemory::sectionFor(u"frmFileList"_s), u"Window frmFileList"_s);
        for (const QString& group : ini.childGroups())
            QVERIFY2((QStringList{"Settings", "Icons", "FileVersions", "Window frmFileList"}).contains(group),
                     qPrintable(group));
        ini.beginGroup(u"Settings"_s);
        QCOMPARE(ini.childKeys(), QStringList{}); // nothing of the layout among the preferences
        frmFileList again;
        QVERIFY(showAndRebuild(again));
        QCOMPARE(again.geometry(), geometry);
        QHeaderView* header = control<FileListView>(again, "lvwFileList")->detailsView()->header();
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(header->sectionSize(3), 333);
        QVERIFY(again.previewWidth() > 220);
        QCOMPARE(control<QLineEdit>(again, "txtFilter")->text(), u".TXT"_s);
        QTRY_COMPARE(shown(again), texts);
        control<QLineEdit>(again, "txtFilter")->clear();
        QCOMPARE(shown(again), descending);
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

    // In every view style (large and small icons, list, details) the view and the model agree on the
    // selection both ways, and the operation acts on it. Icon positions are kept in small icons only.
    void selectionInEveryViewStyleAndIconPositions() {
        for (const char* n : {"b.txt", "c.txt"})
            fx.host.write(u"krg/"_s + QLatin1String(n), QByteArray("server ") + n);
        const QByteArray whole =
            catalogue({catalogueLine("A.txt", 2), catalogueLine("b.txt", 2), catalogueLine("c.txt", 2)});
        frmFileList w;
        w.resize(800, 500);
        QVERIFY(show(w, whole));
        FileIconView* icons = control<FileListView>(w, "lvwFileList")->iconView();
        const auto index = [&](const char* key) {
            return w.model().index(w.model().rowOf(QLatin1String(key)), 0);
        };
        const auto stored = [](const char* key) {
            return settingsStore().read(QLatin1String(settings::kIconsSection), QLatin1String(key),
                                        QString());
        };
        settingsStore().write(QLatin1String(settings::kIconsSection), u"a.txt"_s, u"300,50"_s);
        w.SaveIcons(); // details view: nothing stored
        QCOMPARE(stored("a.txt"), u"300,50"_s);
        w.setViewStyle(1);
        w.LoadIcons();
        QCOMPARE(icons->itemPosition(index("a.txt")), QPoint(300, 50));
        icons->setItemPosition(index("b.txt"), QPoint(10, 120));
        w.SaveIcons();
        QCOMPARE(stored("b.txt"), u"10,120"_s);
        QCOMPARE(stored("a.txt"), u"300,50"_s);
        // A rebuild keeps them, also one that reads a short catalogue twice and repairs it.
        QVERIFY(w.UpdateFileList());
        QCOMPARE(icons->itemPosition(index("b.txt")), QPoint(10, 120));
        fx.setCatalogue(
            catalogue({catalogueLine("A.txt", 2), catalogueLine("b.txt", 2), catalogueLine("c.txt", 2)},
                      "2.0.5", 4),
            whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(w.UpdateFileList());
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(icons->itemPosition(index("b.txt")), QPoint(10, 120));
        QCOMPARE(stored("b.txt"), u"10,120"_s);
        for (int style = 0; style < 4; ++style) {
            w.setViewStyle(style);
            QVERIFY(w.UpdateFileList());
            clickEntry(w, u"b.txt"_s);
            QCOMPARE(w.currentKey(), u"b.txt"_s);
            clickEntry(w, u"c.txt"_s, Qt::ControlModifier);
            control<QToolButton>(w, "cmdGetLatestVersion")->click();
            QCOMPARE(w.operations().lastReport().done, (QStringList{"b.txt", "c.txt"}));
            QAbstractItemView* view = control<FileListView>(w, "lvwFileList")->currentView();
            w.model().setSelected(u"a.txt"_s, true);
            QVERIFY(view->selectionModel()->isSelected(index("a.txt")));
            view->clearSelection();
            QCOMPARE(w.model().selectedCount(), 0);
        }
        QCOMPARE(dlg->texts().size(), 1); // the repair's, and nothing else
    }

    void actionsMenuFollowsTheOwnerRules() {
        for (const char* n : {"mine.txt", "free.txt", "theirs.txt"})
            QVERIFY(writeLocal(QLatin1String(n), n));
        SetFileReadOnly(u"theirs.txt"_s, true, true);
        frmFileList w;
        QVERIFY(
            show(w, catalogue({catalogueLine("mine.txt", 1, "", "dovrin"), catalogueLine("free.txt", 1),
                               catalogueLine("theirs.txt", 1, "", "Bren"), catalogueLine("gone.txt", 1)})));
        auto* readOnly = control<QAction>(w, "mnuActionsReadOnly");
        const auto state = [&] {
            QString s;
            for (const char* a : {"mnuActionsReadOnly", "mnuActionsChangeFileDescription",
                                  "mnuActionsDeleteFile", "mnuActionsRelinquishControl"})
                s += control<QAction>(w, a)->isEnabled() ? QLatin1Char('E') : QLatin1Char('-');
            return s + (readOnly->isChecked() ? QLatin1Char('R') : QLatin1Char('w'));
        };
        const std::tuple<const char*, int, const char*> rows[] = {
            {"", LevelFullAccess, "----w"},
            {"mine.txt", LevelFullAccess, "EEEEw"},
            {"free.txt", LevelFullAccess, "EEE-w"},
            {"theirs.txt", LevelFullAccess, "E---R"},
            {"gone.txt", LevelFullAccess, "EEE-R"},
            {"mine.txt", LevelReadOnly, "E---w"},
            {"theirs.txt", LevelAdministrator, "EEE-R"}};
        for (const auto& [key, level, expected] : rows) {
            runState().UserLevel = quint8(level);
            w.model().setAllSelected(false);
            if (*key)
                clickEntry(w, QLatin1String(key));
            w.EnableOwnerOptions();
            QVERIFY2(state() == QLatin1String(expected),
                     qPrintable(QLatin1String(key) + QLatin1Char(' ') + state()));
        }
        // Opening the Actions menu applies the rules, as the right button's pop-up does; Open File is its
        // bold default there.
        runState().UserLevel = LevelFullAccess;
        auto* actions = control<QMenu>(w, "mnuActions");
        clickEntry(w, u"theirs.txt"_s, {}, Qt::RightButton);
        QAbstractItemView* view = control<FileListView>(w, "lvwFileList")->currentView();
        const QPoint at = view->visualRect(w.model().index(w.model().rowOf(u"theirs.txt"_s), 0)).center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &menuEvent);
        QTRY_VERIFY(actions->isVisible());
        QCOMPARE(actions->defaultAction(), control<QAction>(w, "mnuActionsOpenFile"));
        QCOMPARE(state(), u"E---R"_s);
        actions->hide();
        QVERIFY(!actions->defaultAction());
        // The Read Only entry switches the local copy.
        readOnly->trigger();
        QVERIFY(!IsFileReadOnly(u"theirs.txt"_s));
    }

    // The local folder is kept while a file is checked out; the list notices what other members change.
    void localFolderKeptAndListKeptCurrent() {
        frmFileList w;
        QVERIFY(show(w, catalogue({catalogueLine("a.txt", 1, "dovrin"), catalogueLine("b.txt", 1, "Bren")})));
        int asked = 0;
        w.chooseLocalFolder = [&] { ++asked; };
        w.UpdateOpeners();
        // Recorded in another letter case, the check-out is still the member's.
        control<QAction>(w, "mnuFileSetLocalFolder")->trigger();
        QCOMPARE(dlg->texts(), QStringList{u"You still have files checked out"_s});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok);
        QCOMPARE(asked, 0);
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1, "Bren")}));
        QVERIFY(w.UpdateFileList());
        control<QToolButton>(w, "cmdSetLocalFolder")->click();
        QCOMPARE(asked, 1);
        QVERIFY(!w.CheckForChanges()); // the first look only notes how the catalogue stands
        QVERIFY(!w.CheckForChanges());
        // Another member checks a file in.
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 2, "", "", "", "Bren: new links"),
                                   catalogueLine("b.txt", 1, "Bren"), catalogueLine("c.txt", 1)}));
        QVERIFY(w.CheckForChanges());
        QCOMPARE(w.model().columnText(u"a.txt"_s, QLatin1String(columns::kVer)), u"2"_s);
        QCOMPARE(w.statusText(), u"Bren checked in a.txt (version 2); c.txt was added"_s);
        QVERIFY(!w.CheckForChanges());
        // Turned off: nothing is looked at.
        settingsStore().set(settings::WatchFileList, u"No"_s);
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 3), catalogueLine("b.txt", 1)}));
        QVERIFY(!w.CheckForChanges());
    }

    // The administrator's edit window, then the add window, which a Read Only member is refused.
    void editAndAddWindows() {
        runState().UserLevel = LevelAdministrator;
        for (const char* n : {"A.TXT", "new.txt", "hide.txt", "delete.txt", "a.txt.backup"})
            QVERIFY(writeLocal(QLatin1String(n), n));
        frmFileList w;
        QVERIFY(show(w, catalogue({catalogueLine("a.txt", 2, "Bren", "Cara", "Old", "Cara: first")})));
        // Without a current entry Apply is off.
        WindowHarness::whenShown(&w, "frmEditFileDetails", [&](QWidget* edit) {
            QVERIFY(!control<QPushButton>(*edit, "cmdApply")->isEnabled());
            control<QPushButton>(*edit, "cmdClose")->click();
        });
        w.EditFileDetails();
        w.model().setSelected(u"a.txt"_s, true);
        WindowHarness::whenShown(&w, "frmEditFileDetails", [&](QWidget* edit) {
            QStringList shown, tags;
            for (const char* box : {"txtFileName", "txtCheckedOutBy", "txtLastComment", "txtFileDescription",
                                    "txtAuthor", "txtServerVersion", "txtLocalVersion"}) {
                shown << control<QLineEdit>(*edit, box)->text();
                tags << control<QLineEdit>(*edit, box)->property("tag").toString();
            }
            QCOMPARE(shown, (QStringList{"a.txt", "Bren", "Cara: first", "Old", "Cara", "2", "0"}));
            QCOMPARE(tags, (QStringList{"filename", "owner", "comment", "desc", "author", "ver", "myver"}));
            control<QLineEdit>(*edit, "txtCheckedOutBy")->setText(QString());
            control<QLineEdit>(*edit, "txtFileDescription")->setText(u"New \"one\""_s);
            control<QLineEdit>(*edit, "txtLocalVersion")->setText(u"2"_s);
            control<QPushButton>(*edit, "cmdApply")->click();
        });
        control<QAction>(w, "mnuActionsEditFileDetails")->trigger();
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("a.txt", 2, "", "Cara", "New 'one'", "Cara: first")}));
        QCOMPARE(settingsStore().fileVersion(u"a.txt"_s), u"2"_s);
        QCOMPARE(w.model().columnText(u"a.txt"_s, u"desc"_s), u"New 'one'"_s);
        bool checked = false;
        WindowHarness::whenShown(&w, "frmAddFile", [&](QWidget* add) {
            checked = true;
            auto* list = control<QTreeView>(*add, "lvwAddFileList");
            auto* lblHidden = control<QLabel>(*add, "lblHidden");
            QAbstractItemModel* m = list->model();
            const auto names = [m] {
                QStringList n;
                for (int r = 0; r < m->rowCount(); ++r)
                    n << m->index(r, 0).data().toString();
                n.sort();
                return n;
            };
            // Selects the one row named name and presses button.
            const auto press = [&](const char* name, const char* button) {
                list->clearSelection();
                for (int r = 0; r < m->rowCount(); ++r)
                    if (m->index(r, 0).data().toString() == QLatin1String(name))
                        list->selectionModel()->select(m->index(r, 0), QItemSelectionModel::Select |
                                                                           QItemSelectionModel::Rows);
                control<QPushButton>(*add, button)->click();
            };
            QCOMPARE(names(), (QStringList{"delete.txt", "hide.txt", "new.txt"}));
            QVERIFY(lblHidden->isHidden());
            press("hide.txt", "cmdHideFiles");
            QCOMPARE(lblHidden->text(), u"files added to _hidden.txt"_s);
            QVERIFY(!lblHidden->isHidden());
            QCOMPARE(names(), (QStringList{"delete.txt", "new.txt"}));
            dlg->answer(Dialogs::No);
            press("delete.txt", "cmdDeleteFiles");
            QVERIFY(QFile::exists(u"delete.txt"_s));
            dlg->answer(Dialogs::Yes);
            press("delete.txt", "cmdDeleteFiles");
            QCOMPARE(dlg->lastText(), addfiles::DeleteQuestion());
            QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
            QVERIFY(!QFile::exists(u"delete.txt"_s));
            QCOMPARE(lblHidden->text(), u"files deleted from local drive"_s);
            dlg->answerText(u"A new file"_s);
            press("new.txt", "cmdAdd");
            QVERIFY(names().isEmpty());
            control<QPushButton>(*add, "cmdClose")->click();
        });
        control<QToolButton>(w, "cmdAddFile")->click();
        QVERIFY(checked);
        QVERIFY(w.model().contains(u"new.txt"_s));
        // A Read Only member is refused and sees no window.
        runState().UserLevel = LevelReadOnly;
        control<QAction>(w, "mnuFileAddFiles")->trigger();
        QCOMPARE(dlg->lastText(), u"Sorry, you do not have access to that feature."_s);
    }

    void checkedOutListChecksInTheTickedFiles() {
        for (const char* n : {"a.txt", "b.txt", "c.txt"}) {
            fx.host.write(u"krg/"_s + QLatin1String(n), "old");
            QVERIFY(writeLocal(QLatin1String(n), QByteArray("new ") + n));
            settingsStore().setFileVersion(QLatin1String(n), u"1"_s);
        }
        frmFileList w;
        QVERIFY(show(w, catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1, "Dovrin"),
                                   catalogueLine("c.txt", 1, "dovrin")})));
        control<QAction>(w, "mnuFileShowCheckedOutFiles")->trigger();
        QPointer<QWidget> list = control<QWidget>(w, "frmCheckedOutFiles");
        auto* view = control<QTreeView>(*list, "lvwCheckedOutFiles");
        auto* button = control<QPushButton>(*list, "cmdCheckInAll");
        QAbstractItemModel* model = view->model();
        // The exact name only: c.txt is recorded for "dovrin".
        QCOMPARE(model->rowCount(), 2);
        // Every caption shows in full; the last column takes the free width.
        for (int i = 0; i < view->header()->count() - 1; ++i)
            QVERIFY(view->columnWidth(i) >= view->header()->sectionSizeHint(i));
        QVERIFY(view->header()->stretchLastSection());
        // Nothing ticked: the check-in runs on nothing and the same files come back ticked.
        for (int r = 0; r < model->rowCount(); ++r)
            model->setData(model->index(r, 0), int(Qt::Unchecked), Qt::CheckStateRole);
        button->click();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(button->isEnabled());
        // a.txt kept checked out: the window stays open with both files.
        model->setData(model->index(1, 0), int(Qt::Unchecked), Qt::CheckStateRole);
        WindowHarness::whenShown(&w, "frmCheckIn", [&](QWidget* checkIn) {
            control<QLineEdit>(*checkIn, "txtComments")->setText(u"halfway"_s);
            control<QCheckBox>(*checkIn, "chkKeepFileCheckedOut")->setChecked(true);
            control<QPushButton>(*checkIn, "cmdCheckIn")->click();
        });
        button->click();
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",2,\"Dovrin\""));
        QVERIFY(list);
        QCOMPARE(model->rowCount(), 2);
        // Both checked in: the list is empty and the window closes itself.
        WindowHarness::whenShown(&w, "frmCheckIn", [&](QWidget* checkIn) {
            control<QCheckBox>(*checkIn, "chkKeepFileCheckedOut")->setChecked(false);
            control<QPushButton>(*checkIn, "cmdCheckInAll")->click();
        });
        button->click();
        QTRY_VERIFY(list.isNull());
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",3,\"\""));
        // The out-of-date list takes the files whose versions differ; Escape closes it, as any small list.
        settingsStore().setFileVersion(u"c.txt"_s, u"0"_s);
        QVERIFY(w.UpdateFileList());
        w.ShowOutdatedFiles();
        QPointer<QWidget> outdated = control<QWidget>(w, "frmOutdatedFiles");
        QCOMPARE(control<QTreeView>(*outdated, "lvwUpdatedFiles")->model()->rowCount(), 1);
        // The rebuild hands the focus back to the file list afterwards: Escape goes to the list window
        // once it is the active one.
        const auto escape = [&] {
            if (!outdated)
                return true;
            outdated->activateWindow();
            if (QApplication::activeWindow() == outdated)
                QTest::keyClick(outdated, Qt::Key_Escape);
            return outdated.isNull();
        };
        QTRY_VERIFY(escape());
    }

    void historyWindowViewsComparesSavesAndRestores() {
        const QByteArray v1 = "line one\r\nline two\r\n", v3 = "line one\r\nline 2\r\nline three\r\n";
        for (const auto& [file, bytes] :
             {std::pair{"t.txt", v3},
              {"_history/t.txt.v1", v1},
              {"_history/t.txt.v2", "line one\r\nline 2\r\n"},
              {"b.bin", QByteArray("\x00two", 4)},
              {"_history/b.bin.v1", QByteArray("\x00one", 4)},
              {"_history/t.txt.index", "1\tCara\t2026-01-01T10:00:00Z\t20\tx\t*new file*\r\n"
                                       "2\tBren\t2026-01-02T10:00:00Z\t18\tx\tshorter\r\n"
                                       "3\tCara\t2026-01-03T10:00:00Z\t30\tx\tlonger\r\n"},
              {"_history/b.bin.index", "1\tCara\t2026-01-01T10:00:00Z\t4\tx\ta\r\n"
                                       "2\tCara\t2026-01-02T10:00:00Z\t4\tx\tb\r\n"}})
            fx.host.write(u"krg/"_s + QLatin1String(file), bytes);
        frmFileList w;
        QVERIFY(show(
            w, catalogue({catalogueLine("t.txt", 3, "", "Cara"), catalogueLine("b.bin", 2, "", "Cara")})));
        const auto open = [&](const char* key) {
            w.model().setAllSelected(false);
            w.model().setSelected(QLatin1String(key), true);
            return w.ShowHistory();
        };
        // The rows of the version list (newest first) to select, then the button to press.
        const auto press = [](frmHistory* h, const QList<int>& rows, QPushButton* button) {
            h->lvwVersions->clearSelection();
            for (int r : rows)
                h->lvwVersions->topLevelItem(r)->setSelected(true);
            button->click();
        };
        frmHistory* h = open("t.txt");
        QVERIFY(h);
        QCOMPARE(h->lvwVersions->topLevelItemCount(), 3);
        QCOMPARE(h->lvwVersions->topLevelItem(0)->text(0), u"3"_s);
        QCOMPARE(h->lvwVersions->topLevelItem(2)->text(4), u"*new file*"_s);
        press(h, {2}, h->cmdView);
        QCOMPARE(h->txtShow->toPlainText(), u"line one\nline two\n"_s);
        // Versions 1 and 3 side by side: the changed lines, coloured.
        press(h, {0, 2}, h->cmdCompare);
        QCOMPARE(h->txtShow->toPlainText(),
                 u"--- t.txt (version 1)\n+++ t.txt (version 3)\n"
                 "@@ -1,2 +1,3 @@\n line one\n-line two\n+line 2\n+line three\n"_s);
        QVERIFY(h->txtShow->toHtml().contains(u"#f8d4d4"_s));
        QVERIFY(h->txtShow->toHtml().contains(u"#d8f5d0"_s));
        // Save As writes the version where the member says.
        dlg->answerText(fx.localPath(u"saved.txt"_s));
        press(h, {1}, h->cmdSaveAs);
        QCOMPARE(readLocal(fx.localPath(u"saved.txt"_s)), QByteArray("line one\r\nline 2\r\n"));
        // Restore: version 1 becomes version 4.
        dlg->answerText(u"back"_s);
        press(h, {2}, h->cmdRestore);
        QVERIFY(fx.hostCatalogue().contains(
            "\"t.txt\",4,\"\",\"Cara\",\"\",\"Dovrin: Restored version 1: back\""));
        QCOMPARE(h->lvwVersions->topLevelItemCount(), 4);
        QCOMPARE(fx.host.read(u"krg/_history/t.txt.v3"_s), v3);
        h->close();
        // A binary file is compared by size and hash, not line by line.
        h = open("b.bin");
        QVERIFY(h);
        press(h, {0, 1}, h->cmdCompare);
        QVERIFY(h->txtShow->toPlainText().startsWith(
            u"Binary files b.bin (version 1) and b.bin (version 2) differ\nb.bin (version 1): 4 bytes, SHA-256 "_s));
        h->close();
        // Administrators alone set the site's depth, in the options window.
        frmOptions* o = frmOptions::ShowOptions(w);
        QVERIFY(!o->findChild<QSpinBox*>(u"txtHistoryDepth"_s));
        o->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        runState().UserLevel = LevelAdministrator;
        o = frmOptions::ShowOptions(w);
        auto* depth = control<QSpinBox>(*o, "txtHistoryDepth");
        QCOMPARE(depth->value(), 20);
        depth->setValue(3);
        o->close();
        QCOMPARE(fx.host.read(u"krg/_history/depth.txt"_s), QByteArray("3\r\n"));
    }

    // The check-in dialog's rules on its widgets.
    void checkInDialogRules() {
        frmCheckIn box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* chkKeep = control<QCheckBox>(box, "chkKeepFileCheckedOut");
        auto* chkRevert = control<QCheckBox>(box, "chkRevert");
        auto* txtComments = control<QLineEdit>(box, "txtComments");
        QVERIFY(!chkKeep->isChecked() && !chkRevert->isChecked() && txtComments->text().isEmpty());
        // A typed double quote shows as an apostrophe; the caret stays where it was.
        txtComments->setFocus();
        QTest::keyClicks(txtComments, u"fix  here"_s);
        txtComments->setCursorPosition(4);
        QTest::keyClicks(txtComments, u"\"x\""_s);
        QCOMPARE(txtComments->text(), u"fix 'x' here"_s);
        QCOMPARE(txtComments->cursorPosition(), 7);
        QCOMPARE(box.choices().comment(), u"fix 'x' here"_s);
        // Revert puts the comment aside and locks the comment and keep boxes; unticking brings it back.
        chkRevert->click();
        QVERIFY(txtComments->text().isEmpty() && !txtComments->isEnabled() && !chkKeep->isEnabled());
        chkRevert->click();
        QCOMPARE(txtComments->text(), u"fix 'x' here"_s);
        QVERIFY(txtComments->isEnabled() && chkKeep->isEnabled());
        // Keep locks revert.
        chkKeep->click();
        QVERIFY(!chkRevert->isEnabled());
        chkKeep->click();
        QVERIFY(chkRevert->isEnabled());
        chkRevert->setFocus();
        box.hide();
        // Do_CheckInFile: Check In All, then the answers are remembered for the next call; Cancel and
        // the close box give false.
        QString comment;
        bool keep = false, all = false, revert = false;
        const auto ask = [&](const char* file, std::function<void()> answer) {
            WindowHarness::whenShown(&box, nullptr, [answer](QWidget*) { answer(); });
            return box.Do_CheckInFile(QLatin1String(file), comment, keep, all, revert);
        };
        QVERIFY(ask("a.txt", [&] {
            QCOMPARE(control<QLineEdit>(box, "txtCheckingInFile")->text(), u"a.txt"_s);
            QCOMPARE(box.focusWidget(), txtComments); // the member comes to type the comment
            chkKeep->click();
            control<QPushButton>(box, "cmdCheckInAll")->click();
        }));
        QCOMPARE(comment, u"fix 'x' here"_s);
        QVERIFY(keep && all && !revert);
        QVERIFY(!ask("b.txt", [&] {
            QCOMPARE(txtComments->text(), u"fix 'x' here"_s);
            QVERIFY(chkKeep->isChecked());
            control<QPushButton>(box, "cmdCancel")->click();
        }));
        QVERIFY(!all);
        QVERIFY(!ask("c.txt", [&] { box.close(); }));
        QVERIFY(ask("c.txt", [&] { control<QPushButton>(box, "cmdCheckIn")->click(); }));
        QVERIFY(!all);
    }

    // While an operation waits for the host only the list is on and the window stays; the status line
    // gives the last outcome (a skip or refusal too) until the next starts, steps in the member's words.
    void windowRunsTheOperationsOneAtATime() {
        fx.host.write(u"krg/a.txt"_s, "server a");
        fx.host.write(u"krg/c.txt"_s, "server c");
        QVERIFY(writeLocal(fx.localPath(u"b.txt"_s), "Dovrin's b"));
        frmFileList w;
        QVERIFY(show(
            w, catalogue({catalogueLine("a.txt", 1),
                          catalogueLine("team roster.txt", 3, "Lina", "Lina", "Who does what", "Lina: May"),
                          catalogueLine("c.txt", 2), catalogueLine("b.txt", 2, "Dovrin")})));
        QCOMPARE(w.statusText(), u"File list: 4 files, 3 out of date, 1 checked out by you"_s);
        auto* lblStatus = control<QLabel>(w, "lblStatus");
        auto* progress = control<TransferProgress>(w, "prgTransfer");
        QStringList outcomesSeen, steps;
        connect(control<TransferControl>(w, "inet"), &TransferControl::commandStarted, &w, [&] {
            outcomesSeen << lblStatus->text();
            if (progress->isVisible() && !progress->lblTransfer->text().isEmpty())
                steps << progress->lblTransfer->text();
        });
        const auto enabled = [&w](std::initializer_list<const char*> names) {
            QStringList on;
            for (const char* n : names) {
                // The check-in dialog below the window has a cmdCheckIn of its own.
                QObject* o = w.findChild<QToolButton*>(QLatin1String(n));
                o = o ? o : w.findChild<QAction*>(QLatin1String(n));
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
            QVERIFY(dlg->busyDepth() > 0);
            QVERIFY(!w.close());
        });
        control<QAction>(w, "mnuEditSelectAll")->trigger();
        w.model().setSelected(u"b.txt"_s, false);
        control<QToolButton>(w, "cmdCheckOut")->click();
        QVERIFY(checked && w.isVisible());
        QCOMPARE(enabled({"cmdCheckOut", "mnuActionsCheckOut", "cmdRefresh", "txtCommands"}).size(), 4);
        QCOMPARE(dlg->busyDepth(), 0);
        QCOMPARE(dlg->texts(),
                 QStringList{"Wait for the transfer to finish, or cancel it?"}); // no word on the skip
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Dovrin\""));
        QVERIFY(!outcomesSeen.isEmpty());
        QCOMPARE(outcomesSeen.join(QString()), QString());
        QVERIFY2(steps.contains(u"Saving the shared file list"_s), qPrintable(steps.join('|')));
        for (const QString& step : steps)
            QVERIFY2(!step.contains("krg/"_L1) && !step.contains("_files"_L1), qPrintable(step));
        const QString outcome = u"Checked out 2 files; skipped team roster.txt, checked out by Lina"_s;
        QCOMPARE(w.statusText(), outcome);
        QVERIFY(progress->isHidden());
        QStatusTipEvent hint(u"take the selected files to work on them"_s);
        QApplication::sendEvent(control<QToolButton>(w, "cmdCheckOut"), &hint);
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        QVERIFY(lblStatus->isVisible());
        QCOMPARE(w.statusText(), outcome);
        // A level that may not check out: the reason is on the status line too.
        dlg->clear();
        runState().UserLevel = LevelReadOnly;
        control<QToolButton>(w, "cmdCheckOut")->click();
        runState().UserLevel = LevelFullAccess;
        QCOMPARE(dlg->texts(), QStringList{"Sorry, you do not have access to that feature."});
        QCOMPARE(w.statusText(), u"Check out refused: Sorry, you do not have access to that feature."_s);
        dlg->clear();
        w.model().setAllSelected(false);
        w.model().setSelected(u"b.txt"_s, true);
        auto* checkIn = control<frmCheckIn>(w, "frmCheckIn");
        WindowHarness::whenShown(checkIn, nullptr, [&](QWidget*) {
            QCOMPARE(control<QLineEdit>(*checkIn, "txtCheckingInFile")->text(), u"b.txt"_s);
            auto* txtComments = control<QLineEdit>(*checkIn, "txtComments");
            txtComments->setText(u"from the window"_s);
            QTest::keyClicks(txtComments, u"!"_s);
            control<QPushButton>(*checkIn, "cmdCheckIn")->click();
        });
        control<QAction>(w, "mnuActionsCheckIn")->trigger();
        QVERIFY(fx.hostCatalogue().contains("\"b.txt\",3,\"\",\"\",\"\",\"Dovrin: from the window!\""));
        QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
        QCOMPARE(w.statusText(), u"Checked in b.txt"_s);
        dlg->answer(Dialogs::No); // a.txt and c.txt are still checked out
        QVERIFY(w.close());
    }

    void cancelLeavesEveryCopyAsItWas() {
        // A host that moves 1 MB a second, so 4 MB files are still on their way when Cancel is pressed.
        slow = std::make_unique<LoopbackHost>();
        slow->setThrottle(1024 * 1024);
        QVERIFY(slow->start(fx.seed.path()));
        slow->exportEnvironment();
        const auto restore = qScopeGuard([this] { fx.host.exportEnvironment(); });
        // The window's connection, several connections, check out.
        const std::tuple<QStringList, const char*, QString> rows[] = {
            {{"big.bin"}, "mnuActionsGetLatestVersion", u"Get latest version cancelled"_s},
            {{"big.bin", "big2.bin"}, "mnuActionsGetLatestVersion", u"Get latest version cancelled"_s},
            {{"big.bin"}, "mnuActionsCheckOut", u"Check out cancelled"_s}};
        for (const auto& [files, action, outcome] : rows) {
            fx.resetLocal();
            QByteArrayList lines;
            QFile::Permissions readOnly;
            for (const QString& f : files) {
                lines << catalogueLine(f.toLatin1().constData(), 2);
                slow->write(u"krg/"_s + f, QByteArray(4 << 20, 'n'));
                QVERIFY(writeLocal(fx.localPath(f), "my copy of " + f.toLatin1()));
                QVERIFY(writeLocal(fx.localPath(f + u".backup"_s), "older copy"));
                QVERIFY(QFile::setPermissions(fx.localPath(f), QFile::ReadOwner | QFile::ReadGroup));
                readOnly = QFile::permissions(fx.localPath(f));
                fx.settings->setFileVersion(f, u"1"_s);
            }
            slow->write(u"krg/_files.txt"_s, catalogue(lines));
            frmFileList w;
            QVERIFY(showAndRebuild(w));
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
            control<QAction>(w, action)->trigger();
            QVERIFY(pressed);
            QCOMPARE(slow->read(u"krg/_files.txt"_s), catalogue(lines));
            for (const QString& f : files) {
                QCOMPARE(readLocal(fx.localPath(f)), "my copy of " + f.toLatin1());
                QCOMPARE(QFile::permissions(fx.localPath(f)), readOnly);
                QCOMPARE(readLocal(fx.localPath(f + u".backup"_s)), QByteArray("older copy"));
                QCOMPARE(fx.settings->fileVersion(f), u"1"_s);
            }
            const QStringList scratch =
                QDir(fx.local->path()).entryList({u".krtp-*"_s}, QDir::Files | QDir::Hidden);
            QVERIFY2(scratch.isEmpty(), qPrintable(scratch.join(QLatin1Char(' '))));
            QCOMPARE(w.windowTitle(), u"KRtp - Transfer Complete"_s);
            QCOMPARE(w.statusText(), outcome);
            QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
            QVERIFY(w.close());
        }
    }
};

KRTP_TEST_MAIN_GUI(TestFileListWindow)
#include "tst_filelistwindow.moc"
