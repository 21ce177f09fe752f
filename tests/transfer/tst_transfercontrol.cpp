#include "config/runstate.h"
#include "loopbackhost.h"
#include "storescenario.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace krtp;
using namespace krtp::test;

class TestTransferControl : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir work;

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(host.start(LoopbackHost::seedPath(QStringLiteral("transfer")), &error), qPrintable(error));
        StoreScenario::seed(host.root());
        QVERIFY(QDir::setCurrent(work.path()));
    }

    // A test that started a host of its own leaves the shared one in the environment again.
    void cleanup() { host.exportEnvironment(); }

    void pathsQuotesAndStateTexts() {
        QCOMPARE(ResolveRemotePath(QStringLiteral("/krg"), QStringLiteral("../a/./b")),
                 QStringLiteral("/a/b"));
        QCOMPARE(ResolveRemotePath(QStringLiteral("/"), QStringLiteral("../../x")), QStringLiteral("/x"));
        QCOMPARE(ResolveRemotePath(QStringLiteral("/krg"), QStringLiteral("\\news\\a.html")),
                 QStringLiteral("/news/a.html"));
        QCOMPARE(QuoteCommandArgument(QStringLiteral("a b")), QStringLiteral("\"a b\""));
        // So a command built from an empty name is refused instead of losing its argument.
        QCOMPARE(QuoteCommandArgument(QString()), QStringLiteral("\"\""));
        QCOMPARE(StateText(4), QStringLiteral("KRtp - CONNECTED!"));
        QCOMPARE(StateText(11), QStringLiteral("KRtp - ** Communications Error **"));
        QCOMPARE(StateText(0), QString());
    }

    void commandParser_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("verb");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const char* text, const char* verb, const QStringList& args,
                            const QString& error = {}) {
            QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(verb) << args << error;
        };
        const auto wrong = [](const char* verb) {
            return QStringLiteral("Wrong number of arguments for %1.").arg(QLatin1String(verb));
        };
        const QString control = QStringLiteral("The command contains a control character (such as a line "
                                               "break) and was not sent: ");
        row("quoted argument with blanks", "  get \"a b.txt\" c.txt", "GET", {"a b.txt", "c.txt"});
        row("one argument may hold blanks", "Ls my file.txt", "LS", {"my file.txt"});
        row("recv is get", "recv x", "GET", {"x"});
        row("send is put", "SEND x", "PUT", {"x"});
        row("argument after two blanks", "get a.txt  b.txt", "GET", {"a.txt", "b.txt"});
        row("two blanks after the verb", "rename  a.txt   \"b c.txt\"", "RENAME", {"a.txt", "b c.txt"});
        row("rename needs two", "rename onlyone", "RENAME", {"onlyone"}, wrong("RENAME"));
        row("unknown verb", "FROB x", "", {}, QStringLiteral("Unknown command: FROB"));
        row("unmatched quote", "get \"open", "GET", {"open"},
            QStringLiteral("Unmatched double quote in command."));
        row("empty quoted argument", "get \"\" x.txt", "GET", {"", "x.txt"},
            QStringLiteral("Empty argument for GET."));
        row("empty name to delete", "delete \"\"", "DELETE", {""},
            QStringLiteral("Empty argument for DELETE."));
        row("empty name to rename", "rename \"\" b.txt", "RENAME", {"", "b.txt"},
            QStringLiteral("Empty argument for RENAME."));
        row("delete without a name", "delete", "DELETE", {}, wrong("DELETE"));
        row("get without a name", "get", "GET", {}, wrong("GET"));
        row("recv without a name", "recv ", "GET", {}, wrong("GET"));
        row("send without a name", "send", "PUT", {}, wrong("PUT"));
        row("put without a name", "PUT", "PUT", {}, wrong("PUT"));
        row("line break in a quoted argument", "delete \"a.txt\r\nDELE /b.txt\"", "", {},
            control + QStringLiteral("delete \"a.txt\\r\\nDELE /b.txt\""));
        row("line break in a plain argument", "ls a.txt\nDELE b.txt", "", {},
            control + QStringLiteral("ls a.txt\\nDELE b.txt"));
        row("trailing line break", "ls a.txt\r\n", "", {}, control + QStringLiteral("ls a.txt\\r\\n"));
        row("escape character", "mkdir a\x1b", "", {}, control + QStringLiteral("mkdir a\\x1b"));
        row("delete character", "mkdir a\x7f", "", {}, control + QStringLiteral("mkdir a\\x7f"));
    }

    void commandParser() {
        QFETCH(QString, text);
        QFETCH(QString, verb);
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const FtpCommand c = FtpCommand::parse(text);
        QCOMPARE(c.error, error);
        QCOMPARE(c.verb, verb);
        QCOMPARE(c.args, args);
    }

    // On an SFTP site the echo adds OpenSSH's sftp words where they differ from those typed.
    void consoleEcho_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("sftp");
        QTest::addColumn<QString>("echo");
        QTest::newRow("ftp send") << "send a.txt" << false << "> send a.txt";
        QTest::newRow("sftp send") << "send \"my page.html\"" << true
                                   << "> send \"my page.html\" (sftp: put \"my page.html\")";
        QTest::newRow("sftp delete") << "delete /krg/a.txt" << true
                                     << "> delete /krg/a.txt (sftp: rm /krg/a.txt)";
        QTest::newRow("sftp recv") << "RECV a.txt b.txt" << true
                                   << "> RECV a.txt b.txt (sftp: get a.txt b.txt)";
        QTest::newRow("sftp get as typed") << "get  a.txt" << true << "> get  a.txt";
        QTest::newRow("sftp rm") << "rm a.txt" << true << "> rm a.txt";
        QTest::newRow("sftp rename") << "rename a b" << true << "> rename a b";
        QTest::newRow("sftp cdup") << "cdup" << true << "> cdup (sftp: cd ..)";
        QTest::newRow("sftp dir") << "dir /krg" << true << "> dir /krg (sftp: ls -l /krg)";
        QTest::newRow("sftp size") << "size a.txt" << true << "> size a.txt (sftp: ls -l a.txt)";
        QTest::newRow("sftp quit") << "close" << true << "> close (sftp: bye)";
        QTest::newRow("sftp unknown") << "frob x" << true << "> frob x";
        QTest::newRow("sftp line break") << "ls a\r\nDELE b" << true << "> ls a\\r\\nDELE b";
    }

    void consoleEcho() {
        QFETCH(QString, typed);
        QFETCH(bool, sftp);
        QFETCH(QString, echo);
        QCOMPARE(ConsoleEchoText(typed, sftp), echo);
    }

    void controlCharactersNeverReachTheHost() {
        host.write(QStringLiteral("a.txt"), "a");
        host.write(QStringLiteral("b.txt"), "b");
        TransferControl c;
        c.configureForSite();
        for (const QString& command :
             {QStringLiteral("delete \"/a.txt\r\nDELE /b.txt\""),
              QStringLiteral("delete /a.txt\r\nDELE /b.txt"),
              QStringLiteral("rename /a.txt \"/c.txt\nDELE /b.txt\""), QStringLiteral("ls /\rDELE /b.txt"),
              QStringLiteral("get /a.txt \"x\ny.txt\""), QStringLiteral("mkdir \"d\r\nDELE /b.txt\""),
              QStringLiteral("delete \"/a.txt\x7f\"")}) {
            const Outcome o = run(c, command);
            QVERIFY(!o.ok);
            QVERIFY2(o.error.startsWith(QStringLiteral("The command contains a control character")),
                     qPrintable(o.error));
        }
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(host.exists(QStringLiteral("a.txt")));
        QVERIFY(host.exists(QStringLiteral("b.txt")));

        // The account settings as well: a line break in the name or password would be a command.
        c.UserName = LoopbackHost::user() + QStringLiteral("\r\nDELE /b.txt");
        QVERIFY(!run(c, QStringLiteral("ls /")).ok);
        QCOMPARE(c.lastError(), QStringLiteral("The host, account name, password or proxy setting contains a "
                                               "control character; nothing was sent."));
        c.configureForSite();
        c.Password = LoopbackHost::password() + QStringLiteral("\nDELE /b.txt");
        QVERIFY(!run(c, QStringLiteral("ls /")).ok);
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(host.exists(QStringLiteral("b.txt")));
    }

    void sessionFolderAndListing_data() {
        QTest::addColumn<bool>("machineListings");
        QTest::newRow("MLSD and MLST") << true;
        QTest::newRow("LIST only") << false; // an older host
    }

    void sessionFolderAndListing() {
        QFETCH(bool, machineListings);
        LoopbackHost older;
        older.setWithoutMachineListings(true);
        if (!machineListings)
            QVERIFY(older.start(LoopbackHost::seedPath(QStringLiteral("transfer"))));
        TransferControl c;
        c.configureForSite();
        QCOMPARE(run(c, QStringLiteral("pwd")).reply, QStringLiteral("/"));
        QVERIFY(run(c, QStringLiteral("CD /krg")).ok);
        QCOMPARE(run(c, QStringLiteral("PWD")).reply, QStringLiteral("/krg"));

        // Folders carry a trailing "/", every name ends in CR LF.
        const QStringList names =
            run(c, QStringLiteral("ls")).reply.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY2(names.contains(QStringLiteral("_files.txt")), qPrintable(names.join(',')));
        QVERIFY(names.contains(QStringLiteral("sub folder/")));
        QVERIFY(names.contains(QStringLiteral("my page.html")));
        QVERIFY(run(c, QStringLiteral("ls")).reply.endsWith(QStringLiteral("\r\n")));

        // One file: its name. A folder: its content. Missing: failure with the host's words.
        QCOMPARE(run(c, QStringLiteral("ls _files.txt")).reply, QStringLiteral("_files.txt\r\n"));
        QCOMPARE(run(c, QStringLiteral("LS my page.html")).reply, QStringLiteral("my page.html\r\n"));
        QCOMPARE(run(c, QStringLiteral("ls \"sub folder\"")).reply, QStringLiteral("inner.txt\r\n"));
        const Outcome missing = run(c, QStringLiteral("ls nothing.txt"));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.reply, QString());
        QVERIFY2(missing.error.startsWith(QStringLiteral("550")), qPrintable(missing.error));
        QCOMPARE(c.lastReplyCode(), 550);

        QVERIFY(run(c, QStringLiteral("cd \"sub folder\"")).ok);
        QCOMPARE(run(c, QStringLiteral("pwd")).reply, QStringLiteral("/krg/sub folder"));
        QVERIFY(run(c, QStringLiteral("cdup")).ok);
        QCOMPARE(run(c, QStringLiteral("pwd")).reply, QStringLiteral("/krg"));
        QVERIFY(!run(c, QStringLiteral("cd nowhere")).ok);
        QCOMPARE(run(c, QStringLiteral("pwd")).reply, QStringLiteral("/krg"));

        QVERIFY(run(c, QStringLiteral("DIR")).reply.contains(QStringLiteral("_files.txt")));
        QCOMPARE(run(c, QStringLiteral("size _message.dat")).reply,
                 QString::number(host.read("krg/_message.dat").size()));

        // QUIT ends the session: the folder is "/" again and the next command reconnects.
        QVERIFY(run(c, QStringLiteral("quit")).ok);
        QCOMPARE(run(c, QStringLiteral("pwd")).reply, QStringLiteral("/"));
        const int before = c.connectionsOpened();
        QVERIFY(run(c, QStringLiteral("ls krg/_files.txt")).ok);
        QCOMPARE(c.connectionsOpened(), before + 1);
        QVERIFY(run(c, QStringLiteral("ls krg/_message.dat")).ok);
        QCOMPARE(c.connectionsOpened(), before + 1); // the session is reused
    }

    void transferVerbs() {
        TransferControl c;
        c.configureForSite();
        CheckTransferVerbs(c, host.root());
    }

    void failuresEndInStateElevenWithTheHostsWords() {
        TransferControl c;
        c.configureForSite();
        QSignalSpy states(&c, &TransferControl::StateChanged);
        const Outcome o = run(c, QStringLiteral("delete /krg/missing.txt"));
        QVERIFY(!o.ok);
        QCOMPARE(states.last().at(0).toInt(), int(StateError));
        QVERIFY2(o.error.startsWith(QStringLiteral("550")), qPrintable(o.error));

        // A failed download leaves no local file under the name (not even an empty one).
        QFile::remove(QStringLiteral("missing.txt"));
        QVERIFY(!run(c, QStringLiteral("get /krg/missing.txt")).ok);
        QVERIFY(!QFile::exists(QStringLiteral("missing.txt")));
        QVERIFY(
            QDir().entryList(QStringList{QStringLiteral("*.part")}, QDir::Hidden | QDir::Files).isEmpty());

        // Upload of a missing local file: failure, nothing sent.
        const int sent = c.commandsSent();
        QVERIFY(!run(c, QStringLiteral("send nothere.txt")).ok);
        QCOMPARE(c.commandsSent(), sent);
        QVERIFY(!host.exists(QStringLiteral("nothere.txt")));

        QVERIFY(!run(c, QStringLiteral("frobnicate")).ok);
        QVERIFY(c.lastError().contains(QStringLiteral("Unknown command")));
    }

    void commandsAfterAFileTransferAreJudgedByTheirOwnReplies() {
        // After a transfer libcurl may change back to the URL's folder after the quoted commands; that
        // reply must not pass for theirs.
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("get /krg/_message.dat msg.dat")).ok);
        QVERIFY(!run(c, QStringLiteral("delete /news/missing.html")).ok);
        QVERIFY(!run(c, QStringLiteral("ls /news/missing.html")).ok);
        QVERIFY(run(c, QStringLiteral("send msg.dat /news/sent.dat")).ok);
        const Outcome missing = run(c, QStringLiteral("ls /news/missing.html"));
        QVERIFY(!missing.ok);
        QCOMPARE(missing.reply, QString());
        QCOMPARE(run(c, QStringLiteral("ls /news/sent.dat")).reply, QStringLiteral("sent.dat\r\n"));
        QVERIFY(run(c, QStringLiteral("delete /news/sent.dat")).ok);
    }

    void replyIsReadableWhenTheWaitEnds() {
        TransferControl c;
        c.configureForSite();
        QList<int> seen;
        bool replyReadyAt12 = false;
        const auto watch = connect(&c, &TransferControl::StateChanged, this, [&](int s) {
            seen << s;
            if (s == StateResponseCompleted) {
                replyReadyAt12 = !c.StillExecuting();
                // The reply is complete inside the handler already.
                replyReadyAt12 = replyReadyAt12 && c.GetChunk(1024).startsWith(QStringLiteral("_files.txt"));
            }
        });
        QVERIFY(c.Execute(QStringLiteral("ls /krg/_files.txt")));
        QVERIFY(c.StillExecuting());
        // A second command while busy is refused and does not disturb the first.
        QVERIFY(!c.Execute(QStringLiteral("ls /krg/_message.dat")));
        QVERIFY(c.lastError().contains(QStringLiteral("still executing")));
        while (c.StillExecuting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.last(), int(StateResponseCompleted));
        QVERIFY(replyReadyAt12);
        // States never go backwards within one command.
        for (int i = 1; i < seen.size(); ++i)
            QVERIFY(seen[i] > seen[i - 1]);
        QVERIFY(seen.contains(StateConnected));
        disconnect(watch);

        // Many commands back to back: each wait ends with its own reply.
        for (int i = 0; i < 20; ++i) {
            const QString name = i % 2 ? QStringLiteral("_files.txt") : QStringLiteral("_message.dat");
            QCOMPARE(run(c, QStringLiteral("ls /krg/") + name).reply, name + QStringLiteral("\r\n"));
        }
    }

    void openUrlReadsBodies() {
        TransferControl c;
        QString error;
        QCOMPARE(c.OpenURL(host.baseUrl() + QStringLiteral("krg/_message.dat?username=a%20b&password=%23"),
                           &error),
                 host.read(QStringLiteral("krg/_message.dat")));
        QVERIFY(error.isEmpty());
        // A missing page is an answer (the caller judges the body), not a transport failure.
        const QByteArray page = c.OpenURL(host.baseUrl() + QStringLiteral("krg/none.dat"), &error);
        QVERIFY(error.isEmpty());
        QVERIFY(page.contains("404") || page.contains("html"));
    }

    void silentHostEndsWithinTheLimit() {
        QTcpServer silent; // accepts, never greets
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        TransferControl c;
        c.configureForSite();
        c.RemoteHost = QStringLiteral("127.0.0.1:%1").arg(silent.serverPort());
        c.setTimeLimits(2, 2);
        QElapsedTimer t;
        t.start();
        const Outcome o = run(c, QStringLiteral("ls"));
        QVERIFY(!o.ok);
        QVERIFY2(t.elapsed() < 8000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!o.error.isEmpty());

        // Nobody listening at all.
        silent.close();
        QVERIFY(!run(c, QStringLiteral("ls")).ok);
        QCOMPARE(c.lastReplyCode(), 0);
    }

    void hostKilledMidTransfer() {
        LoopbackHost dying;
        dying.setThrottle(512 * 1024);
        QVERIFY(dying.start());
        dying.write(QStringLiteral("big.bin"), pattern(8 * 1024 * 1024));
        TransferControl c;
        c.configureForSite();
        c.setTimeLimits(3, 3);
        bool stopped = false;
        connect(&c, &TransferControl::progress, this, [&](qint64 done, qint64) {
            if (!stopped && done > 0) {
                stopped = true;
                dying.stop();
            }
        });
        QElapsedTimer t;
        t.start();
        const Outcome o = run(c, QStringLiteral("get /big.bin"));
        QVERIFY(stopped);
        QVERIFY(!o.ok);
        QVERIFY(t.elapsed() < 15000);
        QVERIFY(!QFile::exists(QStringLiteral("big.bin")));
    }

    void aFailureIsJudgedByItsOwnReply() {
        // A host without EPSV refuses it ("500 ... not understood") before every transfer; that harmless
        // refusal must never stand for a download cut off later.
        LoopbackHost cutting;
        cutting.setWithoutEpsv(true);
        cutting.setCutDownloadsAfter(64 * 1024, true);
        QVERIFY(cutting.start());
        cutting.write(QStringLiteral("big.bin"), pattern(1024 * 1024));
        cutting.write(QStringLiteral("small.txt"), "small");
        TransferControl c;
        c.configureForSite();
        c.setTimeLimits(5, 5);
        QVERIFY(run(c, QStringLiteral("get /small.txt")).ok); // the fall-back to PASV works
        QCOMPARE(readLocal(QStringLiteral("small.txt")), QByteArray("small"));
        QVERIFY(run(c, QStringLiteral("send small.txt /up.txt")).ok);
        QCOMPARE(cutting.read(QStringLiteral("up.txt")), QByteArray("small"));

        const Outcome cut = run(c, QStringLiteral("get /big.bin"));
        QVERIFY(!cut.ok);
        QVERIFY2(!cut.error.startsWith(QStringLiteral("500")), qPrintable(cut.error));
        QCOMPARE(c.lastReplyCode(), 0); // no reply at all: the connection died
        QVERIFY(!QFile::exists(QStringLiteral("big.bin")));

        const Outcome missing = run(c, QStringLiteral("get /none.bin"));
        QVERIFY2(missing.error.startsWith(QStringLiteral("550")), qPrintable(missing.error));
        QCOMPARE(c.lastReplyCode(), 550);

        // Only the data connection cut: the host's own reply to the download counts.
        LoopbackHost aborting;
        aborting.setWithoutEpsv(true);
        aborting.setCutDownloadsAfter(64 * 1024);
        QVERIFY(aborting.start());
        aborting.write(QStringLiteral("big.bin"), pattern(1024 * 1024));
        TransferControl d;
        d.configureForSite();
        const Outcome aborted = run(d, QStringLiteral("get /big.bin"));
        QVERIFY(!aborted.ok);
        QCOMPARE(aborted.error, QStringLiteral("426 Connection closed; transfer aborted."));
        QCOMPARE(d.lastReplyCode(), 426);
    }

    void aCommandThatMayHaveReachedTheHostIsNotRepeated() {
        LoopbackHost dropping;
        dropping.setDropAfter(QStringLiteral("RNTO"));
        QVERIFY(dropping.start());
        dropping.write(QStringLiteral("x.txt"), "x");
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("cd /")).ok); // the rename goes on the open session
        const int sent = c.commandsSent();
        // The host renames, then drops the connection without a reply. Sent again, the rename would
        // fail with "550" for a rename that was done.
        const Outcome o = run(c, QStringLiteral("rename x.txt y.txt"));
        QVERIFY(!o.ok);
        QCOMPARE(c.lastReplyCode(), 0);
        QVERIFY2(
            o.error.endsWith(QStringLiteral("(the connection was lost after the command was sent: the host "
                                            "may have carried it out)")),
            qPrintable(o.error));
        QCOMPARE(c.commandsSent(), sent + 2); // RNFR and RNTO, once
        QVERIFY(dropping.exists(QStringLiteral("y.txt")));
        QVERIFY(run(c, QStringLiteral("ls y.txt")).ok); // the next command connects afresh
    }

    void aCommandTheHostDidNotReadRunsAgain() {
        LoopbackHost closing;
        closing.setCloseBefore(QStringLiteral("RNFR"));
        QVERIFY(closing.start());
        closing.write(QStringLiteral("x.txt"), "x");
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("cd /")).ok);
        // "421" before the rename was carried out: it runs once more on a new connection.
        QVERIFY(run(c, QStringLiteral("rename x.txt y.txt")).ok);
        QCOMPARE(c.connectionsOpened(), 2);
        QVERIFY(closing.exists(QStringLiteral("y.txt")));
        QVERIFY(!closing.exists(QStringLiteral("x.txt")));
    }

    void connectionClosedByTheHostIsReplaced() {
        LoopbackHost impatient;
        impatient.setIdleTimeout(1);
        QVERIFY(impatient.start(LoopbackHost::seedPath(QStringLiteral("transfer"))));
        TransferControl c;
        c.configureForSite();
        QVERIFY(run(c, QStringLiteral("cd /krg")).ok);
        QCOMPARE(c.connectionsOpened(), 1);
        QTest::qWait(1500); // the host drops the idle session meanwhile
        // Every kind of command still works, on a new connection, in the same folder.
        QCOMPARE(run(c, QStringLiteral("ls _files.txt")).reply, QStringLiteral("_files.txt\r\n"));
        QTest::qWait(1500);
        QVERIFY(run(c, QStringLiteral("get _message.dat idle.dat")).ok);
        QCOMPARE(readLocal(QStringLiteral("idle.dat")), impatient.read(QStringLiteral("krg/_message.dat")));
        QTest::qWait(1500);
        QVERIFY(run(c, QStringLiteral("rename _message.dat moved.dat")).ok);
        QVERIFY(impatient.exists(QStringLiteral("krg/moved.dat")));
        QVERIFY(c.connectionsOpened() >= 2);
    }

    void cancelStopsALongDownload() {
        LoopbackHost slow;
        slow.setThrottle(1024 * 1024);
        QVERIFY(slow.start(LoopbackHost::seedPath(QStringLiteral("transfer"))));
        slow.write(QStringLiteral("large.bin"), pattern(16 * 1024 * 1024));
        TransferControl c;
        c.configureForSite();
        connect(&c, &TransferControl::progress, &c, [&](qint64 done, qint64) {
            if (done > 0)
                c.Cancel();
        });
        QElapsedTimer t;
        t.start();
        const Outcome o = run(c, QStringLiteral("get /large.bin"));
        QVERIFY(!o.ok);
        QVERIFY(t.elapsed() < 10000);
        QCOMPARE(o.error, QStringLiteral("The command was cancelled."));
        QVERIFY(!QFile::exists(QStringLiteral("large.bin")));
        QVERIFY(run(c, QStringLiteral("ls /krg/_files.txt")).ok); // usable afterwards
    }

    void uiStaysResponsiveDuringA50MBDownload() {
        // Limited to 25 MB/s so that the download lasts long enough to watch the timer.
        LoopbackHost paced;
        paced.setThrottle(25 * 1024 * 1024);
        QVERIFY(paced.start());
        paced.write(QStringLiteral("fifty.bin"), pattern(50 * 1024 * 1024));
        TransferControl c;
        c.configureForSite();
        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        clock.start();
        tick.start();
        const Outcome o = run(c, QStringLiteral("get /fifty.bin"));
        tick.stop();
        QVERIFY(o.ok);
        QCOMPARE(QFileInfo(QStringLiteral("fifty.bin")).size(), qint64(50 * 1024 * 1024));
        qInfo("50 MB download took %lld ms; longest gap between 10 ms timer ticks: %lld ms", clock.elapsed(),
              longest);
        QVERIFY2(longest < 500, qPrintable(QString::number(longest)));
        QFile::remove(QStringLiteral("fifty.bin"));
    }

    void throughAProxy() {
        const QString tinyproxy =
            QStandardPaths::findExecutable(QStringLiteral("tinyproxy"), {"/usr/bin", "/usr/sbin"});
        if (tinyproxy.isEmpty())
            QSKIP("tinyproxy is not installed");
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("tinyproxy.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        // No ConnectPort lines: CONNECT is allowed to any port (the FTP control and data ports).
        conf.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nAllow 127.0.0.1\nMaxClients 20\n"
                                  "LogLevel Critical\nPidFile \"%2/tp.pid\"\n")
                       .arg(port)
                       .arg(dir.path())
                       .toUtf8());
        conf.close();
        QProcess proxy;
        proxy.start(tinyproxy, {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()});
        QVERIFY(proxy.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(([port] {
                                     QTcpSocket s;
                                     s.connectToHost(QHostAddress::LocalHost, port);
                                     return s.waitForConnected(200);
                                 }()),
                                 5000);

        runState().ProxyServer = QStringLiteral("127.0.0.1:%1").arg(port);
        const auto direct = qScopeGuard([&proxy] {
            runState().ProxyServer.clear();
            proxy.terminate();
            proxy.waitForFinished();
        });
        TransferControl c;
        c.configureForSite();
        QCOMPARE(c.AccessType, int(TransferControl::AccessNamedProxy));
        QVERIFY(run(c, QStringLiteral("ls /krg")).reply.contains(QStringLiteral("_files.txt\r\n")));
        QVERIFY(run(c, QStringLiteral("get /krg/_message.dat via-proxy.dat")).ok);
        QFile f(QStringLiteral("via-proxy.dat"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), host.read(QStringLiteral("krg/_message.dat")));
        QVERIFY(run(c, QStringLiteral("send via-proxy.dat /krg/sent-via-proxy.dat")).ok);
        QCOMPARE(host.read(QStringLiteral("krg/sent-via-proxy.dat")),
                 host.read(QStringLiteral("krg/_message.dat")));
        QVERIFY(run(c, QStringLiteral("rename /krg/sent-via-proxy.dat /krg/renamed-via-proxy.dat")).ok);
        QVERIFY(host.exists(QStringLiteral("krg/renamed-via-proxy.dat")));
        QString error;
        QCOMPARE(c.OpenURL(host.baseUrl() + QStringLiteral("krg/_message.dat"), &error),
                 host.read(QStringLiteral("krg/_message.dat")));
    }
};

KRTP_TEST_MAIN_CORE(TestTransferControl)
#include "tst_transfercontrol.moc"
