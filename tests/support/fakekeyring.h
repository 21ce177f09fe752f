#pragma once

#include "platform/keyring.h"

#include <QMap>
#include <QObject>
#include <QTimer>

namespace krtp::test {

// A keyring in memory that answers on the next turn of the event loop, as a desktop keyring does:
// one that works, one that says it is unavailable, or one that never answers.
class FakeKeyring : public Keyring {
public:
    enum class Mode { Answers, Unavailable, Silent };
    explicit FakeKeyring(Mode mode = Mode::Answers) : m_mode(mode) {}

    QMap<QString, QString> entries;
    int calls = 0;

protected:
    void startRead(const QString& key, Done done) override {
        answer(std::move(done), [this, key] {
            if (!entries.contains(key))
                return Answer{Status::NotFound, {}, {}};
            return Answer{Status::Ok, entries.value(key), {}};
        });
    }
    void startWrite(const QString& key, const QString& secret, Done done) override {
        answer(std::move(done), [this, key, secret] {
            entries.insert(key, secret);
            return Answer{Status::Ok, {}, {}};
        });
    }
    void startRemove(const QString& key, Done done) override {
        answer(std::move(done), [this, key] {
            return Answer{entries.remove(key) ? Status::Ok : Status::NotFound, {}, {}};
        });
    }

private:
    template <typename Work> void answer(Done done, Work work) {
        ++calls;
        if (m_mode == Mode::Silent)
            return;
        QTimer::singleShot(0, &m_context, [this, done = std::move(done), work] {
            done(m_mode == Mode::Unavailable ? Answer{Status::Unavailable, {}, QStringLiteral("no keyring")}
                                             : work());
        });
    }

    Mode m_mode;
    QObject m_context;
};

} // namespace krtp::test
