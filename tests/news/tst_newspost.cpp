// The news window and krtp-cli news against a real loopback host: what lands in the page on the host,
// byte by byte, and the window's buttons.
#include "clirunner.h"
#include "config/siteconfig.h"
#include "newstestutil.h"
#include "sitetools/exploreractions.h"
#include "sitetools/gui/frmpostnews.h"
#include "testmain.h"
#include "windowharness.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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

} // namespace

class TestNewsPost : public QObject {
    Q_OBJECT
    NewsFixture fx;
    WindowHarness h;

    // A loaded window posting "at" 3:05 in the afternoon of 5 December 2026, on the page named.
    std::unique_ptr<frmPostNews> openWindow(const QString& page = QStringLiteral("Team News")) {
        auto w = std::make_unique<frmPostNews>();
        w->show();
        w->LoadWindow();
        w->poster().clock = [] { return kWhen; };
        w->cboWhichPage[0]->setCurrentText(page);
        w->txtTimeZone->setText(QStringLiteral("EST"));
        return w;
    }

    // krtp-cli with the words of line ('quoted words' may hold blanks) as user, from the test's folder:
    // its exit code, a blank, and what it wrote to stdout and then to stderr.
    QByteArray cli(const QString& user, const QString& password, const QString& line) const {
        const CliResult r =
            runCli(cliWords(line) + QStringList{QStringLiteral("--user"), user,
                                                QStringLiteral("--local-folder"), fx.local->path()},
                   {password});
        return QByteArray::number(r.code) + ' ' + r.out + r.err;
    }

private slots:
    void initTestCase() { QVERIFY(fx.start()); }
    void init() {
        fx.reset();
        h.init();
    }
    void cleanup() { QVERIFY(h.done()); }

    // The page list as the member may use it; the page and template boxes follow the page chosen.
    void pageListFollowsTheMember() {
        for (const char* member : {"BOB", "Dovrin"}) {
            runState().CurrentUserName = QLatin1String(member);
            frmPostNews w;
            w.LoadWindow();
            const bool bob = member == QByteArray("BOB");
            QCOMPARE(w.cboWhichPage[0]->count(), bob ? 4 : 5);
            QCOMPARE(w.cboWhichPage[0]->currentText() + QLatin1Char('|') + w.poster().pagePath() +
                         QLatin1Char('|') + w.poster().templatePath(),
                     bob ? QStringLiteral("Team News|team/news.html|team/template.html")
                         : QStringLiteral("Main News|news.html|news_template.html"));
            w.cboWhichPage[0]->setCurrentIndex(1);
            QCOMPARE(w.cboWhichPage[1]->currentIndex(), 1);
            QCOMPARE(w.poster().pagePath(),
                     bob ? QStringLiteral("twice.html") : QStringLiteral("team/news.html"));
            QCOMPARE(w.poster().templatePath(), w.cboWhichPage[2]->itemText(1));
        }
        QVERIFY(h->records().isEmpty());
    }

