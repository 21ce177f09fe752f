// The site tools' rules without a host: untrusted names, access lists, text encodings, line ends and
// the external editors file.
#include "sitetools/accesslist.h"
#include "sitetools/externaleditors.h"
#include "sitetools/sitenames.h"
#include "sitetools/sitetext.h"
#include "testfiles.h"
#include "testmain.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace krtp;
using namespace krtp::test;
using namespace Qt::StringLiterals;

namespace {

// "folder:file,file|flags" for the root and each folder key, flags "a" (add) and "d" (delete).
QString describe(const AccessList& list, const QString& member) {
    QStringList out;
    for (const QString& key : QStringList{QString()} + list.folderKeys()) {
        const AccessList::FolderView v = list.folder(key, member);
        QStringList names;
        for (const auto& f : v.files)
            names << f.name;
        out << (key.isEmpty() ? u"root"_s : key) + u':' + names.join(u',') + u'|' + (v.canAdd ? "a" : "") +
                   (v.canDelete ? "d" : "");
    }
    return out.join(u' ');
}

} // namespace

class TestSiteTools : public QObject {
    Q_OBJECT
private slots:
    void untrustedNames() {
        const QStringList safe{"index.html", "my page.html", ".htaccess", "*full access*",
                               QString::fromUtf8("caf\xc3\xa9.html")};
        const QStringList unsafe{
            "",      "   ",  "C:x.html", ".",         "..",    "a/b",  "/etc",
            "..\\x", "a\tb", "a\nb",     "a\x1b[2Jb", "a\x7f", "a\"b", QString(QChar(0x85)) + "x"};
        for (const QString& name : safe + unsafe) {
            const bool ok = safe.contains(name);
            QVERIFY2(IsSafeSiteName(name) == ok, qPrintable(name));
            if (!name.contains(u'/'))
                QVERIFY2(IsSafeHostPath(u"pages/"_s + name) == ok, qPrintable(name));
        }
    }

    void pathsAndFolderKeys() {
        QVERIFY(IsSafeFolderKey(QString()));
        QVERIFY(IsSafeFolderKey(u"pages/old/"_s));
        for (const char* key : {"pages", "/pages/", "pages//", "pages/../"})
            QVERIFY2(!IsSafeFolderKey(QString::fromLatin1(key)), key);
        QVERIFY(IsSafeHostPath(u"krg\\Bob.dat"_s));
        QVERIFY(!IsSafeHostPath(u"krg/"_s));
        QVERIFY(!IsSafeHostPath(u"a/../../x.html"_s));
        QString folder, name;
        SplitHostPath(u"a\\b/c.txt"_s, folder, name);
        QCOMPARE(folder, u"a/b/"_s);
        QCOMPARE(name, u"c.txt"_s);
        SplitHostPath(u"index.html"_s, folder, name);
        QCOMPARE(folder, QString());
        QCOMPARE(LocalMirrorPath(u"a\\b/c.txt"_s), u"VelmarFTP/a/b/c.txt"_s);
        QCOMPARE(AccessList::PathFor(u"Bob"_s), u"krg/Bob.dat"_s);
        QCOMPARE(AccessList::PathFor(u"../x"_s), QString());
    }

