#include "filestore/catalogue.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <limits>

namespace krtp {

qint64 LeadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        if (value < std::numeric_limits<qint64>::max() / 10 - 10)
            value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

qint16 LeadingVersion(const QString& text) {
    const qint64 lo = std::numeric_limits<qint16>::min(), hi = std::numeric_limits<qint16>::max();
    return qint16(qBound(lo, LeadingNumber(text), hi));
}

namespace {

constexpr char kCodePage[] = "Windows-1252";

bool isAscii(const char* p, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (uchar(p[i]) >= 0x80)
            return false;
    return true;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

QString CatalogueCountReason(qint64 expected, qint64 found) {
    return QString::number(expected) + QStringLiteral(" files expected, ") + QString::number(found) +
           QStringLiteral(" files found)");
}

CatalogueReader::CatalogueReader(const QByteArray& data) : m_data(data) {
    if (!isAscii(data.constData(), data.size())) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(data); // decoding happens on conversion
        m_utf8 = !utf8.hasError();
    }
    // A byte order mark is not part of line 1.
    m_bom = m_utf8 && data.startsWith("\xEF\xBB\xBF");
    if (m_bom)
        m_pos = 3;
}

QString CatalogueReader::decode(const QByteArray& bytes) const {
    if (isAscii(bytes.constData(), bytes.size()))
        return QString::fromLatin1(bytes);
    if (m_utf8)
        return QString::fromUtf8(bytes);
    QStringDecoder d(kCodePage);
    return d.decode(bytes);
}

bool CatalogueReader::atLineEnd() const {
    return m_pos < m_data.size() && (m_data[m_pos] == '\r' || m_data[m_pos] == '\n');
}

void CatalogueReader::skipLineEnd() {
    if (m_pos < m_data.size() && m_data[m_pos] == '\r')
        ++m_pos;
    if (m_pos < m_data.size() && m_data[m_pos] == '\n')
        ++m_pos;
}

bool CatalogueReader::readLine(QString& line, QByteArray* raw) {
    if (atEnd())
        return false;
    const qsizetype start = m_pos;
    while (m_pos < m_data.size() && !atLineEnd())
        ++m_pos;
    const QByteArray bytes = m_data.mid(start, m_pos - start);
    line = decode(bytes);
    if (raw)
        *raw = bytes;
    skipLineEnd();
    return true;
}

CatalogueHeader CatalogueReader::readHeader() {
    CatalogueHeader h;
    h.hasVersionLine = readLine(h.versionLine, &h.versionLineRaw);
    QString countLine;
    h.hasCountLine = h.hasVersionLine && readLine(countLine);
    if (h.hasCountLine)
        h.count = LeadingNumber(countLine);
    return h;
}

QString CatalogueReader::readField(bool& closed) {
    while (m_pos < m_data.size() && isBlank(m_data[m_pos]))
        ++m_pos;
    closed = true;
    if (atEnd()) {
        closed = false;
        return {};
    }
    QByteArray value;
    if (m_data[m_pos] == '"') {
        const qsizetype close = m_data.indexOf('"', m_pos + 1);
        closed = close >= 0;
        const qsizetype end = close < 0 ? m_data.size() : close;
        value = m_data.mid(m_pos + 1, end - m_pos - 1);
        m_pos = close < 0 ? end : end + 1;
        // Anything between the closing quote and the separator is not part of the field.
        while (m_pos < m_data.size() && m_data[m_pos] != ',' && !atLineEnd())
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < m_data.size() && m_data[m_pos] != ',' && !atLineEnd())
            ++m_pos;
        value = m_data.mid(start, m_pos - start);
    }
    m_fieldEnd = m_pos;
    if (m_pos < m_data.size() && m_data[m_pos] == ',') {
        ++m_pos;
        m_endedByLine = false;
    } else {
        m_endedByLine = atLineEnd();
        skipLineEnd();
    }
    return decode(value);
}

bool CatalogueReader::readRecord(CatalogueRecord& record) {
    // Blank lines between records carry no field.
    qsizetype start = m_pos;
    for (;;) {
        start = m_pos;
        while (m_pos < m_data.size() && isBlank(m_data[m_pos]))
            ++m_pos;
        if (!atLineEnd())
            break;
        skipLineEnd();
    }
    if (atEnd())
        return false;
    bool whole = true, closed = true;
    record.Name = readField(closed);
    whole = whole && closed;
    record.CurrentVersion = LeadingVersion(readField(closed));
    whole = whole && closed;
    record.Controller = readField(closed);
    whole = whole && closed;
    record.Author = readField(closed);
    whole = whole && closed;
    record.Description = readField(closed);
    whole = whole && closed;
    record.Comment = readField(closed);
    whole = whole && closed;
    m_lastWhole = whole && m_endedByLine;
    record.raw = m_data.mid(start, m_fieldEnd - start);
    return true;
}

CatalogueDocument ParseCatalogue(const QByteArray& data) {
    CatalogueDocument doc;
    CatalogueReader reader(data);
    doc.utf8 = reader.isUtf8();
    doc.byteOrderMark = reader.hasByteOrderMark();
    doc.header = reader.readHeader();
    if (!doc.header.hasVersionLine) {
        doc.reason = QStringLiteral("file is empty");
        return doc;
    }
    if (!doc.header.hasCountLine) {
        doc.reason = QStringLiteral("file is incomplete");
        return doc;
    }
    CatalogueRecord r;
    bool any = false;
    while (reader.readRecord(r)) {
        any = true;
        if (!r.Name.isEmpty())
            doc.records << r;
    }
    const qint64 expected = LeadingVersion(QString::number(doc.header.count));
    if (expected != doc.records.size()) {
        doc.reason = CatalogueCountReason(expected, doc.records.size());
        return doc;
    }
    if (any && !reader.lastRecordWhole()) {
        doc.reason = QStringLiteral("file is incomplete");
        return doc;
    }
    doc.complete = true;
    return doc;
}

CatalogueWriter::CatalogueWriter(bool utf8, bool byteOrderMark) : m_utf8(utf8), m_bom(byteOrderMark && utf8) {
    if (m_bom)
        m_data = QByteArray("\xEF\xBB\xBF");
}

bool CatalogueWriter::fitsCodePage(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80) {
            QStringEncoder e(kCodePage);
            const QByteArray bytes = e.encode(text); // encoding happens on conversion
            return !e.hasError();
        }
    return true;
}

