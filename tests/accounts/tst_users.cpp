// The accounts window and its operations against a real loopback host: the window's rules per member,
// applying records, the closing question with the upload, and krtp-cli users.
#include "accounts/gui/frmusers.h"
#include "accounts/useraccounts.h"
#include "accountstestutil.h"
#include "app/gui/frmmainmenu.h"
#include "app/gui/mainmenuhooks.h"
#include "app/login.h"
#include "clirunner.h"
#include "sitetools/editfile.h"
#include "testfiles.h"
#include "testmain.h"
#include "transfer/transfercontrol.h"
#include "windowharness.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

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

    // krtp-cli with the words of line as user (the login's password through the environment): its exit
    // code, a blank, and what it wrote to stdout and then to stderr.
    QByteArray cli(const QString& user, const QString& password, const QString& line) const {
        const CliResult r =
            runCli(cliWords(line) + QStringList{u"--user"_s, user, u"--local-folder"_s, fx.local->path()},
                   {password});
        return QByteArray::number(r.code) + ' ' + r.out + r.err;
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

    void windowRulesPerMemberKind_data() {
        QTest::addColumn<QString>("member");
        QTest::addColumn<int>("row");         // -1: New User
        QTest::addColumn<QString>("enabled"); // name, password, admin, full, read only, locked out, apply
        QTest::addColumn<bool>("clear");
        QTest::addColumn<QString>("checked");
        QTest::newRow("super user on an administrator") << "Velmar" << 1 << "1111111" << true << "optAdmin";
        QTest::newRow("super user adds") << "Velmar" << -1 << "1111111" << true << "optFullAccess";
        QTest::newRow("administrator on another administrator")
            << "Ann" << 2 << "0000000" << false << "optAdmin";
        QTest::newRow("administrator on themself") << "Ann" << 1 << "0100001" << false << "optAdmin";
        QTest::newRow("administrator on full access") << "Ann" << 3 << "0101111" << false << "optFullAccess";
        QTest::newRow("administrator on read only") << "Ann" << 4 << "0101111" << false << "optReadOnly";
        QTest::newRow("administrator on locked out") << "Ann" << 5 << "0101111" << false << "optLockedOut";
        QTest::newRow("unknown level shows as locked out")
            << "Ann" << 6 << "0101111" << false << "optLockedOut";
        QTest::newRow("administrator adds") << "Ann" << -1 << "1101111" << false << "optFullAccess";
    }
    void windowRulesPerMemberKind() {
        QFETCH(QString, member);
        QFETCH(int, row);
        QFETCH(QString, enabled);
        QFETCH(bool, clear);
        QFETCH(QString, checked);
        const QList<AccountRecord> members = team() << AccountRecord{u"Odd"_s, u"odd"_s, 7};
        fx.setAccounts(members);
        fx.logIn(member, 4);
        frmUsers w;
        QVERIFY(load(w));
        QCOMPARE(w.lvwFileList->count(), 7);
        QCOMPARE(w.lvwFileList->item(3)->text(), u"Bob"_s);
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
        for (const QWidget* box :
             std::initializer_list<const QWidget*>{w.txtUserName, w.txtPassword, w.optAdmin, w.optFullAccess,
                                                   w.optReadOnly, w.optLockedOut, w.cmdApplyToUser})
            shown += QLatin1Char(box->isEnabled() ? '1' : '0');
        QCOMPARE(shown, enabled);
        QVERIFY(w.findChild<QRadioButton*>(checked)->isChecked());
        QCOMPARE(w.txtPassword->echoMode() == QLineEdit::Normal, clear);
        QVERIFY(!w.cmdWebAccess->isEnabled()); // no editor connected
        QVERIFY(closeAnswering(w, Dialogs::No));
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
        QVERIFY(closeAnswering(w, Dialogs::Yes));
        QCOMPARE(roster(fx.hostFile(u"_files.dat"_s)).section(QLatin1Char('\n'), 6),
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
        QVERIFY(!FindMember(mirror(), QString(), QString()).found);
        QVERIFY(FindMember(mirror(), u"second"_s, u"two"_s).found);
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

    void duplicateNameAsksFirst() {
        frmUsers w;
        QVERIFY(load(w));
        w.cmdNewUser->click();
        w.txtUserName->setText(u"bob"_s);
        h->answer(Dialogs::No);
        w.cmdApplyToUser->click();
        QCOMPARE(h->lastText(), u"Another member is already named bob.\r\nThe login uses only the "
                                "later of the two records. Save anyway?"_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Warning);
        QCOMPARE(h->records().last().buttons, Dialogs::Yes | Dialogs::No);
        QCOMPARE(mirror().size(), 360);
        QVERIFY(w.fraUserInfo->isVisible());
        h->answer(Dialogs::Yes);
        w.cmdApplyToUser->click();
        QCOMPARE(mirror().size(), 420);
        // Changing the password of a member whose name is unchanged asks nothing.
        const int asked = int(h->records().size());
        w.lvwFileList->setCurrentRow(3);
        w.txtPassword->setText(u"other"_s);
        w.cmdApplyToUser->click();
        QCOMPARE(int(h->records().size()), asked);
        QVERIFY(closeAnswering(w, Dialogs::No));
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
        QVERIFY(w.isVisible());
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
        QCOMPARE(runCli({"whoami", "--user", "newbie"}, {u"NP"_s}).out, QByteArray("Newbie 2\n"));
        QCOMPARE(fx.hostFile(u"_files.dat.backup"_s), accountFile(team()));
        const QByteArray before = fx.hostFile(u"_files.dat"_s);
        struct Refusal {
            const char *user, *password, *line;
            QByteArray said; // without a line break at its end: how the usage text begins
        };
        const Refusal refusals[] = {
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
        for (const Refusal& x : refusals) {
            const QByteArray said =
                cli(QLatin1String(x.user), QLatin1String(x.password), QLatin1String(x.line));
            QCOMPARE(x.said.endsWith('\n') ? said : said.left(x.said.size()), x.said);
            QCOMPARE(fx.hostFile(u"_files.dat"_s), before);
        }
        // Super users rename; an administrator changes their own password.
        QCOMPARE(cli(velmar, keystone, u"users set bob --rename Robert"_s), QByteArray("0 Robert\t3\n"));
        QVERIFY(cli(ann, anvil, u"users set Ann --new-password forge"_s).startsWith("0 "));
        QCOMPARE(runCli({"whoami", "--user", "ann"}, {u"forge"_s}).out, QByteArray("Ann 4\n"));
        // Given twice on the command line, the first --password is the member's, the second the login's.
        QVERIFY(cli(ann, QString(), u"users set Tomas --password pages --password forge"_s)
                    .startsWith("0 Tomas\t2\nWarning: --password"));
        QCOMPARE(runCli({"whoami", "--user", "tomas"}, {u"pages"_s}).out, QByteArray("Tomas 2\n"));
        QCOMPARE(fx.hostAccounts().at(3).Name, u"Robert"_s);
    }
};

KRTP_TEST_MAIN_GUI(TestUsers)
#include "tst_users.moc"
