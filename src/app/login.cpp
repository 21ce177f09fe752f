#include "app/login.h"

#include "accounts/accountfile.h"
#include "config/siteconfig.h"
#include "platform/dialogs.h"
#include "transfer/transfercontrol.h"

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

bool SettleHostKey(const QString& proxy, Dialogs* dialogs, QString* error) {
    TransferControl control;
    control.configureForSite(siteConfig(), proxy);
    if (control.Protocol != TransferControl::ProtocolSFTP)
        return true;
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
    return ok;
}

} // namespace krtp
