// The explorer on the loopback host: the client's own time to fill the list for 1,000 to 5,000 files;
// a 200 MB download and upload through the window's actions against the bare transfer routines and a
// bare FTP command; 200 files of 4 KB with every reply 20 ms late, over one connection and over four.
#include "hostfixture.h"
#include "scripteddialogs.h"
#include "sitetools/exploreractions.h"
#include "sitetools/gui/frmexplorer.h"
#include "sitetools/siteexplorer.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "transfer/transferroutines.h"

#include <QtTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

class BenchSiteExplorer : public QObject {
    Q_OBJECT
    HostFixture fx;
    ScriptedDialogs d;

private slots:
    void initTestCase() {
        QVERIFY(fx.startHost());
        fx.resetLocal(true);
        fx.login(u"Velmar"_s, LevelAdministrator);
    }

    void largeFolders() {
        for (int n : {1000, 2000, 5000}) {
            const QString folder = u"big%1"_s.arg(n);
            QDir(fx.host.root()).mkpath(folder);
            QDir().mkpath(fx.mirror(folder));
            for (int i = 0; i < n; ++i) {
                const QString name = u"/page%1.html"_s.arg(i, 5, 10, QLatin1Char('0'));
                QFile(fx.host.path(folder) + name).open(QIODevice::WriteOnly);
                if (i % 2 == 0) // half of them fetched before
                    QFile(fx.mirror(folder) + name).open(QIODevice::WriteOnly);
            }
        }
        frmExplorer w;
        w.Do_ShowWebPage();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QMap<int, double> own;
        for (int n : {1000, 2000, 5000}) {
            const QString key = u"big%1/"_s.arg(n);
            QList<double> times; // the median of seven
            for (int run = 0; run < 7; ++run) {
                w.explorer().setTag(key, QString()); // asked of the host anew, as on the first visit
                w.explorer().clickFolder(QString());
                QElapsedTimer clock;
                clock.start();
                w.explorer().clickFolder(key);
                QApplication::processEvents(); // the list lays itself out and paints
                QCOMPARE(w.explorer().files().count(), n);
                times << (clock.nsecsElapsed() - w.explorer().lastListingNs) / 1e6;
            }
            std::sort(times.begin(), times.end());
            own[n] = times[3];
            qInfo("%5d files: %.1f ms of the client's own time", n, own[n]);
        }
        QVERIFY2(own[5000] < 250, "5,000 files took 250 ms or more of the client's own time");
        // Linear, with room for a loaded machine: well below quadratic (x25).
        QVERIFY(own[5000] / own[1000] < 8);
        w.close();
    }

