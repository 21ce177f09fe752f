#include "filestore/catalogue.h"
#include "filestore/cataloguechanges.h"
#include "filestore/catalogueedit.h"
#include "filestore/filestatus.h"
#include "filestore/filestore.h"
#include "filestore/preview.h"
#include "testmain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(krtp::SeenEntry)

using namespace krtp;

namespace {

QList<CatalogueRecord> readAll(const QByteArray& data, QString* line1 = nullptr, QString* line2 = nullptr) {
    CatalogueReader r(data);
    QString l1, l2;
    r.readLine(l1);
    r.readLine(l2);
    if (line1)
        *line1 = l1;
    if (line2)
        *line2 = l2;
    QList<CatalogueRecord> out;
    CatalogueRecord rec;
    while (r.readRecord(rec))
        out.append(rec);
    return out;
}

QByteArray rewrite(const QByteArray& data) {
    CatalogueReader r(data);
    QString l1, l2;
    r.readLine(l1);
    r.readLine(l2);
    CatalogueWriter w(r.isUtf8());
    w.writeLine(l1);
    w.writeLine(QString::number(LeadingNumber(l2)));
    CatalogueRecord rec;
    while (r.readRecord(rec))
        w.writeRecord(rec);
    return w.bytes();
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    void roundTripIsByteExact_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("plain") << QByteArray(
            "2.0.5\r\n2\r\n\"index.html\",3,\"\",\"velmar\",\"Home page\",\"velmar: first\"\r\n"
            "\"Logo.GIF\",1,\"brenmoor\",\"\",\"\",\"\"\r\n");
        QTest::newRow("empty catalogue") << QByteArray("1.2.0\r\n0\r\n");
        QTest::newRow("commas and negative")
            << QByteArray("2.0.5\r\n1\r\n\"a, b.txt\",-4,\"x\",\"y\",\"one, two\",\"c: d, e\"\r\n");
        QTest::newRow("latin-1") << QByteArray(
            "2.0.5\r\n1\r\n\"caf\xe9.txt\",2,\"\",\"J\xf6rg\",\"\xa9\",\"\"\r\n");
        QTest::newRow("utf-8") << QByteArray("2.0.5\r\n1\r\n\"caf\xc3\xa9.txt\",2,\"\",\"\",\"\",\"\"\r\n");
        QTest::newRow("max version") << QByteArray("2.0.5\r\n1\r\n\"a\",32767,\"\",\"\",\"\",\"\"\r\n");
    }
    void roundTripIsByteExact() {
        QFETCH(QByteArray, data);
        QCOMPARE(rewrite(data), data);
    }

    void readingRules() {
        // Quoted fields keep commas, unquoted fields end at a comma, blanks before a field are
        // skipped, line ends separate fields like commas, the version of an empty field is 0.
        const QByteArray data = "2.0.5\r\n4\r\n"
                                "\"a,b.txt\",7,\"ctl\",\"au\",\"d, e\",\"c\"\r\n"
                                "plain.html, 12 ,  \"x\",  bare author,desc,comment text\r\n"
                                "\"split.txt\",3,\"\"\r\n\"who\",\"what\",\"why\"\r\n"
                                "\"noversion.txt\",,\"\",\"\",\"\",\"\"\r\n";
        QString l1, l2;
        const auto recs = readAll(data, &l1, &l2);
        QCOMPARE(l1, QStringLiteral("2.0.5"));
        QCOMPARE(l2, QStringLiteral("4"));
        QCOMPARE(recs.size(), 4);
        QCOMPARE(recs[0].Name, QStringLiteral("a,b.txt"));
        QCOMPARE(recs[0].CurrentVersion, qint16(7));
        QCOMPARE(recs[0].Description, QStringLiteral("d, e"));
        QCOMPARE(recs[1].Name, QStringLiteral("plain.html"));
        QCOMPARE(recs[1].CurrentVersion, qint16(12));
        QCOMPARE(recs[1].Controller, QStringLiteral("x"));
        QCOMPARE(recs[1].Author, QStringLiteral("bare author"));
        QCOMPARE(recs[1].Comment, QStringLiteral("comment text"));
        QCOMPARE(recs[2].Name, QStringLiteral("split.txt"));
        QCOMPARE(recs[2].Author, QStringLiteral("who"));
        QCOMPARE(recs[2].Comment, QStringLiteral("why"));
        QCOMPARE(recs[3].CurrentVersion, qint16(0));

        // Text between a closing quote and the next comma (or line end) belongs to no field.
        const auto junk = readAll("2.0.5\r\n2\r\n\"q.txt\"junk ,5,\"ctl\"x,\"au\"  ,\"d\" y,\"c\"z\r\n"
                                  "\"r.txt\",6,\"\",\"\",\"\",\"\"\r\n");
        QCOMPARE(junk.size(), 2);
        QCOMPARE(junk[0].Name, QStringLiteral("q.txt"));
        QCOMPARE(junk[0].CurrentVersion, qint16(5));
        QCOMPARE(junk[0].Controller, QStringLiteral("ctl"));
        QCOMPARE(junk[0].Author, QStringLiteral("au"));
        QCOMPARE(junk[0].Description, QStringLiteral("d"));
        QCOMPARE(junk[0].Comment, QStringLiteral("c"));
        QCOMPARE(junk[1].Name, QStringLiteral("r.txt"));
        QCOMPARE(junk[1].CurrentVersion, qint16(6));
    }

