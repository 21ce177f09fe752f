// Check out, check in, get latest version and open, adding files, the owner and administrator actions,
// the companion lists and the owner rules of the Actions menu, against a loopback host, with two members
// (separate local folders and settings) working on the same store.
#include "filestore/addfiles.h"
#include "filestore/cataloguelock.h"
#include "filestore/companionlist.h"
#include "filestore/owneractions.h"
#include "scripteddialogs.h"
#include "storeopstestutil.h"
#include "storetexts.h"
#include "testmain.h"
#include "transfer/transferpool.h"
#include "util/fileutil.h"

#include <QFileInfo>
#include <QTest>
#include <QTimer>

using namespace krtp;
using namespace krtp::test;

namespace {

const QByteArray kIndexBytes = "<html>index v3</html>\r\n";
const QByteArray kPageBytes = "<html>my page</html>\n";

QByteArray indexLine(int version = 3, const char* controller = "", const char* comment = "Alda: links") {
    return catalogueLine("index.html", version, controller, "Alda", "Home page", comment);
}
QByteArray pageLine(const char* controller = "", int version = 1, const char* comment = "") {
    return catalogueLine("my page.html", version, controller, "", "Page with blanks", comment);
}
QByteArray freeLine() {
    return catalogueLine("free.txt", 2, "", "", "Nobody's", "Bren: typo");
}
QByteArray fileLine(const char* name, const char* controller = "", int version = 1,
                    const char* comment = "") {
    return catalogueLine(name, version, controller, "", "", comment);
}

// The standard store's catalogue (index.html, my page.html, a.txt, b.txt, c.txt), with the given
// entries replaced.
QByteArray standardCatalogue(const QList<std::pair<int, QByteArray>>& changed = {}) {
    QList<QByteArray> lines{indexLine(), pageLine(), fileLine("a.txt"), fileLine("b.txt"), fileLine("c.txt")};
    for (const auto& [at, line] : changed)
        lines[at] = line;
    return catalogue(lines);
}

// A member's copy of a file in one line: its bytes, whether it is read-only, the version recorded
// for it and its status in the member's list.
QString copyOf(const Member& m, const QString& file) {
    return QString::fromUtf8(m.read(file)) +
           (IsFileReadOnly(m.path(file)) ? QStringLiteral(" | read-only | v")
                                         : QStringLiteral(" | writable | v")) +
           m.version(file) + QStringLiteral(" | ") + m.status(file);
}

// A save of the catalogue under the lock, with the read-back that checks it (commands joined by "|").
const QString kSaveCatalogue = QStringLiteral(
    "mkdir /krg/_files.lock|send _files.lock.txt /krg/_files.lock/holder.txt|get _files.txt _files.txt|"
    "delete _files.txt.backup|rename _files.txt _files.txt.backup|send _files.txt _files.txt|"
    "get _files.txt _files.txt.check|get /krg/_files.lock/holder.txt _files.lock.txt|"
    "delete /krg/_files.lock/holder.txt|rmdir /krg/_files.lock");

} // namespace

class TestStoreOps : public QObject, MembersFixture {
    Q_OBJECT
    std::unique_ptr<RecordingDesktopServices> desktop;

    // The standard store: five files, all free.
    void seedStore() {
        fx.clearControlFolder();
        host.write(QStringLiteral("krg/_files.txt"), standardCatalogue());
        host.write(QStringLiteral("krg/index.html"), kIndexBytes);
        host.write(QStringLiteral("krg/my page.html"), kPageBytes);
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            host.write(QStringLiteral("krg/") + QLatin1String(n), QByteArray("server ") + n + "\n");
    }

    // The actions' store: index.html, which Alda owns, and free.txt, which nobody owns.
    void seedActions() {
        fx.clearControlFolder();
        setCatalogue({indexLine(), freeLine()});
        host.write(QStringLiteral("krg/index.html"), "<html>index</html>");
        host.write(QStringLiteral("krg/free.txt"), "free");
    }

    // Restarts the host on a copy of its present files (a restart gives new ports). The host's process
    // must not start inside a member's local folder, which goes before the host does.
    bool restartHost() {
        QTemporaryDir keep;
        QDir::setCurrent(QDir::tempPath());
        if (!copyTree(host.root(), keep.path()) || !host.start(keep.path()))
            return false;
        A->reconnect();
        B->reconnect();
        return true;
    }

private slots:
    void initTestCase() {
        // A test that stops the host mid-save leaves a lock behind; later tests must not wait minutes.
        CatalogueLock::timing().waitMs = 2500;
        CatalogueLock::timing().staleSeconds = 1;
        CatalogueLock::timing().retryMinMs = 50;
        CatalogueLock::timing().retryMaxMs = 150;
        QVERIFY(fx.startHost());
    }

