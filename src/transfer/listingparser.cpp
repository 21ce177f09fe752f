#include "transfer/listingparser.h"

#include <QList>

namespace krtp {

namespace {

QByteArray withoutCarriageReturn(const QByteArray& raw) {
    return raw.endsWith('\r') ? raw.chopped(1) : raw;
}

// The next blank-separated field from pos on; pos ends on the blank after it (or the line's end).
QByteArray nextField(const QByteArray& line, qsizetype& pos) {
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    const qsizetype start = pos;
    while (pos < line.size() && line[pos] != ' ')
        ++pos;
    return line.mid(start, pos - start);
}

bool allDigits(const QByteArray& text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "MM-DD-YY" or "MM-DD-YYYY".
bool isDosDate(const QByteArray& text) {
    const QList<QByteArray> parts = text.split('-');
    return parts.size() == 3 && parts[0].size() == 2 && parts[1].size() == 2 &&
           (parts[2].size() == 2 || parts[2].size() == 4) && allDigits(parts[0]) && allDigits(parts[1]) &&
           allDigits(parts[2]);
}

// "HH:MM" with "AM" or "PM" or without.
bool isDosTime(const QByteArray& text) {
    QByteArray t = text.toUpper();
    if (t.endsWith("AM") || t.endsWith("PM"))
        t.chop(2);
    const qsizetype colon = t.indexOf(':');
    return colon > 0 && allDigits(t.left(colon)) && allDigits(t.mid(colon + 1));
}

// One DOS-style line; false when the line is not one.
bool parseDosLine(const QByteArray& line, QByteArray& name, bool& folder) {
    qsizetype pos = 0;
    if (!isDosDate(nextField(line, pos)) || !isDosTime(nextField(line, pos)))
        return false;
    const QByteArray sizeOrDir = nextField(line, pos);
    folder = sizeOrDir == "<DIR>";
    if ((!folder && !allDigits(sizeOrDir)) || pos >= line.size())
        return false;
    // The size is right-aligned up to the name; "<DIR>" is padded to the sizes' width instead.
    if (folder)
        while (pos + 1 < line.size() && line[pos + 1] == ' ')
            ++pos;
    name = line.mid(pos + 1);
    return !name.isEmpty();
}

} // namespace

bool IsPlainEntryName(const QByteArray& name) {
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (c == '/' || c == '\\' || uchar(c) < 0x20 || uchar(c) == 0x7f)
            return false;
    return true;
}

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
            type == "pdir" || !IsPlainEntryName(name.toUtf8()))
            continue;
        out += name.toUtf8();
        if (type == "dir")
            out += '/';
        out += "\r\n";
    }
    return out;
}

qint64 ListedSize(const QByteArray& body, const QByteArray& name) {
    for (const QByteArray& raw : body.split('\n')) {
        const QByteArray line = withoutCarriageReturn(raw);
        QByteArray type;
        QString listed;
        if (ParseMachineListingLine(line.trimmed(), type, listed)) {
            // MLST answers with the full path, MLSD with the name.
            const QByteArray n = listed.toUtf8();
            if (n != name && !n.endsWith("/" + name))
                continue;
            const QByteArray facts = line.trimmed().left(line.trimmed().indexOf(' '));
            for (const QByteArray& fact : facts.split(';'))
                if (fact.toLower().startsWith("size="))
                    return allDigits(fact.mid(5)) ? fact.mid(5).toLongLong() : -1;
            return -1;
        }
        QByteArray dosName;
        bool dosFolder = false;
        if (parseDosLine(line, dosName, dosFolder)) {
            if (dosName != name || dosFolder)
                continue;
            qsizetype pos = 0;
            nextField(line, pos);
            nextField(line, pos);
            const QByteArray size = nextField(line, pos);
            return allDigits(size) ? size.toLongLong() : -1;
        }
        if (line.isEmpty() || line.startsWith("total ") || line.startsWith('d'))
            continue;
        qsizetype pos = 0;
        QByteArray fields[8];
        for (int field = 0; field < 8 && pos >= 0; ++field)
            fields[field] = nextField(line, pos);
        if (pos >= line.size())
            continue;
        QByteArray entry = line.mid(pos + 1);
        if (line.startsWith('l') && entry.contains(" -> "))
            entry = entry.left(entry.indexOf(" -> "));
        if (entry == name)
            return allDigits(fields[4]) ? fields[4].toLongLong() : -1;
    }
    return -1;
}

QByteArray FormatUnixListing(const QByteArray& body) {
    QByteArray out;
    for (const QByteArray& raw : body.split('\n')) {
        const QByteArray line = withoutCarriageReturn(raw);
        if (line.isEmpty() || line.startsWith("total "))
            continue;
        QByteArray dosName;
        bool dosFolder = false;
        if (parseDosLine(line, dosName, dosFolder)) {
            if (IsPlainEntryName(dosName))
                out += dosName + (dosFolder ? "/\r\n" : "\r\n");
            continue;
        }
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
        if (!IsPlainEntryName(name))
            continue;
        out += name;
        if (line.startsWith('d'))
            out += '/';
        out += "\r\n";
    }
    return out;
}

} // namespace krtp
