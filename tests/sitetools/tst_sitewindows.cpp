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

namespace {

// Runs fn on the next modal window once it is up. The check runs from the event loop, so whatever
// the caller waits for (a download before the window opens) goes on meanwhile. A window that fn
// leaves open (a failed check) is hidden, which ends its modal loop, so a failure never waits for
// the test's time limit.
void whenModal(std::function<void(QWidget*)> fn) {
    auto* timer = new QTimer;
    const QDeadlineTimer deadline(20000);
    QObject::connect(timer, &QTimer::timeout, [timer, fn, deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired())
            return;
        timer->stop();
        timer->deleteLater();
        QVERIFY2(modal, "no modal window came up");
        QPointer<QWidget> window = modal;
        fn(modal);
        if (window && window->isVisible())
            window->hide();
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
    }
    void cleanup() { QVERIFY(dlg.done()); }

    void openingForARestrictedMemberAndOnce() {
        SiteFixture::login(QStringLiteral("Bob"), LevelFullAccess);
        QPointer<frmExplorer> w = frmExplorer::ShowWebPage();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Norrow Eternal Web Page"));
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->text(0), QStringLiteral("VelmarFTP"));
        QCOMPARE(w->tvwExplorer->topLevelItem(0)->childCount(), 2);
        QVERIFY(!w->cmdAddFilesToServer->isEnabled() && !w->cmdDeleteFile->isEnabled());
        clickFolder(*w, QStringLiteral("news/"));
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
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        frmExplorer w;
        w.Do_ShowWebPage();
        QCOMPARE(w.tvwExplorer->topLevelItem(0)->childCount(), 6);
        QStringList titles;
        connect(&w, &QWidget::windowTitleChanged, &w, [&](const QString& t) { titles << t; });
        clickFolder(w, QStringLiteral("news/"));
        QVERIFY2(titles.contains(QStringLiteral("KRtp - Sending Request to Host")) &&
                     titles.last() == QStringLiteral("KRtp - Transfer Complete"),
                 qPrintable(titles.join(QLatin1Char('|'))));
        clickFolder(w, QStringLiteral("news/old/"));
        QCOMPARE(fileNames(w.explorer()), QStringList{"2024.html"});
        clickFolder(w, QStringLiteral("news/"));
        QCOMPARE(w.treeItem(QStringLiteral("news/"))->childCount(), 1);
        QVERIFY(w.cmdDeleteFile->isEnabled() && w.cmdAddFilesToServer->isEnabled());
        // Selection goes both ways between the list and the model.
        clickEntry(w, QStringLiteral("index.html"));
        QCOMPARE(w.explorer().files().selectedKeys(), QStringList{"index.html"});
        clickFolder(w, QString());
        w.cmdSelectAll->click();
        QCOMPARE(w.lvwExplorer->selectionModel()->selectedIndexes().size(), 3);
        // The menu's shortcuts work on the window.
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.explorer().files().setAllSelected(false);
        QTest::keyClick(&w, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("No Files are Selected.  Please select the files to download."));
        QTest::keyClick(&w, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("No Files are Selected.  Please select the files to upload."));
        QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("No Files are Selected.  Please select the files to delete."));
        // The folder menu, full access only.
        dlg->answerText(QStringLiteral("drafts"));
        w.mnuFoldersNew->trigger();
        QVERIFY(w.treeItem(QStringLiteral("drafts/")));
        QVERIFY(QFileInfo(fx.host.path(QStringLiteral("drafts"))).isDir());
        w.close();
    }

    void previewAndIcons() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("index.html")), "<p>local</p>"));
        frmExplorer w;
        w.Do_ShowWebPage();
        clickEntry(w, QStringLiteral("index.html"));
        QCOMPARE(w.webPreview->address(), QUrl::fromLocalFile(fx.mirror(QStringLiteral("index.html"))));
        clickEntry(w, QStringLiteral("style.css"));
        QCOMPARE(w.webPreview->address(), QUrl(QStringLiteral("about:blank")));
        // Hidden pane: the preview stays, the icon still follows the disk.
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isHidden() && w.picResize2->isHidden());
        QVERIFY(QFile::remove(fx.mirror(QStringLiteral("index.html"))));
        QCOMPARE(w.explorer().files().find(QStringLiteral("index.html"))->smallIconKey,
                 QStringLiteral("file"));
        clickEntry(w, QStringLiteral("index.html"));
        QCOMPARE(w.webPreview->address(), QUrl(QStringLiteral("about:blank")));
        QCOMPARE(w.explorer().files().find(QStringLiteral("index.html"))->smallIconKey,
                 QStringLiteral("filenotfound"));
        w.cmdPreviewPAne->click();
        QVERIFY(w.picPreview->isVisible());
        w.close();
    }

    void statusLineTellsTheOutcome() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        RecordingDesktopServices desktop;
        frmExplorer w;
        w.Do_ShowWebPage();
        QCOMPARE(w.statusText(), QStringLiteral("/: 3 files"));
        // The host no longer has one of the two files: the first comes down, the second is refused.
        QVERIFY(QFile::remove(fx.host.path(QStringLiteral("style.css"))));
        clickEntry(w, QStringLiteral("index.html"));
        clickEntry(w, QStringLiteral("style.css"), Qt::ControlModifier);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        QCOMPARE(dlg->lastText(), QStringLiteral("550 No such file or directory."));
        QCOMPARE(w.statusText(),
                 QStringLiteral("Downloaded index.html; stopped: 550 No such file or directory."));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("index.html"))),
                 QByteArray("<html><body>Home</body></html>\r\n"));
        QVERIFY(w.centralWidget()->isEnabled());

        struct Case {
            const char* what;
            std::function<void()> act;
            QString status;
        };
        const QString folder = runState().LocalFolder + QStringLiteral("VelmarFTP");
        const Case cases[] = {
            {"select all", [&] { w.actSelectAll->trigger(); }, QStringLiteral("Selected 3 files")},
            {"nothing selected",
             [&] {
                 w.explorer().files().setAllSelected(false);
                 w.cmdDeleteFile->click();
             },
             QStringLiteral(
                 "Delete from the server refused: No Files are Selected.  Please select the files to "
                 "delete.")},
            {"declined question",
             [&] {
                 w.explorer().files().setSelected(QStringLiteral("index.html"), true);
                 dlg->answer(Dialogs::Cancel);
                 w.cmdDeleteLocal->click();
             },
             QStringLiteral("Delete of the local copy cancelled")},
            {"name with a space", [&] { w.actions().NewFile(QStringLiteral("my page.html")); },
             QStringLiteral("New file: skipped my page.html, spaces are not allowed in file names")},
            {"file manager", [&] { w.cmdExplorer->click(); },
             QStringLiteral("Opened ") + folder + QStringLiteral(" in the file manager")},
            {"no file manager",
             [&] {
                 desktop.result = false;
                 w.cmdExplorer->click();
             },
             QStringLiteral("The file manager could not be started for ") + folder +
                 QStringLiteral(": no file manager is set up on this desktop")},
        };
        for (const Case& c : cases) {
            c.act();
            QCOMPARE(w.statusText(), c.status);
            QVERIFY2(w.statusText() == w.actions().lastOutcome(), c.what);
        }
        QCOMPARE(desktop.calls, QStringList(2, QStringLiteral("files ") + folder));
        w.close();
    }

    void remembersLayoutAcrossReopen() {
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
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
        const QString section = WindowMemory::sectionFor(QStringLiteral("frmExplorer"));
        QVERIFY(ini.childGroups().contains(section));
        ini.beginGroup(section);
        for (const char* key : {"Geometry", "State", "TreeWidth", "PreviewWidth", "PreviewPane"})
            QVERIFY2(ini.childKeys().contains(QLatin1String(key)), key);
        ini.endGroup();

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
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        QTemporaryDir programs;
        const QString one = programs.filePath(QStringLiteral("one"));
        QVERIFY(writeLocal(one, "#!/bin/sh\n"));
        runState().ExternalEditorsFile = programs.filePath(QStringLiteral("external editors.ini"));
        QVERIFY(writeLocal(runState().ExternalEditorsFile, "One\r\n" + one.toUtf8() +
                                                               "\r\nTwo\r\n/nowhere/two\r\n"
                                                               "Three\r\n\"" +
                                                               one.toUtf8() + "\"\r\n"));
        frmExplorer w;
        w.Do_ShowWebPage();
        QStringList captions;
        for (QAction* a : w.mnuActionExternalEditor)
            captions << a->text() + (a->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
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
        clickEntry(w, QStringLiteral("index.html"));
        const QModelIndex index = w.explorer().files().index(0, 0);
        QTest::mouseRelease(w.lvwExplorer->viewport(), Qt::RightButton, {},
                            w.lvwExplorer->visualRect(index).center());
        QTRY_VERIFY(w.mnuAction->isVisible());
        QVERIFY(w.mnuActionDownload->isVisible() && w.mnuActionDeleteLocal->isVisible());
        QCOMPARE(w.mnuAction->defaultAction(), w.mnuActionEdit);
        w.mnuAction->close();
        // Configuring: the list shortened to one editor leaves one visible entry.
        whenModal([](QWidget* window) {
            auto* editors = qobject_cast<frmExternalEditors*>(window);
            QVERIFY(editors);
            QCOMPARE(editors->windowTitle(), QStringLiteral("Configure External Editors"));
            QVERIFY(editors->txtExternalEditors->toPlainText().startsWith(QLatin1String("One\n")));
            editors->txtExternalEditors->setPlainText(QStringLiteral("Only\n/nowhere/only"));
            editors->close();
        });
        dlg->answer(Dialogs::Yes);
        w.mnuActionConfigure->trigger();
        QCOMPARE(dlg->lastText(), QStringLiteral("Save Changes?"));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(readLocal(runState().ExternalEditorsFile), QByteArray("Only\r\n/nowhere/only"));
        int visible = 0;
        for (QAction* a : w.mnuActionExternalEditor)
            visible += a->isVisible() ? 1 : 0;
        QCOMPARE(visible, 2);
        QCOMPARE(w.mnuActionExternalEditor[1]->text(), QStringLiteral("Only - FILE NOT FOUND"));
        w.close();
    }

    void listingFacts_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("modified");
        QTest::newRow("this year") << "-rw-r--r--   1 velmar   team       2048 Dec 07 16:53 my page.html"
                                   << "my page.html"
                                   << "2 KB"
                                   << "Dec 07 16:53";
        QTest::newRow("older") << "-rw-r--r-- 1 velmar team 12 Jan  3  2024 a.txt"
                               << "a.txt"
                               << "12 bytes"
                               << "Jan 3 2024";
        QTest::newRow("folder") << "drwxr-xr-x 2 velmar team 4096 Dec 07 16:53 news"
                                << "news"
                                << ""
                                << "";
        QTest::newRow("DOS style") << "02-18-22  03:14PM  1234 b.txt"
                                   << "b.txt"
                                   << ""
                                   << "";
    }
    void listingFacts() {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QFETCH(QString, size);
        QFETCH(QString, modified);
        const auto facts = frmExplorer::ParseListing(line + QStringLiteral("\r\n"));
        QCOMPARE(facts.value(name).size, size);
        QCOMPARE(facts.value(name).modified, modified);
    }

    void editorsWindowClosingQuestion() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("external editors.ini"));
        QVERIFY(writeLocal(file, "A\r\n/bin/a\r\n"));
        frmExternalEditors w(file);
        w.show();
        w.txtExternalEditors->setPlainText(QStringLiteral("changed"));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        dlg->answer(Dialogs::No);
        QVERIFY(w.close());
        QCOMPARE(readLocal(file), QByteArray("A\r\n/bin/a\r\n"));
    }

    void editorWindowPreviewDiscardAndSend() {
        InstallEditWindow();
        RecordingDesktopServices desktop;
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        frmExplorer w;
        w.Do_ShowWebPage();
        clickFolder(w, QStringLiteral("news/"));
        clickEntry(w, QStringLiteral("index.html"));
        // The host's listing gives each file its size and time.
        ExplorerFileModel& files = w.explorer().files();
        QCOMPARE(files.columnText(QStringLiteral("index.html"), QLatin1String(frmExplorer::kSizeColumn)),
                 QStringLiteral("27 bytes"));
        QVERIFY(!files.columnText(QStringLiteral("index.html"), QLatin1String(frmExplorer::kModifiedColumn))
                     .isEmpty());
        // Preview writes the text; Discard then closes without a question and leaves the host alone.
        whenModal([this](QWidget* window) {
            auto* edit = qobject_cast<frmEdit*>(window);
            QVERIFY(edit);
            QCOMPARE(edit->windowTitle(), QStringLiteral("news/index.html - KRtp Text Editor"));
            QCOMPARE(edit->txtEdit->toPlainText(), QStringLiteral("<h1>News</h1>\n<p>First</p>\n"));
            edit->txtEdit->setPlainText(QStringLiteral("<h1>Preview</h1>"));
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), QStringLiteral("Back to Edit Mode"));
            QVERIFY(edit->webPreview->isVisible() && edit->txtEdit->isHidden());
            QCOMPARE(edit->webPreview->address(),
                     QUrl::fromLocalFile(fx.mirror(QStringLiteral("news/index.html"))));
            QCOMPARE(readLocal(fx.mirror(QStringLiteral("news/index.html"))), QByteArray("<h1>Preview</h1>"));
            edit->cmdPreview->click();
            QCOMPARE(edit->cmdPreview->text(), QStringLiteral("Preview"));
            edit->cmdPreviewInRegisteredApplication->click();
            edit->cmdDiscard->click();
        });
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html")),
                 QByteArray("<h1>News</h1>\n<p>First</p>\n"));
        QCOMPARE(desktop.calls, QStringList{"open " + fx.mirror(QStringLiteral("news/index.html"))});
        // The close box asks; Cancel keeps the editor, the next close asks again; Send to Server sends.
        whenModal([this](QWidget* window) {
            auto* edit = qobject_cast<frmEdit*>(window);
            QVERIFY(edit);
            edit->txtEdit->setPlainText(QStringLiteral("<h1>News</h1>\n<p>Second</p>\n"));
            dlg->answer(Dialogs::Cancel);
            QVERIFY(!edit->close());
            QVERIFY(edit->isVisible());
            QCOMPARE(dlg->lastText(), QStringLiteral("Send changes to server?"));
            edit->cmdSendToServer->click();
            QTRY_VERIFY(edit->isHidden());
        });
        w.mnuActionEdit->trigger();
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html")),
                 QByteArray("<h1>News</h1>\r\n<p>Second</p>\r\n"));
        QCOMPARE(w.statusText(), QStringLiteral("Sent index.html"));
        QVERIFY(w.isEnabled());
        // Too large: the message, no editor.
        fx.host.write(QStringLiteral("news/index.html"), QByteArray(30000, 'x'));
        w.cmdOpenEdit->click();
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("This file is too large to edit with the KRtp internal editor."));
        QVERIFY(!QApplication::activeModalWidget());
        w.close();
    }

    // The box shows a lone CR and a CR CR LF as line breaks of their own; sent unchanged, the page
    // keeps its bytes. A close that comes while the text is on its way waits for the server.
    void editorWindowKeepsAnUntouchedTextAndWaitsToClose() {
        InstallEditWindow();
        SiteFixture::login(QStringLiteral("Cara"), LevelFullAccess);
        const QByteArray page = "<p>a</p>\r\r\n<p>b</p>\r<p>c</p>\r\n";
        fx.host.write(QStringLiteral("news/index.html"), page);
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        bool closedWhileSending = true;
        whenModal([&](QWidget* window) {
            auto* edit = qobject_cast<frmEdit*>(window);
            QVERIFY(edit);
            fx.host.setFaults("{\"latency_ms\": 150}");
            // Wait: the text still goes to the host, then the window closes.
            dlg->answer(Dialogs::No);
            QTimer::singleShot(100, edit,
                               [&closedWhileSending, edit] { closedWhileSending = edit->close(); });
            edit->cmdSendToServer->click();
            QTRY_VERIFY_WITH_TIMEOUT(edit->isHidden(), 20000);
        });
        QVERIFY(EditFile(QStringLiteral("news/index.html")));
        QVERIFY(!closedWhileSending);
        QCOMPARE(dlg->texts(), QStringList{"Wait for the transfer to finish, or cancel it?"});
        QVERIFY(dlg->unexpected().isEmpty());
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html")), page);
        QCOMPARE(fx.host.read(QStringLiteral("news/index.html.backup")), page);
    }

    void busyWindowShowsProgressAndCancels() {
        // A host that moves 20 MB a second, so a 50 MB transfer is still running when it is cancelled.
        LoopbackHost slow;
        slow.setThrottle(20 * 1024 * 1024);
        QVERIFY(slow.start());
        const auto restore = qScopeGuard([this] { fx.host.exportEnvironment(); });
        const qint64 size = 50LL * 1024 * 1024;
        slow.write(QStringLiteral("big.bin"), QByteArray(size, 'n'));
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("big.bin")), "previous local copy"));
        const QStringList pair{"a.bin", "b.bin"};
        const qint64 pairSize = 4096;
        for (const QString& name : pair) {
            slow.write(name, QByteArray(pairSize, 'n'));
            QVERIFY(writeLocal(fx.mirror(name), "previous local copy"));
        }
        SiteFixture::login(QStringLiteral("Velmar"), LevelAdministrator);
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
        QElapsedTimer clock;
        clock.start();
        w.explorer().files().setSelected(QStringLiteral("big.bin"), true);
        dlg->answer(Dialogs::Ok);
        w.cmdDownload->click();
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.first().startsWith(QLatin1String("Downloading big.bin: ")) &&
                     seen.first().contains(QLatin1String("/s")),
                 qPrintable(seen.first()));
        QVERIFY(disabledMeanwhile);
        QCOMPARE(dlg->lastText(), QStringLiteral("The command was cancelled."));
        QCOMPARE(w.statusText(), QStringLiteral("Download cancelled"));
        QCOMPARE(readLocal(fx.mirror(QStringLiteral("big.bin"))), QByteArray("previous local copy"));
        QCOMPARE(w.explorer().files().find(QStringLiteral("big.bin"))->smallIconKey,
                 QStringLiteral("filedownload"));
        QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        // The upload: the host keeps its copy.
        QVERIFY(writeLocal(fx.mirror(QStringLiteral("big.bin")), QByteArray(size, 'l')));
        seen.clear();
        dlg->answer(Dialogs::Ok);
        w.cmdUploadFile->click();
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.first().startsWith(QLatin1String("Uploading big.bin: ")) &&
                     seen.first().contains(QLatin1String(" of 50.0 MB")),
                 qPrintable(seen.first()));
        QCOMPARE(dlg->lastText(), QStringLiteral("The command was cancelled."));
        QCOMPARE(QFileInfo(slow.path(QStringLiteral("big.bin"))).size(), size);
        QCOMPARE(slow.read(QStringLiteral("big.bin")), QByteArray(size, 'n'));
        // A new file: the host is left without it.
        const QString fresh = fx.local->filePath(QStringLiteral("fresh.bin"));
        QVERIFY(writeLocal(fresh, QByteArray(size, 'f')));
        seen.clear();
        QVERIFY(!w.actions().AddFiles({fresh}));
        QCOMPARE(seen.size(), 1);
        QCOMPARE(dlg->lastText(), QStringLiteral("The command was cancelled."));
        QVERIFY(!slow.exists(QStringLiteral("fresh.bin")));
        QVERIFY(!w.explorer().files().contains(QStringLiteral("fresh.bin")));

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
        for (const char* action : {"download", "upload"}) {
            seen.clear();
            dlg->clear();
            dlg->answer(Dialogs::Ok);
            if (action == QByteArray("download")) {
                w.cmdDownload->click();
            } else {
                for (const QString& name : pair)
                    QVERIFY(writeLocal(fx.mirror(name), QByteArray(pairSize, 'l')));
                w.cmdUploadFile->click();
            }
            QCOMPARE(seen.size(), 1);
            QCOMPARE(seen.first(), QStringLiteral("Transferring 0 of 2 files: 0 bytes"));
            QCOMPARE(dlg->texts().mid(1), QStringList{"The command was cancelled."});
            QCOMPARE(w.statusText(),
                     QString::fromLatin1(action == QByteArray("download") ? "Download" : "Upload") +
                         QStringLiteral(" cancelled; left as they were: a.bin, b.bin"));
            for (const QString& name : pair) {
                QCOMPARE(slow.read(name), QByteArray(pairSize, 'n'));
                if (action == QByteArray("download"))
                    QCOMPARE(readLocal(fx.mirror(name)), QByteArray("previous local copy"));
            }
            QVERIFY(w.centralWidget()->isEnabled() && w.prgTransfer->isHidden());
        }
        QVERIFY2(clock.elapsed() < 20000, "a cancelled transfer ran on");
        w.close();
    }
};

KRTP_TEST_MAIN_GUI(TestSiteWindows)
#include "tst_sitewindows.moc"
