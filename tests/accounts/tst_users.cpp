// The account file's records and rules, and the accounts window and its operations against a real
// loopback host: the window's rules per member, applying records, the closing question with the
// upload, and krtp-cli users and whoami.
#include "accounts/gui/frmusers.h"
#include "accounts/useraccounts.h"
#include "accountstestutil.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/mainmenuhooks.h"
#include "app/login.h"
#include "buildconfig.h"
#include "clirunner.h"
#include "sitetools/editfile.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

QByteArray record(const QString& name, const QString& password, quint8 level) {
    return EncodeAccountRecord({name, password, level});
}

QByteArray mirror() {
    return readLocal(AccountMirrorPath());
}

// "name:password:level" of each record, a line each.
QString roster(const QByteArray& file) {
    QStringList out;
    for (const AccountRecord& r : ReadAccountRecords(file))
        out << u"%1:%2:%3"_s.arg(r.Name, r.Password).arg(r.Level);
    return out.join(QLatin1Char('\n'));
}

// Shows the window and fills it from the host.
bool load(frmUsers& w) {
    w.show();
    return w.LoadWindow();
}

} // namespace

class TestUsers : public QObject {
    Q_OBJECT
    AccountsFixture fx;
    WindowHarness h;

    // krtp-cli with the words of line as user: its CliResult::line().
    QByteArray cli(const QString& user, const QString& password, const QString& line) const {
        return runCliAs(user, password, line, fx.local->path()).line();
    }
    // krtp-cli whoami the same way: the name and level of an accepted login.
    static QByteArray whoami(const char* user, const char* password) {
        return runCli({"whoami", "--user", user}, {QLatin1String(password), {}, {}}).line();
    }
    // Closes the window answering the closing question; true when it closed.
    bool closeAnswering(frmUsers& w, Dialogs::Button answer) {
        h->answer(answer);
        return w.close();
    }

private slots:
    void initTestCase() { QVERIFY(fx.startHost()); }
    void init() {
        fx.reset();
        fx.logIn(u"Ann"_s, LevelAdministrator);
        frmUsers::EditFile = nullptr;
        h.init();
    }
    void cleanup() { QVERIFY(h.done()); }

