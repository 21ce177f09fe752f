#include "config/siteconfig.h"
#include "filestore/filestore.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "storetexts.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

namespace {

const QByteArray kIndex = catalogueLine("index.html", 3, "", "velmar", "Home page", "velmar: links");
const QByteArray kLogo = catalogueLine("Logo.GIF", 2, "brenmoor", "", "The logo", "brenmoor: bigger");
const QByteArray kNotes = catalogueLine("notes.txt", 5, "DOVRIN", "Dovrin", "Notes", "Dovrin: more");

} // namespace

class TestFileStore : public QObject {
    Q_OBJECT
    StoreFixture fx;
    std::unique_ptr<TransferControl> inet;
    std::unique_ptr<FileListModel> list;
    std::unique_ptr<FileStore> store;
    std::unique_ptr<ScriptedDialogs> dlg;
    int closed = 0;
    int ended = 0;

    void makeStore() {
        inet = std::make_unique<TransferControl>();
        inet->configureForSite();
        list = std::make_unique<FileListModel>();
        store = std::make_unique<FileStore>(*inet, *list, settingsStore(), dialogs());
        closed = ended = 0;
        store->closeWindow = [this] { ++closed; };
        store->endProgram = [this] { ++ended; };
    }

    QByteArray localFile(const char* name) const {
        QFile f(fx.localPath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }

    void init() {
        fx.resetLocal();
        dlg = std::make_unique<ScriptedDialogs>();
        makeStore();
    }

    void cleanup() {
        QVERIFY2(dlg->unexpected().isEmpty(), qPrintable(dlg->unexpected().join(QLatin1Char('|'))));
        store.reset();
        list.reset();
        inet.reset();
        dlg.reset();
    }

    void completeReadFillsTheList() {
        fx.setCatalogue(catalogue({kIndex, kLogo, kNotes}));
        settingsStore().setFileVersion(QStringLiteral("INDEX.HTML"), QStringLiteral("3"));
        settingsStore().setFileVersion(QStringLiteral("logo.gif"), QStringLiteral("1"));
        QVERIFY(store->UpdateFileList());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::Complete);
        QCOMPARE(list->count(), 3);
        const ListEntry* logo = list->find(QStringLiteral("logo.gif"));
        QVERIFY(logo);
        QCOMPARE(logo->text, QStringLiteral("Logo.GIF"));
        QStringList shown;
        for (const char* key : {"owner", "ver", "myver", "desc", "comment", "status"})
            shown << logo->columns.value(QLatin1String(key));
        QCOMPARE(shown.join(QLatin1Char('|')), QStringLiteral("brenmoor|2|1|The logo|brenmoor: bigger|old"));
        QCOMPARE(logo->smallIconKey, QStringLiteral("old")); // red circle by default
        QCOMPARE(list->find(QStringLiteral("index.html"))->smallIconKey, QStringLiteral("unlocked"));
        // Checked out by the member in another letter case, never fetched: open, not outdated.
        QCOMPARE(list->find(QStringLiteral("notes.txt"))->columns.value(QStringLiteral("status")),
                 QStringLiteral("open"));
        QCOMPARE(list->find(QStringLiteral("notes.txt"))->smallIconKey, QStringLiteral(".txt"));
        QCOMPARE(store->LastCountOfCheckedOutFiles, 1);
        QCOMPARE(store->LastCountOfOutdatedFiles, 1);
        QVERIFY(list->inputEnabled());
        // The connection is left in the control folder: a listing there finds the catalogue.
        QVERIFY(store->Run(QStringLiteral("ls _files.txt")));
        QVERIFY(store->GetChunkData.contains(QStringLiteral("_files.txt")));
    }

