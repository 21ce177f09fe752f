#include "config/runstate.h"
#include "testmain.h"
#include "util/fileutil.h"
#include "util/keyedlistmodel.h"
#include "util/textutil.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace krtp;

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
        QTest::newRow("blanks skipped") << "  Hello world"
                                        << "hello" << true << " world";
        QTest::newRow("prefix with a blank") << "  Hello"
                                             << " hello" << false << "  Hello";
        QTest::newRow("prefix with both blanks") << "  Hello"
                                                 << "  HE" << true << "llo";
        QTest::newRow("no match") << "  abc"
                                  << "x" << false << "  abc";
    }
    void stripPrefix() {
        QFETCH(QString, text);
        QFETCH(QString, prefix);
        QFETCH(bool, stripped);
        QFETCH(QString, out);
        QCOMPARE(StripPrefix(text, prefix), stripped);
        QCOMPARE(text, out);
    }

    void splitAtFirstAllowsAliasing() {
        QString before, after;
        SplitAtFirst(QStringLiteral("a.b.c"), QStringLiteral("."), before, after);
        QCOMPARE(before, QStringLiteral("a"));
        QCOMPARE(after, QStringLiteral("b.c"));
        SplitAtFirst(QStringLiteral("abc"), QStringLiteral("."), before, after);
        QCOMPARE(before, QStringLiteral("abc"));
        QCOMPARE(after, QString());

        // The path walk passes the same variable as text and after.
        QString path = QStringLiteral("a\\b\\c.txt");
        QString folder;
        SplitAtFirst(path, QStringLiteral("\\"), folder, path);
        QCOMPARE(folder, QStringLiteral("a"));
        QCOMPARE(path, QStringLiteral("b\\c.txt"));
        // And text aliasing before.
        QString p2 = QStringLiteral("x:y");
        QString rest;
        SplitAtFirst(p2, QStringLiteral(":"), p2, rest);
        QCOMPARE(p2, QStringLiteral("x"));
        QCOMPARE(rest, QStringLiteral("y"));
        // Exact comparison: case matters.
        SplitAtFirst(QStringLiteral("aXbxc"), QStringLiteral("x"), before, after);
        QCOMPARE(before, QStringLiteral("aXb"));
    }

    void caseTests_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("upper");
        QTest::addColumn<bool>("lower");
        QTest::addColumn<bool>("proper");
        QTest::newRow("empty") << QString() << true << true << true;
        QTest::newRow("digits") << QStringLiteral("123") << true << true << true;
        QTest::newRow("upper") << QStringLiteral("ABC") << true << false << false;
        QTest::newRow("lower") << QStringLiteral("abc") << false << true << false;
        QTest::newRow("proper") << QStringLiteral("Abc") << false << false << true;
        QTest::newRow("mixed") << QStringLiteral("aBc") << false << false << false;
        QTest::newRow("single upper") << QStringLiteral("A") << true << false << true;
    }
    void caseTests() {
        QFETCH(QString, text);
        QFETCH(bool, upper);
        QFETCH(bool, lower);
        QFETCH(bool, proper);
        QCOMPARE(IsAllUpper(text), upper);
        QCOMPARE(IsAllLower(text), lower);
        QCOMPARE(IsProperCase(text), proper);
        QCOMPARE(ProperCase(QStringLiteral("hELLO wORLD")), QStringLiteral("Hello world"));
    }

    void decodeTextTakesUtf8OrLatin1() {
        QCOMPARE(DecodeText("Gr\xC3\xBC\xC3\x9F\xE2\x82\xAC"), QStringLiteral("Gr\u00FC\u00DF\u20AC"));
        QCOMPARE(DecodeText("\xEF\xBB\xBF"
                            "2.0.6"),
                 QStringLiteral("2.0.6"));
        QCOMPARE(DecodeText("Gr\xFC\xDF"), QStringLiteral("Gr\u00FC\u00DF")); // not UTF-8: single bytes
        QCOMPARE(DecodeText(QByteArray()), QString());
    }

    void readOnlyFollowsPreferenceAndUmask() {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("a.txt"));
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

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
        QVERIFY(IsFileReadOnly(dir.filePath(QStringLiteral("missing"))));
        SetFileReadOnly(dir.filePath(QStringLiteral("missing")), true, true, false);

        // The two-argument form reads the run-time preference.
        runState().NoReadOnly = true;
        SetFileReadOnly(f, true, false);
        QVERIFY(!IsFileReadOnly(f));
        runState().NoReadOnly = false;
    }

    void makeLocalFolderCreatesLastLevelOnly() {
        QTemporaryDir dir;
        MakeLocalFolder(dir.filePath(QStringLiteral("one/")));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("one"))).isDir());
        MakeLocalFolder(dir.filePath(QStringLiteral("one/"))); // existing: silent
        MakeLocalFolder(dir.filePath(QStringLiteral("x/y")));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x"))));
    }

    void sortListByColumnTogglesAndSwitches() {
        KeyedListModel list;
        list.setColumns({{QString(), QStringLiteral("Name"), 1440},
                         {QStringLiteral("owner"), QStringLiteral("Owner"), 1440}});
        auto add = [&](const char* name, const char* owner) {
            ListEntry e;
            e.key = QString::fromLatin1(name).toLower();
            e.text = QString::fromLatin1(name);
            e.columns.insert(QStringLiteral("owner"), QString::fromLatin1(owner));
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
        QCOMPARE(order(), QStringLiteral("b.txt,a.txt,c.txt")); // unsorted: insertion order

        SortListByColumn(list, 0); // sort key already 0: reverses to descending and switches sorting on
        QVERIFY(list.sorted());
        QCOMPARE(order(), QStringLiteral("c.txt,b.txt,a.txt"));
        SortListByColumn(list, 0);
        QCOMPARE(order(), QStringLiteral("a.txt,b.txt,c.txt"));
        SortListByColumn(list, 1); // another column: keeps the ascending order, ignores case
        QCOMPARE(order(), QStringLiteral("a.txt,c.txt,b.txt"));
        SortListByColumn(list, 1);
        QCOMPARE(order(), QStringLiteral("b.txt,c.txt,a.txt"));

        // Keys stay valid after sorting; changes to the sort column re-sort.
        list.setColumnText(QStringLiteral("a.txt"), QStringLiteral("owner"), QStringLiteral("zzz"));
        QCOMPARE(order(), QStringLiteral("a.txt,b.txt,c.txt"));
        QCOMPARE(list.columnText(QStringLiteral("c.txt"), QStringLiteral("owner")), QStringLiteral("Bob"));
        QVERIFY(list.remove(QStringLiteral("b.txt")));
        QCOMPARE(list.rowOf(QStringLiteral("c.txt")), 1);

        // Sizes sort by their bytes, not by how they read; a changed sort text alone re-sorts.
        list.setColumns({{QString(), QStringLiteral("Name"), 1440},
                         {QStringLiteral("size"), QStringLiteral("Size"), 900}});
        for (const auto& [key, bytes] : {std::pair{"a.txt", 2048}, {"c.txt", 8}}) {
            list.setColumnText(QLatin1String(key), SortKeyOf(QStringLiteral("size")), SizeSortText(bytes));
            list.setColumnText(QLatin1String(key), QStringLiteral("size"),
                               bytes < 1024 ? QStringLiteral("8 bytes") : QStringLiteral("2 KB"));
        }
        SortListByColumn(list, 1);
        QCOMPARE(order(), QStringLiteral("c.txt,a.txt"));
        list.setColumnText(QStringLiteral("c.txt"), SortKeyOf(QStringLiteral("size")), SizeSortText(4096));
        QCOMPARE(order(), QStringLiteral("a.txt,c.txt"));
    }

    // A view's selection and current entry must stay on the same files when the list re-sorts;
    // otherwise an operation on "the selected files" would act on others.
    void sortingKeepsSelectionOnItsEntries() {
        KeyedListModel list;
        list.setColumns({{QString(), QStringLiteral("Name"), 1440},
                         {QStringLiteral("ver"), QStringLiteral("Ver"), 1440}});
        for (const char* name : {"b.txt", "a.txt", "c.txt", "d.txt"}) {
            ListEntry e;
            e.key = e.text = QString::fromLatin1(name);
            list.add(e);
        }
        QItemSelectionModel selection(&list);
        const auto keyAt = [&](const QModelIndex& i) { return list.data(i, Qt::UserRole).toString(); };
        selection.setCurrentIndex(list.index(list.rowOf(QStringLiteral("c.txt")), 0),
                                  QItemSelectionModel::NoUpdate);
        selection.select(list.index(list.rowOf(QStringLiteral("b.txt")), 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        selection.select(list.index(list.rowOf(QStringLiteral("a.txt")), 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);

        SortListByColumn(list, 0); // descending: d, c, b, a
        QStringList selected;
        for (const QModelIndex& i : selection.selectedRows())
            selected << keyAt(i);
        selected.sort();
        QCOMPARE(selected, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        QCOMPARE(keyAt(selection.currentIndex()), QStringLiteral("c.txt"));
    }
};

KRTP_TEST_MAIN_CORE(TestUtil)
#include "tst_util.moc"