    void init() {
        if (!host.running())
            QVERIFY(fx.startHost());
        seedStore();
        makeMembers();
        desktop = std::make_unique<RecordingDesktopServices>();
    }

    void cleanup() {
        desktop.reset();
        dropMembers();
        if (host.running())
            host.exportEnvironment();
    }

    void twoMembersCheckOutCheckInAndGet() {
        // Both had fetched version 3; A's copy is read-only, as a get leaves it.
        A->write(QStringLiteral("index.html"), "A's old copy");
        SetFileReadOnly(A->path(QStringLiteral("index.html")), true, true, false);
        A->write(QStringLiteral("index.html.backup"), "older still");
        A->settings->setFileVersion(QStringLiteral("index.html"), QStringLiteral("3"));
        B->write(QStringLiteral("index.html"), "B's old copy");
        B->settings->setFileVersion(QStringLiteral("index.html"), QStringLiteral("3"));
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(B->refresh());

        // A checks out: the catalogue names A as controller and nothing else changes.
        QVERIFY(A->checkOut({QStringLiteral("index.html")}));
        QVERIFY2(dlg->records().isEmpty(), qPrintable(dlg->texts().join(QLatin1Char('|'))));
        QCOMPARE(A->commands.join(QLatin1Char('|')),
                 QStringLiteral("ls index.html|get index.html index.html|") + kSaveCatalogue);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{0, indexLine(3, "Alda")}}));
        QCOMPARE(copyOf(*A, QStringLiteral("index.html")),
                 QString::fromUtf8(kIndexBytes) + " | writable | v3 | open");
        QCOMPARE(A->read(QStringLiteral("index.html.backup")), QByteArray("A's old copy"));
        QVERIFY(!IsFileReadOnly(A->path(QStringLiteral("index.html.backup"))));

        // B's list shows the file locked; B's check-out of it is passed over without a word.
        QVERIFY(B->refresh());
        QCOMPARE(B->status(QStringLiteral("index.html")), QStringLiteral("locked"));
        QVERIFY(B->checkOut({QStringLiteral("index.html")}));
        QVERIFY(B->commands.isEmpty());
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(B->read(QStringLiteral("index.html")), QByteArray("B's old copy"));

        // A edits and checks in; a typed double quote reaches the catalogue as an apostrophe.
        const QByteArray edited = "<html>index v4, \"edited\" by A</html>\r\n";
        A->write(QStringLiteral("index.html"), edited);
        A->prompt.answers.enqueue({true, QStringLiteral("new \"links\""), false, false, false});
        QVERIFY(A->checkIn({QStringLiteral("index.html")}));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(A->prompt.asked, QStringList{QStringLiteral("index.html")});
        // The previous copy joins the history (whose folder the first check-in makes).
        QCOMPARE(
            A->commands.join(QLatin1Char('|')),
            QStringLiteral("get _files.txt _files.txt|delete index.html.backup|"
                           "rename index.html index.html.backup|send index.html index.html|ls index.html|"
                           "rename index.html.backup _history/index.html.v3|mkdir _history|"
                           "rename index.html.backup _history/index.html.v3|"
                           "get _history/index.html.index _files.history.index|"
                           "get _history/depth.txt _files.history.depth|"
                           "send _files.history.index _history/index.html.index|") +
                kSaveCatalogue);
        QCOMPARE(fx.hostFile(QStringLiteral("index.html")), edited);
        QVERIFY(!fx.hostHas(QStringLiteral("index.html.backup")));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{0, indexLine(4, "", "Alda: new 'links'")}}));
        QCOMPARE(copyOf(*A, QStringLiteral("index.html")),
                 QString::fromUtf8(edited) + " | read-only | v4 | unlocked");

        // B gets the latest version: A's bytes, B's copy kept aside, read-only, shown unlocked.
        QVERIFY(B->refresh());
        QCOMPARE(B->status(QStringLiteral("index.html")), QStringLiteral("old"));
        QVERIFY(B->getLatest({QStringLiteral("index.html")}));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(copyOf(*B, QStringLiteral("index.html")),
                 QString::fromUtf8(edited) + " | read-only | v4 | unlocked");
        QCOMPARE(B->read(QStringLiteral("index.html.backup")), QByteArray("B's old copy"));
        QVERIFY(!IsFileReadOnly(B->path(QStringLiteral("index.html.backup"))));
        QCOMPARE(B->column(QStringLiteral("index.html"), columns::kMyVer), QStringLiteral("4"));
    }

    void oddCharactersInNames() {
        const QStringList names{QStringLiteral("a#1.txt"),        QStringLiteral("50% off.txt"),
                                QStringLiteral("it's,here.txt"),  QStringLiteral("\u00fcber & co.txt"),
                                QStringLiteral("x?y.txt"),        QStringLiteral("[b].txt"),
                                QStringLiteral(" lead  two.txt"), QStringLiteral("*.txt")};
        QList<QByteArray> lines;
        for (const QString& n : names) {
            lines << catalogueLine(n.toUtf8().constData(), 1, "", "", "", "");
            host.write(QStringLiteral("krg/") + n, "server " + n.toUtf8());
        }
        setCatalogue(lines);
        // With the never-read-only option every copy stays writable.
        A->noReadOnly = B->noReadOnly = true;
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY2(A->checkOut(names), qPrintable(texts()));
        for (const QString& n : names) {
            QCOMPARE(A->read(n), "server " + n.toUtf8());
            A->write(n, "A's " + n.toUtf8());
        }
        QVERIFY2(A->checkIn(names, QStringLiteral("odd"), true), qPrintable(texts()));
        QList<QByteArray> after;
        for (const QString& n : names) {
            QCOMPARE(fx.hostFile(n), "A's " + n.toUtf8());
            QVERIFY(!fx.hostHas(n + QStringLiteral(".backup")));
            after << catalogueLine(n.toUtf8().constData(), 2, "", "", "", "Alda: odd");
        }
        QCOMPARE(fx.hostCatalogue(), catalogue(after));
        QVERIFY(B->refresh());
        QVERIFY2(B->getLatest(names), qPrintable(texts()));
        for (const QString& n : names) {
            QCOMPARE(B->read(n), "A's " + n.toUtf8());
            QVERIFY(!IsFileReadOnly(A->path(n)) && !IsFileReadOnly(B->path(n)));
        }
        QVERIFY(dlg->records().isEmpty());
    }

    void namesThatAreNoSharedFilesAreLeftAlone() {
        // A path would leave the local folder; the catalogue's own names would replace the catalogue.
        const QStringList odd{QStringLiteral("../escape.txt"), QStringLiteral("sub/x.txt"),
                              QStringLiteral("_files.txt"), QStringLiteral("_Files.txt.backup")};
        QList<QByteArray> lines{fileLine("a.txt")};
        for (const QString& n : odd)
            lines << fileLine(n.toUtf8().constData());
        setCatalogue(lines);
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(!A->checkOut(QStringList(odd) << QStringLiteral("a.txt")));
        QStringList expected;
        for (const QString& n : odd)
            expected << QStringLiteral("\"") + n +
                            QStringLiteral(
                                "\" cannot be handled as a shared file, so it was left alone: a "
                                "shared file lies directly in the control folder and in your local "
                                "folder, and is not the catalogue itself.");
        QCOMPARE(dlg->texts(), expected);
        for (const QString& c : A->commands)
            QVERIFY2(!c.contains(QLatin1String("escape")) && !c.contains(QLatin1String("x.txt")) &&
                         !c.contains(QLatin1String("_Files")) &&
                         (!c.startsWith(QLatin1String("get _files.txt")) ||
                          c == QLatin1String("get _files.txt _files.txt.check") ||
                          c == QLatin1String("get _files.txt _files.txt")),
                     qPrintable(c));
        lines[0] = fileLine("a.txt", "Alda");
        QCOMPARE(fx.hostCatalogue(), catalogue(lines));
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("../escape.txt"))));

        // Check-in and get leave them alone too: the host's catalogue is never sent as a shared file.
        QList<QByteArray> mine;
        for (const QString& n : odd)
            mine << fileLine(n.toUtf8().constData(), "Alda");
        setCatalogue(mine);
        QVERIFY(A->refresh());
        dlg->clear();
        QVERIFY(!A->checkIn(odd, QStringLiteral("x"), true));
        QCOMPARE(dlg->texts(), expected);
        QVERIFY(A->prompt.asked.isEmpty());
        QVERIFY2(!A->commands.contains(QStringLiteral("send _files.txt _files.txt")),
                 qPrintable(A->commands.join('|')));
        QCOMPARE(fx.hostCatalogue(), catalogue(mine));
        setCatalogue(lines);
        QVERIFY(A->refresh());
        dlg->clear();
        QVERIFY(!A->getLatest(odd));
        QCOMPARE(dlg->texts(), expected);
        dlg->clear();
    }

    void cancelKeepCheckedOutAndRevert() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(A->checkOut({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        const QByteArray before = fx.hostCatalogue();
        A->write(QStringLiteral("a.txt"), "A's a");
        A->write(QStringLiteral("b.txt"), "A's unsent b");
        // Cancel at the second file: nothing at all is sent.
        A->prompt.answers.enqueue({true, QStringLiteral("first"), false, false, false});
        A->prompt.answers.enqueue({false, {}, false, false, false});
        QVERIFY(A->checkIn({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(A->prompt.asked, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QVERIFY(A->commands.isEmpty());
        QCOMPARE(fx.hostCatalogue(), before);
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt")), QByteArray("server a.txt\n"));
        QCOMPARE(A->status(QStringLiteral("a.txt")), QStringLiteral("open"));
        // Keep: the new version goes up, the file stays A's and writable.
        A->prompt.answers.enqueue({true, QStringLiteral("halfway"), true, false, false});
        QVERIFY(A->checkIn({QStringLiteral("a.txt")}));
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt")), QByteArray("A's a"));
        QCOMPARE(copyOf(*A, QStringLiteral("a.txt")), QStringLiteral("A's a | writable | v2 | open"));
        // Revert: nothing is sent, the file is given back, the local changes stay (read-only).
        A->prompt.answers.enqueue({true, QString(), false, false, true});
        QVERIFY(A->checkIn({QStringLiteral("b.txt")}));
        QVERIFY(!A->commands.contains(QStringLiteral("send b.txt b.txt")));
        QCOMPARE(fx.hostFile(QStringLiteral("b.txt")), QByteArray("server b.txt\n"));
        QCOMPARE(copyOf(*A, QStringLiteral("b.txt")),
                 QStringLiteral("A's unsent b | read-only | v1 | unlocked"));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "Alda", 2, "Alda: halfway")}}));
        QVERIFY(dlg->records().isEmpty());
    }

    void checkInAllOverThreeFiles() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        const QStringList three{QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")};
        QVERIFY(A->checkOut(three));
        A->write(QStringLiteral("a.txt"), "A's a");
        A->write(QStringLiteral("b.txt"), "A's b");
        QFile::remove(A->path(QStringLiteral("c.txt")));
        // One answer for all; the missing c.txt still asks, and OK gives back only that file.
        A->prompt.answers.enqueue({true, QStringLiteral("all three"), false, true, false});
        dlg->answer(Dialogs::Ok);
        QVERIFY(A->checkIn(three));
        QCOMPARE(A->prompt.asked, QStringList{QStringLiteral("a.txt")});
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "The file c.txt does not exist on your local computer.  Press OK "
                                   "to check this file in without updating the server (you will lose "
                                   "any changes you may have made).")});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok | Dialogs::Cancel);
        QCOMPARE(dlg->records().first().defaultButton, Dialogs::Cancel);
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt")), QByteArray("A's a"));
        QCOMPARE(fx.hostFile(QStringLiteral("b.txt")), QByteArray("A's b"));
        QCOMPARE(fx.hostFile(QStringLiteral("c.txt")), QByteArray("server c.txt\n"));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "", 2, "Alda: all three")},
                                                        {3, fileLine("b.txt", "", 2, "Alda: all three")}}));
    }

    void versionOverflowStopsBeforeAnythingIsSent() {
        setCatalogue({fileLine("a.txt", "Alda", 32767)});
        A->write(QStringLiteral("a.txt"), "A's a");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(!A->checkIn({QStringLiteral("a.txt")}, QStringLiteral("one more")));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Overflow: a.txt is at version 32767, the highest "
                                                          "version the catalogue can hold.  Nothing was "
                                                          "checked in.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QVERIFY(A->commands.isEmpty());
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "Alda", 32767)}));
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt")), QByteArray("server a.txt\n"));
    }

    void readOnlyMemberMayGetButNotCheckOutAdministratorMay() {
        B->level = LevelReadOnly;
        QVERIFY(B->refresh());
        QVERIFY(!B->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Sorry, you do not have access to that feature.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QVERIFY(B->commands.isEmpty());
        QVERIFY(B->selected(QStringLiteral("a.txt")));
        dlg->clear();
        QVERIFY(B->getLatest({QStringLiteral("a.txt")}));
        QCOMPARE(B->read(QStringLiteral("a.txt")), QByteArray("server a.txt\n"));
        QVERIFY(dlg->records().isEmpty());
        // An administrator may.
        A->level = LevelAdministrator;
        QVERIFY2(A->refresh() && A->checkOut({QStringLiteral("c.txt")}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{4, fileLine("c.txt", "Alda")}}));
    }

    void serverCopyMissing() {
        // a.txt was left aside by an interrupted check-in: restored without a word.
        QFile::rename(host.path(QStringLiteral("krg/a.txt")), host.path(QStringLiteral("krg/a.txt.backup")));
        QFile::remove(host.path(QStringLiteral("krg/b.txt")));
        A->write(QStringLiteral("b.txt"), "A's own b");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        dlg->answer(Dialogs::No);
        QVERIFY(A->checkOut({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("b.txt does not exist on the server.\r\n\r\nDo you still want to "
                                            "check this file out?")});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Yes | Dialogs::No);
        QVERIFY(fx.hostHas(QStringLiteral("a.txt")));
        QVERIFY(!fx.hostHas(QStringLiteral("a.txt.backup")));
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("server a.txt\n"));
        QCOMPARE(A->status(QStringLiteral("a.txt")), QStringLiteral("open"));
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kOwner), QString());
        // Yes: checked out on the strength of the local copy alone, which stays untouched.
        dlg->clear();
        dlg->answer(Dialogs::Yes);
        QVERIFY(A->checkOut({QStringLiteral("b.txt")}));
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kOwner), QStringLiteral("Alda"));
        QCOMPARE(A->read(QStringLiteral("b.txt")), QByteArray("A's own b"));
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("b.txt.backup"))));
        // Get latest of a file missing on the server says so and leaves the local copy.
        dlg->clear();
        QVERIFY(B->refresh());
        QVERIFY(!B->getLatest({QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("b.txt does not exist on the server.")});
    }

    void bothMembersCheckOutTheSameFreeFile() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(B->refresh());
        QVERIFY(A->checkOut({QStringLiteral("a.txt")}));
        // B's list was built before A's check-out and still shows a.txt free.
        QCOMPARE(B->column(QStringLiteral("a.txt"), columns::kOwner), QString());
        QVERIFY(!B->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts(), QStringList{takenMessage(QStringLiteral("a.txt"), QStringLiteral("Alda"))});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "Alda")}}));
        QCOMPARE(B->column(QStringLiteral("a.txt"), columns::kOwner), QStringLiteral("Alda"));
        QCOMPARE(A->column(QStringLiteral("a.txt"), columns::kOwner), QStringLiteral("Alda"));
    }

    void checkInNeverReleasesAnotherMembersCheckOut() {
        // A's list says A holds a.txt and b.txt (the controller in another letter case is the member),
        // but meanwhile the catalogue gave a.txt to Bren.
        setCatalogue({fileLine("a.txt", "Alda"), fileLine("b.txt", "ALDA")});
        A->write(QStringLiteral("a.txt"), "A's a");
        A->write(QStringLiteral("b.txt"), "A's b");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QCOMPARE(A->status(QStringLiteral("b.txt")), QStringLiteral("open"));
        setCatalogue({fileLine("a.txt", "Bren"), fileLine("b.txt", "ALDA")});
        QVERIFY(
            !A->checkIn({QStringLiteral("a.txt"), QStringLiteral("b.txt")}, QStringLiteral("both"), true));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral(
                     "a.txt is checked out by Bren now, so your check-in of it was not recorded "
                     "and it stays with Bren.  If your copy was sent, the server holds it; "
                     "please agree with Bren which copy is the latest.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({fileLine("a.txt", "Bren"), fileLine("b.txt", "", 2, "Alda: both")}));
        QCOMPARE(copyOf(*A, QStringLiteral("a.txt")), QStringLiteral("A's a | writable | v0 | new"));
        QCOMPARE(A->version(QStringLiteral("b.txt")), QStringLiteral("2"));
        QCOMPARE(fx.hostFile(QStringLiteral("b.txt")), QByteArray("A's b"));
        QCOMPARE(A->column(QStringLiteral("a.txt"), columns::kOwner), QStringLiteral("Bren"));
    }

    void hostStoppedBetweenSendAndListLosesNothing() {
        setCatalogue({fileLine("a.txt", "Alda"), fileLine("b.txt")});
        QVERIFY2(A->refresh(), qPrintable(texts()));
        A->write(QStringLiteral("a.txt"), "A's a");
        const QMetaObject::Connection stopper =
            QObject::connect(A->store.get(), &FileStore::commandFinished, [this](const QString& command) {
                if (command == QLatin1String("send a.txt a.txt"))
                    host.stop();
            });
        QVERIFY(!A->checkIn({QStringLiteral("a.txt")}, QStringLiteral("cut")));
        QCOMPARE(dlg->texts().value(0), QStringLiteral("Error sending a.txt, please try again."));
        // The catalogue is unchanged: A still controls a.txt at version 1; the previous server copy
        // waits as a.txt.backup, A's copy is untouched.
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "Alda"), fileLine("b.txt")}));
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt.backup")), QByteArray("server a.txt\n"));
        QCOMPARE(copyOf(*A, QStringLiteral("a.txt")), QStringLiteral("A's a | writable | v0 | open"));
        // Once the host is back, checking in again finishes the job.
        QVERIFY(restartHost());
        dlg->clear();
        QObject::disconnect(stopper);
        QVERIFY(A->checkIn({QStringLiteral("a.txt")}, QStringLiteral("again")));
        QCOMPARE(fx.hostFile(QStringLiteral("a.txt")), QByteArray("A's a"));
        QVERIFY(!fx.hostHas(QStringLiteral("a.txt.backup")));
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "", 2, "Alda: again"), fileLine("b.txt")}));
    }

    void getLatestLeavesOwnCheckOutsAndOffersTheSpecialDocument() {
        setCatalogue(
            {fileLine("a.txt", "ALDA", 5), fileLine("KRplot.doc", "Bren", 2), fileLine("b.txt", "", 3)});
        host.write(QStringLiteral("krg/KRplot.doc"), "plot v2");
        A->write(QStringLiteral("a.txt"), "A's work in progress");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        dlg->answer(Dialogs::Ok); // view the special document
        dlg->answer(Dialogs::Ok); // open it although not checked out
        QVERIFY(A->getLatest({QStringLiteral("a.txt"), QStringLiteral("KRplot.doc")}));
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("A's work in progress"));
        QCOMPARE(A->version(QStringLiteral("a.txt")), QStringLiteral("5"));
        QCOMPARE(A->read(QStringLiteral("KRplot.doc")), QByteArray("plot v2"));
        QCOMPARE(A->version(QStringLiteral("krplot.doc")), QStringLiteral("2"));
        QCOMPARE(dlg->texts(),
                 (QStringList{QStringLiteral("KRplot.doc has been updated, press OK to view the changes."),
                              QStringLiteral("You do not have KRplot.doc checked out.  You will not be able "
                                             "to save your changes to this file.")}));
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Information);
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok | Dialogs::Cancel);
        QCOMPARE(desktop->calls.size(), 1);
        QVERIFY(desktop->calls.first().endsWith(A->path(QStringLiteral("KRplot.doc"))));
        QVERIFY(A->selected(QStringLiteral("krplot.doc")));
        QVERIFY(!A->selected(QStringLiteral("a.txt")));

        // When the member ends the program at the closing rebuild's repair question, nothing more is asked.
        dlg->clear();
        host.write(QStringLiteral("krg/_files.txt"),
                   catalogue({fileLine("KRplot.doc", "Bren", 2)}, "2.0.5", 3));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(A->getLatest({QStringLiteral("KRplot.doc")}));
        QCOMPARE(A->store->lastOutcome(), FileStore::ReadOutcome::Cancelled);
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(desktop->calls.size(), 1);
    }

    void openFileRules() {
        setCatalogue({fileLine("a.txt", "Alda", 2), fileLine("b.txt", "", 3), fileLine("c.txt", "", 1)});
        A->write(QStringLiteral("a.txt"), "a");
        A->write(QStringLiteral("c.txt"), "c");
        A->settings->setFileVersion(QStringLiteral("a.txt"), QStringLiteral("2"));
        A->settings->setFileVersion(QStringLiteral("b.txt"), QStringLiteral("1"));
        A->settings->setFileVersion(QStringLiteral("c.txt"), QStringLiteral("1"));
        QVERIFY2(A->refresh(), qPrintable(texts()));
        A->select({});
        QVERIFY(A->ops->OpenFile());
        A->select({QStringLiteral("b.txt")});
        QVERIFY(A->ops->OpenFile());
        A->select({QStringLiteral("a.txt")});
        QVERIFY(A->ops->OpenFile()); // checked out by the member: opened without a question
        dlg->answer(Dialogs::Yes);
        A->select({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")});
        QVERIFY(A->ops->OpenFile());
        QCOMPARE(dlg->texts(),
                 (QStringList{QStringLiteral("No Files Are Selected"),
                              QStringLiteral("You do not have the latest version of this file."),
                              QStringLiteral("Are you sure you want to open the 3 selected files?"),
                              QStringLiteral("1 files were not opened because you do not have the latest "
                                             "version of these files.")}));
        QCOMPARE(desktop->calls.size(), 3);
        QVERIFY(desktop->calls.at(0).endsWith(A->path(QStringLiteral("a.txt"))));
        QVERIFY(desktop->calls.at(2).endsWith(A->path(QStringLiteral("c.txt"))));
    }

    void shortCatalogueIsNeverSavedOver() {
        // Another member's save is under way: the catalogue the check-out fetches is cut short.
        QVERIFY(A->refresh());
        const QByteArray cut = catalogue({indexLine(), pageLine()}, "2.0.5", 5);
        host.write(QStringLiteral("krg/_files.txt"), cut);
        dlg->answer(Dialogs::Cancel); // the closing rebuild finds it short too and offers the repair
        QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts().size(), 2);
        QCOMPARE(dlg->texts().value(0),
                 incompleteCatalogueMessage(QStringLiteral("5 files expected, 2 files found)")));
        QVERIFY(!A->commands.contains(QStringLiteral("send _files.txt _files.txt")));
        QCOMPARE(fx.hostCatalogue(), cut);
        // Check-in likewise uploads the file but leaves the catalogue alone.
        dlg->clear();
        setCatalogue({fileLine("a.txt", "Alda")});
        QVERIFY(A->refresh());
        host.write(QStringLiteral("krg/_files.txt"), catalogue({}, "2.0.5", 1));
        A->write(QStringLiteral("a.txt"), "A's a");
        A->prompt.answers.enqueue({true, QStringLiteral("x"), false, false, false});
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!A->checkIn({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts().size(), 2);
        QCOMPARE(dlg->texts().value(0),
                 incompleteCatalogueMessage(QStringLiteral("1 files expected, 0 files found)")));
        QCOMPARE(fx.hostCatalogue(), catalogue({}, "2.0.5", 1));
        QVERIFY(!IsFileReadOnly(A->path(QStringLiteral("a.txt"))));
    }

    void oneOperationAtATime() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QList<bool> busy;
        QObject::connect(A->ops.get(), &StoreOperations::busyChanged, [&](bool b) { busy << b; });
        bool secondRan = true;
        bool wasBusy = false;
        // Fires inside the check-out's first wait for the host.
        QTimer::singleShot(0, [&] {
            wasBusy = A->ops->busy();
            secondRan = A->ops->GetLatestVersion() || A->ops->UpdateFileList();
        });
        QVERIFY(A->checkOut({QStringLiteral("a.txt")}));
        QVERIFY(wasBusy);
        QVERIFY(!secondRan);
        QCOMPARE(busy, (QList<bool>{true, false}));
        QVERIFY(!A->ops->busy());
        QCOMPARE(dlg->busyDepth(), 0);
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("a.txt.backup"))));
    }

    // Twelve files of a few kilobytes beside the standard five; the names of all seventeen.
    QStringList seedManyFiles() {
        QList<QByteArray> lines = {indexLine(), pageLine(), fileLine("a.txt"), fileLine("b.txt"),
                                   fileLine("c.txt")};
        QStringList names = {QStringLiteral("index.html"), QStringLiteral("my page.html"),
                             QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")};
        for (int i = 0; i < 12; ++i) {
            const QString name = QStringLiteral("f%1.txt").arg(i);
            lines << fileLine(qPrintable(name), "", i % 4 + 1);
            host.write(QStringLiteral("krg/") + name, QByteArray(1000 * (i % 5 + 1), char('a' + i)));
            names << name;
        }
        setCatalogue(lines);
        return names;
    }

    void severalConnectionsDoWhatOneDoes() {
        const QStringList names = seedManyFiles();
        A->store->setParallelTransfers(1);
        B->store->setParallelTransfers(4);
        B->write(QStringLiteral("a.txt"), "B's old a");
        QVERIFY(A->refresh());
        QVERIFY(B->refresh());
        QVERIFY2(A->getLatest(names), qPrintable(texts()));
        QVERIFY2(B->getLatest(names), qPrintable(texts()));
        for (const QString& n : names) {
            QCOMPARE(B->read(n), A->read(n));
            QCOMPARE(B->read(n), fx.hostFile(n));
            QCOMPARE(B->version(n), A->version(n));
            QCOMPARE(IsFileReadOnly(B->path(n)), IsFileReadOnly(A->path(n)));
        }
        QCOMPARE(B->read(QStringLiteral("a.txt.backup")), QByteArray("B's old a"));
        // Logins are reused: no more than the connections, whatever the number of files.
        QVERIFY(B->store->pool().logins() <= 4);
        QVERIFY(!B->commands.contains(QStringLiteral("get f0.txt f0.txt")));

        // Check-out of many: the host ends up exactly as with one connection.
        const QStringList some = names.mid(5, 8);
        QVERIFY2(A->checkOut(some), qPrintable(texts()));
        const QByteArray byOne = fx.hostCatalogue();
        seedManyFiles();
        QVERIFY(B->refresh());
        QVERIFY2(B->checkOut(some), qPrintable(texts()));
        QByteArray byFour = fx.hostCatalogue();
        byFour.replace("\"Bren\"", "\"Alda\"");
        QCOMPARE(byFour, byOne);
        for (const QString& n : some)
            QVERIFY(!IsFileReadOnly(B->path(n)));
    }

    void oneRefusedFileAmongManyRestoresOnlyItself() {
        const QStringList names = seedManyFiles();
        B->store->setParallelTransfers(4);
        B->write(QStringLiteral("f3.txt"), "mine 3");
        B->write(QStringLiteral("f4.txt"), "mine 4");
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/f3.txt", "reply": "450 Busy."}]})");
        QVERIFY(B->refresh());
        QVERIFY(!B->getLatest(names));
        host.setFaults({});
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("The server did not send f3.txt, so your local copy was "
                                            "left as it was and nothing was recorded for it.\r\n\r\n"
                                            "450 Busy.")});
        QCOMPARE(B->read(QStringLiteral("f3.txt")), QByteArray("mine 3"));
        QCOMPARE(B->version(QStringLiteral("f3.txt")), QStringLiteral("0"));
        QCOMPARE(B->read(QStringLiteral("f4.txt")), fx.hostFile(QStringLiteral("f4.txt")));
        QCOMPARE(B->read(QStringLiteral("f4.txt.backup")), QByteArray("mine 4"));
        for (const QString& n : names)
            if (n != QLatin1String("f3.txt"))
                QCOMPARE(B->read(n), fx.hostFile(n));
    }

    void hostWithTwoSessionsTakesTheWorkOnThoseItAccepts() {
        const QStringList names = seedManyFiles();
        host.setMaxSessions(2);
        QVERIFY(restartHost());
        B->store->setParallelTransfers(4);
        QVERIFY(B->refresh());
        QVERIFY2(B->getLatest(names), qPrintable(texts()));
        QVERIFY(dlg->records().isEmpty());
        for (const QString& n : names)
            QCOMPARE(B->read(n), fx.hostFile(n));
        // Every body came over the connection the host accepted, none one by one afterwards.
        for (const QString& c : std::as_const(B->commands))
            QVERIFY2(!c.startsWith(QLatin1String("get f")), qPrintable(c));
        host.setMaxSessions(0);
        host.stop();
    }

    void addListOffersOnlyNewVisibleFiles() {
        seedActions();
        for (const char* name :
             {"new.html", "INDEX.HTML", "new.html.backup", "_files.txt", "_files.txt.backup", "_control.dat",
              "notesbackup", "Fresh.txt", "quote\"d.txt"})
            A->write(QLatin1String(name), "x");
        QVERIFY(A->refresh());
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("_hidden.txt"))));
        addfiles::Listing listing = addfiles::AddableFiles(A->list);
        QVERIFY(listing.error.isEmpty());
        QCOMPARE(QSet<QString>(listing.names.cbegin(), listing.names.cend()),
                 (QSet<QString>{"new.html", "Fresh.txt"}));
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
        seedActions();
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
        seedActions();
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
        seedActions();
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
        seedActions();
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
        seedActions();
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
        seedActions();
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

KRTP_TEST_MAIN_CORE(TestStoreOps)
#include "tst_storeops.moc"
