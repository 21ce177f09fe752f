#include "filestore/textdiff.h"

#include <QCryptographicHash>

#include <dtl/dtl.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace krtp {

namespace {

// Lines without their ends; a CR before LF belongs to the line end, so CR LF and LF files compare by text.
std::vector<std::string> linesOf(const QByteArray& data) {
    std::vector<std::string> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data.at(stop - 1) == '\r')
            --stop;
        lines.emplace_back(data.constData() + start, size_t(stop - start));
        start = end + 1;
    }
    return lines;
}

QString describe(const QByteArray& data) {
    return QString::number(data.size()) + QStringLiteral(" bytes, SHA-256 ") +
           QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

} // namespace

bool IsBinaryData(const QByteArray& data) {
    return data.left(8000).contains('\0');
}

TextDiff CompareVersions(const QByteArray& from, const QByteArray& to, const QString& fromLabel,
                         const QString& toLabel) {
    TextDiff out;
    out.different = from != to;
    if (!out.different)
        return out;
    if (IsBinaryData(from) || IsBinaryData(to)) {
        out.binary = true;
        out.text = QStringLiteral("Binary files ") + fromLabel + QStringLiteral(" and ") + toLabel +
                   QStringLiteral(" differ\n") + fromLabel + QStringLiteral(": ") + describe(from) +
                   QLatin1Char('\n') + toLabel + QStringLiteral(": ") + describe(to) + QLatin1Char('\n');
        return out;
    }
    const std::vector<std::string> a = linesOf(from);
    const std::vector<std::string> b = linesOf(to);
    dtl::Diff<std::string> diff(a, b);
    diff.onHuge();
    diff.compose();
    diff.composeUnifiedHunks();
    std::ostringstream hunks;
    diff.printUnifiedFormat(hunks);
    out.text = QStringLiteral("--- ") + fromLabel + QStringLiteral("\n+++ ") + toLabel + QLatin1Char('\n') +
               QString::fromUtf8(hunks.str());
    if (hunks.str().empty())
        out.text += QStringLiteral("(only the line ends differ)\n");
    return out;
}

} // namespace krtp
