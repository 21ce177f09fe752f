// The windows of the store's smaller actions on the file list window: selection in every view style,
// the Actions menu and its owner rules, the add window, the administrator's edit window and the
// companion lists.
#define KRTP_STORE_WINDOW_TEST
#include "app/gui/frmoptions.h"
#include "filestore/addfiles.h"
#include "filestore/gui/frmhistory.h"
#include "storetestutil.h"
#include "testmain.h"
#include "util/fileutil.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QSpinBox>
#include <QTextEdit>
#include <QTreeWidget>

using namespace krtp;
using namespace krtp::test;

class TestStoreWindows : public QObject {
    Q_OBJECT
    StoreFixture fx;
    WindowHarness dlg;

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.resetLocal();
        runState().UserLevel = LevelFullAccess;
        runState().CurrentUserName = QStringLiteral("Dovrin");
        dlg.init();
    }
    void cleanup() { QVERIFY(dlg.done()); }

    // In every view style (large and small icons, list, details) the view and the model agree on the
    // selection both ways, and the operation acts on it.
    void clickedEntryIsTheSelectionInEveryViewStyle() {
        fx.setCatalogue(
            catalogue({catalogueLine("a.txt", 2), catalogueLine("b.txt", 2), catalogueLine("c.txt", 2)}));
        for (const char* n : {"b.txt", "c.txt"})
            fx.host.write(QStringLiteral("krg/") + QLatin1String(n), QByteArray("server ") + n);
        frmFileList w;
        w.resize(800, 500);
        QVERIFY(showAndRebuild(w));
        for (int style = 0; style < 4; ++style) {
            w.setViewStyle(style);
            QVERIFY(w.UpdateFileList());
            clickEntry(w, QStringLiteral("b.txt"));
            QCOMPARE(w.model().selectedCount(), 1);
            QVERIFY(w.model().find(QStringLiteral("b.txt"))->selected);
            QCOMPARE(w.currentKey(), QStringLiteral("b.txt"));
            clickEntry(w, QStringLiteral("c.txt"), Qt::ControlModifier);
            control<QToolButton>(w, "cmdGetLatestVersion")->click();
            QCOMPARE(w.operations().lastReport().done, (QStringList{"b.txt", "c.txt"}));
            QAbstractItemView* view = control<FileListView>(w, "lvwFileList")->currentView();
            w.model().setSelected(QStringLiteral("a.txt"), true);
            QVERIFY(view->selectionModel()->isSelected(
                w.model().index(w.model().rowOf(QStringLiteral("a.txt")), 0)));
            view->clearSelection();
            QCOMPARE(w.model().selectedCount(), 0);
        }
        QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
    }

    void actionsMenuFollowsTheOwnerRules() {
        fx.setCatalogue(
            catalogue({catalogueLine("mine.txt", 1, "", "dovrin"), catalogueLine("free.txt", 1),
                       catalogueLine("theirs.txt", 1, "", "Bren"), catalogueLine("gone.txt", 1)}));
        for (const char* n : {"mine.txt", "free.txt", "theirs.txt"})
            QVERIFY(writeLocal(QLatin1String(n), n));
        SetFileReadOnly(QStringLiteral("theirs.txt"), true, true);
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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
        clickEntry(w, QStringLiteral("theirs.txt"), {}, Qt::RightButton);
        QAbstractItemView* view = control<FileListView>(w, "lvwFileList")->currentView();
        const QPoint at =
            view->visualRect(w.model().index(w.model().rowOf(QStringLiteral("theirs.txt")), 0)).center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &menuEvent);
        QTRY_VERIFY(actions->isVisible());
        QCOMPARE(actions->defaultAction(), control<QAction>(w, "mnuActionsOpenFile"));
        QCOMPARE(state(), QStringLiteral("E---R"));
        actions->hide();
        QVERIFY(!actions->defaultAction());
        // The Read Only entry switches the local copy.
        readOnly->trigger();
        QVERIFY(!IsFileReadOnly(QStringLiteral("theirs.txt")));
    }

    void localFolderIsKeptWhileAFileIsCheckedOut() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "dovrin"), catalogueLine("b.txt", 1, "Bren")}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        int asked = 0;
        w.chooseLocalFolder = [&] { ++asked; };
        w.UpdateOpeners();
        // Recorded in another letter case, the check-out is still the member's.
        control<QAction>(w, "mnuFileSetLocalFolder")->trigger();
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("You still have files checked out")});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok);
        QCOMPARE(asked, 0);
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1, "Bren")}));
        QVERIFY(w.UpdateFileList());
        control<QToolButton>(w, "cmdSetLocalFolder")->click();
        QCOMPARE(asked, 1);
    }

    void addWindow() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        for (const char* n : {"A.TXT", "new.txt", "hide.txt", "delete.txt", "a.txt.backup"})
            QVERIFY(writeLocal(QLatin1String(n), n));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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
            QCOMPARE(lblHidden->text(), QStringLiteral("files added to _hidden.txt"));
            QVERIFY(!lblHidden->isHidden());
            QCOMPARE(names(), (QStringList{"delete.txt", "new.txt"}));
            dlg->answer(Dialogs::No);
            press("delete.txt", "cmdDeleteFiles");
            QVERIFY(QFile::exists(QStringLiteral("delete.txt")));
            dlg->answer(Dialogs::Yes);
            press("delete.txt", "cmdDeleteFiles");
            QCOMPARE(dlg->lastText(), addfiles::DeleteQuestion());
            QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Critical);
            QVERIFY(!QFile::exists(QStringLiteral("delete.txt")));
            QCOMPARE(lblHidden->text(), QStringLiteral("files deleted from local drive"));
            dlg->answerText(QStringLiteral("A new file"));
            press("new.txt", "cmdAdd");
            QVERIFY(names().isEmpty());
            control<QPushButton>(*add, "cmdClose")->click();
        });
        control<QToolButton>(w, "cmdAddFile")->click();
        QVERIFY(checked);
        QCOMPARE(fx.host.read(QStringLiteral("krg/new.txt")), QByteArray("new.txt"));
        QVERIFY(w.model().contains(QStringLiteral("new.txt")));
        // A Read Only member is refused and sees no window.
        runState().UserLevel = LevelReadOnly;
        control<QAction>(w, "mnuFileAddFiles")->trigger();
        QCOMPARE(dlg->lastText(), QStringLiteral("Sorry, you do not have access to that feature."));
    }

    void editWindow() {
        runState().UserLevel = LevelAdministrator;
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 2, "Bren", "Cara", "Old", "Cara: first")}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        // Without a current entry Apply is off.
        WindowHarness::whenShown(&w, "frmEditFileDetails", [&](QWidget* edit) {
            QVERIFY(!control<QPushButton>(*edit, "cmdApply")->isEnabled());
            control<QPushButton>(*edit, "cmdClose")->click();
        });
        w.EditFileDetails();
        w.model().setSelected(QStringLiteral("a.txt"), true);
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
            control<QLineEdit>(*edit, "txtFileDescription")->setText(QStringLiteral("New \"one\""));
            control<QLineEdit>(*edit, "txtLocalVersion")->setText(QStringLiteral("2"));
            control<QPushButton>(*edit, "cmdApply")->click();
        });
        control<QAction>(w, "mnuActionsEditFileDetails")->trigger();
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("a.txt", 2, "", "Cara", "New 'one'", "Cara: first")}));
        QCOMPARE(settingsStore().fileVersion(QStringLiteral("a.txt")), QStringLiteral("2"));
        QCOMPARE(w.model().columnText(QStringLiteral("a.txt"), QStringLiteral("desc")),
                 QStringLiteral("New 'one'"));
    }

    void checkedOutListChecksInTheTickedFiles() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1, "Dovrin"), catalogueLine("b.txt", 1, "Dovrin"),
                                   catalogueLine("c.txt", 1, "dovrin")}));
        for (const char* n : {"a.txt", "b.txt", "c.txt"}) {
            fx.host.write(QStringLiteral("krg/") + QLatin1String(n), "old");
            QVERIFY(writeLocal(QLatin1String(n), QByteArray("new ") + n));
            settingsStore().setFileVersion(QLatin1String(n), QStringLiteral("1"));
        }
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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
            control<QLineEdit>(*checkIn, "txtComments")->setText(QStringLiteral("halfway"));
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
        QCOMPARE(fx.host.read(QStringLiteral("krg/b.txt")), QByteArray("new b.txt"));
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",3,\"\""));
        // The out-of-date list takes the files whose versions differ; Escape closes it, as any small list.
        settingsStore().setFileVersion(QStringLiteral("c.txt"), QStringLiteral("0"));
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
        fx.setCatalogue(
            catalogue({catalogueLine("t.txt", 3, "", "Cara"), catalogueLine("b.bin", 2, "", "Cara")}));
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
            fx.host.write(QStringLiteral("krg/") + QLatin1String(file), bytes);
        frmFileList w;
        QVERIFY(showAndRebuild(w));
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
        QCOMPARE(h->lvwVersions->topLevelItem(0)->text(0), QStringLiteral("3"));
        QCOMPARE(h->lvwVersions->topLevelItem(2)->text(4), QStringLiteral("*new file*"));
        press(h, {2}, h->cmdView);
        QCOMPARE(h->txtShow->toPlainText(), QStringLiteral("line one\nline two\n"));
        // Versions 1 and 3 side by side: the changed lines, coloured.
        press(h, {0, 2}, h->cmdCompare);
        QCOMPARE(h->txtShow->toPlainText(), QStringLiteral("--- t.txt (version 1)\n+++ t.txt (version 3)\n"
                                                           "@@ -1,2 +1,3 @@\n line one\n-line two\n+line 2\n"
                                                           "+line three\n"));
        QVERIFY(h->txtShow->toHtml().contains(QStringLiteral("#f8d4d4")));
        QVERIFY(h->txtShow->toHtml().contains(QStringLiteral("#d8f5d0")));
        // Save As writes the version where the member says.
        dlg->answerText(fx.localPath(QStringLiteral("saved.txt")));
        press(h, {1}, h->cmdSaveAs);
        QCOMPARE(readLocal(fx.localPath(QStringLiteral("saved.txt"))), QByteArray("line one\r\nline 2\r\n"));
        // Restore: version 1 becomes version 4.
        dlg->answerText(QStringLiteral("back"));
        press(h, {2}, h->cmdRestore);
        QVERIFY(fx.hostCatalogue().contains(
            "\"t.txt\",4,\"\",\"Cara\",\"\",\"Dovrin: Restored version 1: back\""));
        QCOMPARE(h->lvwVersions->topLevelItemCount(), 4);
        QCOMPARE(fx.host.read(QStringLiteral("krg/_history/t.txt.v3")), v3);
        h->close();
        // A binary file is compared by size and hash, not line by line.
        h = open("b.bin");
        QVERIFY(h);
        press(h, {0, 1}, h->cmdCompare);
        QVERIFY(h->txtShow->toPlainText().startsWith(QStringLiteral(
            "Binary files b.bin (version 1) and b.bin (version 2) differ\nb.bin (version 1): 4 bytes, "
            "SHA-256 ")));
        h->close();
        // Administrators alone set the site's depth, in the options window.
        frmOptions* o = frmOptions::ShowOptions(w);
        QVERIFY(!o->findChild<QSpinBox*>(QStringLiteral("txtHistoryDepth")));
        o->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        runState().UserLevel = LevelAdministrator;
        o = frmOptions::ShowOptions(w);
        auto* depth = control<QSpinBox>(*o, "txtHistoryDepth");
        QCOMPARE(depth->value(), 20);
        depth->setValue(3);
        o->close();
        QCOMPARE(fx.host.read(QStringLiteral("krg/_history/depth.txt")), QByteArray("3\r\n"));
    }

    void fileListKeepsItselfCurrent() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1), catalogueLine("b.txt", 1)}));
        frmFileList w;
        QVERIFY(showAndRebuild(w));
        QVERIFY(!w.CheckForChanges()); // the first look only notes how the catalogue stands
        QVERIFY(!w.CheckForChanges());
        // Another member checks a file in.
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 2, "", "", "", "Bren: new links"),
                                   catalogueLine("b.txt", 1), catalogueLine("c.txt", 1)}));
        QVERIFY(w.CheckForChanges());
        QCOMPARE(w.model().columnText(QStringLiteral("a.txt"), QLatin1String(columns::kVer)),
                 QStringLiteral("2"));
        QCOMPARE(w.statusText(), QStringLiteral("Bren checked in a.txt (version 2); c.txt was added"));
        QVERIFY(!w.CheckForChanges());
        // Turned off: nothing is looked at.
        settingsStore().set(settings::WatchFileList, QStringLiteral("No"));
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 3), catalogueLine("b.txt", 1)}));
        QVERIFY(!w.CheckForChanges());
    }
};

KRTP_TEST_MAIN_GUI(TestStoreWindows)
#include "tst_storewindows.moc"
