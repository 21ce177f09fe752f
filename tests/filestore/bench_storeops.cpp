// Check out, then check in, 20 files on the loopback host, as a member on a real connection feels
// it: every command answered after a fixed delay. Reports FTP connections opened and commands sent
// per file, and the wall time of each operation.
#include "scripteddialogs.h"
#include "storeopstestutil.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class BenchStoreOps : public QObject {
    Q_OBJECT
    LoopbackHost host;
    QTemporaryDir seed;

private slots:
    void initTestCase() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QVERIFY(host.start(seed.path()));
    }

    void checkOutThenCheckIn20Files_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("no delay") << 0;
        QTest::newRow("50 ms per command") << 50;
    }
    void checkOutThenCheckIn20Files() {
        QFETCH(int, latencyMs);
        constexpr int kFiles = 20;
        host.setFaults({});
        QList<QByteArray> lines;
        QStringList names;
        for (int i = 0; i < kFiles; ++i) {
            const QByteArray name = "page" + QByteArray::number(i) + ".html";
            lines << catalogueLine(name.constData(), 1, "", "", "A page", "");
            names << QString::fromLatin1(name);
            host.write(QStringLiteral("krg/") + names.last(), QByteArray(4096, char('a' + i % 26)));
        }
        host.write(QStringLiteral("krg/_files.txt"), catalogue(lines));
        ScriptedDialogs d;
        QTemporaryDir config;
        Member m(QStringLiteral("Alda"), LevelFullAccess, config.path());
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
            const int c = m.inet->connectionsOpened() - connections;
            const int n = m.inet->commandsSent() - commands;
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
            m.prompt.answers.enqueue({true, QLatin1String(comment), false, true, false});
            const Cost in = measure("check in", files, [&] { return m.checkIn(files); });
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
        // aside, send, list, delete the backup), plus one catalogue change for the batch.
        QVERIFY2(double(out20.commands) / kFiles <= 6.0, qPrintable(QString::number(out20.commands)));
        QVERIFY2(inEach <= 7.0, qPrintable(QString::number(inEach)));
    }
};

KRTP_TEST_MAIN_CORE(BenchStoreOps)
#include "bench_storeops.moc"
