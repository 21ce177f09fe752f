#include "filestore/filestore.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmfilelist.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTreeView>
#include <algorithm>

using namespace krtp;
using namespace krtp::test;

// Full rebuilds of a large catalogue from the loopback host: the whole rebuild and the client's own
// part of it (everything but the catalogue download: reading, settings, filling the list).
class BenchCatalogue : public QObject {
    Q_OBJECT
    StoreFixture fx;

    struct Figures {
        double totalMs, ownMs;
    };

    static double median(QList<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }

    void seed(int entries) {
        fx.setCatalogue(bigCatalogue(entries));
        // Half of the files fetched before, as in a member's real store.
        for (int i = 0; i < entries; i += 2) {
            const QString name = QStringLiteral("page%1%2")
                                     .arg(i)
                                     .arg(i % 3 == 0 ? QStringLiteral(".txt") : QStringLiteral(".html"));
            settingsStore().setFileVersion(name, QString::number(1 + i % 5));
        }
    }

    template <typename Rebuild> Figures measure(FileStore& store, Rebuild rebuild, int entries) {
        QList<double> total, own;
        for (int run = 0; run < 7; ++run) {
            if (!rebuild() || store.list().count() != entries)
                return {-1, -1};
            total << store.lastRebuildNs / 1e6;
            own << (store.lastRebuildNs - store.lastFetchNs) / 1e6;
        }
        return {median(total), median(own)};
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }

    void rebuild() {
        ScriptedDialogs d;
        QMap<int, Figures> window, core, smallIcons;
        for (int entries : {1000, 5000}) {
            fx.resetLocal();
            seed(entries);
            {
                frmFileList w;
                w.show();
                QVERIFY(QTest::qWaitForWindowExposed(&w));
                window[entries] = measure(
                    w.store(), [&] { return w.UpdateFileList(); }, entries);
                w.setViewStyle(1);
                smallIcons[entries] = measure(
                    w.store(), [&] { return w.UpdateFileList(); }, entries);
                w.store().Shutdown();
            }
            TransferControl inet;
            FileListModel list;
            FileStore store(inet, list, settingsStore(), dialogs());
            core[entries] = measure(
                store, [&] { return store.UpdateFileList(); }, entries);
        }
        QVERIFY(d.records().isEmpty());
        for (int entries : {1000, 5000}) {
            qInfo("%d entries: window (details) total %.1f ms, own part %.1f ms; small icons total %.1f ms, "
                  "own part "
                  "%.1f ms; without window total %.1f ms, own part %.1f ms",
                  entries, window[entries].totalMs, window[entries].ownMs, smallIcons[entries].totalMs,
                  smallIcons[entries].ownMs, core[entries].totalMs, core[entries].ownMs);
            QVERIFY(window[entries].totalMs > 0);
        }
        QVERIFY2(window[5000].ownMs < 250,
                 "the client's own part of a 5,000-entry rebuild should stay under 250 ms");
        // Linear growth: five times the entries may cost at most about five times as much (with slack
        // for noise on a busy machine).
        QVERIFY(window[5000].ownMs < 5 * 1.6 * window[1000].ownMs + 5);
    }

    // An operation on every entry clears the selection entry by entry; the view must follow each
    // change without rebuilding its whole selection.
    void selectionFollowsTheModel() {
        QMap<int, double> ms;
        for (int entries : {1000, 5000}) {
            FileListModel model;
            for (int i = 0; i < entries; ++i)
                model.addFile(QStringLiteral("page%1.html").arg(i), QStringLiteral("new"), {});
            FileListView view(model);
            view.show();
            model.setAllSelected(true);
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < entries; ++i)
                model.setSelected(QStringLiteral("page%1.html").arg(i), false);
            ms[entries] = timer.nsecsElapsed() / 1e6;
            QCOMPARE(view.detailsView()->selectionModel()->selectedRows().size(), 0);
        }
        qInfo("clearing the selection entry by entry: 1,000 entries %.1f ms, 5,000 entries %.1f ms", ms[1000],
              ms[5000]);
        QVERIFY(ms[5000] < 5 * 1.6 * ms[1000] + 20);
    }
};

KRTP_TEST_MAIN_GUI(BenchCatalogue)
#include "bench_catalogue.moc"