    // Every byte, padding blanks included, is stored XOR 255.
    void recordBytes() {
        const QByteArray r = record(u"Bob"_s, u"pw"_s, 3);
        QCOMPARE(r, "\xBD\x90\x9D" + QByteArray(27, char(0xDF)) + "\x8F\x88" + QByteArray(27, char(0xDF)) +
                        "\xFC");
        QByteArray plain = r;
        ScrambleAccountRecord(plain);
        QCOMPARE(plain, QByteArray("Bob") + QByteArray(27, ' ') + "pw" + QByteArray(27, ' ') + char(3));
        ScrambleAccountRecord(plain); // its own inverse
        QCOMPARE(plain, r);
        QCOMPARE(ScrambleText("A "), QByteArray("\xBE\xDF"));
        // "\xDF" scrambles to a blank: a leading or full-width trailing one must survive.
        const QString name = QString::fromLatin1("\xDF") + u"tefan"_s + QString(24, QLatin1Char('x'));
        const QString password =
            QString::fromLatin1("\xE9t\xE9") + QString(25, QLatin1Char('y')) + QString::fromLatin1("\xDF");
        const AccountRecord back = DecodeAccountRecord(record(name, password, 4));
        QVERIFY(back.Name == name && back.Password == password && back.Level == 4);
        // Longer text is cut, text outside Latin-1 refused.
        const AccountRecord cut =
            DecodeAccountRecord(record(QString(31, QLatin1Char('n')), QString(30, QLatin1Char('p')), 2));
        QCOMPARE(cut.Name + cut.Password, QString(30, QLatin1Char('n')) + QString(29, QLatin1Char('p')));
        QString error;
        QVERIFY(EncodeAccountRecord({u"\u0141ukasz"_s, u"pw"_s, 3}, &error).isEmpty());
        QVERIFY(!error.isEmpty());
        QVERIFY(EncodeAccountRecord({u"Lukas"_s, u"\u20AC"_s, 3}).isEmpty());
        QVERIFY(!IsAccountText(u"\u0141"_s));
        QVERIFY(IsAccountText(QString::fromLatin1("\xFF")));
        // Only complete records are read.
        const QByteArray data = record(u"A"_s, u"1"_s, 2) + record(u"B"_s, u"2"_s, 4) + QByteArray(59, 'x');
        QList<AccountRecord> all = ReadAccountRecords(data);
        QCOMPARE(all.size(), 2);
        QVERIFY(all.at(1).Name == QLatin1String("B") && all.at(1).Level == 4);
        QVERIFY(ReadAccountRecords(QByteArray(59, 'x')).isEmpty());
        // Records are written at their number.
        const QString path = fx.localPath(u"_files.dat"_s);
        QVERIFY(WriteAccountRecord(path, 1, {u"Ann"_s, u"a"_s, 3}));
        QVERIFY(WriteAccountRecord(path, 2, {u"Ben"_s, u"b"_s, 2}));
        QVERIFY(WriteAccountRecord(path, 1, {u"Anna"_s, u"a2"_s, 4}));
        // Record 4 leaves record 3 as a gap that was never written.
        QVERIFY(WriteAccountRecord(path, 4, {u"Dan"_s, u"d"_s, 1}));
        QVERIFY(ReadAccountFile(path, all));
        QCOMPARE(all.size(), 4);
        QVERIFY(all.at(0).Name == QLatin1String("Anna") && all.at(0).Level == 4);
        QCOMPARE(all.at(1).Name + all.at(3).Name, u"BenDan"_s);
        QCOMPARE(QFileInfo(path).size(), 240);
        error.clear();
        QVERIFY(!WriteAccountRecord(path, 0, {u"X"_s, {}, 3}, &error));
        QVERIFY(!ReadAccountFile(fx.localPath(u"none.dat"_s), all, &error));
        QVERIFY(!error.isEmpty());
    }

