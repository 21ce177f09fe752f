#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace krtp {

// The list of news pages on the host: one page per line, "display name,page path,template path"
// followed by the names of members the page is not offered to.
inline constexpr char kNewsListPath[] = "krg/_news.dat";
// New items go right after this marker, so the newest comes first.
inline constexpr char kNewsMarker[] = "<!--begin-->";

struct NewsPage {
    QString displayName;
    QString pagePath;     // below the site root
    QString templatePath; // below the site root
};

// The pages offered to member: fields are split at every comma (missing ones are empty); a page is
// left out when one of its fourth and later fields equals the member's name ignoring case. Lines end
// in CR LF (a bare LF is taken as a line end too); empty lines are skipped.
QList<NewsPage> ParseNewsPages(const QString& text, const QString& member);

// Why a path from the host or the member cannot be used as a site path (empty when it can): it must
// name a file below the site root, without "..", drive letters, control characters or double quotes.
QString SitePathError(const QString& path);

// "m/d/yy", "h:nn" on the 12-hour clock, "AM"/"PM".
QString NewsDate(const QDateTime& when);
QString NewsTime(const QDateTime& when);
QString NewsAmPm(const QDateTime& when);

// What a member types into a news item.
struct NewsItemText {
    QString subject;
    QString timeZone;
    QString news; // lines end in CR LF (or LF)
};

// The template with its placeholders filled in the order @NICKNAME@, @DATE@, @TIME@, @AMPM@,
// @SUBJECT@, @TIMEZONE@, @POST@ (ignoring case). A placeholder inside an earlier value is filled
// too. The texts go into the item as typed; line ends of the news become "<BR>".
QString FillNewsTemplate(const QString& templateText, const QString& member, const QDateTime& when,
                         const NewsItemText& text);

// How a page's bytes are extended: a page that is all ASCII, valid UTF-8, or single-byte text.
enum class PageEncoding { Ascii, Utf8, SingleByte };
PageEncoding DetectPageEncoding(const QByteArray& page);
// text in the page's encoding. A character the encoding cannot hold becomes an HTML character
// reference ("&#8364;"): in an ASCII page every non-ASCII character does, so the page stays readable
// whatever character set it declares.
QByteArray EncodeForPage(const QString& text, PageEncoding encoding);

// The page with item inserted after every marker (found ignoring case, kept as it stands). All other
// bytes of the page are kept as they are. count receives the number of markers.
QByteArray InsertNewsItem(const QByteArray& page, const QString& item, int* count = nullptr);

// Texts the news window's buttons insert into the news.
QString NewMemberText(const QString& name); // CR LF + "<b>KR Welcomes NAME to the KR Team!</b>"
QString HyperlinkText(const QString& reference, bool newWindow, const QString& linkText);
QString ImageText(const QString& location);

} // namespace krtp
