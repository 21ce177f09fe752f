#pragma once

#include <QByteArray>
#include <QString>

namespace krtp {

// A site file's text with the encoding it came in, so that it is written back the same way: UTF-8
// when the bytes are valid UTF-8 (a byte order mark is kept), unless they are all ASCII and declare a
// single-byte charset (iso-8859-1, windows-1252...); otherwise one byte per character as read
// (Latin-1 reading keeps every byte).
struct SiteText {
    QString text;
    bool utf8 = true;
    bool byteOrderMark = false;

    static SiteText decode(const QByteArray& bytes);
    // The text in this encoding. Characters a single-byte file cannot hold become HTML character
    // references ("&#8364;"), which every page shows as the character itself.
    QByteArray encode(const QString& text) const;
    QByteArray encode() const { return encode(text); }
};

// Line ends as the editor keeps them: every LF becomes CR LF, then every CR CR LF becomes CR LF,
// so bare LF ends turn into CR LF and CR LF ends stay.
QString NormaliseLineEnds(const QString& text);

// Between the stored text (CR LF line ends) and a text box, which knows only LF.
QString ToEditorText(const QString& text);
QString FromEditorText(const QString& editorText);

} // namespace krtp
