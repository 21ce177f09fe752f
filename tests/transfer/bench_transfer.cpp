// Download and upload of a 200 MB file on loopback: the transfer control against the curl tool.
#include "loopbackhost.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;

class BenchTransfer : public QObject {
    Q_OBJECT
private slots:
    void controlAgainstCurl() {
        const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
        if (curl.isEmpty())
            QSKIP("the curl tool is not installed");
        LoopbackHost host;
        QVERIFY(host.start());
        const qint64 size = 200LL * 1024 * 1024;
        {
            QFile f(host.path(QStringLiteral("big.bin")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray block(1024 * 1024, 'x');
            for (qint64 i = 0; i < size / block.size(); ++i)
                f.write(block);
        }
        QTemporaryDir work;
        QDir::setCurrent(work.path());
        const double mb = double(size) / (1024 * 1024);
        auto rate = [mb](qint64 ms) { return mb / (double(std::max<qint64>(ms, 1)) / 1000.0); };

        TransferControl c;
        c.configureForSite();
        QElapsedTimer t;
        // Each control transfer starts on a fresh connection, as each curl run does.
        auto fresh = [&c] {
            c.Execute(QStringLiteral("QUIT"));
            c.waitUntilIdle();
        };

        double best[4] = {0, 0, 0, 0};            // control down, curl down, control up, curl up
        for (int round = 0; round < 5; ++round) { // best of five: the loopback host and the disk are noisy
            fresh();
            t.start();
            c.Execute(QStringLiteral("get /big.bin control.bin"));
            c.waitUntilIdle();
            QVERIFY(c.lastSucceeded());
            best[0] = std::max(best[0], rate(t.elapsed()));

            const QString url = QStringLiteral("ftp://velmar:tolbek@") + host.ftpHost();
            t.start();
            QCOMPARE(QProcess::execute(curl, {QStringLiteral("-s"), QStringLiteral("-o"),
                                              QStringLiteral("curl.bin"), url + QStringLiteral("/big.bin")}),
                     0);
            best[1] = std::max(best[1], rate(t.elapsed()));

            fresh();
            t.start();
            c.Execute(QStringLiteral("send control.bin /up-control.bin"));
            c.waitUntilIdle();
            QVERIFY(c.lastSucceeded());
            best[2] = std::max(best[2], rate(t.elapsed()));

            t.start();
            QCOMPARE(
                QProcess::execute(curl, {QStringLiteral("-s"), QStringLiteral("-T"),
                                         QStringLiteral("curl.bin"), url + QStringLiteral("/up-curl.bin")}),
                0);
            best[3] = std::max(best[3], rate(t.elapsed()));
        }
        QCOMPARE(QFileInfo(host.path(QStringLiteral("up-control.bin"))).size(), size);
        qInfo("download: control %.0f MB/s, curl %.0f MB/s, ratio %.2f", best[0], best[1], best[0] / best[1]);
        qInfo("upload:   control %.0f MB/s, curl %.0f MB/s, ratio %.2f", best[2], best[3], best[2] / best[3]);
        QVERIFY(best[0] / best[1] >= 0.9);
        QVERIFY(best[2] / best[3] >= 0.9);
    }
};

KRTP_TEST_MAIN_CORE(BenchTransfer)
#include "bench_transfer.moc"
