#include "filestore/cataloguelock.h"

#include "filestore/filestore.h"

namespace krtp {

namespace {
const QString kSubject = QStringLiteral("the shared file list");
}

CatalogueLock::CatalogueLock(FileStore& store)
    : HostLock(store.inet(), store.dialogs(), QLatin1String(kFolder), kSubject,
               [&store](const QString& command) { return store.Run(command); }) {}

QString CatalogueLock::WaitingText(const QString& holder) {
    return HostLock::WaitingText(holder, kSubject);
}

QString CatalogueLock::TimeoutMessage(const QString& holder) {
    return HostLock::TimeoutMessage(holder, kSubject);
}

QString CatalogueLock::LockRefusedMessage(const QString& reply) {
    return HostLock::LockRefusedMessage(QLatin1String(kFolder), kSubject, reply);
}

} // namespace krtp
