#include "accounts/accountfile.h"
#include "accounts/useraccounts.h"
#include "app/login.h"
#include "buildconfig.h"
#include "config/runstate.h"
#include "testfiles.h"
#include "testmain.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace Qt::StringLiterals;

namespace {

QByteArray record(const QString& name, const QString& password, quint8 level) {
    return EncodeAccountRecord({name, password, level});
}

} // namespace

class TestAccounts : public QObject {
    Q_OBJECT
private slots:
    // Every byte, padding blanks included, is stored XOR 255.
    void storedBytes() {
        const QByteArray r = record(u"Bob"_s, u"pw"_s, 3);
        QCOMPARE(r, "\xBD\x90\x9D" + QByteArray(27, char(0xDF)) + "\x8F\x88" + QByteArray(27, char(0xDF)) +
                        "\xFC");
        QByteArray plain = r;
        ScrambleAccountRecord(plain);
        QCOMPARE(plain, QByteArray("Bob") + QByteArray(27, ' ') + "pw" + QByteArray(27, ' ') + char(3));
        ScrambleAccountRecord(plain); // its own inverse
        QCOMPARE(plain, r);
        QCOMPARE(ScrambleText("A "), QByteArray("\xBE\xDF"));
    }

    void roundTripKeepsEdgeBytes() {
        // "\xDF" scrambles to a blank: a leading or full-width trailing one must survive.
        const QString name = QString::fromLatin1("\xDF") + u"tefan"_s + QString(24, QLatin1Char('x'));
        const QString password =
            QString::fromLatin1("\xE9t\xE9") + QString(25, QLatin1Char('y')) + QString::fromLatin1("\xDF");
        QCOMPARE(name.size() + password.size(), 30 + 29);
        const AccountRecord back = DecodeAccountRecord(record(name, password, 4));
        QVERIFY(back.Name == name && back.Password == password && back.Level == 4);
    }

