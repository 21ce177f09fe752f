// Check out, check in, get latest version and open against a loopback host, with two members
// (separate local folders and settings) working on the same store.
#include "filestore/cataloguelock.h"
#include "scripteddialogs.h"
#include "storeopstestutil.h"
#include "storetexts.h"
#include "testmain.h"
#include "transfer/transferpool.h"
#include "util/fileutil.h"

#include <QDirIterator>
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
};

KRTP_TEST_MAIN_CORE(TestStoreOps)
#include "tst_storeops.moc"
