#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace krtp {

class Dialogs;
class TransferControl;

// The account-file address the login fetches: base + "krg/_files.dat?username=...&password=...".
// Query values are percent-encoded so blanks, "#", "&" and the like reach the host intact.
QString AccountQueryUrl(const QString& baseUrl, const QString& userName, const QString& password);

struct MemberMatch {
    bool found = false;
    QString name; // as stored, trimmed
    quint8 level = 0;
    QStringList members; // every name of the account file (their access lists are control files)
};

// Looks the typed credentials up in the account file's bytes. Names and passwords are compared
// ignoring case and surrounding blanks; when several records match, the last one wins.
// Records whose stored name is blank are free slots and never match.
MemberMatch FindMember(const QByteArray& accountFile, const QString& userName, const QString& password);

struct LoginCheck {
    enum Outcome { Accepted, Rejected, FetchFailed } outcome = Rejected;
    QString error; // the fetch failure's description
    MemberMatch member;
};

// Prepares control for the account-file fetch: HTTP, through proxy ("name:port") unless it is empty.
void UseLoginProxy(TransferControl& control, const QString& proxy);

// Fetches the account file over HTTP on control (its proxy settings as the caller made them) and
// checks the credentials in memory; nothing is written to disk.
LoginCheck CheckCredentials(TransferControl& control, const QString& baseUrl, const QString& userName,
                            const QString& password);

inline constexpr char kInvalidLoginMessage[] = "Invalid Username/Password";

// For an SFTP site: one connection before anything else, so the host's key is checked first. An
// unknown key is shown to the member with its fingerprint when dialogs is given, and trusted (stored in
// the known-hosts file) on Yes. True when the session may go on; else *error says why (empty when the
// member declined the key). Nothing happens for an FTP site.
bool SettleHostKey(const QString& proxy, Dialogs* dialogs, QString* error);

// A key file with a passphrase is opened first: the passphrase this run already has, else the keyring's,
// else one asked through dialogs (when given). A passphrase the member typed is offered to the keyring
// once it worked. Cancelling the question ends the login with an empty *error.

// The keyring entry of the passphrase of the key file at keyFile.
QString KeyPassphraseKeyringKey(const QString& keyFile);
// The question for the passphrase, and the offer to keep a typed one.
QString KeyPassphrasePrompt(const QString& keyFile);
QString KeepKeyPassphraseQuestion(const QString& keyFile);

// The question of an unknown host key; host is the site's host (and port).
QString UnknownHostKeyQuestion(const QString& host, const QString& fingerprint);

} // namespace krtp
