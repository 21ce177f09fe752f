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
using namespace Qt::StringLiterals;

class TestTransferRoutines : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir work;

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(host.start(LoopbackHost::seedPath(u"transfer"_s), &error), qPrintable(error));
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkdir(u"VelmarFTP"_s);
    }

    // A test that started a host of its own leaves the shared one in the environment again.
    void cleanup() { host.exportEnvironment(); }

    void mapsPaths() {
        MirrorPath p = MapMirrorPath(u"index.html"_s);
        QVERIFY(p.ok);
        QCOMPARE(p.localFile(), u"VelmarFTP/index.html"_s);
        QCOMPARE(p.hostFile(), u"/index.html"_s);
        for (const QString& path : {u"a/b/c.txt"_s, u"a\\b\\c.txt"_s}) {
            p = MapMirrorPath(path);
            QVERIFY(p.ok);
            QCOMPARE(p.localFolder, u"VelmarFTP/a/b/"_s);
            QCOMPARE(p.hostFile(), u"/a/b/c.txt"_s);
        }
        for (const QString& bad : {u"../etc/passwd"_s, u"a/../../x"_s, u"/abs.txt"_s, u"C:\\x.txt"_s,
                                   u"\\x.txt"_s, QString(), u"dir/"_s}) {
            p = MapMirrorPath(bad);
            QVERIFY2(!p.ok, qPrintable(bad));
            QVERIFY(p.error.endsWith(u"Nothing was transferred."_s));
        }
    }

    void downloadCreatesFoldersAndKeepsOneBackup() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QString text;
        QVERIFY(GetFileFromServer(c, u"krg\\sub folder/inner.txt"_s, text));
        QCOMPARE(text, u"inner\r\n"_s);
        QCOMPARE(readLocal(u"VelmarFTP/krg/sub folder/inner.txt"_s), QByteArray("inner\r\n"));
        QVERIFY(dialogs.busyCount() > 0);
        QCOMPARE(dialogs.busyDepth(), 0);

        // Two downloads in a row: the first downloaded copy becomes the backup, the older backup goes.
        QVERIFY(writeLocal(u"VelmarFTP/news/index.html.backup"_s, "very old"));
        QVERIFY(writeLocal(u"VelmarFTP/news/index.html"_s, "local edit"));
        text = QLatin1String(kSaveToFile);
        QVERIFY(GetFileFromServer(c, u"news/index.html"_s, text));
        QCOMPARE(text, QLatin1String(kSaveToFile));
        QCOMPARE(readLocal(u"VelmarFTP/news/index.html.backup"_s), QByteArray("local edit"));
        host.write(u"news/index.html"_s, "second");
        QVERIFY(GetFileFromServer(c, u"news/index.html"_s, text));
        QCOMPARE(readLocal(u"VelmarFTP/news/index.html"_s), QByteArray("second"));
        QCOMPARE(readLocal(u"VelmarFTP/news/index.html.backup"_s), QByteArray("<html>news</html>\r\n"));

        // An empty local copy is deleted, not kept as backup.
        QVERIFY(writeLocal(u"VelmarFTP/index.html"_s, ""));
        QVERIFY(writeLocal(u"VelmarFTP/index.html.backup"_s, "keep me"));
        QVERIFY(GetFileFromServer(c, u"index.html"_s, text));
        QCOMPARE(readLocal(u"VelmarFTP/index.html.backup"_s), QByteArray("keep me"));
        QVERIFY(dialogs.records().isEmpty());
    }

    void failedDownloadPutsThePreviousCopyBack() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QVERIFY(writeLocal(u"VelmarFTP/gone.html"_s, "my only copy"));
        QString text;
        QVERIFY(!GetFileFromServer(c, u"gone.html"_s, text));
        QCOMPARE(readLocal(u"VelmarFTP/gone.html"_s), QByteArray("my only copy"));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(u"550"_s), qPrintable(dialogs.lastText()));
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
        h.write(u"news/page.html"_s, "host v1");
        h.write(u"news/page.html.backup"_s, "host v0");
        TransferControl c;
        if (refuseRenameOver) {
            c.configureForSite();
            QVERIFY(c.Execute(u"rename /news/page.html /news/page.html.backup"_s));
            c.waitUntilIdle();
            QCOMPARE(c.lastError(), u"550 Cannot rename onto an existing file."_s);
        }
        QVERIFY(writeLocal(u"VelmarFTP/news/page.html"_s, "mine v2"));
        QVERIFY(SendFileToServer(c, u"news/page.html"_s));
        QCOMPARE(h.read(u"news/page.html"_s), QByteArray("mine v2"));
        QCOMPARE(h.read(u"news/page.html.backup"_s), QByteArray("host v1"));

        // A new file: the first two commands fail harmlessly.
        QVERIFY(writeLocal(u"VelmarFTP/news/fresh page.html"_s, "fresh"));
        QVERIFY(SendFileToServer(c, u"news/fresh page.html"_s));
        QCOMPARE(h.read(u"news/fresh page.html"_s), QByteArray("fresh"));
        QVERIFY(dialogs.records().isEmpty());
    }

    void uploadOfAMissingFileSendsNothing() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QVERIFY(!SendFileToServer(c, u"a/none.html"_s));
        QCOMPARE(dialogs.texts(), QStringList{QStringLiteral(
                                      "VelmarFTP/a/none.html does not exist on the local hard drive.")});
        QCOMPARE(dialogs.records().first().icon, Dialogs::Icon::Critical);
        QCOMPARE(c.commandsSent(), 0);
    }

    void refusedUploadKeepsTheHostCopy() {
        ScriptedDialogs dialogs;
        LoopbackHost strict;
        strict.addReadOnlyFolder(u"locked"_s);
        QVERIFY(strict.start());
        strict.write(u"locked/page.html"_s, "host copy");
        QVERIFY(writeLocal(u"VelmarFTP/locked/page.html"_s, "mine"));
        TransferControl c;
        QVERIFY(!SendFileToServer(c, u"locked/page.html"_s));
        QCOMPARE(strict.read(u"locked/page.html"_s), QByteArray("host copy"));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(u"550"_s), qPrintable(dialogs.lastText()));
    }

    void unsafePathsTouchNothing() {
        ScriptedDialogs dialogs;
        TransferControl c;
        QString text;
        QVERIFY(!GetFileFromServer(c, u"../outside.txt"_s, text));
        QVERIFY(!SendFileToServer(c, u"/etc/passwd"_s));
        QVERIFY(!DeleteFileFromServer(c, u"a/../../index.html"_s));
        host.write(u"a.txt"_s, "a");
        host.write(u"b.txt"_s, "b");
        QVERIFY(!DeleteFileFromServer(c, u"a.txt\r\nDELE /b.txt"_s));
        QCOMPARE(dialogs.lastText(), QStringLiteral("The path \"a.txt\\r\\nDELE /b.txt\" contains a control "
                                                    "character. Nothing was transferred."));
        QVERIFY(!SendFileToServer(c, u"a\tb.txt"_s));
        QVERIFY(!GetFileFromServer(c, u"a.txt\n"_s, text));
        QCOMPARE(dialogs.records().size(), 6);
        QVERIFY(host.exists(u"a.txt"_s));
        QVERIFY(host.exists(u"b.txt"_s));
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(!QFile::exists(u"outside.txt"_s));
        QVERIFY(host.exists(u"index.html"_s));
    }

    void deleteAndControlFileFetch() {
        ScriptedDialogs dialogs;
        TransferControl c;
        host.write(u"news/old.html"_s, "x");
        QVERIFY(DeleteFileFromServer(c, u"news/old.html"_s));
        QVERIFY(!host.exists(u"news/old.html"_s));
        QVERIFY(!DeleteFileFromServer(c, u"news/old.html"_s));
        QVERIFY(dialogs.lastText().startsWith(u"550"_s));

        dialogs.clear();
        QVERIFY(writeLocal(u"_files.txt"_s, "stale"));
        QVERIFY(GetFile(c, u"_files.txt"_s));
        QCOMPARE(readLocal(u"_files.txt"_s), host.read(u"krg/_files.txt"_s));
        QCOMPARE(c.currentFolder(), u"/krg"_s);
        // Missing on the host: no local copy is left, and it is the caller's call what that means.
        QVERIFY(GetFile(c, u"_nothing.txt"_s));
        QVERIFY(!QFile::exists(u"_nothing.txt"_s));
        QVERIFY(dialogs.records().isEmpty());

        // No control folder on the host: nothing is fetched from elsewhere, the host's answer is shown.
        QVERIFY(QDir(host.root()).rename(u"krg"_s, u"krg-away"_s));
        host.write(u"_files.txt"_s, "site root file");
        QFile::remove(u"_files.txt"_s);
        QVERIFY(!GetFile(c, u"_files.txt"_s));
        QVERIFY(!QFile::exists(u"_files.txt"_s));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(dialogs.lastText().startsWith(u"550"_s), qPrintable(dialogs.lastText()));
        QVERIFY(QDir(host.root()).rename(u"krg-away"_s, u"krg"_s));
        QFile::remove(host.path(u"_files.txt"_s));
    }

    void controlFileFetchFailsOnAnythingButAMissingFile() {
        ScriptedDialogs dialogs;
        LoopbackHost busy;
        busy.addBusyDownloads(u"krg/_files.txt"_s, 2);
        QVERIFY(busy.start(LoopbackHost::seedPath(u"transfer"_s)));
        TransferControl c;
        // A temporary refusal is a failed fetch, not a missing file.
        QFile::remove(u"_files.txt"_s);
        QVERIFY(!GetFile(c, u"_files.txt"_s));
        QCOMPARE(dialogs.texts(),
                 QStringList{QStringLiteral("The host did not send _files.txt just now (it may be "
                                            "busy), so nothing was changed.  Please try again in "
                                            "a moment.\r\n\r\n450 busy")});
        QVERIFY(!GetFile(c, u"_files.txt"_s));
        QVERIFY(GetFile(c, u"_files.txt"_s));
        QCOMPARE(readLocal(u"_files.txt"_s), busy.read(u"krg/_files.txt"_s));
        QCOMPARE(dialogs.records().size(), 2);

        // A connection lost mid-download on a host without EPSV: a failure of its own, never the
        // host's "500" for EPSV.
        dialogs.clear();
        LoopbackHost cutting;
        cutting.setWithoutEpsv(true);
        cutting.setCutDownloadsAfter(64 * 1024, true);
        QVERIFY(cutting.start(LoopbackHost::seedPath(u"transfer"_s)));
        cutting.write(u"krg/_files.txt"_s, QByteArray(512 * 1024, 'x'));
        TransferControl d;
        d.setTimeLimits(5, 5);
        QVERIFY(!GetFile(d, u"_files.txt"_s));
        QCOMPARE(dialogs.records().size(), 1);
        QVERIFY2(!dialogs.lastText().startsWith(u"500"_s), qPrintable(dialogs.lastText()));
        QVERIFY(!QFile::exists(u"_files.txt"_s));
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
        host.write(u"a.txt"_s, "a");
        host.write(u"b.txt"_s, "b");
        const CliResult r = runCli(args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, out);
        QVERIFY2(r.err.contains(err), r.err.constData());
        QVERIFY(host.exists(u"a.txt"_s) && host.exists(u"b.txt"_s));
        if (args.first() == QLatin1String("get"))
            QCOMPARE(readLocal(u"VelmarFTP/krg/sub folder/inner.txt"_s), QByteArray("inner\r\n"));
    }
};

KRTP_TEST_MAIN_CORE(TestTransferRoutines)
#include "tst_transferroutines.moc"
