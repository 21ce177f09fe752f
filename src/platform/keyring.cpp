#include "platform/keyring.h"

#include "platform/desktopkeyring.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace krtp {

namespace {

struct Pending {
    bool answered = false;
    Keyring::Answer answer;
    QEventLoop* loop = nullptr; // null once the waiter has gone
};

} // namespace

Keyring::Answer Keyring::read(const QString& key) {
    return wait([&](Done done) { startRead(key, std::move(done)); });
}

Keyring::Answer Keyring::write(const QString& key, const QString& secret) {
    return wait([&](Done done) { startWrite(key, secret, std::move(done)); });
}

Keyring::Answer Keyring::remove(const QString& key) {
    Answer a = wait([&](Done done) { startRemove(key, std::move(done)); });
    if (a.status == Status::NotFound)
        a.status = Status::Ok;
    return a;
}

Keyring::Answer Keyring::wait(const std::function<void(Done)>& start) {
    if (m_givenUp)
        return {Status::Unavailable, {}, QStringLiteral("The keyring did not answer before.")};
    auto pending = std::make_shared<Pending>();
    // A late answer lands in pending, which outlives this call; nobody reads it.
    start([pending](const Answer& a) {
        if (pending->answered)
            return;
        pending->answered = true;
        pending->answer = a;
        if (pending->loop)
            pending->loop->quit();
    });
    if (!pending->answered) {
        QEventLoop loop;
        pending->loop = &loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(m_timeLimitMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        pending->loop = nullptr;
    }
    if (!pending->answered) {
        m_givenUp = true;
        return {Status::Unavailable, {}, QStringLiteral("The keyring did not answer in time.")};
    }
    if (pending->answer.status == Status::Unavailable)
        m_givenUp = true;
    return pending->answer;
}

namespace {

bool g_installed = false;
Keyring* g_keyring = nullptr;

} // namespace

Keyring* keyring() {
    if (!g_installed) {
        // Made once; it lives as long as the process.
        static Keyring* desktop = CreateDesktopKeyring().release();
        return desktop;
    }
    return g_keyring;
}

void setKeyring(Keyring* k) {
    g_installed = true;
    g_keyring = k;
}

} // namespace krtp
