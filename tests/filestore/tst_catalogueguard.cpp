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
using namespace krtp::test;

namespace {

QByteArray line(const char* name, const char* controller = "", int version = 1, const char* comment = "") {
    return catalogueLine(name, version, controller, "", "", comment);
}
QString waitingFor(const char* who) {
    return QStringLiteral("Waiting for ") + QLatin1String(who) +
           QString::fromUtf8(", who is changing the shared file list\xe2\x80\xa6");
}
QByteArray abc(const char* a = "", const char* b = "", const char* c = "") {
    return catalogue({line("a.txt", a), line("b.txt", b), line("c.txt", c)});
}

// Faults of a host that breaks an upload off, leaving its first part, and will not rename onto an
// existing name.
QByteArray brokenUpload(const char* path, const char* part) {
    const QJsonObject refusal{{QStringLiteral("cmd"), QStringLiteral("STOR")},
                              {QStringLiteral("path"), QLatin1String(path)},
                              {QStringLiteral("reply"), QStringLiteral("451 Broken off.")},
                              {QStringLiteral("leave"), QLatin1String(part)}};
    return QJsonDocument(QJsonObject{{QStringLiteral("refuse"), QJsonArray{refusal}},
                                     {QStringLiteral("no_rename_onto_existing"), true}})
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
        QDir(host.root()).mkpath(QStringLiteral("krg/_files.lock"));
        host.write(QStringLiteral("krg/_files.lock/holder.txt"),
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
        host.write(QStringLiteral("krg/_files.txt"), carols.left(carols.size() - 9));
        dlg->onStatus = [this, carols](const QString& text) {
            if (!text.startsWith(QLatin1String("Waiting for Carol")))
                return;
            host.write(QStringLiteral("krg/_files.txt"), carols);
            QDir(host.path(QStringLiteral("krg/_files.lock"))).removeRecursively();
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
        host.write(QStringLiteral("krg/_files.txt"), abc());
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            host.write(QStringLiteral("krg/") + QLatin1String(n), QByteArray("server ") + n);
        makeMembers();
        QVERIFY2(A->refresh(), qPrintable(texts()));
    }

    void cleanup() {
        host.setFaults({});
        QDir(host.path(QStringLiteral("krg/_files.lock"))).removeRecursively();
        dropMembers();
    }

    void lockAgeIsMeasuredOnTheWaitersClock() {
        // A holder that died with its clock an hour ahead: its token stands still, so it is broken
        // once it has stood for the stale period on this member's clock.
        placeLock("Carol", 3600);
        QVERIFY2(A->checkOut({QStringLiteral("a.txt")}), qPrintable(texts()));
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
        QVERIFY(!A->checkOut({QStringLiteral("b.txt")}));
        alive.stop();
        QVERIFY(dlg->statuses.contains(waitingFor("Carol")));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("Carol is still changing the shared file list, so "
                                            "nothing was changed.  Please try again in a moment.")});
        QCOMPARE(fx.hostCatalogue(), before);
        QVERIFY(host.read(QStringLiteral("krg/_files.lock/holder.txt")).startsWith("Carol\r\n"));
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kOwner), QString());
    }

    void releaseLeavesAnotherMembersLock() {
        // While Alda holds the lock, Carol (who thought it dead) broke it and holds her own now.
        bool replaced = false;
        A->activate();
        QVERIFY(A->store->ChangeCatalogue([&](const QList<CatalogueRecord>&) {
            if (!replaced) {
                QDir(host.path(QStringLiteral("krg/_files.lock"))).removeRecursively();
                placeLock("Carol", 0, "carols");
                replaced = true;
            }
            CatalogueEdit e;
            e.name = QStringLiteral("a.txt");
            e.comment = QStringLiteral("x");
            return QList<CatalogueEdit>{e};
        }));
        QVERIFY(host.read(QStringLiteral("krg/_files.lock/holder.txt")).contains("carols"));
    }

    void deadLockRetakenBeforeTheBreakIsWaitedFor() {
        // Carol's lock is dead; just before Alda moves it aside, Dara takes it over. Dara's lock is
        // live and must be put back and waited for, not thrown away with Carol's.
        placeLock("Carol", 0, "dead");
        CatalogueLock::timing().waitMs = 5000; // two stale periods in a row
        const auto restore = qScopeGuard([] { CatalogueLock::timing().waitMs = 1800; });
        host.setFaults(R"({"write_before": [{"cmd": "RNFR", "path": "/krg/_files.lock",
            "file": "/krg/_files.lock/holder.txt", "content": "Dara\r\n1\r\nlive\r\n", "times": 1}]})");
        QVERIFY2(A->checkOut({QStringLiteral("a.txt")}), qPrintable(texts()));
        QVERIFY(dlg->statuses.contains(waitingFor("Dara")));
        QCOMPARE(fx.hostCatalogue(), abc("Alda"));
    }

    void ownLockLeftByABrokenConnectionIsNotWaitedFor() {
        // The connection breaks while Alda gives the lock back (on the read and its one retry): her next
        // save takes it at once.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.lock/holder.txt",
            "drop": true, "times": 2}]})");
        A->checkOut({QStringLiteral("a.txt")});
        QVERIFY(host.read(QStringLiteral("krg/_files.lock/holder.txt")).startsWith("Alda\r\n"));
        dlg->clear();
        dlg->statuses.clear();
        QVERIFY2(A->checkOut({QStringLiteral("b.txt")}), qPrintable(texts()));
        QCOMPARE(dlg->statuses.filter(QStringLiteral("Waiting for")), QStringList());
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "Alda"));
        QVERIFY(!fx.lockOnHost());
    }

    void saveOverwrittenByAClientWithoutTheLockIsAppliedAgain() {
        // Right after Alda's upload, an older client saves its own change of b.txt over it.
        const QByteArray theirs = abc("", "Bren");
        host.setFaults(replacedAfterUpload("/krg/_files.txt", theirs, true));
        QVERIFY2(A->checkOut({QStringLiteral("a.txt")}), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), abc("Alda", "Bren"));
        QCOMPARE(A->column(QStringLiteral("a.txt"), columns::kOwner), QStringLiteral("Alda"));
        QVERIFY(!fx.lockOnHost());

        // A client that keeps saving over every try: the member is told, nothing claims success.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", theirs));
        QVERIFY(!A->checkOut({QStringLiteral("c.txt")}));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("Another member's program saved the shared file list at the same "
                                            "moment as you, so your change of c.txt is not in it.  Please "
                                            "refresh the file list and try again.")});
        QVERIFY(!fx.lockOnHost());
    }

    void loserOfACheckOutRaceIsTold() {
        // The list shows a.txt free, but by the time Alda holds the lock Carol has it.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", abc("Carol"), true));
        QVERIFY(!A->checkOut({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(), QStringList{takenMessage(QStringLiteral("a.txt"), QStringLiteral("Carol"))});
        QCOMPARE(fx.hostCatalogue(), abc("Carol", "Alda"));
        // The loser's copy is read-only again: nothing invites changes that cannot be checked in.
        QVERIFY(IsFileReadOnly(A->path(QStringLiteral("a.txt"))));
        QVERIFY(!IsFileReadOnly(A->path(QStringLiteral("b.txt"))));

        // The save and its read-back went through; then a program without the lock saves its own
        // older catalogue, in which Dara holds c.txt.
        bool done = false;
        QObject::connect(A->store.get(), &FileStore::commandFinished, [&](const QString& command) {
            if (!done && command == QLatin1String("get _files.txt _files.txt.check")) {
                done = true;
                host.write(QStringLiteral("krg/_files.txt"), abc("Carol", "Alda", "Dara"));
            }
        });
        dlg->clear();
        QVERIFY(!A->checkOut({QStringLiteral("c.txt")}));
        QVERIFY(done);
        QCOMPARE(dlg->texts(), QStringList{takenMessage(QStringLiteral("c.txt"), QStringLiteral("Dara"))});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(A->column(QStringLiteral("c.txt"), columns::kOwner), QStringLiteral("Dara"));
        QCOMPARE(fx.hostCatalogue(), abc("Carol", "Alda", "Dara"));
    }

    void refusedDownloadOfAListedCatalogueIsAFailedFetch() {
        // Such refusals once led to the repair question, and OK rolled the last save back. A 550 for a
        // file the host still lists (a file being written, on some hosts) proves nothing either.
        const QByteArray before = fx.hostCatalogue();
        host.write(QStringLiteral("krg/_files.txt.backup"), catalogue({line("a.txt")}));
        for (const char* reply : {"450 Busy, try later.", "550 Being written."}) {
            dlg->clear();
            host.setFaults(QStringLiteral(R"({"refuse": [{"cmd": "RETR", "path": "/krg/_files.txt",
                "reply": "%1", "times": 9}]})")
                               .arg(QLatin1String(reply))
                               .toUtf8());
            QVERIFY(!A->refresh());
            QCOMPARE(
                dlg->texts(),
                QStringList{QStringLiteral("The host did not send _files.txt just now (it may be busy), so "
                                           "nothing was changed.  Please try again in a moment.\r\n\r\n") +
                            QLatin1String(reply)});
            QCOMPARE(fx.hostCatalogue(), before);
            QCOMPARE(A->list.count(), 3);
            dlg->clear();
            QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
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
        QFile::remove(host.path(QStringLiteral("krg/_files.txt")));
        dlg->answer(Dialogs::Cancel);
        QVERIFY(!A->refresh());
        QVERIFY(dlg->texts().value(0).startsWith(
            QStringLiteral("KRtp detected a corrupt or missing _files.txt")));
    }

    void entriesNobodyChangedKeepTheirBytes() {
        // Windows-1252 text, a blank after a closing quote, blank lines and a record written by hand.
        const QByteArray odd = "\"b\xe9t\xe9.txt\" ,2,\"\",\"J\xf6rg\",\"caf\xe9 \xff\",\"\"\r\n\r\n\r\n"
                               " \"c.txt\",1,\"\",\"\",\"x, y\",\"\"\r\n";
        const QByteArray before = "2.0.5\r\n3\r\n" + line("a.txt") + odd;
        host.write(QStringLiteral("krg/_files.txt"), before);
        host.write(QStringLiteral("krg/b\xc3\xa9t\xc3\xa9.txt"), "x");
        QVERIFY(A->refresh());
        QCOMPARE(A->list.count(), 3);
        QCOMPARE(A->column(QString::fromUtf8("b\xc3\xa9t\xc3\xa9.txt"), columns::kDesc),
                 QString::fromUtf8("caf\xc3\xa9 \xc3\xbf"));
        QVERIFY2(A->checkOut({QStringLiteral("a.txt")}), qPrintable(texts()));
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
            e.name = QStringLiteral("c.txt");
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
        A->write(QStringLiteral("a.txt"), "my own a");
        const auto told = [](const char* reply) {
            return QStringList{
                QStringLiteral("The server did not send a.txt, so your local copy was left as "
                               "it was and nothing was recorded for it.\r\n\r\n") +
                    QLatin1String(reply) + QStringLiteral(" Not now."),
                QStringLiteral("b.txt does not exist on the local computer.  Either it was not "
                               "downloaded correctly, or it has been deleted off both the "
                               "server and the local machine.")};
        };
        QVERIFY(!A->checkOut({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(), told("550"));
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("my own a"));
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("a.txt.backup"))));
        QCOMPARE(fx.hostCatalogue(), abc());
        // Get latest records no version for a copy that did not arrive, and records the others.
        host.setFaults(QString::fromLatin1(refusals).arg(450).toUtf8());
        dlg->clear();
        QVERIFY(!A->getLatest({QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")}));
        QCOMPARE(dlg->texts(), told("450"));
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("my own a"));
        QCOMPARE(A->version(QStringLiteral("a.txt")), QStringLiteral("0"));
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("b.txt"))));
        QCOMPARE(A->version(QStringLiteral("b.txt")), QStringLiteral("0"));
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kMyVer), QStringLiteral("0"));
        QCOMPARE(A->read(QStringLiteral("c.txt")), QByteArray("server c.txt"));
        QCOMPARE(A->version(QStringLiteral("c.txt")), QStringLiteral("1"));

        // Missing for a moment only (another member's check-in has it renamed aside): it comes.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "550 No such file.",
                                       "times": 1}]})");
        dlg->clear();
        QVERIFY2(A->getLatest({QStringLiteral("a.txt")}), qPrintable(texts()));
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("server a.txt"));
        QCOMPARE(A->version(QStringLiteral("a.txt")), QStringLiteral("1"));
    }

    void failedSavesPutThePreviousCopyBack() {
        // The upload breaks off with part of the file on the host, and the host refuses to rename the
        // previous copy back onto that name: the part must go first.
        const QByteArray before = fx.hostCatalogue();
        host.setFaults(brokenUpload("/krg/_files.txt", "2.0.5\r\n3\r\n\"a.t"));
        QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "Error sending _files.txt, please try again.\r\n\r\n451 Broken off.")});
        QCOMPARE(fx.hostCatalogue(), before);
        // The host keeps a backup too: the next broken save would have nothing to repair from.
        QCOMPARE(fx.hostBackup(), before);
        QVERIFY(!fx.lockOnHost());

        // A host that refuses to move the catalogue aside: the save goes through and the backup is kept.
        host.setFaults(R"({"refuse": [{"cmd": "RNFR", "path": "/krg/_files.txt", "reply": "550 No."}]})");
        dlg->clear();
        QVERIFY2(A->checkOut({QStringLiteral("c.txt")}), qPrintable(texts()));
        QCOMPARE(fx.hostBackup(), before);
        const QByteArray withC = fx.hostCatalogue();
        QCOMPARE(withC, abc("", "", "Alda"));

        // An upload the host cut short is a failed save, not another member's: the catalogue goes back.
        host.setFaults(replacedAfterUpload("/krg/_files.txt", abc("Alda", "", "Alda").left(30)));
        dlg->clear();
        QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("Error sending _files.txt, please try again.\r\n\r\n"
                                            "The host kept 30 of 87 bytes.")});
        QCOMPARE(fx.hostCatalogue(), withC);
        QCOMPARE(fx.hostBackup(), withC);
        QVERIFY(!fx.lockOnHost());
        host.setFaults({});
        dlg->clear();
        setCatalogue({line("a.txt"), line("b.txt"), line("c.txt")});

        // The same for a shared file in a check-in: an upload that broke off, that the host cut short or
        // does not list afterwards is no check-in.
        QVERIFY2(A->checkOut({QStringLiteral("b.txt")}), qPrintable(texts()));
        A->write(QStringLiteral("b.txt"), "Alda's b");
        for (const QByteArray& faults :
             {brokenUpload("/krg/b.txt", "Alda"), replacedAfterUpload("/krg/b.txt", "Alda"),
              hiddenAfterUpload("/krg/b.txt")}) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!A->checkIn({QStringLiteral("b.txt")}, QStringLiteral("done")));
            QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Error sending b.txt, please try again.")});
            QCOMPARE(host.read(QStringLiteral("krg/b.txt")), QByteArray("server b.txt"));
            QVERIFY(!host.exists(QStringLiteral("krg/b.txt.backup")));
            QCOMPARE(fx.hostCatalogue(), abc("", "Alda"));
        }

        // A site page the host refused or cut: the previous page stays, or goes back up.
        A->activate();
        QDir(A->local.path()).mkpath(QStringLiteral("VelmarFTP"));
        A->write(QStringLiteral("VelmarFTP/page.html"), "new page text");
        host.write(QStringLiteral("page.html"), "old page");
        const std::pair<QByteArray, QString> pageFaults[] = {
            {R"({"refuse": [{"cmd": "STOR", "path": "/page.html", "reply": "552 Disk full."}]})",
             QStringLiteral("552 Disk full.")},
            {replacedAfterUpload("/page.html", "new"),
             QStringLiteral(
                 "Error sending page.html: the host kept 3 of 13 bytes, so the upload was undone.")}};
        TransferControl inet;
        for (const auto& [faults, told] : pageFaults) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!SendFileToServer(inet, QStringLiteral("page.html")));
            QCOMPARE(dlg->texts(), QStringList{told});
            QCOMPARE(host.read(QStringLiteral("page.html")), QByteArray("old page"));
            QVERIFY(!host.exists(QStringLiteral("page.html.backup")));
        }
        host.setFaults({});
        dlg->clear();
        QVERIFY2(SendFileToServer(inet, QStringLiteral("page.html")), qPrintable(texts()));
        QCOMPARE(host.read(QStringLiteral("page.html")), QByteArray("new page text"));
    }

    void repairUsesOnlyAWholeBackup() {
        // A cut catalogue: the count fits, but the last record lost its end.
        const QByteArray whole = abc();
        const QByteArray cut = whole.left(whole.size() - 5);
        host.write(QStringLiteral("krg/_files.txt"), cut);
        host.write(QStringLiteral("krg/_files.txt.backup"), QByteArray());
        dlg->answer(Dialogs::Ok);
        QVERIFY(!A->refresh());
        QCOMPARE(dlg->texts().size(), 2);
        QVERIFY(dlg->texts().at(0).contains(QStringLiteral("(ERR: file is incomplete)")));
        QCOMPARE(dlg->texts().at(1),
                 QStringLiteral("The backup _files.txt.backup on the server is itself "
                                "incomplete (file is empty), so it was not restored and the "
                                "server was left as it is.  Please ask Dovrin to restore the "
                                "shared file list."));
        QCOMPARE(fx.hostCatalogue(), cut);
        QVERIFY(!fx.lockOnHost());

        // With a whole backup the repair goes through.
        dlg->clear();
        host.write(QStringLiteral("krg/_files.txt.backup"), whole);
        dlg->answer(Dialogs::Ok);
        QVERIFY(A->refresh());
        QCOMPARE(fx.hostCatalogue(), whole);
        QCOMPARE(A->list.count(), 3);
    }

    void oneByteLocalCopyIsKeptAsBackup() {
        QDir(A->local.path()).mkpath(QStringLiteral("VelmarFTP"));
        A->activate();
        A->write(QStringLiteral("VelmarFTP/one.txt"), "1");
        host.write(QStringLiteral("one.txt"), "server one");
        QString text = QLatin1String(kSaveToFile);
        TransferControl inet;
        QVERIFY(GetFileFromServer(inet, QStringLiteral("one.txt"), text));
        QCOMPARE(A->read(QStringLiteral("VelmarFTP/one.txt.backup")), QByteArray("1"));
        QCOMPARE(A->read(QStringLiteral("VelmarFTP/one.txt")), QByteArray("server one"));
    }

    void addingNeverWritesAControlFileOrAnotherMembersFile() {
        runState().MemberNames = {QStringLiteral("Alda"), QStringLiteral("Lina")};
        const auto describe = [](const QString&) -> std::optional<QString> { return QStringLiteral("d"); };
        // A restricted member's own access list, another's, the account file, message and news list.
        for (const char* name : {"Lina.dat", "alda.DAT", "_files.dat", "_message.dat", "_news.dat"}) {
            const QString n = QLatin1String(name);
            dlg->clear();
            A->write(n, "*full access*");
            A->activate();
            QVERIFY(!A->ops->AddFiles({n}, describe));
            QCOMPARE(
                dlg->texts(),
                QStringList{n + QStringLiteral(" is one of the files KRtp keeps for itself in the control "
                                               "folder (the shared file list, the member accounts, an "
                                               "access list, the message or the news list), so it cannot "
                                               "be added or changed this way.")});
            QVERIFY(!host.exists(QStringLiteral("krg/") + n));
            QVERIFY(!addfiles::AddableFiles(A->list).names.contains(n));
        }
        // A name the code page cannot hold is neither offered nor sent.
        const QString polish = QString::fromUtf8("Zo\xc5\x9b.txt");
        A->write(polish, "x");
        QVERIFY(!addfiles::AddableFiles(A->list).names.contains(polish));
        dlg->clear();
        QVERIFY(!A->ops->AddFiles({polish}, describe));
        QCOMPARE(dlg->texts().size(), 1);
        QVERIFY(!host.exists(QStringLiteral("krg/") + polish));

        // While Alda typed the description, Bren added a file of the same name: his file stays.
        A->write(QStringLiteral("new.txt"), "Alda's new");
        dlg->clear();
        QVERIFY(!A->ops->AddFiles({QStringLiteral("new.txt")}, [&](const QString&) -> std::optional<QString> {
            host.write(QStringLiteral("krg/new.txt"), "Bren's new");
            setCatalogue({line("a.txt"), line("b.txt"), line("c.txt"), line("new.txt")});
            return QStringLiteral("mine");
        }));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("new.txt could not be added.\r\nA file with the same "
                                            "name already exists.")});
        QCOMPARE(host.read(QStringLiteral("krg/new.txt")), QByteArray("Bren's new"));
        QVERIFY(!A->commands.contains(QStringLiteral("send new.txt new.txt")));

        // An upload the host cut short or does not list is not added, and the batch takes back the file
        // it had sent before.
        A->write(QStringLiteral("first.txt"), "first");
        A->write(QStringLiteral("other.txt"), "Alda's other file");
        for (const QByteArray& faults :
             {replacedAfterUpload("/krg/other.txt", "Alda's"), hiddenAfterUpload("/krg/other.txt")}) {
            host.setFaults(faults);
            dlg->clear();
            QVERIFY(!A->ops->AddFiles({QStringLiteral("first.txt"), QStringLiteral("other.txt")}, describe));
            QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Error sending other.txt, please try again.")});
            QVERIFY(!host.exists(QStringLiteral("krg/first.txt")));
            QVERIFY(!host.exists(QStringLiteral("krg/other.txt")));
            QVERIFY(!fx.hostCatalogue().contains("other.txt"));
        }
        runState().MemberNames.clear();
    }

    void linksNeverPublishWhatLiesOutsideTheFolder() {
        QTemporaryDir outside;
        const QString secret = outside.filePath(QStringLiteral("secret"));
        QFile f(secret);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("private") == 7);
        f.close();
        QVERIFY2(A->checkOut({QStringLiteral("a.txt"), QStringLiteral("b.txt")}), qPrintable(texts()));
        QFile::remove(A->path(QStringLiteral("a.txt")));
        QVERIFY(QFile::link(secret, A->path(QStringLiteral("a.txt"))));
        // A link that stays inside the folder is followed.
        A->write(QStringLiteral("inside.txt"), "Alda's b");
        QFile::remove(A->path(QStringLiteral("b.txt")));
        QVERIFY(QFile::link(A->path(QStringLiteral("inside.txt")), A->path(QStringLiteral("b.txt"))));
        dlg->clear();
        QVERIFY(!A->checkIn({QStringLiteral("a.txt"), QStringLiteral("b.txt")}, QStringLiteral("x"), true));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("a.txt is a link to a file outside your local folder, "
                                            "so it was not sent.")});
        QCOMPARE(host.read(QStringLiteral("krg/a.txt")), QByteArray("server a.txt"));
        QCOMPARE(host.read(QStringLiteral("krg/b.txt")), QByteArray("Alda's b"));

        // The site's mirror: a link there is refused by the upload itself.
        QDir(A->local.path()).mkpath(QStringLiteral("VelmarFTP"));
        QVERIFY(QFile::link(secret, A->path(QStringLiteral("VelmarFTP/about.html"))));
        host.write(QStringLiteral("about.html"), "public");
        dlg->clear();
        TransferControl inet;
        QVERIFY(!SendFileToServer(inet, QStringLiteral("about.html")));
        QCOMPARE(dlg->texts(),
                 QStringList{QStringLiteral("VelmarFTP/about.html is a link to a file outside your "
                                            "local folder, so it was not sent.")});
        QCOMPARE(host.read(QStringLiteral("about.html")), QByteArray("public"));
        // Every other upload (the console's, the editor's) meets the same refusal in the transfer itself.
        inet.configureForSite();
        QVERIFY(inet.Execute(QStringLiteral("send VelmarFTP/about.html /about.html")));
        inet.waitUntilIdle();
        QVERIFY(!inet.lastSucceeded());
        QCOMPARE(inet.lastError(), QStringLiteral("VelmarFTP/about.html is a link to a file outside your "
                                                  "local folder, so it was not sent."));
        QCOMPARE(host.read(QStringLiteral("about.html")), QByteArray("public"));
        // A download replaces the link instead of writing through it.
        QString text = QLatin1String(kSaveToFile);
        QVERIFY(GetFileFromServer(inet, QStringLiteral("about.html"), text));
        QCOMPARE(A->read(QStringLiteral("VelmarFTP/about.html")), QByteArray("public"));
        QVERIFY(!QFileInfo(A->path(QStringLiteral("VelmarFTP/about.html"))).isSymLink());
        QCOMPARE(QFile(secret).size(), qint64(7));
    }

    void checkInWaitsForASaveUnderWay() {
        setCatalogue({line("a.txt", "Alda"), line("b.txt"), line("c.txt")});
        A->write(QStringLiteral("a.txt"), "Alda's a");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        carolIsSaving(abc("Alda", "Carol"));
        QVERIFY2(A->checkIn({QStringLiteral("a.txt")}, QStringLiteral("done")), qPrintable(texts()));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(dlg->statuses.value(0), waitingFor("Carol"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({line("a.txt", "", 2, "Alda: done"), line("b.txt", "Carol"), line("c.txt")}));
        QCOMPARE(host.read(QStringLiteral("krg/a.txt")), QByteArray("Alda's a"));
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
                host.write(QStringLiteral("krg/_files.txt"), carols.left(20));
            }
        });
        QVERIFY2(A->refresh(), qPrintable(texts()));
        QVERIFY(brenStarted);
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kOwner), QStringLiteral("Carol"));
        QCOMPARE(A->list.count(), 3);
    }
};

KRTP_TEST_MAIN_CORE(TestCatalogueGuard)
#include "tst_catalogueguard.moc"