    // An empty view: full access.
    void accessLists_data() {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("view");
        QTest::newRow("full access") << u"*full access*"_s << QString();
        QTest::newRow("full access, line end")
            << u"*full access*\r\n"_s << u"root:*full access*| images/:bob.gif|"_s;
        QTest::newRow("file and add in pages")
            << u"pages/news.html\r\npages/*add files*"_s << u"root:| images/:bob.gif| pages/:news.html|a"_s;
        QTest::newRow("shown in lower case")
            << u"Pages/News.HTML"_s << u"root:| images/:bob.gif| Pages/:news.html|"_s;
        QTest::newRow("name GIF once")
            << u"images/Bob.GIF\r\nimages/*delete files*"_s << u"root:| images/:bob.gif|d"_s;
        QTest::newRow("backslashes and blank lines") << u"a\\b\\c.txt\r\n\r\n   \r\na\\*delete files*\r\n"_s
                                                     << u"root:| images/:bob.gif| a/:|d a/b/:c.txt|"_s;
        QTest::newRow("deeper levels")
            << u"x/y/z/p.html"_s << u"root:| images/:bob.gif| x/:| x/y/:| x/y/z/:p.html|"_s;
        QTest::newRow("html page") << u"<html><body>Not Found</body></html>"_s
                                   << u"root:| images/:bob.gif|"_s;
        QTest::newRow("empty") << u""_s << u"root:| images/:bob.gif|"_s;
        QTest::newRow("hostile entries")
            << u"../../etc/passwd\r\n/abs.html\r\nC:/win.ini\r\nnews/../../x.html\r\n..\\..\\y.html\r\n"
               "news/evil\x01.html\r\nnews/ok.html\r\n.hidden/secret.html\r\nnews/q\"uote.html"_s
            << u"root:| images/:bob.gif| news/:ok.html|"_s;
    }
    void accessLists() {
        QFETCH(QString, content);
        QFETCH(QString, view);
        const AccessList list = AccessList::FromContent(content);
        QCOMPARE(list.fullAccess(), view.isEmpty());
        if (!view.isEmpty())
            QCOMPARE(describe(list, u"Bob"_s), view);
    }

    // Found by fuzzing: every prefix of a deep line was a key of its own, so a 64 KB list of "a/a/a/..."
    // took minutes and gigabytes. Keys stop at 1024 characters and at the 10,000th.
    void hostileAccessListsStayBounded() {
        QElapsedTimer t;
        t.start();
        QString deep;
        for (int i = 0; i < 40000; ++i)
            deep += u"a/"_s;
        const QStringList deepKeys = AccessList::FromContent(deep + u"x.html"_s).folderKeys();
        QCOMPARE(deepKeys.size(), 1 + 512);
        QCOMPARE(deepKeys.last().size(), 1024);
        QStringList lines;
        for (int i = 0; i < 12000; ++i)
            lines << u"f%1/x.html"_s.arg(i);
        const QStringList wide = AccessList::FromContent(lines.join(u"\r\n"_s)).folderKeys();
        QCOMPARE(wide.size(), 10000);
        QCOMPARE(wide.last(), u"f9998/"_s);
        QVERIFY2(t.elapsed() < 2000, QByteArray::number(t.elapsed()).constData());
        // A folder named twice in different letter case is one key, spelt as first named.
        QCOMPARE(AccessList::FromContent(u"A/b/x.html\r\na/B/c/y.html"_s).folderKeys(),
                 (QStringList{"images/", "A/", "A/b/", "A/b/c/"}));
    }

    void accessListKeepsTheListSpellingForTheHost() {
        const AccessList list = AccessList::FromContent(u"Pages/News.HTML\r\n  pages/Old.html"_s);
        QStringList files;
        for (const auto& f : list.folder(u"Pages/"_s, u"bob"_s).files)
            files << f.name + u'=' + f.hostPath;
        QCOMPARE(files, (QStringList{"news.html=Pages/News.HTML", "old.html=pages/Old.html"}));
    }

    void registeringInTheAccessList() {
        AccessList list = AccessList::FromContent(u"  news/index.html\r\nnews/*add files*\r\n\r\n"_s);
        list.addPath(u"news/new.html"_s);
        QCOMPARE(list.text(), u"news/index.html\r\nnews/*add files*\r\nnews/new.html"_s);
        list = AccessList::FromContent(u"news/index.html\r\nnews/old_index.html\r\nNEWS/Index.html"_s);
        list.removePath(u"news/index.html"_s);
        QCOMPARE(list.text(), u"news/old_index.html"_s);
        AccessList empty;
        empty.addPath(u"a.html"_s);
        QCOMPARE(empty.text(), u"\r\na.html"_s);
    }

