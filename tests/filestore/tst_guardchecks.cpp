// Checks that keep a member's work when the host misbehaves or another member's program interferes:
// each case here fails when its check is taken out of the program.
#include "scripteddialogs.h"
#include "storeopstestutil.h"
#include "testmain.h"
#include "transfer/transferroutines.h"

#include <QDateTime>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

namespace {

QByteArray line(const char* name, const char* controller = "", int version = 1) {
    return catalogueLine(name, version, controller, "", "", "");
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

// Lets a test act (as another member) at the moment the member is told to wait.
class WaitingDialogs : public ScriptedDialogs {
public:
    std::function<void(const QString&)> onStatus;
    void status(const QString& text) override {
        ScriptedDialogs::status(text);
        if (onStatus && !text.isEmpty())
            onStatus(text);
    }
};

} // namespace

class TestGuardChecks : public QObject {
    Q_OBJECT
    HostFixture fx;
    LoopbackHost& host = fx.host;
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<WaitingDialogs> dlg;
    std::unique_ptr<Member> A;

    QString texts() const { return dlg->texts().join(QLatin1Char('|')); }
    // Carol's program is in the middle of a save: it holds the lock, and the host has the first part
    // of her catalogue so far. When Alda is told to wait, Carol's save ends.
    void carolIsSaving(const QByteArray& carols) {
        QDir(host.root()).mkpath(QStringLiteral("krg/_files.lock"));
        host.write(QStringLiteral("krg/_files.lock/holder.txt"),
                   "Carol\r\n" + QByteArray::number(QDateTime::currentSecsSinceEpoch()) + "\r\nc0de\r\n");
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
    void initTestCase() { QVERIFY(fx.startHost()); }

    void init() {
        host.setFaults({});
        fx.clearControlFolder();
        host.write(QStringLiteral("krg/_files.txt"), catalogue({line("a.txt"), line("b.txt")}));
        for (const char* n : {"a.txt", "b.txt"})
            host.write(QStringLiteral("krg/") + QLatin1String(n), QByteArray("server ") + n);
        config = std::make_unique<QTemporaryDir>();
        dlg = std::make_unique<WaitingDialogs>();
        A = std::make_unique<Member>(QStringLiteral("Alda"), LevelFullAccess, config->path());
        QVERIFY2(A->refresh(), qPrintable(texts()));
    }

    void cleanup() {
        const QStringList unexpected = dlg->unexpected();
        host.setFaults({});
        QDir(host.path(QStringLiteral("krg/_files.lock"))).removeRecursively();
        A.reset();
        dlg.reset();
        setSettingsStore(nullptr);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('|'))));
    }

    void checkOutOverwrittenAfterItsSaveIsReported() {
        // The save and its read-back went through; then a program without the lock saves its own
        // older catalogue, in which Carol holds a.txt.
        const QByteArray carols = catalogue({line("a.txt", "Carol"), line("b.txt")});
        bool done = false;
        QObject::connect(A->store.get(), &FileStore::commandFinished, [&](const QString& command) {
            if (!done && command == QLatin1String("get _files.txt _files.txt.check")) {
                done = true;
                host.write(QStringLiteral("krg/_files.txt"), carols);
            }
        });
        QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
        QVERIFY(done);
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "a.txt has just been checked out by Carol, so it is not checked out to "
                                   "you.  Your local copy is the latest server copy, but you cannot check "
                                   "in changes to it.")});
        QCOMPARE(dlg->records().first().icon, Dialogs::Icon::Warning);
        QCOMPARE(A->column(QStringLiteral("a.txt"), columns::kOwner), QStringLiteral("Carol"));
        QCOMPARE(fx.hostCatalogue(), carols);
    }

    void getLatestRecordsNoVersionForACopyThatDidNotArrive() {
        // The host lists b.txt but will not send it, and the member has no copy of it yet.
        host.setFaults(R"({"refuse": [{"cmd": "RETR", "path": "/krg/b.txt", "reply": "550 Not now."}]})");
        QVERIFY(!A->getLatest({QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "b.txt does not exist on the local computer.  Either it was not "
                                   "downloaded correctly, or it has been deleted off both the server "
                                   "and the local machine.")});
        QVERIFY(!QFileInfo::exists(A->path(QStringLiteral("b.txt"))));
        QCOMPARE(A->version(QStringLiteral("b.txt")), QStringLiteral("0"));
        QCOMPARE(A->column(QStringLiteral("b.txt"), columns::kMyVer), QStringLiteral("0"));
        // The other file of the batch arrived and is recorded.
        QCOMPARE(A->read(QStringLiteral("a.txt")), QByteArray("server a.txt"));
        QCOMPARE(A->version(QStringLiteral("a.txt")), QStringLiteral("1"));
    }

    void checkInWaitsForASaveUnderWay() {
        host.write(QStringLiteral("krg/_files.txt"), catalogue({line("a.txt", "Alda"), line("b.txt")}));
        A->write(QStringLiteral("a.txt"), "Alda's a");
        QVERIFY2(A->refresh(), qPrintable(texts()));
        carolIsSaving(catalogue({line("a.txt", "Alda"), line("b.txt", "Carol")}));
        A->prompt.answers.enqueue({true, QStringLiteral("done"), false, false, false});
        QVERIFY2(A->checkIn({QStringLiteral("a.txt")}), qPrintable(texts()));
        QVERIFY(dlg->records().isEmpty());
        QCOMPARE(dlg->statuses.value(0),
                 QString::fromUtf8("Waiting for Carol, who is changing the shared file "
                                   "list\xe2\x80\xa6"));
        QCOMPARE(fx.hostCatalogue(),
                 catalogue({catalogueLine("a.txt", 2, "", "", "", "Alda: done"), line("b.txt", "Carol")}));
        QCOMPARE(host.read(QStringLiteral("krg/a.txt")), QByteArray("Alda's a"));
    }

    void shortReadIsFetchedAgainUnderTheLock() {
        // The list finds Carol's save halfway and waits for it. Right after, Bren's program begins a
        // save of its own, the moment the lock is free: a fetch made only after giving the lock back
        // would find the catalogue short again and ask to repair it.
        const QByteArray carols = catalogue({line("a.txt"), line("b.txt", "Carol")});
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
        QCOMPARE(A->list.count(), 2);
    }

    void brokenUploadIsRolledBackOnAHostThatWillNotRenameOntoAName() {
        // The upload breaks off with part of the file on the host, and the host refuses to rename the
        // previous copy back onto that name: the part must go first.
        const QByteArray before = fx.hostCatalogue();
        host.setFaults(brokenUpload("/krg/_files.txt", "2.0.5\r\n2\r\n\"a.t"));
        QVERIFY(!A->checkOut({QStringLiteral("a.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral(
                                   "Error sending _files.txt, please try again.\r\n\r\n451 Broken off.")});
        QCOMPARE(fx.hostCatalogue(), before);
        // The backup stays too: a later broken save still has something to be repaired from.
        QCOMPARE(host.read(QStringLiteral("krg/_files.txt.backup")), before);

        // The same for a shared file in a check-in.
        host.setFaults({});
        dlg->clear();
        QVERIFY2(A->checkOut({QStringLiteral("b.txt")}), qPrintable(texts()));
        A->write(QStringLiteral("b.txt"), "Alda's b");
        host.setFaults(brokenUpload("/krg/b.txt", "Alda"));
        A->prompt.answers.enqueue({true, QStringLiteral("done"), false, false, false});
        QVERIFY(!A->checkIn({QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("Error sending b.txt, please try again.")});
        QCOMPARE(host.read(QStringLiteral("krg/b.txt")), QByteArray("server b.txt"));
        QVERIFY(!host.exists(QStringLiteral("krg/b.txt.backup")));
        QCOMPARE(fx.hostCatalogue(), catalogue({line("a.txt"), line("b.txt", "Alda")}));
    }

    void uploadTheHostDoesNotListIsAFailedSend() {
        // The host answers the upload with success but does not list the file afterwards.
        const char* hide = R"({"hide_after_upload": [{"path": "/krg/%1", "times": 1}]})";
        A->write(QStringLiteral("new.txt"), "new");
        QVERIFY(A->refresh());
        host.setFaults(QString::fromLatin1(hide).arg(QStringLiteral("new.txt")).toUtf8());
        dlg->answerText(QStringLiteral("New"));
        QVERIFY(!A->ops->AddFiles({QStringLiteral("new.txt")}));
        QVERIFY2(texts().contains(QStringLiteral("Error sending new.txt")), qPrintable(texts()));
        QCOMPARE(fx.hostCatalogue(), catalogue({line("a.txt"), line("b.txt")}));

        dlg->clear();
        QVERIFY2(A->checkOut({QStringLiteral("b.txt")}), qPrintable(texts()));
        A->write(QStringLiteral("b.txt"), "Alda's b");
        host.setFaults(QString::fromLatin1(hide).arg(QStringLiteral("b.txt")).toUtf8());
        A->prompt.answers.enqueue({true, QStringLiteral("done"), false, false, false});
        QVERIFY(!A->checkIn({QStringLiteral("b.txt")}));
        QCOMPARE(dlg->texts().last(), QStringLiteral("Error sending b.txt, please try again."));
        QCOMPARE(fx.hostCatalogue(), catalogue({line("a.txt"), line("b.txt", "Alda")}));
    }

    void refusedUploadOfASiteFileKeepsTheHostCopy() {
        // The host takes the rename of its copy aside but refuses the upload itself.
        host.write(QStringLiteral("page.html"), "host page");
        QDir(A->local.path()).mkpath(QStringLiteral("VelmarFTP"));
        A->activate();
        A->write(QStringLiteral("VelmarFTP/page.html"), "member's page");
        host.setFaults(R"({"refuse": [{"cmd": "STOR", "path": "/page.html", "reply": "552 Disk full."}]})");
        TransferControl inet;
        QVERIFY(!SendFileToServer(inet, QStringLiteral("page.html")));
        QCOMPARE(dlg->texts(), QStringList{QStringLiteral("552 Disk full.")});
        QCOMPARE(host.read(QStringLiteral("page.html")), QByteArray("host page"));
        QVERIFY(!host.exists(QStringLiteral("page.html.backup")));
        // Without the fault it goes up.
        host.setFaults({});
        dlg->clear();
        QVERIFY2(SendFileToServer(inet, QStringLiteral("page.html")), qPrintable(texts()));
        QCOMPARE(host.read(QStringLiteral("page.html")), QByteArray("member's page"));
    }
};

KRTP_TEST_MAIN_CORE(TestGuardChecks)
#include "tst_guardchecks.moc"
