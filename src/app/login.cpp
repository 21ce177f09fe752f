#include "app/login.h"

#include "accounts/accountfile.h"
#include "config/siteconfig.h"
#include "platform/dialogs.h"
#include "platform/keyring.h"
#include "transfer/transfercontrol.h"

#include <QFileInfo>
#include <QUrl>

namespace krtp {

QString AccountQueryUrl(const QString& baseUrl, const QString& userName, const QString& password) {
    QString base = baseUrl;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const auto encode = [](const QString& v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); };
    return base + QStringLiteral("krg/") + QLatin1String(kAccountFileName) + QStringLiteral("?username=") +
           encode(userName) + QStringLiteral("&password=") + encode(password);
}

MemberMatch FindMember(const QByteArray& accountFile, const QString& userName, const QString& password) {
    const QString wantName = userName.trimmed().toLower();
    const QString wantPassword = password.trimmed().toLower();
    MemberMatch match;
    for (const AccountRecord& r : ReadAccountRecords(accountFile)) {
        const QString name = r.Name.trimmed();
        if (!name.isEmpty())
            match.members << name;
        if (name.isEmpty() || name.toLower() != wantName)
            continue;
        if (r.Password.trimmed().toLower() != wantPassword)
            continue;
        match.found = true;
        match.name = name;
        match.level = r.Level;
    }
    return match;
}

void UseLoginProxy(TransferControl& control, const QString& proxy) {
    control.Protocol = TransferControl::ProtocolHTTP;
    control.Proxy = proxy;
    control.AccessType = proxy.isEmpty() ? TransferControl::AccessDirect : TransferControl::AccessNamedProxy;
    // An https:// base address is verified as the FTP host is: the site's CA file or pinned key.
    control.TlsCaFile = siteConfig().ftpTlsCaFile;
    control.TlsPinnedKey = siteConfig().ftpTlsPinnedKey;
}

LoginCheck CheckCredentials(TransferControl& control, const QString& baseUrl, const QString& userName,
                            const QString& password) {
    LoginCheck check;
    QString error;
    const QByteArray body = control.OpenURL(AccountQueryUrl(baseUrl, userName, password), &error);
    if (!error.isEmpty()) {
        check.outcome = LoginCheck::FetchFailed;
        check.error = error;
        return check;
    }
    check.member = FindMember(body, userName, password);
    check.outcome = check.member.found ? LoginCheck::Accepted : LoginCheck::Rejected;
    return check;
}

QString UnknownHostKeyQuestion(const QString& host, const QString& fingerprint) {
    return QStringLiteral("The host ") + host +
           QStringLiteral(" is not known yet. Its SSH key's fingerprint is:\r\n\r\n") + fingerprint +
           QStringLiteral("\r\n\r\nCompare it with the fingerprint your host publishes. Do you trust this "
                          "key? Yes stores it for the next logins.");
}

QString KeyPassphraseKeyringKey(const QString& keyFile) {
    return QStringLiteral("passphrase of ") + QFileInfo(keyFile).absoluteFilePath();
}

QString KeyPassphrasePrompt(const QString& keyFile) {
    return QStringLiteral("The SSH key file ") + keyFile +
           QStringLiteral(" is protected by a passphrase. Enter the passphrase:");
}

QString KeepKeyPassphraseQuestion(const QString& keyFile) {
    return QStringLiteral("Keep the passphrase of ") + keyFile +
           QStringLiteral(" in the desktop's keyring, so that the next logins do not ask for it?");
}

namespace {

enum class PassphraseSource { None, Run, Keyring, Typed };

// The passphrase the key file needs, in the order the run, the keyring, the member; None with *error set
// when there is none, or with *error empty when the member cancelled.
PassphraseSource FindKeyPassphrase(const QString& keyFile, Dialogs* dialogs, QString* passphrase,
                                   QString* error) {
    if (!TransferControl::keyPassphrase().isEmpty()) {
        *passphrase = TransferControl::keyPassphrase();
        return PassphraseSource::Run;
    }
    Keyring* k = keyring();
    if (k && k->usable()) {
        const Keyring::Answer a = k->read(KeyPassphraseKeyringKey(keyFile));
        if (a.ok() && !a.secret.isEmpty()) {
            *passphrase = a.secret;
            return PassphraseSource::Keyring;
        }
    }
    if (dialogs) {
        const std::optional<QString> typed =
            dialogs->secret(Dialogs::defaultTitle(), KeyPassphrasePrompt(keyFile));
        if (!typed) {
            error->clear();
            return PassphraseSource::None;
        }
        *passphrase = *typed;
        return PassphraseSource::Typed;
    }
    *error = QStringLiteral("The SSH key file (SftpKeyFile) ") + keyFile +
             QStringLiteral(" is protected by a passphrase, and none was given: keep it in the desktop's "
                            "keyring or give it in KRTP_SFTP_KEY_PASSPHRASE.");
    return PassphraseSource::None;
}

} // namespace

bool SettleHostKey(const QString& proxy, Dialogs* dialogs, QString* error) {
    TransferControl control;
    control.configureForSite(siteConfig(), proxy);
    if (control.Protocol != TransferControl::ProtocolSFTP)
        return true;
    PassphraseSource passphraseSource = PassphraseSource::None;
    if (!control.SshKeyFile.isEmpty() && SshKeyFileNeedsPassphrase(control.SshKeyFile)) {
        passphraseSource = FindKeyPassphrase(control.SshKeyFile, dialogs, &control.SshKeyPassphrase, error);
        if (passphraseSource == PassphraseSource::None)
            return false;
    }
    const auto connect = [&control] {
        control.Execute(QStringLiteral("cd /"));
        control.waitUntilIdle();
        return control.lastSucceeded();
    };
    bool ok = connect();
    if (!ok && dialogs && control.lastHostKeyState() == TransferControl::HostKeyUnknown) {
        const QString fingerprint = control.lastHostKeyFingerprint();
        if (dialogs->message(UnknownHostKeyQuestion(control.RemoteHost, fingerprint), Dialogs::Icon::Question,
                             Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes) {
            error->clear();
            return false;
        }
        // Only the key shown is trusted: a different one offered meanwhile is still refused.
        TransferControl::TrustHostKey(fingerprint);
        ok = connect();
    }
    if (!ok)
        *error = control.lastError();
    control.Execute(QStringLiteral("QUIT"));
    control.waitUntilIdle();
    if (!ok && passphraseSource == PassphraseSource::Keyring &&
        error->startsWith(QLatin1String("The passphrase of the key file"))) {
        // A kept passphrase that no longer opens the key is dropped, so the next login asks.
        if (Keyring* k = keyring())
            k->remove(KeyPassphraseKeyringKey(control.SshKeyFile));
    }
    if (!ok || passphraseSource == PassphraseSource::None)
        return ok;
    // Asked once per run: every later connection of this process uses it.
    TransferControl::SetKeyPassphrase(control.SshKeyPassphrase);
    Keyring* k = keyring();
    if (passphraseSource == PassphraseSource::Typed && k && k->usable() &&
        dialogs->message(KeepKeyPassphraseQuestion(control.SshKeyFile), Dialogs::Icon::Question,
                         Dialogs::Yes | Dialogs::No, Dialogs::No) == Dialogs::Yes)
        k->write(KeyPassphraseKeyringKey(control.SshKeyFile), control.SshKeyPassphrase);
    return ok;
}

} // namespace krtp