void CatalogueWriter::append(const QString& text) {
    bool ascii = true;
    for (const QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        m_data += text.toLatin1();
    } else if (m_utf8) {
        m_data += text.toUtf8();
    } else {
        QStringEncoder e(kCodePage);
        const QByteArray bytes = e.encode(text);
        if (e.hasError() && m_unencodable.isEmpty())
            m_unencodable = text;
        m_data += bytes;
    }
}

QString CatalogueWriter::cleanField(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('"'), QLatin1Char('\''));
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

void CatalogueWriter::writeRawLine(const QByteArray& line) {
    m_data += line;
    m_data += "\r\n";
}

void CatalogueWriter::writeLine(const QString& line) {
    QString clean = line;
    clean.remove(QLatin1Char('\r'));
    clean.remove(QLatin1Char('\n'));
    append(clean);
    m_data += "\r\n";
}

void CatalogueWriter::writeRecord(const CatalogueRecord& r) {
    if (!r.raw.isEmpty()) {
        writeRawLine(r.raw);
        return;
    }
    const auto quoted = [this](const QString& s) {
        m_data += '"';
        append(cleanField(s));
        m_data += '"';
    };
    quoted(r.Name);
    m_data += ',';
    m_data += QByteArray::number(r.CurrentVersion);
    m_data += ',';
    quoted(r.Controller);
    m_data += ',';
    quoted(r.Author);
    m_data += ',';
    quoted(r.Description);
    m_data += ',';
    quoted(r.Comment);
    m_data += "\r\n";
}

QByteArray CatalogueWriter::bytes() const {
    return m_data;
}

QByteArray WriteCatalogue(const CatalogueDocument& doc, QString* unencodable) {
    CatalogueWriter w(doc.utf8, doc.byteOrderMark);
    w.writeRawLine(doc.header.versionLineRaw);
    w.writeLine(QString::number(doc.header.count));
    for (const CatalogueRecord& r : doc.records)
        w.writeRecord(r);
    if (unencodable)
        *unencodable = w.unencodable();
    return w.bytes();
}

} // namespace krtp
