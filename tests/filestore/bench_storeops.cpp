// Check out, then check in, 20 files on the loopback host: FTP connections opened and commands
// sent per file, and the wall time of each operation.
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
    QTemporaryDir config;

private slots:
    void initTestCase() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QVERIFY(host.start(seed.path()));
    }

    void checkOutThenCheckIn20Files() {
        constexpr int kFiles = 20;
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
        Member m(QStringLiteral("Alda"), LevelFullAccess, config.path());
        QVERIFY(m.refresh());

        const auto measure = [&](const char* what, const std::function<bool()>& op) {
            const int connections = m.inet->connectionsOpened();
            const int commands = m.inet->commandsSent();
            QElapsedTimer timer;
            timer.start();
            QVERIFY(op());
            const qint64 ms = timer.elapsed();
            const int c = m.inet->connectionsOpened() - connections;
            const int n = m.inet->commandsSent() - commands;
            qInfo("%s %d files: %lld ms (%.1f ms per file), %d connections (%.2f per file), %d FTP commands "
                  "(%.2f per file), %lld store commands",
                  what, kFiles, ms, double(ms) / kFiles, c, double(c) / kFiles, n, double(n) / kFiles,
                  qint64(m.commands.size()));
        };
        measure("check out", [&] { return m.checkOut(names); });
        for (const QString& n : names)
            m.write(n, "changed " + n.toLatin1());
        m.prompt.answers.enqueue({true, QStringLiteral("bench"), false, true, false});
        measure("check in", [&] { return m.checkIn(names); });
        QVERIFY(d.records().isEmpty());
        for (const QString& n : names)
            QCOMPARE(host.read(QStringLiteral("krg/") + n), "changed " + n.toLatin1());
        QVERIFY(host.read(QStringLiteral("krg/_files.txt"))
                    .contains("\"page19.html\",2,\"\",\"\",\"A page\",\"Alda: bench\""));
    }
};

KRTP_TEST_MAIN_CORE(BenchStoreOps)
#include "bench_storeops.moc"
