#include "sitetools/sitetext.h"

#include <QList>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringList>

namespace krtp {

namespace {

// Whether a page names a single-byte character set: the labels browsers read as Windows-1252.
bool declaresSingleByteCharset(const QByteArray& bytes) {
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?\\s*([A-Za-z0-9_:.-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = charset.match(QString::fromLatin1(bytes));
    if (!m.hasMatch())
        return false;
    static const QStringList labels{QStringLiteral("ansi_x3.4-1968"),
                                    QStringLiteral("ascii"),
                                    QStringLiteral("cp1252"),
                                    QStringLiteral("cp819"),
                                    QStringLiteral("csisolatin1"),
                                    QStringLiteral("ibm819"),
                                    QStringLiteral("iso-8859-1"),
                                    QStringLiteral("iso-ir-100"),
                                    QStringLiteral("iso8859-1"),
                                    QStringLiteral("iso88591"),
                                    QStringLiteral("iso_8859-1"),
                                    QStringLiteral("iso_8859-1:1987"),
                                    QStringLiteral("l1"),
                                    QStringLiteral("latin1"),
                                    QStringLiteral("latin-1"),
                                    QStringLiteral("us-ascii"),
                                    QStringLiteral("windows-1252"),
                                    QStringLiteral("x-cp1252")};
    return labels.contains(m.captured(1).toLower());
}

bool isAscii(const QByteArray& bytes) {
    for (char c : bytes)
        if (quint8(c) >= 0x80)
            return false;
    return true;
}

} // namespace

SiteText SiteText::decode(const QByteArray& bytes) {
    SiteText t;
    // The decoder keeps the mark, so that only one is taken off: a file that begins with two
    // keeps the second in its text and is written back as it was.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    t.text = utf8.decode(bytes);
    if (utf8.hasError()) {
        t.utf8 = false;
        t.text = QString::fromLatin1(bytes);
        return t;
    }
    // An all-ASCII page reads the same in any encoding; the one it declares decides how what the
    // member types is written, or a browser shows UTF-8 bytes as two odd characters each.
    if (isAscii(bytes) && declaresSingleByteCharset(bytes)) {
        t.utf8 = false;
        return t;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        t.byteOrderMark = true;
        if (t.text.startsWith(QChar(0xFEFF)))
            t.text.remove(0, 1);
    }
    return t;
}

QByteArray SiteText::encode(const QString& content) const {
    if (utf8) {
        QByteArray out = byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        return out + content.toUtf8();
    }
    QByteArray out;
    out.reserve(content.size());
    const QList<uint> codes = content.toUcs4();
    for (uint code : codes) {
        if (code <= 0xFF)
            out += char(code);
        else
            out += "&#" + QByteArray::number(code) + ';';
    }
    return out;
}

QString NormaliseLineEnds(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    t.replace(QStringLiteral("\r\r\n"), QStringLiteral("\r\n"));
    return t;
}

QString ToEditorText(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

QString FromEditorText(const QString& editorText) {
    // A CR left before a line end is the first of a CR CR LF: it stays, so that the lines the member
    // did not touch keep their bytes.
    QString t = editorText;
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return t;
}

} // namespace krtp
