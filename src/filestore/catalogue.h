#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace krtp {

// The shared catalogue "_files.txt" in the control folder, and its names.
inline constexpr char kCatalogueName[] = "_files.txt";
inline constexpr char kBackupSuffix[] = ".backup";
inline constexpr char kControlFolderCommand[] = "cd /krg";

// One entry of the catalogue, in file order.
struct CatalogueRecord {
    QString Name;
    qint16 CurrentVersion = 0;
    QString Controller;
    QString Author;
    QString Description;
    QString Comment;
    // The entry's bytes as read, without its line end. A rewrite sends them back unchanged, so an
    // entry nobody edited stays exactly as the member who wrote it left it. Cleared by any edit.
    QByteArray raw;
};

// The number formed by optional leading blanks, an optional sign and the digits that follow;
// 0 when there are none. Saturates instead of overflowing.
qint64 LeadingNumber(const QString& text);
// LeadingNumber clamped into the 16-bit range the catalogue's versions use.
qint16 LeadingVersion(const QString& text);

// Lines 1 and 2: the required program version and the entry count.
struct CatalogueHeader {
    bool hasVersionLine = false;
    bool hasCountLine = false;
    QString versionLine;
    QByteArray versionLineRaw;
    qint64 count = 0;
};

// Reads a catalogue: lines 1 and 2 as whole lines, then records of six fields where commas and line
// ends alike separate fields. A quoted field runs to the next double quote (commas and line breaks
// inside belong to it); other fields run to the next comma or line end; blanks before a field are
// skipped; a record cut short by the end of the file gets empty fields. Blank lines between records
// are skipped.
// Other members' clients write the catalogue in Windows-1252; a file that is valid UTF-8 with bytes
// beyond ASCII (or starts with a UTF-8 byte order mark) was written in UTF-8 and is read so.
class CatalogueReader {
public:
    explicit CatalogueReader(const QByteArray& data);

    bool isUtf8() const { return m_utf8; }
    // Whether the file began with a UTF-8 byte order mark (not part of line 1).
    bool hasByteOrderMark() const { return m_bom; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    // The next whole line without its line end; false when the file has no more line.
    bool readLine(QString& line, QByteArray* raw = nullptr);
    // Lines 1 and 2.
    CatalogueHeader readHeader();
    // The next record; false when no record begins before the end of the file.
    bool readRecord(CatalogueRecord& record);
    // Whether the last record read was whole: its quotes closed and a line end after it. Every
    // writer ends a record with one, so a record without is the cut end of an interrupted upload.
    bool lastRecordWhole() const { return m_lastWhole; }

private:
    bool atLineEnd() const;
    void skipLineEnd();
    QString readField(bool& closed);
    QString decode(const QByteArray& bytes) const;

    QByteArray m_data;
    qsizetype m_pos = 0;
    bool m_utf8 = false;
    bool m_bom = false;
    bool m_lastWhole = true;
    bool m_endedByLine = false;
    qsizetype m_fieldEnd = 0;
};

// "N files expected, M files found)", the reason of a catalogue whose count line is wrong.
QString CatalogueCountReason(qint64 expected, qint64 found);

// A whole catalogue read at once: its header, the entries with a name, and whether it is complete
// (both lines there, as many entries as line 2 says, the last entry not cut).
struct CatalogueDocument {
    CatalogueHeader header;
    QList<CatalogueRecord> records;
    bool utf8 = false;
    bool byteOrderMark = false;
    bool complete = false;
    QString reason; // why it is not complete: the texts of the repair question
};
CatalogueDocument ParseCatalogue(const QByteArray& data);

// Writes a catalogue in the form every client reads: CR LF line ends, text fields in double quotes,
// the version as a bare number. A text field never holds a double quote (it becomes an apostrophe)
// or a line break (it becomes a blank), since the format has no escape for either. Text goes out in
// the catalogue's own encoding; text that Windows-1252 cannot hold is refused rather than mangled.
class CatalogueWriter {
public:
    explicit CatalogueWriter(bool utf8 = false, bool byteOrderMark = false);

    void writeRawLine(const QByteArray& line);
    void writeLine(const QString& line);
    // An entry that still has its bytes as read goes out as it came.
    void writeRecord(const CatalogueRecord& record);
    QByteArray bytes() const;

    // False when some text could not be written in the catalogue's encoding; unencodable() names it.
    bool ok() const { return m_unencodable.isEmpty(); }
    const QString& unencodable() const { return m_unencodable; }

    static QString cleanField(const QString& text);
    // Whether text can be written into a Windows-1252 catalogue.
    static bool fitsCodePage(const QString& text);

private:
    void append(const QString& text);

    QByteArray m_data;
    bool m_utf8;
    bool m_bom;
    QString m_unencodable;
};

// The whole catalogue as CatalogueWriter writes it: line 1 as it came, line 2 from header.count, the records.
QByteArray WriteCatalogue(const CatalogueDocument& doc, QString* unencodable = nullptr);

} // namespace krtp
