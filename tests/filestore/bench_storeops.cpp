// Check out, then check in, 20 files on the loopback host, as a member on a real connection feels
// it: every command answered after a fixed delay. Reports FTP connections opened and commands sent
// per file, and the wall time of each operation.
#include "scripteddialogs.h"
#include "storeopstestutil.h"
#include "testmain.h"
#include "transfer/transferpool.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class BenchStoreOps : public QObject {
    Q_OBJECT
    HostFixture fx;
    LoopbackHost& host = fx.host;

    // A catalogue of count files of 4 KB, each at the given version; their names.
    QStringList seed(int count, const char* stem, int version) {
        host.setFaults({});
        QList<QByteArray> lines;
        QStringList names;
        for (int i = 0; i < count; ++i) {
            const QByteArray name = stem + QByteArray::number(i) + ".html";
            lines << catalogueLine(name.constData(), version, "", "", "A page", "");
            names << QString::fromLatin1(name);
            host.write(QStringLiteral("krg/") + names.last(), QByteArray(4096, char('a' + i % 26)));
        }
        host.write(QStringLiteral("krg/_files.txt"), catalogue(lines));
        return names;
    }

private slots:
    void initTestCase() { QVERIFY(fx.startHost()); }

    void checkOutThenCheckIn20Files_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("no delay") << 0;
        QTest::newRow("50 ms per command") << 50;
    }
    void checkOutThenCheckIn20Files() {
        QFETCH(int, latencyMs);
        constexpr int kFiles = 20;
        const QStringList names = seed(kFiles, "page", 1);
        ScriptedDialogs d;
        QTemporaryDir config;
        Member m(QStringLiteral("Alda"), LevelFullAccess, config.path());
        // The commands of one connection, as the old client sends them.
        m.store->setParallelTransfers(1);
        QVERIFY(m.refresh());
        host.setFaults(QByteArray("{\"latency_ms\": ") + QByteArray::number(latencyMs) + "}");

        struct Cost {
            int commands = -1;
            qint64 ms = 0;
        };
        const auto measure = [&](const char* what, const QStringList& files,
                                 const std::function<bool()>& op) {
            const int connections = m.inet->connectionsOpened();
            const int commands = m.inet->commandsSent();
            QElapsedTimer timer;
            timer.start();
            const bool ok = op();
            const qint64 ms = timer.elapsed();
            const int c = m.inet->connectionsOpened() - connections, n = m.inet->commandsSent() - commands;
            const double k = double(files.size());
            qInfo("%s %lld files, %d ms per command: %lld ms (%.1f ms per file), %d connections (%.2f per "
                  "file), %d FTP commands (%.2f per file), %lld store commands",
                  what, qint64(files.size()), latencyMs, ms, double(ms) / k, c, double(c) / k, n,
                  double(n) / k, qint64(m.commands.size()));
            return ok ? Cost{n, ms} : Cost{};
        };
        const auto round = [&](const QStringList& files, const char* comment) {
            const Cost out = measure("check out", files, [&] { return m.checkOut(files); });
            for (const QString& n : files)
                m.write(n, "changed " + n.toLatin1());
            const Cost in =
                measure("check in", files, [&] { return m.checkIn(files, QLatin1String(comment), true); });
            return std::make_pair(out, in);
        };
        // One file first: what an operation costs whatever its size, apart from the cost per file.
        const auto [out1, in1] = round({names.first()}, "one");
        const auto [out20, in20] = round(names, "bench");
        host.setFaults({});
        QVERIFY2(d.records().isEmpty(), qPrintable(d.texts().join(QLatin1Char('|'))));
        for (const QString& n : names)
            QCOMPARE(host.read(QStringLiteral("krg/") + n), "changed " + n.toLatin1());
        QVERIFY(host.read(QStringLiteral("krg/_files.txt"))
                    .contains("\"page19.html\",2,\"\",\"\",\"A page\",\"Alda: bench\""));
        QVERIFY(out1.commands > 0 && in1.commands > 0 && out20.commands > 0 && in20.commands > 0);
        const double outEach = double(out20.commands - out1.commands) / (kFiles - 1);
        const double inEach = double(in20.commands - in1.commands) / (kFiles - 1);
        qInfo("each further file: check out %.2f FTP commands, check in %.2f", outEach, inEach);
        // What a member on a slow line pays: check-out at most 6 commands per file in all. A check-in
        // sends each file with its fixed exchange of 7 commands (delete the old backup, move the copy
        // aside, send, list, and the old copy renamed into the history instead of deleted) and 5 for
        // the history's index (read and written), plus one catalogue change for the batch.
        QVERIFY2(double(out20.commands) / kFiles <= 6.0, qPrintable(QString::number(out20.commands)));
        QVERIFY2(inEach <= 12.0, qPrintable(QString::number(inEach)));
    }

    // Get latest of 200 small files with every reply 20 ms late (a near host over the internet): one
    // connection against four.
    void getLatest200Files() {
        constexpr int kFiles = 200;
        fx.clearControlFolder();
        const QStringList names = seed(kFiles, "file", 2);
        const QByteArray latency = "{\"latency_ms\": 20}";
        ScriptedDialogs d;
        QTemporaryDir config;
        const auto krtp = [&](int connections, int& commandsPerFile) {
            Member m(QStringLiteral("Alda"), LevelFullAccess,
                     config.path() + QLatin1Char('/') + QString::number(connections));
            QDir().mkpath(config.path() + QLatin1Char('/') + QString::number(connections));
            m.store->setParallelTransfers(connections);
            m.activate();
            if (!m.refresh())
                return qint64(-1);
            host.setFaults(latency);
            const int before =
                m.inet->commandsSent() + (connections > 1 ? m.store->pool().commandsSent() : 0);
            QElapsedTimer t;
            t.start();
            const bool ok = m.getLatest(names);
            const qint64 ms = t.elapsed();
            host.setFaults({});
            commandsPerFile =
                m.inet->commandsSent() + (connections > 1 ? m.store->pool().commandsSent() : 0) - before;
            for (const QString& n : names)
                if (m.read(n) != host.read(QStringLiteral("krg/") + n))
                    return qint64(-1);
            return ok ? ms : qint64(-1);
        };
        int serialCommands = 0, parallelCommands = 0;
        const qint64 one = krtp(1, serialCommands);
        const qint64 four = krtp(4, parallelCommands);
        QVERIFY2(one > 0 && four > 0, qPrintable(d.texts().join(QLatin1Char('|'))));
        qInfo("get latest, %d files of 4 KB, 20 ms per reply: 1 connection %lld ms (%.2f FTP commands per "
              "file), "
              "4 connections %lld ms (%.2f FTP commands per file); %.2f times faster",
              kFiles, one, double(serialCommands) / kFiles, four, double(parallelCommands) / kFiles,
              double(one) / double(four));
        // lftp's mirror with four connections on the same host and files, when lftp is installed.
        if (const QString lftp = QStandardPaths::findExecutable(QStringLiteral("lftp")); !lftp.isEmpty()) {
            QTemporaryDir target;
            host.setFaults(latency);
            QProcess p;
            QElapsedTimer t;
            t.start();
            p.start(lftp,
                    {QStringLiteral("-u"), LoopbackHost::user() + QLatin1Char(',') + LoopbackHost::password(),
                     QStringLiteral("-e"),
                     QStringLiteral("set net:max-retries 1; set ftp:ssl-allow no; mirror -P 4 /krg %1; quit")
                         .arg(target.path()),
                     QStringLiteral("ftp://127.0.0.1:%1").arg(host.ftpPort())});
            QVERIFY(p.waitForFinished(300000));
            const qint64 lftpMs = t.elapsed();
            host.setFaults({});
            QCOMPARE(p.exitCode(), 0);
            QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), kFiles + 1);
            qInfo("lftp mirror -P 4 of the same folder: %lld ms; KRtp with 4 connections / lftp = %.2f",
                  lftpMs, double(four) / double(lftpMs));
        }
        QVERIFY2(double(one) / double(four) >= 3.5, "four connections are not 3.5 times faster than one");
    }
};

KRTP_TEST_MAIN_CORE(BenchStoreOps)
#include "bench_storeops.moc"
