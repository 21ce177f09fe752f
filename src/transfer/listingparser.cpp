#include "transfer/listingparser.h"

#include <QList>

namespace krtp {

namespace {

QByteArray withoutCarriageReturn(const QByteArray& raw) {
    return raw.endsWith('\r') ? raw.chopped(1) : raw;
}

} // namespace

bool ParseMachineListingLine(const QByteArray& line, QByteArray& type, QString& name) {
    const qsizetype sp = line.indexOf(' ');
    if (sp <= 0)
        return false;
    type.clear();
    for (const QByteArray& fact : line.left(sp).split(';'))
        if (fact.toLower().startsWith("type="))
            type = fact.mid(5).toLower();
    if (type.isEmpty())
        return false;
    name = QString::fromUtf8(line.mid(sp + 1));
    return true;
}

QByteArray FormatMachineListing(const QByteArray& body) {
    QByteArray out;
    QByteArray type;
    QString name;
    for (const QByteArray& raw : body.split('\n')) {
        if (!ParseMachineListingLine(withoutCarriageReturn(raw), type, name) || type == "cdir" ||
            type == "pdir")
            continue;
        out += name.toUtf8();
        if (type == "dir")
            out += '/';
        out += "\r\n";
    }
    return out;
}

QByteArray FormatUnixListing(const QByteArray& body) {
    QByteArray out;
    for (const QByteArray& raw : body.split('\n')) {
        const QByteArray line = withoutCarriageReturn(raw);
        if (line.isEmpty() || line.startsWith("total "))
            continue;
        qsizetype pos = 0;
        for (int field = 0; field < 8 && pos >= 0; ++field) {
            while (pos < line.size() && line[pos] == ' ')
                ++pos;
            pos = line.indexOf(' ', pos);
        }
        if (pos < 0)
            continue;
        QByteArray name = line.mid(pos + 1);
        if (line.startsWith('l') && name.contains(" -> "))
            name = name.left(name.indexOf(" -> "));
        if (name == "." || name == "..")
            continue;
        out += name;
        if (line.startsWith('d'))
            out += '/';
        out += "\r\n";
    }
    return out;
}

} // namespace krtp
