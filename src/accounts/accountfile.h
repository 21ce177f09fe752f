#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace krtp {

// The shared account file krg/_files.dat: fixed 60-byte records, no header. Name (30 bytes) and
// password (29 bytes) are single-byte (Latin-1) text padded with blanks and stored with every byte
// XOR 255; the level byte is stored as 255 - level.
inline constexpr int kAccountRecordSize = 60;
inline constexpr int kAccountNameSize = 30;
inline constexpr int kAccountPasswordSize = 29;
inline constexpr char kAccountFileName[] = "_files.dat";

// One member as the account file holds it, unscrambled. Name and Password keep their padding
// blanks removed on the right only; callers that compare trim both sides.
struct AccountRecord {
    QString Name;
    QString Password;
    quint8 Level = 0;
};

// Every byte XOR 255.
QByteArray ScrambleText(const QByteArray& text);

// Scrambles or unscrambles one 60-byte record in place (the operation is its own inverse).
// Shorter input is left untouched.
void ScrambleAccountRecord(QByteArray& record);

// True when text can be stored in a record: every character is Latin-1.
bool IsAccountText(const QString& text);

// The 60 stored bytes of a member. Name and password longer than their fields are cut.
// Characters outside Latin-1 cannot be stored: the result is empty and *error says why.
QByteArray EncodeAccountRecord(const AccountRecord& record, QString* error = nullptr);
// A record from its 60 stored bytes (the first 60 bytes of stored when longer).
AccountRecord DecodeAccountRecord(const QByteArray& stored);

// A record nobody can log in with: blank name and password (the login skips blank names), Locked Out.
AccountRecord BlankAccountRecord();

// Every complete record of an account file's bytes; a trailing piece shorter than a record is ignored.
QList<AccountRecord> ReadAccountRecords(const QByteArray& data);

// File access for the accounts window: records are numbered from 1. Writing past the end fills the
// records in between with blank, locked-out records (see BlankAccountRecord), never with stray bytes
// that would read as a garbled member.
bool ReadAccountFile(const QString& path, QList<AccountRecord>& records, QString* error = nullptr);
bool WriteAccountRecord(const QString& path, int recordNumber, const AccountRecord& record,
                        QString* error = nullptr);

} // namespace krtp
