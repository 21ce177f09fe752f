// krtp-cli store: members as processes with their own local folders and settings, against a loopback
// host. What the operations do to the host is checked in tst_storeops; here, what the command line
// makes of its words, prints and answers, the history, and three members' processes at once.
#include "clirunner.h"
#include "storetestutil.h"
#include "testmain.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QTest>
#include <array>
#include <tuple>

using namespace krtp;
using namespace Qt::StringLiterals;
using namespace krtp::test;

namespace {

const QByteArray kIndex = catalogueLine("index.html", 3, "", "Alda", "Home page", "Alda: links");

constexpr int kFilesEach = 8;
// All three processes of one step together; well below ctest's limit for the whole test.
constexpr int kStepTimeoutMs = 60000;

QByteArray fileName(int i) {
    return "f" + QByteArray::number(i).rightJustified(2, '0') + ".txt";
}

// The exit code and what went to stderr, in one line to compare.
QByteArray codeAndErr(const CliResult& r) {
    return QByteArray::number(r.code) + ' ' + r.err;
}
QByteArray codeAndOut(const CliResult& r) {
    return QByteArray::number(r.code) + ' ' + r.out;
}

} // namespace

class TestStoreOpsCli : public QObject {
    Q_OBJECT
    HostFixture fx;
    CliMember alda{u"Alda"_s, u"a1"_s, {}, {}};
    CliMember bren{u"Bren"_s, u"b2"_s, {}, {}};
    CliMember rita{u"Rita"_s, u"r3"_s, {}, {}};
    CliMember vera{u"Vera"_s, u"v4"_s, {}, {}};
    // Name and password as typed: blanks around the name and the password's letter case do not count.
    CliMember dovrin{u" dovrin "_s, u"Secret"_s, {}, {}};
    // Full-access members who work at once, each in its own process.
    std::array<CliMember, 3> members{CliMember{u"Alda"_s, u"a1"_s, {}, {}},
                                     CliMember{u"Bren"_s, u"b2"_s, {}, {}},
                                     CliMember{u"Cara"_s, u"c5"_s, {}, {}}};
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
            startCli(processes[i], members[i].args(QStringList{u"store"_s} + argsOf(members[i])),
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

    static CliResult run(const CliMember& m, const char* words) {
        return m.run(u"store "_s + QLatin1String(words));
    }

private slots:
    void initTestCase() {
        QVERIFY(fx.startHost());
        fx.setAccounts({{u"Alda"_s, u"a1"_s, 3},
                        {u"Bren"_s, u"b2"_s, 3},
                        {u"Rita"_s, u"r3"_s, 2},
                        {u"Vera"_s, u"v4"_s, 4},
                        {u"Dovrin"_s, u"secret"_s, 3},
                        {u"Cara"_s, u"c5"_s, 3},
                        {u"Gone"_s, u"x"_s, 1}});
    }

    void init() {
        fx.setCatalogue(catalogue({kIndex, catalogueLine("my page.html", 1), catalogueLine("a.txt", 1)}));
        fx.host.write(u"krg/index.html"_s, "index v3");
        fx.host.write(u"krg/my page.html"_s, "page v1");
        fx.host.write(u"krg/a.txt"_s, "a v1");
    }

    void addingAndOwnerActions() {
        for (const char* n : {"one.txt", "two.txt", "skip.txt", "one.txt.backup"})
            alda.write(QLatin1String(n), QByteArray("A's ") + n);
        CliResult r = run(alda, "addable");
        QCOMPARE(r.code, 0);
        QList<QByteArray> offered = r.out.split('\n');
        offered.removeAll(QByteArray());
        std::sort(offered.begin(), offered.end());
        QCOMPARE(offered, (QList<QByteArray>{"one.txt", "skip.txt", "two.txt"}));
        QCOMPARE(run(alda, "hide skip.txt").code, 0);

        // One description per name, in order; quotes become apostrophes.
        QCOMPARE(codeAndErr(run(alda, R"(add one.txt two.txt -d 'First "one"' -d Second)")), "0 ");
        QVERIFY(fx.hostCatalogue().endsWith(
            catalogueLine("one.txt", 1, "", "Alda", "First 'one'", "Alda: *new file*") +
            catalogueLine("two.txt", 1, "", "Alda", "Second", "Alda: *new file*")));
        QCOMPARE(run(alda, "addable").out, QByteArray());
        // Two descriptions for three names is a usage error; a Read Only member cannot add.
        QCOMPARE(run(alda, "add a b c -d x -d y").code, 2);
        rita.write(u"r.txt"_s, "r");
        QCOMPARE(codeAndErr(run(rita, "add r.txt -d R")),
                 "1 Sorry, you do not have access to that feature.\n");

        // Owner actions: even an administrator may not describe Alda's file; remove needs --yes.
        QCOMPARE(codeAndErr(run(vera, "describe ONE.txt -d mine")),
                 "1 Sorry, only Alda has permission to change one.txt's description.\n");
        QCOMPARE(run(alda, "describe one.txt -d Better").code, 0);
        QVERIFY(fx.hostCatalogue().contains("\"one.txt\",1,\"\",\"Alda\",\"Better\","));
        QCOMPARE(run(alda, "remove two.txt").code, 1);
        QVERIFY(fx.hostCatalogue().contains("\"two.txt\""));
        QCOMPARE(run(alda, "remove two.txt --yes").code, 0);
        QVERIFY(!fx.hostCatalogue().contains("two.txt"));
        QCOMPARE(run(alda, "relinquish one.txt --yes").code, 0);
        QVERIFY(fx.hostCatalogue().contains("\"one.txt\",1,\"\",\"\",\"Better\","));
        QCOMPARE(codeAndErr(run(alda, "relinquish one.txt --yes")),
                 "1 Sorry, you do not have control one.txt.\n");

        // The administrator's edit; other members are refused.
        QCOMPARE(run(alda, "edit index.html --version 9").code, 1);
        r = run(vera, R"(edit index.html --controller Rita --version 9 --desc 'The "home"' --my-version 9)");
        QCOMPARE(codeAndErr(r), "0 ");
        QVERIFY(fx.hostCatalogue().contains(
            "\"index.html\",9,\"Rita\",\"Alda\",\"The 'home'\",\"Alda: links\"\r\n"));
        QCOMPARE(vera.version(u"index.html"_s), u"9"_s);
    }

    void optionsByTheWindowsRules() {
        const CliCall own{QString(), alda.config.path(), {}};
        const CliResult r =
            runCli(cliWords("store options ShowOutOfDateAsRed=yes NoReadOnly=Yes CurrentView=1"), own);
        QVERIFY(codeAndOut(r).startsWith("0 CurrentView=1\nShowOutOfDateAsRed=Yes\n"));
        QSettings s(alda.settingsFile(), QSettings::IniFormat);
        // A box that matches the stored value (the default) is not written.
        QVERIFY(!s.contains(u"Icons/%2FShowOutOfDateAsRed"_s) && !s.contains(u"Icons//ShowOutOfDateAsRed"_s));
        QCOMPARE(s.value(u"Settings/NoReadOnly"_s).toString(), u"Yes"_s);
        QCOMPARE(runCli(cliWords("store options NoReadOnly=maybe"), own).code, 2);
    }

    void statusPrintsTheListInOrder() {
        fx.setCatalogue(
            catalogue({catalogueLine("index.html", 3, "", "velmar", "Home page", "velmar: links"),
                       catalogueLine("Logo.GIF", 2, "brenmoor", "", "The logo", "brenmoor: bigger"),
                       catalogueLine("notes.txt", 5, "DOVRIN", "Dovrin", "Notes", "Dovrin: more"),
                       catalogueLine("fresh.txt", 1, "brenmoor")}));
        SettingsStore own(dovrin.settingsFile());
        own.setFileVersion(u"index.html"_s, u"3"_s);
        own.setFileVersion(u"LOGO.GIF"_s, u"1"_s);
        own.sync();
        const CliResult r = run(dovrin, "status");
        QCOMPARE(codeAndErr(r), "0 ");
        QCOMPARE(r.out, QByteArray("index.html\tunlocked\t\t3\t3\tvelmar\tHome page\tvelmar: links\n"
                                   "Logo.GIF\told\tbrenmoor\t2\t1\t\tThe logo\tbrenmoor: bigger\n"
                                   "notes.txt\topen\tDOVRIN\t5\t0\tDovrin\tNotes\tDovrin: more\n"
                                   "fresh.txt\tnew\tbrenmoor\t1\t0\t\t\t\n"));
        QVERIFY(QFile::exists(dovrin.path(u"_files.txt"_s)));
    }

    void outdatedAndRefusedLogins() {
        const std::tuple<const char*, const char*, const char*, QByteArray> rows[] = {
            {" dovrin ", "Secret", "3.0.0",
             "KRtp has been updated to version 3.0.0\nYou are currently using version 2.0.5\n\nPlease get "
             "version 3.0.0 from Dovrin.\n"},
            {"dovrin", "wrong", "2.0.5", "Invalid Username/Password\n"},
            {"gone", "x", "2.0.5", "Sorry, you've been locked out.\n"}};
        for (const auto& [name, password, required, err] : rows) {
            fx.setCatalogue(catalogue({}, required));
            const CliResult r =
                CliMember{QLatin1String(name), QLatin1String(password), {}, {}}.run(u"store status"_s);
            QCOMPARE(codeAndErr(r), "1 " + err);
            QCOMPARE(r.out, QByteArray());
        }
    }

    void twoMembersThroughTheCommandLine() {
        bren.write(u"index.html"_s, "B's old copy");
        // A checks out, naming the file in another letter case.
        CliResult r = run(alda, "checkout INDEX.html 'my page.html'");
        QCOMPARE(codeAndErr(r), "0 ");
        QCOMPARE(r.out, QByteArray("index.html\topen\tAlda\t3\t3\tAlda\tHome page\tAlda: links\n"
                                   "my page.html\topen\tAlda\t1\t1\t\t\t\n"
                                   "a.txt\tnew\t\t1\t0\t\t\t\n"));
        // B's check-out of it is passed over, and that is no success.
        r = run(bren, "checkout index.html");
        QCOMPARE(codeAndErr(r), "1 index.html: checked out by Alda\n");
        QVERIFY(r.out.startsWith("index.html\tnew\tAlda\t3\t0\t"));

        // A checks in with a comment holding double quotes; they become apostrophes.
        alda.write(u"index.html"_s, "index v4 by A");
        QCOMPARE(codeAndErr(run(alda, "checkin index.html -m 'say \"hi\"'")), "0 ");
        // Revert the page with blanks: nothing sent, given back.
        alda.write(u"my page.html"_s, "unsent");
        QVERIFY(codeAndOut(run(alda, "checkin 'my page.html' --revert"))
                    .contains("my page.html\tunlocked\t\t1\t1\t"));

        // B gets everything.
        r = run(bren, "get --all");
        QCOMPARE(codeAndErr(r), "0 ");
        QCOMPARE(r.out, QByteArray("index.html\tunlocked\t\t4\t4\tAlda\tHome page\tAlda: say 'hi'\n"
                                   "my page.html\tunlocked\t\t1\t1\t\t\t\n"
                                   "a.txt\tunlocked\t\t1\t1\t\t\t\n"));

        // B holds a.txt but deleted the copy: no version stays recorded for it, and each operation says so.
        const QList<std::tuple<const char*, QByteArray, QByteArray>> missing{
            {"checkin a.txt --revert --yes",
             "The file a.txt does not exist on your local computer.  Press OK to check this file in without "
             "updating the server (you will lose any changes you may have made).\n"
             "a.txt: given back without sending: not in your local folder\n",
             "a.txt\tnew\t\t1\t0\t\t\t\n"},
            {"get a.txt", "a.txt: checked out by you, but not in your local folder\n",
             "a.txt\topen\tBren\t1\t0\t\t\t\n"}};
        for (const auto& [args, err, lastLine] : missing) {
            QCOMPARE(run(bren, "checkout a.txt").code, 0);
            QVERIFY(QFile::remove(bren.path(u"a.txt"_s)));
            r = run(bren, args);
            QCOMPARE(codeAndErr(r), "1 " + err);
            QVERIFY2(r.out.endsWith(lastLine), r.out);
            QCOMPARE(bren.version(u"a.txt"_s), u"0"_s);
        }
        QVERIFY(fx.hostCatalogue().contains("\"a.txt\",1,\"Bren\""));
    }

    void refusalsAndMistakes() {
        // A Read Only member may get but not check out.
        QCOMPARE(codeAndErr(run(rita, "checkout a.txt")),
                 "1 Sorry, you do not have access to that feature.\n");
        QCOMPARE(run(rita, "get a.txt").code, 0);
        QCOMPARE(rita.read(u"a.txt"_s), QByteArray("a v1"));
        // Unknown names run nothing.
        QCOMPARE(codeAndErr(run(rita, "get a.txt nope.txt")), "1 nope.txt is not in the file list.\n");
        // A check-in needs a comment (or --revert); --keep and --revert exclude each other.
        QCOMPARE(run(alda, "checkin a.txt").code, 2);
        QCOMPARE(run(alda, "checkin a.txt -m x --keep --revert").code, 2);
        // A file missing on the server: the safe answer (No) unless --yes.
        fx.setCatalogue(catalogue({catalogueLine("gone.txt", 2)}));
        alda.write(u"gone.txt"_s, "local only");
        QCOMPARE(codeAndErr(run(alda, "checkout gone.txt")),
                 "1 gone.txt does not exist on the server.\n\nDo you still want to check this file out?\n"
                 "gone.txt: not on the server\n");
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("gone.txt", 2)}));
        QCOMPARE(run(alda, "checkout gone.txt --yes").code, 0);
        QCOMPARE(fx.hostCatalogue(), catalogue({catalogueLine("gone.txt", 2, "Alda")}));
    }

    void repairOnlyWithYesAndAtMostOnce() {
        const QByteArray good = catalogue({catalogueLine("a.txt", 1)});
        const QByteArray broken = catalogue({catalogueLine("a.txt", 1)}, "2.0.5", 4);
        fx.setCatalogue(broken, good);
        CliResult r = run(dovrin, "status");
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("KRtp detected a corrupt or missing _files.txt on the server."));
        QVERIFY(r.err.contains("(ERR: 4 files expected, 1 files found))\n"));
        QCOMPARE(fx.hostCatalogue(), broken);
        QCOMPARE(codeAndOut(run(dovrin, "status --yes")), "0 a.txt\tnew\t\t1\t0\t\t\t\n");
        QCOMPARE(fx.hostCatalogue(), good);

        // Every upload of the catalogue arrives cut, so no repair can mend it; --yes must not loop.
        const QByteArray cut = good.left(good.size() - 4);
        QTemporaryDir scratch;
        QFile f(scratch.filePath(u"cut"_s));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(cut) == cut.size());
        f.close();
        fx.setCatalogue(cut, good);
        fx.host.setFaults(QStringLiteral(R"({"replace_after_upload": [{"path": "/krg/_files.txt",
            "content_file": "%1"}]})")
                              .arg(f.fileName())
                              .toUtf8());
        r = run(alda, "status --yes");
        fx.host.setFaults({});
        // No entry of a short catalogue is printed as if it were the store.
        QCOMPARE(codeAndOut(r), "1 ");
        QCOMPARE(r.err.count("KRtp detected a corrupt or missing _files.txt on the server."), 2);
        QVERIFY(r.err.endsWith("The shared file list is still broken after one repair; giving up.\n"));
        QCOMPARE(fx.hostCatalogue(), cut);
    }

    void everyVersionIsKeptComparedAndRestored() {
        fx.setCatalogue(catalogue({catalogueLine("a.txt", 1)}));
        const QByteArray v1 = "line one\r\nline two\r\n", v2 = "line one\r\nline 2\r\n",
                         v3 = "line one\r\nline 2\r\nline three\r\n", v4("\x00\x01binary", 8);
        alda.write(u"h.txt"_s, v1);
        QCOMPARE(run(alda, "add h.txt -d H").code, 0);
        // A check-out, new bytes and a check-in, as one member.
        const auto round = [](CliMember& m, const QByteArray& bytes, const char* checkIn) {
            QCOMPARE(run(m, "checkout h.txt").code, 0);
            m.write(u"h.txt"_s, bytes);
            QCOMPARE(codeAndErr(run(m, checkIn)), "0 ");
        };
        round(alda, v2, "checkin h.txt -m second");
        round(bren, v3, "checkin h.txt -m third");
        round(alda, v4, "checkin h.txt -m fourth");
        CliResult r = run(rita, "history h.txt");
        QCOMPARE(r.code, 0);
        QByteArray undated; // each line without its time, which must be one
        for (const QByteArray& line : r.out.trimmed().split('\n')) {
            QList<QByteArray> f = line.split('\t');
            QVERIFY(f.size() == 5 &&
                    QDateTime::fromString(QString::fromLatin1(f.takeAt(2)), Qt::ISODate).isValid());
            undated += f.join('\t') + '\n';
        }
        QCOMPARE(
            undated,
            QByteArray(
                "1\tAlda\t20\t*new file*\n2\tAlda\t18\tsecond\n3\tBren\t30\tthird\n4\tAlda\t8\tfourth\n"));
        for (const auto& [v, bytes] : {std::pair{1, v1}, {2, v2}, {3, v3}, {4, v4}}) {
            QCOMPARE(codeAndOut(rita.run(u"store show h.txt --version %1"_s.arg(v))), "0 " + bytes);
        }
        QCOMPARE(codeAndOut(run(rita, "diff h.txt --from 1 --to 3")),
                 QByteArray("1 --- h.txt (version 1)\n+++ h.txt (version 3)\n@@ -1,2 +1,3 @@\n line one\n"
                            "-line two\n+line 2\n+line three\n"));
        QVERIFY(codeAndOut(run(rita, "diff h.txt --from 3 --to 4"))
                    .startsWith("1 Binary files h.txt (version 3) and h.txt (version 4) differ\n"));
        // Against the member's own copy: the same bytes, no difference.
        QCOMPARE(codeAndOut(run(alda, "diff h.txt --from 4")), "0 ");

        // Restore makes an old version the newest; a file another member holds is refused.
        QCOMPARE(run(alda, "checkout h.txt").code, 0);
        QCOMPARE(codeAndErr(run(bren, "restore h.txt --version 2")),
                 "1 h.txt is checked out by Alda, so version 2 was not restored.\n");
        QCOMPARE(run(alda, "checkin h.txt --revert").code, 0);
        QCOMPARE(codeAndErr(run(bren, "restore h.txt --version 2 -m undo")), "0 ");
        QCOMPARE(fx.host.read(u"krg/h.txt"_s), v2);
        QVERIFY(fx.hostCatalogue().contains(
            "\"h.txt\",5,\"\",\"Alda\",\"H\",\"Bren: Restored version 2: undo\""));
        // What an older client sees is the catalogue alone: the history is in a folder it never reads.
        QCOMPARE(fx.hostCatalogue().left(10), QByteArray("2.0.5\r\n2\r\n"));
        QCOMPARE(run(rita, "status").out.count('\n'), 2);

        // A smaller depth: the oldest versions go at the next check-in, records and copies alike.
        QCOMPARE(run(alda, "history-depth 2").code, 1);
        QCOMPARE(run(vera, "history-depth 2").code, 0);
        round(alda, "six", "checkin h.txt -m 6");
        r = run(rita, "history h.txt");
        QCOMPARE(r.out.count('\n'), 2);
        QVERIFY(r.out.startsWith("5\tBren\t"));
        QVERIFY(!fx.host.exists(u"krg/_history/h.txt.v1"_s));
        QVERIFY(fx.host.exists(u"krg/_history/h.txt.v5"_s));
        // A damaged index is an empty history, never a failed check-in.
        fx.host.write(u"krg/_history/h.txt.index"_s, "<html>not found</html>");
        round(alda, "seven", "checkin h.txt -m 7");
        QVERIFY(run(rita, "history h.txt").out.startsWith("7\tAlda\t"));

        // A removed file keeps its history; an administrator alone brings it back as the next version.
        QCOMPARE(run(alda, "remove h.txt --yes").code, 0);
        QVERIFY(run(rita, "history h.txt").out.startsWith("7\tAlda\t"));
        QCOMPARE(codeAndErr(run(alda, "restore h.txt --version 7")),
                 "1 Sorry, you do not have access to that feature.\n");
        QCOMPARE(run(vera, "restore ../h.txt --version 7").code, 1);
        QCOMPARE(codeAndErr(run(vera, "restore h.txt --version 7")), "0 ");
        QVERIFY(fx.hostCatalogue().contains("\"h.txt\",8,\"\",\"Vera\",\"\",\"Vera: Restored version 7\""));
        QCOMPARE(fx.host.read(u"krg/h.txt"_s), QByteArray("seven"));
        QCOMPARE(fx.host.read(u"krg/_history/h.txt.v7"_s), QByteArray("seven"));
    }

    // Three members in three processes change one store at the same moment: each checks out, then
    // checks in, its own eight files of 24, all three started together, for several rounds. No change
    // may be lost, the catalogue must stay whole, and nobody may be asked to repair it.
    void threeMembersCheckOutAndInAtOnce() {
        QList<QByteArray> lines;
        for (int i = 0; i < 3 * kFilesEach; ++i) {
            lines << catalogueLine(fileName(i).constData(), 1, "", "Alda", "A page", "");
            fx.host.write(u"krg/"_s + QString::fromLatin1(fileName(i)), "first " + fileName(i) + "\n");
        }
        fx.setCatalogue(catalogue(lines));
        // Three rounds take a few seconds; KRTP_STORE_ROUNDS asks for more.
        const int rounds = qMax(1, qEnvironmentVariableIsSet("KRTP_STORE_ROUNDS")
                                       ? qEnvironmentVariableIntValue("KRTP_STORE_ROUNDS")
                                       : 3);
        for (int round = 1; round <= rounds; ++round) {
            checkClean(
                runTogether([this](const CliMember& m) { return QStringList{u"checkout"_s} + files(m); }),
                "check-out");
            if (QTest::currentTestFailed())
                return;
            lines.clear();
            for (const CliMember& m : members)
                for (const QString& f : files(m)) {
                    lines << catalogueLine(f.toLatin1().constData(), round, m.name.toLatin1().constData(),
                                           "Alda", "A page",
                                           round == 1 ? "" : commentOf(m, round - 1).constData());
                    m.write(f, contentOf(m, f, round));
                }
            QCOMPARE(fx.hostCatalogue(), catalogue(lines));

            const QString comment = u"round %1"_s.arg(round);
            checkClean(runTogether([&](const CliMember& m) {
                           return QStringList{u"checkin"_s} + files(m) + QStringList{u"-m"_s, comment};
                       }),
                       "check-in");
            if (QTest::currentTestFailed())
                return;
            lines.clear();
            for (const CliMember& m : members)
                for (const QString& f : files(m)) {
                    lines << catalogueLine(f.toLatin1().constData(), round + 1, "", "Alda", "A page",
                                           commentOf(m, round).constData());
                    QCOMPARE(fx.host.read(u"krg/"_s + f), contentOf(m, f, round));
                    QVERIFY(!fx.host.exists(u"krg/"_s + f + u".backup"_s));
                    QCOMPARE(m.version(f), QString::number(round + 1));
                }
            // Byte for byte, with the count line: every version raised, every controller empty.
            QCOMPARE(fx.hostCatalogue(), catalogue(lines));
            QVERIFY(!fx.lockOnHost());
        }
    }
};

KRTP_TEST_MAIN_CORE(TestStoreOpsCli)
#include "tst_storeopscli.moc"
