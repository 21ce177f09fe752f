#pragma once

#include "transfer/hostlock.h"

namespace krtp {

class FileStore;

// The lock that serialises catalogue changes among this program's clients: the folder
// "_files.lock" in the control folder. Its commands go through the store, so the console shows them.
class CatalogueLock : public HostLock {
public:
    using Timing = HostLock::Timing;
    explicit CatalogueLock(FileStore& store);

    static constexpr char kFolder[] = "/krg/_files.lock";
    static constexpr char kHolder[] = "/krg/_files.lock/holder.txt";

    static QString WaitingText(const QString& holder);
    static QString TimeoutMessage(const QString& holder);
    static QString LockRefusedMessage(const QString& reply);
};

} // namespace krtp
