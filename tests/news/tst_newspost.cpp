// The news window and krtp-cli news against a real loopback host: what lands in the page on the host,
// byte by byte, and the window's buttons.
#include "app/gui/frmmainmenu.h"
#include "app/gui/mainmenuhooks.h"
#include "config/siteconfig.h"
#include "newstestutil.h"
#include "scripteddialogs.h"
#include "sitetools/exploreractions.h"
#include "sitetools/gui/frmpostnews.h"
#include "testmain.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTextCursor>

using namespace krtp;
using namespace krtp::test;

namespace {

// Also notes the default answer of every input box.
class DefaultsDialogs : public ScriptedDialogs {
public:
    QStringList defaults;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& defaultText) override {
        defaults << defaultText;
        return ScriptedDialogs::input(title, prompt, defaultText);
    }
};

const QDateTime kWhen(QDate(2026, 12, 5), QTime(15, 5));

QByteArray teamItem(const QByteArray& subject, const QByteArray& post) {
    return "<p>bob 12/5/26 3:05PM EST: " + subject + "<br>" + post + "</p>\r\n";
}

QByteArray pageWith(const QByteArray& item) {
    QByteArray page = kTeamPage;
    return page.replace("<!--begin-->", "<!--begin-->" + item);
}

struct Cli {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// The login's password goes through the environment, as members are told to give it.
Cli runCli(const QStringList& args, const QString& loginPassword = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("KRTP_PASSWORD"));
    if (!loginPassword.isEmpty())
        env.insert(QStringLiteral("KRTP_PASSWORD"), loginPassword);
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"), args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

class TestNewsPost : public QObject {
    Q_OBJECT
    NewsFixture fx;

    // A loaded window posting "at" 3:05 in the afternoon of 5 December 2026, on the page named.
    std::unique_ptr<frmPostNews> openWindow(const QString& page = QStringLiteral("Team News")) {
        auto w = std::make_unique<frmPostNews>();
        w->show();
        w->LoadWindow();
        w->poster().clock = [] { return kWhen; };
        const int index = w->cboWhichPage[0]->findText(page);
        if (index >= 0)
            w->cboWhichPage[0]->setCurrentIndex(index);
        w->txtTimeZone->setText(QStringLiteral("EST"));
        return w;
    }

    QStringList cliLogin(const QString& user) const {
        return {QStringLiteral("--user"), user, QStringLiteral("--local-folder"), fx.local->path()};
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() { fx.reset(); }

    void pageListFollowsTheMember() {
        ScriptedDialogs d;
        for (const char* member : {"Bob", "BOB", "Dovrin"}) {
            runState().CurrentUserName = QLatin1String(member);
            frmPostNews w;
            w.LoadWindow();
            QStringList shown, pages, templates;
            for (int i = 0; i < w.cboWhichPage[0]->count(); ++i) {
                shown << w.cboWhichPage[0]->itemText(i);
                pages << w.cboWhichPage[1]->itemText(i);
                templates << w.cboWhichPage[2]->itemText(i);
            }
            const bool bob = QByteArray(member).toLower() == "bob";
            QCOMPARE(shown.contains(QStringLiteral("Main News")), !bob);
            QCOMPARE(shown.first(), bob ? QStringLiteral("Team News") : QStringLiteral("Main News"));
            QCOMPARE(pages.first(), bob ? QStringLiteral("team/news.html") : QStringLiteral("news.html"));
            QCOMPARE(templates.first(),
                     bob ? QStringLiteral("team/template.html") : QStringLiteral("news_template.html"));
            QCOMPARE(w.poster().pagePath(), pages.first());
            QCOMPARE(w.poster().templatePath(), templates.first());
            w.cboWhichPage[0]->setCurrentIndex(1);
            QCOMPARE(w.cboWhichPage[1]->currentIndex(), 1);
            QCOMPARE(w.poster().pagePath(), pages.at(1));
            QCOMPARE(w.poster().templatePath(), templates.at(1));
        }
        QVERIFY(d.records().isEmpty());
    }

    void postPublishesTheItemAndCloses() {
        ScriptedDialogs d;
        auto w = openWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Post News"));
        w->txtSubject->setText(QStringLiteral("Hello"));
        w->txtNews->setPlainText(QStringLiteral("line one\nline two"));
        w->txtTimeZone->setText(QStringLiteral("EST"));
        w->cmdPost->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")),
                 pageWith(teamItem("Hello", "line one<BR>line two")));
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html.backup")), kTeamPage);
        QCOMPARE(fx.host.read(QStringLiteral("team/template.html")), kTeamTemplate);
        QCOMPARE(d.texts(), QStringList{"Your news was posted to team/news.html."});
    }

