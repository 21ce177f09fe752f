#include "filestore/catalogue.h"

#include <QStringDecoder>
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

CatalogueReader::CatalogueReader(const QByteArray& data) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    m_text = utf8.decode(data);
    if (utf8.hasError()) {
        m_utf8 = false;
        m_text = QString::fromLatin1(data);
    }
    // A byte order mark is not part of line 1 (the decoder drops it).
    m_bom = m_utf8 && data.startsWith("\xEF\xBB\xBF");
}

bool CatalogueReader::atLineEnd() const {
    return m_pos < m_text.size() &&
           (m_text[m_pos] == QLatin1Char('\r') || m_text[m_pos] == QLatin1Char('\n'));
}

void CatalogueReader::skipLineEnd() {
    if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\r'))
        ++m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('\n'))
        ++m_pos;
}

bool CatalogueReader::readLine(QString& line) {
    if (atEnd())
        return false;
    const qsizetype start = m_pos;
    while (m_pos < m_text.size() && !atLineEnd())
        ++m_pos;
    line = m_text.mid(start, m_pos - start);
    skipLineEnd();
    return true;
}

QString CatalogueReader::readField() {
    while (m_pos < m_text.size() && (m_text[m_pos] == QLatin1Char(' ') || m_text[m_pos] == QLatin1Char('\t')))
        ++m_pos;
    if (atEnd())
        return {};
    QString value;
    if (m_text[m_pos] == QLatin1Char('"')) {
        const qsizetype close = m_text.indexOf(QLatin1Char('"'), m_pos + 1);
        const qsizetype end = close < 0 ? m_text.size() : close;
        value = m_text.mid(m_pos + 1, end - m_pos - 1);
        m_pos = close < 0 ? end : end + 1;
        // Anything between the closing quote and the separator is not part of the field.
        while (m_pos < m_text.size() && m_text[m_pos] != QLatin1Char(',') && !atLineEnd())
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != QLatin1Char(',') && !atLineEnd())
            ++m_pos;
        value = m_text.mid(start, m_pos - start);
    }
    if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char(','))
        ++m_pos;
    else
        skipLineEnd();
    return value;
}

bool CatalogueReader::readRecord(CatalogueRecord& record) {
    // Blank lines between records carry no field.
    for (;;) {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == QLatin1Char(' ') || m_text[m_pos] == QLatin1Char('\t')))
            ++m_pos;
        if (!atLineEnd())
            break;
        skipLineEnd();
    }
    if (atEnd())
        return false;
    record.Name = readField();
    record.CurrentVersion = LeadingVersion(readField());
    record.Controller = readField();
    record.Author = readField();
    record.Description = readField();
    record.Comment = readField();
    return true;
}

QString CatalogueWriter::cleanField(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('"'), QLatin1Char('\''));
    out.replace(QLatin1String("\r\n"), QLatin1String(" "));
    out.replace(QLatin1Char('\r'), QLatin1Char(' '));
    out.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return out;
}

void CatalogueWriter::writeLine(const QString& line) {
    QString clean = line;
    clean.remove(QLatin1Char('\r'));
    clean.remove(QLatin1Char('\n'));
    m_text += clean;
    m_text += QLatin1String("\r\n");
}

void CatalogueWriter::writeRecord(const CatalogueRecord& r) {
    const auto quoted = [this](const QString& s) {
        m_text += QLatin1Char('"');
        m_text += cleanField(s);
        m_text += QLatin1Char('"');
    };
    quoted(r.Name);
    m_text += QLatin1Char(',');
    m_text += QString::number(r.CurrentVersion);
    m_text += QLatin1Char(',');
    quoted(r.Controller);
    m_text += QLatin1Char(',');
    quoted(r.Author);
    m_text += QLatin1Char(',');
    quoted(r.Description);
    m_text += QLatin1Char(',');
    quoted(r.Comment);
    m_text += QLatin1String("\r\n");
}

QByteArray CatalogueWriter::bytes() const {
    if (!m_utf8) {
        bool fits = true;
        for (QChar c : m_text)
            if (c.unicode() > 0xFF) {
                fits = false;
                break;
            }
        if (fits)
            return m_text.toLatin1();
    }
    return (m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + m_text.toUtf8();
}

} // namespace krtp