    void lineEnds_data() {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("LF") << u"a\nb\n"_s << u"a\r\nb\r\n"_s;
        QTest::newRow("CR LF stays") << u"a\r\nb\r\n"_s << u"a\r\nb\r\n"_s;
        QTest::newRow("mixed") << u"a\nb\r\nc"_s << u"a\r\nb\r\nc"_s;
        QTest::newRow("lone CR stays") << u"a\rb"_s << u"a\rb"_s;
        QTest::newRow("CR CR LF") << u"a\r\r\nb"_s << u"a\r\r\nb"_s;
    }
    void lineEnds() {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(NormaliseLineEnds(in), out);
        QCOMPARE(FromEditorText(ToEditorText(NormaliseLineEnds(u"x\ny\r\n"_s))), u"x\r\ny\r\n"_s);
    }

    void encodingsRoundTrip() {
        QByteArray latin1;
        for (int i = 0; i < 256; ++i)
            latin1 += char(i);
        const SiteText l = SiteText::decode(latin1);
        QVERIFY(!l.utf8);
        QCOMPARE(l.encode(), latin1);
        QCOMPARE(l.encode(QString::fromUtf8("\xe2\x82\xac \xc3\xa9")), "&#8364; \xe9"_ba);
        const QByteArray utf8("\xEF\xBB\xBF"
                              "caf\xc3\xa9 \xe2\x82\xac");
        const SiteText u = SiteText::decode(utf8);
        QVERIFY(u.utf8 && u.byteOrderMark);
        QCOMPARE(u.text, QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
        QCOMPARE(u.encode(), utf8);
        QCOMPARE(SiteText::decode("plain").encode(), "plain"_ba);
        // Found by fuzzing: a second mark stays in the text, so the file is written back whole.
        const QByteArray twoMarks("\xEF\xBB\xBF\xEF\xBB\xBFx");
        QCOMPARE(SiteText::decode(twoMarks).text, QString(QChar(0xFEFF)) + QLatin1Char('x'));
        QCOMPARE(SiteText::decode(twoMarks).encode(), twoMarks);
    }

    void externalEditorsFile() {
        QTemporaryDir dir;
        const QString program = dir.filePath(u"psp"_s);
        QVERIFY(writeLocal(program, "#!/bin/sh\n"));
        const QByteArray quoted = "\"" + program.toUtf8() + "\"";
        struct Case {
            QByteArray content;
            QStringList captions;
        };
        const QList<Case> cases = {
            {"Notepad\r\n\r\nPaint Shop Pro\r\n" + quoted + "\r\n", {"Paint Shop Pro"}},
            {"A\r\n" + quoted + "\r\nB\r\n/nowhere/b\r\nC", {"A", "B - FILE NOT FOUND"}},
            {"\r\n" + quoted + "\r\nD\r\n" + program.toUtf8(), {"D"}},
            {"E\n/nowhere\n", {"E - FILE NOT FOUND"}},
            {"", {}},
        };
        for (const Case& c : cases) {
            QStringList captions;
            for (const ExternalEditor& e : ParseExternalEditors(c.content))
                captions << e.caption();
            QCOMPARE(captions, c.captions);
        }
        const QList<ExternalEditor> one = ParseExternalEditors("Paint Shop Pro\r\n" + quoted);
        QCOMPARE(one.first().program(), program);
        QVERIFY(one.first().found);
        QVERIFY(ReadExternalEditors(dir.filePath(u"missing.ini"_s)).isEmpty());
    }

    void externalEditorsText() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"external editors.ini"_s);
        QCOMPARE(ExternalEditorsText(file).editorText(), QString());
        const QByteArray original = "Notepad\r\n/usr/bin/gedit\r\r\n";
        QVERIFY(writeLocal(file, original));
        ExternalEditorsText text(file);
        QCOMPARE(text.editorText(), u"Notepad\n/usr/bin/gedit\r\n"_s);
        QVERIFY(text.save(text.editorText()));
        QCOMPARE(readLocal(file), original);
        QVERIFY(text.save(u"One\n/bin/one"_s));
        QCOMPARE(readLocal(file), "One\r\n/bin/one"_ba);
    }
};

KRTP_TEST_MAIN_CORE(TestSiteTools)
#include "tst_sitetools.moc"
