#include "util/textutil.h"

#include <QStringDecoder>

namespace krtp {

namespace {

template <typename MakeReplacement>
void replaceAll(QString& text, const QString& search, MakeReplacement makeReplacement) {
    if (search.isEmpty())
        return;
    qsizetype pos = text.indexOf(search, 0, Qt::CaseInsensitive);
    while (pos >= 0) {
        const QString replacement = makeReplacement(text.mid(pos, search.size()));
        text.replace(pos, search.size(), replacement);
        pos = text.indexOf(search, pos + replacement.size(), Qt::CaseInsensitive);
    }
}

} // namespace

QString ReplaceText(QString& text, const QStringList& pairs) {
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        const QString& replacement = pairs[i + 1];
        replaceAll(text, pairs[i], [&](const QString&) { return replacement; });
    }
    return text;
}

QString ReplaceTextMatchCase(QString& text, const QStringList& pairs) {
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        const QString& replacement = pairs[i + 1];
        replaceAll(text, pairs[i], [&](const QString& found) {
            if (IsAllUpper(found))
                return replacement.toUpper();
            if (IsAllLower(found))
                return replacement.toLower();
            if (IsProperCase(found))
                return ProperCase(replacement);
            return replacement;
        });
    }
    return text;
}

bool StripPrefix(QString& text, const QString& prefix) {
    QString compared = text;
    if (!prefix.startsWith(QLatin1Char(' '))) {
        qsizetype n = 0;
        while (n < compared.size() && compared[n] == QLatin1Char(' '))
            ++n;
        compared = compared.mid(n);
    }
    if (!compared.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    text = compared.mid(prefix.size());
    return true;
}

void SplitAtFirst(const QString& text, const QString& separator, QString& before, QString& after) {
    const QString source = text; // after may alias text
    const qsizetype pos = separator.isEmpty() ? -1 : source.indexOf(separator);
    if (pos < 0) {
        before = source;
        after.clear();
        return;
    }
    before = source.left(pos);
    after = source.mid(pos + separator.size());
}

bool IsAllUpper(const QString& text) {
    return text == text.toUpper();
}
bool IsAllLower(const QString& text) {
    return text == text.toLower();
}

bool IsProperCase(const QString& text) {
    if (text.isEmpty())
        return true;
    return text.left(1) == text.left(1).toUpper() && text.mid(1) == text.mid(1).toLower();
}

QString ProperCase(const QString& text) {
    return text.left(1).toUpper() + text.mid(1).toLower();
}

QString DecodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace krtp
