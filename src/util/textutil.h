#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// Replaces every occurrence of each search text (ignoring case) by its replacement; pairs are
// applied one after another and inserted text is never searched again.
QString ReplaceText(QString& text, const QStringList& pairs);

// As ReplaceText, but the replacement follows the letter case of each occurrence
// (all upper, all lower, proper case, otherwise unchanged).
QString ReplaceTextMatchCase(QString& text, const QStringList& pairs);

// Removes prefix (ignoring case) from text. Leading blanks of text are skipped first unless the
// prefix itself begins with a blank. On no match text is left untouched and false returned.
bool StripPrefix(QString& text, const QString& prefix);

// Splits at the first exact occurrence of separator. after may alias text.
void SplitAtFirst(const QString& text, const QString& separator, QString& before, QString& after);

bool IsAllUpper(const QString& text);
bool IsAllLower(const QString& text);
bool IsProperCase(const QString& text);
QString ProperCase(const QString& text);

// Text of a file a member may have saved either way: UTF-8 when the bytes are valid UTF-8 (a byte
// order mark is dropped), otherwise single-byte Latin-1.
QString DecodeText(const QByteArray& bytes);

} // namespace krtp
