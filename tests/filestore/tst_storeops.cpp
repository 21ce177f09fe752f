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
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

using namespace krtp;
using namespace Qt::StringLiterals;
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

QString waitingFor(const char* who) {
    return u"Waiting for "_s + QLatin1String(who) +
           QString::fromUtf8(", who is changing the shared file list\xe2\x80\xa6");
}
QByteArray abc(const char* a = "", const char* b = "", const char* c = "") {
    return catalogue({fileLine("a.txt", a), fileLine("b.txt", b), fileLine("c.txt", c)});
}

// Faults of a host that breaks an upload off, leaving its first part, and will not rename onto an
// existing name.
QByteArray brokenUpload(const char* path, const char* part) {
    const QJsonObject refusal{{u"cmd"_s, u"STOR"_s},
                              {u"path"_s, QLatin1String(path)},
                              {u"reply"_s, u"451 Broken off."_s},
                              {u"leave"_s, QLatin1String(part)}};
    return QJsonDocument(
               QJsonObject{{u"refuse"_s, QJsonArray{refusal}}, {u"no_rename_onto_existing"_s, true}})
        .toJson(QJsonDocument::Compact);
}
// The host answers an upload to path with success but does not list the file afterwards.
QByteArray hiddenAfterUpload(const char* path) {
    return QStringLiteral(R"({"hide_after_upload": [{"path": "%1", "times": 1}]})")
        .arg(QLatin1String(path))
        .toUtf8();
}

// A member's copy of a file in one line: its bytes, whether it is read-only, the version recorded
// for it and its status in the member's list.
QString copyOf(const Member& m, const QString& file) {
    return QString::fromUtf8(m.read(file)) +
           (IsFileReadOnly(m.path(file)) ? u" | read-only | v"_s : u" | writable | v"_s) + m.version(file) +
           u" | "_s + m.status(file);
}

// A save of the catalogue under the lock, with the read-back that checks it (commands joined by "|").
const QString kSaveCatalogue =
    u"mkdir /krg/_files.lock|send _files.lock.txt /krg/_files.lock/holder.txt|get _files.txt _files.txt|"
    "delete _files.txt.backup|rename _files.txt _files.txt.backup|send _files.txt _files.txt|"
    "get _files.txt _files.txt.check|get /krg/_files.lock/holder.txt _files.lock.txt|"
    "delete /krg/_files.lock/holder.txt|rmdir /krg/_files.lock"_s;

} // namespace

class TestStoreOps : public QObject, MembersFixture {
    Q_OBJECT
    std::unique_ptr<RecordingDesktopServices> desktop;

    // The standard store: five files, all free.
    void seedStore() {
        fx.clearControlFolder();
        host.write(u"krg/_files.txt"_s, standardCatalogue());
        host.write(u"krg/index.html"_s, kIndexBytes);
        host.write(u"krg/my page.html"_s, kPageBytes);
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            host.write(u"krg/"_s + QLatin1String(n), QByteArray("server ") + n + "\n");
    }

    // The guard's store: the standard one's a.txt, b.txt and c.txt, all free; A's list is built.
    void seedGuard() {
        host.write(u"krg/_files.txt"_s, abc());
        QVERIFY2(A->refresh(), qPrintable(texts()));
    }
    QTemporaryDir scratch;
    int scratchFiles = 0;

