#include "transfer/sharedfile.h"

#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/hostlock.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString q(const QString& s) {
    return QuoteCommandArgument(s);
}

bool run(TransferControl& control, const QString& command) {
    if (!control.Execute(command)) {
        control.waitUntilIdle();
        if (!control.Execute(command))
            return false;
    }
    control.waitUntilIdle();
    return control.lastSucceeded();
}

QString withReply(const QString& text, const QString& reply) {
    return reply.isEmpty() ? text : text + kCrLf + kCrLf + reply;
}

QString fileNameOf(const QString& hostPath) {
    return hostPath.mid(hostPath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

bool FetchHostFile(TransferControl& control, const QString& hostPath, const QString& local, bool* exists,
                   QString* error) {
    if (exists)
        *exists = false;
    const auto failed = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (QFileInfo(local).isSymLink() || QFileInfo::exists(local)) {
        if (!QFile::remove(local))
            return failed(QStringLiteral("Cannot delete ") + local);
    }
    if (run(control, QStringLiteral("get ") + q(hostPath) + QLatin1Char(' ') + q(local))) {
        if (exists)
            *exists = true;
        return true;
    }
    const int code = control.lastReplyCode();
    const QString reply = control.lastError();
    QFile::remove(local);
    if (code == 550) {
        // A refusal is no proof of absence (some hosts refuse a file being written): only a listing
        // without the file is.
        if (!run(control, QStringLiteral("ls ") + q(hostPath)) && control.lastReplyCode() == 550)
            return true;
        if (control.lastReplyCode() == 0 && !control.lastSucceeded())
            return failed(control.lastError());
    } else if (code == 0) {
        return failed(reply);
    }
    return failed(withReply(QStringLiteral("The host did not send ") + fileNameOf(hostPath) +
                                QStringLiteral(" just now (it may be busy), so nothing was changed.  Please "
                                               "try again in a moment."),
                            reply));
}

SharedFileResult ChangeSharedFile(TransferControl& control, Dialogs& dialogs, const SharedFileEdit& edit,
                                  bool quiet) {
    SharedFileResult result;
    BusyPointer busy(dialogs);
    control.configureForSite();
    const QString host = edit.hostPath;
    const QString backup = host + QStringLiteral(".backup");
    const QString local = edit.localCopy;
    const QString check = local + QStringLiteral(".check");
    const QString previousCopy = local + QStringLiteral(".previous");
    const QFileInfo localInfo(local);
    if (!localInfo.path().isEmpty())
        QDir().mkpath(localInfo.path());

    HostLock lock(control, dialogs, QLatin1String(kSharedLockFolder), edit.subject);
    // Every box is shown with the lock given back, so nobody waits on an open message.
    const auto fail = [&](const QString& why) {
        lock.release();
        QFile::remove(check);
        QFile::remove(previousCopy);
        result.error = why;
        if (!quiet)
            dialogs.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
        return result;
    };
    const bool locked = quiet ? lock.acquireQuietly(HostLock::timing().waitMs) : lock.acquire();
    if (!locked) {
        result.error = HostLock::TimeoutMessage(QString(), edit.subject);
        return result;
    }
    bool exists = false;
    QString error;
    if (!FetchHostFile(control, host, local, &exists, &error))
        return fail(error);
    if (!exists && !edit.createMissing)
        return fail(QStringLiteral("The host has no ") + host +
                    QStringLiteral(", so nothing was changed.  Please ask an administrator to restore it."));
    QByteArray current;
    if (exists && !ReadWholeFile(local, current, &error))
        return fail(error);

    constexpr int kTries = 3;
    for (int attempt = 1;; ++attempt) {
        error.clear();
        const std::optional<QByteArray> next = edit.apply(current, exists, error);
        if (!next)
            return fail(error);
        if (exists && *next == current) {
            lock.release();
            result.ok = true;
            result.unchanged = true;
            result.saved = current;
            return result;
        }
        if (!WriteWholeFile(local, *next, &error))
            return fail(error);
        lock.keepAlive();
        run(control, QStringLiteral("delete ") + q(backup));
        const bool movedAside =
            exists && run(control, QStringLiteral("rename ") + q(host) + QLatin1Char(' ') + q(backup));
        const auto restorePrevious = [&] {
            // Never leave the host without the file, nor without its backup.
            if (movedAside &&
                !run(control, QStringLiteral("rename ") + q(backup) + QLatin1Char(' ') + q(host)) &&
                control.lastReplyCode() != 0) {
                run(control, QStringLiteral("delete ") + q(host));
                run(control, QStringLiteral("rename ") + q(backup) + QLatin1Char(' ') + q(host));
            }
            if (exists && WriteWholeFile(previousCopy, current))
                run(control, QStringLiteral("send ") + q(previousCopy) + QLatin1Char(' ') + q(backup));
            WriteWholeFile(local, current);
        };
        if (!run(control, QStringLiteral("send ") + q(local) + QLatin1Char(' ') + q(host))) {
            const QString why = control.lastError();
            restorePrevious();
            return fail(withReply(QStringLiteral("Error sending ") + fileNameOf(host) +
                                      QStringLiteral(", so nothing was changed.  Please try again."),
                                  why));
        }
        // Read back: a client that does not take the lock may have saved over ours in between, and a
        // host may keep less than it was sent.
        QFile::remove(check);
        QByteArray readBack;
        if (!run(control, QStringLiteral("get ") + q(host) + QLatin1Char(' ') + q(check)) ||
            !ReadWholeFile(check, readBack))
            return fail(
                withReply(fileNameOf(host) + QStringLiteral(" was sent, but it could not be read back "
                                                            "to check it, so your change may not "
                                                            "have been saved."),
                          control.lastError()));
        QFile::remove(check);
        if (readBack == *next) {
            lock.release();
            QFile::remove(previousCopy);
            result.ok = true;
            result.saved = readBack;
            return result;
        }
        if (readBack.size() < next->size() && next->startsWith(readBack)) {
            // The host kept only the first part: an upload cut off, not another member's save.
            restorePrevious();
            return fail(QStringLiteral("Error sending ") + fileNameOf(host) +
                        QStringLiteral(": the host kept ") + QString::number(readBack.size()) +
                        QStringLiteral(" of ") + QString::number(next->size()) +
                        QStringLiteral(" bytes, so the previous copy was put back.  Please try again."));
        }
        if (attempt >= kTries)
            return fail(QStringLiteral("Another member's program saved ") + edit.subject +
                        QStringLiteral(" at the same moment as you, so your change is not in it.  Please try "
                                       "again."));
        // What is there now is what to change.
        current = readBack;
        exists = true;
        WriteWholeFile(local, current);
    }
}

} // namespace krtp