    // Without the marker there is nowhere to put the item: the post fails, nothing is sent and the
    // window keeps the text for another page.
    void pageWithoutMarkerIsAFailedPost() {
        ScriptedDialogs d;
        auto w = openWindow(QStringLiteral("Plain"));
        w->txtNews->setPlainText(QStringLiteral("kept"));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(w->txtNews->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(d.texts(), QStringList{"plain.html has no <!--begin--> marker, so nothing was posted."});
        QCOMPARE(d.records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(QStringLiteral("plain.html")), QByteArray("<p>no marker</p>\r\n"));
        QVERIFY(!fx.host.exists(QStringLiteral("plain.html.backup")));

        QTemporaryDir texts;
        QVERIFY(writeLocal(texts.filePath(QStringLiteral("n.txt")), "n"));
        const Cli r = runCli(QStringList{"news", "post", "Plain", "--subject", "s", "--text-file",
                                         texts.filePath(QStringLiteral("n.txt"))} +
                                 cliLogin("bob"),
                             "builder");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("plain.html has no <!--begin--> marker, so nothing was posted.\n"));
        QCOMPARE(r.out, QByteArray());
        QVERIFY(!fx.host.exists(QStringLiteral("plain.html.backup")));
    }

    void pageWithTwoMarkers() {
        ScriptedDialogs d;
        auto w = openWindow(QStringLiteral("Twice"));
        w->txtNews->setPlainText(QStringLiteral("n"));
        w->txtSubject->setText(QStringLiteral("S"));
        QVERIFY(w->ComposePost(true));
        QCOMPARE(w->poster().lastInsertCount(), 2);
        const QByteArray item = teamItem("S", "n");
        QCOMPARE(fx.host.read(QStringLiteral("twice.html")),
                 "<!--begin-->" + item + "A<!--BEGIN-->" + item + "B");
        QVERIFY(d.records().isEmpty());
    }

