#include "clirunner.h"
#include "loopbackhost.h"
#include "scripteddialogs.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class TestTransferRoutines : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir work;

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(host.start(LoopbackHost::seedPath(QStringLiteral("transfer")), &error), qPrintable(error));
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkdir(QStringLiteral("VelmarFTP"));
    }

    // A test that started a host of its own leaves the shared one in the environment again.
    void cleanup() { host.exportEnvironment(); }

    void mapsPaths() {
        MirrorPath p = MapMirrorPath(QStringLiteral("index.html"));
        QVERIFY(p.ok);
        QCOMPARE(p.localFile(), QStringLiteral("VelmarFTP/index.html"));
        QCOMPARE(p.hostFile(), QStringLiteral("/index.html"));
        for (const QString& path : {QStringLiteral("a/b/c.txt"), QStringLiteral("a\\b\\c.txt")}) {
            p = MapMirrorPath(path);
            QVERIFY(p.ok);
            QCOMPARE(p.localFolder, QStringLiteral("VelmarFTP/a/b/"));
            QCOMPARE(p.hostFile(), QStringLiteral("/a/b/c.txt"));
        }
        for (const QString& bad :
             {QStringLiteral("../etc/passwd"), QStringLiteral("a/../../x"), QStringLiteral("/abs.txt"),
              QStringLiteral("C:\\x.txt"), QStringLiteral("\\x.txt"), QString(), QStringLiteral("dir/")}) {
            p = MapMirrorPath(bad);
            QVERIFY2(!p.ok, qPrintable(bad));
            QVERIFY(p.error.endsWith(QStringLiteral("Nothing was transferred.")));
        }
    }

    void downloadCreatesFoldersAndKeepsOneBackup() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QString text;
        QVERIFY(GetFileFromServer(c, QStringLiteral("krg\\sub folder/inner.txt"), text));
        QCOMPARE(text, QStringLiteral("inner\r\n"));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/krg/sub folder/inner.txt")), QByteArray("inner\r\n"));
        QVERIFY(dialogs.busyCount() > 0);
        QCOMPARE(dialogs.busyDepth(), 0);

        // Two downloads in a row: the first downloaded copy becomes the backup, the older backup goes.
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/news/index.html.backup"), "very old"));
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/news/index.html"), "local edit"));
        text = QLatin1String(kSaveToFile);
        QVERIFY(GetFileFromServer(c, QStringLiteral("news/index.html"), text));
        QCOMPARE(text, QLatin1String(kSaveToFile));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/news/index.html.backup")), QByteArray("local edit"));
        host.write(QStringLiteral("news/index.html"), "second");
        QVERIFY(GetFileFromServer(c, QStringLiteral("news/index.html"), text));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/news/index.html")), QByteArray("second"));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/news/index.html.backup")),
                 QByteArray("<html>news</html>\r\n"));

        // An empty local copy is deleted, not kept as backup.
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/index.html"), ""));
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/index.html.backup"), "keep me"));
        QVERIFY(GetFileFromServer(c, QStringLiteral("index.html"), text));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/index.html.backup")), QByteArray("keep me"));
        QVERIFY(dialogs.records().isEmpty());
    }

    void failedDownloadPutsThePreviousCopyBack() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/gone.html"), "my only copy"));
        QString text;
        QVERIFY(!GetFileFromServer(c, QStringLiteral("gone.html"), text));
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/gone.html")), QByteArray("my only copy"));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(QStringLiteral("550")), qPrintable(dialogs.lastText()));
        QCOMPARE(dialogs.records().first().icon, Dialogs::Icon::Critical);
    }

    // The host's copy becomes the backup, also on a host that refuses to rename onto an existing name
    // (the exchange deletes the old backup first).
    void uploadKeepsTheHostBackup_data() {
        QTest::addColumn<bool>("refuseRenameOver");
        QTest::newRow("plain") << false;
        QTest::newRow("refuses rename onto a name") << true;
    }

    void uploadKeepsTheHostBackup() {
        QFETCH(bool, refuseRenameOver);
        ScriptedDialogs dialogs;
        LoopbackHost picky;
        picky.setRefuseRenameOver(true);
        if (refuseRenameOver)
            QVERIFY(picky.start());
        LoopbackHost& h = refuseRenameOver ? picky : host;
        h.write(QStringLiteral("news/page.html"), "host v1");
        h.write(QStringLiteral("news/page.html.backup"), "host v0");
        TransferControl c;
        if (refuseRenameOver) {
            c.configureForSite();
            QVERIFY(c.Execute(QStringLiteral("rename /news/page.html /news/page.html.backup")));
            c.waitUntilIdle();
            QCOMPARE(c.lastError(), QStringLiteral("550 Cannot rename onto an existing file."));
        }
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/news/page.html"), "mine v2"));
        QVERIFY(SendFileToServer(c, QStringLiteral("news/page.html")));
        QCOMPARE(h.read(QStringLiteral("news/page.html")), QByteArray("mine v2"));
        QCOMPARE(h.read(QStringLiteral("news/page.html.backup")), QByteArray("host v1"));

        // A new file: the first two commands fail harmlessly.
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/news/fresh page.html"), "fresh"));
        QVERIFY(SendFileToServer(c, QStringLiteral("news/fresh page.html")));
        QCOMPARE(h.read(QStringLiteral("news/fresh page.html")), QByteArray("fresh"));
        QVERIFY(dialogs.records().isEmpty());
    }

    void uploadOfAMissingFileSendsNothing() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QVERIFY(!SendFileToServer(c, QStringLiteral("a/none.html")));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral(
                                      "VelmarFTP/a/none.html does not exist on the local hard drive.")});
        QCOMPARE(dialogs.records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(c.commandsSent(), 0);
    }

    void refusedUploadKeepsTheHostCopy() {
        ScriptedDialogs dialogs;
        LoopbackHost strict;
        strict.addReadOnlyFolder(QStringLiteral("locked"));
        QVERIFY(strict.start());
        strict.write(QStringLiteral("locked/page.html"), "host copy");
        QVERIFY(writeLocal(QStringLiteral("VelmarFTP/locked/page.html"), "mine"));
        TransferControl c;
        QVERIFY(!SendFileToServer(c, QStringLiteral("locked/page.html")));
        QCOMPARE(strict.read(QStringLiteral("locked/page.html")), QByteArray("host copy"));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(QStringLiteral("550")), qPrintable(dialogs.lastText()));
    }

    void unsafePathsTouchNothing() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QString text;
        QVERIFY(!GetFileFromServer(c, QStringLiteral("../outside.txt"), text));
        QVERIFY(!SendFileToServer(c, QStringLiteral("/etc/passwd")));
        QVERIFY(!DeleteFileFromServer(c, QStringLiteral("a/../../index.html")));
        host.write(QStringLiteral("a.txt"), "a");
        host.write(QStringLiteral("b.txt"), "b");
        QVERIFY(!DeleteFileFromServer(c, QStringLiteral("a.txt\r\nDELE /b.txt")));
        QCOMPARE(dialogs.lastText(), QStringLiteral("The path \"a.txt\\r\\nDELE /b.txt\" contains a control "
                                                    "character. Nothing was transferred."));
        QVERIFY(!SendFileToServer(c, QStringLiteral("a\tb.txt")));
        QVERIFY(!GetFileFromServer(c, QStringLiteral("a.txt\n"), text));
        QCOMPARE(dialogs.records().size(), 6);
        QVERIFY(host.exists(QStringLiteral("a.txt")));
        QVERIFY(host.exists(QStringLiteral("b.txt")));
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(!QFile::exists(QStringLiteral("outside.txt")));
        QVERIFY(host.exists(QStringLiteral("index.html")));
    }

    void deleteAndControlFileFetch() {
        ScriptedDialogs dialogs;
        TransferControl c;
        host.write(QStringLiteral("news/old.html"), "x");
        QVERIFY(DeleteFileFromServer(c, QStringLiteral("news/old.html")));
        QVERIFY(!host.exists(QStringLiteral("news/old.html")));
        QVERIFY(!DeleteFileFromServer(c, QStringLiteral("news/old.html")));
        QVERIFY(dialogs.lastText().startsWith(QStringLiteral("550")));

        dialogs.clear();
        QVERIFY(writeLocal(QStringLiteral("_files.txt"), "stale"));
        QVERIFY(GetFile(c, QStringLiteral("_files.txt")));
        QCOMPARE(readLocal(QStringLiteral("_files.txt")), host.read(QStringLiteral("krg/_files.txt")));
        QCOMPARE(c.currentFolder(), QStringLiteral("/krg"));
        // Missing on the host: no local copy is left, and it is the caller's call what that means.
        QVERIFY(GetFile(c, QStringLiteral("_nothing.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("_nothing.txt")));
        QVERIFY(dialogs.records().isEmpty());

        // No control folder on the host: nothing is fetched from elsewhere, the host's answer is shown.
        QVERIFY(QDir(host.root()).rename(QStringLiteral("krg"), QStringLiteral("krg-away")));
        host.write(QStringLiteral("_files.txt"), "site root file");
        QFile::remove(QStringLiteral("_files.txt"));
        QVERIFY(!GetFile(c, QStringLiteral("_files.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("_files.txt")));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(QStringLiteral("550")), qPrintable(dialogs.lastText()));
        QVERIFY(QDir(host.root()).rename(QStringLiteral("krg-away"), QStringLiteral("krg")));
        QFile::remove(host.path(QStringLiteral("_files.txt")));
    }

    void controlFileFetchFailsOnAnythingButAMissingFile() {
        ScriptedDialogs dialogs;
        LoopbackHost busy;
        busy.addBusyDownloads(QStringLiteral("krg/_files.txt"), 2);
        QVERIFY(busy.start(LoopbackHost::seedPath(QStringLiteral("transfer"))));
        TransferControl c;
        // A temporary refusal is a failed fetch, not a missing file.
        QFile::remove(QStringLiteral("_files.txt"));
        QVERIFY(!GetFile(c, QStringLiteral("_files.txt")));
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("The host did not send _files.txt just now (it may be "
                                            "busy), so nothing was changed.  Please try again in "
                                            "a moment.\r\n\r\n450 busy")});
        QVERIFY(!GetFile(c, QStringLiteral("_files.txt")));
        QVERIFY(GetFile(c, QStringLiteral("_files.txt")));
        QCOMPARE(readLocal(QStringLiteral("_files.txt")), busy.read(QStringLiteral("krg/_files.txt")));
        QCOMPARE(dialogs.records().size(), 2);

        // A connection lost mid-download on a host without EPSV: a failure of its own, never the
        // host's "500" for EPSV.
        dialogs.clear();
        LoopbackHost cutting;
        cutting.setWithoutEpsv(true);
        cutting.setCutDownloadsAfter(64 * 1024, true);
        QVERIFY(cutting.start(LoopbackHost::seedPath(QStringLiteral("transfer"))));
        cutting.write(QStringLiteral("krg/_files.txt"), QByteArray(512 * 1024, 'x'));
        TransferControl d;
        d.setTimeLimits(5, 5);
        QVERIFY(!GetFile(d, QStringLiteral("_files.txt")));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(!dialogs.lastText().startsWith(QStringLiteral("500")), qPrintable(dialogs.lastText()));
        QVERIFY(!QFile::exists(QStringLiteral("_files.txt")));
    }

    // krtp-cli's transfer commands: what they print and how they end. A line break in a path or a
    // command, or a verb without its argument, is refused before anything is sent, not a crash.
    void consoleFrontEnd_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("out"); // exactly
        QTest::addColumn<QByteArray>("err"); // contains
        QTest::newRow("session") << QStringList{"ftp", "cd /krg", "ls \"my page.html\"", "pwd"} << 0
                                 << QByteArray("my page.html\r\n/krg\n") << QByteArray();
        QTest::newRow("host refuses")
            << QStringList{"ftp", "ls /none"} << 1 << QByteArray() << QByteArray("550");
        QTest::newRow("get") << QStringList{"get", "krg/sub folder/inner.txt"} << 0 << QByteArray()
                             << QByteArray();
        QTest::newRow("path leaves the site")
            << QStringList{"send", "../x"} << 1 << QByteArray() << QByteArray("Nothing was transferred.");
        QTest::newRow("line break in a path")
            << QStringList{"delete", "a.txt\r\nDELE /b.txt"} << 1 << QByteArray()
            << QByteArray("contains a control character. Nothing was transferred.");
        QTest::newRow("line break in a command")
            << QStringList{"ftp", "delete \"/a.txt\r\nDELE /b.txt\""} << 1 << QByteArray()
            << QByteArray("contains a control character (such as a line break) and was not sent");
        QTest::newRow("get without a name") << QStringList{"ftp", "get"} << 1 << QByteArray()
                                            << QByteArray(": Wrong number of arguments for GET.");
        QTest::newRow("put without a name") << QStringList{"ftp", "put"} << 1 << QByteArray()
                                            << QByteArray(": Wrong number of arguments for PUT.");
    }

    void consoleFrontEnd() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        host.write(QStringLiteral("a.txt"), "a");
        host.write(QStringLiteral("b.txt"), "b");
        const CliResult r = runCli(args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, out);
        QVERIFY2(r.err.contains(err), r.err.constData());
        QVERIFY(host.exists(QStringLiteral("a.txt")) && host.exists(QStringLiteral("b.txt")));
        if (args.first() == QLatin1String("get"))
            QCOMPARE(readLocal(QStringLiteral("VelmarFTP/krg/sub folder/inner.txt")),
                     QByteArray("inner\r\n"));
    }
};

KRTP_TEST_MAIN_CORE(TestTransferRoutines)
#include "tst_transferroutines.moc"
