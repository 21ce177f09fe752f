#include "sitetools/newspages.h"

#include "transfer/transferroutines.h"
#include "util/textutil.h"

#include <QStringDecoder>

namespace krtp {

QList<NewsPage> ParseNewsPages(const QString& text, const QString& member) {
    QList<NewsPage> pages;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        bool excluded = false;
        for (qsizetype i = 3; i < fields.size(); ++i)
            if (fields.at(i).compare(member, Qt::CaseInsensitive) == 0)
                excluded = true;
        if (!excluded)
            pages.append({fields.value(0), fields.value(1), fields.value(2)});
    }
    return pages;
}

QString SitePathError(const QString& path) {
    for (QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control)
            return QStringLiteral("The path \"") + path + QStringLiteral("\" holds a control character.");
        if (c == QLatin1Char('"'))
            return QStringLiteral("The path \"") + path + QStringLiteral("\" holds a double quote.");
    }
    const MirrorPath m = MapMirrorPath(path);
    return m.ok ? QString() : m.error;
}

QString NewsDate(const QDateTime& when) {
    const QDate d = when.date();
    return QStringLiteral("%1/%2/%3")
        .arg(d.month())
        .arg(d.day())
        .arg(d.year() % 100, 2, 10, QLatin1Char('0'));
}

QString NewsTime(const QDateTime& when) {
    const QTime t = when.time();
    const int hour = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    return QStringLiteral("%1:%2").arg(hour).arg(t.minute(), 2, 10, QLatin1Char('0'));
}

QString NewsAmPm(const QDateTime& when) {
    return when.time().hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
}

QString FillNewsTemplate(const QString& templateText, const QString& member, const QDateTime& when,
                         const NewsItemText& text) {
    QString post = text.news;
    ReplaceTextMatchCase(post, {QStringLiteral("\r\n"), QStringLiteral("<BR>")});
    // Text from a file or a platform whose line ends are a bare LF breaks the same way.
    ReplaceTextMatchCase(post, {QStringLiteral("\n"), QStringLiteral("<BR>")});
    QString item = templateText;
    ReplaceText(item, {QStringLiteral("@NICKNAME@"), member.toLower(), QStringLiteral("@DATE@"),
                       NewsDate(when), QStringLiteral("@TIME@"), NewsTime(when), QStringLiteral("@AMPM@"),
                       NewsAmPm(when), QStringLiteral("@SUBJECT@"), text.subject,
                       QStringLiteral("@TIMEZONE@"), text.timeZone, QStringLiteral("@POST@"), post});
    return item;
}

PageEncoding DetectPageEncoding(const QByteArray& page) {
    bool ascii = true;
    for (char c : page)
        if (quint8(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return PageEncoding::Ascii;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // decode() is lazy: the conversion, and with it the error check, happens on assignment.
    const QString decoded = utf8.decode(page);
    return utf8.hasError() ? PageEncoding::SingleByte : PageEncoding::Utf8;
}

QByteArray EncodeForPage(const QString& text, PageEncoding encoding) {
    if (encoding == PageEncoding::Utf8)
        return text.toUtf8();
    const uint limit = encoding == PageEncoding::Ascii ? 0x80 : 0x100;
    QByteArray out;
    out.reserve(text.size());
    for (uint c : text.toUcs4()) {
        if (c < limit)
            out.append(char(c));
        else
            out += "&#" + QByteArray::number(c) + ';';
    }
    return out;
}

QByteArray InsertNewsItem(const QByteArray& page, const QString& item, int* count) {
    const QByteArray marker(kNewsMarker);
    const QByteArray bytes = EncodeForPage(item, DetectPageEncoding(page));
    // The marker is ASCII, so a byte-wise search ignoring ASCII case finds it in every encoding.
    const QByteArray lower = page.toLower();
    QByteArray out;
    out.reserve(page.size() + bytes.size());
    int found = 0;
    qsizetype from = 0;
    for (qsizetype at = lower.indexOf(marker); at >= 0; at = lower.indexOf(marker, from)) {
        const qsizetype end = at + marker.size();
        out += page.mid(from, end - from);
        out += bytes;
        from = end;
        ++found;
    }
    out += page.mid(from);
    if (count)
        *count = found;
    return out;
}

QString NewMemberText(const QString& name) {
    return QStringLiteral("\r\n<b>KR Welcomes ") + name + QStringLiteral(" to the KR Team!</b>");
}

QString HyperlinkText(const QString& reference, bool newWindow, const QString& linkText) {
    const QString target = newWindow ? QStringLiteral(" target=\"_TOP\"") : QString();
    return QStringLiteral("<a href=\"") + reference + QLatin1Char('"') + target + QLatin1Char('>') +
           linkText + QStringLiteral("</a>");
}

QString ImageText(const QString& location) {
    return QStringLiteral("<img src=\"") + location + QStringLiteral("\" border=\"0\">");
}

} // namespace krtp
