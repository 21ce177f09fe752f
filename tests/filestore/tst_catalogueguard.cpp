// The catalogue among several members: the lock, the read-back after a save, passing refusals,
// the code page, repairs and the checks that keep a member's work when the host misbehaves or another
// member's program interferes.
#include "filestore/addfiles.h"
#include "filestore/cataloguelock.h"
#include "storeopstestutil.h"
#include "testmain.h"
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

QByteArray line(const char* name, const char* controller = "", int version = 1, const char* comment = "") {
    return catalogueLine(name, version, controller, "", "", comment);
}
QString waitingFor(const char* who) {
    return u"Waiting for "_s + QLatin1String(who) +
           QString::fromUtf8(", who is changing the shared file list\xe2\x80\xa6");
}
QByteArray abc(const char* a = "", const char* b = "", const char* c = "") {
    return catalogue({line("a.txt", a), line("b.txt", b), line("c.txt", c)});
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

} // namespace

class TestCatalogueGuard : public QObject, MembersFixture {
    Q_OBJECT
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

private slots:
    void initTestCase() {
        CatalogueLock::timing().waitMs = 1800;
        CatalogueLock::timing().staleSeconds = 1;
        CatalogueLock::timing().retryMinMs = 50;
        CatalogueLock::timing().retryMaxMs = 150;
        QVERIFY(fx.startHost());
    }

    void init() {
        host.setFaults({});
        fx.clearControlFolder();
        host.write(u"krg/_files.txt"_s, abc());
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            host.write(u"krg/"_s + QLatin1String(n), QByteArray("server ") + n);
        makeMembers();
        QVERIFY2(A->refresh(), qPrintable(texts()));
    }

    void cleanup() {
        host.setFaults({});
        QDir(host.path(u"krg/_files.lock"_s)).removeRecursively();
        dropMembers();
    }