    void shutdownStoresTheViewAndEndsTheSession() {
        fx.setCatalogue(catalogue({kIndex}));
        QVERIFY(store->UpdateFileList());
        list->setViewStyle(FileListModel::List);
        QElapsedTimer timer;
        timer.start();
        store->Shutdown();
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!inet->StillExecuting());
        QCOMPARE(settingsStore().get(settings::CurrentView), QStringLiteral("2"));
        // The session was ended: the next command opens a new connection.
        const int connections = inet->connectionsOpened();
        QVERIFY(store->Run(QStringLiteral("cd /krg")));
        QCOMPARE(inet->connectionsOpened(), connections + 1);
    }

    void brokenCatalogueIsRetriedOnceThenRepairedFromTheBackup_data() {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<QString>("reason");
        QTest::newRow("count") << catalogue({kIndex}, "2.0.5", 2)
                               << QStringLiteral("2 files expected, 1 files found)");
        QTest::newRow("empty") << QByteArray("") << QStringLiteral("file is empty");
        QTest::newRow("line 1 only") << QByteArray("2.0.5\r\n") << QStringLiteral("file is incomplete");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("file not found");
        QTest::newRow("counted empty name") << catalogue({kIndex, catalogueLine("", 1)})
                                            << QStringLiteral("2 files expected, 1 files found)");
    }
    void brokenCatalogueIsRetriedOnceThenRepairedFromTheBackup() {
        QFETCH(QByteArray, broken);
        QFETCH(QString, reason);
        const QByteArray good = catalogue({kIndex, kLogo});
        fx.setCatalogue(broken, good);
        if (broken.isNull())
            QFile::remove(fx.host.path(QStringLiteral("krg/_files.txt")));
        int connectionsAtPrompt = 0;
        dlg->onPrompt(
            [&](const ScriptedDialogs::Record&) { connectionsAtPrompt = inet->connectionsOpened(); });
        dlg->answer(Dialogs::Ok);
        QVERIFY(store->UpdateFileList());
        QCOMPARE(dlg->texts(), QStringList{repairQuestion(reason, runState().LocalFolder)});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok | Dialogs::Cancel);
        QVERIFY(dlg->unexpected().isEmpty());
        // Two fetches (the first read and the retry) before the member is asked.
        QVERIFY(connectionsAtPrompt >= 2);
        QCOMPARE(fx.hostCatalogue(), good);
        QCOMPARE(fx.hostBackup(), good);
        QCOMPARE(list->count(), 2);
        QCOMPARE(ended, 0);
    }

    void cancelOnTheRepairQuestionEndsWithoutFurtherTraffic() {
        const QByteArray broken = catalogue({kIndex}, "2.0.5", 3);
        const QByteArray good = catalogue({kIndex});
        fx.setCatalogue(broken, good);
        int sentAtPrompt = -1;
        dlg->onPrompt([&](const ScriptedDialogs::Record&) { sentAtPrompt = inet->commandsSent(); });
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::Cancelled);
        QCOMPARE(ended, 1);
        QCOMPARE(inet->commandsSent(), sentAtPrompt);
        QCOMPARE(fx.hostCatalogue(), broken);
        QCOMPARE(fx.hostBackup(), good);
    }

    void repairWithoutBackupNeverUploadsLeftovers() {
        // No backup on the host: the repair's download fails, so nothing is sent; asked again, the
        // member cancels. The host's catalogue is untouched.
        const QByteArray broken = catalogue({kIndex}, "2.0.5", 3);
        fx.setCatalogue(broken);
        dlg->answer(Dialogs::Ok);
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(dlg->records().size(), 2);
        QCOMPARE(fx.hostCatalogue(), broken);
        QVERIFY(!fx.host.exists(QStringLiteral("krg/_files.txt.backup")));
    }

    void outdatedProgramClosesTheWindow() {
        fx.setCatalogue(catalogue({kIndex}, "2.0.6"));
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::Outdated);
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "KRtp has been updated to version 2.0.6\r\nYou are currently using "
                                   "version 2.0.5\r\n\r\nPlease get version 2.0.6 from Dovrin.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(closed, 1);
        QCOMPARE(list->count(), 0);
        // Older or equal required versions are accepted, and so is a catalogue without entries.
        for (const QByteArray& accepted :
             {catalogue({kIndex}, "1.9.9"), catalogue({kIndex}, "2"), QByteArray("2.0.5\r\n0\r\n")}) {
            fx.setCatalogue(accepted);
            QVERIFY2(store->UpdateFileList(), accepted.constData());
        }
        QCOMPARE(closed, 1);
        QCOMPARE(list->count(), 0);
        QCOMPARE(dlg->records().size(), 1);
    }

    void namesDifferingInCaseStopTheFill() {
        fx.setCatalogue(catalogue({kIndex, catalogueLine("INDEX.html", 1), kLogo}));
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::FillError);
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(list->count(), 1);
        QVERIFY(!list->inputEnabled());
    }

    void failedFetchKeepsTheList() {
        fx.setCatalogue(catalogue({kIndex, kLogo}));
        QVERIFY(store->UpdateFileList());
        qputenv("KRTP_FTP_HOST", "127.0.0.1:1");
        reloadSiteConfig();
        QVERIFY(!store->UpdateFileList());
        fx.host.exportEnvironment();
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::FetchFailed);
        QCOMPARE(list->count(), 2);
        QCOMPARE(store->LastCountOfOutdatedFiles, 0);
        QCOMPARE(dlg->records().size(), 1); // the transfer layer's error
    }

    // One edit, fetched and saved: what the host holds after it, what the member is told, and the
    // local working copy.
    void singleEdits() {
        const QByteArray before = catalogue({kIndex, kLogo, kNotes});
        const QByteArray marked = "\xEF\xBB\xBF" + before;
        struct Row {
            const char* what;
            CatalogueEdit edit;
            QByteArray host, backup;
            QString told;
            QByteArray start = {}, local = {};
        };
        const Row rows[] = {
            {"add",
             {.name = QStringLiteral("new page.html"),
              .newFile = true,
              .version = 1,
              .controller = QString(),
              .author = QStringLiteral("Dovrin"),
              .description = QStringLiteral("say \"hi\""),
              .comment = QStringLiteral("Dovrin: added")},
             catalogue({kIndex, kLogo, kNotes,
                        catalogueLine("new page.html", 1, "", "Dovrin", "say 'hi'", "Dovrin: added")}),
             before},
            // The working copy stays whole, so a batch cannot upload a cut-off catalogue.
            {"add in another case",
             {.name = QStringLiteral("INDEX.HTML"), .newFile = true, .version = 1},
             before,
             "backup",
             QStringLiteral("Cannot add a file that already exists."),
             {},
             before},
            {"delete missing",
             {.name = QStringLiteral("gone.txt"), .deleteFile = true},
             before,
             "backup",
             QStringLiteral("Cannot delete a file that doesn't exist.")},
            {"delete",
             {.name = QStringLiteral("logo.gif"), .deleteFile = true},
             catalogue({kIndex, kNotes}),
             before},
            {"nothing to change", {.name = QStringLiteral("Logo.gif")}, before, before},
            {"byte order mark", {.name = QStringLiteral("Logo.gif")}, marked, marked, {}, marked},
        };
        for (const Row& r : rows) {
            dlg->clear();
            fx.setCatalogue(r.start.isNull() ? before : r.start, "backup");
            CatalogueEdit e = r.edit;
            e.fetchFirst = e.saveAfter = true;
            QCOMPARE(store->UpdateFileDetails(e), r.told.isEmpty());
            QCOMPARE(dlg->texts().join(QLatin1Char('|')), r.told);
            QVERIFY2(fx.hostCatalogue() == r.host, r.what);
            QVERIFY2(fx.hostBackup() == r.backup, r.what);
            if (!r.told.isEmpty())
                QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
            else // the local copy before the rewrite
                QVERIFY2(localFile("_files.txt.backup") == (r.start.isNull() ? before : r.start), r.what);
            if (!r.local.isNull())
                QVERIFY2(localFile("_files.txt") == r.local, r.what);
        }
    }

    void emptyNameWithoutFlagsDoesNothing() {
        const int sent = inet->commandsSent();
        QVERIFY(store->UpdateFileDetails(CatalogueEdit{}));
        QCOMPARE(inet->commandsSent(), sent);
        QVERIFY(!QFile::exists(fx.localPath(QStringLiteral("_files.txt"))));
        QVERIFY(dlg->records().isEmpty());
    }

    void batchFetchesOnceAndSavesOnce() {
        fx.setCatalogue(catalogue({kIndex, kLogo, kNotes}), "backup");
        QVERIFY(store->FetchCatalogue());
        QVERIFY(store->EditWorkingCopy({.name = QStringLiteral("index.html"),
                                        .version = 4,
                                        .controller = QString(),
                                        .comment = QStringLiteral("Dovrin: fixed")}));
        QVERIFY(store->EditWorkingCopy({.name = QStringLiteral("notes.txt"),
                                        .version = 6,
                                        .controller = QStringLiteral("Dovrin"),
                                        .comment = QStringLiteral("Dovrin: kept")}));
        QCOMPARE(fx.hostBackup(), QByteArray("backup")); // nothing saved yet
        QVERIFY(store->SaveCatalogue());
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("index.html", 4, "", "velmar", "Home page", "Dovrin: fixed"), kLogo,
                            catalogueLine("notes.txt", 6, "Dovrin", "Dovrin", "Notes", "Dovrin: kept")}));
        QCOMPARE(fx.hostBackup(), catalogue({kIndex, kLogo, kNotes}));
        QVERIFY(!store->UpdateFileDetails(
            {.name = QStringLiteral("index.html"), .version = 32768, .fetchFirst = true}));
        QCOMPARE(dlg->records().size(), 1);
    }

    void rewriteDropsEmptyNamesButKeepsTheCount() {
        fx.setCatalogue(catalogue({kIndex, catalogueLine("", 1), kLogo}), "backup");
        QVERIFY(store->UpdateFileDetails({.name = QStringLiteral("index.html"), .fetchFirst = true}));
        QCOMPARE(localFile("_files.txt"), catalogue({kIndex, kLogo}, "2.0.5", 3));
    }

    void shortCatalogueIsNeverSaved() {
        // A save cut short left the host with a short catalogue; the backup holds the whole one.
        const QByteArray whole = catalogue({kIndex, kLogo, kNotes});
        const QByteArray cut = catalogue({kIndex, kLogo}, "2.0.5", 3);
        fx.setCatalogue(cut, whole);
        QVERIFY(!store->UpdateFileDetails({.name = QStringLiteral("index.html"),
                                           .description = QStringLiteral("new"),
                                           .fetchFirst = true,
                                           .saveAfter = true}));
        QCOMPARE(dlg->texts(),
                 QStringList{incompleteCatalogueMessage(QStringLiteral("3 files expected, 2 files found)"))});
        QCOMPARE(fx.hostCatalogue(), cut);
        QCOMPARE(fx.hostBackup(), whole);
        // Nor is a missing working copy: the host's backup stays.
        dlg->clear();
        QFile::remove(fx.localPath(QStringLiteral("_files.txt")));
        QVERIFY(!store->SaveCatalogue());
        QCOMPARE(dlg->texts(), QStringList{incompleteCatalogueMessage(QStringLiteral("file not found"))});
        QCOMPARE(fx.hostBackup(), whole);
    }
};

KRTP_TEST_MAIN_CORE(TestFileStore)
#include "tst_filestore.moc"