    void recordCutShortAndEmptyNames() {
        const auto recs = readAll("2.0.5\r\n3\r\n\"\",1,\"\",\"\",\"\",\"\"\r\n\"a.txt\",2,\"me\"");
        QCOMPARE(recs.size(), 2);
        QVERIFY(recs[0].Name.isEmpty());
        QCOMPARE(recs[1].Name, QStringLiteral("a.txt"));
        QCOMPARE(recs[1].CurrentVersion, qint16(2));
        QCOMPARE(recs[1].Controller, QStringLiteral("me"));
        QVERIFY(recs[1].Author.isEmpty() && recs[1].Description.isEmpty() && recs[1].Comment.isEmpty());
        // A quote never closed runs to the end of the file.
        const auto open = readAll("2.0.5\r\n1\r\n\"a.txt\",1,\"x\",\"y\",\"runs on");
        QCOMPARE(open.size(), 1);
        QCOMPARE(open[0].Description, QStringLiteral("runs on"));
    }

    void completeness_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("reason"); // empty: complete
        const QByteArray a = "\"a.txt\",1,\"\",\"\",\"\",\"\"\r\n";
        QTest::newRow("whole") << QByteArray("2.0.5\r\n1\r\n" + a) << QString();
        QTest::newRow("no line end after the last record")
            << QByteArray("2.0.5\r\n1\r\n" + a.left(a.size() - 2)) << QStringLiteral("file is incomplete");
        QTest::newRow("quote never closed")
            << QByteArray("2.0.5\r\n1\r\n\"a.txt\",1,\"\",\"\",\"\",\"half\r\n")
            << QStringLiteral("file is incomplete");
        QTest::newRow("text after a closing quote")
            << QByteArray("2.0.5\r\n1\r\n\"a.txt\"x ,1,\"\",\"\",\"\",\"\"\r\n") << QString();
        QTest::newRow("blank lines between records")
            << QByteArray("2.0.5\r\n2\r\n" + a + "\r\n\r\n\r\n\"b\",1,\"\",\"\",\"\",\"\"\r\n") << QString();
        QTest::newRow("count includes an empty name")
            << QByteArray("2.0.5\r\n2\r\n" + a + "\"\",1,\"\",\"\",\"\",\"\"\r\n")
            << QStringLiteral("2 files expected, 1 files found)");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("file is empty");
        QTest::newRow("line 1 only") << QByteArray("2.0.5\r\n") << QStringLiteral("file is incomplete");
        QTest::newRow("no entries") << QByteArray("2.0.5\r\n0\r\n") << QString();
    }
    void completeness() {
        QFETCH(QByteArray, data);
        QFETCH(QString, reason);
        const CatalogueDocument doc = ParseCatalogue(data);
        QCOMPARE(doc.complete, reason.isEmpty());
        QCOMPARE(doc.reason, reason);
    }

    void everyCutOfACatalogueReadsShort() {
        // An upload that broke off anywhere (short of the very last line feed) is never a whole catalogue.
        const QByteArray whole =
            "2.0.5\r\n3\r\n\"index.html\",3,\"\",\"velmar\",\"Home, page\",\"v: x\"\r\n"
            "\"b.txt\",12,\"Bren\",\"\",\"\",\"\"\r\n\"c d.txt\",1,\"\",\"\",\"C\",\"Alda: 1\"\r\n";
        QVERIFY(ParseCatalogue(whole).complete);
        for (qsizetype cut = 0; cut < whole.size() - 1; ++cut)
            QVERIFY2(!ParseCatalogue(whole.left(cut)).complete, qPrintable(QString::number(cut)));
    }

    void rewriteKeepsEveryByteOfUntouchedEntries() {
        // Bytes 0x80-0xFF, including 0xFF and the five that Windows-1252 leaves unassigned.
        QByteArray high;
        for (int c = 0x80; c <= 0xFF; ++c)
            if (c != '"')
                high.append(char(c));
        const QByteArray data = "2.0.5\r\n2\r\n\"a.txt\",1,\"\",\"\",\"" + high +
                                "\",\"\"\r\n\"b.txt\",1,\"\",\"\",\"\",\"\"\r\n";
        CatalogueDocument doc = ParseCatalogue(data);
        QVERIFY(doc.complete);
        QVERIFY(!doc.utf8);
        QString error;
        CatalogueEdit e;
        e.name = QStringLiteral("B.TXT");
        e.controller = QStringLiteral("Alda");
        QVERIFY(ApplyCatalogueEdit(doc, e, error));
        QCOMPARE(WriteCatalogue(doc), "2.0.5\r\n2\r\n\"a.txt\",1,\"\",\"\",\"" + high +
                                          "\",\"\"\r\n\"b.txt\",1,\"Alda\",\"\",\"\",\"\"\r\n");
        // The edited entry itself goes out in the code page too, unassigned bytes included.
        CatalogueEdit f;
        f.name = QStringLiteral("a.txt");
        f.version = 2;
        QVERIFY(ApplyCatalogueEdit(doc, f, error));
        QVERIFY(WriteCatalogue(doc).contains("\"a.txt\",2,\"\",\"\",\"" + high + "\",\"\"\r\n"));
    }

    void linesAndBlankLines() {
        // No line at all, only line 1, LF line ends and blank lines between records.
        CatalogueReader empty(QByteArray{});
        QString line;
        QVERIFY(!empty.readLine(line));
        CatalogueReader one("2.0.5\r\n");
        QVERIFY(one.readLine(line));
        QVERIFY(!one.readLine(line));
        const auto recs =
            readAll("2.0.5\n2\n\n\"a\",1,\"\",\"\",\"\",\"\"\n\n\"b\",2,\"\",\"\",\"\",\"\"\n\n");
        QCOMPARE(recs.size(), 2);
        QCOMPARE(recs[1].Name, QStringLiteral("b"));
    }

    void versionNumbers() {
        QCOMPARE(LeadingVersion(QStringLiteral("")), qint16(0));
        QCOMPARE(LeadingVersion(QStringLiteral("abc")), qint16(0));
        QCOMPARE(LeadingVersion(QStringLiteral(" 12abc")), qint16(12));
        QCOMPARE(LeadingVersion(QStringLiteral("99999")), qint16(32767));
        QCOMPARE(LeadingVersion(QStringLiteral("-99999")), qint16(-32768));
        QCOMPARE(LeadingVersion(QStringLiteral("99999999999999999999999")), qint16(32767));
    }

    void writerNeverWritesQuotesOrLineBreaks() {
        CatalogueWriter w;
        w.writeLine(QStringLiteral("2.0.5"));
        w.writeLine(QStringLiteral("1"));
        CatalogueRecord r;
        r.Name = QStringLiteral("a.txt");
        r.CurrentVersion = 2;
        r.Description = QStringLiteral("say \"hi\"\r\nsecond line\nthird");
        r.Comment = QStringLiteral("x\ry");
        w.writeRecord(r);
        QCOMPARE(
            w.bytes(),
            QByteArray("2.0.5\r\n1\r\n\"a.txt\",2,\"\",\"\",\"say 'hi' second line third\",\"x y\"\r\n"));
        // Other members read Windows-1252: text goes out in it, and text it cannot hold is refused.
        CatalogueWriter cp(false);
        cp.writeLine(QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac"));
        QVERIFY(cp.ok());
        QCOMPARE(cp.bytes(), QByteArray("caf\xe9 \x80\r\n"));
        cp.writeLine(QString::fromUtf8("Zo\xc5\x9b"));
        QVERIFY(!cp.ok());
        QCOMPARE(cp.unencodable(), QString::fromUtf8("Zo\xc5\x9b"));
        // A catalogue already in UTF-8 stays so.
        CatalogueWriter utf8(true);
        utf8.writeLine(QString::fromUtf8("Zo\xc5\x9b"));
        QVERIFY(utf8.ok());
        QCOMPARE(utf8.bytes(), QByteArray("Zo\xc5\x9b\r\n"));
    }

    void statusTable_data() {
        QTest::addColumn<QString>("controller");
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("local");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("count");
        QTest::newRow("mine, versions differ")
            << "Dovrin" << 4 << 2 << "open" << int(FileStatus::CountCheckedOut);
        QTest::newRow("mine, other case") << "DOVRIN" << 4 << 4 << "open" << int(FileStatus::CountCheckedOut);
        QTest::newRow("older copy") << "" << 4 << 2 << "old" << int(FileStatus::CountOutdated);
        QTest::newRow("never fetched, locked")
            << "someone" << 4 << 0 << "new" << int(FileStatus::CountOutdated);
        QTest::newRow("locked, current") << "someone" << 4 << 4 << "locked" << int(FileStatus::CountNone);
        QTest::newRow("free, current") << "" << 4 << 4 << "unlocked" << int(FileStatus::CountNone);
        QTest::newRow("newer local copy") << "" << 4 << 5 << "old" << int(FileStatus::CountOutdated);
    }
    void statusTable() {
        QFETCH(QString, controller);
        QFETCH(int, version);
        QFETCH(int, local);
        QFETCH(QString, status);
        QFETCH(int, count);
        const FileStatus s =
            DecideFileStatus(controller, version, local, QStringLiteral("dovrin"), ColourFlags{});
        QCOMPARE(s.key, status);
        QCOMPARE(int(s.count), count);
    }

    void freeFileIsNotMineBeforeLogin() {
        QCOMPARE(DecideFileStatus(QString(), 1, 1, QString(), ColourFlags{}).key, QStringLiteral("unlocked"));
    }

    void getIcon() {
        QCOMPARE(GetIcon(true, QStringLiteral("old"), QStringLiteral("a.gif")), QStringLiteral("old"));
        QCOMPARE(GetIcon(false, QStringLiteral("old"), QStringLiteral("Logo.GIF")), QStringLiteral(".gif"));
        QCOMPARE(GetIcon(false, QStringLiteral("unlocked"), QStringLiteral("site.backup.txt")),
                 QStringLiteral(".txt"));
        QCOMPARE(GetIcon(false, QStringLiteral("unlocked"), QStringLiteral("index.html")),
                 QStringLiteral("unlocked"));
        QCOMPARE(GetIcon(false, QStringLiteral("new"), QStringLiteral("README")), QStringLiteral("new"));
        QCOMPARE(GetIcon(false, QStringLiteral("new"), QStringLiteral("tune.txt.")), QStringLiteral("new"));
        QCOMPARE(GetIcon(false, QStringLiteral("new"), QStringLiteral("x.Norrow")),
                 QStringLiteral(".norrow"));
        QCOMPARE(FileListImageKeys().size(), 16);
    }

    void messageTexts() {
        QCOMPARE(FileStore::CountReason(5, 3), QStringLiteral("5 files expected, 3 files found)"));
        QCOMPARE(FileStore::OutdatedMessage(QStringLiteral("2.0.6")),
                 QStringLiteral(
                     "KRtp has been updated to version 2.0.6\r\nYou are currently using version 2.0.5\r\n\r\n"
                     "Please get version 2.0.6 from Dovrin."));
        QCOMPARE(FileStore::RepairQuestion(QStringLiteral("file not found"), QStringLiteral("/home/m/site/")),
                 QStringLiteral("KRtp detected a corrupt or missing _files.txt on the server. This is "
                                "probably the result of KRtp "
                                "crashing the last time that you or another user was checking in, checking "
                                "out, or adding files."
                                "\r\n\r\nKRtp will now try to restore _files.txt from a backup on the "
                                "server.: If this fails, "
                                "please email a copy of the _files.txt.backup file from your computer to "
                                "Dovrin.  This file should "
                                "be found at /home/m/site/.\r\n\r\n(ERR: file not found)\r\n\r\nPress <OK> "
                                "to attempt to restore "
                                "_files.txt from the server backup."));
        QVERIFY(
            FileStore::RepairQuestion(QStringLiteral("2 files expected, 1 files found)"), QString())
                .contains(QStringLiteral(" found at .\r\n\r\n(ERR: 2 files expected, 1 files found))\r\n")));
        QCOMPARE(FileStore::CheckedOutQuestion(1),
                 QStringLiteral(
                     "You currently have 1 file checked out.  Would you like to view the list of checked out "
                     "files?\r\n\r\n<Yes> - View Checked Out Files\r\n<No> - Exit KRtp"));
        QCOMPARE(
            FileStore::CheckedOutQuestion(2),
            QStringLiteral(
                "You currently have 2 files checked out.  Would you like to view the list of checked out "
                "files?\r\n\r\n<Yes> - View Checked Out Files\r\n<No> - Exit KRtp"));
        QCOMPARE(
            FileStore::CommunicationsError(7, QStringLiteral("broken")),
            QStringLiteral("*** communications error ***\r\n7: broken\r\n\r\nYou may need to restart KRtp."));
    }

    void previewContent() {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile t(QStringLiteral("notes.txt"));
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("caf\xe9\r\nline");
        t.close();
        QFile h(QStringLiteral("page.html"));
        QVERIFY(h.open(QIODevice::WriteOnly));
        h.close();
        QFile g(QStringLiteral("Logo.GIF"));
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.close();

        PreviewContent c = PreviewFor(QStringLiteral("notes.txt"));
        QCOMPARE(c.kind, PreviewContent::Text);
        QCOMPARE(c.text, QString::fromLatin1("caf\xe9\r\nline"));
        c = PreviewFor(QStringLiteral("missing.txt"));
        QCOMPARE(c.text, QStringLiteral("missing.txt does not exist on the local hard drive!"));
        c = PreviewFor(QStringLiteral("gone.gif"));
        QCOMPARE(c.kind, PreviewContent::Text);
        QCOMPARE(c.text, QStringLiteral("gone.gif does not exist on the local hard drive!"));
        c = PreviewFor(QStringLiteral("page.html"));
        QCOMPARE(c.text, QStringLiteral("No Preview Availble: page.html"));
        c = PreviewFor(QStringLiteral("Logo.GIF"));
        QCOMPARE(c.kind, PreviewContent::Picture);
        QCOMPARE(c.picturePath, QStringLiteral("Logo.GIF"));
        QVERIFY(QDir::setCurrent(QDir::homePath()));
    }

    void changesOtherMembersMadeAreToldInTheirWords_data() {
        QTest::addColumn<QList<SeenEntry>>("before");
        QTest::addColumn<QList<SeenEntry>>("after");
        QTest::addColumn<QString>("told");
        const SeenEntry a{QStringLiteral("a.txt"), QStringLiteral("4"), QString(), QStringLiteral("Cara: x")};
        const SeenEntry held{QStringLiteral("a.txt"), QStringLiteral("4"), QStringLiteral("Bren"),
                             QStringLiteral("Cara: x")};
        const SeenEntry newer{QStringLiteral("a.txt"), QStringLiteral("5"), QString(),
                              QStringLiteral("Bren: links")};
        const SeenEntry b{QStringLiteral("b.txt"), QStringLiteral("1"), QString(), QString()};
        QTest::newRow("nothing") << QList<SeenEntry>{a} << QList<SeenEntry>{a} << QString();
        QTest::newRow("checked in") << QList<SeenEntry>{held} << QList<SeenEntry>{newer}
                                    << QStringLiteral("Bren checked in a.txt (version 5)");
        QTest::newRow("checked out") << QList<SeenEntry>{a} << QList<SeenEntry>{held}
                                     << QStringLiteral("Bren checked out a.txt");
        QTest::newRow("given back") << QList<SeenEntry>{held} << QList<SeenEntry>{a}
                                    << QStringLiteral("Bren gave back a.txt");
        QTest::newRow("added and removed") << QList<SeenEntry>{a} << QList<SeenEntry>{b}
                                           << QStringLiteral("b.txt was added; a.txt was removed");
    }
    void changesOtherMembersMadeAreToldInTheirWords() {
        QFETCH(QList<SeenEntry>, before);
        QFETCH(QList<SeenEntry>, after);
        QFETCH(QString, told);
        QCOMPARE(DescribeCatalogueChanges(before, after), told);
    }
};

KRTP_TEST_MAIN_CORE(TestCatalogue)
#include "tst_catalogue.moc"
