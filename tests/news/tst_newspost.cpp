// News: the page list, the date and time, filling a template and inserting the item without a host;
// the news window and krtp-cli news against a loopback host, what lands in the page byte by byte.
#include "clirunner.h"
#include "config/siteconfig.h"
#include "newstestutil.h"
#include "sitetools/exploreractions.h"
#include "sitetools/gui/frmpostnews.h"
#include "sitetools/newspages.h"
#include "testmain.h"
#include "windowharness.h"

#include <QtTest>
#include <QtWidgets>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

// Also notes the default answer of every input box.
struct DefaultsDialogs : ScriptedDialogs {
    QStringList defaults;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& defaultText) override {
        defaults << defaultText;
        return ScriptedDialogs::input(title, prompt, defaultText);
    }
};

QByteArray teamItem(const QByteArray& subject, const QByteArray& post) {
    return "<p>bob 12/5/26 3:05PM EST: " + subject + "<br>" + post + "</p>\r\n";
}

QByteArray pageWith(const QByteArray& item) {
    return QByteArray(kTeamPage).replace("<!--begin-->", "<!--begin-->" + item);
}

} // namespace

class TestNewsPost : public QObject {
    Q_OBJECT
    NewsFixture fx;
    WindowHarness h;

    // A loaded window posting "at" 3:05 in the afternoon of 5 December 2026, on the page named.
    std::unique_ptr<frmPostNews> openWindow(const QString& page = u"Team News"_s) {
        auto w = std::make_unique<frmPostNews>();
        w->show();
        w->LoadWindow();
        w->poster().clock = [] { return QDateTime(QDate(2026, 12, 5), QTime(15, 5)); };
        w->cboWhichPage[0]->setCurrentText(page);
        w->txtTimeZone->setText(u"EST"_s);
        return w;
    }

