#pragma once

#include <QByteArray>
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
};

// The number formed by optional leading blanks, an optional sign and the digits that follow;
// 0 when there are none. Saturates instead of overflowing.
qint64 LeadingNumber(const QString& text);
// LeadingNumber clamped into the 16-bit range the catalogue's versions use.
qint16 LeadingVersion(const QString& text);

// Reads a catalogue: lines 1 and 2 as whole lines, then records of six fields where commas and line
// ends alike separate fields. A quoted field runs to the next double quote (commas and line breaks
// inside belong to it); other fields run to the next comma or line end; blanks before a field are
// skipped; a record cut short by the end of the file gets empty fields. Blank lines between records
// are skipped. Text is UTF-8 when the whole file is valid UTF-8, otherwise Latin-1, so that every
// file reads back to the same bytes.
class CatalogueReader {
public:
    explicit CatalogueReader(const QByteArray& data);

    bool isUtf8() const { return m_utf8; }
    // Whether the file began with a UTF-8 byte order mark (not part of line 1).
    bool hasByteOrderMark() const { return m_bom; }
    bool atEnd() const { return m_pos >= m_text.size(); }
    // The next whole line without its line end; false when the file has no more line.
    bool readLine(QString& line);
    // The next record; false when no record begins before the end of the file.
    bool readRecord(CatalogueRecord& record);

private:
    bool atLineEnd() const;
    void skipLineEnd();
    QString readField();

    QString m_text;
    qsizetype m_pos = 0;
    bool m_utf8 = true;
    bool m_bom = false;
};

// Writes a catalogue in the form every client reads: CR LF line ends, text fields in double quotes,
// the version as a bare number. A text field never holds a double quote (it becomes an apostrophe)
// or a line break (it becomes a blank), since the format has no escape for either.
class CatalogueWriter {
public:
    // utf8 false keeps a Latin-1 catalogue in Latin-1 as long as every text fits; a byte order mark
    // the catalogue had is kept, so that a rewrite changes only what it means to.
    explicit CatalogueWriter(bool utf8 = true, bool byteOrderMark = false)
        : m_utf8(utf8), m_bom(byteOrderMark) {}

    void writeLine(const QString& line);
    void writeRecord(const CatalogueRecord& record);
    QByteArray bytes() const;

    static QString cleanField(const QString& text);

private:
    QString m_text;
    bool m_utf8;
    bool m_bom;
};

} // namespace krtp