    void previewThenPostPublishesOnce() {
        ScriptedDialogs d;
        RecordingDesktopServices desktop;
        auto w = openWindow();
        w->txtSubject->setText(QStringLiteral("Once"));
        w->txtNews->setPlainText(QStringLiteral("only once"));
        // No program for pages on this desktop: the member is told, as Enter in the file list tells.
        desktop.result = false;
        w->cmdPreview->click();
        QCOMPARE(d.texts(),
                 QStringList{"VelmarFTP/team/news.html could not be opened: no program is registered "
                             "for it, or the file is missing from your local folder."});
        d.clear();
        desktop.calls.clear();
        desktop.result = true;
        w->cmdPreview->click();
        QVERIFY(w->isVisible());
        const QString local = QDir::current().absoluteFilePath(QStringLiteral("VelmarFTP/team/news.html"));
        QCOMPARE(desktop.calls, QStringList{QStringLiteral("open ") + local});
        const QByteArray expected = pageWith(teamItem("Once", "only once"));
        QCOMPARE(readLocal(local), expected);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);
        w->cmdPost->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), expected);
        QCOMPARE(d.texts(), QStringList{"Your news was posted to team/news.html."});
    }

    void pageInAnotherEncodingKeepsItsBytes() {
        ScriptedDialogs d;
        const QByteArray page = "<p>Caf\xE9 \x93news\x94</p><!--begin-->\r\n<p>\xFC</p>";
        fx.host.write(QStringLiteral("team/news.html"), page);
        auto w = openWindow();
        w->txtSubject->setText(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x82\xAC"));
        w->txtNews->setPlainText(QStringLiteral("x"));
        QVERIFY(w->ComposePost(true));
        QByteArray expected = page;
        expected.replace("<!--begin-->", "<!--begin-->" + teamItem("Gr\xFC\xDF"
                                                                   "e &#8364;",
                                                                   "x"));
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), expected);
        QVERIFY(d.records().isEmpty());
    }

    void refusalsLeaveTheWindowOpen() {
        DefaultsDialogs d;
        auto w = openWindow();
        w->txtNews->setPlainText(QStringLiteral("  \n "));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(d.lastText(), QStringLiteral("You must type something in order to make a news post @_@"));
        QCOMPARE(d.records().last().icon, Dialogs::Icon::Warning);
        // A path from the host that leaves the site folder is never fetched or written.
        w->cboWhichPage[0]->setCurrentIndex(w->cboWhichPage[0]->findText(QStringLiteral("Outside")));
        w->txtNews->setPlainText(QStringLiteral("x"));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(d.records().last().icon, Dialogs::Icon::Critical);
        QVERIFY(d.lastText().contains(QLatin1String("../outside.html")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("outside.html")));
        // A missing template ends the post with the download's report.
        QFile::remove(fx.host.path(QStringLiteral("team/template.html")));
        w->cboWhichPage[0]->setCurrentIndex(0);
        const int before = int(d.records().size());
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(int(d.records().size()), before + 1);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);
        w->close();

        // Without a news list there is no page to post to.
        QFile::remove(fx.host.path(QStringLiteral("krg/_news.dat")));
        d.clear();
        frmPostNews empty;
        empty.LoadWindow();
        QCOMPARE(empty.cboWhichPage[0]->count(), 0);
        empty.txtNews->setPlainText(QStringLiteral("x"));
        empty.cmdPreview->click();
        QCOMPARE(d.lastText(), QStringLiteral("Please Select a News Page."));
        QCOMPARE(d.records().last().icon, Dialogs::Icon::None);
        QVERIFY(d.unexpected().isEmpty());
    }

    void insertButtons() {
        DefaultsDialogs d;
        auto w = openWindow();
        w->txtNews->setPlainText(QStringLiteral("Hello all"));
        QTextCursor c = w->txtNews->textCursor();
        c.setPosition(6);
        c.setPosition(9, QTextCursor::KeepAnchor);
        w->txtNews->setTextCursor(c);

        // New Member inserts before the selection and keeps it.
        d.answerText(QStringLiteral("Dovrin"));
        w->cmdNewMember->click();
        QCOMPARE(d.records().last().title, QStringLiteral("New Member"));
        QCOMPARE(d.lastText(), QStringLiteral("Please enter the name of the new member"));
        QCOMPARE(d.defaults.last(), QStringLiteral("Dovrin"));
        QCOMPARE(w->txtNews->toPlainText(),
                 QStringLiteral("Hello \n<b>KR Welcomes Dovrin to the KR Team!</b>all"));

        // Hyperlink: three questions; the selected text is the proposed link text and is replaced.
        w->txtNews->setPlainText(QStringLiteral("see the rules"));
        c = w->txtNews->textCursor();
        c.setPosition(8);
        c.setPosition(13, QTextCursor::KeepAnchor);
        w->txtNews->setTextCursor(c);
        d.answerText(QStringLiteral("http://h/rules.html"));
        d.answer(Dialogs::Yes);
        d.answerText(QStringLiteral("rules"));
        w->cmdInsertHyperlink->click();
        QCOMPARE(d.defaults.mid(d.defaults.size() - 2),
                 (QStringList{QStringLiteral("http://www.example.com/"), QStringLiteral("rules")}));
        QCOMPARE(d.records().at(d.records().size() - 2).buttons,
                 Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QCOMPARE(d.records().at(d.records().size() - 2).title, QStringLiteral("Insert Hyperlink"));
        QCOMPARE(w->txtNews->toPlainText(),
                 QStringLiteral("see the <a href=\"http://h/rules.html\" target=\"_TOP\">rules</a>"));
        // Cancel at the second question changes nothing; without a selection the proposal is "click here".
        d.answerText(QStringLiteral("x.html"));
        d.answer(Dialogs::Cancel);
        w->cmdInsertHyperlink->click();
        QCOMPARE(w->txtNews->toPlainText(),
                 QStringLiteral("see the <a href=\"http://h/rules.html\" target=\"_TOP\">rules</a>"));
        d.answerText(QStringLiteral("x.html"));
        d.answer(Dialogs::No);
        d.answerText(QStringLiteral("click here"));
        w->cmdInsertHyperlink->click();
        QCOMPARE(d.defaults.last(), QStringLiteral("click here"));
        QVERIFY(w->txtNews->toPlainText().endsWith(QLatin1String("</a><a href=\"x.html\">click here</a>")));

        // Image: the member's name GIF on the site is the default.
        w->txtNews->setPlainText(QStringLiteral("pic"));
        d.answerText(QStringLiteral("http://h/bob.gif"));
        w->cmdInsertImage->click();
        QCOMPARE(d.defaults.last(), siteConfig().baseUrl + QStringLiteral("bob.gif"));
        QCOMPARE(d.records().last().title, QStringLiteral("Insert Image"));
        QCOMPARE(w->txtNews->toPlainText(), QStringLiteral("<img src=\"http://h/bob.gif\" border=\"0\">pic"));
        // An empty answer inserts nothing.
        d.answerText(QString());
        w->cmdNewMember->click();
        QCOMPARE(w->txtNews->toPlainText(), QStringLiteral("<img src=\"http://h/bob.gif\" border=\"0\">pic"));

        // The welcome line reaches the page as its own line.
        w->txtNews->setPlainText(QStringLiteral("Hi"));
        w->txtNews->moveCursor(QTextCursor::End);
        d.answerText(QStringLiteral("Dovrin"));
        w->cmdNewMember->click();
        QVERIFY(w->ComposePost(true));
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")),
                 pageWith(teamItem("", "Hi<BR><b>KR Welcomes Dovrin to the KR Team!</b>")));
        QVERIFY(d.unexpected().isEmpty());
    }

    void nameGifIsShownAndReplaced() {
        ScriptedDialogs d;
        QImage red(120, 30, QImage::Format_RGB32);
        red.fill(Qt::red);
        QTemporaryDir pictures;
        const QString first = pictures.filePath(QStringLiteral("first.png"));
        QVERIFY(red.save(first, "PNG"));
        fx.host.write(QStringLiteral("bob.gif"), readLocal(first));
        QImage blue(red);
        blue.fill(Qt::blue);
        const QString second = pictures.filePath(QStringLiteral("second.png"));
        QVERIFY(blue.save(second, "PNG"));

        auto w = openWindow();
        QCOMPARE(w->txtNameGIF->text(), QStringLiteral("bob.gif"));
        QVERIFY(w->txtNameGIF->isReadOnly());
        QCOMPARE(w->picNameGIF->pixmap().size(), QSize(96, 26));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));

        d.answerFiles(std::nullopt);
        w->cmdChangeGIF->click();
        QCOMPARE(d.records().last().text, QStringLiteral("Replace bob.gif With..."));
        QCOMPARE(d.records().last().filter, ExplorerActions::FileFilter());
        QCOMPARE(d.records().size(), 1);
        QVERIFY(w->isEnabled());

        d.answerFiles(QStringList{second});
        w->cmdChangeGIF->click();
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif")), readLocal(second));
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif.backup")), readLocal(first));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::blue));
        QVERIFY(w->isEnabled());
        QCOMPARE(d.busyDepth(), 0);

        // A choice that cannot be copied (a folder) leaves the member's GIF as it was.
        d.answerFiles(QStringList{pictures.path()});
        w->cmdChangeGIF->click();
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/bob.gif")), readLocal(second));
        QVERIFY(!QFileInfo::exists(QStringLiteral("VelmarFTP/bob.gif.part")));
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif")), readLocal(second));
        QVERIFY(w->isEnabled());
        QVERIFY(d.unexpected().isEmpty());

        // No name GIF on the host: nothing shown and nothing said.
        QFile::remove(fx.host.path(QStringLiteral("bob.gif")));
        QFile::remove(QStringLiteral("VelmarFTP/bob.gif"));
        d.clear();
        w->LoadNameGif();
        QVERIFY(w->picNameGIF->pixmap().isNull());
        QVERIFY(d.records().isEmpty());
    }

    void timeZoneIsRemembered() {
        ScriptedDialogs d;
        {
            frmPostNews w;
            w.LoadWindow();
            QCOMPARE(w.txtTimeZone->text(), QStringLiteral("EST"));
            w.txtTimeZone->setText(QStringLiteral("CET"));
            w.cmdCancel->click();
        }
        QCOMPARE(fx.settings->get(settings::PostNewsTimeZone), QStringLiteral("CET"));
        frmPostNews again;
        again.LoadWindow();
        QCOMPARE(again.txtTimeZone->text(), QStringLiteral("CET"));
    }

    void mainMenuOpensTheWindowForFullAccess() {
        ScriptedDialogs d;
        fx.host.write(QStringLiteral("krg/_message.dat"), "2.0.5\r\nHello");
        for (quint8 level : {quint8(2), quint8(3)}) {
            runState().UserLevel = level;
            frmMainMenu menu;
            ConnectMainMenuWindows(menu);
            QVERIFY(menu.LoadWindow());
            QCOMPARE(menu.cmdPostNews->isEnabled(), level >= 3);
            if (level < 3) {
                QVERIFY(!frmPostNews::ShowPostNews());
                continue;
            }
            menu.cmdPostNews->click();
            QPointer<frmPostNews> w = frmPostNews::instance();
            QVERIFY(w && w->isVisible());
            QCOMPARE(w->cboWhichPage[0]->currentText(), QStringLiteral("Team News"));
            menu.cmdPostNews->click();
            QCOMPARE(frmPostNews::instance(), w.data());
            w->close();
            QTRY_VERIFY(!w);
        }
        QVERIFY(d.records().isEmpty());
    }

    // Two members post at the same moment: each item goes into the page as the other left it.
    void twoPostsAtOnceBothAppear() {
        QTemporaryDir texts;
        QVERIFY(writeLocal(texts.filePath(QStringLiteral("n.txt")), "news"));
        // Slow replies, so that both are between fetching and sending the page together.
        fx.host.setFaults("{\"latency_ms\": 40}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        // Each member posts from a local folder of their own.
        QTemporaryDir folders[2];
        std::unique_ptr<QProcess> posts[2];
        const char* subjects[2] = {"first", "second"};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KRTP_PASSWORD"), QStringLiteral("builder"));
        for (int i = 0; i < 2; ++i) {
            posts[i] = std::make_unique<QProcess>();
            posts[i]->setProcessEnvironment(env);
            posts[i]->start(qEnvironmentVariable("KRTP_BINARY_DIR") + QStringLiteral("/src/krtp-cli"),
                            QStringList{"news", "post", "Team News", "--subject", subjects[i], "--text-file",
                                        texts.filePath(QStringLiteral("n.txt")), "--at", "2026-12-05 15:05",
                                        "--time-zone", "EST", "--user", "bob", "--local-folder",
                                        folders[i].path()});
        }
        // The one that waits for the other says so on stderr.
        for (auto& p : posts) {
            QVERIFY(p->waitForFinished(60000));
            QCOMPARE(p->exitCode(), 0);
            QCOMPARE(p->readAllStandardOutput(), QByteArray("Posted to team/news.html\n"));
        }
        const QByteArray page = fx.host.read(QStringLiteral("team/news.html"));
        QCOMPARE(page.count(teamItem("first", "news")), 1);
        QCOMPARE(page.count(teamItem("second", "news")), 1);
        QCOMPARE(page.size(),
                 kTeamPage.size() + teamItem("first", "news").size() + teamItem("second", "news").size());
    }

    void cliPagesAndPost() {
        Cli r = runCli(QStringList{"news", "pages"} + cliLogin("bob"), "builder");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("Team News\tteam/news.html\tteam/template.html\n"
                                   "Twice\ttwice.html\tteam/template.html\n"
                                   "Plain\tplain.html\tteam/template.html\n"
                                   "Outside\t../outside.html\tteam/template.html\n"));

        QTemporaryDir texts;
        const QString text = texts.filePath(QStringLiteral("news.txt"));
        QVERIFY(writeLocal(text, "first line\nsecond line\n"));
        const QStringList post{"news",        "post", "team news", "--subject",        "From the shell",
                               "--text-file", text,   "--at",      "2026-12-05 15:05", "--time-zone",
                               "EST"};
        r = runCli(post + QStringList{"--preview"} + cliLogin("bob"), "builder");
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, fx.local->filePath(QStringLiteral("VelmarFTP/team/news.html")).toLocal8Bit() + "\n");
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);

        r = runCli(post + cliLogin("bob"), "builder");
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("Posted to team/news.html\n"));
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")),
                 pageWith(teamItem("From the shell", "first line<BR>second line<BR>")));

        r = runCli(QStringList{"news", "post", "Main News", "--subject", "s", "--text-file", text} +
                       cliLogin("bob"),
                   "builder");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Main News is not a news page offered to you.\n"));
        r = runCli(QStringList{"news", "pages"} + cliLogin("tomas"), "reader");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Posting news needs Full Access.\n"));
        r = runCli(
            QStringList{"news", "post", "Plain", "--subject", "s", "--text-file", text, "--at", "tomorrow"} +
                cliLogin("bob"),
            "builder");
        QCOMPARE(r.code, 2);
        r = runCli(QStringList{"news", "pages"} + cliLogin("bob"), "wrong");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QByteArray("Invalid Username/Password\n"));
    }
};

KRTP_TEST_MAIN_GUI(TestNewsPost)
#include "tst_newspost.moc"
