// The explorer, the editor and the editors window on the loopback host.
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/gui/windowmemory.h"
#include "sitetestutil.h"
#include "sitetools/editfile.h"
#include "sitetools/exploreractions.h"
#include "sitetools/explorerfilemodel.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/gui/frmexternaleditors.h"
#include "sitetools/gui/webpreview.h"
#include "testmain.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "windowharness.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

// Runs fn on the next modal window, a W, once it is up, from the event loop (so whatever the caller
// waits for goes on meanwhile). A window fn leaves open (a failed check) is hidden, which ends its modal
// loop, so a failure never waits for the test's time limit.
template <class W> void whenModal(std::function<void(W*)> fn) {
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(20000);
    QObject::connect(timer, &QTimer::timeout, [timer, fn, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        QPointer<QWidget> window = modal;
        W* w = qobject_cast<W*>(modal);
        if (w)
            fn(w);
        if (window && window->isVisible())
            window->hide();
        QVERIFY2(w, "no such modal window came up");
    });
    timer->start(10);
}

} // namespace

class TestSiteWindows : public QObject {
    Q_OBJECT
    SiteFixture fx;
    WindowHarness dlg;

    void clickEntry(frmExplorer& w, const QString& key, Qt::KeyboardModifiers mods = {}) {
        const QModelIndex index = w.explorer().files().index(w.explorer().files().rowOf(key), 0);
        QVERIFY(index.isValid());
        w.lvwExplorer->scrollTo(index);
        QTest::mouseClick(w.lvwExplorer->viewport(), Qt::LeftButton, mods,
                          w.lvwExplorer->visualRect(index).center());
    }
    void clickFolder(frmExplorer& w, const QString& key) {
        QTreeWidgetItem* item = w.treeItem(key);
        QVERIFY(item);
        w.tvwExplorer->scrollToItem(item);
        QTest::mouseClick(w.tvwExplorer->viewport(), Qt::LeftButton, {},
                          w.tvwExplorer->visualItemRect(item).center());
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetSite();
        fx.resetLocal();
        dlg.init();
        SiteFixture::login(u"Cara"_s, LevelFullAccess);
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void openingForARestrictedMemberAndOnce() {
        SiteFixture::login(u"Bob"_s, LevelFullAccess);
        QPointer<frmExplorer> w = frmExplorer::ShowWebPage();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), u"Norrow Eternal Web Page"_s);
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->text(0), u"VelmarFTP"_s);
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->childCount(), 2);
        QVERIFY(!w->cmdAddFilesToServer->isEnabled() && !w->cmdDeleteFile->isEnabled());
        clickFolder(*w, u"news/"_s);
        QCOMPARE(fileNames(w->explorer()), QStringList{"index.html"});
        QVERIFY(w->cmdAddFilesToServer->isEnabled() && w->cmdNewFile->isEnabled());
        QVERIFY(!w->cmdDeleteFile->isEnabled() && !w->mnuActionDeleteFiles->isEnabled());
        // A second press brings the same window forward.
        QCOMPARE(frmExplorer::ShowWebPage(), w.data());
        QCOMPARE(w->tvwExplorer->topLevelItemCount(), 1);
        w->close();
        QTRY_VERIFY(!w);
        QVERIFY(!frmExplorer::instance());
    }

    void fullAccessTreeGrowsAsFoldersAreVisited() {
        frmExplorer w;
        w.Do_ShowWebPage();
        QCOMPARE(w.tvwExplorer->topLevelItem(0)->childCount(), 6);
        QStringList titles;
        connect(&w, &QWidget::windowTitleChanged, &w, [&](const QString& t) { titles << t; });
        clickFolder(w, u"news/"_s);
        QVERIFY2(titles.contains(u"KRtp - Sending Request to Host"_s) &&
                     titles.last() == u"KRtp - Transfer Complete"_s,
                 qPrintable(titles.join(QLatin1Char('|'))));
        clickFolder(w, u"news/old/"_s);
        QCOMPARE(fileNames(w.explorer()), QStringList{"2024.html"});
        clickFolder(w, u"news/"_s);
        QCOMPARE(w.treeItem(u"news/"_s)->childCount(), 1);
        QVERIFY(w.cmdDeleteFile->isEnabled() && w.cmdAddFilesToServer->isEnabled());
        // Selection goes both ways between the list and the model.
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.explorer().files().selectedKeys(), QStringList{"index.html"});
        clickFolder(w, QString());
        w.cmdSelectAll->click();
        QCOMPARE(w.lvwExplorer->selectionModel()->selectedIndexes().size(), 3);
        // The menu's shortcuts work on the window.
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.explorer().files().setAllSelected(false);
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to download."_s);
        QTest::keyClick(&w, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to upload."_s);
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(dlg->lastText(), u"No Files are Selected.  Please select the files to delete."_s);
        // The folder menu, full access only.
        dlg->answerText(u"drafts"_s);
        w.mnuFoldersNew->trigger();
        QVERIFY(w.treeItem(u"drafts/"_s));
        w.close();
    }

    void previewAndIcons() {
        QVERIFY(writeLocal(fx.mirror(u"index.html"_s), "<p>local</p>"));
        frmExplorer w;
        w.Do_ShowWebPage();
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.webPreview->address(), QUrl::fromLocalFile(fx.mirror(u"index.html"_s)));
        clickEntry(w, u"style.css"_s);
        QCOMPARE(w.webPreview->address(), QUrl(u"about:blank"_s));
        // Hidden pane: the preview stays, the icon still follows the disk.
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isHidden() && w.picResize2->isHidden());
        QVERIFY(QFile::remove(fx.mirror(u"index.html"_s)));
        QCOMPARE(w.explorer().files().find(u"index.html"_s)->smallIconKey, u"file"_s);
        clickEntry(w, u"index.html"_s);
        QCOMPARE(w.webPreview->address(), QUrl(u"about:blank"_s));
        QCOMPARE(w.explorer().files().find(u"index.html"_s)->smallIconKey, u"filenotfound"_s);
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isVisible());
        w.close();
    }

    void statusLineTellsTheOutcome() {
        RecordingDesktopServices desktop;
        frmExplorer w;
        w.Do_ShowWebPage();
        QCOMPARE(w.statusText(), u"/: 3 files"_s);
        // The host no longer has one of the two files: the first comes down, the second is refused.
        QVERIFY(QFile::remove(fx.host.path(u"style.css"_s)));
        clickEntry(w, u"index.html"_s);
        clickEntry(w, u"style.css"_s, Qt::ControlModifier);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        QCOMPARE(dlg->lastText(), u"550 No such file or directory."_s);
        QCOMPARE(w.statusText(), u"Downloaded index.html; stopped: 550 No such file or directory."_s);
        QVERIFY(w.centralWidget()->isEnabled());
        // The status line tells what the action's outcome says.
        const auto status = [&](const QString& text) {
            QCOMPARE(w.statusText(), text);
            QCOMPARE(w.actions().lastOutcome(), text);
        };
        const QString folder = runState().LocalFolder + u"VelmarFTP"_s;
        w.actSelectAll->trigger();
        status(u"Selected 3 files"_s);
        w.explorer().files().setAllSelected(false);
        w.cmdDeleteFile->click();
        status(
            u"Delete from the server refused: No Files are Selected.  Please select the files to delete."_s);
        w.explorer().files().setSelected(u"index.html"_s, true);
        dlg->answer(Dialogs::Cancel);
        w.cmdDeleteLocal->click();
        status(u"Delete of the local copy cancelled"_s);
        w.actions().NewFile(u"my page.html"_s);
        status(u"New file: skipped my page.html, spaces are not allowed in file names"_s);
        w.cmdExplorer->click();
        status(u"Opened "_s + folder + u" in the file manager"_s);
        desktop.result = false;
        w.cmdExplorer->click();
        status(u"The file manager could not be started for "_s + folder +
               u": no file manager is set up on this desktop"_s);
        QCOMPARE(desktop.calls, QStringList(2, u"files "_s + folder));
        w.close();
    }

    void remembersLayoutAcrossReopen() {
        QRect geometry;
        {
            frmExplorer w;
            w.Do_ShowWebPage();
            w.resize(760, 500);
            w.move(30, 40);
            QTRY_COMPARE(w.size(), QSize(760, 500));
            geometry = w.geometry();
            // The splitters move the panes by the distance dropped, the list's edges with them.
            w.SplitterDropped(w.picResize1, w.tvwExplorer, 150);
            QCOMPARE(w.tvwExplorer->width(), 150);
            w.SplitterDropped(w.picResize1, w.lvwExplorer, 20);
            const int preview = w.previewWidth(), list = w.lvwExplorer->width();
            w.SplitterDropped(w.picResize2, w.lvwExplorer, list - 50);
            QCOMPARE(w.picPreview->width(), preview + 50);
            w.SplitterDropped(w.picResize2, w.webPreview, 20);
            QCOMPARE(w.previewWidth(), preview + 30);
            QCOMPARE(w.lvwExplorer->x() + w.lvwExplorer->width() + w.picResize2->width() +
                         w.picPreview->width(),
                     w.centralWidget()->width());
            w.cmdPreviewPAne->click();
            QVERIFY(w.close());
        }
        settingsStore().sync();
        QSettings ini(settingsStore().fileName(), QSettings::IniFormat);
        ini.beginGroup(WindowMemory::sectionFor(u"frmExplorer"_s));
        for (const char* key : {"Geometry", "State", "TreeWidth", "PreviewWidth", "PreviewPane"})
            QVERIFY2(ini.childKeys().contains(QLatin1String(key)), key);

        frmExplorer again;
        again.Do_ShowWebPage();
        QCOMPARE(again.geometry(), geometry);
        QCOMPARE(again.treeWidth(), 170);
        QCOMPARE(again.tvwExplorer->width(), 170);
        QVERIFY(again.picPreview->isHidden());
        // A place kept on a larger screen (or one that is gone) comes back inside this one.
        again.move(2000, 1500);
        again.close();
        frmExplorer moved;
        moved.Do_ShowWebPage();
        const QRect screen = moved.screen()->availableGeometry();
        QVERIFY2(screen.contains(moved.frameGeometry()), qPrintable(QString::number(moved.x())));
        moved.close();

        // The editors window keeps its size too.
        QSize editors;
        {
            frmExternalEditors e(runState().ExternalEditorsFile);
            e.show();
            e.resize(610, 333);
            QTRY_COMPARE(e.size(), QSize(610, 333));
            editors = e.size();
            e.hide();
        }
        frmExternalEditors e(runState().ExternalEditorsFile);
        QCOMPARE(e.size(), editors);
    }

    void actionMenuAndEditors() {
        QTemporaryDir programs;
        const QString one = programs.filePath(u"one"_s);
        QVERIFY(writeLocal(one, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = programs.filePath(u"external editors.ini"_s);
        const QByteArray path = one.toUtf8();
        QVERIFY(writeLocal(runState().ExternalEditorsFile,
                           "One\r\n" + path + "\r\nTwo\r\n/nowhere/two\r\nThree\r\n\"" + path + "\"\r\n"));
        frmExplorer w;
        w.Do_ShowWebPage();
        QStringList captions;
        for (QAction* a : w.mnuActionExternalEditor)
            captions << a->text() + (a->isEnabled() ? QString() : u" (disabled)"_s);
        QCOMPARE(captions, (QStringList{"Edit With...", "One", "Two - FILE NOT FOUND (disabled)", "Three"}));
        w.cmdExternalEditor->click();
        QTRY_VERIFY(w.mnuAction->isVisible());
        QVERIFY(!w.mnuActionDownload->isVisible() && !w.mnuActionEdit->isVisible() &&
                !w.mnuActionUpload->isVisible() && !w.mnuActionDeleteFiles->isVisible() &&
                !w.mnuActionDeleteLocal->isVisible() && !w.mnuActionBreak1->isVisible() &&
                !w.mnuActionBreak2->isVisible());
        QVERIFY(w.mnuActionConfigure->isVisible() && w.mnuActionExternalEditor[3]->isVisible());
        w.mnuAction->close();
        // The list's right button: everything, with "Download and Edit" as the default entry.
        clickEntry(w, u"index.html"_s);
        const QModelIndex index = w.explorer().files().index(0, 0);
        QTest::mouseRelease(w.lvwExplorer->viewport(), Qt::RightButton, {},
                            w.lvwExplorer->visualRect(index).center());
        QTRY_VERIFY(w.mnuAction->isVisible());
        QVERIFY(w.mnuActionDownload->isVisible() && w.mnuActionDeleteLocal->isVisible());
        QCOMPARE(w.mnuAction->defaultAction(), w.mnuActionEdit);
        w.mnuAction->close();
        // Configuring: the list shortened to one editor leaves one visible entry.
        whenModal<frmExternalEditors>([](frmExternalEditors* editors) {
            QCOMPARE(editors->windowTitle(), u"Configure External Editors"_s);
            QVERIFY(editors->txtExternalEditors->toPlainText().startsWith(QLatin1String("One\n")));
            editors->txtExternalEditors->setPlainText(u"Only\n/nowhere/only"_s);
            editors->close();
        });
        dlg->answer(Dialogs::Yes);
        w.mnuActionConfigure->trigger();
        QCOMPARE(dlg->lastText(), u"Save Changes?"_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(readLocal(runState().ExternalEditorsFile), "Only\r\n/nowhere/only"_ba);
        int visible = 0;
        for (QAction* a : w.mnuActionExternalEditor)
            visible += a->isVisible() ? 1 : 0;
        QCOMPARE(visible, 2);
        QCOMPARE(w.mnuActionExternalEditor[1]->text(), u"Only - FILE NOT FOUND"_s);
        w.close();
    }

    // A listing line | the name | its size and time as the list shows them.
    void listingFacts_data() {
        QTest::addColumn<QString>("row");
        QTest::newRow("this year")
            << u"-rw-r--r--   1 velmar   team       2048 Dec 07 16:53 my page.html|my page.html|2 KB|Dec 07 16:53"_s;
        QTest::newRow("older")
            << u"-rw-r--r-- 1 velmar team 12 Jan  3  2024 a.txt|a.txt|12 bytes|Jan 3 2024"_s;
        QTest::newRow("folder") << u"drwxr-xr-x 2 velmar team 4096 Dec 07 16:53 news|news||"_s;
        QTest::newRow("DOS style") << u"02-18-22  03:14PM  1234 b.txt|b.txt||"_s;
    }
    void listingFacts() {
        QFETCH(QString, row);
        const QStringList f = row.split(u'|');
        const auto facts = frmExplorer::ParseListing(f[0] + u"\r\n"_s).value(f[1]);
        QCOMPARE(facts.size + u'|' + facts.modified, f[2] + u'|' + f[3]);
    }

    void editorsWindowClosingQuestion() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"external editors.ini"_s);
        QVERIFY(writeLocal(file, "A\r\n/bin/a\r\n"));
        frmExternalEditors w(file);
        w.show();
        w.txtExternalEditors->setPlainText(u"changed"_s);
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        dlg->answer(Dialogs::No);
        QVERIFY(w.close());
        QCOMPARE(readLocal(file), "A\r\n/bin/a\r\n"_ba);
    }

    void editorWindowPreviewDiscardAndSend() {
        InstallEditWindow();
        RecordingDesktopServices desktop;
        frmExplorer w;
        w.Do_ShowWebPage();
        clickFolder(w, u"news/"_s);
        clickEntry(w, u"index.html"_s);
        // The host's listing gives each file its size and time.
        ExplorerFileModel& files = w.explorer().files();
        QCOMPARE(files.columnText(u"index.html"_s, QLatin1String(frmExplorer::kSizeColumn)), u"27 bytes"_s);
        QVERIFY(!files.columnText(u"index.html"_s, QLatin1String(frmExplorer::kModifiedColumn)).isEmpty());
        // Preview writes the text; Discard then closes without a question and leaves the host alone.
        whenModal<frmEdit>([this](frmEdit* edit) {
            QCOMPARE(edit->windowTitle(), u"news/index.html - KRtp Text Editor"_s);
            QCOMPARE(edit->txtEdit->toPlainText(), u"<h1>News</h1>\n<p>First</p>\n"_s);
            edit->txtEdit->setPlainText(u"<h1>Preview</h1>"_s);
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), u"Back to Edit Mode"_s);
            QVERIFY(edit->webPreview->isVisible() && edit->txtEdit->isHidden());
            QCOMPARE(edit->webPreview->address(), QUrl::fromLocalFile(fx.mirror(u"news/index.html"_s)));
            QCOMPARE(readLocal(fx.mirror(u"news/index.html"_s)), "<h1>Preview</h1>"_ba);
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), u"Preview"_s);
            edit->cmdPreviewInRegisteredApplication->click();
            edit->cmdDiscard->click();
        });
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\n<p>First</p>\n"_ba);
        QCOMPARE(desktop.calls, QStringList{"open " + fx.mirror(u"news/index.html"_s)});
        // The close box asks; Cancel keeps the editor, the next close asks again; Send to Server sends.
        whenModal<frmEdit>([this](frmEdit* edit) {
            edit->txtEdit->setPlainText(u"<h1>News</h1>\n<p>Second</p>\n"_s);
            dlg->answer(Dialogs::Cancel);
            QVERIFY(!edit->close());
            QVERIFY(edit->isVisible());
            QCOMPARE(dlg->lastText(), u"Send changes to server?"_s);
            edit->cmdSendToServer->click();
            QTRY_VERIFY(edit->isHidden());
        });
        w.mnuActionEdit->trigger();
        QCOMPARE(fx.host.read(u"news/index.html"_s), "<h1>News</h1>\r\n<p>Second</p>\r\n"_ba);
        QCOMPARE(w.statusText(), u"Sent index.html"_s);
        QVERIFY(w.isEnabled());
        // Too large: the message, no editor.
        fx.host.write(u"news/index.html"_s, QByteArray(30000, 'x'));
        w.cmdOpenEdit->click();
        QCOMPARE(dlg->lastText(), u"This file is too large to edit with the KRtp internal editor."_s);
        QVERIFY(!QApplication::activeModalWidget());
        w.close();
    }

    // The box shows a lone CR and a CR CR LF as line breaks of their own; sent unchanged, the page
    // keeps its bytes. A close that comes while the text is on its way waits for the server.
    void editorWindowKeepsAnUntouchedTextAndWaitsToClose() {
        InstallEditWindow();
        const QByteArray page = "<p>a</p>\r\r\n<p>b</p>\r<p>c</p>\r\n";
        fx.host.write(u"news/index.html"_s, page);
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closedWhileSending = true;
        whenModal<frmEdit>([&](frmEdit* edit) {
            fx.host.setFaults("{\"latency_ms\": 150}");
            // Wait: the text still goes to the host, then the window closes.
            dlg->answer(Dialogs::No);
            QTimer::singleShot(100, edit,
                               [&closedWhileSending, edit] { closedWhileSending = edit->close(); });
            edit->cmdSendToServer->click();
            QTRY_VERIFY_WITH_TIMEOUT(edit->isHidden(), 20000);
        });
        QVERIFY(EditFile(u"news/index.html"_s));
        QVERIFY(!closedWhileSending);
        QCOMPARE(dlg->texts(), QStringList{"Wait for the transfer to finish, or cancel it?"});
        QVERIFY(dlg->unexpected().isEmpty());
        QCOMPARE(fx.host.read(u"news/index.html"_s), page);
        QCOMPARE(fx.host.read(u"news/index.html.backup"_s), page);
    }

    void busyWindowShowsProgressAndCancels() {
        // A host that moves 20 MB a second, so a 50 MB transfer is still running when it is cancelled.
        LoopbackHost slow;
        slow.setThrottle(20 * 1024 * 1024);
        QVERIFY(slow.start());
        const auto restore = qScopeGuard([this] { fx.host.exportEnvironment(); });
        const qint64 size = 50LL * 1024 * 1024;
        slow.write(u"big.bin"_s, QByteArray(size, 'n'));
        QVERIFY(writeLocal(fx.mirror(u"big.bin"_s), "previous local copy"));
        const QStringList pair{"a.bin", "b.bin"};
        const qint64 pairSize = 4096;
        for (const QString& name : pair) {
            slow.write(name, QByteArray(pairSize, 'n'));
            QVERIFY(writeLocal(fx.mirror(name), "previous local copy"));
        }
        SiteFixture::login(u"Velmar"_s, LevelAdministrator);
        frmExplorer w;
        w.Do_ShowWebPage();
        QStringList seen;
        bool disabledMeanwhile = false;
        connect(w.inet, &TransferControl::progress, &w, [&](qint64 done, qint64) {
            if (done <= 0 || !w.prgTransfer->isVisible() || !w.prgTransfer->cmdCancel->isEnabled())
                return;
            seen << w.prgTransfer->lblTransfer->text();
            disabledMeanwhile = !w.centralWidget()->isEnabled() && w.prgTransfer->isEnabledTo(&w);
            w.prgTransfer->cmdCancel->click();
        });
        // One progress line, starting and holding as given, was shown and cancelled.
        const auto cancelledAt = [&](const QString& start, const QString& part) {
            QCOMPARE(seen.size(), 1);
            QVERIFY2(seen.first().startsWith(start) && seen.first().contains(part), qPrintable(seen.first()));
            QCOMPARE(dlg->lastText(), u"The command was cancelled."_s);
            seen.clear();
        };
        QElapsedTimer clock;
        clock.start();
        w.explorer().files().setSelected(u"big.bin"_s, true);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        cancelledAt(u"Downloading big.bin: "_s, u"/s"_s);
        QVERIFY(disabledMeanwhile);
        QCOMPARE(w.statusText(), u"Download cancelled"_s);
        QCOMPARE(readLocal(fx.mirror(u"big.bin"_s)), "previous local copy"_ba);
        QCOMPARE(w.explorer().files().find(u"big.bin"_s)->smallIconKey, u"filedownload"_s);
        QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        // The upload: the host keeps its copy.
        QVERIFY(writeLocal(fx.mirror(u"big.bin"_s), QByteArray(size, 'l')));
        dlg->answer(Dialogs::Ok);
        w.cmdUploadFile->click();
        cancelledAt(u"Uploading big.bin: "_s, u" of 50.0 MB"_s);
        QCOMPARE(slow.read(u"big.bin"_s), QByteArray(size, 'n'));
        // A new file: the host is left without it.
        const QString fresh = fx.local->filePath(u"fresh.bin"_s);
        QVERIFY(writeLocal(fresh, QByteArray(size, 'f')));
        QVERIFY(!w.actions().AddFiles({fresh}));
        cancelledAt(QString(), QString());
        QVERIFY(!slow.exists(u"fresh.bin"_s));
        QVERIFY(!w.explorer().files().contains(u"fresh.bin"_s));

        // Two files over two connections: one line for both, and its Cancel stops both while they
        // are under way (every reply comes late); each keeps its previous copy, and the cancel is told
        // once.
        w.actions().setParallelTransfers(4);
        slow.setFaults(R"({"latency_ms": 100})");
        connect(&w.actions().pool(), &TransferPool::started, &w, [&] {
            QTimer::singleShot(250, &w, [&] {
                if (w.prgTransfer->isVisible() && w.prgTransfer->cmdCancel->isEnabled())
                    seen << w.prgTransfer->lblTransfer->text();
                w.prgTransfer->cmdCancel->click();
            });
        });
        w.explorer().files().setAllSelected(false);
        for (const QString& name : pair)
            w.explorer().files().setSelected(name, true);
        for (bool down : {true, false}) {
            dlg->clear();
            dlg->answer(Dialogs::Ok);
            if (!down)
                for (const QString& name : pair)
                    QVERIFY(writeLocal(fx.mirror(name), QByteArray(pairSize, 'l')));
            (down ? w.cmdDownload : w.cmdUploadFile)->click();
            QCOMPARE(seen, QStringList{"Transferring 0 of 2 files: 0 bytes"});
            seen.clear();
            QCOMPARE(dlg->texts().mid(1), QStringList{"The command was cancelled."});
            QCOMPARE(w.statusText(),
                     (down ? u"Download"_s : u"Upload"_s) + u" cancelled; left as they were: a.bin, b.bin"_s);
            for (const QString& name : pair) {
                QCOMPARE(slow.read(name), QByteArray(pairSize, 'n'));
                if (down)
                    QCOMPARE(readLocal(fx.mirror(name)), "previous local copy"_ba);
            }
            QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        }
        QVERIFY2(clock.elapsed() < 20000, "a cancelled transfer ran on");
        w.close();
    }
};

KRTP_TEST_MAIN_GUI(TestSiteWindows)
#include "tst_sitewindows.moc"
