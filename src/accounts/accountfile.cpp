#include "accounts/accountfile.h"

#include "util/fileutil.h"

#include <QFile>

namespace krtp {

QByteArray ScrambleText(const QByteArray& text) {
    QByteArray out(text);
    for (char& c : out)
        c = char(quint8(c) ^ 0xFF);
    return out;
}

void ScrambleAccountRecord(QByteArray& record) {
    if (record.size() < kAccountRecordSize)
        return;
    // Plain XOR of the whole fixed fields, padding included. Trimming blanks after the XOR would
    // drop a leading or trailing "\xDF" (stored as a blank) and break the round trip.
    for (int i = 0; i < kAccountRecordSize; ++i)
        record[i] = char(quint8(record[i]) ^ 0xFF);
}

bool IsAccountText(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

namespace {

QByteArray padded(const QString& text, int size) {
    QByteArray bytes = text.left(size).toLatin1();
    bytes.append(QByteArray(size - bytes.size(), ' '));
    return bytes;
}

QString unpadded(const QByteArray& field) {
    qsizetype end = field.size();
    while (end > 0 && field.at(end - 1) == ' ')
        --end;
    return QString::fromLatin1(field.constData(), end);
}

} // namespace

QByteArray EncodeAccountRecord(const AccountRecord& record, QString* error) {
    if (!IsAccountText(record.Name) || !IsAccountText(record.Password)) {
        if (error)
            *error =
                QStringLiteral("Member names and passwords may only use Western European (Latin-1) letters.");
        return {};
    }
    QByteArray bytes = padded(record.Name, kAccountNameSize) + padded(record.Password, kAccountPasswordSize);
    bytes.append(char(record.Level));
    ScrambleAccountRecord(bytes);
    return bytes;
}

AccountRecord DecodeAccountRecord(const QByteArray& stored) {
    QByteArray plain = stored.left(kAccountRecordSize);
    if (plain.size() < kAccountRecordSize)
        return {};
    ScrambleAccountRecord(plain);
    AccountRecord r;
    r.Name = unpadded(plain.left(kAccountNameSize));
    r.Password = unpadded(plain.mid(kAccountNameSize, kAccountPasswordSize));
    r.Level = quint8(plain.at(kAccountRecordSize - 1));
    return r;
}

AccountRecord BlankAccountRecord() {
    return {QString(), QString(), 1};
}

QList<AccountRecord> ReadAccountRecords(const QByteArray& data) {
    QList<AccountRecord> records;
    const qsizetype count = data.size() / kAccountRecordSize;
    records.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        records.append(DecodeAccountRecord(data.mid(i * kAccountRecordSize, kAccountRecordSize)));
    return records;
}

bool ReadAccountFile(const QString& path, QList<AccountRecord>& records, QString* error) {
    QByteArray data;
    if (!ReadWholeFile(path, data, error))
        return false;
    records = ReadAccountRecords(data);
    return true;
}

bool WriteAccountRecord(const QString& path, int recordNumber, const AccountRecord& record, QString* error) {
    if (recordNumber < 1) {
        if (error)
            *error = QStringLiteral("Bad record number");
        return false;
    }
    const QByteArray bytes = EncodeAccountRecord(record, error);
    if (bytes.isEmpty())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    // Records between the last complete one and the new one are filled with blank records: the file
    // system's zero bytes would unscramble to a member named with 30 "\xFF" characters.
    const qint64 complete = f.size() / kAccountRecordSize;
    QByteArray out;
    for (qint64 n = complete + 1; n < recordNumber; ++n)
        out += EncodeAccountRecord(BlankAccountRecord());
    out += bytes;
    const qint64 offset = qMin(qint64(recordNumber - 1), complete) * kAccountRecordSize;
    // flush: a write error (a full disk) shows only when the buffer reaches the file.
    if (!f.seek(offset) || f.write(out) != out.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace krtp