    // The login's query to the host, and the member it finds in the account file.
    void findMember() {
        QCOMPARE(AccountQueryUrl(u"http://h:1/"_s, u"Bob"_s, u"pw"_s),
                 u"http://h:1/krg/_files.dat?username=Bob&password=pw"_s);
        QCOMPARE(AccountQueryUrl(u"http://h:1"_s, u" a b"_s, u"x#&=y%"_s),
                 u"http://h:1/krg/_files.dat?username=%20a%20b&password=x%23%26%3Dy%25"_s);
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
    void nameRuleKeepsLettersDigitsAndTheCaret() {
        // The text, the caret (selection start and length) before, then after.
        const std::tuple<QString, int, int, QString, int, int> rows[] = {
            {u"0ab9"_s, 0, 0, u"0ab9"_s, 0, 0},                           // digit ends
            {u"aAzZ"_s, 0, 0, u"aAzZ"_s, 0, 0},                           // letter ends
            {u"/0:@A[`a{9"_s, 0, 0, u"0Aa9"_s, 0, 0},                     // neighbours of the ranges
            {QString::fromUtf8("J\xC3\xB6 rn 0"), 0, 0, u"Jrn0"_s, 0, 0}, // blanks and accents
            {u"Bob-by Smith"_s, 12, 0, u"BobbySmith"_s, 10, 0},           // caret at the end
            {u"ab-cd"_s, 1, 0, u"abcd"_s, 1, 0},                          // caret before the removed
            {u"ab-cd"_s, 1, 3, u"abcd"_s, 1, 2},                          // removed inside the selection
            {u"ab-cd"_s, 0, 2, u"abcd"_s, 0, 2},                          // removed after the selection
            {u"ab-"_s, 3, 0, u"ab"_s, 2, 0},                              // removed right at the caret
            {QString::fromUtf8("\xC3\xA9t\xC3\xA9 2_x"), 7, 0, u"t2x"_s, 3, 0}}; // only letters and digits
        for (auto [text, start, length, out, outStart, outLength] : rows) {
            QCOMPARE(FilterMemberName(text, start, length), out);
            QVERIFY2(start == outStart && length == outLength, qPrintable(text));
        }
    }

    // What the logged-in member may change in a record (existing level 0: a new entry).
    void rightsOfTheLoggedInMember() {
        const QString rename = u"Only a super user may rename a member."_s;
        const QString makeAdmin = u"Only a super user may make a member an administrator."_s;
        const QString otherAdmin = u"Only a super user may change another administrator."_s;
        const QString ownPassword = u"An administrator may change only their own password."_s;
        // The member, the existing record's level and name, the new level and name, the refusal.
        const std::tuple<const char*, int, const char*, int, const char*, QString> rows[] = {
            {"velmar", 4, "Ann", 3, "Anna", {}},        // super user renames an administrator
            {"BRENMOOR", 0, "", 4, "X", {}},            // super user makes a new administrator
            {"Velmar2", 3, "Bob", 3, "Robert", rename}, // a longer name is no super user
            {"Ann", 0, "", 3, "X", {}},                 // administrator adds a member
            {"Ann", 0, "", 4, "X", makeAdmin},          // ...adds an administrator
            {"Ann", 3, "Bob", 1, "Bob", {}},            // ...locks a member out
            {"Ann", 3, "Bob", 4, "Bob", makeAdmin},     // ...promotes a member
            {"Ann", 3, "Bob", 3, "Robert", rename},     // ...renames a member
            {"Ann", 3, " Bob  ", 3, "Bob", {}},         // stored blanks are no rename
            {"Ann", 4, "Zed", 4, "Zed", otherAdmin},    // ...on another administrator
            {"Ann", 4, "ann", 4, "ann", {}},            // ...on themself
            {"Ann", 4, "Ann", 3, "Ann", ownPassword}};  // ...demotes themself
        for (const auto& [member, existingLevel, existingName, level, name, error] : rows) {
            runState().CurrentUserName = QLatin1String(member);
            std::optional<AccountRecord> existing;
            if (existingLevel)
                existing = AccountRecord{QLatin1String(existingName), u"pw"_s, quint8(existingLevel)};
            QVERIFY2(RightsError(IsSuperUser(), QLatin1String(member), existing,
                                 {QLatin1String(name), u"new"_s, quint8(level)}) == error,
                     qPrintable(QLatin1String(member) + u' ' + QLatin1String(name)));
        }
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

    void windowRulesPerMemberKind() {
        const QList<AccountRecord> members = team() << AccountRecord{u"Odd"_s, u"odd"_s, 7};
        fx.setAccounts(members);
        // The member, the row (-1: New User), the boxes on (name, password, admin, full, read only,
        // locked out, apply), the password in clear, the level ticked.
        const std::tuple<const char*, int, const char*, bool, const char*> rows[] = {
            {"Velmar", 1, "1111111", true, "optAdmin"},       // super user on an administrator
            {"Velmar", -1, "1111111", true, "optFullAccess"}, // super user adds
            {"Ann", 2, "0000000", false, "optAdmin"},         // administrator on another administrator
            {"Ann", 1, "0100001", false, "optAdmin"},         // ...on themself
            {"Ann", 3, "0101111", false, "optFullAccess"},    // ...on full access
            {"Ann", 4, "0101111", false, "optReadOnly"},      // ...on read only
            {"Ann", 5, "0101111", false, "optLockedOut"},     // ...on locked out
            {"Ann", 6, "0101111", false, "optLockedOut"},     // an unknown level shows as locked out
            {"Ann", -1, "1101111", false, "optFullAccess"}};  // administrator adds
        for (const auto& [member, row, enabled, clear, checked] : rows) {
            fx.logIn(QLatin1String(member), 4);
            frmUsers w;
            QVERIFY(load(w));
            QCOMPARE(w.lvwFileList->count(), 7);
            QCOMPARE(w.lvwFileList->item(3)->icon().cacheKey(), w.imglstUsers.value("level3").cacheKey());
            QVERIFY(!w.fraUserInfo->isVisible());
            if (row < 0)
                w.cmdNewUser->click();
            else
                w.lvwFileList->setCurrentRow(row);
            const AccountRecord m = row < 0 ? AccountRecord{u"New User"_s, {}, 0} : members.at(row);
            QCOMPARE(w.selectedIndex(), row < 0 ? 7 : row);
            QCOMPARE(w.lvwFileList->currentItem()->text() + w.txtUserName->text() + w.txtPassword->text(),
                     m.Name + m.Name + m.Password);
            QVERIFY(w.fraUserInfo->isVisible());
            QString shown;
            for (const QWidget* box : std::initializer_list<const QWidget*>{
                     w.txtUserName, w.txtPassword, w.optAdmin, w.optFullAccess, w.optReadOnly, w.optLockedOut,
                     w.cmdApplyToUser})
                shown += QLatin1Char(box->isEnabled() ? '1' : '0');
            QVERIFY2(shown == QLatin1String(enabled), qPrintable(QLatin1String(member) + u' ' + shown));
            QVERIFY(w.findChild<QRadioButton*>(QLatin1String(checked))->isChecked());
            QCOMPARE(w.txtPassword->echoMode() == QLineEdit::Normal, clear);
            QVERIFY(!w.cmdWebAccess->isEnabled()); // no editor connected
            QVERIFY(closeAnswering(w, Dialogs::No));
        }
    }

    void applyCutsTheFieldsAndUpdateServerKeepsABackup() {
        const QByteArray original = fx.hostFile(u"_files.dat"_s);
        fx.logIn(u"velmar"_s, 4);
        frmUsers w;
        QVERIFY(load(w));
        QCOMPARE(mirror(), original);
        w.lvwFileList->setCurrentRow(3);
        w.txtUserName->setText(QString(31, QLatin1Char('R')));
        w.txtPassword->setText(QString(29, QLatin1Char('p')) + QLatin1Char('q'));
        w.optReadOnly->setChecked(true);
        QVERIFY(w.lblUnsent->isHidden());
        w.cmdApplyToUser->click();
        // Applied here, not yet on the host: the window says so until it sends.
        QVERIFY(!w.fraUserInfo->isVisible() && w.lblUnsent->isVisible());
        QCOMPARE(w.lblUnsent->text(), u"Unsent changes: they go to the server when you close this window."_s);
        QCOMPARE(w.lvwFileList->item(3)->text(), QString(30, QLatin1Char('R')));
        QCOMPARE(w.lvwFileList->item(3)->icon().cacheKey(), w.imglstUsers.value("level2").cacheKey());
        QByteArray expected = original;
        expected.replace(
            180, 60, EncodeAccountRecord({QString(30, QLatin1Char('R')), QString(29, QLatin1Char('p')), 2}));
        QCOMPARE(mirror(), expected);
        QCOMPARE(fx.hostFile(u"_files.dat"_s), original); // nothing sent yet
        // Cancel keeps the window; Yes sends, keeps the host's previous file and drops the mirror copy.
        QVERIFY(!closeAnswering(w, Dialogs::Cancel));
        QVERIFY(closeAnswering(w, Dialogs::Yes));
        QCOMPARE(h->records().last().text, u"Update Server with Changes?"_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Question);
        QCOMPARE(h->records().last().buttons, Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QCOMPARE(fx.hostFile(u"_files.dat"_s), expected);
        QCOMPARE(fx.hostFile(u"_files.dat.backup"_s), original);
        QVERIFY(!QFileInfo::exists(AccountMirrorPath()));
    }

    // The name box keeps letters and digits as they are typed, the caret behind the last one kept; the
    // member so added logs in. A stored name is shown as stored, not rewritten by the rule.
    void memberAddedThroughTheWindowLogsIn() {
        frmUsers w;
        QVERIFY(load(w));
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.cmdNewUser->click();
        w.txtUserName->clear();
        w.txtUserName->setFocus();
        QTest::keyClicks(w.txtUserName, u"New-bie Smith"_s);
        QCOMPARE(w.txtUserName->text(), u"NewbieSmith"_s);
        QCOMPARE(w.txtUserName->cursorPosition(), 11);
        w.txtUserName->setCursorPosition(3);
        QTest::keyClicks(w.txtUserName, u" x."_s);
        QCOMPARE(w.txtUserName->text(), u"NewxbieSmith"_s);
        QCOMPARE(w.txtUserName->cursorPosition(), 4);
        w.txtPassword->setText(u"Fresh Start"_s);
        w.optReadOnly->setChecked(true);
        w.cmdApplyToUser->click();
        QCOMPARE(w.lvwFileList->item(6)->text(), u"NewxbieSmith"_s);
        // A name another member has asks first.
        w.cmdNewUser->click();
        w.txtUserName->setText(u"bob"_s);
        h->answer(Dialogs::No);
        w.cmdApplyToUser->click();
        QCOMPARE(h->lastText(), u"Another member is already named bob.\r\nThe login uses only the "
                                "later of the two records. Save anyway?"_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Warning);
        QCOMPARE(h->records().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(mirror().size(), 420);
        QVERIFY(w.fraUserInfo->isVisible());
        h->answer(Dialogs::Yes);
        w.cmdApplyToUser->click();
        QCOMPARE(mirror().size(), 480);
        // Changing the password of a member whose name is unchanged asks nothing.
        const int asked = int(h->records().size());
        w.lvwFileList->setCurrentRow(3);
        w.txtPassword->setText(u"other"_s);
        w.cmdApplyToUser->click();
        QCOMPARE(int(h->records().size()), asked);
        QVERIFY(closeAnswering(w, Dialogs::Yes));
        QCOMPARE(roster(fx.hostFile(u"_files.dat"_s)).section(QLatin1Char('\n'), 6, 6),
                 u"NewxbieSmith:Fresh Start:2"_s);
        fx.setAccounts({{u"Bob Smith"_s, u"pw"_s, 3}});
        frmUsers v;
        QVERIFY(v.LoadWindow());
        v.lvwFileList->setCurrentRow(0);
        QCOMPARE(v.txtUserName->text(), u"Bob Smith"_s);
        QVERIFY(closeAnswering(v, Dialogs::No));
    }

    // Two New User entries, only the second applied: the first becomes a blank, locked-out record that
    // nobody can log in with, and it can still be filled in later.
    void gapIsABlankLockedOutRecord() {
        frmUsers w;
        QVERIFY(load(w));
        w.cmdNewUser->click();
        w.cmdNewUser->click();
        QCOMPARE(w.selectedIndex(), 7);
        w.txtUserName->setText(u"Second"_s);
        w.txtPassword->setText(u"two"_s);
        w.cmdApplyToUser->click();
        QCOMPARE(roster(mirror()).section(QLatin1Char('\n'), 6), u"::1\nSecond:two:3"_s);
        QCOMPARE(mirror().mid(360, 59), QByteArray(59, char(0xDF))); // scrambled blanks, no zero bytes
        // Read afresh, the blank record is a free slot an administrator may fill in like a new entry.
        UserAccounts again(*w.inet, *h);
        again.FillList();
        QVERIFY(again.entries().at(6).text.isEmpty() && again.entries().at(6).level == LevelLockedOut);
        QVERIFY(again.Rules(6).name && !again.Rules(6).admin);
        // The first entry still offers New User and fills the slot.
        w.lvwFileList->setCurrentRow(6);
        QCOMPARE(w.txtUserName->text(), u"New User"_s);
        QVERIFY(w.txtUserName->isEnabled());
        w.txtUserName->setText(u"First"_s);
        w.cmdApplyToUser->click();
        QCOMPARE(roster(mirror()).section(QLatin1Char('\n'), 6), u"First::3\nSecond:two:3"_s);
        QVERIFY(closeAnswering(w, Dialogs::No));
        QCOMPARE(fx.hostAccounts().size(), 6);
        QVERIFY(!QFileInfo::exists(AccountMirrorPath()));
    }

    // "_news" would make the member's access list krg/_news.dat, the news list.
    void namesBeginningWithAnUnderscoreAreRefused() {
        fx.logIn(u"Velmar"_s, 4);
        TransferControl control;
        UserAccounts accounts(control, *h);
        QVERIFY(accounts.Load());
        const QByteArray before = mirror();
        const int added = accounts.NewUser();
        for (const auto& [index, name] : {std::pair{added, "_files"}, std::pair{3, " _news"}}) {
            h->clear();
            QVERIFY(!accounts.Apply(index, {QLatin1String(name), u"pw"_s, 3}));
            QCOMPARE(h->texts(), QStringList{"Member names cannot begin with \"_\"."});
            QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        }
        QCOMPARE(mirror(), before);
        // A stored name is no new one: its other fields may still change.
        QVERIFY(accounts.Apply(3, {u"Bob"_s, u"pw"_s, 2}));
    }

    // Two administrators with the window open at once: each save takes the other's saved changes
    // along; a member both changed keeps the first change, and the second administrator is told.
    void twoAdministratorsKeepEachOthersChanges() {
        // Greta's record as an older program wrote it, padding and all: nobody here touches it.
        QByteArray original = accountFile(team());
        original.replace(5 * 60 + 10, 3, QByteArray("\x00\x01\x02", 3));
        fx.host.write(u"krg/_files.dat"_s, original);
        QTemporaryDir annFolder, zedFolder;
        const auto back = qScopeGuard([this] { QDir::setCurrent(fx.local->path()); });
        const auto in = [](const QTemporaryDir& folder) {
            QDir::setCurrent(folder.path());
            QDir().mkpath(u"VelmarFTP"_s);
        };
        TransferControl annControl;
        UserAccounts ann(annControl, *h);
        in(annFolder);
        QVERIFY(ann.Load());
        in(zedFolder);
        frmUsers zed;
        QVERIFY(load(zed));
        in(annFolder);
        QVERIFY(ann.Apply(3, {u"Bob"_s, u"ann's"_s, 2}));
        QVERIFY(ann.Apply(ann.NewUser(), {u"Ava"_s, u"a"_s, 3}));
        in(zedFolder);
        UserAccounts& z = zed.accounts();
        QVERIFY(z.Apply(4, {u"Tomas"_s, u"zed's"_s, 2}));
        QVERIFY(z.Apply(3, {u"Bob"_s, u"zed's"_s, 3}));
        QVERIFY(z.Apply(z.NewUser(), {u"Ben"_s, u"b"_s, 3}));
        in(annFolder);
        QVERIFY(ann.UpdateServer());
        QVERIFY(h->records().isEmpty());
        in(zedFolder);
        QVERIFY(!closeAnswering(zed, Dialogs::Yes));
        QCOMPARE(h->texts().last(), u"Your changes to Bob were not saved, because another "
                                    "administrator changed this member meanwhile."_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Warning);
        const QByteArray saved = fx.hostFile(u"_files.dat"_s);
        QCOMPARE(roster(saved.mid(3 * 60, 2 * 60) + saved.mid(6 * 60)),
                 u"Bob:ann's:2\nTomas:zed's:2\nAva:a:3\nBen:b:3"_s);
        QCOMPARE(saved.left(3 * 60), original.left(3 * 60));
        QCOMPARE(saved.mid(5 * 60, 60), original.mid(5 * 60, 60));
        // The window shows the members as saved, to make the change again.
        QCOMPARE(zed.lvwFileList->count(), 8);
        QCOMPARE(zed.lvwFileList->item(7)->text(), u"Ben"_s);
        QVERIFY(closeAnswering(zed, Dialogs::No));
    }

    void failedUploadKeepsTheWindowOpen() {
        LoopbackHost locked;
        QTemporaryDir seed;
        QVERIFY(writeLocal(seed.filePath(u"krg/_files.dat"_s), accountFile(team())));
        locked.addReadOnlyFolder(u"krg"_s);
        QVERIFY(locked.start(seed.path()));
        const auto restore = qScopeGuard([&] { fx.host.exportEnvironment(); });
        frmUsers w;
        QVERIFY(load(w));
        w.lvwFileList->setCurrentRow(3);
        w.txtPassword->setText(u"changed"_s);
        w.cmdApplyToUser->click();
        QVERIFY(!closeAnswering(w, Dialogs::Yes));
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(locked.read(u"krg/_files.dat"_s), accountFile(team()));
        QVERIFY(QFileInfo::exists(AccountMirrorPath()));
        QVERIFY(closeAnswering(w, Dialogs::No));
        QVERIFY(!QFileInfo::exists(AccountMirrorPath()));
    }

    // Without the host's account file nothing can be added or sent: an upload would replace every
    // member with what the window holds.
    void missingAccountFileChangesNothing() {
        QFile::remove(fx.host.path(u"krg/_files.dat"_s));
        frmUsers w;
        QVERIFY(!load(w));
        QCOMPARE(w.lvwFileList->count(), 0);
        QVERIFY(!w.cmdNewUser->isEnabled());
        QCOMPARE(h->records().size(), 1); // the download's own report
        QVERIFY(w.close());
        QCOMPARE(h->records().size(), 1);
        QVERIFY(!fx.hostHas(u"_files.dat"_s));
    }

    // The application connects the site tools' editor: the access list is downloaded, edited and sent
    // back with its backup. A name from the host that would lead out of the control folder never
    // reaches the editor, nor one whose list would be the account file itself, nor an empty one.
    void webSiteAccessEditsTheAccessList() {
        fx.host.write(u"krg/Bob.dat"_s, "*full access*");
        fx.setAccounts(team() << AccountRecord{u"..\\..\\x"_s, u"x"_s, 3}
                              << AccountRecord{u"_files"_s, u"x"_s, 3});
        frmMainMenu menu;
        ConnectMainMenuWindows(menu);
        QStringList opened;
        EditWindowHooks hooks;
        hooks.showModal = [&](EditSession& session, QObject*) {
            opened << session.path() << session.text();
            session.setText(u"news/\r\n*add files*"_s);
            QCOMPARE(session.send(), EditSession::Send::Sent);
        };
        SetEditWindowHooks(hooks);
        const auto restore = qScopeGuard([] {
            SetEditWindowHooks({});
            frmUsers::EditFile = nullptr;
        });
        frmUsers w;
        QVERIFY(load(w));
        w.lvwFileList->setCurrentRow(3);
        QVERIFY(w.cmdWebAccess->isEnabled());
        QDir(u"VelmarFTP"_s).removeRecursively();
        w.cmdWebAccess->click();
        QCOMPARE(opened, (QStringList{u"krg\\Bob.dat"_s, u"*full access*"_s}));
        QCOMPARE(fx.hostFile(u"Bob.dat"_s), QByteArray("news/\r\n*add files*"));
        QCOMPARE(fx.hostFile(u"Bob.dat.backup"_s), QByteArray("*full access*"));
        QVERIFY(QFileInfo(u"VelmarFTP/krg"_s).isDir());
        for (int row : {6, 7}) {
            w.lvwFileList->setCurrentRow(row);
            w.cmdWebAccess->click();
            QCOMPARE(h->lastText(), u"The member name \"%1\" cannot be used as the name of an "
                                    "access list."_s.arg(fx.hostAccounts().at(row).Name));
        }
        w.lvwFileList->setCurrentRow(3);
        w.txtUserName->setEnabled(true);
        w.txtUserName->clear();
        w.cmdWebAccess->click();
        QCOMPARE(opened.size(), 2);
        QVERIFY(closeAnswering(w, Dialogs::No));
    }

    void cliListsAndSets() {
        const QString velmar = u"velmar"_s, keystone = u"keystone"_s, ann = u"Ann"_s, anvil = u"anvil"_s;
        QCOMPARE(cli(velmar, keystone, u"users list"_s),
                 QByteArray("0 Velmar\t4\nAnn\t4\nZed\t4\nBob\t3\nTomas\t2\nGreta\t1\n"));
        QVERIFY(!QFileInfo::exists(fx.local->filePath(AccountMirrorPath())));
        // A line break in a name from the host cannot print a member of its own.
        fx.setAccounts(team() << AccountRecord{u"Eve\r\nMallory\t4\x1b[2J"_s, u"x"_s, 2});
        const QByteArray listed = cli(velmar, keystone, u"users list"_s);
        QVERIFY(listed.startsWith("0 ") && listed.endsWith("\nGreta\t1\nEve\\r\\nMallory\\t4\\x1b[2J\t2\n"));
        fx.setAccounts(team());
        // A new member: with the login's password in the environment, --password is the member's.
        QCOMPARE(cli(ann, anvil, u"users set Newbie --new --password np --level 2"_s),
                 QByteArray("0 Newbie\t2\n"));
        QCOMPARE(whoami(" newbie ", "NP"), QByteArray("0 Newbie 2\n"));
        QCOMPARE(whoami("newbie", "np2"), QByteArray("1 Invalid Username/Password\n"));
        QCOMPARE(fx.hostFile(u"_files.dat.backup"_s), accountFile(team()));
        const QByteArray before = fx.hostFile(u"_files.dat"_s);
        // The login, the line and the reply (without a line break at its end: how the usage text begins).
        const std::tuple<const char*, const char*, const char*, QByteArray> refusals[] = {
            {"bob", "builder", "users list", "1 Only administrators may edit the members.\n"},
            {"bob", "wrong", "users list", "1 Invalid Username/Password\n"},
            {"Ann", "anvil", "users set Zed --new-password x",
             "1 Only a super user may change another administrator.\n"},
            {"Ann", "anvil", "users set Bob --level 4",
             "1 Only a super user may make a member an administrator.\n"},
            {"Ann", "anvil", "users set Bob --rename Robert", "1 Only a super user may rename a member.\n"},
            {"Ann", "anvil", "users set Nobody --level 2", "1 Nobody is not a member.\n"},
            {"Ann", "anvil", "users set Bob --level 9", "2 usage: krtp-cli users"},
            {"Ann", "anvil", "users set Bob-by --new",
             "2 Member names may contain only the letters A to Z and the digits 0 to 9.\n"},
            {"Ann", "anvil", "users set _files --new", "1 Member names cannot begin with \"_\".\n"},
            {"Ann", "anvil", "users set bob --new",
             "1 Another member is already named bob.\nThe login uses only the later of the two records. Save "
             "anyway?\n"},
        };
        for (const auto& [user, password, line, expected] : refusals) {
            const QByteArray said = cli(QLatin1String(user), QLatin1String(password), QLatin1String(line));
            QCOMPARE(expected.endsWith('\n') ? said : said.left(expected.size()), expected);
            QCOMPARE(fx.hostFile(u"_files.dat"_s), before);
        }
        // Super users rename; an administrator changes their own password.
        QCOMPARE(cli(velmar, keystone, u"users set bob --rename Robert"_s), QByteArray("0 Robert\t3\n"));
        QVERIFY(cli(ann, anvil, u"users set Ann --new-password forge"_s).startsWith("0 "));
        QCOMPARE(whoami("ann", "forge"), QByteArray("0 Ann 4\n"));
        // Given twice on the command line, the first --password is the member's, the second the login's.
        QVERIFY(cli(ann, QString(), u"users set Tomas --password pages --password forge"_s)
                    .startsWith("0 Tomas\t2\nWarning: --password"));
        QCOMPARE(whoami("tomas", "pages"), QByteArray("0 Tomas 2\n"));
        QCOMPARE(fx.hostAccounts().at(3).Name, u"Robert"_s);
    }
};

KRTP_TEST_MAIN_GUI(TestUsers)
#include "tst_users.moc"
