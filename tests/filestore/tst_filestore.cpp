#include "config/siteconfig.h"
#include "filestore/catalogue.h"
#include "filestore/cataloguechanges.h"
#include "filestore/catalogueedit.h"
#include "filestore/filestatus.h"
#include "filestore/filestore.h"
#include "filestore/preview.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "storetexts.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace krtp;
using namespace Qt::StringLiterals;
using namespace krtp::test;

namespace {

const QByteArray kIndex = catalogueLine("index.html", 3, "", "velmar", "Home page", "velmar: links");
const QByteArray kLogo = catalogueLine("Logo.GIF", 2, "brenmoor", "", "The logo", "brenmoor: bigger");
const QByteArray kNotes = catalogueLine("notes.txt", 5, "DOVRIN", "Dovrin", "Notes", "Dovrin: more");

// The two lines before the records (joined by "/") and the records.
QList<CatalogueRecord> readAll(const QByteArray& data, QString* lines = nullptr) {
    CatalogueReader r(data);
    QString l1, l2;
    r.readLine(l1);
    r.readLine(l2);
    if (lines)
        *lines = l1 + QLatin1Char('/') + l2;
    QList<CatalogueRecord> out;
    CatalogueRecord rec;
    while (r.readRecord(rec))
        out.append(rec);
    return out;
}

// Each record as "name|version|controller|author|description|comment".
QStringList fields(const QList<CatalogueRecord>& recs) {
    QStringList out;
    for (const CatalogueRecord& r : recs)
        out << QStringList{r.Name,   QString::number(r.CurrentVersion), r.Controller, r.Author, r.Description,
                           r.Comment}
                   .join(QLatin1Char('|'));
    return out;
}

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
        settingsStore().setFileVersion(u"INDEX.HTML"_s, u"3"_s);
        settingsStore().setFileVersion(u"logo.gif"_s, u"1"_s);
        QVERIFY(store->UpdateFileList());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::Complete);
        QCOMPARE(list->count(), 3);
        // The columns themselves are compared in krtp-cli's status; here the icons and the counts.
        QCOMPARE(list->find(u"logo.gif"_s)->smallIconKey, u"old"_s); // red circle by default
        QCOMPARE(list->find(u"index.html"_s)->smallIconKey, u"unlocked"_s);
        // Checked out by the member in another letter case, never fetched: open, not outdated.
        QCOMPARE(list->find(u"notes.txt"_s)->smallIconKey, u".txt"_s);
        QCOMPARE(store->LastCountOfCheckedOutFiles, 1);
        QCOMPARE(store->LastCountOfOutdatedFiles, 1);
        QVERIFY(list->inputEnabled());
        // The connection is left in the control folder: a listing there finds the catalogue.
        QVERIFY(store->Run(u"ls _files.txt"_s));
        QVERIFY(store->GetChunkData.contains(u"_files.txt"_s));

        // Shutdown stores the view and ends the session: the next command opens a new connection.
        list->setViewStyle(FileListModel::List);
        QElapsedTimer timer;
        timer.start();
        store->Shutdown();
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!inet->StillExecuting());
        QCOMPARE(settingsStore().get(settings::CurrentView), u"2"_s);
        const int connections = inet->connectionsOpened();
        QVERIFY(store->Run(u"cd /krg"_s));
        QCOMPARE(inet->connectionsOpened(), connections + 1);

        // A failed fetch keeps the list.
        qputenv("KRTP_FTP_HOST", "127.0.0.1:1");
        reloadSiteConfig();
        QVERIFY(!store->UpdateFileList());
        fx.host.exportEnvironment();
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::FetchFailed);
        QCOMPARE(list->count(), 3);
        QCOMPARE(store->LastCountOfOutdatedFiles, 0);
        QCOMPARE(dlg->records().size(), 1); // the transfer layer's error
    }

    void brokenCatalogueIsRetriedOnceThenRepairedFromTheBackup_data() {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<QString>("reason");
        QTest::newRow("count") << catalogue({kIndex}, "2.0.5", 2) << u"2 files expected, 1 files found)"_s;
        QTest::newRow("empty") << QByteArray("") << u"file is empty"_s;
        QTest::newRow("line 1 only") << QByteArray("2.0.5\r\n") << u"file is incomplete"_s;
        QTest::newRow("missing") << QByteArray() << u"file not found"_s;
        QTest::newRow("counted empty name")
            << catalogue({kIndex, catalogueLine("", 1)}) << u"2 files expected, 1 files found)"_s;
    }
    void brokenCatalogueIsRetriedOnceThenRepairedFromTheBackup() {
        QFETCH(QByteArray, broken);
        QFETCH(QString, reason);
        const QByteArray good = catalogue({kIndex, kLogo});
        fx.setCatalogue(broken, good);
        if (broken.isNull())
            QFile::remove(fx.host.path(u"krg/_files.txt"_s));
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
        // No backup on the host: the repair's download fails, so nothing is sent; asked again, the
        // member cancels.
        fx.setCatalogue(broken);
        dlg->clear();
        dlg->answer(Dialogs::Ok);
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(dlg->records().size(), 2);
        QCOMPARE(fx.hostCatalogue(), broken);
        QVERIFY(!fx.host.exists(u"krg/_files.txt.backup"_s));
    }

    void outdatedProgramClosesTheWindowAndNamesDifferingInCaseStopTheFill() {
        fx.setCatalogue(catalogue({kIndex}, "2.0.6"));
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::Outdated);
        QCOMPARE(dlg->texts(),
                 QStringList{u"KRtp has been updated to version 2.0.6\r\nYou are currently using "
                             "version 2.0.5\r\n\r\nPlease get version 2.0.6 from Dovrin."_s});
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
        // Names differing only in letter case stop the fill.
        dlg->clear();
        fx.setCatalogue(catalogue({kIndex, catalogueLine("INDEX.html", 1), kLogo}));
        QVERIFY(!store->UpdateFileList());
        QCOMPARE(store->lastOutcome(), FileStore::ReadOutcome::FillError);
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(list->count(), 1);
        QVERIFY(!list->inputEnabled());
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
             {.name = u"new page.html"_s,
              .newFile = true,
              .version = 1,
              .controller = QString(),
              .author = u"Dovrin"_s,
              .description = u"say \"hi\""_s,
              .comment = u"Dovrin: added"_s},
             catalogue({kIndex, kLogo, kNotes,
                        catalogueLine("new page.html", 1, "", "Dovrin", "say 'hi'", "Dovrin: added")}),
             before},
            // The working copy stays whole, so a batch cannot upload a cut-off catalogue.
            {"add in another case",
             {.name = u"INDEX.HTML"_s, .newFile = true, .version = 1},
             before,
             "backup",
             u"Cannot add a file that already exists."_s,
             {},
             before},
            {"delete missing",
             {.name = u"gone.txt"_s, .deleteFile = true},
             before,
             "backup",
             u"Cannot delete a file that doesn't exist."_s},
            {"delete", {.name = u"logo.gif"_s, .deleteFile = true}, catalogue({kIndex, kNotes}), before},
            {"nothing to change", {.name = u"Logo.gif"_s}, before, before},
            {"byte order mark", {.name = u"Logo.gif"_s}, marked, marked, {}, marked},
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

    void batchFetchesOnceAndSavesOnce() {
        // An edit without a name or flags does nothing at all.
        const int sent = inet->commandsSent();
        QVERIFY(store->UpdateFileDetails(CatalogueEdit{}));
        QCOMPARE(inet->commandsSent(), sent);
        QVERIFY(!QFile::exists(fx.localPath(u"_files.txt"_s)));
        fx.setCatalogue(catalogue({kIndex, kLogo, kNotes}), "backup");
        QVERIFY(store->FetchCatalogue());
        QVERIFY(store->EditWorkingCopy(
            {.name = u"index.html"_s, .version = 4, .controller = QString(), .comment = u"Dovrin: fixed"_s}));
        QVERIFY(store->EditWorkingCopy(
            {.name = u"notes.txt"_s, .version = 6, .controller = u"Dovrin"_s, .comment = u"Dovrin: kept"_s}));
        QCOMPARE(fx.hostBackup(), QByteArray("backup")); // nothing saved yet
        QVERIFY(store->SaveCatalogue());
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("index.html", 4, "", "velmar", "Home page", "Dovrin: fixed"), kLogo,
                            catalogueLine("notes.txt", 6, "Dovrin", "Dovrin", "Notes", "Dovrin: kept")}));
        QCOMPARE(fx.hostBackup(), catalogue({kIndex, kLogo, kNotes}));
        QVERIFY(!store->UpdateFileDetails({.name = u"index.html"_s, .version = 32768, .fetchFirst = true}));
        QCOMPARE(dlg->records().size(), 1);
        // The rewrite drops empty names but keeps the count.
        fx.setCatalogue(catalogue({kIndex, catalogueLine("", 1), kLogo}), "backup");
        QVERIFY(store->UpdateFileDetails({.name = u"index.html"_s, .fetchFirst = true}));
        QCOMPARE(localFile("_files.txt"), catalogue({kIndex, kLogo}, "2.0.5", 3));
    }

    void shortCatalogueIsNeverSaved() {
        // A save cut short left the host with a short catalogue; the backup holds the whole one.
        const QByteArray whole = catalogue({kIndex, kLogo, kNotes});
        const QByteArray cut = catalogue({kIndex, kLogo}, "2.0.5", 3);
        fx.setCatalogue(cut, whole);
        QVERIFY(!store->UpdateFileDetails(
            {.name = u"index.html"_s, .description = u"new"_s, .fetchFirst = true, .saveAfter = true}));
        QCOMPARE(dlg->texts(),
                 QStringList{incompleteCatalogueMessage(u"3 files expected, 2 files found)"_s)});
        QCOMPARE(fx.hostCatalogue(), cut);
        QCOMPARE(fx.hostBackup(), whole);
        // Nor is a missing working copy: the host's backup stays.
        dlg->clear();
        QFile::remove(fx.localPath(u"_files.txt"_s));
        QVERIFY(!store->SaveCatalogue());
        QCOMPARE(dlg->texts(), QStringList{incompleteCatalogueMessage(u"file not found"_s)});
        QCOMPARE(fx.hostBackup(), whole);
    }

    // The catalogue's rules without a host.
    void roundTripIsByteExact() {
        // Plain, no entries, commas and a negative version, Latin-1, UTF-8, the highest version.
        for (const QByteArray& data :
             {QByteArray("2.0.5\r\n2\r\n\"index.html\",3,\"\",\"velmar\",\"Home page\",\"velmar: first\"\r\n"
                         "\"Logo.GIF\",1,\"brenmoor\",\"\",\"\",\"\"\r\n"),
              QByteArray("1.2.0\r\n0\r\n"),
              QByteArray("2.0.5\r\n1\r\n\"a, b.txt\",-4,\"x\",\"y\",\"one, two\",\"c: d, e\"\r\n"),
              QByteArray("2.0.5\r\n1\r\n\"caf\xe9.txt\",2,\"\",\"J\xf6rg\",\"\xa9\",\"\"\r\n"),
              QByteArray("2.0.5\r\n1\r\n\"caf\xc3\xa9.txt\",2,\"\",\"\",\"\",\"\"\r\n"),
              QByteArray("2.0.5\r\n1\r\n\"a\",32767,\"\",\"\",\"\",\"\"\r\n")}) {
            CatalogueReader r(data);
            QString l1, l2;
            r.readLine(l1);
            r.readLine(l2);
            CatalogueWriter w(r.isUtf8());
            w.writeLine(l1);
            w.writeLine(QString::number(LeadingNumber(l2)));
            CatalogueRecord rec;
            while (r.readRecord(rec))
                w.writeRecord(rec);
            QCOMPARE(w.bytes(), data);
        }
    }

    void readingRules() {
        // Quoted fields keep commas, unquoted fields end at a comma, blanks before a field are
        // skipped, line ends separate fields like commas, the version of an empty field is 0.
        const QByteArray data = "2.0.5\r\n4\r\n"
                                "\"a,b.txt\",7,\"ctl\",\"au\",\"d, e\",\"c\"\r\n"
                                "plain.html, 12 ,  \"x\",  bare author,desc,comment text\r\n"
                                "\"split.txt\",3,\"\"\r\n\"who\",\"what\",\"why\"\r\n"
                                "\"noversion.txt\",,\"\",\"\",\"\",\"\"\r\n";
        QString lines;
        QCOMPARE(fields(readAll(data, &lines)),
                 (QStringList{"a,b.txt|7|ctl|au|d, e|c", "plain.html|12|x|bare author|desc|comment text",
                              "split.txt|3||who|what|why", "noversion.txt|0||||"}));
        QCOMPARE(lines, u"2.0.5/4"_s);

        // Text between a closing quote and the next comma (or line end) belongs to no field.
        QCOMPARE(fields(readAll("2.0.5\r\n2\r\n\"q.txt\"junk ,5,\"ctl\"x,\"au\"  ,\"d\" y,\"c\"z\r\n"
                                "\"r.txt\",6,\"\",\"\",\"\",\"\"\r\n")),
                 (QStringList{"q.txt|5|ctl|au|d|c", "r.txt|6||||"}));
        // A record cut short keeps what it has; an empty name is a record too.
        QCOMPARE(fields(readAll("2.0.5\r\n3\r\n\"\",1,\"\",\"\",\"\",\"\"\r\n\"a.txt\",2,\"me\"")),
                 (QStringList{"|1||||", "a.txt|2|me|||"}));
        // A quote never closed runs to the end of the file.
        QCOMPARE(fields(readAll("2.0.5\r\n1\r\n\"a.txt\",1,\"x\",\"y\",\"runs on")),
                 QStringList{"a.txt|1|x|y|runs on|"});
        // LF line ends and blank lines between records.
        QCOMPARE(
            fields(readAll("2.0.5\n2\n\n\"a\",1,\"\",\"\",\"\",\"\"\n\n\"b\",2,\"\",\"\",\"\",\"\"\n\n")),
            (QStringList{"a|1||||", "b|2||||"}));
        // No line at all, only line 1.
        QString line;
        QVERIFY(!CatalogueReader(QByteArray{}).readLine(line));
        CatalogueReader one("2.0.5\r\n");
        QVERIFY(one.readLine(line));
        QVERIFY(!one.readLine(line));
    }

    void everyCutOfACatalogueReadsShort() {
        // An upload that broke off anywhere (short of the very last line feed) is never a whole catalogue.
        const QByteArray whole =
            "2.0.5\r\n3\r\n\"index.html\",3,\"\",\"velmar\",\"Home, page\",\"v: x\"\r\n"
            "\"b.txt\",12,\"Bren\",\"\",\"\",\"\"\r\n\"c d.txt\",1,\"\",\"\",\"C\",\"Alda: 1\"\r\n";
        QVERIFY(ParseCatalogue(whole).complete);
        for (qsizetype cut = 0; cut < whole.size() - 1; ++cut)
            QVERIFY2(!ParseCatalogue(whole.left(cut)).complete, qPrintable(QString::number(cut)));
        // A quote never closed runs to the end of the file; text after a closing quote belongs to no field.
        // (Empty, one-line and miscounted catalogues are read in the repair cases above.)
        QCOMPARE(ParseCatalogue("2.0.5\r\n1\r\n\"a.txt\",1,\"\",\"\",\"\",\"half\r\n").reason,
                 u"file is incomplete"_s);
        QVERIFY(ParseCatalogue("2.0.5\r\n1\r\n\"a.txt\"x ,1,\"\",\"\",\"\",\"\"\r\n").complete);
    }

    void rewriteKeepsEveryByteOfUntouchedEntries() {
        // Bytes 0x80-0xFF, including 0xFF and the five that Windows-1252 leaves unassigned.
        QByteArray high;
        for (int c = 0x80; c <= 0xFF; ++c)
            if (c != '"')
                high.append(char(c));
        const QByteArray data = "2.0.5\r\n2\r\n\"a.txt\",1,\"\",\"\",\"" + high +
                                "\",\"\"\r\n\"b.txt\",1,\"\",\"\",\"\",\"\"\r\n";
        CatalogueDocument doc = ParseCatalogue(data);
        QVERIFY(doc.complete);
        QVERIFY(!doc.utf8);
        QString error;
        CatalogueEdit e;
        e.name = u"B.TXT"_s;
        e.controller = u"Alda"_s;
        QVERIFY(ApplyCatalogueEdit(doc, e, error));
        QCOMPARE(WriteCatalogue(doc), "2.0.5\r\n2\r\n\"a.txt\",1,\"\",\"\",\"" + high +
                                          "\",\"\"\r\n\"b.txt\",1,\"Alda\",\"\",\"\",\"\"\r\n");
        // The edited entry itself goes out in the code page too, unassigned bytes included.
        CatalogueEdit f;
        f.name = u"a.txt"_s;
        f.version = 2;
        QVERIFY(ApplyCatalogueEdit(doc, f, error));
        QVERIFY(WriteCatalogue(doc).contains("\"a.txt\",2,\"\",\"\",\"" + high + "\",\"\"\r\n"));
    }

    void versionNumbers() {
        const QList<std::pair<const char*, int>> rows = {
            {"", 0},          {"abc", 0},         {" 12abc", 12},
            {"99999", 32767}, {"-99999", -32768}, {"99999999999999999999999", 32767}};
        for (const auto& [text, version] : rows)
            QCOMPARE(LeadingVersion(QLatin1String(text)), qint16(version));
    }

    void writerNeverWritesQuotesOrLineBreaks() {
        CatalogueWriter w;
        w.writeLine(u"2.0.5"_s);
        w.writeLine(u"1"_s);
        CatalogueRecord r;
        r.Name = u"a.txt"_s;
        r.CurrentVersion = 2;
        r.Description = u"say \"hi\"\r\nsecond line\nthird"_s;
        r.Comment = u"x\ry"_s;
        w.writeRecord(r);
        QCOMPARE(
            w.bytes(),
            QByteArray("2.0.5\r\n1\r\n\"a.txt\",2,\"\",\"\",\"say 'hi' second line third\",\"x y\"\r\n"));
        // Other members read Windows-1252: text goes out in it (what it cannot hold is refused in
        // tst_storeops).
        CatalogueWriter cp(false);
        cp.writeLine(QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
        QVERIFY(cp.ok());
        QCOMPARE(cp.bytes(), QByteArray("caf\xe9 \x80\r\n"));
        // A catalogue already in UTF-8 stays so.
        CatalogueWriter utf8(true);
        utf8.writeLine(QString::fromUtf8("Zo\xc5\x9b"));
        QVERIFY(utf8.ok());
        QCOMPARE(utf8.bytes(), QByteArray("Zo\xc5\x9b\r\n"));
    }

    void statusTable() {
        struct Row {
            const char *what, *controller;
            int version, local;
            const char* status;
            FileStatus::Count count;
        };
        const Row rows[] = {
            {"mine, versions differ", "Dovrin", 4, 2, "open", FileStatus::CountCheckedOut},
            {"mine, other case", "DOVRIN", 4, 4, "open", FileStatus::CountCheckedOut},
            {"older copy", "", 4, 2, "old", FileStatus::CountOutdated},
            {"never fetched, locked", "someone", 4, 0, "new", FileStatus::CountOutdated},
            {"locked, current", "someone", 4, 4, "locked", FileStatus::CountNone},
            {"free, current", "", 4, 4, "unlocked", FileStatus::CountNone},
            {"newer local copy", "", 4, 5, "old", FileStatus::CountOutdated},
        };
        for (const Row& r : rows) {
            const FileStatus s =
                DecideFileStatus(QLatin1String(r.controller), r.version, r.local, u"dovrin"_s, ColourFlags{});
            QVERIFY2(s.key == QLatin1String(r.status) && s.count == r.count, r.what);
        }
        // A free file is not the member's before the login.
        QCOMPARE(DecideFileStatus(QString(), 1, 1, QString(), ColourFlags{}).key, u"unlocked"_s);
    }

    void getIcon() {
        struct Row {
            bool old;
            const char *status, *name, *icon;
        };
        const Row rows[] = {{true, "old", "a.gif", "old"},
                            {false, "old", "Logo.GIF", ".gif"},
                            {false, "unlocked", "site.backup.txt", ".txt"},
                            {false, "unlocked", "index.html", "unlocked"},
                            {false, "new", "README", "new"},
                            {false, "new", "tune.txt.", "new"},
                            {false, "new", "x.Norrow", ".norrow"}};
        for (const Row& r : rows)
            QCOMPARE(GetIcon(r.old, QLatin1String(r.status), QLatin1String(r.name)), QLatin1String(r.icon));
        QCOMPARE(FileListImageKeys().size(), 16);
    }

    // The repair, outdated-program and count texts are checked where the store shows them.
    void messageTexts() {
        for (int n : {1, 2})
            QCOMPARE(FileStore::CheckedOutQuestion(n),
                     u"You currently have %1 %2 checked out.  Would you like to view the list of "
                     "checked out files?\r\n\r\n<Yes> - View Checked Out Files\r\n<No> - Exit KRtp"_s.arg(n)
                         .arg(n == 1 ? "file" : "files"));
        QCOMPARE(FileStore::CommunicationsError(7, u"broken"_s),
                 u"*** communications error ***\r\n7: broken\r\n\r\nYou may need to restart KRtp."_s);
    }

    void previewContent() { // in the fresh local folder init() made current
        for (const auto& [name, bytes] :
             {std::pair{"notes.txt", "caf\xe9\r\nline"}, {"page.html", ""}, {"Logo.GIF", ""}}) {
            QFile f{QLatin1String(name)};
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) >= 0);
        }

        struct Row {
            const char* name;
            PreviewContent::Kind kind;
            QString text;
        };
        const Row rows[] = {
            {"notes.txt", PreviewContent::Text, QString::fromLatin1("caf\xe9\r\nline")},
            {"missing.txt", PreviewContent::Text, u"missing.txt does not exist on the local hard drive!"_s},
            {"gone.gif", PreviewContent::Text, u"gone.gif does not exist on the local hard drive!"_s},
            {"page.html", PreviewContent::Text, u"No Preview Availble: page.html"_s},
            {"Logo.GIF", PreviewContent::Picture, QString()}};
        for (const Row& r : rows) {
            const PreviewContent c = PreviewFor(QLatin1String(r.name));
            QVERIFY2(c.kind == r.kind, r.name);
            QCOMPARE(c.text, r.text);
        }
        QCOMPARE(PreviewFor(u"Logo.GIF"_s).picturePath, u"Logo.GIF"_s);
    }

    void changesOtherMembersMadeAreToldInTheirWords() {
        const SeenEntry a{u"a.txt"_s, u"4"_s, QString(), u"Cara: x"_s};
        const SeenEntry held{u"a.txt"_s, u"4"_s, u"Bren"_s, u"Cara: x"_s};
        const SeenEntry newer{u"a.txt"_s, u"5"_s, QString(), u"Bren: links"_s};
        const SeenEntry b{u"b.txt"_s, u"1"_s, QString(), QString()};
        QCOMPARE(DescribeCatalogueChanges({a}, {a}), QString());
        QCOMPARE(DescribeCatalogueChanges({held}, {newer}), u"Bren checked in a.txt (version 5)"_s);
        QCOMPARE(DescribeCatalogueChanges({a}, {held}), u"Bren checked out a.txt"_s);
        QCOMPARE(DescribeCatalogueChanges({held}, {a}), u"Bren gave back a.txt"_s);
        QCOMPARE(DescribeCatalogueChanges({a}, {b}), u"b.txt was added; a.txt was removed"_s);
    }
};

KRTP_TEST_MAIN_CORE(TestFileStore)
#include "tst_filestore.moc"
