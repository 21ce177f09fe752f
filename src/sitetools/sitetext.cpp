#include "sitetools/sitetext.h"

#include <QList>
#include <QStringDecoder>

namespace krtp {

SiteText SiteText::decode(const QByteArray& bytes) {
    SiteText t;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    t.text = utf8.decode(bytes);
    if (utf8.hasError()) {
        t.utf8 = false;
        t.text = QString::fromLatin1(bytes);
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
    QString t = editorText;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return t;
}

} // namespace krtp
