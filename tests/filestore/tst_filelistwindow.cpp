#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmfilelist.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"

#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
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
    std::unique_ptr<ScriptedDialogs> dlg;

    void clickEntry(frmFileList& w, const QString& key) {
        QTreeView* view = w.lvwFileList->detailsView();
        const QModelIndex index = w.model().index(w.model().rowOf(key), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        dlg = std::make_unique<ScriptedDialogs>();
    }
    void cleanup() {
        QVERIFY2(dlg->unexpected().isEmpty(), qPrintable(dlg->unexpected().join(QLatin1Char('|'))));
        dlg.reset();
    }

    void loadingBuildsToolbarColumnsAndViews() {
        settingsStore().set(settings::CurrentView, QStringLiteral("1"));
        settingsStore().set(settings::ViewToolbar, QStringLiteral("0"));
        frmFileList w;
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Korrindale Guildhouse"));
        QCOMPARE(w.viewStyle(), 1);
        QVERIFY(w.picToolBar->isHidden());
        QVERIFY(!w.mnuViewToolbar->isChecked());
        const QList<QToolButton*> buttons = w.picToolBar->findChildren<QToolButton*>();
        QStringList captions;
        for (QToolButton* b : buttons) {
            captions << b->text();
            QVERIFY(!b->icon().isNull());
        }
        QCOMPARE(captions, (QStringList{"Get Latest Version", "Check In", "Check Out", "Add File(s)",
                                        "Set Local Folder", "Refresh", "Options", "Explorer"}));
        QVERIFY(w.cmdRefresh->isEnabled() && w.cmdExplorer->isEnabled() && w.cmdCheckOut->isEnabled() &&
                !w.cmdAddFile->isEnabled());
        RecordingDesktopServices desktop;
        w.cmdExplorer->click();
        w.mnuFileExplore->trigger();
        QCOMPARE(desktop.calls.size(), 2);
        QVERIFY(desktop.calls.first().contains(runState().LocalFolder));
        QVERIFY(w.findChild<FileListView*>(QStringLiteral("lvwFileList")));
        for (const char* name :
             {"txtCommands", "txtResults", "picPreview", "txtPreview", "picResize1", "inet"})
            QVERIFY2(w.findChild<QObject*>(QLatin1String(name)), name);
        QCOMPARE(w.imglstFileList.size(), 16);
        for (const QString& key : FileListImageKeys())
            QCOMPARE(w.image(key).pixmap(16, 16).size(), QSize(16, 16));
        QHeaderView* header = w.lvwFileList->detailsView()->header();
        QCOMPARE(header->count(), 7);
        QCOMPARE(w.model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Last Updated By"));
        const int dpi = w.lvwFileList->logicalDpiX();
        QCOMPARE(header->sectionSize(0), 1440 * dpi / 1440);
        QCOMPARE(header->sectionSize(3), 2880 * dpi / 1440);
        QCOMPARE(header->sectionSize(6), 720 * dpi / 1440);
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
        s.setFileVersion(QStringLiteral("site.backup.txt"), QStringLiteral("2"));
        s.setFileVersion(QStringLiteral("notes.txt"), QStringLiteral("1"));
        s.setFileVersion(QStringLiteral("index.html"), QStringLiteral("4"));
        s.setFileVersion(QStringLiteral("pic.gif"), QStringLiteral("3"));
        s.setFileVersion(QStringLiteral("old.gif"), QStringLiteral("2"));
        s.setFileVersion(QStringLiteral("theirs.doc"), QStringLiteral("2"));
        frmFileList w;
        QVERIFY(w.UpdateFileList());
        const auto icon = [&](const char* key) { return w.model().find(QLatin1String(key))->smallIconKey; };
        // Default colours: only out-of-date files show their circle.
        QCOMPARE(icon("site.backup.txt"), QStringLiteral(".txt"));
        QCOMPARE(icon("readme"), QStringLiteral("new"));
        QCOMPARE(icon("notes.txt"), QStringLiteral(".txt"));
        QCOMPARE(icon("index.html"), QStringLiteral("unlocked"));
        QCOMPARE(icon("pic.gif"), QStringLiteral(".gif"));
        QCOMPARE(icon("old.gif"), QStringLiteral("old"));
        QCOMPARE(icon("theirs.doc"), QStringLiteral(".doc"));
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
        QCOMPARE(icon("site.backup.txt"), QStringLiteral("unlocked"));
        QCOMPARE(icon("notes.txt"), QStringLiteral("open"));
        QCOMPARE(icon("theirs.doc"), QStringLiteral("locked"));
        QCOMPARE(icon("readme"), QStringLiteral("new")); // no "." in the name
        QCOMPARE(icon("old.gif"), QStringLiteral(".gif"));
        w.store().Shutdown();
    }

    void closingAsksAboutCheckedOutFiles() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1)}));
        settingsStore().set(settings::CurrentView, QStringLiteral("2"));
        QPointer<frmFileList> w = new frmFileList;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
        QVERIFY(w->UpdateFileList());
        int shown = 0;
        w->showCheckedOutFiles = [&] { ++shown; };
        dlg->answer(Dialogs::Yes);
        w->close();
        QCOMPARE(dlg->lastText(),
                 QStringLiteral(
                     "You currently have 1 file checked out.  Would you like to view the list of checked "
                     "out files?\r\n\r\n<Yes> - View Checked Out Files\r\n<No> - Exit KRtp"));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(dlg->records().last().buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QVERIFY(w->isVisible());
        QCOMPARE(shown, 1);
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
        QTimer::singleShot(0, w, [&] {
            checked = true;
            QVERIFY(!w->cmdCheckOut->isEnabled());
            QVERIFY(!w->mnuFileRefresh->isEnabled());
        });
        QVERIFY(w->close());
        QVERIFY(checked);
        QTRY_VERIFY(w.isNull());
    }

    void outdatedCatalogueClosesTheWindow() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}, "2.1"));
        QVERIFY(!frmFileList::ShowFileList());
        QCOMPARE(dlg->texts(), QStringList{FileStore::OutdatedMessage(QStringLiteral("2.1"))});
        QVERIFY(!frmFileList::instance());
        const auto open = [] {
            int n = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                n += qobject_cast<frmFileList*>(w) ? 1 : 0;
            return n;
        };
        QTRY_COMPARE(open(), 0);
    }

    void onlyOneWindowIsOpened() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList* first = frmFileList::ShowFileList();
        QVERIFY(first);
        QCOMPARE(frmFileList::ShowFileList(), first);
        QCOMPARE(first->model().count(), 1);
        QPointer<frmFileList> guard(first);
        first->close();
        QTRY_VERIFY(guard.isNull());
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
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
        clickEntry(w, QStringLiteral("notes.txt"));
        QCOMPARE(w.txtPreview->toPlainText(), QString::fromLatin1("caf\xe9 au lait"));
        clickEntry(w, QStringLiteral("logo.gif"));
        QVERIFY(w.txtPreview->isHidden());
        QCOMPARE(w.picPreview->pixmap().size(), QSize(1, 1));
        clickEntry(w, QStringLiteral("missing.txt"));
        QVERIFY(!w.txtPreview->isHidden());
        QVERIFY(w.picPreview->pixmap().isNull());
        QCOMPARE(w.txtPreview->toPlainText(),
                 QStringLiteral("missing.txt does not exist on the local hard drive!"));
        clickEntry(w, QStringLiteral("page.html"));
        QCOMPARE(w.txtPreview->toPlainText(), QStringLiteral("No Preview Availble: page.html"));
        // With the pane switched off, clicks change nothing.
        settingsStore().set(settings::ShowPreviewPane, QStringLiteral("No"));
        w.LayOut();
        clickEntry(w, QStringLiteral("gone.html"));
        QCOMPARE(w.txtPreview->toPlainText(), QStringLiteral("No Preview Availble: page.html"));
        w.store().Shutdown();
    }

    void transfersShowTheirProgress() {
        frmFileList w;
        w.show();
        QVERIFY(w.prgTransfer->isHidden());
        // Commands that move no file show nothing.
        emit w.inet->commandStarted(QStringLiteral("cd /krg"));
        emit w.inet->progress(10, 0);
        QVERIFY(w.prgTransfer->isHidden());
        emit w.inet->commandStarted(QStringLiteral("GET \"my page.html\" \"my page.html\""));
        QVERIFY(w.prgTransfer->isVisible());
        emit w.inet->progress(3 * 1024 * 1024, 0);
        QVERIFY2(
            w.prgTransfer->lblTransfer->text().startsWith(QLatin1String("Downloading my page.html: 3.0 MB")),
            qPrintable(w.prgTransfer->lblTransfer->text()));
        emit w.inet->StateChanged(StateResponseCompleted);
        QVERIFY(w.prgTransfer->isHidden());
        emit w.inet->commandStarted(QStringLiteral("send notes.txt"));
        emit w.inet->progress(512, 2048);
        QCOMPARE(w.prgTransfer->lblTransfer->text().left(43),
                 QStringLiteral("Uploading notes.txt: 512 bytes of 2 KB"));
        QCOMPARE(TransferProgress::LineText(QStringLiteral("Uploading"), QStringLiteral("a.zip"), 5LL << 20,
                                            200LL << 20, 2.5 * 1024 * 1024),
                 QStringLiteral("Uploading a.zip: 5.0 MB of 200.0 MB at 2.5 MB/s"));
        w.prgTransfer->cmdCancel->click();
        QVERIFY(!w.prgTransfer->cmdCancel->isEnabled());
        emit w.inet->StateChanged(StateError);
        QVERIFY(w.prgTransfer->isHidden());
        w.store().Shutdown();
    }

    void consoleSendsOnEnterAndCollectsReplies() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        frmFileList w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
        const QString before = w.txtResults->toPlainText();
        const int sent = w.inet->commandsSent();
        w.txtCommands->setFocus();
        QTest::keyClicks(w.txtCommands, QStringLiteral("ls _files.txt"));
        QTest::keyClick(w.txtCommands, Qt::Key_Return);
        QCOMPARE(w.txtCommands->selectedText(), QStringLiteral("ls _files.txt"));
        QTRY_VERIFY(!w.inet->StillExecuting());
        QTest::keyClick(w.txtCommands, Qt::Key_Return);
        QTRY_VERIFY(!w.inet->StillExecuting());
        QCOMPARE(w.inet->commandsSent() - sent, 2);
        QCOMPARE(w.txtCommands->text(), QStringLiteral("ls _files.txt"));
        const QString added = w.txtResults->toPlainText().mid(before.size());
        QCOMPARE(added.count(QStringLiteral("_files.txt")), 2);
        QVERIFY(added.endsWith(QLatin1Char('\n')));
        QCOMPARE(w.GetChunkData().count(QStringLiteral("_files.txt")), 1);
        QCOMPARE(w.windowTitle(), QStringLiteral("KRtp - Transfer Complete"));
        w.store().Shutdown();
    }

    void layoutToolbarAndSplitter() {
        frmFileList w;
        w.resize(900, 600);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget* central = w.centralWidget();
        const int margin = w.lvwFileList->x();
        const int toolbar = w.picToolBar->height();
        const int preview = w.previewWidth();
        const int splitter = w.picResize1->width();
        QCOMPARE(w.lvwFileList->y(), margin + toolbar);
        QCOMPARE(w.lvwFileList->height(), central->height() - toolbar - 2 * margin);
        QCOMPARE(w.lvwFileList->width(), central->width() - 2 * margin - (preview + splitter));
        QCOMPARE(w.picResize1->x(), w.lvwFileList->x() + w.lvwFileList->width());
        QCOMPARE(w.picPreview->geometry(),
                 QRect(w.picResize1->x() + splitter, w.lvwFileList->y(), preview, w.lvwFileList->height()));
        // Toolbar off: the list moves up and the choice is stored.
        w.mnuViewToolbar->trigger();
        QVERIFY(w.picToolBar->isHidden());
        QVERIFY(!w.mnuViewToolbar->isChecked());
        QCOMPARE(settingsStore().get(settings::ViewToolbar), QStringLiteral("0"));
        QCOMPARE(w.lvwFileList->y(), margin);
        w.mnuViewToolbar->trigger();
        QCOMPARE(settingsStore().get(settings::ViewToolbar), QStringLiteral("-1"));
        // Splitter dropped 100 pixels left of its place on the list: the preview grows by 100.
        const int listWidth = w.lvwFileList->width();
        w.SplitterDropped(w.lvwFileList, listWidth - 100 + splitter / 2);
        QCOMPARE(w.previewWidth(), preview + 100);
        QCOMPARE(w.lvwFileList->width(), listWidth - 100);
        // Dropped 40 pixels into the preview: it shrinks by 40 plus half the splitter.
        w.SplitterDropped(w.txtPreview, 40);
        QCOMPARE(w.previewWidth(), preview + 100 - 40 - splitter / 2);
        // Without the preview pane the list takes the width.
        settingsStore().set(settings::ShowPreviewPane, QStringLiteral("No"));
        w.LayOut();
        QVERIFY(w.picResize1->isHidden());
        QCOMPARE(w.lvwFileList->width(), central->width() - 2 * margin);
    }

    void iconPositionsOnlyInSmallIcons() {
        fx.setCatalogue(catalogue({catalogueLine("A.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
        const QString section = QLatin1String(settings::kIconsSection);
        settingsStore().write(section, QStringLiteral("a.txt"), QStringLiteral("300,50"));
        w.SaveIcons(); // details view: nothing stored
        QCOMPARE(settingsStore().read(section, QStringLiteral("a.txt"), QString()), QStringLiteral("300,50"));
        w.setViewStyle(1);
        w.LoadIcons();
        FileIconView* view = w.lvwFileList->iconView();
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

    void headerClicksSortAndSelectionFollowsTheModel() {
        fx.setCatalogue(
            catalogue({catalogueLine("b.txt", 1), catalogueLine("C.txt", 1), catalogueLine("a.txt", 1)}));
        frmFileList w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.UpdateFileList());
        QHeaderView* header = w.lvwFileList->detailsView()->header();
        const auto order = [&] {
            QStringList names;
            for (const ListEntry& e : w.model().entries())
                names << e.text;
            return names;
        };
        QCOMPARE(order(), (QStringList{"b.txt", "C.txt", "a.txt"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(order(), (QStringList{"a.txt", "b.txt", "C.txt"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(order(), (QStringList{"C.txt", "b.txt", "a.txt"}));
        // The sort survives a rebuild.
        QVERIFY(w.UpdateFileList());
        QCOMPARE(order(), (QStringList{"C.txt", "b.txt", "a.txt"}));
        // Selecting in the model shows in the view and back.
        w.model().setSelected(QStringLiteral("b.txt"), true);
        QVERIFY(w.lvwFileList->detailsView()->selectionModel()->isRowSelected(1, {}));
        w.mnuEditSelectAll->trigger();
        QCOMPARE(w.model().selectedCount(), 3);
        w.lvwFileList->detailsView()->clearSelection();
        QCOMPARE(w.model().selectedCount(), 0);
        w.store().Shutdown();
    }
};

KRTP_TEST_MAIN_GUI(TestFileListWindow)
#include "tst_filelistwindow.moc"
