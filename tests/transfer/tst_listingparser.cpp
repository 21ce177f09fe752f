#include "testmain.h"
#include "transfer/listingparser.h"

#include <QTest>

using namespace krtp;

// Listing lines as hosts send them, and what "ls" makes of them. No host needed.
class TestListingParser : public QObject {
    Q_OBJECT

private slots:
    void machineListing_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("names");
        QTest::newRow("file") << QByteArray("type=file;size=3;modify=20240101120000; a.txt\r\n")
                              << QByteArray("a.txt\r\n");
        QTest::newRow("folder") << QByteArray("modify=20240101120000;type=dir; sub\r\n")
                                << QByteArray("sub/\r\n");
        QTest::newRow("itself and parent")
            << QByteArray("type=cdir; .\r\ntype=pdir; ..\r\ntype=file; x\r\n") << QByteArray("x\r\n");
        QTest::newRow("facts in any case") << QByteArray("Type=FILE;Size=1; Upper.TXT\r\nTYPE=Dir; D\r\n")
                                           << QByteArray("Upper.TXT\r\nD/\r\n");
        QTest::newRow("blanks in the name")
            << QByteArray("type=file; my page.html\r\ntype=dir; sub folder\r\n")
            << QByteArray("my page.html\r\nsub folder/\r\n");
        QTest::newRow("leading and trailing blanks kept")
            << QByteArray("type=file;  lead.txt\r\ntype=file; trail.txt \r\n")
            << QByteArray(" lead.txt\r\ntrail.txt \r\n");
        QTest::newRow("fact separators in the name")
            << QByteArray("type=file; a;type=dir; b.txt\r\n") << QByteArray("a;type=dir; b.txt\r\n");
        QTest::newRow("line feeds only")
            << QByteArray("type=file; a\ntype=file; b\n") << QByteArray("a\r\nb\r\n");
        QTest::newRow("no final line end") << QByteArray("type=file; last") << QByteArray("last\r\n");
        QTest::newRow("utf-8 name") << QByteArray("type=file; gr\xc3\xb6\xc3\x9f"
                                                  "e.txt\r\n")
                                    << QByteArray("gr\xc3\xb6\xc3\x9f"
                                                  "e.txt\r\n");
        QTest::newRow("other types list as files")
            << QByteArray("type=OS.unix=slink:/etc; link\r\n") << QByteArray("link\r\n");
        QTest::newRow("empty body") << QByteArray() << QByteArray();
        QTest::newRow("blank lines") << QByteArray("\r\n\r\n\n") << QByteArray();
        QTest::newRow("no facts") << QByteArray("size=3;modify=1; nofacts.txt\r\n") << QByteArray();
        QTest::newRow("no blank before the name") << QByteArray("type=file;size=3\r\n") << QByteArray();
        QTest::newRow("leading blank, no facts") << QByteArray(" type=file; x\r\n") << QByteArray();
        QTest::newRow("a Unix line is no fact line")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a.txt\r\n") << QByteArray();
        QTest::newRow("empty type") << QByteArray("type=; x\r\n") << QByteArray();
        QTest::newRow("hostile names left out")
            << QByteArray(
                   "type=file; ../../etc/passwd\r\ntype=file; a/b.txt\r\ntype=dir; ..\r\ntype=file; .\r\n"
                   "type=file; a\\..\\x.txt\r\ntype=file; bell\x07.txt\r\ntype=file; cr\rlf.txt\r\n"
                   "type=file; \r\ntype=file; del\x7f.txt\r\ntype=file; ok.txt\r\n")
            << QByteArray("ok.txt\r\n");
    }

    void machineListing() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, names);
        QCOMPARE(FormatMachineListing(body), names);
    }

    void machineListingLine() {
        QByteArray type;
        QString name;
        QVERIFY(ParseMachineListingLine("size=10;Type=Dir;perm=el; sub folder", type, name));
        QCOMPARE(type, QByteArray("dir"));
        QCOMPARE(name, QStringLiteral("sub folder"));
        QVERIFY(!ParseMachineListingLine("250 End", type, name));
        QVERIFY(!ParseMachineListingLine("", type, name));
    }

    void unixListing_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("names");
        QTest::newRow("file") << QByteArray("-rw-r--r--   1 owner group     1234 Jan 01 12:00 index.html\r\n")
                              << QByteArray("index.html\r\n");
        QTest::newRow("folder") << QByteArray("drwxr-xr-x   2 owner group     4096 Jan 01  2020 news\r\n")
                                << QByteArray("news/\r\n");
        QTest::newRow("total, itself and parent")
            << QByteArray("total 12\r\ndrwxr-xr-x 2 o g 4096 Jan 01 12:00 .\r\n"
                          "drwxr-xr-x 2 o g 4096 Jan 01 12:00 ..\r\n-rw-r--r-- 1 o g 1 Jan 01 12:00 x\r\n")
            << QByteArray("x\r\n");
        QTest::newRow("link under its own name")
            << QByteArray("lrwxrwxrwx 1 o g 7 Jan 01 12:00 latest -> v2/index.html\r\n")
            << QByteArray("latest\r\n");
        QTest::newRow("blanks in the name") << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 my  page.html\r\n"
                                                          "drwxr-xr-x 2 o g 4096 Jan 01 12:00 sub folder\r\n")
                                            << QByteArray("my  page.html\r\nsub folder/\r\n");
        QTest::newRow("leading blank kept")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00  lead.txt\r\n") << QByteArray(" lead.txt\r\n");
        QTest::newRow("arrow in a file name kept")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a -> b.txt\r\n") << QByteArray("a -> b.txt\r\n");
        QTest::newRow("line feeds only")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 a\n") << QByteArray("a\r\n");
        QTest::newRow("too few fields")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 x\r\nfoo\r\n-rw\r\n") << QByteArray();
        QTest::newRow("empty body") << QByteArray() << QByteArray();
        QTest::newRow("hostile names left out")
            << QByteArray("-rw-r--r-- 1 o g 3 Jan 01 12:00 ../x\r\n-rw-r--r-- 1 o g 3 Jan 01 12:00 a\\b\r\n"
                          "-rw-r--r-- 1 o g 3 Jan 01 12:00 esc\x1b.txt\r\n02-18-22  03:14PM  1 ..\\x\r\n"
                          "02-18-22  03:14PM  <DIR>  ..\r\n-rw-r--r-- 1 o g 3 Jan 01 12:00 ok.txt\r\n")
            << QByteArray("ok.txt\r\n");
        QTest::newRow("dos folder") << QByteArray("01-16-02  11:14AM       <DIR>          epsgroup\r\n")
                                    << QByteArray("epsgroup/\r\n");
        QTest::newRow("dos file") << QByteArray("02-18-22  03:14PM                 1234 index.html\r\n")
                                  << QByteArray("index.html\r\n");
        QTest::newRow("dos names with blanks and a four-digit year")
            << QByteArray("02-18-2022  15:14                 12 my  page.html\r\n"
                          "02-18-2022  03:14PM       <DIR>           sub folder\r\n")
            << QByteArray("my  page.html\r\nsub folder/\r\n");
        QTest::newRow("dos lookalikes are not dos lines")
            << QByteArray("02-18-22  03:14PM  big index.html\r\n2-18-22 03:14PM 1 x\r\n02-18-22 noon 1 x\r\n"
                          "02-18-22  03:14PM                 1234\r\n")
            << QByteArray();
    }

    void unixListing() {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, names);
        QCOMPARE(FormatUnixListing(body), names);
    }
};

KRTP_TEST_MAIN_CORE(TestListingParser)
#include "tst_listingparser.moc"
