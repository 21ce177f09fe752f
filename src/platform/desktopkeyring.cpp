#include "platform/desktopkeyring.h"

#include <QFileInfo>

#ifdef KRTP_HAVE_QTKEYCHAIN
#include <qt6keychain/keychain.h>
#endif

namespace krtp {

#ifdef KRTP_HAVE_QTKEYCHAIN

namespace {

Keyring::Answer answerOf(QKeychain::Job* job) {
    Keyring::Answer a;
    switch (job->error()) {
    case QKeychain::NoError:
        a.status = Keyring::Status::Ok;
        break;
    case QKeychain::EntryNotFound:
        a.status = Keyring::Status::NotFound;
        break;
    default:
        a.status = Keyring::Status::Unavailable;
        a.error = job->errorString();
        break;
    }
    return a;
}

class QtKeychainKeyring : public Keyring {
protected:
    void startRead(const QString& key, Done done) override {
        auto* job = new QKeychain::ReadPasswordJob(QLatin1String(kKeyringService));
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* j) {
            Answer a = answerOf(j);
            if (a.ok())
                a.secret = static_cast<QKeychain::ReadPasswordJob*>(j)->textData();
            done(a);
        });
        job->start();
    }
    void startWrite(const QString& key, const QString& secret, Done done) override {
        auto* job = new QKeychain::WritePasswordJob(QLatin1String(kKeyringService));
        job->setKey(key);
        job->setTextData(secret);
        QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* j) { done(answerOf(j)); });
        job->start();
    }
    void startRemove(const QString& key, Done done) override {
        auto* job = new QKeychain::DeletePasswordJob(QLatin1String(kKeyringService));
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, [done](QKeychain::Job* j) { done(answerOf(j)); });
        job->start();
    }
};

// Without a session bus the keyring libraries would try to start one of their own (and leave it
// running); a desktop session always has one.
bool sessionBusThere() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
#else
    return true;
#endif
}

} // namespace

std::unique_ptr<Keyring> CreateDesktopKeyring() {
    if (!sessionBusThere())
        return nullptr;
    return std::make_unique<QtKeychainKeyring>();
}

#else

std::unique_ptr<Keyring> CreateDesktopKeyring() {
    return nullptr;
}

#endif

} // namespace krtp
