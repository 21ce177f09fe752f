// News composition without a host: the page list, the date and time, filling a template and
// inserting the item into a page of any encoding.
#include "sitetools/newspages.h"
#include "testmain.h"

#include <QTest>

using namespace krtp;
using namespace Qt::StringLiterals;

class TestNews : public QObject {
    Q_OBJECT

private slots:
    void pageListLeavesOutExcludedMembers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QStringList>("offered"); // display|page|template
        const QString main = u"Main News,news.html,news_template.html,bob\r\n"_s;
        const QStringList mainPage{u"Main News|news.html|news_template.html"_s};
        QTest::newRow("excluded member") << main << "bob" << QStringList();
        QTest::newRow("excluded in other letter case") << main << "BOB" << QStringList();
        QTest::newRow("another member") << main << "Dovrin" << mainPage;
        QTest::newRow("a longer name") << main << "bobby" << mainPage;
        QTest::newRow("names are not trimmed")
            << "Main News,news.html,news_template.html, bob" << QString("bob") << mainPage;
        QTest::newRow("any later field") << "A,a.html,t.html,x,y,TOMAS\r\nB,b.html,t.html,x\r\n"
                                         << QString("tomas") << QStringList{"B|b.html|t.html"};
        QTest::newRow("missing fields are empty")
            << "Only a name\r\nA,a.html" << QString("bob") << QStringList{"Only a name||", "A|a.html|"};
        QTest::newRow("empty lines and bare LF")
            << "A,a.html,t.html\r\n\r\nB,b.html,t.html\nC,c.html,t.html" << QString("bob")
            << QStringList{"A|a.html|t.html", "B|b.html|t.html", "C|c.html|t.html"};
        QTest::newRow("empty list") << QString() << "bob" << QStringList();
    }
    void pageListLeavesOutExcludedMembers() {
        QFETCH(QString, text);
        QFETCH(QString, member);
        QFETCH(QStringList, offered);
        QStringList got;
        for (const NewsPage& p : ParseNewsPages(text, member))
            got << p.displayName + QLatin1Char('|') + p.pagePath + QLatin1Char('|') + p.templatePath;
        QCOMPARE(got, offered);
    }

    void dateAndTime_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("shown"); // date|time|AM or PM
        QTest::newRow("afternoon") << QDateTime(QDate(2026, 12, 5), QTime(15, 5)) << "12/5/26|3:05|PM";
        QTest::newRow("just after midnight")
            << QDateTime(QDate(2005, 1, 9), QTime(0, 7)) << "1/9/05|12:07|AM";
        QTest::newRow("noon") << QDateTime(QDate(2030, 10, 31), QTime(12, 0)) << "10/31/30|12:00|PM";
        QTest::newRow("morning") << QDateTime(QDate(2000, 2, 29), QTime(11, 59)) << "2/29/00|11:59|AM";
    }
    void dateAndTime() {
        QFETCH(QDateTime, when);
        QFETCH(QString, shown);
        QCOMPARE(NewsDate(when) + QLatin1Char('|') + NewsTime(when) + QLatin1Char('|') + NewsAmPm(when),
                 shown);
    }

    // Template, subject, news and the item they make, posted by Bob at 3:05 PM on 5 December 2026.
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
        QTest::newRow("every occurrence") << QStringList{"@NICKNAME@@NICKNAME@ @AMPM@", "", "x", "bobbob PM"};
    }
    void templateFilledInOrder() {
        QFETCH(QStringList, row);
        const QDateTime when(QDate(2026, 12, 5), QTime(15, 5));
        QCOMPARE(FillNewsTemplate(row[0], u"Bob"_s, when, {row[1], u"EST"_s, row[2]}), row[3]);
    }

    void itemInsertedAfterEveryMarker_data() {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<int>("count");
        const QString accented = u"\u00E9\u20AC"_s;
        QTest::newRow("no marker") << "<p>quiet</p>\r\n"_ba << u"NEW"_s << "<p>quiet</p>\r\n"_ba << 0;
        QTest::newRow("one marker") << "a<!--begin-->\r\nb"_ba << u"NEW"_s << "a<!--begin-->NEW\r\nb"_ba << 1;
        QTest::newRow("two markers, case kept")
            << "<!--begin-->x<!--BEGIN-->"_ba << u"N"_s << "<!--begin-->Nx<!--BEGIN-->N"_ba << 2;
        QTest::newRow("ascii page") << "<!--begin-->"_ba << accented << "<!--begin-->&#233;&#8364;"_ba << 1;
        QTest::newRow("utf-8 page") << "\xEF\xBB\xBF\xC3\xA9<!--begin-->"_ba << accented
                                    << "\xEF\xBB\xBF\xC3\xA9<!--begin-->\xC3\xA9\xE2\x82\xAC"_ba << 1;
        QTest::newRow("single-byte page") << "caf\xE9 \x93q\x94<!--begin-->\xFF"_ba << accented
                                          << "caf\xE9 \x93q\x94<!--begin-->\xE9&#8364;\xFF"_ba << 1;
        QTest::newRow("outside the basic plane")
            << "<!--begin-->"_ba << QString::fromUtf8("\xF0\x9F\x98\x80") << "<!--begin-->&#128512;"_ba << 1;
    }
    void itemInsertedAfterEveryMarker() {
        QFETCH(QByteArray, page);
        QFETCH(QString, item);
        QFETCH(QByteArray, result);
        QFETCH(int, count);
        int found = -1;
        QCOMPARE(InsertNewsItem(page, item, &found), result);
        QCOMPARE(found, count);
    }

    void sitePathsFromTheHostAreChecked() {
        for (const char* usable : {"news.html", "news/index.html", "news\\index.html", "team news/a b.html"})
            QVERIFY2(SitePathError(QLatin1String(usable)).isEmpty(), usable);
        for (const char* refused : {"", "../index.html", "news/../../x.html", "/etc/passwd", "c:\\x.html",
                                    "a.html\nDELE x", "a.html\r", "a\".html", "news/"})
            QVERIFY2(!SitePathError(QLatin1String(refused)).isEmpty(), refused);
    }
};

KRTP_TEST_MAIN_CORE(TestNews)
#include "tst_news.moc"