    void lockAgeIsMeasuredOnTheWaitersClock() {
        // A holder that died with its clock an hour ahead: its token stands still, so it is broken
        // once it has stood for the stale period on this member's clock.
        placeLock("Carol", 3600);
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), abc("Alda"));
        QVERIFY(!fx.lockOnHost());
        QVERIFY(dlg->records().isEmpty());

        // A live holder whose clock runs two minutes behind keeps refreshing its token: it is waited
        // for, never broken.
        dlg->clear();
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
    }

    void releaseLeavesAnotherMembersLock() {
        // While Alda holds the lock, Carol (who thought it dead) broke it and holds her own now.
        bool replaced = false;
        A->activate();
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

    void deadLockRetakenBeforeTheBreakIsWaitedFor() {
        // Carol's lock is dead; just before Alda moves it aside, Dara takes it over. Dara's lock is
        // live and must be put back and waited for, not thrown away with Carol's.
        placeLock("Carol", 0, "dead");
        CatalogueLock::timing().waitMs = 5000; // two stale periods in a row
        const auto restore = qScopeGuard([] { CatalogueLock::timing().waitMs = 1800; });
        host.setFaults(R"({"write_before": [{"cmd": "RNFR", "path": "/krg/_files.lock",
            "file": "/krg/_files.lock/holder.txt", "content": "Dara\r\n1\r\nlive\r\n", "times": 1}]})");
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        QVERIFY(dlg->statuses.contains(waitingFor("Dara")));
        QCOMPARE(fx.hostCatalogue(), abc("Alda"));
    }

    void ownLockLeftByABrokenConnectionIsNotWaitedFor() {
        // The connection breaks while Alda gives the lock back (on the read and its one retry): her next
        // save takes it at once.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.lock/holder.txt",
            "drop": true, "times": 2}]})");
        A->checkOut({u"a.txt"_s});
        QVERIFY(host.read(u"krg/_files.lock/holder.txt"_s).startsWith("Alda\r\n"));
        dlg->clear();
        dlg->statuses.clear();
        QVERIFY2(A->checkOut({u"b.txt"_s}), qPrintable(texts()));
        QCOMPARE(dlg->statuses.filter(u"Waiting for"_s), QStringList());
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "Alda"));
        QVERIFY(!fx.lockOnHost());
    }

    void saveOverwrittenByAClientWithoutTheLockIsAppliedAgain() {
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
        // Such refusals once led to the repair question, and OK rolled the last save back. A 550 for a
        // file the host still lists (a file being written, on some hosts) proves nothing either.
        const QByteArray before = fx.hostCatalogue();
        host.write(u"krg/_files.txt.backup"_s, catalogue({line("a.txt")}));
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
            QCOMPARE(fx.hostCatalogue(), before);
            QCOMPARE(A->list.count(), 3);
            dlg->clear();
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
    }

    void entriesNobodyChangedKeepTheirBytes() {
        // Windows-1252 text, a blank after a closing quote, blank lines and a record written by hand.
        const QByteArray odd = "\"b\xe9t\xe9.txt\" ,2,\"\",\"J\xf6rg\",\"caf\xe9 \xff\",\"\"\r\n\r\n\r\n"
                               " \"c.txt\",1,\"\",\"\",\"x, y\",\"\"\r\n";
        const QByteArray before = "2.0.5\r\n3\r\n" + line("a.txt") + odd;
        host.write(u"krg/_files.txt"_s, before);
        host.write(u"krg/b\xc3\xa9t\xc3\xa9.txt"_s, "x");
        QVERIFY(A->refresh());
        QCOMPARE(A->list.count(), 3);
        QCOMPARE(A->column(QString::fromUtf8("b\xc3\xa9t\xc3\xa9.txt"), columns::kDesc),
                 QString::fromUtf8("caf\xc3\xa9 \xc3\xbf"));
        QVERIFY2(A->checkOut({u"a.txt"_s}), qPrintable(texts()));
        // Blank lines are no entries; they go.
        const QByteArray after = "2.0.5\r\n3\r\n" + line("a.txt", "Alda") +
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
        QCOMPARE(A->read(u"c.txt"_s), QByteArray("server c.txt"));
        QCOMPARE(A->version(u"c.txt"_s), u"1"_s);

        // Missing for a moment only (another member's check-in has it renamed aside): it comes.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "550 No such file.",
                                       "times": 1}]})");
        dlg->clear();
        QVERIFY2(A->getLatest({u"a.txt"_s}), qPrintable(texts()));
        QCOMPARE(A->read(u"a.txt"_s), QByteArray("server a.txt"));
        QCOMPARE(A->version(u"a.txt"_s), u"1"_s);
    }

    void failedSavesPutThePreviousCopyBack() {
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
        dlg->clear();
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
        dlg->clear();
        setCatalogue({line("a.txt"), line("b.txt"), line("c.txt")});

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
            QCOMPARE(host.read(u"krg/b.txt"_s), QByteArray("server b.txt"));
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
        dlg->clear();
        QVERIFY2(SendFileToServer(inet, u"page.html"_s), qPrintable(texts()));
        QCOMPARE(host.read(u"page.html"_s), QByteArray("new page text"));
    }

    void repairUsesOnlyAWholeBackup() {
        // A cut catalogue: the count fits, but the last record lost its end.
        const QByteArray whole = abc();
        const QByteArray cut = whole.left(whole.size() - 5);
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
        dlg->clear();
        host.write(u"krg/_files.txt.backup"_s, whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(A->refresh());
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(A->list.count(), 3);
    }

    void oneByteLocalCopyIsKeptAsBackup() {
        QDir(A->local.path()).mkpath(u"VelmarFTP"_s);
        A->activate();
        A->write(u"VelmarFTP/one.txt"_s, "1");
        host.write(u"one.txt"_s, "server one");
        QString text = QLatin1String(kSaveToFile);
        TransferControl inet;
        QVERIFY(GetFileFromServer(inet, u"one.txt"_s, text));
        QCOMPARE(A->read(u"VelmarFTP/one.txt.backup"_s), QByteArray("1"));
        QCOMPARE(A->read(u"VelmarFTP/one.txt"_s), QByteArray("server one"));
    }

    void addingNeverWritesAControlFileOrAnotherMembersFile() {
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
            setCatalogue({line("a.txt"), line("b.txt"), line("c.txt"), line("new.txt")});
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
        QCOMPARE(host.read(u"krg/a.txt"_s), QByteArray("server a.txt"));
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
    }

    void checkInWaitsForASaveUnderWay() {
        setCatalogue({line("a.txt", "Alda"), line("b.txt"), line("c.txt")});
        A->write(u"a.txt"_s, "Alda's a");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        carolIsSaving(abc("Alda", "Carol"));
        QVERIFY2(A->checkIn({u"a.txt"_s}, u"done"_s), qPrintable(texts()));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(dlg->statuses.value(0), waitingFor("Carol"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({line("a.txt", "", 2, "Alda: done"), line("b.txt", "Carol"), line("c.txt")}));
        QCOMPARE(host.read(u"krg/a.txt"_s), QByteArray("Alda's a"));
    }

    void shortReadIsFetchedAgainUnderTheLock() {
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
    }
};

KRTP_TEST_MAIN_CORE(TestCatalogueGuard)
#include "tst_catalogueguard.moc"