    // krtp-cli with the words of line ('quoted words' may hold blanks) as user, from the test's folder:
    // its CliResult::line().
    QByteArray cli(const QString& user, const QString& password, const QString& line) const {
        return runCliAs(user, password, line, fx.local->path()).line();
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
                     bob ? u"Team News|team/news.html|team/template.html"_s
                         : u"Main News|news.html|news_template.html"_s);
            w.cboWhichPage[0]->setCurrentIndex(1);
            QCOMPARE(w.cboWhichPage[1]->currentIndex(), 1);
            QCOMPARE(w.poster().pagePath(), bob ? u"twice.html"_s : u"team/news.html"_s);
            QCOMPARE(w.poster().templatePath(), w.cboWhichPage[2]->itemText(1));
            // The time zone typed is kept for the next window, even when this one is cancelled.
            QCOMPARE(w.txtTimeZone->text(), bob ? u"EST"_s : u"CET"_s);
            w.txtTimeZone->setText(u"CET"_s);
            w.cmdCancel->click();
        }
        QCOMPARE(fx.settings->get(settings::PostNewsTimeZone), u"CET"_s);
        QVERIFY(h->records().isEmpty());
    }

    void previewThenPostPublishesOnceAndCloses() {
        RecordingDesktopServices desktop;
        auto w = openWindow();
        w->txtSubject->setText(u"Once"_s);
        w->txtNews->setPlainText(u"line one\nline two"_s);
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
        const QString local = QDir::current().absoluteFilePath(u"VelmarFTP/team/news.html"_s);
        QCOMPARE(desktop.calls, QStringList{u"open "_s + local});
        const QByteArray expected = pageWith(teamItem("Once", "line one<BR>line two"));
        QCOMPARE(readLocal(local), expected);
        QCOMPARE(fx.host.read(u"team/news.html"_s), kTeamPage);
        w->cmdPost->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(fx.host.read(u"team/news.html"_s), expected);
        QCOMPARE(fx.host.read(u"team/news.html.backup"_s), kTeamPage);
        QCOMPARE(h->texts(), QStringList{"Your news was posted to team/news.html."});
    }

    // A refused post leaves the window open with its text, and sends nothing. Without the marker
    // there is nowhere to put the item.
    void refusalsLeaveTheWindowOpen() {
        auto w = openWindow(u"Plain"_s);
        w->txtNews->setPlainText(u"kept"_s);
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(w->txtNews->toPlainText(), u"kept"_s);
        QCOMPARE(h->texts(), QStringList{"plain.html has no <!--begin--> marker, so nothing was posted."});
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        w->cboWhichPage[0]->setCurrentIndex(0);
        w->txtNews->setPlainText(u"  \n "_s);
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(h->lastText(), u"You must type something in order to make a news post @_@"_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Warning);
        // A path from the host that leaves the site folder is never fetched or written.
        w->cboWhichPage[0]->setCurrentText(u"Outside"_s);
        w->txtNews->setPlainText(u"x"_s);
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(h->records().last().icon, Dialogs::Icon::Critical);
        QVERIFY(h->lastText().contains(QLatin1String("../outside.html")));
        QVERIFY(!QFileInfo::exists(u"outside.html"_s));
        // A missing template ends the post with the download's report.
        QFile::remove(fx.host.path(u"team/template.html"_s));
        w->cboWhichPage[0]->setCurrentIndex(0);
        const int before = int(h->records().size());
        w->cmdPost->click();
        QVERIFY(w->isVisible());
        QCOMPARE(int(h->records().size()), before + 1);
        QCOMPARE(fx.host.read(u"team/news.html"_s), kTeamPage);
        w->close();
        // Without a news list there is no page to post to.
        QFile::remove(fx.host.path(u"krg/_news.dat"_s));
        frmPostNews empty;
        empty.LoadWindow();
        empty.txtNews->setPlainText(u"x"_s);
        empty.cmdPreview->click();
        QCOMPARE(h->lastText(), u"Please Select a News Page."_s);
        QCOMPARE(h->records().last().icon, Dialogs::Icon::None);
    }

    // The insert buttons, then the member's name GIF shown and replaced.
    void insertButtonsAndNameGif() {
        QTemporaryDir pictures;
        const QString first = pictures.filePath(u"first.png"_s), second = pictures.filePath(u"second.png"_s);
        QImage picture(120, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(first, "PNG"));
        picture.fill(Qt::blue);
        QVERIFY(picture.save(second, "PNG"));
        fx.host.write(u"bob.gif"_s, readLocal(first));
        DefaultsDialogs d;
        auto w = openWindow();
        w->txtNews->setPlainText(u"Hello all"_s);
        QTextCursor c = w->txtNews->textCursor();
        c.setPosition(6);
        c.setPosition(9, QTextCursor::KeepAnchor);
        w->txtNews->setTextCursor(c);
        // New Member inserts before the selection and keeps it.
        d.answerText(u"Dovrin"_s);
        w->cmdNewMember->click();
        QCOMPARE(d.records().last().title + u'|' + d.lastText() + u'|' + d.defaults.last(),
                 u"New Member|Please enter the name of the new member|Dovrin"_s);
        QCOMPARE(w->txtNews->toPlainText(), u"Hello \n<b>KR Welcomes Dovrin to the KR Team!</b>all"_s);
        // Hyperlink: three questions; the selected text is the proposed link text and is replaced.
        w->txtNews->setPlainText(u"see the rules"_s);
        c = w->txtNews->textCursor();
        c.setPosition(8);
        c.setPosition(13, QTextCursor::KeepAnchor);
        w->txtNews->setTextCursor(c);
        d.answerText(u"http://h/rules.html"_s);
        d.answer(Dialogs::Yes);
        d.answerText(u"rules"_s);
        w->cmdInsertHyperlink->click();
        QCOMPARE(d.defaults.mid(d.defaults.size() - 2),
                 (QStringList{u"http://www.example.com/"_s, u"rules"_s}));
        QCOMPARE(d.records().at(d.records().size() - 2).buttons,
                 Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
        QCOMPARE(d.records().at(d.records().size() - 2).title, u"Insert Hyperlink"_s);
        QCOMPARE(w->txtNews->toPlainText(),
                 u"see the <a href=\"http://h/rules.html\" target=\"_TOP\">rules</a>"_s);
        // Cancel at the second question changes nothing; without a selection the proposal is "click here".
        d.answerText(u"x.html"_s);
        d.answer(Dialogs::Cancel);
        w->cmdInsertHyperlink->click();
        QCOMPARE(w->txtNews->toPlainText(),
                 u"see the <a href=\"http://h/rules.html\" target=\"_TOP\">rules</a>"_s);
        d.answerText(u"x.html"_s);
        d.answer(Dialogs::No);
        d.answerText(u"click here"_s);
        w->cmdInsertHyperlink->click();
        QCOMPARE(d.defaults.last(), u"click here"_s);
        QVERIFY(w->txtNews->toPlainText().endsWith(QLatin1String("</a><a href=\"x.html\">click here</a>")));
        // Image: the member's name GIF on the site is the default.
        w->txtNews->setPlainText(u"pic"_s);
        d.answerText(u"http://h/bob.gif"_s);
        w->cmdInsertImage->click();
        QCOMPARE(d.defaults.last(), siteConfig().baseUrl + u"bob.gif"_s);
        QCOMPARE(d.records().last().title, u"Insert Image"_s);
        QCOMPARE(w->txtNews->toPlainText(), u"<img src=\"http://h/bob.gif\" border=\"0\">pic"_s);
        // An empty answer inserts nothing.
        d.answerText(QString());
        w->cmdNewMember->click();
        QCOMPARE(w->txtNews->toPlainText(), u"<img src=\"http://h/bob.gif\" border=\"0\">pic"_s);
        QCOMPARE(w->txtNameGIF->text(), u"bob.gif"_s);
        QCOMPARE(w->picNameGIF->pixmap().size(), QSize(96, 26));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
        d.answerFiles(std::nullopt);
        w->cmdChangeGIF->click();
        QCOMPARE(d.lastText(), u"Replace bob.gif With..."_s);
        QCOMPARE(d.records().last().filter, ExplorerActions::FileFilter());
        QVERIFY(w->isEnabled());
        d.answerFiles(QStringList{second});
        w->cmdChangeGIF->click();
        QCOMPARE(fx.host.read(u"bob.gif"_s), readLocal(second));
        QCOMPARE(fx.host.read(u"bob.gif.backup"_s), readLocal(first));
        QCOMPARE(w->picNameGIF->pixmap().toImage().pixelColor(5, 5), QColor(Qt::blue));
        QVERIFY(w->isEnabled());
        QCOMPARE(d.busyDepth(), 0);
        // A choice that cannot be copied (a folder) leaves the member's GIF as it was.
        d.answerFiles(QStringList{pictures.path()});
        w->cmdChangeGIF->click();
        QCOMPARE(readLocal(u"VelmarFTP/bob.gif"_s), readLocal(second));
        QVERIFY(!QFileInfo::exists(u"VelmarFTP/bob.gif.part"_s));
        QCOMPARE(fx.host.read(u"bob.gif"_s), readLocal(second));
        QVERIFY(w->isEnabled());
        // No name GIF on the host: nothing shown and nothing said.
        QFile::remove(fx.host.path(u"bob.gif"_s));
        QFile::remove(u"VelmarFTP/bob.gif"_s);
        d.clear();
        w->LoadNameGif();
        QVERIFY(w->picNameGIF->pixmap().isNull());
        QVERIFY(d.records().isEmpty());
        QVERIFY(d.unexpected().isEmpty());
    }

    // Two members post at the same moment: each item goes into the page as the other left it.
    void twoPostsAtOnceBothAppear() {
        QTemporaryDir texts;
        QVERIFY(writeLocal(texts.filePath(u"n.txt"_s), "news"));
        // Slow replies, so that both are between fetching and sending the page together.
        fx.host.setFaults("{\"latency_ms\": 40}");
        const auto noFaults = qScopeGuard([this] { fx.host.setFaults({}); });
        // Each member posts from a local folder of their own.
        QTemporaryDir folders[2];
        QProcess posts[2];
        for (int i = 0; i < 2; ++i)
            startCli(posts[i],
                     cliWords(u"news post 'Team News' --subject %1 --text-file %2 --at '2026-12-05 "
                              "15:05' --time-zone EST --user bob --local-folder %3"_s.arg(
                                  QLatin1String(i ? "second" : "first"), texts.filePath(u"n.txt"_s),
                                  folders[i].path())),
                     {u"builder"_s});
        for (QProcess& p : posts)
            QCOMPARE(finishCli(p).out, QByteArray("Posted to team/news.html\n"));
        const QByteArray page = fx.host.read(u"team/news.html"_s), one = teamItem("first", "news"),
                         two = teamItem("second", "news");
        QVERIFY2(page == pageWith(one + two) || page == pageWith(two + one), page.constData());
    }

    void cliPagesPostAndRefusals() {
        const QString bob = u"bob"_s, builder = u"builder"_s;
        QCOMPARE(cli(bob, builder, u"news pages"_s),
                 QByteArray("0 Team News\tteam/news.html\tteam/template.html\n"
                            "Twice\ttwice.html\tteam/template.html\n"
                            "Plain\tplain.html\tteam/template.html\n"
                            "Outside\t../outside.html\tteam/template.html\n"));
        QTemporaryDir texts;
        const QString text = texts.filePath(u"news.txt"_s);
        QVERIFY(writeLocal(text, "first line\nsecond line\n"));
        const QString post = u"news post 'team news' --subject 'From the shell' --text-file "_s + text +
                             u" --at '2026-12-05 15:05' --time-zone EST"_s;
        QCOMPARE(cli(bob, builder, post + u" --preview"_s),
                 "0 " + fx.local->filePath(u"VelmarFTP/team/news.html"_s).toLocal8Bit() + "\n");
        QCOMPARE(cli(bob, builder, post), QByteArray("0 Posted to team/news.html\n"));
        QCOMPARE(fx.host.read(u"team/news.html"_s),
                 pageWith(teamItem("From the shell", "first line<BR>second line<BR>")));
        // The login, the line and the reply (without a line break at its end: how the usage text begins).
        const std::tuple<const char*, const char*, const char*, QByteArray> refusals[] = {
            {"bob", "builder", "news post 'Main News' --subject s --text-file TEXT",
             "1 Main News is not a news page offered to you.\n"},
            {"tomas", "reader", "news pages", "1 Posting news needs Full Access.\n"},
            {"bob", "builder", "news post Plain --subject s --text-file TEXT --at tomorrow",
             "2 usage: krtp-cli news"},
            {"bob", "wrong", "news pages", "1 Invalid Username/Password\n"},
            {"bob", "builder", "news post Plain --subject s --text-file TEXT",
             "1 plain.html has no <!--begin--> marker, so nothing was posted.\n"},
        };
        for (const auto& [user, password, line, expected] : refusals) {
            const QByteArray said = cli(QLatin1String(user), QLatin1String(password),
                                        QString::fromLatin1(line).replace(u"TEXT"_s, text));
            QCOMPARE(expected.endsWith('\n') ? said : said.left(expected.size()), expected);
        }
        QVERIFY(!fx.host.exists(u"plain.html.backup"_s));
    }

    void pageListLeavesOutExcludedMembers() {
        const QString main = u"Main News,news.html,news_template.html,bob\r\n"_s;
        const QStringList mainPage{u"Main News|news.html|news_template.html"_s};
        // The list, the member, the pages offered as display|page|template.
        const std::tuple<QString, const char*, QStringList> rows[] = {
            {main, "bob", {}},          // excluded member
            {main, "BOB", {}},          // excluded in other letter case
            {main, "Dovrin", mainPage}, // another member
            {main, "bobby", mainPage},  // a longer name
            {u"Main News,news.html,news_template.html, bob"_s, "bob", mainPage}, // names are not trimmed
            {u"A,a.html,t.html,x,y,TOMAS\r\nB,b.html,t.html,x\r\n"_s, "tomas", {"B|b.html|t.html"}},
            {u"Only a name\r\nA,a.html"_s, "bob", {"Only a name||", "A|a.html|"}}, // missing fields are empty
            {u"A,a.html,t.html\r\n\r\nB,b.html,t.html\nC,c.html,t.html"_s,
             "bob", // empty lines, bare LF
             {"A|a.html|t.html", "B|b.html|t.html", "C|c.html|t.html"}},
            {QString(), "bob", {}}};
        for (const auto& [text, member, offered] : rows) {
            QStringList got;
            for (const NewsPage& p : ParseNewsPages(text, QLatin1String(member)))
                got << p.displayName + QLatin1Char('|') + p.pagePath + QLatin1Char('|') + p.templatePath;
            QCOMPARE(got, offered);
        }
    }

    // Template, subject, news and the item they make, posted by Bob at 3:05 PM on 5 December 2026
    // unless a fifth field says when.
    void templateFilledInOrder_data() {
        QTest::addColumn<QStringList>("row");
        QTest::newRow("the example") << QStringList{"@NICKNAME@ @DATE@ @TIME@@AMPM@ @TIMEZONE@", "", "x",
                                                    "bob 12/5/26 3:05PM EST"};
        QTest::newRow("two lines") << QStringList{"@POST@", "", "line one\r\nline two",
                                                  "line one<BR>line two"};
        QTest::newRow("bare line feeds") << QStringList{"@POST@", "", "a\nb\r\n\nc", "a<BR>b<BR><BR>c"};
        QTest::newRow("placeholders ignore case") << QStringList{"@nickname@/@Subject@", "Hi", "x", "bob/Hi"};
        QTest::newRow("a later placeholder inside the subject")
            << QStringList{"@SUBJECT@", "@TIMEZONE@ @DATE@ @NICKNAME@", "x", "EST @DATE@ @NICKNAME@"};
        QTest::newRow("an earlier placeholder inside the news")
            << QStringList{"@POST@", "s", "@SUBJECT@ & <i>as typed</i>", "@SUBJECT@ & <i>as typed</i>"};
        QTest::newRow("just after midnight")
            << QStringList{"@DATE@|@TIME@|@AMPM@", "", "x", "1/9/05|12:07|AM", "2005-01-09 00:07"};
        QTest::newRow("noon") << QStringList{"@DATE@|@TIME@|@AMPM@", "", "x", "10/31/30|12:00|PM",
                                             "2030-10-31 12:00"};
        QTest::newRow("morning") << QStringList{"@DATE@|@TIME@|@AMPM@", "", "x", "2/29/00|11:59|AM",
                                                "2000-02-29 11:59"};
        QTest::newRow("every occurrence") << QStringList{"@NICKNAME@@NICKNAME@ @AMPM@", "", "x", "bobbob PM"};
    }
    void templateFilledInOrder() {
        QFETCH(QStringList, row);
        const QDateTime when =
            QDateTime::fromString(row.value(4, u"2026-12-05 15:05"_s), u"yyyy-MM-dd HH:mm"_s);
        QCOMPARE(FillNewsTemplate(row[0], u"Bob"_s, when, {row[1], u"EST"_s, row[2]}), row[3]);
    }

    void itemInsertedAfterEveryMarker() {
        const QString accented = u"\u00E9\u20AC"_s;
        // The page, the item, the page with it and the markers found.
        const std::tuple<QByteArray, QString, QByteArray, int> rows[] = {
            {"<p>quiet</p>\r\n"_ba, u"NEW"_s, "<p>quiet</p>\r\n"_ba, 0},
            {"a<!--begin-->\r\nb"_ba, u"NEW"_s, "a<!--begin-->NEW\r\nb"_ba, 1},
            {"<!--begin-->x<!--BEGIN-->"_ba, u"N"_s, "<!--begin-->Nx<!--BEGIN-->N"_ba, 2}, // case kept
            {"<!--begin-->"_ba, accented, "<!--begin-->&#233;&#8364;"_ba, 1},              // ascii page
            {"\xEF\xBB\xBF\xC3\xA9<!--begin-->"_ba, accented,
             "\xEF\xBB\xBF\xC3\xA9<!--begin-->\xC3\xA9\xE2\x82\xAC"_ba, 1}, // utf-8 page
            {"caf\xE9 \x93q\x94<!--begin-->\xFF"_ba, accented,
             "caf\xE9 \x93q\x94<!--begin-->\xE9&#8364;\xFF"_ba, 1}, // single-byte page
            {"<!--begin-->"_ba, QString::fromUtf8("\xF0\x9F\x98\x80"), "<!--begin-->&#128512;"_ba, 1}};
        for (const auto& [page, item, result, count] : rows) {
            int found = -1;
            QCOMPARE(InsertNewsItem(page, item, &found), result);
            QCOMPARE(found, count);
        }
    }

    void sitePathsFromTheHostAreChecked() {
        for (const char* usable : {"news.html", "news/index.html", "news\\index.html", "team news/a b.html"})
            QVERIFY2(SitePathError(QLatin1String(usable)).isEmpty(), usable);
        for (const char* refused : {"", "../index.html", "news/../../x.html", "/etc/passwd", "c:\\x.html",
                                    "a.html\nDELE x", "a.html\r", "a\".html", "news/"})
            QVERIFY2(!SitePathError(QLatin1String(refused)).isEmpty(), refused);
    }
};

KRTP_TEST_MAIN_GUI(TestNewsPost)
#include "tst_newspost.moc"
