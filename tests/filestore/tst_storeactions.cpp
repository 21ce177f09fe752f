// Adding files, the owner and administrator actions, the companion lists and the owner rules of the
// Actions menu, against a loopback host with two members working on the same store.
#include "filestore/addfiles.h"
#include "filestore/companionlist.h"
#include "filestore/owneractions.h"
#include "storeopstestutil.h"
#include "testmain.h"
#include "util/fileutil.h"

#include <QDirIterator>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

namespace {

QByteArray indexLine(const char* author = "Alda") {
    return catalogueLine("index.html", 3, "", author, "Home page", "Alda: links");
}
QByteArray freeLine() {
    return catalogueLine("free.txt", 2, "", "", "Nobody's", "Bren: typo");
}

QSet<QString> setOf(const QStringList& names) {
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

class TestStoreActions : public QObject, MembersFixture {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(fx.startHost()); }

    void init() {
        fx.clearControlFolder();
        host.write(QStringLiteral("krg/_files.txt"), catalogue({indexLine(), freeLine()}));
        host.write(QStringLiteral("krg/index.html"), "<html>index</html>");
        host.write(QStringLiteral("krg/free.txt"), "free");
        makeMembers();
    }

    void cleanup() {
        dropMembers();
        QDir::setCurrent(QDir::tempPath());
    }

    void addListOffersOnlyNewVisibleFiles() {
        for (const char* name :
             {"new.html", "INDEX.HTML", "new.html.backup", "_files.txt", "_files.txt.backup", "_control.dat",
              "notesbackup", "Fresh.txt", "quote\"d.txt"})
            A->write(QLatin1String(name), "x");
        QVERIFY(A->refresh());
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("_hidden.txt"))));
        addfiles::Listing listing = addfiles::AddableFiles(A->list);
        QVERIFY(listing.error.isEmpty());
        QCOMPARE(setOf(listing.names), (QSet<QString>{"new.html", "Fresh.txt"}));
        // The hide list is made empty on the first listing; hiding appends, also twice the same name.
        QCOMPARE(A->read(QStringLiteral("_hidden.txt")), QByteArray());
        QVERIFY(addfiles::HideFiles({QStringLiteral("Fresh.txt")}));
        QVERIFY(addfiles::HideFiles({QStringLiteral("Fresh.txt")}));
        QCOMPARE(A->read(QStringLiteral("_hidden.txt")), QByteArray("Fresh.txt\r\nFresh.txt\r\n"));
        QCOMPARE(addfiles::AddableFiles(A->list).names, QStringList{QStringLiteral("new.html")});
        // A hidden line matches whatever the letter case; a hand-edited line ending counts too.
        A->write(QStringLiteral("_hidden.txt"), "NEW.HTML\nfresh.txt");
        QVERIFY(addfiles::AddableFiles(A->list).names.isEmpty());

        // A hide list that cannot be written is reported, and nothing is hidden.
        QFile::remove(A->path(QStringLiteral("_hidden.txt")));
        QVERIFY(QDir(A->local.path()).mkdir(QStringLiteral("_hidden.txt")));
        QString error;
        QVERIFY(!addfiles::HideFiles({QStringLiteral("new.html")}, &error));
        QVERIFY(!error.isEmpty());
        // Deleting reports the names it could not delete.
        QCOMPARE(addfiles::DeleteLocalFiles({QStringLiteral("new.html"), QStringLiteral("gone.txt")}),
                 QStringList{QStringLiteral("gone.txt")});
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("new.html"))));
    }

    void addingFiles() {
        const QByteArray page = QByteArray("<html>\r\nnew\r\n</html>\x00\xff", 22);
        A->write(QStringLiteral("new.html"), page);
        A->write(QStringLiteral("Notes.txt"), "notes");
        A->activate();
        QVERIFY(A->refresh());
        dlg->answerText(QStringLiteral("The \"new\" page"));
        dlg->answerText(QStringLiteral("Notes"));
        A->commands.clear();
        QStringList added;
        QVERIFY2(A->ops->AddFiles({QStringLiteral("new.html"), QStringLiteral("Notes.txt")}, {}, &added),
                 qPrintable(dlg->texts().join(QLatin1Char('|'))));
        QCOMPARE(added, (QStringList{"new.html", "Notes.txt"}));
        QCOMPARE(dlg->texts(), (QStringList{addfiles::DescriptionPrompt(QStringLiteral("new.html")),
                                            addfiles::DescriptionPrompt(QStringLiteral("Notes.txt"))}));
        QCOMPARE(dlg->records().first().text,
                 QStringLiteral("Please enter a file description for new.html\r\n\r\n"
                                "You must enter a description, or the file cannot "
                                "be added."));
        QCOMPARE(host.read(QStringLiteral("krg/new.html")), page);
        QCOMPARE(host.read(QStringLiteral("krg/Notes.txt")), QByteArray("notes"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({indexLine(), freeLine(),
                            catalogueLine("new.html", 1, "", "Alda", "The 'new' page", "Alda: *new file*"),
                            catalogueLine("Notes.txt", 1, "", "Alda", "Notes", "Alda: *new file*")}));
        QCOMPARE(A->version(QStringLiteral("new.html")), QStringLiteral("1"));
        QCOMPARE(A->status(QStringLiteral("notes.txt")), QStringLiteral("unlocked"));
        QVERIFY(!IsFileReadOnly(A->path(QStringLiteral("new.html"))));
        // The fresh catalogue is read before anything is sent; whatever stood under a name waits aside.
        QCOMPARE(A->commands.mid(0, 9),
                 (QStringList{QStringLiteral("get _files.txt _files.txt"),
                              QStringLiteral("delete new.html.backup"),
                              QStringLiteral("rename new.html new.html.backup"),
                              QStringLiteral("send new.html new.html"), QStringLiteral("ls new.html"),
                              QStringLiteral("delete Notes.txt.backup"),
                              QStringLiteral("rename Notes.txt Notes.txt.backup"),
                              QStringLiteral("send Notes.txt Notes.txt"), QStringLiteral("ls Notes.txt")}));

        // Reserved and catalogued names (any letter case) are refused one by one; the others go on.
        dlg->clear();
        A->write(QStringLiteral("x.backup"), "b");
        A->write(QStringLiteral("INDEX.HTML"), "mine");
        A->write(QStringLiteral("third.txt"), "3");
        dlg->answerText(QStringLiteral("Third"));
        QVERIFY(!A->ops->AddFiles(
            {QStringLiteral("x.backup"), QStringLiteral("INDEX.HTML"), QStringLiteral("third.txt")}));
        QCOMPARE(dlg->texts(),
                 (QStringList{QStringLiteral("x.backup - files that start with \"_files.txt\" or end with "
                                             "\"backup\" cannot be added."),
                              QStringLiteral("INDEX.HTML could not be added.\r\nA file with the same name "
                                             "already exists."),
                              addfiles::DescriptionPrompt(QStringLiteral("third.txt"))}));
        QVERIFY(
            fx.hostCatalogue().contains("\"third.txt\",1,\"\",\"Alda\",\"Third\",\"Alda: *new file*\"\r\n"));
        QCOMPARE(host.read(QStringLiteral("krg/index.html")), QByteArray("<html>index</html>"));
    }

    void cancellingOneDescriptionAddsNothing() {
        for (const char* n : {"one.txt", "two.txt", "three.txt"})
            A->write(QLatin1String(n), n);
        QVERIFY(A->refresh());
        const QByteArray before = fx.hostCatalogue();
        dlg->answerText(QStringLiteral("One"));
        dlg->answerText(QStringLiteral("Two"));
        dlg->answerText(std::nullopt);
        QVERIFY(!A->ops->AddFiles(
            {QStringLiteral("one.txt"), QStringLiteral("two.txt"), QStringLiteral("three.txt")}));
        QCOMPARE(
            dlg->lastText(),
            QStringLiteral("No Description Was Entered - three.txt Was Not Added\r\n\r\nOperation Canceled"));
        QCOMPARE(fx.hostCatalogue(), before);
        for (const char* n : {"one.txt", "two.txt", "three.txt"})
            QVERIFY(!fx.hostHas(QLatin1String(n)));
        // No local version for a file that was never catalogued.
        QCOMPARE(A->version(QStringLiteral("one.txt")), QStringLiteral("0"));

        // A Read Only member cannot add at all.
        dlg->clear();
        A->level = LevelReadOnly;
        A->activate();
        QVERIFY(!A->ops->AddFiles({QStringLiteral("one.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Sorry, you do not have access to that feature.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
    }

    void ownerActions() {
        B->write(QStringLiteral("free.txt"), "B's copy");
        B->settings->setFileVersion(QStringLiteral("free.txt"), QStringLiteral("2"));
        QVERIFY(B->refresh());
        const QString index = QStringLiteral("index.html");
        const QString free = QStringLiteral("free.txt");

        // Another member's file: refused before any question.
        QVERIFY(!B->ops->ChangeFileDescription(index));
        QVERIFY(!B->ops->DeleteFile(index));
        QVERIFY(!B->ops->RelinquishControl(index));
        QCOMPARE(dlg->texts(),
                 (QStringList{
                     QStringLiteral("Sorry, only Alda has permission to change index.html's description."),
                     QStringLiteral("Sorry, only Alda has permission to remove index.html."),
                     QStringLiteral("Sorry, you do not have control index.html.")}));
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::None);

        // A file without an owner: anyone may describe it (quotes become apostrophes), nobody relinquish it.
        dlg->clear();
        dlg->answerText(QStringLiteral("Everybody's \"free\" file"));
        QVERIFY(B->ops->ChangeFileDescription(free));
        QCOMPARE(dlg->records().first().text,
                 QStringLiteral("Please enter a new description for the following file:\r\n\r\nfree.txt"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({indexLine(),
                            catalogueLine("free.txt", 2, "", "", "Everybody's 'free' file", "Bren: typo")}));
        QCOMPARE(B->column(free, columns::kDesc), QStringLiteral("Everybody's 'free' file"));
        QVERIFY(!B->ops->RelinquishControl(free));
        QCOMPARE(dlg->lastText(), QStringLiteral("Sorry, you do not have control free.txt."));
        // A cancelled box changes nothing.
        dlg->answerText(std::nullopt);
        const QByteArray described = fx.hostCatalogue();
        QVERIFY(B->ops->ChangeFileDescription(free));
        QCOMPARE(fx.hostCatalogue(), described);

        // Removing asks (No is the default) and takes only the catalogue entry away.
        dlg->clear();
        dlg->answer(Dialogs::No);
        QVERIFY(B->ops->DeleteFile(free));
        QCOMPARE(fx.hostCatalogue(), described);
        dlg->answer(Dialogs::Yes);
        QVERIFY(B->ops->DeleteFile(free));
        QCOMPARE(
            dlg->lastText(),
            QStringLiteral("Are you sure you want to remove free.txt from KRtp?\r\n\r\nNOTE: This will not "
                           "delete free.txt from your local computer nor will it delete free.txt from the "
                           "computer of any other KRtp user."));
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Warning);
        QCOMPARE(dlg->records().last().defaultButton, Dialogs::No);
        QCOMPARE(fx.hostCatalogue(), catalogue({indexLine()}));
        QVERIFY(!B->list.contains(free));
        QCOMPARE(host.read(QStringLiteral("krg/free.txt")), QByteArray("free"));
        QCOMPARE(B->read(free), QByteArray("B's copy"));
        QCOMPARE(B->version(free), QStringLiteral("2"));
        // The same name can be added again.
        dlg->answerText(QStringLiteral("Back again"));
        QVERIFY(B->ops->AddFiles({free}));
        QVERIFY(fx.hostCatalogue().endsWith(
            "\"free.txt\",1,\"\",\"Bren\",\"Back again\",\"Bren: *new file*\"\r\n"));

        // The owner's name in another letter case is the member: A (as "alda") gives up index.html.
        dlg->clear();
        A->name = QStringLiteral("alda");
        QVERIFY(A->refresh());
        dlg->answer(Dialogs::Yes);
        QVERIFY(A->ops->RelinquishControl(index));
        QCOMPARE(dlg->records().first().text,
                 QStringLiteral("Are you sure you want to relinquish control of index.html?"));
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Question);
        QVERIFY(fx.hostCatalogue().contains("\"index.html\",3,\"\",\"\",\"Home page\",\"Alda: links\"\r\n"));
        QCOMPARE(A->column(index, columns::kAuthor), QString());
    }

    void ownershipIsCheckedOnTheFreshCatalogue() {
        QVERIFY(B->refresh()); // B sees free.txt without an owner...
        host.write(
            QStringLiteral("krg/_files.txt"),
            catalogue({indexLine(), catalogueLine("free.txt", 2, "", "Alda", "Nobody's", "Bren: typo")}));
        const QByteArray taken = fx.hostCatalogue();
        // ...but Alda owns it by now: nothing changes and B is told who owns it.
        dlg->answerText(QStringLiteral("mine now"));
        QVERIFY(!B->ops->ChangeFileDescription(QStringLiteral("free.txt")));
        QCOMPARE(dlg->lastText(),
                 QStringLiteral("Sorry, only Alda has permission to change free.txt's description."));
        dlg->answer(Dialogs::Yes);
        QVERIFY(!B->ops->DeleteFile(QStringLiteral("free.txt")));
        QCOMPARE(dlg->lastText(), QStringLiteral("Sorry, only Alda has permission to remove free.txt."));
        QCOMPARE(fx.hostCatalogue(), taken);
        QCOMPARE(B->column(QStringLiteral("free.txt"), columns::kDesc), QStringLiteral("Nobody's"));
    }

    void administratorsEditAndReadOnlySwitch() {
        A->level = LevelAdministrator;
        QVERIFY(A->refresh());
        StoreOperations::FileDetailsEdit edit = DetailsOfEntry(*A->list.find(QStringLiteral("index.html")));
        QCOMPARE(edit.serverVersion, QStringLiteral("3"));
        edit.checkedOutBy = QStringLiteral("Bren");
        edit.serverVersion = QStringLiteral("7");
        edit.author = QStringLiteral("Cara");
        edit.description = QStringLiteral("The \"home\" page");
        edit.lastComment = QStringLiteral("admin: repaired");
        edit.localVersion = QStringLiteral("05");
        QVERIFY(A->ops->EditFileDetails(QStringLiteral("index.html"), edit));
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("index.html", 7, "Bren", "Cara",
                                                              "The 'home' page", "admin: repaired"),
                                                freeLine()}));
        QCOMPARE(A->version(QStringLiteral("index.html")), QStringLiteral("5"));
        QCOMPARE(A->column(QStringLiteral("index.html"), columns::kOwner), QStringLiteral("Bren"));
        QCOMPARE(A->column(QStringLiteral("index.html"), columns::kMyVer), QStringLiteral("5"));
        // Not for other levels, and not a version the catalogue cannot hold.
        edit.serverVersion = QStringLiteral("40000");
        QVERIFY(!A->ops->EditFileDetails(QStringLiteral("index.html"), edit));
        B->level = LevelFullAccess;
        QVERIFY(B->refresh());
        QVERIFY(!B->ops->EditFileDetails(QStringLiteral("index.html"), edit));
        QCOMPARE(dlg->lastText(), QStringLiteral("Sorry, you do not have access to that feature."));
        QVERIFY(fx.hostCatalogue().contains("\"index.html\",7,"));

        // The read-only switch works also when the never-read-only option is on; a missing file stays
        // missing.
        dlg->clear();
        A->noReadOnly = true;
        A->write(QStringLiteral("index.html"), "local");
        A->activate();
        QVERIFY(A->ops->ToggleReadOnly(QStringLiteral("index.html")));
        QVERIFY(IsFileReadOnly(A->path(QStringLiteral("index.html"))));
        QVERIFY(A->ops->ToggleReadOnly(QStringLiteral("index.html")));
        QVERIFY(!IsFileReadOnly(A->path(QStringLiteral("index.html"))));
        QVERIFY(A->ops->ToggleReadOnly(QStringLiteral("free.txt")));
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("free.txt"))));
        QVERIFY(dlg->records().isEmpty());
    }

    void ownerOptionsTable() {
        const auto entry = [](const char* author) {
            ListEntry e;
            e.key = QStringLiteral("f.txt");
            e.text = e.key;
            e.columns.insert(QLatin1String(columns::kAuthor), QLatin1String(author));
            return e;
        };
        struct Row {
            const char* what;
            bool selected;
            const char* author;
            int level;
            bool readOnly, changeDescription, relinquish;
        };
        const Row rows[] = {
            {"nothing selected", false, "", LevelFullAccess, false, false, false},
            {"administrator, another's file", true, "Bren", LevelAdministrator, true, true, false},
            {"administrator, own file", true, "Alda", LevelAdministrator, true, true, false},
            {"full access, no owner", true, "", LevelFullAccess, true, true, false},
            {"full access, own file", true, "alda", LevelFullAccess, true, true, true},
            {"full access, another's file", true, "Bren", LevelFullAccess, true, false, false},
            {"read only, own file", true, "Alda", LevelReadOnly, true, false, false},
        };
        for (const Row& r : rows) {
            const ListEntry e = entry(r.author);
            const OwnerOptions o =
                DecideOwnerOptions(r.selected ? &e : nullptr, r.level, QStringLiteral("Alda"), true);
            QVERIFY2(o.readOnlyEnabled == r.readOnly && o.readOnlyChecked == r.readOnly, r.what);
            QVERIFY2(o.changeDescription == r.changeDescription, r.what);
            QVERIFY2(o.relinquish == r.relinquish, r.what);
        }
        QVERIFY(!DecideOwnerOptions(nullptr, LevelFullAccess, QStringLiteral("Alda"), false).readOnlyChecked);
        const ListEntry own = entry("Alda");
        QVERIFY(!DecideOwnerOptions(&own, LevelAdministrator, QStringLiteral("Alda"), false).readOnlyChecked);

        // The current entry: the focused one when selected, else the only selected one.
        FileListModel list;
        for (const char* n : {"a", "b", "c"})
            list.addFile(QLatin1String(n), QString(), {});
        QCOMPARE(CurrentEntryKey(list, QStringLiteral("a")), QString());
        list.setSelected(QStringLiteral("b"), true);
        QCOMPARE(CurrentEntryKey(list, QStringLiteral("a")), QStringLiteral("b"));
        list.setSelected(QStringLiteral("c"), true);
        QCOMPARE(CurrentEntryKey(list, QStringLiteral("a")), QString());
        QCOMPARE(CurrentEntryKey(list, QStringLiteral("c")), QStringLiteral("c"));
    }

    void companionLists() {
        // Checked out by "Alda" (exact), by "alda", out of date, never fetched, up to date.
        host.write(QStringLiteral("krg/_files.txt"),
                   catalogue({catalogueLine("mine.txt", 4, "Alda"), catalogueLine("case.txt", 1, "alda"),
                              catalogueLine("old.gif", 3), catalogueLine("new.doc", 1),
                              catalogueLine("same.txt", 2)}));
        for (const auto& [name, version] :
             {std::pair{"mine.txt", "3"}, {"case.txt", "1"}, {"old.gif", "2"}, {"same.txt", "2"}})
            A->settings->setFileVersion(QLatin1String(name), QLatin1String(version));
        QVERIFY(A->refresh());
        QCOMPARE(A->store->LastCountOfCheckedOutFiles, 2);

        CompanionListModel checkedOut(CompanionKind::CheckedOut, A->list);
        checkedOut.RefreshList(QStringLiteral("Alda"));
        QCOMPARE(checkedOut.count(), 1);
        QCOMPARE(checkedOut.at(0).text, QStringLiteral("mine.txt"));
        QCOMPARE(checkedOut.tickedKeys(), QStringList{QStringLiteral("mine.txt")});
        QCOMPARE(checkedOut.at(0).columns.value(QLatin1String(columns::kVer)), QStringLiteral("4"));
        QCOMPARE(checkedOut.at(0).smallIconKey, QStringLiteral(".txt"));

        CompanionListModel outdated(CompanionKind::Outdated, A->list);
        outdated.RefreshList(QStringLiteral("Alda"));
        QStringList names;
        for (const ListEntry& e : outdated.entries())
            names << e.text;
        QCOMPARE(names, (QStringList{"mine.txt", "old.gif", "new.doc"}));
        QCOMPARE(outdated.data(outdated.index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(outdated.flags(outdated.index(1, 0)) & Qt::ItemIsUserCheckable);
        // "File Name" 360 twips wider, the rest as in the file list.
        QCOMPARE(outdated.columnDefinitions().at(0).widthTwips, 1440 + 360);
        QCOMPARE(outdated.columnDefinitions().at(3).widthTwips, 2880);
        QCOMPARE(outdated.columnDefinitions().size(), A->list.columnDefinitions().size());

        // The ticked entries become the file list's selection; entries it no longer holds are passed over.
        A->list.setSelected(QStringLiteral("same.txt"), true);
        outdated.setData(outdated.index(0, 0), int(Qt::Unchecked), Qt::CheckStateRole);
        outdated.SelectTickedInSource();
        QCOMPARE(A->list.selectedCount(), 2);
        QVERIFY(A->selected(QStringLiteral("old.gif")) && A->selected(QStringLiteral("new.doc")));
        for (const ListEntry& e : outdated.entries())
            outdated.setTicked(e.key, false);
        A->list.remove(QStringLiteral("old.gif"));
        outdated.setTicked(QStringLiteral("old.gif"), true);
        outdated.SelectTickedInSource();
        QCOMPARE(A->list.selectedCount(), 0);

        // The folder change is refused while the member holds a check-out in any letter case.
        QVERIFY(HoldsCheckOut(A->list, QStringLiteral("ALDA")));
        QVERIFY(!HoldsCheckOut(A->list, QStringLiteral("Bren")));
    }
};

KRTP_TEST_MAIN_GUI(TestStoreActions)
#include "tst_storeactions.moc"
