#include "transfer/transferroutines.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace krtp {

namespace {

bool run(TransferControl& control, const QString& command) {
    if (!control.Execute(command))
        return false;
    control.waitUntilIdle();
    return control.lastSucceeded();
}

QString& lastRoutineError() {
    static QString text;
    return text;
}

void showError(const QString& text) {
    lastRoutineError() = text;
    dialogs().message(text, Dialogs::Icon::Critical, Dialogs::Ok);
}

QString q(const QString& s) {
    return QuoteCommandArgument(s);
}

bool refusePath(const MirrorPath& p) {
    if (p.ok)
        return false;
    showError(p.error);
    return true;
}

} // namespace

QString TakeRoutineError() {
    return std::exchange(lastRoutineError(), QString());
}

bool SendFileToServer(TransferControl& control, const QString& relativePath) {
    BusyPointer busy;
    const MirrorPath p = MapMirrorPath(relativePath);
    if (refusePath(p))
        return false;
    if (!QFileInfo(p.localFile()).isFile()) {
        showError(p.localFile() + QStringLiteral(" does not exist on the local hard drive."));
        return false;
    }
    // Refused before the host's copy is touched (the upload itself refuses it too).
    const QString root = runState().LocalFolder.isEmpty() ? QDir::currentPath() : runState().LocalFolder;
    if (const QString why = LinkLeavesFolderError(QDir::current().absoluteFilePath(p.localFile()), root);
        !why.isEmpty()) {
        showError(why);
        return false;
    }
    control.configureForSite();
    const QString host = p.hostFile();
    run(control,
        QStringLiteral("delete ") + q(host + QStringLiteral(".backup"))); // fails harmlessly for a new file
    const bool keptBackup = run(control, QStringLiteral("rename ") + q(host) + QLatin1Char(' ') +
                                             q(host + QStringLiteral(".backup")));
    QString error;
    if (run(control, QStringLiteral("send ") + q(p.localFile()) + QLatin1Char(' ') + q(host))) {
        // Checked as the host lists it: a host that cut or replaced the upload has not got the file.
        const qint64 local = QFileInfo(p.localFile()).size();
        if (!run(control, QStringLiteral("ls ") + q(host)) || control.lastListedSize() < 0 ||
            control.lastListedSize() == local)
            return true;
        error = QStringLiteral("Error sending ") + p.fileName + QStringLiteral(": the host kept ") +
                QString::number(control.lastListedSize()) + QStringLiteral(" of ") + QString::number(local) +
                QStringLiteral(" bytes, so the upload was undone.");
        run(control, QStringLiteral("delete ") + q(host));
    } else {
        error = control.lastError();
    }
    // Put the previous copy back so that a refused upload loses nothing on the host.
    if (keptBackup)
        run(control,
            QStringLiteral("rename ") + q(host + QStringLiteral(".backup")) + QLatin1Char(' ') + q(host));
    showError(error);
    return false;
}

bool GetFileFromServer(TransferControl& control, const QString& relativePath, QString& text) {
    BusyPointer busy;
    const MirrorPath p = MapMirrorPath(relativePath);
    if (refusePath(p))
        return false;
    // Create the mirror folders on the way down.
    QString folder;
    for (const QString& seg : p.localFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder += seg + QLatin1Char('/');
        MakeLocalFolder(folder);
    }
    const QString local = p.localFile();
    const QString backup = local + QStringLiteral(".backup");
    bool movedToBackup = false;
    const QFileInfo info(local);
    if (info.exists()) {
        if (info.size() < 1) {
            if (!QFile::remove(local)) {
                showError(QStringLiteral("Cannot delete ") + local);
                return false;
            }
        } else {
            if (QFileInfo::exists(backup) && !QFile::remove(backup)) {
                showError(QStringLiteral("Cannot delete ") + backup);
                return false;
            }
            if (!QFile::rename(local, backup)) {
                showError(QStringLiteral("Cannot rename ") + local + QStringLiteral(" to ") + backup);
                return false;
            }
            movedToBackup = true;
        }
    }
    control.configureForSite();
    if (!run(control, QStringLiteral("get ") + q(p.hostFile()) + QLatin1Char(' ') + q(local))) {
        const QString error = control.lastError();
        // The previous copy comes back under its own name: a failed download loses nothing.
        if (movedToBackup && !QFileInfo::exists(local))
            QFile::rename(backup, local);
        showError(error);
        return false;
    }
    if (text != QLatin1String(kSaveToFile)) {
        QByteArray data;
        QString error;
        if (!ReadWholeFile(local, data, &error)) {
            showError(error);
            return false;
        }
        text = DecodeText(data);
    }
    return true;
}

bool DeleteFileFromServer(TransferControl& control, const QString& relativePath) {
    BusyPointer busy;
    const MirrorPath p = MapMirrorPath(relativePath);
    if (refusePath(p))
        return false;
    // The host stays as the control already has it (the site explorer sets it up before listing).
    const QString host = control.RemoteHost;
    control.configureForSite();
    if (!host.isEmpty())
        control.RemoteHost = host;
    if (run(control, QStringLiteral("delete ") + q(p.hostFile())))
        return true;
    showError(control.lastError());
    return false;
}

bool GetFile(TransferControl& control, const QString& pstrFileName) {
    BusyPointer busy;
    control.Execute(QStringLiteral("QUIT"));
    QCoreApplication::processEvents();
    control.waitUntilIdle();
    control.configureForSite();
    // Without the control folder the GET below would fetch a file of the same name from the site root.
    if (!run(control, QStringLiteral("cd /krg"))) {
        showError(control.lastError());
        return false;
    }
    if (QFileInfo::exists(pstrFileName) && !QFile::remove(pstrFileName)) {
        showError(QStringLiteral("Cannot delete ") + pstrFileName);
        return false;
    }
    // A file the host lists as missing is no failure here: the caller finds no local copy and
    // decides (the catalogue reader repairs it). Anything else is: a refusal of a file the host still
    // lists (some hosts refuse a file being written), a temporary refusal (4xx), a connection lost
    // mid-transfer, or a host not reached must never look like a missing file.
    const QString get = QStringLiteral("GET ") + q(pstrFileName) + QLatin1Char(' ') + q(pstrFileName);
    bool fetchedAgain = false;
    while (!run(control, get)) {
        int code = control.lastReplyCode();
        QString reply = control.lastError();
        if (code == 550) {
            if (!run(control, QStringLiteral("ls ") + q(pstrFileName)) && control.lastReplyCode() == 550)
                return true;
            // Missing for the download, listed a moment later: another member's save put a new copy in
            // place between the two commands. Fetch that copy.
            if (control.lastSucceeded() && !fetchedAgain) {
                fetchedAgain = true;
                continue;
            }
            if (control.lastSucceeded())
                code = 450; // listed, yet refused: a passing refusal
            else {
                code = control.lastReplyCode();
                reply = control.lastError();
            }
        }
        if (code >= 400 && code < 500)
            showError(
                QStringLiteral("The host did not send ") + pstrFileName +
                QStringLiteral(" just now (it may be busy), so nothing was changed.  Please try again in a "
                               "moment.\r\n\r\n") +
                reply);
        else
            showError(reply);
        return false;
    }
    return true;
}

} // namespace krtp