    void largeTransfers() {
        const qint64 size = 200LL * 1024 * 1024;
        fx.host.write(u"big.bin"_s, QByteArray(size, 'x'));
        const auto rate = [size](qint64 ns) { return size / 1048576.0 / (std::max<qint64>(ns, 1) / 1e9); };
        frmExplorer w;
        w.Do_ShowWebPage();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.explorer().files().setSelected(u"big.bin"_s, true);
        TransferControl bare;
        // The same routines on a control without a window (the ".backup" exchange included), the
        // explorer's actions with its window and progress line, and the bare command for reference.
        enum { RoutineDown, ExplorerDown, CommandDown, RoutineUp, ExplorerUp, CommandUp };
        double best[6] = {};
        QElapsedTimer clock;
        const auto measure = [&](int which, const std::function<bool()>& transfer) {
            TransferControl& c = which == ExplorerDown || which == ExplorerUp ? *w.inet : bare;
            c.Execute(u"QUIT"_s); // a fresh login for every transfer
            c.waitUntilIdle();
            clock.start();
            QVERIFY(transfer());
            best[which] = std::max(best[which], rate(clock.nsecsElapsed()));
        };
        const auto command = [&](const QString& text) {
            bare.configureForSite();
            return bare.Execute(text) && bare.waitUntilIdle() && bare.lastSucceeded();
        };
        // Best of nine, the order turned each round: the loopback host and the disk are noisy.
        for (int round = 0; round < 9; ++round) {
            QString mode = QLatin1String(kSaveToFile);
            QList<std::pair<int, std::function<bool()>>> steps{
                {RoutineDown, [&] { return GetFileFromServer(bare, u"big.bin"_s, mode); }},
                {ExplorerDown, [&] { return d.answer(Dialogs::Ok), w.actions().Download(); }},
                {RoutineUp, [&] { return SendFileToServer(bare, u"big.bin"_s); }},
                {ExplorerUp, [&] { return d.answer(Dialogs::Ok), w.actions().Send(); }}};
            if (round % 2)
                std::swap(steps[0], steps[1]), std::swap(steps[2], steps[3]);
            for (const auto& [which, transfer] : steps)
                measure(which, transfer);
            QFile::remove(u"raw.bin"_s);
            QFile::remove(fx.host.path(u"raw-up.bin"_s));
            measure(CommandDown, [&] { return command(u"get /big.bin raw.bin"_s); });
            measure(CommandUp, [&] { return command(u"send raw.bin /raw-up.bin"_s); });
        }
        QCOMPARE(QFileInfo(fx.mirror(u"big.bin"_s)).size(), size);
        QCOMPARE(QFileInfo(fx.host.path(u"big.bin"_s)).size(), size);
        qInfo("download: routine %.0f MB/s, explorer %.0f MB/s, ratio %.2f (bare command %.0f MB/s)",
              best[RoutineDown], best[ExplorerDown], best[ExplorerDown] / best[RoutineDown],
              best[CommandDown]);
        qInfo("upload:   routine %.0f MB/s, explorer %.0f MB/s, ratio %.2f (bare command %.0f MB/s)",
              best[RoutineUp], best[ExplorerUp], best[ExplorerUp] / best[RoutineUp], best[CommandUp]);
        QVERIFY(best[ExplorerDown] / best[RoutineDown] >= 0.95);
        QVERIFY(best[ExplorerUp] / best[RoutineUp] >= 0.95);
        w.close();
    }

    void manySmallFiles() {
        const int files = 200;
        QStringList names;
        for (int i = 0; i < files; ++i) {
            names << u"page%1.html"_s.arg(i, 3, 10, QLatin1Char('0'));
            fx.host.write(u"many/"_s + names.last(), QByteArray(4096, char('a' + i % 26)));
        }
        fx.host.setFaults(R"({"latency_ms": 20})");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        double seconds[2][2] = {};
        int commands[2][2] = {};
        for (int c = 0; c < 2; ++c) {
            TransferControl inet;
            SiteExplorer explorer(inet);
            ExplorerActions actions(explorer);
            explorer.Open();
            explorer.clickFolder(u"many/"_s);
            actions.setParallelTransfers(c == 0 ? 1 : 4);
            for (int up = 0; up < 2; ++up) {
                explorer.files().setAllSelected(false);
                for (const QString& name : names) // not the backups the uploads leave
                    explorer.files().setSelected(name, true);
                d.answer(Dialogs::Ok);
                const int before = inet.commandsSent() + (c ? actions.pool().commandsSent() : 0);
                QElapsedTimer clock;
                clock.start();
                QVERIFY(up ? actions.Send() : actions.Download());
                seconds[c][up] = clock.nsecsElapsed() / 1e9;
                commands[c][up] = inet.commandsSent() + (c ? actions.pool().commandsSent() : 0) - before;
            }
            QVERIFY(c == 0 || actions.pool().logins() <= 4);
        }
        for (int up = 0; up < 2; ++up) {
            qInfo("%s of %d files of 4 KB, 20 ms per reply: one connection %.1f s, four %.1f s, %.1f times "
                  "faster; FTP commands %d and %d",
                  up ? "upload" : "download", files, seconds[0][up], seconds[1][up],
                  seconds[0][up] / seconds[1][up], commands[0][up], commands[1][up]);
            // The same commands per file; four connections add at most their logins.
            QVERIFY(commands[1][up] <= commands[0][up] + 4 * 4);
            QVERIFY(seconds[0][up] / seconds[1][up] >= 3.0);
        }
    }
};

KRTP_TEST_MAIN_GUI(BenchSiteExplorer)
#include "bench_siteexplorer.moc"
