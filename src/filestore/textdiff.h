#pragma once

#include <QByteArray>
#include <QString>

namespace krtp {

// Two versions of a file compared: a unified diff of their lines (computed by the dtl library), or,
// when either holds binary data, one line that they differ with their sizes and SHA-256 hashes.
struct TextDiff {
    bool different = false;
    bool binary = false;
    QString text; // empty when equal
};

// Whether data is binary rather than text (a NUL byte in its first 8000 bytes, as diff tools decide).
bool IsBinaryData(const QByteArray& data);

TextDiff CompareVersions(const QByteArray& from, const QByteArray& to, const QString& fromLabel,
                         const QString& toLabel);

} // namespace krtp
