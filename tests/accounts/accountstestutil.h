#pragma once

#include "hostfixture.h"

namespace krtp::test {

// The team of the accounts tests: two super users, two other administrators and one member of each
// other level.
inline QList<AccountRecord> team() {
    return {{QStringLiteral("Velmar"), QStringLiteral("keystone"), 4},
            {QStringLiteral("Ann"), QStringLiteral("anvil"), 4},
            {QStringLiteral("Zed"), QStringLiteral("zinc"), 4},
            {QStringLiteral("Bob"), QStringLiteral("builder"), 3},
            {QStringLiteral("Tomas"), QStringLiteral("reader"), 2},
            {QStringLiteral("Greta"), QStringLiteral("closed"), 1}};
}

// The shared host fixture holding the team's account file, the mirror root in the local folder.
struct AccountsFixture : HostFixture {
    // Fresh local folder and settings, the team's account file on the host, no backup.
    void reset() {
        resetLocal(true);
        setAccounts(team());
        QFile::remove(host.path(QStringLiteral("krg/_files.dat.backup")));
    }
    QList<AccountRecord> hostAccounts() const {
        return ReadAccountRecords(host.read(QStringLiteral("krg/_files.dat")));
    }
};

} // namespace krtp::test
