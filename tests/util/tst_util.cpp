// The utilities and the platform's dialogs.
#include "config/runstate.h"
#include "platform/consoledialogs.h"
#include "platform/gui/qtdialogs.h"
#include "testmain.h"
#include "util/fileutil.h"
#include "util/keyedlistmodel.h"
#include "util/textutil.h"

#include <QAbstractButton>
#include <QFile>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <sys/stat.h>

using namespace krtp;
using namespace Qt::StringLiterals;

class TestUtil : public QObject {
    Q_OBJECT
private slots:
    // Pairs apply one after another, each to the previous result, never rescanning inserted text; an
    // unpaired last item and an empty search text are ignored. With matchCase the replacement follows
    // each occurrence's letter case; an occurrence without letters counts as upper case.
    void replaceText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pairs");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<QString>("out");
        QTest::newRow("never rescans") << "AB ab" << QStringList{"ab", "xab"} << false << "xab xab";
        QTest::newRow("pairs in order")
            << "one two" << QStringList{"one", "two", "TWO", "3", "dangling"} << false << "3 3";
        QTest::newRow("empty search") << "abc" << QStringList{"", "x"} << false << "abc";
        QTest::newRow("replacement holds the search") << "aaa" << QStringList{"a", "aa"} << false << "aaaaaa";
        QTest::newRow("case of each occurrence")
            << "Cat CAT cat cAt" << QStringList{"cat", "dog"} << true << "Dog DOG dog dog";
        QTest::newRow("no letters, no case") << "say \"hi\"" << QStringList{"\"", "'"} << true << "say 'hi'";
        QTest::newRow("no letters count as upper") << "a/b" << QStringList{"/", "x"} << true << "aXb";
    }
    void replaceText() {
        QFETCH(QString, text);
        QFETCH(QStringList, pairs);
        QFETCH(bool, matchCase);
        QFETCH(QString, out);
        QCOMPARE(matchCase ? ReplaceTextMatchCase(text, pairs) : ReplaceText(text, pairs), out);
        QCOMPARE(text, out);
    }

    // Leading blanks are skipped unless the prefix itself begins with one; no match changes nothing.
    void stripPrefix_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("stripped");
        QTest::addColumn<QString>("out");
        QTest::newRow("blanks skipped") << u"  Hello world"_s << u"hello"_s << true << " world";
        QTest::newRow("prefix with a blank") << u"  Hello"_s << u" hello"_s << false << "  Hello";
        QTest::newRow("prefix with both blanks") << u"  Hello"_s << u"  HE"_s << true << "llo";
        QTest::newRow("no match") << u"  abc"_s << u"x"_s << false << "  abc";
    }
    void stripPrefix() {
        QFETCH(QString, text);
        QFETCH(QString, prefix);
        QFETCH(bool, stripped);
        QFETCH(QString, out);
        QCOMPARE(StripPrefix(text, prefix), stripped);
        QCOMPARE(text, out);
    }

    // The path walk passes the same variable as text and after, or as text and before.
    void splitAtFirstAllowsAliasing() {
        QString before, after;
        SplitAtFirst(u"a.b.c"_s, u"."_s, before, after);
        QCOMPARE(before + u"|"_s + after, u"a|b.c"_s);
        SplitAtFirst(u"abc"_s, u"."_s, before, after);
        QCOMPARE(before + u"|"_s + after, u"abc|"_s);
        SplitAtFirst(u"aXbxc"_s, u"x"_s, before, after); // case matters
        QCOMPARE(before, u"aXb"_s);
        QString path = u"a\\b\\c.txt"_s;
        SplitAtFirst(path, u"\\"_s, before, path);
        QCOMPARE(before + u"|"_s + path, u"a|b\\c.txt"_s);
        path = u"x:y"_s;
        SplitAtFirst(path, u":"_s, path, after);
        QCOMPARE(path + u"|"_s + after, u"x|y"_s);
    }

    void caseTests_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<bool>("lower");
        QTest::addColumn<bool>("proper");
        QTest::newRow("empty") << QString() << true << true << true;
        QTest::newRow("digits") << u"123"_s << true << true << true;
        QTest::newRow("upper") << u"ABC"_s << true << false << false;
        QTest::newRow("lower") << u"abc"_s << false << true << false;
        QTest::newRow("proper") << u"Abc"_s << false << false << true;
        QTest::newRow("mixed") << u"aBc"_s << false << false << false;
        QTest::newRow("single upper") << u"A"_s << true << false << true;
    }
    void caseTests() {
        QFETCH(QString, text);
        QFETCH(bool, upper);
        QFETCH(bool, lower);
        QFETCH(bool, proper);
        QCOMPARE(IsAllUpper(text), upper);
        QCOMPARE(IsAllLower(text), lower);
        QCOMPARE(IsProperCase(text), proper);
        QCOMPARE(ProperCase(u"hELLO wORLD"_s), u"Hello world"_s);
    }

    void decodeTextTakesUtf8OrLatin1() {
        QCOMPARE(DecodeText("Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC"), u"Gr\u00FC\u00DF\u20AC"_s);
        QCOMPARE(DecodeText(QByteArray("\xEF\xBB\xBF") + "2.0.6"), u"2.0.6"_s);
        QCOMPARE(DecodeText("Gr\xFC\xDF"), u"Gr\u00FC\u00DF"_s); // not UTF-8: single bytes
        QCOMPARE(DecodeText(QByteArray()), QString());
    }

    void readOnlyFollowsPreferenceAndUmask() {
        QTemporaryDir dir;
        const QString f = dir.filePath(u"a.txt"_s);
        QVERIFY(QFile(f).open(QIODevice::WriteOnly));
        SetFileReadOnly(f, true, false, false);
        QVERIFY(IsFileReadOnly(f));
        // The never-read-only preference makes a non-forced request normal...
        SetFileReadOnly(f, true, false, true);
        QVERIFY(!IsFileReadOnly(f));
        // ...but force wins over it.
        SetFileReadOnly(f, true, true, true);
        QVERIFY(IsFileReadOnly(f));
        const mode_t old = ::umask(022);
        SetFileReadOnly(f, false, false, false);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(f).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0222, mode_t(0200));
        ::umask(old);
        // Missing files: counted read-only, and setting is silent.
        QVERIFY(IsFileReadOnly(dir.filePath(u"missing"_s)));
        SetFileReadOnly(dir.filePath(u"missing"_s), true, true, false);
        // The two-argument form reads the run-time preference.
        runState().NoReadOnly = true;
        SetFileReadOnly(f, true, false);
        QVERIFY(!IsFileReadOnly(f));
        runState().NoReadOnly = false;
        // A local folder is made at its last level only.
        MakeLocalFolder(dir.filePath(u"one/"_s));
        QVERIFY(QFileInfo(dir.filePath(u"one"_s)).isDir());
        MakeLocalFolder(dir.filePath(u"one/"_s)); // existing: silent
        MakeLocalFolder(dir.filePath(u"x/y"_s));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"x"_s)));
    }

    void sortListByColumnTogglesAndSwitches() {
        KeyedListModel list;
        list.setColumns({{QString(), u"Name"_s, 1440}, {u"owner"_s, u"Owner"_s, 1440}});
        auto add = [&](const char* name, const char* owner) {
            ListEntry e;
            e.key = QString::fromLatin1(name).toLower();
            e.text = QString::fromLatin1(name);
            e.columns.insert(u"owner"_s, QString::fromLatin1(owner));
            list.add(e);
        };
        add("b.txt", "zed");
        add("A.txt", "amy");
        add("c.txt", "Bob");
        auto order = [&] {
            QStringList keys;
            for (const ListEntry& e : list.entries())
                keys << e.key;
            return keys.join(QLatin1Char(','));
        };
        QCOMPARE(order(), u"b.txt,a.txt,c.txt"_s); // unsorted: insertion order
        // A view's selection and current entry must stay on the same files when the list re-sorts;
        // otherwise an operation on "the selected files" would act on others.
        QItemSelectionModel selection(&list);
        const auto keyAt = [&](const QModelIndex& i) { return list.data(i, Qt::UserRole).toString(); };
        selection.setCurrentIndex(list.index(2, 0), QItemSelectionModel::NoUpdate);
        selection.select(list.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection.select(list.index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        SortListByColumn(list, 0); // sort key already 0: reverses to descending and switches sorting on
        QVERIFY(list.sorted());
        QCOMPARE(order(), u"c.txt,b.txt,a.txt"_s);
        QStringList selected;
        for (const QModelIndex& i : selection.selectedRows())
            selected << keyAt(i);
        selected.sort();
        QCOMPARE(selected, (QStringList{u"a.txt"_s, u"b.txt"_s}));
        QCOMPARE(keyAt(selection.currentIndex()), u"c.txt"_s);
        SortListByColumn(list, 0);
        QCOMPARE(order(), u"a.txt,b.txt,c.txt"_s);
        SortListByColumn(list, 1); // another column: keeps the ascending order, ignores case
        QCOMPARE(order(), u"a.txt,c.txt,b.txt"_s);
        SortListByColumn(list, 1);
        QCOMPARE(order(), u"b.txt,c.txt,a.txt"_s);
        // Keys stay valid after sorting; changes to the sort column re-sort.
        list.setColumnText(u"a.txt"_s, u"owner"_s, u"zzz"_s);
        QCOMPARE(order(), u"a.txt,b.txt,c.txt"_s);
        QCOMPARE(list.columnText(u"c.txt"_s, u"owner"_s), u"Bob"_s);
        QVERIFY(list.remove(u"b.txt"_s));
        QCOMPARE(list.rowOf(u"c.txt"_s), 1);
        // Sizes sort by their bytes, not by how they read; a changed sort text alone re-sorts.
        list.setColumns({{QString(), u"Name"_s, 1440}, {u"size"_s, u"Size"_s, 900}});
        for (const auto& [key, bytes] : {std::pair{"a.txt", 2048}, {"c.txt", 8}}) {
            list.setColumnText(QLatin1String(key), SortKeyOf(u"size"_s), SizeSortText(bytes));
            list.setColumnText(QLatin1String(key), u"size"_s, bytes < 1024 ? u"8 bytes"_s : u"2 KB"_s);
        }
        SortListByColumn(list, 1);
        QCOMPARE(order(), u"c.txt,a.txt"_s);
        list.setColumnText(u"c.txt"_s, SortKeyOf(u"size"_s), SizeSortText(4096));
        QCOMPARE(order(), u"a.txt,c.txt"_s);
    }

    // Messages carry file names, host replies and error texts: they are shown as written, never
    // read as markup, with CR LF line breaks.
    void messagesArePlainText() {
        QtDialogs qt;
        Dialogs& dialogs = qt;
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            shown = box->text();
            format = box->textFormat();
            box->button(QMessageBox::No)->click();
        });
        const Dialogs::Button answer = dialogs.message(u"Delete <b>index.html</b>?\r\n<img src=x>"_s,
                                                       Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No);
        QCOMPARE(answer, Dialogs::No);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, u"Delete <b>index.html</b>?\n<img src=x>"_s);
        // File filters in Qt's form.
        QCOMPARE(QtDialogs::QtFileFilter(u"All Allowed File Types|*.html;*.htm;*.gif|HTML Files|*.html"_s),
                 u"All Allowed File Types (*.html *.htm *.gif);;HTML Files (*.html)"_s);
        QCOMPARE(QtDialogs::QtFileFilter(u"Images (*.png)"_s), u"Images (*.png)"_s);
    }

    // On a terminal, text from the host (a name with ESC or a lone CR) must not steer the display.
    void consoleShowsControlCharactersAsEscapes() {
        FILE* out = std::tmpfile();
        QVERIFY(out);
        ConsoleDialogs console(false, out);
        console.message(u"Bren\x1b[2J held\rx.txt\r\nnext line"_s, Dialogs::Icon::None, Dialogs::Ok,
                        Dialogs::NoButton, QString());
        console.status(u"Waiting for "_s + QChar(7) + u"Bren"_s);
        std::rewind(out);
        char buffer[256] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
        std::fclose(out);
        QCOMPARE(QByteArray(buffer, int(n)),
                 QByteArray("Bren\\x1b[2J held\\x0dx.txt\nnext line\nWaiting for \\x07Bren\n"));
    }
};

KRTP_TEST_MAIN_GUI(TestUtil)
#include "tst_util.moc"