    void previewThenPostPublishesOnceAndCloses() {
        RecordingDesktopServices desktop;
        auto w = openWindow();
        w->txtSubject->setText(QStringLiteral("Once"));
        w->txtNews->setPlainText(QStringLiteral("line one\nline two"));
        // No program for pages on this desktop: the member is told, as Enter in the file list tells.
        desktop.result = false;
        w->cmdPreview->click();
        QCOMPARE(h->texts(),
                 QStringList{"VelmarFTP/team/news.html could not be opened: no program is registered "
                             "for it, or the file is missing from your local folder."});
        h->clear();
        desktop.calls.clear();
        desktop.result = true;
        w->cmdPreview->click();
        QVERIFY(w->isVisible());
        const QString local = QDir::current().absoluteFilePath(QStringLiteral("VelmarFTP/team/news.html"));
        QCOMPARE(desktop.calls, QStringList{QStringLiteral("open ") + local});
        const QByteArray expected = pageWith(teamItem("Once", "line one<BR>line two"));
        QCOMPARE(readLocal(local), expected);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);
        w->cmdPost->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(w->poster().lastInsertCount(), 1);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), expected);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html.backup")), kTeamPage);
        QCOMPARE(h->texts(), QStringList{"Your news was posted to team/news.html."});
    }

    // A refused post leaves the window open with its text, and sends nothing. Without the marker
    // there is nowhere to put the item.
    void refusalsLeaveTheWindowOpen() {
        auto w = openWindow(QStringLiteral("Plain"));
        w->txtNews->setPlainText(QStringLiteral("kept"));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(w->txtNews->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(h->texts(), QStringList{"plain.html has no <!--begin--> marker, so nothing was posted."});
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        QCOMPARE(fx.host.read(QStringLiteral("plain.html")), QByteArray("<p>no marker</p>\r\n"));
        w->cboWhichPage[0]->setCurrentIndex(0);
        w->txtNews->setPlainText(QStringLiteral("  \n "));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(h->lastText(), QStringLiteral("You must type something in order to make a news post @_@"));
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Warning);
        // A path from the host that leaves the site folder is never fetched or written.
        w->cboWhichPage[0]->setCurrentText(QStringLiteral("Outside"));
        w->txtNews->setPlainText(QStringLiteral("x"));
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        QVERIFY(h->lastText().contains(QLatin1String("../outside.html")));
        QVERIFY(!QFileInfo::exists(QStringLiteral("outside.html")));
        // A missing template ends the post with the download's report.
        QFile::remove(fx.host.path(QStringLiteral("team/template.html")));
        w->cboWhichPage[0]->setCurrentIndex(0);
        const int before = int(h->records().size());
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(int(h->records().size()), before + 1);
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);
        w->close();
        // Without a news list there is no page to post to.
        QFile::remove(fx.host.path(QStringLiteral("krg/_news.dat")));
        h->clear();
        frmPostNews empty;
        empty.LoadWindow();
        QCOMPARE(empty.cboWhichPage[0]->count(), 0);
        empty.txtNews->setPlainText(QStringLiteral("x"));
        empty.cmdPreview->click();
        QCOMPARE(h->lastText(), QStringLiteral("Please Select a News Page."));
        QCOMPARE(h->records().last().icon, Dialogs::Icon::None);
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
        QVERIFY(d.unexpected().isEmpty());
    }

    void nameGifIsShownAndReplaced() {
        QTemporaryDir pictures;
        const QString first = pictures.filePath(QStringLiteral("first.png")),
                      second = pictures.filePath(QStringLiteral("second.png"));
        QImage picture(120, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(first, "PNG"));
        picture.fill(Qt::blue);
        QVERIFY(picture.save(second, "PNG"));
        fx.host.write(QStringLiteral("bob.gif"), readLocal(first));
        auto w = openWindow();
        QCOMPARE(w->txtNameGIF->text(), QStringLiteral("bob.gif"));
        QCOMPARE(w->picNameGIF->pixmap().size(), QSize(96, 26));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
        h->answerFiles(std::nullopt);
        w->cmdChangeGIF->click();
        QCOMPARE(h->texts(), QStringList{"Replace bob.gif With..."});
        QCOMPARE(h->records().last().filter, ExplorerActions::FileFilter());
        QVERIFY(w->isEnabled());
        h->answerFiles(QStringList{second});
        w->cmdChangeGIF->click();
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif")), readLocal(second));
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif.backup")), readLocal(first));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::blue));
        QVERIFY(w->isEnabled());
        QCOMPARE(h->busyDepth(), 0);
        // A choice that cannot be copied (a folder) leaves the member's GIF as it was.
        h->answerFiles(QStringList{pictures.path()});
        w->cmdChangeGIF->click();
        QCOMPARE(readLocal(QStringLiteral("VelmarFTP/bob.gif")), readLocal(second));
        QVERIFY(!QFileInfo::exists(QStringLiteral("VelmarFTP/bob.gif.part")));
        QCOMPARE(fx.host.read(QStringLiteral("bob.gif")), readLocal(second));
        QVERIFY(w->isEnabled());
        // No name GIF on the host: nothing shown and nothing said.
        QFile::remove(fx.host.path(QStringLiteral("bob.gif")));
        QFile::remove(QStringLiteral("VelmarFTP/bob.gif"));
        h->clear();
        w->LoadNameGif();
        QVERIFY(w->picNameGIF->pixmap().isNull());
        QVERIFY(h->records().isEmpty());
    }

    void timeZoneIsRemembered() {
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

    // Two members post at the same moment: each item goes into the page as the other left it.
    void twoPostsAtOnceBothAppear() {
        QTemporaryDir texts;
        QVERIFY(writeLocal(texts.filePath(QStringLiteral("n.txt")), "news"));
        // Slow replies, so that both are between fetching and sending the page together.
        fx.host.setFaults("{\"latency_ms\": 40}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        // Each member posts from a local folder of their own.
        QTemporaryDir folders[2];
        QProcess posts[2];
        for (int i = 0; i < 2; ++i)
            startCli(
                posts[i],
                cliWords(QStringLiteral("news post 'Team News' --subject %1 --text-file %2 --at '2026-12-05 "
                                        "15:05' --time-zone EST --user bob --local-folder %3")
                             .arg(QLatin1String(i ? "second" : "first"),
                                  texts.filePath(QStringLiteral("n.txt")), folders[i].path())),
                {QStringLiteral("builder")});
        for (QProcess& p : posts) {
            const CliResult r = finishCli(p);
            QCOMPARE(r.code, 0);
            QCOMPARE(r.out, QByteArray("Posted to team/news.html\n"));
        }
        const QByteArray page = fx.host.read(QStringLiteral("team/news.html"));
        QCOMPARE(page.count(teamItem("first", "news")), 1);
        QCOMPARE(page.count(teamItem("second", "news")), 1);
        QCOMPARE(page.size(),
                 kTeamPage.size() + teamItem("first", "news").size() + teamItem("second", "news").size());
    }

    void cliPagesPostAndRefusals() {
        const QString bob = QStringLiteral("bob"), builder = QStringLiteral("builder");
        QCOMPARE(cli(bob, builder, QStringLiteral("news pages")),
                 QByteArray("0 Team News\tteam/news.html\tteam/template.html\n"
                            "Twice\ttwice.html\tteam/template.html\n"
                            "Plain\tplain.html\tteam/template.html\n"
                            "Outside\t../outside.html\tteam/template.html\n"));
        QTemporaryDir texts;
        const QString text = texts.filePath(QStringLiteral("news.txt"));
        QVERIFY(writeLocal(text, "first line\nsecond line\n"));
        const QString post = QStringLiteral("news post 'team news' --subject 'From the shell' --text-file ") +
                             text + QStringLiteral(" --at '2026-12-05 15:05' --time-zone EST");
        QCOMPARE(cli(bob, builder, post + QStringLiteral(" --preview")),
                 "0 " + fx.local->filePath(QStringLiteral("VelmarFTP/team/news.html")).toLocal8Bit() + "\n");
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")), kTeamPage);
        QCOMPARE(cli(bob, builder, post), QByteArray("0 Posted to team/news.html\n"));
        QCOMPARE(fx.host.read(QStringLiteral("team/news.html")),
                 pageWith(teamItem("From the shell", "first line<BR>second line<BR>")));
        struct Refusal {
            const char *user, *password, *line;
            QByteArray said; // without a line break at its end: how the usage text begins
        };
        const Refusal refusals[] = {
            {"bob", "builder", "news post 'Main News' --subject s --text-file TEXT",
             "1 Main News is not a news page offered to you.\n"},
            {"tomas", "reader", "news pages", "1 Posting news needs Full Access.\n"},
            {"bob", "builder", "news post Plain --subject s --text-file TEXT --at tomorrow",
             "2 usage: krtp-cli news"},
            {"bob", "wrong", "news pages", "1 Invalid Username/Password\n"},
            {"bob", "builder", "news post Plain --subject s --text-file TEXT",
             "1 plain.html has no <!--begin--> marker, so nothing was posted.\n"},
        };
        for (const Refusal& x : refusals) {
            const QByteArray said = cli(QLatin1String(x.user), QLatin1String(x.password),
                                        QString::fromLatin1(x.line).replace(QStringLiteral("TEXT"), text));
            QCOMPARE(x.said.endsWith('\n') ? said : said.left(x.said.size()), x.said);
        }
        QVERIFY(!fx.host.exists(QStringLiteral("plain.html.backup")));
    }
};

KRTP_TEST_MAIN_GUI(TestNewsPost)
#include "tst_newspost.moc"
