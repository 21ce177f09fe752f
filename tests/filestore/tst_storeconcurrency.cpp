// Three members in three krtp-cli processes change one store at the same moment: each checks out,
// then checks in, its own eight files of 24, all three started together, for several rounds. No change
// may be lost, the catalogue must stay whole, and nobody may be asked to repair it.
#include "clirunner.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QDeadlineTimer>
#include <array>

using namespace krtp;
using namespace krtp::test;

namespace {

constexpr int kFilesEach = 8;
// All three processes of one step together; well below ctest's limit for the whole test.
constexpr int kStepTimeoutMs = 60000;

QByteArray fileName(int i) {
    return "f" + QByteArray::number(i).rightJustified(2, '0') + ".txt";
}

} // namespace

class TestStoreConcurrency : public QObject {
    Q_OBJECT
    HostFixture fx;
    std::array<CliMember, 3> members{CliMember{QStringLiteral("Alda"), QStringLiteral("a1"), {}, {}},
                                     CliMember{QStringLiteral("Bren"), QStringLiteral("b2"), {}, {}},
                                     CliMember{QStringLiteral("Rita"), QStringLiteral("r3"), {}, {}}};
    // Each member's own eight files.
    QStringList files(const CliMember& m) const {
        QStringList out;
        const int first = int(&m - members.data()) * kFilesEach;
        for (int i = first; i < first + kFilesEach; ++i)
            out << QString::fromLatin1(fileName(i));
        return out;
    }

    struct Result : CliResult {
        QString who;
        bool finished = false;
    };

    // Starts one krtp-cli store process per member before waiting for any of them.
    QList<Result> runTogether(const std::function<QStringList(const CliMember&)>& argsOf) {
        std::array<QProcess, 3> processes;
        for (size_t i = 0; i < members.size(); ++i)
            startCli(processes[i], members[i].args(QStringList{QStringLiteral("store")} + argsOf(members[i])),
                     members[i].call());
        const QDeadlineTimer deadline(kStepTimeoutMs);
        QList<Result> results;
        for (size_t i = 0; i < members.size(); ++i) {
            Result r;
            static_cast<CliResult&>(r) =
                finishCli(processes[i], int(qMax<qint64>(1, deadline.remainingTime())));
            r.who = members[i].name;
            r.finished = r.code >= 0 && processes[i].exitStatus() == QProcess::NormalExit;
            results << r;
        }
        return results;
    }

    // Every process ended by itself with 0 and wrote nothing to stderr but notes on waiting for
    // another member's save (above all, no repair question).
    static void checkClean(const QList<Result>& results, const char* what) {
        for (const Result& r : results) {
            const QByteArray about = QByteArray(what) + " by " + r.who.toUtf8() + ": exit " +
                                     QByteArray::number(r.code) + "\n" + r.err;
            QVERIFY2(r.finished, about.constData());
            QVERIFY2(!r.err.contains("KRtp detected a corrupt or missing"), about.constData());
            for (const QByteArray& line : r.err.split('\n'))
                QVERIFY2(line.isEmpty() ||
                             (line.startsWith("Waiting for ") &&
                              line.endsWith(", who is changing the shared file list\xe2\x80\xa6")),
                         about.constData());
            QVERIFY2(r.code == 0, about.constData());
        }
    }

    static QByteArray commentOf(const CliMember& m, int round) {
        return m.name.toLatin1() + ": round " + QByteArray::number(round);
    }
    static QByteArray contentOf(const CliMember& m, const QString& f, int round) {
        return f.toLatin1() + " by " + m.name.toLatin1() + " in round " + QByteArray::number(round) + "\n";
    }

private slots:
    void initTestCase() {
        QVERIFY(fx.startHost());
        QList<AccountRecord> accounts;
        for (const CliMember& m : members)
            accounts << AccountRecord{m.name, m.password, LevelFullAccess};
        fx.setAccounts(accounts);
        QList<QByteArray> lines;
        for (int i = 0; i < 3 * kFilesEach; ++i) {
            lines << catalogueLine(fileName(i).constData(), 1, "", "Alda", "A page", "");
            fx.host.write(QStringLiteral("krg/") + QString::fromLatin1(fileName(i)),
                          "first " + fileName(i) + "\n");
        }
        fx.setCatalogue(catalogue(lines));
    }

    void threeMembersCheckOutAndInAtOnce() {
        // Three rounds take a few seconds; KRTP_STORE_ROUNDS asks for more.
        const int rounds = qMax(1, qEnvironmentVariableIsSet("KRTP_STORE_ROUNDS")
                                       ? qEnvironmentVariableIntValue("KRTP_STORE_ROUNDS")
                                       : 3);
        for (int round = 1; round <= rounds; ++round) {
            checkClean(runTogether([this](const CliMember& m) {
                           return QStringList{QStringLiteral("checkout")} + files(m);
                       }),
                       "check-out");
            if (QTest::currentTestFailed())
                return;
            QList<QByteArray> lines;
            for (const CliMember& m : members)
                for (const QString& f : files(m)) {
                    lines << catalogueLine(f.toLatin1().constData(), round, m.name.toLatin1().constData(),
                                           "Alda", "A page",
                                           round == 1 ? "" : commentOf(m, round - 1).constData());
                    m.write(f, contentOf(m, f, round));
                }
            QCOMPARE(fx.hostCatalogue(), catalogue(lines));

            const QString comment = QStringLiteral("round %1").arg(round);
            checkClean(runTogether([&](const CliMember& m) {
                           return QStringList{QStringLiteral("checkin")} + files(m) +
                                  QStringList{QStringLiteral("-m"), comment};
                       }),
                       "check-in");
            if (QTest::currentTestFailed())
                return;
            lines.clear();
            for (const CliMember& m : members)
                for (const QString& f : files(m)) {
                    lines << catalogueLine(f.toLatin1().constData(), round + 1, "", "Alda", "A page",
                                           commentOf(m, round).constData());
                    QCOMPARE(fx.host.read(QStringLiteral("krg/") + f), contentOf(m, f, round));
                    QVERIFY(!fx.host.exists(QStringLiteral("krg/") + f + QStringLiteral(".backup")));
                    QCOMPARE(m.version(f), QString::number(round + 1));
                }
            // Byte for byte, with the count line: every version raised, every controller empty.
            QCOMPARE(fx.hostCatalogue(), catalogue(lines));
            QVERIFY(!fx.lockOnHost());
        }
    }
};

KRTP_TEST_MAIN_CORE(TestStoreConcurrency)
#include "tst_storeconcurrency.moc"