    // A holder file as another member's client writes it when it takes the lock; its clock may be
    // wrong by clockOffset seconds.
    void placeLock(const char* who, qint64 clockOffset, const QByteArray& token = "feed") {
        QDir(host.root()).mkpath(u"krg/_files.lock"_s);
        host.write(u"krg/_files.lock/holder.txt"_s,
                   QByteArray(who) + "\r\n" +
                       QByteArray::number(QDateTime::currentSecsSinceEpoch() + clockOffset) + "\r\n" + token +
                       "\r\n");
    }
    // After each upload to path (after the next one only when once), the host holds content instead:
    // a client without the lock saved over it, or the host cut the upload short.
    QByteArray replacedAfterUpload(const char* path, const QByteArray& content, bool once = false) {
        const QString file = scratch.filePath(QString::number(++scratchFiles));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file));
        return QStringLiteral(R"({"replace_after_upload": [{"path": "%1", "content_file": "%2"%3}]})")
            .arg(QLatin1String(path), file, once ? QStringLiteral(R"(, "times": 1)") : QString())
            .toUtf8();
    }
    // Carol's program is in the middle of a save: it holds the lock, and the host has the first part
    // of her catalogue so far. When Alda is told to wait, Carol's save ends.
    void carolIsSaving(const QByteArray& carols) {
        placeLock("Carol", 0, "c0de");
        host.write(u"krg/_files.txt"_s, carols.left(carols.size() - 9));
        dlg->onStatus = [this, carols](const QString& text) {
            if (!text.startsWith(QLatin1String("Waiting for Carol")))
                return;
            host.write(u"krg/_files.txt"_s, carols);
            QDir(host.path(u"krg/_files.lock"_s)).removeRecursively();
            dlg->onStatus = {};
        };
    }

    // The actions' store: index.html, which Alda owns, and free.txt, which nobody owns.
    void seedActions() {
        setCatalogue({indexLine(), freeLine()});
        host.write(u"krg/free.txt"_s, "free");
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
        CatalogueLock::timing().waitMs = 1800;
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
        host.setFaults({});
        QDir(host.path(u"krg/_files.lock"_s)).removeRecursively();
        desktop.reset();
        dropMembers();
        if (host.running())
            host.exportEnvironment();
    }

    void twoMembersCheckOutCheckInAndGet() {
        // Both had fetched version 3; A's copy is read-only, as a get leaves it.
        A->write(u"index.html"_s, "A's old copy");
        SetFileReadOnly(A->path(u"index.html"_s), true, true, false);
        A->write(u"index.html.backup"_s, "older still");
        A->settings->setFileVersion(u"index.html"_s, u"3"_s);
        B->write(u"index.html"_s, "B's old copy");
        B->settings->setFileVersion(u"index.html"_s, u"3"_s);
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(B->refresh());

        // A checks out: the catalogue names A as controller and nothing else changes.
        QVERIFY(A->checkOut({u"index.html"_s}));
        QCOMPARE(A->commands.join(QLatin1Char('|')),
                 u"ls index.html|get index.html index.html|"_s + kSaveCatalogue);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{0, indexLine(3, "Alda")}}));
        QCOMPARE(copyOf(*A, u"index.html"_s), QString::fromUtf8(kIndexBytes) + " | writable | v3 | open");
        QCOMPARE(A->read(u"index.html.backup"_s), QByteArray("A's old copy"));
        QVERIFY(!IsFileReadOnly(A->path(u"index.html.backup"_s)));

        // B's list shows the file locked; B's check-out of it is passed over without a word.
        QVERIFY(B->refresh());
        QCOMPARE(B->status(u"index.html"_s), u"locked"_s);
        QVERIFY(B->checkOut({u"index.html"_s}));
        QVERIFY(B->commands.isEmpty());
        QCOMPARE(B->read(u"index.html"_s), QByteArray("B's old copy"));

        // A edits and checks in; a typed double quote reaches the catalogue as an apostrophe.
        const QByteArray edited = "<html>index v4, \"edited\" by A</html>\r\n";
        A->write(u"index.html"_s, edited);
        QVERIFY(A->checkIn({u"index.html"_s}, u"new \"links\""_s));
        // The previous copy joins the history (whose folder the first check-in makes).
        QCOMPARE(A->commands.join(QLatin1Char('|')),
                 u"get _files.txt _files.txt|delete index.html.backup|"
                 "rename index.html index.html.backup|send index.html index.html|ls index.html|"
                 "rename index.html.backup _history/index.html.v3|mkdir _history|"
                 "rename index.html.backup _history/index.html.v3|"
                 "get _history/index.html.index _files.history.index|"
                 "get _history/depth.txt _files.history.depth|"
                 "send _files.history.index _history/index.html.index|"_s +
                     kSaveCatalogue);
        QCOMPARE(fx.hostFile(u"index.html"_s), edited);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{0, indexLine(4, "", "Alda: new 'links'")}}));
        QCOMPARE(copyOf(*A, u"index.html"_s), QString::fromUtf8(edited) + " | read-only | v4 | unlocked");

        // B gets the latest version: A's bytes, B's copy kept aside, read-only, shown unlocked.
        QVERIFY(B->refresh());
        QVERIFY(B->getLatest({u"index.html"_s}));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(copyOf(*B, u"index.html"_s), QString::fromUtf8(edited) + " | read-only | v4 | unlocked");
        QCOMPARE(B->read(u"index.html.backup"_s), QByteArray("B's old copy"));
        QVERIFY(!IsFileReadOnly(B->path(u"index.html.backup"_s)));
    }

    void oddCharactersInNames() {
        const QStringList names{u"a#1.txt"_s, u"50% off.txt"_s, u"it's,here.txt"_s,  u"\u00fcber & co.txt"_s,
                                u"x?y.txt"_s, u"[b].txt"_s,     u" lead  two.txt"_s, u"*.txt"_s};
        QList<QByteArray> lines;
        for (const QString& n : names) {
            lines << catalogueLine(n.toUtf8().constData(), 1, "", "", "", "");
            host.write(u"krg/"_s + n, "server " + n.toUtf8());
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
        QVERIFY2(A->checkIn(names, u"odd"_s, true), qPrintable(texts()));
        QList<QByteArray> after;
        for (const QString& n : names) {
            QCOMPARE(fx.hostFile(n), "A's " + n.toUtf8());
            QVERIFY(!fx.hostHas(n + u".backup"_s));
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
        const QStringList odd{u"../escape.txt"_s, u"sub/x.txt"_s, u"_files.txt"_s, u"_Files.txt.backup"_s};
        QList<QByteArray> lines{fileLine("a.txt")};
        for (const QString& n : odd)
            lines << fileLine(n.toUtf8().constData());
        setCatalogue(lines);
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(!A->checkOut(QStringList(odd) << u"a.txt"_s));
        QStringList expected;
        for (const QString& n : odd)
            expected << u"\""_s + n +
                            u"\" cannot be handled as a shared file, so it was left alone: a "
                            "shared file lies directly in the control folder and in your local "
                            "folder, and is not the catalogue itself."_s;
        QCOMPARE(dlg->texts(), expected);
        for (const QString& c : A->commands)
            QVERIFY2(!c.contains("escape"_L1) && !c.contains("x.txt"_L1) && !c.contains("_Files"_L1) &&
                         (!c.startsWith("get _files.txt"_L1) || c == "get _files.txt _files.txt.check"_L1 ||
                          c == "get _files.txt _files.txt"_L1),
                     qPrintable(c));
        lines[0] = fileLine("a.txt", "Alda");
        QCOMPARE(fx.hostCatalogue(), catalogue(lines));
        QVERIFY(!QFileInfo::exists(A->path(u"../escape.txt"_s)));

        // Check-in and get leave them alone too: the host's catalogue is never sent as a shared file.
        QList<QByteArray> mine;
        for (const QString& n : odd)
            mine << fileLine(n.toUtf8().constData(), "Alda");
        setCatalogue(mine);
        QVERIFY(A->refresh());
        dlg->clear();
        QVERIFY(!A->checkIn(odd, u"x"_s, true));
        QCOMPARE(dlg->texts(), expected);
        QVERIFY(A->prompt.asked.isEmpty());
        QVERIFY2(!A->commands.contains(u"send _files.txt _files.txt"_s), qPrintable(A->commands.join('|')));
        QCOMPARE(fx.hostCatalogue(), catalogue(mine));
        setCatalogue(lines);
        QVERIFY(A->refresh());
        dlg->clear();
        QVERIFY(!A->getLatest(odd));
        QCOMPARE(dlg->texts(), expected);
    }

    void cancelKeepCheckedOutAndRevert() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(A->checkOut({u"a.txt"_s, u"b.txt"_s}));
        const QByteArray before = fx.hostCatalogue();
        A->write(u"a.txt"_s, "A's a");
        A->write(u"b.txt"_s, "A's unsent b");
        // Cancel at the second file: nothing at all is sent.
        A->prompt.answers.enqueue({true, u"first"_s, false, false, false});
        A->prompt.answers.enqueue({false, {}, false, false, false});
        QVERIFY(A->checkIn({u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(A->prompt.asked, (QStringList{u"a.txt"_s, u"b.txt"_s}));
        QVERIFY(A->commands.isEmpty());
        QCOMPARE(fx.hostCatalogue(), before);
        QCOMPARE(A->status(u"a.txt"_s), u"open"_s);
        // Keep: the new version goes up, the file stays A's and writable.
        A->prompt.answers.enqueue({true, u"halfway"_s, true, false, false});
        QVERIFY(A->checkIn({u"a.txt"_s}));
        QCOMPARE(fx.hostFile(u"a.txt"_s), QByteArray("A's a"));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"A's a | writable | v2 | open"_s);
        // Revert: nothing is sent, the file is given back, the local changes stay (read-only).
        A->prompt.answers.enqueue({true, QString(), false, false, true});
        QVERIFY(A->checkIn({u"b.txt"_s}));
        QCOMPARE(fx.hostFile(u"b.txt"_s), QByteArray("server b.txt\n"));
        QCOMPARE(copyOf(*A, u"b.txt"_s), u"A's unsent b | read-only | v1 | unlocked"_s);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "Alda", 2, "Alda: halfway")}}));
        QVERIFY(dlg->records().isEmpty());
    }

    void checkInAllOverThreeFiles() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        const QStringList three{u"a.txt"_s, u"b.txt"_s, u"c.txt"_s};
        QVERIFY(A->checkOut(three));
        A->write(u"a.txt"_s, "A's a");
        A->write(u"b.txt"_s, "A's b");
        QFile::remove(A->path(u"c.txt"_s));
        // One answer for all; the missing c.txt still asks, and OK gives back only that file.
        dlg->answer(Dialogs::Ok);
        QVERIFY(A->checkIn(three, u"all three"_s, true));
        QCOMPARE(A->prompt.asked, QStringList{u"a.txt"_s});
        QCOMPARE(dlg->texts(), QStringList{u"The file c.txt does not exist on your local computer.  Press OK "
                                           "to check this file in without updating the server (you will lose "
                                           "any changes you may have made)."_s});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok | Dialogs::Cancel);
        QCOMPARE(dlg->records().first().defaultButton, Dialogs::Cancel);
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.hostFile(u"a.txt"_s), QByteArray("A's a"));
        QCOMPARE(fx.hostFile(u"b.txt"_s), QByteArray("A's b"));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "", 2, "Alda: all three")},
                                                        {3, fileLine("b.txt", "", 2, "Alda: all three")}}));
    }

    void readOnlyMemberMayNotCheckOutAdministratorMay() {
        B->level = LevelReadOnly;
        QVERIFY(B->refresh());
        QVERIFY(!B->checkOut({u"a.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"Sorry, you do not have access to that feature."_s});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QVERIFY(B->commands.isEmpty());
        QVERIFY(B->selected(u"a.txt"_s)); // a get is left to krtp-cli's test of the same member
        // An administrator may.
        A->level = LevelAdministrator;
        QVERIFY2(A->refresh() && A->checkOut({u"c.txt"_s}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{4, fileLine("c.txt", "Alda")}}));
    }

    void serverCopyMissing() {
        // a.txt was left aside by an interrupted check-in: restored without a word.
        QFile::rename(host.path(u"krg/a.txt"_s), host.path(u"krg/a.txt.backup"_s));
        QFile::remove(host.path(u"krg/b.txt"_s));
        A->write(u"b.txt"_s, "A's own b");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        dlg->answer(Dialogs::No);
        QVERIFY(A->checkOut({u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"b.txt does not exist on the server.\r\n\r\nDo you still want to "
                                           "check this file out?"_s});
        QCOMPARE(dlg->records().first().buttons, Dialogs::Yes | Dialogs::No);
        QVERIFY(fx.hostHas(u"a.txt"_s));
        QVERIFY(!fx.hostHas(u"a.txt.backup"_s));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"server a.txt\n | writable | v1 | open"_s);
        QCOMPARE(A->column(u"b.txt"_s, columns::kOwner), QString());
        // Yes: checked out on the strength of the local copy alone, which stays untouched.
        dlg->clear();
        dlg->answer(Dialogs::Yes);
        QVERIFY(A->checkOut({u"b.txt"_s}));
        QCOMPARE(A->column(u"b.txt"_s, columns::kOwner), u"Alda"_s);
        QCOMPARE(A->read(u"b.txt"_s), QByteArray("A's own b"));
        QVERIFY(!QFileInfo::exists(A->path(u"b.txt.backup"_s)));
        // Get latest of a file missing on the server says so and leaves the local copy.
        dlg->clear();
        QVERIFY(B->refresh());
        QVERIFY(!B->getLatest({u"b.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"b.txt does not exist on the server."_s});
    }

    void oneOperationAtATimeAndBothMembersCheckOutTheSameFile() {
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(B->refresh());
        QList<bool> busy;
        QObject::connect(A->ops.get(), &StoreOperations::busyChanged, [&](bool b) { busy << b; });
        bool secondRan = true;
        bool wasBusy = false;
        // Fires inside the check-out's first wait for the host.
        QTimer::singleShot(0, [&] {
            wasBusy = A->ops->busy();
            secondRan = A->ops->GetLatestVersion() || A->ops->UpdateFileList();
        });
        QVERIFY(A->checkOut({u"a.txt"_s}));
        QVERIFY(wasBusy);
        QVERIFY(!secondRan);
        QCOMPARE(busy, (QList<bool>{true, false}));
        QCOMPARE(dlg->busyDepth(), 0);
        QVERIFY(!QFileInfo::exists(A->path(u"a.txt.backup"_s)));
        // B's list was built before A's check-out and still shows a.txt free.
        QCOMPARE(B->column(u"a.txt"_s, columns::kOwner), QString());
        QVERIFY(!B->checkOut({u"a.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{takenMessage(u"a.txt"_s, u"Alda"_s)});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(fx.hostCatalogue(), standardCatalogue({{2, fileLine("a.txt", "Alda")}}));
        QCOMPARE(B->column(u"a.txt"_s, columns::kOwner), u"Alda"_s);
    }

    void checkInNeverReleasesAnotherMembersCheckOut() {
        // A's list says A holds a.txt and b.txt (the controller in another letter case is the member),
        // but meanwhile the catalogue gave a.txt to Bren.
        setCatalogue({fileLine("a.txt", "Alda"), fileLine("b.txt", "ALDA")});
        A->write(u"a.txt"_s, "A's a");
        A->write(u"b.txt"_s, "A's b");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QCOMPARE(A->status(u"b.txt"_s), u"open"_s);
        setCatalogue({fileLine("a.txt", "Bren"), fileLine("b.txt", "ALDA")});
        QVERIFY(!A->checkIn({u"a.txt"_s, u"b.txt"_s}, u"both"_s, true));
        QCOMPARE(dlg->texts(),
                 QStringList{u"a.txt is checked out by Bren now, so your check-in of it was not recorded "
                             "and it stays with Bren.  If your copy was sent, the server holds it; "
                             "please agree with Bren which copy is the latest."_s});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({fileLine("a.txt", "Bren"), fileLine("b.txt", "", 2, "Alda: both")}));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"A's a | writable | v0 | new"_s);
        QCOMPARE(A->version(u"b.txt"_s), u"2"_s);
        QCOMPARE(fx.hostFile(u"b.txt"_s), QByteArray("A's b"));
        QCOMPARE(A->column(u"a.txt"_s, columns::kOwner), u"Bren"_s);
        // A version the catalogue cannot hold stops the check-in before anything is sent.
        setCatalogue({fileLine("a.txt", "Alda", 32767)});
        QVERIFY(A->refresh());
        dlg->clear();
        QVERIFY(!A->checkIn({u"a.txt"_s}, u"one more"_s));
        QCOMPARE(dlg->texts(), QStringList{u"Overflow: a.txt is at version 32767, the highest "
                                           "version the catalogue can hold.  Nothing was "
                                           "checked in."_s});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
        QVERIFY(A->commands.isEmpty());
    }

    void hostStoppedBetweenSendAndListLosesNothing() {
        setCatalogue({fileLine("a.txt", "Alda"), fileLine("b.txt")});
        QVERIFY2(A->refresh(), qPrintable(texts()));
        A->write(u"a.txt"_s, "A's a");
        const QMetaObject::Connection stopper =
            QObject::connect(A->store.get(), &FileStore::commandFinished, [this](const QString& command) {
                if (command == QLatin1String("send a.txt a.txt"))
                    host.stop();
            });
        QVERIFY(!A->checkIn({u"a.txt"_s}, u"cut"_s));
        QCOMPARE(dlg->texts().value(0), u"Error sending a.txt, please try again."_s);
        // The catalogue is unchanged: A still controls a.txt at version 1; the previous server copy
        // waits as a.txt.backup, A's copy is untouched.
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "Alda"), fileLine("b.txt")}));
        QCOMPARE(fx.hostFile(u"a.txt.backup"_s), QByteArray("server a.txt\n"));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"A's a | writable | v0 | open"_s);
        // Once the host is back, checking in again finishes the job.
        QVERIFY(restartHost());
        QObject::disconnect(stopper);
        QVERIFY(A->checkIn({u"a.txt"_s}, u"again"_s));
        QCOMPARE(fx.hostFile(u"a.txt"_s), QByteArray("A's a"));
        QVERIFY(!fx.hostHas(u"a.txt.backup"_s));
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "", 2, "Alda: again"), fileLine("b.txt")}));
    }

    void getLatestLeavesOwnCheckOutsAndOffersTheSpecialDocument() {
        setCatalogue(
            {fileLine("a.txt", "ALDA", 5), fileLine("KRplot.doc", "Bren", 2), fileLine("b.txt", "", 3)});
        host.write(u"krg/KRplot.doc"_s, "plot v2");
        A->write(u"a.txt"_s, "A's work in progress");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        dlg->answer(Dialogs::Ok); // view the special document
        dlg->answer(Dialogs::Ok); // open it although not checked out
        QVERIFY(A->getLatest({u"a.txt"_s, u"KRplot.doc"_s}));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"A's work in progress | writable | v5 | open"_s);
        QCOMPARE(A->read(u"KRplot.doc"_s), QByteArray("plot v2"));
        QCOMPARE(A->version(u"krplot.doc"_s), u"2"_s);
        QCOMPARE(dlg->texts(), (QStringList{u"KRplot.doc has been updated, press OK to view the changes."_s,
                                            u"You do not have KRplot.doc checked out.  You will not be able "
                                            "to save your changes to this file."_s}));
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Information);
        QCOMPARE(dlg->records().first().buttons, Dialogs::Ok | Dialogs::Cancel);
        QCOMPARE(desktop->calls.size(), 1);
        QVERIFY(desktop->calls.first().endsWith(A->path(u"KRplot.doc"_s)));
        QVERIFY(A->selected(u"krplot.doc"_s));
        QVERIFY(!A->selected(u"a.txt"_s));

        // When the member ends the program at the closing rebuild's repair question, nothing more is asked.
        dlg->clear();
        host.write(u"krg/_files.txt"_s, catalogue({fileLine("KRplot.doc", "Bren", 2)}, "2.0.5", 3));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(A->getLatest({u"KRplot.doc"_s}));
        QCOMPARE(A->store->lastOutcome(), FileStore::ReadOutcome::Cancelled);
        QCOMPARE(dlg->records().size(), 1);
        QCOMPARE(desktop->calls.size(), 1);
    }

    void openFileRules() {
        setCatalogue({fileLine("a.txt", "Alda", 2), fileLine("b.txt", "", 3), fileLine("c.txt", "", 1)});
        A->write(u"a.txt"_s, "a");
        A->write(u"c.txt"_s, "c");
        A->settings->setFileVersion(u"a.txt"_s, u"2"_s);
        A->settings->setFileVersion(u"b.txt"_s, u"1"_s);
        A->settings->setFileVersion(u"c.txt"_s, u"1"_s);
        QVERIFY2(A->refresh(), qPrintable(texts()));
        A->select({});
        QVERIFY(A->ops->OpenFile());
        A->select({u"b.txt"_s});
        QVERIFY(A->ops->OpenFile());
        A->select({u"a.txt"_s});
        QVERIFY(A->ops->OpenFile()); // checked out by the member: opened without a question
        dlg->answer(Dialogs::Yes);
        A->select({u"a.txt"_s, u"b.txt"_s, u"c.txt"_s});
        QVERIFY(A->ops->OpenFile());
        QCOMPARE(dlg->texts(), (QStringList{u"No Files Are Selected"_s,
                                            u"You do not have the latest version of this file."_s,
                                            u"Are you sure you want to open the 3 selected files?"_s,
                                            u"1 files were not opened because you do not have the latest "
                                            "version of these files."_s}));
        QCOMPARE(desktop->calls.size(), 3);
        QVERIFY(desktop->calls.at(0).endsWith(A->path(u"a.txt"_s)));
        QVERIFY(desktop->calls.at(2).endsWith(A->path(u"c.txt"_s)));
    }

    void shortCatalogueIsNeverSavedOver() {
        // Another member's save is under way: the catalogue the check-out fetches is cut short.
        QVERIFY(A->refresh());
        const QByteArray cut = catalogue({indexLine(), pageLine()}, "2.0.5", 5);
        host.write(u"krg/_files.txt"_s, cut);
        dlg->answer(Dialogs::Cancel); // the closing rebuild finds it short too and offers the repair
        QVERIFY(!A->checkOut({u"a.txt"_s}));
        QCOMPARE(dlg->texts().size(), 2);
        QCOMPARE(dlg->texts().value(0), incompleteCatalogueMessage(u"5 files expected, 2 files found)"_s));
        QVERIFY(!A->commands.contains(u"send _files.txt _files.txt"_s));
        QCOMPARE(fx.hostCatalogue(), cut);
        // Check-in likewise uploads the file but leaves the catalogue alone.
        dlg->clear();
        setCatalogue({fileLine("a.txt", "Alda")});
        QVERIFY(A->refresh());
        host.write(u"krg/_files.txt"_s, catalogue({}, "2.0.5", 1));
        A->write(u"a.txt"_s, "A's a");
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!A->checkIn({u"a.txt"_s}, u"x"_s));
        QCOMPARE(dlg->texts().size(), 2);
        QCOMPARE(dlg->texts().value(0), incompleteCatalogueMessage(u"1 files expected, 0 files found)"_s));
        QCOMPARE(fx.hostCatalogue(), catalogue({}, "2.0.5", 1));
        QVERIFY(!IsFileReadOnly(A->path(u"a.txt"_s)));
    }

    // Twelve files of a few kilobytes beside the standard five; the names of all seventeen.
    QStringList seedManyFiles() {
        QList<QByteArray> lines = {indexLine(), pageLine(), fileLine("a.txt"), fileLine("b.txt"),
                                   fileLine("c.txt")};
        QStringList names = {u"index.html"_s, u"my page.html"_s, u"a.txt"_s, u"b.txt"_s, u"c.txt"_s};
        for (int i = 0; i < 12; ++i) {
            const QString name = u"f%1.txt"_s.arg(i);
            lines << fileLine(qPrintable(name), "", i % 4 + 1);
            host.write(u"krg/"_s + name, QByteArray(1000 * (i % 5 + 1), char('a' + i)));
            names << name;
        }
        setCatalogue(lines);
        return names;
    }

    void severalConnectionsDoWhatOneDoes() {
        const QStringList names = seedManyFiles();
        A->store->setParallelTransfers(1);
        B->store->setParallelTransfers(4);
        B->write(u"a.txt"_s, "B's old a");
        B->write(u"f3.txt"_s, "mine 3");
        B->write(u"f4.txt"_s, "mine 4");
        QVERIFY(A->refresh());
        QVERIFY(B->refresh());
        // One refused file among many restores only itself.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/f3.txt", "reply": "450 Busy."}]})");
        QVERIFY(!B->getLatest(names));
        host.setFaults({});
        QCOMPARE(dlg->texts(), QStringList{u"The server did not send f3.txt, so your local copy was "
                                           "left as it was and nothing was recorded for it.\r\n\r\n"
                                           "450 Busy."_s});
        QCOMPARE(B->read(u"f3.txt"_s), QByteArray("mine 3"));
        QCOMPARE(B->version(u"f3.txt"_s), u"0"_s);
        QCOMPARE(B->read(u"f4.txt.backup"_s), QByteArray("mine 4"));
        QCOMPARE(B->read(u"a.txt.backup"_s), QByteArray("B's old a"));
        for (const QString& n : names)
            if (n != QLatin1String("f3.txt"))
                QCOMPARE(B->read(n), fx.hostFile(n));

        dlg->clear();
        QVERIFY2(A->getLatest(names), qPrintable(texts()));
        QVERIFY2(B->getLatest(names), qPrintable(texts()));
        for (const QString& n : names) {
            QCOMPARE(B->read(n), A->read(n));
            QCOMPARE(B->read(n), fx.hostFile(n));
            QCOMPARE(B->version(n), A->version(n));
            QCOMPARE(IsFileReadOnly(B->path(n)), IsFileReadOnly(A->path(n)));
        }
        // Logins are reused: no more than the connections, whatever the number of files.
        QVERIFY(B->store->pool().logins() <= 4);
        QVERIFY(!B->commands.contains(u"get f0.txt f0.txt"_s));

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
        QVERIFY(!QFileInfo::exists(A->path(u"_hidden.txt"_s)));
        addfiles::Listing listing = addfiles::AddableFiles(A->list);
        QVERIFY(listing.error.isEmpty());
        QCOMPARE(QSet<QString>(listing.names.cbegin(), listing.names.cend()),
                 (QSet<QString>{"new.html", "Fresh.txt"}));
        // The hide list is made empty on the first listing; hiding appends, also twice the same name.
        QCOMPARE(A->read(u"_hidden.txt"_s), QByteArray());
        QVERIFY(addfiles::HideFiles({u"Fresh.txt"_s}));
        QVERIFY(addfiles::HideFiles({u"Fresh.txt"_s}));
        QCOMPARE(A->read(u"_hidden.txt"_s), QByteArray("Fresh.txt\r\nFresh.txt\r\n"));
        QCOMPARE(addfiles::AddableFiles(A->list).names, QStringList{u"new.html"_s});
        // A hidden line matches whatever the letter case; a hand-edited line ending counts too.
        A->write(u"_hidden.txt"_s, "NEW.HTML\nfresh.txt");
        QVERIFY(addfiles::AddableFiles(A->list).names.isEmpty());

        // A hide list that cannot be written is reported, and nothing is hidden.
        QFile::remove(A->path(u"_hidden.txt"_s));
        QVERIFY(QDir(A->local.path()).mkdir(u"_hidden.txt"_s));
        QString error;
        QVERIFY(!addfiles::HideFiles({u"new.html"_s}, &error));
        QVERIFY(!error.isEmpty());
        // Deleting reports the names it could not delete.
        QCOMPARE(addfiles::DeleteLocalFiles({u"new.html"_s, u"gone.txt"_s}), QStringList{u"gone.txt"_s});
        QVERIFY(!QFileInfo::exists(A->path(u"new.html"_s)));
    }

    void addingFiles() {
        seedActions();
        const QByteArray page = QByteArray("<html>\r\nnew\r\n</html>\x00\xff", 22);
        A->write(u"new.html"_s, page);
        A->write(u"Notes.txt"_s, "notes");
        QVERIFY(A->refresh());
        dlg->answerText(u"The \"new\" page"_s);
        dlg->answerText(u"Notes"_s);
        A->commands.clear();
        QStringList added;
        QVERIFY2(A->ops->AddFiles({u"new.html"_s, u"Notes.txt"_s}, {}, &added), qPrintable(texts()));
        QCOMPARE(added, (QStringList{"new.html", "Notes.txt"}));
        QCOMPARE(dlg->texts(), (QStringList{addfiles::DescriptionPrompt(u"new.html"_s),
                                            addfiles::DescriptionPrompt(u"Notes.txt"_s)}));
        QCOMPARE(dlg->records().first().text, u"Please enter a file description for new.html\r\n\r\n"
                                              "You must enter a description, or the file cannot "
                                              "be added."_s);
        QCOMPARE(host.read(u"krg/new.html"_s), page);
        QCOMPARE(host.read(u"krg/Notes.txt"_s), QByteArray("notes"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({indexLine(), freeLine(),
                            catalogueLine("new.html", 1, "", "Alda", "The 'new' page", "Alda: *new file*"),
                            catalogueLine("Notes.txt", 1, "", "Alda", "Notes", "Alda: *new file*")}));
        QCOMPARE(A->version(u"new.html"_s), u"1"_s);
        QCOMPARE(A->status(u"notes.txt"_s), u"unlocked"_s);
        QVERIFY(!IsFileReadOnly(A->path(u"new.html"_s)));
        // The fresh catalogue is read before anything is sent; whatever stood under a name waits aside.
        QCOMPARE(
            A->commands.mid(0, 9),
            (QStringList{u"get _files.txt _files.txt"_s, u"delete new.html.backup"_s,
                         u"rename new.html new.html.backup"_s, u"send new.html new.html"_s, u"ls new.html"_s,
                         u"delete Notes.txt.backup"_s, u"rename Notes.txt Notes.txt.backup"_s,
                         u"send Notes.txt Notes.txt"_s, u"ls Notes.txt"_s}));

        // Reserved and catalogued names (any letter case) are refused one by one; the others go on.
        dlg->clear();
        A->write(u"x.backup"_s, "b");
        A->write(u"INDEX.HTML"_s, "mine");
        A->write(u"third.txt"_s, "3");
        dlg->answerText(u"Third"_s);
        QVERIFY(!A->ops->AddFiles({u"x.backup"_s, u"INDEX.HTML"_s, u"third.txt"_s}));
        QCOMPARE(dlg->texts(), (QStringList{u"x.backup - files that start with \"_files.txt\" or end with "
                                            "\"backup\" cannot be added."_s,
                                            u"INDEX.HTML could not be added.\r\nA file with the same name "
                                            "already exists."_s,
                                            addfiles::DescriptionPrompt(u"third.txt"_s)}));
        QVERIFY(
            fx.hostCatalogue().contains("\"third.txt\",1,\"\",\"Alda\",\"Third\",\"Alda: *new file*\"\r\n"));
        QCOMPARE(host.read(u"krg/index.html"_s), kIndexBytes);

        // Cancelling one description adds nothing.
        for (const char* n : {"one.txt", "two.txt", "three.txt"})
            A->write(QLatin1String(n), n);
        QVERIFY(A->refresh());
        const QByteArray before = fx.hostCatalogue();
        dlg->answerText(u"One"_s);
        dlg->answerText(u"Two"_s);
        dlg->answerText(std::nullopt);
        QVERIFY(!A->ops->AddFiles({u"one.txt"_s, u"two.txt"_s, u"three.txt"_s}));
        QCOMPARE(dlg->lastText(),
                 u"No Description Was Entered - three.txt Was Not Added\r\n\r\nOperation Canceled"_s);
        QCOMPARE(fx.hostCatalogue(), before);
        for (const char* n : {"one.txt", "two.txt", "three.txt"})
            QVERIFY(!fx.hostHas(QLatin1String(n)));
        // No local version for a file that was never catalogued.
        QCOMPARE(A->version(u"one.txt"_s), u"0"_s);

        // A Read Only member cannot add at all.
        dlg->clear();
        A->level = LevelReadOnly;
        A->activate();
        QVERIFY(!A->ops->AddFiles({u"one.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"Sorry, you do not have access to that feature."_s});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Critical);
    }

    void ownerActions() {
        seedActions();
        B->write(u"free.txt"_s, "B's copy");
        B->settings->setFileVersion(u"free.txt"_s, u"2"_s);
        QVERIFY(B->refresh());
        const QString index = u"index.html"_s;
        const QString free = u"free.txt"_s;

        // Another member's file: refused before any question.
        QVERIFY(!B->ops->ChangeFileDescription(index));
        QVERIFY(!B->ops->DeleteFile(index));
        QVERIFY(!B->ops->RelinquishControl(index));
        QCOMPARE(dlg->texts(),
                 (QStringList{u"Sorry, only Alda has permission to change index.html's description."_s,
                              u"Sorry, only Alda has permission to remove index.html."_s,
                              u"Sorry, you do not have control index.html."_s}));
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::None);

        // A file without an owner: anyone may describe it (quotes become apostrophes), nobody relinquish it.
        dlg->clear();
        dlg->answerText(u"Everybody's \"free\" file"_s);
        QVERIFY(B->ops->ChangeFileDescription(free));
        QCOMPARE(dlg->records().first().text,
                 u"Please enter a new description for the following file:\r\n\r\nfree.txt"_s);
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({indexLine(),
                            catalogueLine("free.txt", 2, "", "", "Everybody's 'free' file", "Bren: typo")}));
        QCOMPARE(B->column(free, columns::kDesc), u"Everybody's 'free' file"_s);
        QVERIFY(!B->ops->RelinquishControl(free));
        QCOMPARE(dlg->lastText(), u"Sorry, you do not have control free.txt."_s);
        // A cancelled box changes nothing.
        dlg->answerText(std::nullopt);
        const QByteArray described = fx.hostCatalogue();
        QVERIFY(B->ops->ChangeFileDescription(free));
        QCOMPARE(fx.hostCatalogue(), described);

        // Removing asks (No is the default) and takes only the catalogue entry away.
        dlg->answer(Dialogs::No);
        QVERIFY(B->ops->DeleteFile(free));
        QCOMPARE(fx.hostCatalogue(), described);
        dlg->answer(Dialogs::Yes);
        QVERIFY(B->ops->DeleteFile(free));
        QCOMPARE(dlg->lastText(),
                 u"Are you sure you want to remove free.txt from KRtp?\r\n\r\nNOTE: This will not "
                 "delete free.txt from your local computer nor will it delete free.txt from the "
                 "computer of any other KRtp user."_s);
        QCOMPARE(dlg->records().last().icon, Dialogs::Icon::Warning);
        QCOMPARE(dlg->records().last().defaultButton, Dialogs::No);
        QCOMPARE(fx.hostCatalogue(), catalogue({indexLine()}));
        QVERIFY(!B->list.contains(free));
        QCOMPARE(host.read(u"krg/free.txt"_s), QByteArray("free"));
        QCOMPARE(B->read(free), QByteArray("B's copy"));
        QCOMPARE(B->version(free), u"2"_s);
        // The same name can be added again.
        dlg->answerText(u"Back again"_s);
        QVERIFY(B->ops->AddFiles({free}));
        QVERIFY(fx.hostCatalogue().endsWith(
            "\"free.txt\",1,\"\",\"Bren\",\"Back again\",\"Bren: *new file*\"\r\n"));

        // The owner's name in another letter case is the member: A (as "alda") gives up index.html.
        dlg->clear();
        A->name = u"alda"_s;
        QVERIFY(A->refresh());
        dlg->answer(Dialogs::Yes);
        QVERIFY(A->ops->RelinquishControl(index));
        QCOMPARE(dlg->records().first().text,
                 u"Are you sure you want to relinquish control of index.html?"_s);
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Question);
        QVERIFY(fx.hostCatalogue().contains("\"index.html\",3,\"\",\"\",\"Home page\",\"Alda: links\"\r\n"));
        QCOMPARE(A->column(index, columns::kAuthor), QString());

        // B's list says B owns free.txt, but Alda owns it by now: nothing changes and B is told who owns it.
        host.write(u"krg/_files.txt"_s,
                   catalogue({catalogueLine("free.txt", 1, "", "Alda", "Back again", "Bren: *new file*")}));
        const QByteArray taken = fx.hostCatalogue();
        B->activate();
        dlg->answerText(u"mine now"_s);
        QVERIFY(!B->ops->ChangeFileDescription(free));
        QCOMPARE(dlg->lastText(), u"Sorry, only Alda has permission to change free.txt's description."_s);
        dlg->answer(Dialogs::Yes);
        QVERIFY(!B->ops->DeleteFile(free));
        QCOMPARE(dlg->lastText(), u"Sorry, only Alda has permission to remove free.txt."_s);
        QCOMPARE(fx.hostCatalogue(), taken);
        QCOMPARE(B->column(free, columns::kDesc), u"Back again"_s);
    }

    void administratorsEditAndReadOnlySwitch() {
        seedActions();
        A->level = LevelAdministrator;
        QVERIFY(A->refresh());
        StoreOperations::FileDetailsEdit edit = DetailsOfEntry(*A->list.find(u"index.html"_s));
        QCOMPARE(edit.serverVersion, u"3"_s);
        edit.checkedOutBy = u"Bren"_s;
        edit.serverVersion = u"7"_s;
        edit.author = u"Cara"_s;
        edit.description = u"The \"home\" page"_s;
        edit.lastComment = u"admin: repaired"_s;
        edit.localVersion = u"05"_s;
        QVERIFY(A->ops->EditFileDetails(u"index.html"_s, edit));
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("index.html", 7, "Bren", "Cara",
                                                              "The 'home' page", "admin: repaired"),
                                                freeLine()}));
        QCOMPARE(A->version(u"index.html"_s), u"5"_s);
        QCOMPARE(A->column(u"index.html"_s, columns::kOwner), u"Bren"_s);
        QCOMPARE(A->column(u"index.html"_s, columns::kMyVer), u"5"_s);
        // Not for other levels, and not a version the catalogue cannot hold.
        edit.serverVersion = u"40000"_s;
        QVERIFY(!A->ops->EditFileDetails(u"index.html"_s, edit));
        B->level = LevelFullAccess;
        QVERIFY(B->refresh());
        QVERIFY(!B->ops->EditFileDetails(u"index.html"_s, edit));
        QCOMPARE(dlg->lastText(), u"Sorry, you do not have access to that feature."_s);
        QVERIFY(fx.hostCatalogue().contains("\"index.html\",7,"));

        // The read-only switch works also when the never-read-only option is on; a missing file stays
        // missing.
        dlg->clear();
        A->noReadOnly = true;
        A->write(u"index.html"_s, "local");
        A->activate();
        QVERIFY(A->ops->ToggleReadOnly(u"index.html"_s));
        QVERIFY(IsFileReadOnly(A->path(u"index.html"_s)));
        QVERIFY(A->ops->ToggleReadOnly(u"index.html"_s));
        QVERIFY(!IsFileReadOnly(A->path(u"index.html"_s)));
        QVERIFY(A->ops->ToggleReadOnly(u"free.txt"_s));
        QVERIFY(!QFileInfo::exists(A->path(u"free.txt"_s)));
        QVERIFY(dlg->records().isEmpty());
    }

    void ownerOptionsTable() {
        const auto entry = [](const char* author) {
            ListEntry e;
            e.key = u"f.txt"_s;
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
            const OwnerOptions o = DecideOwnerOptions(r.selected ? &e : nullptr, r.level, u"Alda"_s, true);
            QVERIFY2(o.readOnlyEnabled == r.readOnly && o.readOnlyChecked == r.readOnly, r.what);
            QVERIFY2(o.changeDescription == r.changeDescription, r.what);
            QVERIFY2(o.relinquish == r.relinquish, r.what);
        }
        QVERIFY(!DecideOwnerOptions(nullptr, LevelFullAccess, u"Alda"_s, false).readOnlyChecked);
        const ListEntry own = entry("Alda");
        QVERIFY(!DecideOwnerOptions(&own, LevelAdministrator, u"Alda"_s, false).readOnlyChecked);

        // The current entry: the focused one when selected, else the only selected one.
        FileListModel list;
        for (const char* n : {"a", "b", "c"})
            list.addFile(QLatin1String(n), QString(), {});
        QCOMPARE(CurrentEntryKey(list, u"a"_s), QString());
        list.setSelected(u"b"_s, true);
        QCOMPARE(CurrentEntryKey(list, u"a"_s), u"b"_s);
        list.setSelected(u"c"_s, true);
        QCOMPARE(CurrentEntryKey(list, u"a"_s), QString());
        QCOMPARE(CurrentEntryKey(list, u"c"_s), u"c"_s);
    }

    void companionLists() {
        seedActions();
        // Checked out by "Alda" (exact), by "alda", out of date, never fetched, up to date.
        host.write(u"krg/_files.txt"_s,
                   catalogue({catalogueLine("mine.txt", 4, "Alda"), catalogueLine("case.txt", 1, "alda"),
                              catalogueLine("old.gif", 3), catalogueLine("new.doc", 1),
                              catalogueLine("same.txt", 2)}));
        for (const auto& [name, version] :
             {std::pair{"mine.txt", "3"}, {"case.txt", "1"}, {"old.gif", "2"}, {"same.txt", "2"}})
            A->settings->setFileVersion(QLatin1String(name), QLatin1String(version));
        QVERIFY(A->refresh());
        QCOMPARE(A->store->LastCountOfCheckedOutFiles, 2);

        CompanionListModel checkedOut(CompanionKind::CheckedOut, A->list);
        checkedOut.RefreshList(u"Alda"_s);
        QCOMPARE(checkedOut.count(), 1);
        QCOMPARE(checkedOut.at(0).text, u"mine.txt"_s);
        QCOMPARE(checkedOut.tickedKeys(), QStringList{u"mine.txt"_s});
        QCOMPARE(checkedOut.at(0).columns.value(QLatin1String(columns::kVer)), u"4"_s);
        QCOMPARE(checkedOut.at(0).smallIconKey, u".txt"_s);

        CompanionListModel outdated(CompanionKind::Outdated, A->list);
        outdated.RefreshList(u"Alda"_s);
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
        A->list.setSelected(u"same.txt"_s, true);
        outdated.setData(outdated.index(0, 0), int(Qt::Unchecked), Qt::CheckStateRole);
        outdated.SelectTickedInSource();
        QCOMPARE(A->list.selectedCount(), 2);
        QVERIFY(A->selected(u"old.gif"_s) && A->selected(u"new.doc"_s));
        for (const ListEntry& e : outdated.entries())
            outdated.setTicked(e.key, false);
        A->list.remove(u"old.gif"_s);
        outdated.setTicked(u"old.gif"_s, true);
        outdated.SelectTickedInSource();
        QCOMPARE(A->list.selectedCount(), 0);

        // The folder change is refused while the member holds a check-out in any letter case.
        QVERIFY(HoldsCheckOut(A->list, u"ALDA"_s));
        QVERIFY(!HoldsCheckOut(A->list, u"Bren"_s));
    }

    // The catalogue among several members: the lock, the read-back after a save, passing refusals, the
    // code page, repairs and the checks that keep a member's work when the host misbehaves or another
    // member's program interferes. Each starts from seedGuard().
    void lockAgeIsMeasuredOnTheWaitersClockAndARetakenLockIsWaitedFor() {
        seedGuard();
        // A holder that died with its clock an hour ahead: its token stands still, so it is broken
        // once it has stood for the stale period on this member's clock.
        placeLock("Carol", 3600);
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), abc("Alda"));
        QVERIFY(!fx.lockOnHost());
        QVERIFY(dlg->records().isEmpty());

        // A live holder whose clock runs two minutes behind keeps refreshing its token: it is waited
        // for, never broken.
        int refreshes = 0;
        QTimer alive;
        QObject::connect(&alive, &QTimer::timeout,
                         [&] { placeLock("Carol", -120, QByteArray::number(++refreshes)); });
        alive.start(150);
        placeLock("Carol", -120, "0");
        const QByteArray before = fx.hostCatalogue();
        QVERIFY(!A->checkOut({u"b.txt"_s}));
        alive.stop();
        QVERIFY(dlg->statuses.contains(waitingFor("Carol")));
        QCOMPARE(dlg->texts(), QStringList{u"Carol is still changing the shared file list, so "
                                           "nothing was changed.  Please try again in a moment."_s});
        QCOMPARE(fx.hostCatalogue(), before);
        QVERIFY(host.read(u"krg/_files.lock/holder.txt"_s).startsWith("Carol\r\n"));
        QCOMPARE(A->column(u"b.txt"_s, columns::kOwner), QString());

        // Carol's lock is dead; just before Alda moves it aside, Dara takes it over. Dara's lock is
        // live and must be put back and waited for, not thrown away with Carol's.
        placeLock("Carol", 0, "dead");
        CatalogueLock::timing().waitMs = 5000; // two stale periods in a row
        const auto restore = qScopeGuard([] { CatalogueLock::timing().waitMs = 1800; });
        host.setFaults(R"({"write_before": [{"cmd": "RNFR", "path": "/krg/_files.lock",
            "file": "/krg/_files.lock/holder.txt", "content": "Dara\r\n1\r\nlive\r\n", "times": 1}]})");
        QVERIFY2(A->checkOut({u"c.txt"_s}), qPrintable(texts()));
        QVERIFY(dlg->statuses.contains(waitingFor("Dara")));
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "", "Alda"));
    }

    void ownLockLeftByABrokenConnectionIsNotWaitedFor() {
        seedGuard();
        // The connection breaks while Alda gives the lock back (on the read and its one retry): her next
        // save takes it at once.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.lock/holder.txt",
            "drop": true, "times": 2}]})");
        A->checkOut({u"a.txt"_s});
        QVERIFY(host.read(u"krg/_files.lock/holder.txt"_s).startsWith("Alda\r\n"));
        dlg->statuses.clear();
        QVERIFY2(A->checkOut({u"b.txt"_s}), qPrintable(texts()));
        QCOMPARE(dlg->statuses.filter(u"Waiting for"_s), QStringList());
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "Alda"));
        QVERIFY(!fx.lockOnHost());

        // While Alda holds the lock, Carol (who thought it dead) broke it and holds her own now.
        bool replaced = false;
        QVERIFY(A->store->ChangeCatalogue([&](const QList<CatalogueRecord>&) {
            if (!replaced) {
                QDir(host.path(u"krg/_files.lock"_s)).removeRecursively();
                placeLock("Carol", 0, "carols");
                replaced = true;
            }
            CatalogueEdit e;
            e.name = u"a.txt"_s;
            e.comment = u"x"_s;
            return QList<CatalogueEdit>{e};
        }));
        QVERIFY(host.read(u"krg/_files.lock/holder.txt"_s).contains("carols"));
    }

    void saveOverwrittenByAClientWithoutTheLockIsAppliedAgain() {
        seedGuard();
        // Right after Alda's upload, an older client saves its own change of b.txt over it.
        const QByteArray theirs = abc("", "Bren");
        host.setFaults(replacedAfterUpload("/krg/_files.txt", theirs, true));
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "Bren"));
        QCOMPARE(A->column(u"a.txt"_s, columns::kOwner), u"Alda"_s);
        QVERIFY(!fx.lockOnHost());

        // A client that keeps saving over every try: the member is told, nothing claims success.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", theirs));
        QVERIFY(!A->checkOut({u"c.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"Another member's program saved the shared file list at the same "
                                           "moment as you, so your change of c.txt is not in it.  Please "
                                           "refresh the file list and try again."_s});
        QVERIFY(!fx.lockOnHost());
    }

    void loserOfACheckOutRaceIsTold() {
        seedGuard();
        // The list shows a.txt free, but by the time Alda holds the lock Carol has it.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", abc("Carol"), true));
        QVERIFY(!A->checkOut({u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{takenMessage(u"a.txt"_s, u"Carol"_s)});
        QCOMPARE(fx.hostCatalogue(), abc("Carol", "Alda"));
        // The loser's copy is read-only again: nothing invites changes that cannot be checked in.
        QVERIFY(IsFileReadOnly(A->path(u"a.txt"_s)));
        QVERIFY(!IsFileReadOnly(A->path(u"b.txt"_s)));

        // The save and its read-back went through; then a program without the lock saves its own
        // older catalogue, in which Dara holds c.txt.
        bool done = false;
        QObject::connect(A->store.get(), &FileStore::commandFinished, [&](const QString& command) {
            if (!done && command == QLatin1String("get _files.txt _files.txt.check")) {
                done = true;
                host.write(u"krg/_files.txt"_s, abc("Carol", "Alda", "Dara"));
            }
        });
        dlg->clear();
        QVERIFY(!A->checkOut({u"c.txt"_s}));
        QVERIFY(done);
        QCOMPARE(dlg->texts(), QStringList{takenMessage(u"c.txt"_s, u"Dara"_s)});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(A->column(u"c.txt"_s, columns::kOwner), u"Dara"_s);
        QCOMPARE(fx.hostCatalogue(), abc("Carol", "Alda", "Dara"));
    }

    void refusedDownloadOfAListedCatalogueIsAFailedFetch() {
        seedGuard();
        // Such refusals once led to the repair question, and OK rolled the last save back. A 550 for a
        // file the host still lists (a file being written, on some hosts) proves nothing either.
        const QByteArray before = fx.hostCatalogue();
        host.write(u"krg/_files.txt.backup"_s, catalogue({fileLine("a.txt")}));
        for (const char* reply : {"450 Busy, try later.", "550 Being written."}) {
            dlg->clear();
            host.setFaults(QStringLiteral(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.txt",
                "reply": "%1", "times": 9}]})")
                               .arg(QLatin1String(reply))
                               .toUtf8());
            QVERIFY(!A->refresh());
            QCOMPARE(dlg->texts(),
                     QStringList{u"The host did not send _files.txt just now (it may be busy), so "
                                 "nothing was changed.  Please try again in a moment.\r\n\r\n"_s +
                                 QLatin1String(reply)});
            QCOMPARE(A->list.count(), 3);
            QVERIFY(!A->checkOut({u"a.txt"_s}));
            QCOMPARE(fx.hostCatalogue(), before);
            QVERIFY(!fx.lockOnHost());
        }
        // Absent for one download and listed right after: another member's save put a new copy in place
        // between the two commands. It is fetched again, without a word.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.txt", "reply": "550 No such file.",
            "times": 1}]})");
        dlg->clear();
        QVERIFY(A->refresh());
        QCOMPARE(dlg->texts(), QStringList());
        // A catalogue listed as absent is missing: then the repair is offered.
        host.setFaults({});
        dlg->clear();
        QFile::remove(host.path(u"krg/_files.txt"_s));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!A->refresh());
        QVERIFY(dlg->texts().value(0).startsWith(u"KRtp detected a corrupt or missing _files.txt"_s));

        // A cut catalogue: the count fits, but the last record lost its end.
        const QByteArray whole = abc();
        const QByteArray cut = whole.left(whole.size() - 5);
        dlg->clear();
        host.write(u"krg/_files.txt"_s, cut);
        host.write(u"krg/_files.txt.backup"_s, QByteArray());
        dlg->answer(Dialogs::Ok);
        QVERIFY(!A->refresh());
        QCOMPARE(dlg->texts().size(), 2);
        QVERIFY(dlg->texts().at(0).contains(u"(ERR: file is incomplete)"_s));
        QCOMPARE(dlg->texts().at(1), u"The backup _files.txt.backup on the server is itself "
                                     "incomplete (file is empty), so it was not restored and the "
                                     "server was left as it is.  Please ask Dovrin to restore the "
                                     "shared file list."_s);
        QCOMPARE(fx.hostCatalogue(), cut);
        QVERIFY(!fx.lockOnHost());

        // With a whole backup the repair goes through.
        host.write(u"krg/_files.txt.backup"_s, whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(A->refresh());
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(A->list.count(), 3);
    }

    void entriesNobodyChangedKeepTheirBytes() {
        seedGuard();
        // Windows-1252 text, a blank after a closing quote, blank lines and a record written by hand.
        const QByteArray odd = "\"b\xe9t\xe9.txt\" ,2,\"\",\"J\xf6rg\",\"caf\xe9 \xff\",\"\"\r\n\r\n\r\n"
                               " \"c.txt\",1,\"\",\"\",\"x, y\",\"\"\r\n";
        const QByteArray before = "2.0.5\r\n3\r\n" + fileLine("a.txt") + odd;
        host.write(u"krg/_files.txt"_s, before);
        host.write(u"krg/b\xc3\xa9t\xc3\xa9.txt"_s, "x");
        QVERIFY(A->refresh());
        QCOMPARE(A->list.count(), 3);
        QCOMPARE(A->column(QString::fromUtf8("b\xc3\xa9t\xc3\xa9.txt"), columns::kDesc),
                 QString::fromUtf8("caf\xc3\xa9 \xc3\xbf"));
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        // Blank lines are no entries; they go.
        const QByteArray after = "2.0.5\r\n3\r\n" + fileLine("a.txt", "Alda") +
                                 "\"b\xe9t\xe9.txt\" ,2,\"\",\"J\xf6rg\",\"caf\xe9 \xff\",\"\"\r\n"
                                 " \"c.txt\",1,\"\",\"\",\"x, y\",\"\"\r\n";
        QCOMPARE(fx.hostCatalogue(), after);

        // Text the code page cannot hold is refused before anything is sent.
        dlg->clear();
        A->activate();
        QVERIFY(!A->store->ChangeCatalogue([](const QList<CatalogueRecord>&) {
            CatalogueEdit e;
            e.name = u"c.txt"_s;
            e.description = QString::fromUtf8("Zo\xc5\x9b");
            return QList<CatalogueEdit>{e};
        }));
        QCOMPARE(dlg->texts(), QStringList{QString::fromUtf8(
                                   "\"Zo\xc5\x9b\" holds characters that the shared file list cannot "
                                   "store (it is kept in the Western European character set other "
                                   "members' programs read), so nothing was changed.  Please use "
                                   "other characters.")});
        QCOMPARE(fx.hostCatalogue(), after);
        QVERIFY(!fx.lockOnHost());
    }

    void refusedDownloadKeepsTheWorkingCopy() {
        seedGuard();
        // a.txt is refused as missing (and tried again in vain), b.txt refused and never fetched before.
        const char* refusals = R"({"refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "%1 Not now."},
                                              {"cmd": "RETR", "path": "/krg/b.txt", "reply": "450 Not now."}]})";
        host.setFaults(QString::fromLatin1(refusals).arg(550).toUtf8());
        A->write(u"a.txt"_s, "my own a");
        const auto told = [](const char* reply) {
            return QStringList{u"The server did not send a.txt, so your local copy was left as "
                               "it was and nothing was recorded for it.\r\n\r\n"_s +
                                   QLatin1String(reply) + u" Not now."_s,
                               u"b.txt does not exist on the local computer.  Either it was not "
                               "downloaded correctly, or it has been deleted off both the "
                               "server and the local machine."_s};
        };
        QVERIFY(!A->checkOut({u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(dlg->texts(), told("550"));
        QCOMPARE(A->read(u"a.txt"_s), QByteArray("my own a"));
        QVERIFY(!QFileInfo::exists(A->path(u"a.txt.backup"_s)));
        QCOMPARE(fx.hostCatalogue(), abc());
        // Get latest records no version for a copy that did not arrive, and records the others.
        host.setFaults(QString::fromLatin1(refusals).arg(450).toUtf8());
        dlg->clear();
        QVERIFY(!A->getLatest({u"a.txt"_s, u"b.txt"_s, u"c.txt"_s}));
        QCOMPARE(dlg->texts(), told("450"));
        QCOMPARE(A->read(u"a.txt"_s), QByteArray("my own a"));
        QCOMPARE(A->version(u"a.txt"_s), u"0"_s);
        QVERIFY(!QFileInfo::exists(A->path(u"b.txt"_s)));
        QCOMPARE(A->version(u"b.txt"_s), u"0"_s);
        QCOMPARE(A->column(u"b.txt"_s, columns::kMyVer), u"0"_s);
        QCOMPARE(copyOf(*A, u"c.txt"_s), u"server c.txt\n | read-only | v1 | unlocked"_s);

        // Missing for a moment only (another member's check-in has it renamed aside): it comes.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "550 No such file.",
                                       "times": 1}]})");
        QVERIFY2(A->getLatest({u"a.txt"_s}), qPrintable(texts()));
        QCOMPARE(copyOf(*A, u"a.txt"_s), u"server a.txt\n | read-only | v1 | unlocked"_s);
    }

    void failedSavesPutThePreviousCopyBack() {
        seedGuard();
        // The upload breaks off with part of the file on the host, and the host refuses to rename the
        // previous copy back onto that name: the part must go first.
        const QByteArray before = fx.hostCatalogue();
        host.setFaults(brokenUpload("/krg/_files.txt", "2.0.5\r\n3\r\n\"a.t"));
        QVERIFY(!A->checkOut({u"a.txt"_s}));
        QCOMPARE(dlg->texts(),
                 QStringList{u"Error sending _files.txt, please try again.\r\n\r\n451 Broken off."_s});
        QCOMPARE(fx.hostCatalogue(), before);
        // The host keeps a backup too: the next broken save would have nothing to repair from.
        QCOMPARE(fx.hostBackup(), before);
        QVERIFY(!fx.lockOnHost());

        // A host that refuses to move the catalogue aside: the save goes through and the backup is kept.
        host.setFaults(R"({"refuse": [{"cmd": "RNFR", "path": "/krg/_files.txt", "reply": "550 No."}]})");
        QVERIFY2(A->checkOut({u"c.txt"_s}), qPrintable(texts()));
        QCOMPARE(fx.hostBackup(), before);
        const QByteArray withC = fx.hostCatalogue();
        QCOMPARE(withC, abc("", "", "Alda"));

        // An upload the host cut short is a failed save, not another member's: the catalogue goes back.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", abc("Alda", "", "Alda").left(30)));
        dlg->clear();
        QVERIFY(!A->checkOut({u"a.txt"_s}));
        QCOMPARE(dlg->texts(), QStringList{u"Error sending _files.txt, please try again.\r\n\r\n"
                                           "The host kept 30 of 87 bytes."_s});
        QCOMPARE(fx.hostCatalogue(), withC);
        QCOMPARE(fx.hostBackup(), withC);
        QVERIFY(!fx.lockOnHost());
        host.setFaults({});
        setCatalogue({fileLine("a.txt"), fileLine("b.txt"), fileLine("c.txt")});

        // The same for a shared file in a check-in: an upload that broke off, that the host cut short or
        // does not list afterwards is no check-in.
        QVERIFY2(A->checkOut({u"b.txt"_s}), qPrintable(texts()));
        A->write(u"b.txt"_s, "Alda's b");
        for (const QByteArray& faults :
             {brokenUpload("/krg/b.txt", "Alda"), replacedAfterUpload("/krg/b.txt", "Alda"),
              hiddenAfterUpload("/krg/b.txt")}) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!A->checkIn({u"b.txt"_s}, u"done"_s));
            QCOMPARE(dlg->texts(), QStringList{u"Error sending b.txt, please try again."_s});
            QCOMPARE(host.read(u"krg/b.txt"_s), QByteArray("server b.txt\n"));
            QVERIFY(!host.exists(u"krg/b.txt.backup"_s));
            QCOMPARE(fx.hostCatalogue(), abc("", "Alda"));
        }

        // A site page the host refused or cut: the previous page stays, or goes back up.
        A->activate();
        QDir(A->local.path()).mkpath(u"VelmarFTP"_s);
        A->write(u"VelmarFTP/page.html"_s, "new page text");
        host.write(u"page.html"_s, "old page");
        const std::pair<QByteArray, QString> pageFaults[] = {
            {R"({"refuse": [{"cmd": "STOR", "path": "/page.html", "reply": "552 Disk full."}]})",
             u"552 Disk full."_s},
            {replacedAfterUpload("/page.html", "new"),
             u"Error sending page.html: the host kept 3 of 13 bytes, so the upload was undone."_s}};
        TransferControl inet;
        for (const auto& [faults, told] : pageFaults) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!SendFileToServer(inet, u"page.html"_s));
            QCOMPARE(dlg->texts(), QStringList{told});
            QCOMPARE(host.read(u"page.html"_s), QByteArray("old page"));
            QVERIFY(!host.exists(u"page.html.backup"_s));
        }
        host.setFaults({});
        QVERIFY2(SendFileToServer(inet, u"page.html"_s), qPrintable(texts()));
        QCOMPARE(host.read(u"page.html"_s), QByteArray("new page text"));
    }

    void addingNeverWritesAControlFileOrAnotherMembersFile() {
        seedGuard();
        runState().MemberNames = {u"Alda"_s, u"Lina"_s};
        const auto describe = [](const QString&) -> std::optional<QString> { return u"d"_s; };
        // A restricted member's own access list, another's, the account file, message and news list.
        for (const char* name : {"Lina.dat", "alda.DAT", "_files.dat", "_message.dat", "_news.dat"}) {
            const QString n = QLatin1String(name);
            dlg->clear();
            A->write(n, "*full access*");
            A->activate();
            QVERIFY(!A->ops->AddFiles({n}, describe));
            QCOMPARE(dlg->texts(),
                     QStringList{n + u" is one of the files KRtp keeps for itself in the control "
                                     "folder (the shared file list, the member accounts, an "
                                     "access list, the message or the news list), so it cannot "
                                     "be added or changed this way."_s});
            QVERIFY(!host.exists(u"krg/"_s + n));
            QVERIFY(!addfiles::AddableFiles(A->list).names.contains(n));
        }
        // A name the code page cannot hold is neither offered nor sent.
        const QString polish = QString::fromUtf8("Zo\xc5\x9b.txt");
        A->write(polish, "x");
        QVERIFY(!addfiles::AddableFiles(A->list).names.contains(polish));
        dlg->clear();
        QVERIFY(!A->ops->AddFiles({polish}, describe));
        QCOMPARE(dlg->texts().size(), 1);
        QVERIFY(!host.exists(u"krg/"_s + polish));

        // While Alda typed the description, Bren added a file of the same name: his file stays.
        A->write(u"new.txt"_s, "Alda's new");
        dlg->clear();
        QVERIFY(!A->ops->AddFiles({u"new.txt"_s}, [&](const QString&) -> std::optional<QString> {
            host.write(u"krg/new.txt"_s, "Bren's new");
            setCatalogue({fileLine("a.txt"), fileLine("b.txt"), fileLine("c.txt"), fileLine("new.txt")});
            return u"mine"_s;
        }));
        QCOMPARE(dlg->texts(), QStringList{u"new.txt could not be added.\r\nA file with the same "
                                           "name already exists."_s});
        QCOMPARE(host.read(u"krg/new.txt"_s), QByteArray("Bren's new"));
        QVERIFY(!A->commands.contains(u"send new.txt new.txt"_s));

        // An upload the host cut short or does not list is not added, and the batch takes back the file
        // it had sent before.
        A->write(u"first.txt"_s, "first");
        A->write(u"other.txt"_s, "Alda's other file");
        for (const QByteArray& faults :
             {replacedAfterUpload("/krg/other.txt", "Alda's"), hiddenAfterUpload("/krg/other.txt")}) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!A->ops->AddFiles({u"first.txt"_s, u"other.txt"_s}, describe));
            QCOMPARE(dlg->texts(), QStringList{u"Error sending other.txt, please try again."_s});
            QVERIFY(!host.exists(u"krg/first.txt"_s));
            QVERIFY(!host.exists(u"krg/other.txt"_s));
            QVERIFY(!fx.hostCatalogue().contains("other.txt"));
        }
        runState().MemberNames.clear();
    }

    void linksNeverPublishWhatLiesOutsideTheFolder() {
        seedGuard();
        QTemporaryDir outside;
        const QString secret = outside.filePath(u"secret"_s);
        QFile f(secret);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("private") == 7);
        f.close();
        QVERIFY2(A->checkOut({u"a.txt"_s, u"b.txt"_s}), qPrintable(texts()));
        QFile::remove(A->path(u"a.txt"_s));
        QVERIFY(QFile::link(secret, A->path(u"a.txt"_s)));
        // A link that stays inside the folder is followed.
        A->write(u"inside.txt"_s, "Alda's b");
        QFile::remove(A->path(u"b.txt"_s));
        QVERIFY(QFile::link(A->path(u"inside.txt"_s), A->path(u"b.txt"_s)));
        dlg->clear();
        QVERIFY(!A->checkIn({u"a.txt"_s, u"b.txt"_s}, u"x"_s, true));
        QCOMPARE(dlg->texts(), QStringList{u"a.txt is a link to a file outside your local folder, "
                                           "so it was not sent."_s});
        QCOMPARE(host.read(u"krg/a.txt"_s), QByteArray("server a.txt\n"));
        QCOMPARE(host.read(u"krg/b.txt"_s), QByteArray("Alda's b"));

        // The site's mirror: a link there is refused by the upload itself.
        QDir(A->local.path()).mkpath(u"VelmarFTP"_s);
        QVERIFY(QFile::link(secret, A->path(u"VelmarFTP/about.html"_s)));
        host.write(u"about.html"_s, "public");
        dlg->clear();
        TransferControl inet;
        QVERIFY(!SendFileToServer(inet, u"about.html"_s));
        QCOMPARE(dlg->texts(), QStringList{u"VelmarFTP/about.html is a link to a file outside your "
                                           "local folder, so it was not sent."_s});
        QCOMPARE(host.read(u"about.html"_s), QByteArray("public"));
        // Every other upload (the console's, the editor's) meets the same refusal in the transfer itself.
        inet.configureForSite();
        QVERIFY(inet.Execute(u"send VelmarFTP/about.html /about.html"_s));
        inet.waitUntilIdle();
        QVERIFY(!inet.lastSucceeded());
        QCOMPARE(inet.lastError(), u"VelmarFTP/about.html is a link to a file outside your "
                                   "local folder, so it was not sent."_s);
        QCOMPARE(host.read(u"about.html"_s), QByteArray("public"));
        // A download replaces the link instead of writing through it.
        QString text = QLatin1String(kSaveToFile);
        QVERIFY(GetFileFromServer(inet, u"about.html"_s, text));
        QCOMPARE(A->read(u"VelmarFTP/about.html"_s), QByteArray("public"));
        QVERIFY(!QFileInfo(A->path(u"VelmarFTP/about.html"_s)).isSymLink());
        QCOMPARE(QFile(secret).size(), qint64(7));
        // A local copy of one byte is kept aside like any other.
        A->write(u"VelmarFTP/one.txt"_s, "1");
        host.write(u"one.txt"_s, "server one");
        text = QLatin1String(kSaveToFile);
        QVERIFY(GetFileFromServer(inet, u"one.txt"_s, text));
        QCOMPARE(A->read(u"VelmarFTP/one.txt.backup"_s), QByteArray("1"));
        QCOMPARE(A->read(u"VelmarFTP/one.txt"_s), QByteArray("server one"));
    }

    void shortReadIsFetchedAgainUnderTheLock() {
        seedGuard();
        // The list finds Carol's save halfway and waits for it. Right after, Bren's program begins a
        // save of its own, the moment the lock is free: a fetch made only after giving the lock back
        // would find the catalogue short again and ask to repair it.
        const QByteArray carols = abc("", "Carol");
        carolIsSaving(carols);
        bool brenStarted = false;
        QObject::connect(A->store.get(), &FileStore::commandFinished, [&](const QString& command) {
            if (!brenStarted && command == QLatin1String("rmdir /krg/_files.lock")) {
                brenStarted = true;
                host.write(u"krg/_files.txt"_s, carols.left(20));
            }
        });
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(brenStarted);
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(A->column(u"b.txt"_s, columns::kOwner), u"Carol"_s);
        QCOMPARE(A->list.count(), 3);

        // A check-in waits for a save under way too.
        dlg->statuses.clear();
        setCatalogue({fileLine("a.txt", "Alda"), fileLine("b.txt"), fileLine("c.txt")});
        A->write(u"a.txt"_s, "Alda's a");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        carolIsSaving(abc("Alda", "Carol"));
        QVERIFY2(A->checkIn({u"a.txt"_s}, u"done"_s), qPrintable(texts()));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(dlg->statuses.value(0), waitingFor("Carol"));
        QCOMPARE(fx.hostCatalogue(), catalogue({fileLine("a.txt", "", 2, "Alda: done"),
                                                fileLine("b.txt", "Carol"), fileLine("c.txt")}));
        QCOMPARE(host.read(u"krg/a.txt"_s), QByteArray("Alda's a"));
    }
};

KRTP_TEST_MAIN_CORE(TestStoreOps)
#include "tst_storeops.moc"
