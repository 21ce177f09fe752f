#include "clirunner.h"
#include "config/runstate.h"
#include "loopbackhost.h"
#include "scripteddialogs.h"
#include "storescenario.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/ftpcommand.h"
#include "transfer/listingparser.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"

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
using namespace Qt::StringLiterals;

class TestTransferControl : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir work;

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(host.start(LoopbackHost::seedPath(u"transfer"_s), &error), qPrintable(error));
        StoreScenario::seed(host.root());
        QVERIFY(QDir::setCurrent(work.path()));
        QDir().mkdir(u"VelmarFTP"_s);
    }

    // A test that started a host of its own leaves the shared one in the environment again.
    void cleanup() { host.exportEnvironment(); }

    void pathsQuotesAndStateTexts() {
        QCOMPARE(ResolveRemotePath(u"/krg"_s, u"../a/./b"_s), u"/a/b"_s);
        QCOMPARE(ResolveRemotePath(u"/"_s, u"../../x"_s), u"/x"_s);
        QCOMPARE(ResolveRemotePath(u"/krg"_s, u"\\news\\a.html"_s), u"/news/a.html"_s);
        QCOMPARE(QuoteCommandArgument(u"a b"_s), u"\"a b\""_s);
        // So a command built from an empty name is refused instead of losing its argument.
        QCOMPARE(QuoteCommandArgument(QString()), u"\"\""_s);
        QCOMPARE(StateText(4), u"KRtp - CONNECTED!"_s);
        QCOMPARE(StateText(11), u"KRtp - ** Communications Error **"_s);
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
            return u"Wrong number of arguments for %1."_s.arg(QLatin1String(verb));
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
        row("unknown verb", "FROB x", "", {}, u"Unknown command: FROB"_s);
        row("unmatched quote", "get \"open", "GET", {"open"}, u"Unmatched double quote in command."_s);
        row("empty quoted argument", "get \"\" x.txt", "GET", {"", "x.txt"}, u"Empty argument for GET."_s);
        row("empty name to delete", "delete \"\"", "DELETE", {""}, u"Empty argument for DELETE."_s);
        row("empty name to rename", "rename \"\" b.txt", "RENAME", {"", "b.txt"},
            u"Empty argument for RENAME."_s);
        row("delete without a name", "delete", "DELETE", {}, wrong("DELETE"));
        row("get without a name", "get", "GET", {}, wrong("GET"));
        row("recv without a name", "recv ", "GET", {}, wrong("GET"));
        row("send without a name", "send", "PUT", {}, wrong("PUT"));
        row("put without a name", "PUT", "PUT", {}, wrong("PUT"));
        row("line break in a quoted argument", "delete \"a.txt\r\nDELE /b.txt\"", "", {},
            control + u"delete \"a.txt\\r\\nDELE /b.txt\""_s);
        row("line break in a plain argument", "ls a.txt\nDELE b.txt", "", {},
            control + u"ls a.txt\\nDELE b.txt"_s);
        row("trailing line break", "ls a.txt\r\n", "", {}, control + u"ls a.txt\\r\\n"_s);
        row("escape character", "mkdir a\x1b", "", {}, control + u"mkdir a\\x1b"_s);
        row("delete character", "mkdir a\x7f", "", {}, control + u"mkdir a\\x7f"_s);
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
        host.write(u"a.txt"_s, "a");
        host.write(u"b.txt"_s, "b");
        SiteControl c;
        for (const QString& command :
             {u"delete \"/a.txt\r\nDELE /b.txt\""_s, u"delete /a.txt\r\nDELE /b.txt"_s,
              u"rename /a.txt \"/c.txt\nDELE /b.txt\""_s, u"ls /\rDELE /b.txt"_s,
              u"get /a.txt \"x\ny.txt\""_s, u"mkdir \"d\r\nDELE /b.txt\""_s, u"delete \"/a.txt\x7f\""_s}) {
            const Outcome o = run(c, command);
            QVERIFY(!o.ok);
            QVERIFY2(o.error.startsWith(u"The command contains a control character"_s), qPrintable(o.error));
        }
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(host.exists(u"a.txt"_s));
        QVERIFY(host.exists(u"b.txt"_s));

        // The account settings as well: a line break in the name or password would be a command.
        c.UserName = LoopbackHost::user() + u"\r\nDELE /b.txt"_s;
        QVERIFY(!run(c, u"ls /"_s).ok);
        QCOMPARE(c.lastError(), QStringLiteral("The host, account name, password or proxy setting contains a "
                                               "control character; nothing was sent."));
        c.configureForSite();
        c.Password = LoopbackHost::password() + u"\nDELE /b.txt"_s;
        QVERIFY(!run(c, u"ls /"_s).ok);
        QCOMPARE(c.commandsSent(), 0);
        QVERIFY(host.exists(u"b.txt"_s));
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
            QVERIFY(older.start(LoopbackHost::seedPath(u"transfer"_s)));
        SiteControl c;
        QCOMPARE(run(c, u"pwd"_s).reply, u"/"_s);
        QVERIFY(run(c, u"CD /krg"_s).ok);
        QCOMPARE(run(c, u"PWD"_s).reply, u"/krg"_s);

        // Folders carry a trailing "/", every name ends in CR LF.
        const QStringList names = run(c, u"ls"_s).reply.split(u"\r\n"_s, Qt::SkipEmptyParts);
        QVERIFY2(names.contains(u"_files.txt"_s), qPrintable(names.join(',')));
        QVERIFY(names.contains(u"sub folder/"_s));
        QVERIFY(names.contains(u"my page.html"_s));
        QVERIFY(run(c, u"ls"_s).reply.endsWith(u"\r\n"_s));

        // One file: its name. A folder: its content. Missing: failure with the host's words.
        QCOMPARE(run(c, u"ls _files.txt"_s).reply, u"_files.txt\r\n"_s);
        QCOMPARE(run(c, u"LS my page.html"_s).reply, u"my page.html\r\n"_s);
        QCOMPARE(run(c, u"ls \"sub folder\""_s).reply, u"inner.txt\r\n"_s);
        const Outcome missing = run(c, u"ls nothing.txt"_s);
        QVERIFY(!missing.ok);
        QCOMPARE(missing.reply, QString());
        QVERIFY2(missing.error.startsWith(u"550"_s), qPrintable(missing.error));
        QCOMPARE(c.lastReplyCode(), 550);

        QVERIFY(run(c, u"cd \"sub folder\""_s).ok);
        QCOMPARE(run(c, u"pwd"_s).reply, u"/krg/sub folder"_s);
        QVERIFY(run(c, u"cdup"_s).ok);
        QCOMPARE(run(c, u"pwd"_s).reply, u"/krg"_s);
        QVERIFY(!run(c, u"cd nowhere"_s).ok);
        QCOMPARE(run(c, u"pwd"_s).reply, u"/krg"_s);

        QVERIFY(run(c, u"DIR"_s).reply.contains(u"_files.txt"_s));
        QCOMPARE(run(c, u"size _message.dat"_s).reply, QString::number(host.read("krg/_message.dat").size()));

        // QUIT ends the session: the folder is "/" again and the next command reconnects.
        QVERIFY(run(c, u"quit"_s).ok);
        QCOMPARE(run(c, u"pwd"_s).reply, u"/"_s);
        const int before = c.connectionsOpened();
        QVERIFY(run(c, u"ls krg/_files.txt"_s).ok);
        QCOMPARE(c.connectionsOpened(), before + 1);
        QVERIFY(run(c, u"ls krg/_message.dat"_s).ok);
        QCOMPARE(c.connectionsOpened(), before + 1); // the session is reused
    }

    void transferVerbs() {
        SiteControl c;
        CheckTransferVerbs(c, host.root());
    }

    void failuresEndInStateElevenWithTheHostsWords() {
        SiteControl c;
        QSignalSpy states(&c, &TransferControl::StateChanged);
        const Outcome o = run(c, u"delete /krg/missing.txt"_s);
        QVERIFY(!o.ok);
        QCOMPARE(states.last().at(0).toInt(), int(StateError));
        QVERIFY2(o.error.startsWith(u"550"_s), qPrintable(o.error));

        // A failed download leaves no local file under the name (not even an empty one).
        QFile::remove(u"missing.txt"_s);
        QVERIFY(!run(c, u"get /krg/missing.txt"_s).ok);
        QVERIFY(!QFile::exists(u"missing.txt"_s));
        QVERIFY(QDir().entryList(QStringList{u"*.part"_s}, QDir::Hidden | QDir::Files).isEmpty());

        // Upload of a missing local file: failure, nothing sent.
        const int sent = c.commandsSent();
        QVERIFY(!run(c, u"send nothere.txt"_s).ok);
        QCOMPARE(c.commandsSent(), sent);
        QVERIFY(!host.exists(u"nothere.txt"_s));

        QVERIFY(!run(c, u"frobnicate"_s).ok);
        QVERIFY(c.lastError().contains(u"Unknown command"_s));
    }

    void commandsAfterAFileTransferAreJudgedByTheirOwnReplies() {
        // After a transfer libcurl may change back to the URL's folder after the quoted commands; that
        // reply must not pass for theirs.
        SiteControl c;
        QVERIFY(run(c, u"get /krg/_message.dat msg.dat"_s).ok);
        QVERIFY(!run(c, u"delete /news/missing.html"_s).ok);
        QVERIFY(!run(c, u"ls /news/missing.html"_s).ok);
        QVERIFY(run(c, u"send msg.dat /news/sent.dat"_s).ok);
        const Outcome missing = run(c, u"ls /news/missing.html"_s);
        QVERIFY(!missing.ok);
        QCOMPARE(missing.reply, QString());
        QCOMPARE(run(c, u"ls /news/sent.dat"_s).reply, u"sent.dat\r\n"_s);
        QVERIFY(run(c, u"delete /news/sent.dat"_s).ok);
    }

    void replyIsReadableWhenTheWaitEnds() {
        SiteControl c;
        QList<int> seen;
        bool replyReadyAt12 = false;
        const auto watch = connect(&c, &TransferControl::StateChanged, this, [&](int s) {
            seen << s;
            if (s == StateResponseCompleted) {
                replyReadyAt12 = !c.StillExecuting();
                // The reply is complete inside the handler already.
                replyReadyAt12 = replyReadyAt12 && c.GetChunk(1024).startsWith(u"_files.txt"_s);
            }
        });
        QVERIFY(c.Execute(u"ls /krg/_files.txt"_s));
        QVERIFY(c.StillExecuting());
        // A second command while busy is refused and does not disturb the first.
        QVERIFY(!c.Execute(u"ls /krg/_message.dat"_s));
        QVERIFY(c.lastError().contains(u"still executing"_s));
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
            const QString name = i % 2 ? u"_files.txt"_s : u"_message.dat"_s;
            QCOMPARE(run(c, u"ls /krg/"_s + name).reply, name + u"\r\n"_s);
        }
    }

    void openUrlReadsBodies() {
        TransferControl c;
        QString error;
        QCOMPARE(c.OpenURL(host.baseUrl() + u"krg/_message.dat?username=a%20b&password=%23"_s, &error),
                 host.read(u"krg/_message.dat"_s));
        QVERIFY(error.isEmpty());
        // A missing page is an answer (the caller judges the body), not a transport failure.
        const QByteArray page = c.OpenURL(host.baseUrl() + u"krg/none.dat"_s, &error);
        QVERIFY(error.isEmpty());
        QVERIFY(page.contains("404") || page.contains("html"));
    }

    void silentHostEndsWithinTheLimit() {
        QTcpServer silent; // accepts, never greets
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        SiteControl c;
        c.RemoteHost = u"127.0.0.1:%1"_s.arg(silent.serverPort());
        c.setTimeLimits(2, 2);
        QElapsedTimer t;
        t.start();
        const Outcome o = run(c, u"ls"_s);
        QVERIFY(!o.ok);
        QVERIFY2(t.elapsed() < 8000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!o.error.isEmpty());

        // Nobody listening at all.
        silent.close();
        QVERIFY(!run(c, u"ls"_s).ok);
        QCOMPARE(c.lastReplyCode(), 0);
    }

    void hostKilledMidTransfer() {
        LoopbackHost dying;
        dying.setThrottle(512 * 1024);
        QVERIFY(dying.start());
        dying.write(u"big.bin"_s, pattern(8 * 1024 * 1024));
        SiteControl c;
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
        const Outcome o = run(c, u"get /big.bin"_s);
        QVERIFY(stopped);
        QVERIFY(!o.ok);
        QVERIFY(t.elapsed() < 15000);
        QVERIFY(!QFile::exists(u"big.bin"_s));
    }

    void aFailureIsJudgedByItsOwnReply() {
        // A host without EPSV refuses it ("500 ... not understood") before every transfer; that harmless
        // refusal must never stand for a download cut off later.
        LoopbackHost cutting;
        cutting.setWithoutEpsv(true);
        cutting.setCutDownloadsAfter(64 * 1024, true);
        QVERIFY(cutting.start());
        cutting.write(u"big.bin"_s, pattern(1024 * 1024));
        cutting.write(u"small.txt"_s, "small");
        SiteControl c;
        c.setTimeLimits(5, 5);
        QVERIFY(run(c, u"get /small.txt"_s).ok); // the fall-back to PASV works
        QCOMPARE(readLocal(u"small.txt"_s), QByteArray("small"));
        QVERIFY(run(c, u"send small.txt /up.txt"_s).ok);
        QCOMPARE(cutting.read(u"up.txt"_s), QByteArray("small"));

        const Outcome cut = run(c, u"get /big.bin"_s);
        QVERIFY(!cut.ok);
        QVERIFY2(!cut.error.startsWith(u"500"_s), qPrintable(cut.error));
        QCOMPARE(c.lastReplyCode(), 0); // no reply at all: the connection died
        QVERIFY(!QFile::exists(u"big.bin"_s));

        const Outcome missing = run(c, u"get /none.bin"_s);
        QVERIFY2(missing.error.startsWith(u"550"_s), qPrintable(missing.error));
        QCOMPARE(c.lastReplyCode(), 550);

        // Only the data connection cut: the host's own reply to the download counts.
        LoopbackHost aborting;
        aborting.setWithoutEpsv(true);
        aborting.setCutDownloadsAfter(64 * 1024);
        QVERIFY(aborting.start());
        aborting.write(u"big.bin"_s, pattern(1024 * 1024));
        SiteControl d;
        const Outcome aborted = run(d, u"get /big.bin"_s);
        QVERIFY(!aborted.ok);
        QCOMPARE(aborted.error, u"426 Connection closed; transfer aborted."_s);
        QCOMPARE(d.lastReplyCode(), 426);
    }

    void aCommandThatMayHaveReachedTheHostIsNotRepeated() {
        LoopbackHost dropping;
        dropping.setDropAfter(u"RNTO"_s);
        QVERIFY(dropping.start());
        dropping.write(u"x.txt"_s, "x");
        SiteControl c;
        QVERIFY(run(c, u"cd /"_s).ok); // the rename goes on the open session
        const int sent = c.commandsSent();
        // The host renames, then drops the connection without a reply. Sent again, the rename would
        // fail with "550" for a rename that was done.
        const Outcome o = run(c, u"rename x.txt y.txt"_s);
        QVERIFY(!o.ok);
        QCOMPARE(c.lastReplyCode(), 0);
        QVERIFY2(
            o.error.endsWith(QStringLiteral("(the connection was lost after the command was sent: the host "
                                            "may have carried it out)")),
            qPrintable(o.error));
        QCOMPARE(c.commandsSent(), sent + 2); // RNFR and RNTO, once
        QVERIFY(dropping.exists(u"y.txt"_s));
        QVERIFY(run(c, u"ls y.txt"_s).ok); // the next command connects afresh
    }

    void aCommandTheHostDidNotReadRunsAgain() {
        LoopbackHost closing;
        closing.setCloseBefore(u"RNFR"_s);
        QVERIFY(closing.start());
        closing.write(u"x.txt"_s, "x");
        SiteControl c;
        QVERIFY(run(c, u"cd /"_s).ok);
        // "421" before the rename was carried out: it runs once more on a new connection.
        QVERIFY(run(c, u"rename x.txt y.txt"_s).ok);
        QCOMPARE(c.connectionsOpened(), 2);
        QVERIFY(closing.exists(u"y.txt"_s));
        QVERIFY(!closing.exists(u"x.txt"_s));
    }

    void connectionClosedByTheHostIsReplaced() {
        LoopbackHost impatient;
        impatient.setIdleTimeout(1);
        QVERIFY(impatient.start(LoopbackHost::seedPath(u"transfer"_s)));
        SiteControl c;
        QVERIFY(run(c, u"cd /krg"_s).ok);
        QCOMPARE(c.connectionsOpened(), 1);
        QTest::qWait(1500); // the host drops the idle session meanwhile
        // Every kind of command still works, on a new connection, in the same folder.
        QCOMPARE(run(c, u"ls _files.txt"_s).reply, u"_files.txt\r\n"_s);
        QTest::qWait(1500);
        QVERIFY(run(c, u"get _message.dat idle.dat"_s).ok);
        QCOMPARE(readLocal(u"idle.dat"_s), impatient.read(u"krg/_message.dat"_s));
        QTest::qWait(1500);
        QVERIFY(run(c, u"rename _message.dat moved.dat"_s).ok);
        QVERIFY(impatient.exists(u"krg/moved.dat"_s));
        QVERIFY(c.connectionsOpened() >= 2);
    }

    void cancelStopsALongDownload() {
        LoopbackHost slow;
        slow.setThrottle(1024 * 1024);
        QVERIFY(slow.start(LoopbackHost::seedPath(u"transfer"_s)));
        slow.write(u"large.bin"_s, pattern(16 * 1024 * 1024));
        SiteControl c;
        connect(&c, &TransferControl::progress, &c, [&](qint64 done, qint64) {
            if (done > 0)
                c.Cancel();
        });
        QElapsedTimer t;
        t.start();
        const Outcome o = run(c, u"get /large.bin"_s);
        QVERIFY(!o.ok);
        QVERIFY(t.elapsed() < 10000);
        QCOMPARE(o.error, u"The command was cancelled."_s);
        QVERIFY(!QFile::exists(u"large.bin"_s));
        QVERIFY(run(c, u"ls /krg/_files.txt"_s).ok); // usable afterwards
    }

    void uiStaysResponsiveDuringA50MBDownload() {
        // Limited to 25 MB/s so that the download lasts long enough to watch the timer.
        LoopbackHost paced;
        paced.setThrottle(25 * 1024 * 1024);
        QVERIFY(paced.start());
        paced.write(u"fifty.bin"_s, pattern(50 * 1024 * 1024));
        SiteControl c;
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
        const Outcome o = run(c, u"get /fifty.bin"_s);
        tick.stop();
        QVERIFY(o.ok);
        QCOMPARE(QFileInfo(u"fifty.bin"_s).size(), qint64(50 * 1024 * 1024));
        qInfo("50 MB download took %lld ms; longest gap between 10 ms timer ticks: %lld ms", clock.elapsed(),
              longest);
        QVERIFY2(longest < 500, qPrintable(QString::number(longest)));
        QFile::remove(u"fifty.bin"_s);
    }

    void throughAProxy() {
        const QString tinyproxy = QStandardPaths::findExecutable(u"tinyproxy"_s, {"/usr/bin", "/usr/sbin"});
        if (tinyproxy.isEmpty())
            QSKIP("tinyproxy is not installed");
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QTemporaryDir dir;
        QFile conf(dir.filePath(u"tinyproxy.conf"_s));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        // No ConnectPort lines: CONNECT is allowed to any port (the FTP control and data ports).
        conf.write(QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 60\nAllow 127.0.0.1\nMaxClients 20\n"
                                  "LogLevel Critical\nPidFile \"%2/tp.pid\"\n")
                       .arg(port)
                       .arg(dir.path())
                       .toUtf8());
        conf.close();
        QProcess proxy;
        proxy.start(tinyproxy, {u"-d"_s, u"-c"_s, conf.fileName()});
        QVERIFY(proxy.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(([port] {
                                     QTcpSocket s;
                                     s.connectToHost(QHostAddress::LocalHost, port);
                                     return s.waitForConnected(200);
                                 }()),
                                 5000);

        runState().ProxyServer = u"127.0.0.1:%1"_s.arg(port);
        const auto direct = qScopeGuard([&proxy] {
            runState().ProxyServer.clear();
            proxy.terminate();
            proxy.waitForFinished();
        });
        SiteControl c;
        QCOMPARE(c.AccessType, int(TransferControl::AccessNamedProxy));
        QVERIFY(run(c, u"ls /krg"_s).reply.contains(u"_files.txt\r\n"_s));
        QVERIFY(run(c, u"get /krg/_message.dat via-proxy.dat"_s).ok);
        QFile f(u"via-proxy.dat"_s);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), host.read(u"krg/_message.dat"_s));
        QVERIFY(run(c, u"send via-proxy.dat /krg/sent-via-proxy.dat"_s).ok);
        QCOMPARE(host.read(u"krg/sent-via-proxy.dat"_s), host.read(u"krg/_message.dat"_s));
        QVERIFY(run(c, u"rename /krg/sent-via-proxy.dat /krg/renamed-via-proxy.dat"_s).ok);
        QVERIFY(host.exists(u"krg/renamed-via-proxy.dat"_s));
        QString error;
        QCOMPARE(c.OpenURL(host.baseUrl() + u"krg/_message.dat"_s, &error), host.read(u"krg/_message.dat"_s));
    }

    // The routines the explorer, the editors and the console build on.
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

    // Listing lines as hosts send them, and what "ls" makes of them.
    void machineListing_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("names");
        QTest::newRow("file") << QByteArray("type=file;size=3;modify=20240101120000; a.txt\r\n")
                              << QByteArray("a.txt\r\n");
        QTest::newRow("folder") << QByteArray("modify=20240101120000;type=dir; sub\r\n")
                                << QByteArray("sub/\r\n");
        QTest::newRow("itself and parent")
            << QByteArray("type=cdir; .\r\ntype=pdir; ..\r\ntype=file; x\r\n") << QByteArray("x\r\n");
        QTest::newRow("facts in any case") << QByteArray("Type=FILE;Size=1; Upper.TXT\r\nTYPE=Dir; D\r\n")
                                           << QByteArray("Upper.TXT\r\nD/\r\n");
        QTest::newRow("blanks in the name")
            << QByteArray("type=file; my page.html\r\ntype=dir; sub folder\r\n")
            << QByteArray("my page.html\r\nsub folder/\r\n");
        QTest::newRow("leading and trailing blanks kept")
            << QByteArray("type=file;  lead.txt\r\ntype=file; trail.txt \r\n")
            << QByteArray(" lead.txt\r\ntrail.txt \r\n");
        QTest::newRow("fact separators in the name")
            << QByteArray("type=file; a;type=dir; b.txt\r\n") << QByteArray("a;type=dir; b.txt\r\n");
        QTest::newRow("line feeds only")
            << QByteArray("type=file; a\ntype=file; b\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("no final line end") << QByteArray("type=file; last") << QByteArray("last\r\n");
        QTest::newRow("utf-8 name") << QByteArray("type=file; gr\xc3\xb6\xc3\x9f"
                                                  "e.txt\r\n")
                                    << QByteArray("gr\xc3\xb6\xc3\x9f"
                                                  "e.txt\r\n");
        QTest::newRow("other types list as files")
            << QByteArray("type=OS.unix=slink:/etc; link\r\n") << QByteArray("link\r\n");
        QTest::newRow("empty body") << QByteArray() << QByteArray();
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n\n") << QByteArray();
        QTest::newRow("no facts") << QByteArray("size=3;modify=1; nofacts.txt\r\n") << QByteArray();
        QTest::newRow("no blank before the name") << QByteArray("type=file;size=3\r\n") << QByteArray();
        QTest::newRow("leading blank, no facts") << QByteArray(" type=file; x\r\n") << QByteArray();
        QTest::newRow("a Unix line is no fact line")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a.txt\r\n") << QByteArray();
        QTest::newRow("empty type") << QByteArray("type=; x\r\n") << QByteArray();
        QTest::newRow("hostile names left out")
            << QByteArray(
                   "type=file; ../../etc/passwd\r\ntype=file; a/b.txt\r\ntype=dir; ..\r\ntype=file; .\r\n"
                   "type=file; a\\..\\x.txt\r\ntype=file; bell\x07.txt\r\ntype=file; cr\rlf.txt\r\n"
                   "type=file; \r\ntype=file; del\x7f.txt\r\ntype=file; ok.txt\r\n")
            << QByteArray("ok.txt\r\n");
    }

    void machineListing() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, names);
        QCOMPARE(FormatMachineListing(body), names);
    }

    void machineListingLine() {
        QByteArray type;
        QString name;
        QVERIFY(ParseMachineListingLine("size=10;Type=Dir;perm=el; sub folder", type, name));
        QCOMPARE(type, QByteArray("dir"));
        QCOMPARE(name, QStringLiteral("sub folder"));
        QVERIFY(!ParseMachineListingLine("250 End", type, name));
        QVERIFY(!ParseMachineListingLine("", type, name));
    }

    void unixListing_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("names");
        QTest::newRow("file") << QByteArray("-rw-r--r--   1 owner group     1234 Jan 01 12:00 index.html\r\n")
                              << QByteArray("index.html\r\n");
        QTest::newRow("folder") << QByteArray("drwxr-xr-x   2 owner group     4096 Jan 01  2020 news\r\n")
                                << QByteArray("news/\r\n");
        QTest::newRow("total, itself and parent")
            << QByteArray("total 12\r\ndrwxr-xr-x 2 o g 4096 Jan 01 12:00 .\r\n"
                          "drwxr-xr-x 2 o g 4096 Jan 01 12:00 ..\r\n-rw-r--r-- 1 o g 1 Jan 01 12:00 x\r\n")
            << QByteArray("x\r\n");
        QTest::newRow("link under its own name")
            << QByteArray("lrwxrwxrwx 1 o g 7 Jan 01 12:00 latest -> v2/index.html\r\n")
            << QByteArray("latest\r\n");
        QTest::newRow("blanks in the name") << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 my  page.html\r\n"
                                                          "drwxr-xr-x 2 o g 4096 Jan 01 12:00 sub folder\r\n")
                                            << QByteArray("my  page.html\r\nsub folder/\r\n");
        QTest::newRow("leading blank kept")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00  lead.txt\r\n") << QByteArray(" lead.txt\r\n");
        QTest::newRow("arrow in a file name kept")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a -> b.txt\r\n") << QByteArray("a -> b.txt\r\n");
        QTest::newRow("line feeds only")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a\n") << QByteArray("a\r\n");
        QTest::newRow("too few fields")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 x\r\nfoo\r\n-rw\r\n") << QByteArray();
        QTest::newRow("empty body") << QByteArray() << QByteArray();
        QTest::newRow("hostile names left out")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 ../x\r\n-rw-r--r-- 1 o g 3 Jan 01 12:00 a\\b\r\n"
                          "-rw-r--r-- 1 o g 3 Jan 01 12:00 esc\x1b.txt\r\n02-18-22  03:14PM  1 ..\\x\r\n"
                          "02-18-22  03:14PM  <DIR>  ..\r\n-rw-r--r-- 1 o g 3 Jan 01 12:00 ok.txt\r\n")
            << QByteArray("ok.txt\r\n");
        QTest::newRow("dos folder") << QByteArray("01-16-02  11:14AM       <DIR>          epsgroup\r\n")
                                    << QByteArray("epsgroup/\r\n");
        QTest::newRow("dos file") << QByteArray("02-18-22  03:14PM                 1234 index.html\r\n")
                                  << QByteArray("index.html\r\n");
        QTest::newRow("dos names with blanks and a four-digit year")
            << QByteArray("02-18-2022  15:14                 12 my  page.html\r\n"
                          "02-18-2022  03:14PM       <DIR>           sub folder\r\n")
            << QByteArray("my  page.html\r\nsub folder/\r\n");
        QTest::newRow("dos lookalikes are not dos lines")
            << QByteArray("02-18-22  03:14PM  big index.html\r\n2-18-22 03:14PM 1 x\r\n02-18-22 noon 1 x\r\n"
                          "02-18-22  03:14PM                 1234\r\n")
            << QByteArray();
    }

    void unixListing() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, names);
        QCOMPARE(FormatUnixListing(body), names);
    }
};

KRTP_TEST_MAIN_CORE(TestTransferControl)
#include "tst_transfercontrol.moc"