    void longTextIsCutAndForeignTextRefused() {
        const AccountRecord back =
            DecodeAccountRecord(record(QString(31, QLatin1Char('n')), QString(30, QLatin1Char('p')), 2));
        QCOMPARE(back.Name + back.Password, QString(30, QLatin1Char('n')) + QString(29, QLatin1Char('p')));
        QString error;
        QVERIFY(EncodeAccountRecord({u"\u0141ukasz"_s, u"pw"_s, 3}, &error).isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(EncodeAccountRecord({u"Lukas"_s, u"\u20AC"_s, 3}).isEmpty());
        QVERIFY(!IsAccountText(u"\u0141"_s));
        QVERIFY(IsAccountText(QString::fromLatin1("\xFF")));
    }

    void readsCompleteRecordsOnly() {
        const QByteArray data = record(u"A"_s, u"1"_s, 2) + record(u"B"_s, u"2"_s, 4) + QByteArray(59, 'x');
        const QList<AccountRecord> all = ReadAccountRecords(data);
        QCOMPARE(all.size(), 2);
        QVERIFY(all.at(1).Name == QLatin1String("B") && all.at(1).Level == 4);
        QVERIFY(ReadAccountRecords(QByteArray(59, 'x')).isEmpty());
    }

    void writesAtRecordNumber() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"_files.dat"_s);
        QVERIFY(WriteAccountRecord(path, 1, {u"Ann"_s, u"a"_s, 3}));
        QVERIFY(WriteAccountRecord(path, 2, {u"Ben"_s, u"b"_s, 2}));
        QVERIFY(WriteAccountRecord(path, 1, {u"Anna"_s, u"a2"_s, 4}));
        // Record 4 leaves record 3 as a gap that was never written.
        QVERIFY(WriteAccountRecord(path, 4, {u"Dan"_s, u"d"_s, 1}));
        QList<AccountRecord> all;
        QVERIFY(ReadAccountFile(path, all));
        QCOMPARE(all.size(), 4);
        QVERIFY(all.at(0).Name == QLatin1String("Anna") && all.at(0).Level == 4);
        QCOMPARE(all.at(1).Name + all.at(3).Name, u"BenDan"_s);
        QCOMPARE(QFileInfo(path).size(), 240);
        QString error;
        QVERIFY(!WriteAccountRecord(path, 0, {u"X"_s, {}, 3}, &error));
        QVERIFY(!ReadAccountFile(dir.filePath(u"none.dat"_s), all, &error));
        QVERIFY(!error.isEmpty());
    }

    void findMember() {
        const QByteArray file = record(u"Bob"_s, u"Secret"_s, 2) + record(u"Ann"_s, u"x"_s, 3) +
                                record(u"BOB"_s, u"secret"_s, 4) + record(u"bob"_s, u"other"_s, 3) +
                                record(QString(), QString(), 4);
        const MemberMatch m = FindMember(file, u"  bob "_s, u" SECRET "_s);
        QVERIFY(m.found && m.name == QLatin1String("BOB") && m.level == 4); // the later match, as stored
        QVERIFY(!FindMember(file, u"bob"_s, u"secre"_s).found);
        QVERIFY(!FindMember(file, u"bo"_s, u"secret"_s).found);
        // A blank slot is not a member.
        QVERIFY(!FindMember(file, QString(), QString()).found);
        QVERIFY(!FindMember(QByteArray(), u"bob"_s, u"secret"_s).found);
        QVERIFY(!FindMember(QByteArray("<html><body>404 Not Found</body></html>").repeated(3), u"bob"_s,
                            u"secret"_s)
                     .found);
        // Typed text outside Latin-1 never matches a stored "?".
        const QByteArray q = record(u"?"_s, u"?"_s, 3);
        QVERIFY(!FindMember(q, u"\u0141"_s, u"\u0141"_s).found);
    }

    // A member name keeps ASCII letters and digits, the ends of each range included, and the caret or
    // selection stays on the letters it was on.
    void nameRuleKeepsLettersDigitsAndTheCaret_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("out");
        QTest::addColumn<int>("outStart");
        QTest::addColumn<int>("outLength");
        QTest::newRow("digit ends") << "0ab9" << 0 << 0 << "0ab9" << 0 << 0;
        QTest::newRow("letter ends") << "aAzZ" << 0 << 0 << "aAzZ" << 0 << 0;
        QTest::newRow("neighbours of the ranges") << "/0:@A[`a{9" << 0 << 0 << "0Aa9" << 0 << 0;
        QTest::newRow("blanks and accents")
            << QString::fromUtf8("J\xC3\xB6 rn 0") << 0 << 0 << "Jrn0" << 0 << 0;
        QTest::newRow("caret at the end") << "Bob-by Smith" << 12 << 0 << "BobbySmith" << 10 << 0;
        QTest::newRow("caret before the removed") << "ab-cd" << 1 << 0 << "abcd" << 1 << 0;
        QTest::newRow("removed inside the selection") << "ab-cd" << 1 << 3 << "abcd" << 1 << 2;
        QTest::newRow("removed after the selection") << "ab-cd" << 0 << 2 << "abcd" << 0 << 2;
        QTest::newRow("removed right at the caret") << "ab-" << 3 << 0 << "ab" << 2 << 0;
        QTest::newRow("only letters and digits")
            << QString::fromUtf8("\xC3\xA9t\xC3\xA9 2_x") << 7 << 0 << "t2x" << 3 << 0;
    }
    void nameRuleKeepsLettersDigitsAndTheCaret() {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(int, length);
        QFETCH(QString, out);
        QFETCH(int, outStart);
        QFETCH(int, outLength);
        QCOMPARE(FilterMemberName(text, start, length), out);
        QCOMPARE(start, outStart);
        QCOMPARE(length, outLength);
    }

    // What the logged-in member may change in a record (existingLevel 0: a new entry).
    void rightsOfTheLoggedInMember_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("existingLevel");
        QTest::addColumn<QString>("existingName");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error");
        const QString rename = u"Only a super user may rename a member."_s;
        const QString makeAdmin = u"Only a super user may make a member an administrator."_s;
        const QString otherAdmin = u"Only a super user may change another administrator."_s;
        const QString ownPassword = u"An administrator may change only their own password."_s;
        QTest::newRow("super user renames an administrator")
            << "velmar" << 4 << "Ann" << 3 << "Anna" << QString();
        QTest::newRow("super user makes a new administrator")
            << "BRENMOOR" << 0 << "" << 4 << "X" << QString();
        QTest::newRow("a longer name is no super user") << "Velmar2" << 3 << "Bob" << 3 << "Robert" << rename;
        QTest::newRow("administrator adds a member") << "Ann" << 0 << "" << 3 << "X" << QString();
        QTest::newRow("administrator adds an administrator") << "Ann" << 0 << "" << 4 << "X" << makeAdmin;
        QTest::newRow("administrator locks a member out") << "Ann" << 3 << "Bob" << 1 << "Bob" << QString();
        QTest::newRow("administrator promotes a member") << "Ann" << 3 << "Bob" << 4 << "Bob" << makeAdmin;
        QTest::newRow("administrator renames a member") << "Ann" << 3 << "Bob" << 3 << "Robert" << rename;
        QTest::newRow("stored blanks are no rename") << "Ann" << 3 << " Bob  " << 3 << "Bob" << QString();
        QTest::newRow("administrator on another administrator")
            << "Ann" << 4 << "Zed" << 4 << "Zed" << otherAdmin;
        QTest::newRow("administrator on themself") << "Ann" << 4 << "ann" << 4 << "ann" << QString();
        QTest::newRow("administrator demotes themself") << "Ann" << 4 << "Ann" << 3 << "Ann" << ownPassword;
    }
    void rightsOfTheLoggedInMember() {
        QFETCH(QString, member);
        QFETCH(int, existingLevel);
        QFETCH(QString, existingName);
        QFETCH(int, level);
        QFETCH(QString, name);
        QFETCH(QString, error);
        runState().CurrentUserName = member;
        std::optional<AccountRecord> existing;
        if (existingLevel)
            existing = AccountRecord{existingName, u"pw"_s, quint8(existingLevel)};
        QCOMPARE(RightsError(IsSuperUser(), member, existing, {name, u"new"_s, quint8(level)}), error);
    }

    void queryValuesAreEncoded() {
        QCOMPARE(AccountQueryUrl(u"http://h:1/"_s, u"Bob"_s, u"pw"_s),
                 u"http://h:1/krg/_files.dat?username=Bob&password=pw"_s);
        QCOMPARE(AccountQueryUrl(u"http://h:1"_s, u" a b"_s, u"x#&=y%"_s),
                 u"http://h:1/krg/_files.dat?username=%20a%20b&password=x%23%26%3Dy%25"_s);
    }

    // The demo site: its account file is built from the member list, its pictures load, and its
    // catalogue names files that are there.
    void demoSiteIsWhole() {
        const QString site = QStringLiteral(KRTP_SOURCE_DIR "/tools/demo/site/");
        QByteArray expected;
        for (const QByteArray& raw : test::readLocal(site + u"../members.txt"_s).split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const QStringList f = line.split(QLatin1Char(','));
            QCOMPARE(f.size(), 3);
            expected += record(f.at(0), f.at(1), quint8(f.at(2).toInt()));
        }
        QCOMPARE(test::readLocal(site + u"krg/_files.dat"_s), expected);
        for (const char* gif : {"images/logo.gif", "images/bob.gif", "krg/logo.gif"})
            QVERIFY2(!QImage(site + QLatin1String(gif)).isNull(), gif);
        const QList<QByteArray> lines = test::readLocal(site + u"krg/_files.txt"_s).split('\n');
        QVERIFY(CheckProgramVersion(QString::fromLatin1(lines.at(0).trimmed())));
        QCOMPARE(lines.at(1).trimmed().toInt(), 5);
        for (int i = 2; i < 7; ++i) {
            QVERIFY(lines.at(i).endsWith('\r'));
            const QByteArray name = lines.at(i).split('"').value(1);
            QVERIFY2(QFileInfo::exists(site + u"krg/"_s + QString::fromLatin1(name)), name);
        }
        QCOMPARE(test::readLocal(site + u"krg/Bob.dat"_s), QByteArray("*full access*"));
    }
};

KRTP_TEST_MAIN_CORE(TestAccounts)
#include "tst_accounts.moc"
