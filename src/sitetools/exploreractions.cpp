#include "sitetools/exploreractions.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/desktopservices.h"
#include "platform/dialogs.h"
#include "sitetools/editfile.h"
#include "sitetools/parallelsitefiles.h"
#include "sitetools/siteexplorer.h"
#include "sitetools/sitenames.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "transfer/transferroutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

void say(const QString& text, Dialogs::Icon icon = Dialogs::Icon::None) {
    dialogs().message(text, icon, Dialogs::Ok);
}

QString absoluteLocal(const QString& hostPath) {
    return QDir::current().absoluteFilePath(LocalMirrorPath(hostPath));
}

// The working directory is the local folder; file dialogs may have moved it.
void backToLocalFolder() {
    if (!runState().LocalFolder.isEmpty())
        QDir::setCurrent(runState().LocalFolder);
}

} // namespace

// Marks the actions and the explorer busy for one action; an action that finds them busy does not run.
class ExplorerActions::Guard {
public:
    explicit Guard(ExplorerActions& a) : m_a(a), m_ok(!a.m_busy && !a.m_explorer.busy()) {
        if (m_ok) {
            m_a.m_cancel = false;
            m_a.setBusy(true);
        }
    }
    ~Guard() {
        if (m_ok)
            m_a.setBusy(false);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    explicit operator bool() const { return m_ok; }

private:
    ExplorerActions& m_a;
    bool m_ok;
};

// What one action did, told when it ends (the destructor): names done, names skipped with the
// reason, or why the action was refused, failed or was cancelled. Refusals are the message the
// member was shown; failures of a transfer are the routine's own reason.
class ExplorerActions::Outcome {
public:
    // name: "Download"; done: "Downloaded %1", %1 being one name or "N files".
    Outcome(ExplorerActions& a, const char* name, const char* done)
        : m_a(a), m_name(QLatin1String(name)), m_doneText(QLatin1String(done)) {
        TakeRoutineError();
    }
    ~Outcome() { m_a.report(summary()); }
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;

    void done(const QString& name) { m_done << name; }
    void setDoneText(const QString& text) { m_doneText = text; }
    void skip(const QString& name, const QString& reason) {
        m_skipped << name + QStringLiteral(", ") + reason;
    }
    // A file the action did not get to after it stopped, or that was put back as it was.
    void leave(const QString& name) { m_left << name; }
    // Shows text and notes it as the reason the action did not run; false for the caller to return.
    bool refuse(const QString& text, Dialogs::Icon icon = Dialogs::Icon::None) {
        say(text, icon);
        m_refusal = text;
        return false;
    }
    bool fail(const QString& reason) {
        m_failure = reason.isEmpty() ? QStringLiteral("the transfer did not complete") : reason;
        return false;
    }
    // A transfer routine failed and showed why.
    bool failed() { return fail(TakeRoutineError()); }
    bool cancel() {
        m_cancelled = true;
        return false;
    }
    // A message's lines joined into one, spacing within them kept.
    static QString oneLine(const QString& text) {
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (!line.trimmed().isEmpty())
                lines << line.trimmed();
        return lines.join(QLatin1Char(' '));
    }

    QString summary() const {
        if (!m_refusal.isEmpty())
            return m_name + QStringLiteral(" refused: ") + oneLine(m_refusal);
        QString text;
        if (!m_done.isEmpty())
            text = m_doneText.arg(m_done.size() == 1
                                      ? m_done.first()
                                      : QString::number(m_done.size()) + QStringLiteral(" files"));
        if (!m_skipped.isEmpty())
            text += (text.isEmpty() ? m_name + QStringLiteral(": skipped ") : QStringLiteral("; skipped ")) +
                    m_skipped.join(QStringLiteral("; "));
        const QString left =
            m_left.isEmpty() ? QString()
                             : QStringLiteral("; left as they were: ") + m_left.join(QStringLiteral(", "));
        if (m_cancelled)
            return m_name + QStringLiteral(" cancelled") +
                   (text.isEmpty() ? QString()
                                   : QStringLiteral("; ") + text.left(1).toLower() + text.mid(1)) +
                   left;
        if (!m_failure.isEmpty()) {
            const QString reason = oneLine(m_failure);
            return (text.isEmpty() ? m_name + QStringLiteral(" failed: ") + reason
                                   : text + QStringLiteral("; stopped: ") + reason) +
                   left;
        }
        return text.isEmpty() ? m_name + QStringLiteral(": nothing done") : text;
    }

private:
    ExplorerActions& m_a;
    QString m_name;
    QString m_doneText;
    QStringList m_done;
    QStringList m_skipped;
    QStringList m_left;
    QString m_refusal;
    QString m_failure;
    bool m_cancelled = false;
};

ExplorerActions::ExplorerActions(SiteExplorer& explorer, QObject* parent)
    : QObject(parent), m_explorer(explorer) {}

ExplorerActions::~ExplorerActions() = default;

void ExplorerActions::report(const QString& outcome) {
    m_outcome = outcome;
    emit reported(outcome);
}

void ExplorerActions::setBusy(bool busy) {
    m_busy = busy;
    if (busy) {
        dialogs().beginBusy();
        m_explorer.beginBusy();
    } else {
        m_explorer.endBusy();
        dialogs().endBusy();
        emit working(QString());
    }
    emit busyChanged(busy);
}

QString ExplorerActions::FileFilter() {
    return QStringLiteral(
        "All Allowed File Types|*.html;*.htm;*.gif;*.jpg;*.txt;*.zip|HTML Files|*.html;*.htm|"
        "Graphic Files|*.gif;*.jpg|Text Files|*.txt|Zip Files|*.zip");
}

QString ExplorerActions::NoFilesMessage(const QString& purpose) {
    return QStringLiteral("No Files are Selected.  Please select the files to ") + purpose + QLatin1Char('.');
}

QString ExplorerActions::ConfirmMessage(const QString& verb, int count, const QString& tail) {
    return QStringLiteral("Please confirm.  You are about to ") + verb + QString::number(count) +
           QStringLiteral(" file") + (count > 1 ? QStringLiteral("s") : QString()) + tail;
}

QString ExplorerActions::SpacesMessage(const QString& name) {
    return name + QStringLiteral("\r\n\r\nSorry, spaces are not allows in files for the KR Web Site");
}

QString ExplorerActions::UnsafeNameMessage(const QString& name) {
    return name + QStringLiteral("\r\n\r\nSorry, this name cannot be used for files on the KR Web Site");
}

QString ExplorerActions::ExistsMessage(const QString& hostPath) {
    return hostPath + QStringLiteral(" already exists on the server.  Try using the REPLACE button.");
}

QString ExplorerActions::CancelledDialogMessage() {
    return QStringLiteral("Cancel was selected.");
}

QString ExplorerActions::DownloadFirstQuestion(const QString& hostPath, const QString& caption) {
    return QStringLiteral("Would you like to download ") + hostPath +
           QStringLiteral(" from the web page before you edit it with ") + caption + QLatin1Char('?');
}

QString ExplorerActions::NoLocalCopyMessage(const QString& localPath) {
    return localPath +
           QStringLiteral(
               " does not exist on your local hard drive.  Press OK to download it from the web page.");
}

QString ExplorerActions::NewFilePrompt() {
    return QStringLiteral("Please enter a name for the new file");
}

QString ExplorerActions::NotAllowedMessage(const QString& what, const QString& folderKey) {
    return QStringLiteral("Your access list does not allow you to ") + what +
           QStringLiteral(" in the folder ") + (folderKey.isEmpty() ? QStringLiteral("/") : folderKey) +
           QLatin1Char('.');
}

QString ExplorerActions::currentKey() const {
    const ExplorerFileModel& files = m_explorer.files();
    const QString focused = files.focusedKey();
    if (!focused.isEmpty() && files.find(focused) && files.find(focused)->selected)
        return focused;
    const QStringList keys = files.selectedKeys();
    return keys.isEmpty() ? QString() : keys.first();
}

void ExplorerActions::Cancel() {
    if (!m_busy)
        return;
    m_cancel = true;
    if (m_pool && m_pool->running())
        m_pool->cancel();
    m_explorer.inet().Cancel();
}

int ExplorerActions::parallelTransfers() const {
    int n = m_parallel;
    if (n <= 0) {
        // Its leading digits, as the store reads it: no number means one connection.
        const QString text = settingsStore().get(settings::TransfersParallel).trimmed();
        qsizetype digits = 0;
        while (digits < text.size() && digits < 3 && text.at(digits).isDigit())
            ++digits;
        n = text.left(digits).toInt();
    }
    return std::clamp(n, 1, TransferPool::kMaxConnections);
}

TransferPool& ExplorerActions::pool() {
    if (!m_pool) {
        m_pool = std::make_unique<TransferPool>(parallelTransfers());
        m_pool->configure = [this](TransferControl& c) {
            c.configureForSite();
            c.RemoteHost = m_explorer.inet().RemoteHost;
            c.Document = QStringLiteral("/");
        };
    }
    m_pool->setConnections(parallelTransfers());
    return *m_pool;
}

bool ExplorerActions::Download() {
    return runSelected(Kind::Download);
}
bool ExplorerActions::Send() {
    return runSelected(Kind::Send);
}
bool ExplorerActions::DeleteOnHost() {
    return runSelected(Kind::DeleteOnHost);
}
bool ExplorerActions::DeleteLocal() {
    return runSelected(Kind::DeleteLocal);
}

bool ExplorerActions::runSelected(Kind kind) {
    Guard guard(*this);
    if (!guard)
        return false;
    static const char* const kOutcomes[][2] = {
        {"Download", "Downloaded %1"},
        {"Upload", "Sent %1 to the server"},
        {"Delete from the server", "Deleted %1 from the server"},
        {"Delete of the local copy", "Deleted the local copy of %1"},
    };
    Outcome outcome(*this, kOutcomes[int(kind)][0], kOutcomes[int(kind)][1]);
    ExplorerFileModel& files = m_explorer.files();
    const QStringList keys = files.selectedKeys();
    const int n = int(keys.size());
    struct Texts {
        const char* purpose;
        const char* verb;
        const char* tail;
        Dialogs::Icon icon;
        const char* mark;
    };
    static const Texts kTexts[] = {
        {"download", "download ", " from the server.", Dialogs::Icon::Information, "filedownload"},
        {"upload", "send (upload) ", " to the server.", Dialogs::Icon::Information, "fileupload"},
        {"delete", "DELETE ", " from the server.", Dialogs::Icon::Critical, "filedelete"},
        {"delete", "DELETE ", " from your LOCAL hard drive.", Dialogs::Icon::Critical, "filedelete"},
    };
    const Texts& t = kTexts[int(kind)];
    if (n == 0)
        return outcome.refuse(NoFilesMessage(QLatin1String(t.purpose)));
    if (kind == Kind::DeleteOnHost && !m_explorer.canDeleteFiles())
        return outcome.refuse(
            NotAllowedMessage(QStringLiteral("delete files"), m_explorer.selectedFolderKey()),
            Dialogs::Icon::Critical);
    if (kind == Kind::Send || kind == Kind::DeleteOnHost)
        for (const QString& key : keys) {
            const QString refused = ControlFileRefusal(files.hostPath(key));
            if (!refused.isEmpty())
                return outcome.refuse(refused, Dialogs::Icon::Critical);
        }
    if (dialogs().message(ConfirmMessage(QLatin1String(t.verb), n, QLatin1String(t.tail)), t.icon,
                          Dialogs::Ok | Dialogs::Cancel) != Dialogs::Ok)
        return outcome.cancel();

    // With several connections the bodies travel together first; a file that did not make it takes
    // the one-by-one path below, which says why. Messages keep the order of the selection.
    QList<ParallelSiteFiles::FileResult> pooled(n);
    bool usePool = false;
    if (kind != Kind::DeleteLocal && parallelTransfers() > 1) {
        QStringList paths;
        int many = 0;
        for (const QString& key : keys) {
            const QString hostPath = files.hostPath(key);
            // The control folder's files change under the shared lock, one at a time.
            const bool serial = kind == Kind::Send && IsControlFilePath(hostPath);
            paths << (serial ? QString() : hostPath);
            many += serial ? 0 : 1;
        }
        if (many > 1) {
            usePool = true;
            ParallelSiteFiles par(pool());
            par.onStart = [&](int i) { files.setIcon(keys[i], QLatin1String(t.mark)); };
            pooled = kind == Kind::Download ? par.download(paths)
                     : kind == Kind::Send   ? par.upload(paths)
                                            : par.remove(paths);
            if (par.cancelled())
                m_cancel = true;
        }
    }

    // The first failure ends the action there; files that made it over the pool meanwhile are
    // still finished, and the others are named as left alone.
    bool stopped = false;
    bool cancelShown = false;
    for (int i = 0; i < n; ++i) {
        const QString& key = keys[i];
        if (!files.contains(key))
            continue;
        const QString hostPath = files.hostPath(key);
        const QString name = files.find(key)->text;
        const ParallelSiteFiles::FileResult& early = pooled[i];
        if (early.result == ParallelSiteFiles::Result::Done) {
            if (kind != Kind::DeleteOnHost) {
                m_explorer.refreshIcon(key);
            } else {
                files.ensureVisible(key);
                QString why;
                const bool unregistered = unregisterFile(name, hostPath, &why);
                files.remove(key);
                if (!unregistered) {
                    if (!stopped && !m_cancel)
                        outcome.fail(why);
                    stopped = true;
                    continue;
                }
            }
            outcome.done(name);
            continue;
        }
        if (stopped || m_cancel) {
            if (!usePool)
                continue;
            // A transfer cancelled under way says so once, as a single one does, and keeps its mark.
            if (early.result != ParallelSiteFiles::Result::Cancelled) {
                m_explorer.refreshIcon(key);
            } else if (!cancelShown && !early.error.isEmpty()) {
                say(early.error, Dialogs::Icon::Critical);
                cancelShown = true;
            }
            outcome.leave(name);
            continue;
        }
        files.setIcon(key, QLatin1String(t.mark));
        bool done = false;
        switch (kind) {
        case Kind::Download: {
            emit working(hostPath);
            QString mode = QLatin1String(kSaveToFile);
            done = GetFileFromServer(m_explorer.inet(), hostPath, mode);
            if (!done)
                m_cancel ? outcome.cancel() : outcome.failed();
            else
                m_explorer.refreshIcon(key);
            break;
        }
        case Kind::Send: {
            emit working(hostPath);
            QString why;
            done = SendSiteFile(m_explorer.inet(), hostPath, nullptr, &why);
            if (!done)
                m_cancel ? outcome.cancel() : why.isEmpty() ? outcome.failed() : outcome.fail(why);
            else
                m_explorer.refreshIcon(key);
            break;
        }
        case Kind::DeleteOnHost:
            files.ensureVisible(key);
            if (!DeleteFileFromServer(m_explorer.inet(), hostPath)) {
                outcome.failed();
                break;
            }
            if (QString why; !unregisterFile(files.find(key)->text, hostPath, &why)) {
                files.remove(key);
                outcome.fail(why);
                break;
            }
            files.remove(key);
            done = true;
            break;
        case Kind::DeleteLocal: {
            const QString local = LocalMirrorPath(hostPath);
            QFile file(local);
            if (!file.exists()) {
                say(QStringLiteral("File not found: ") + local);
                outcome.fail(QStringLiteral("File not found: ") + local);
                break;
            }
            if (!file.remove()) {
                say(file.errorString() + QStringLiteral(": ") + local);
                outcome.fail(file.errorString() + QStringLiteral(": ") + local);
                break;
            }
            m_explorer.refreshIcon(key);
            done = true;
            break;
        }
        }
        if (!done) {
            stopped = true;
            continue;
        }
        outcome.done(name);
    }
    if (m_cancel)
        return outcome.cancel();
    return !stopped;
}

bool ExplorerActions::checkName(const QString& name, Outcome& outcome) {
    if (name.contains(QLatin1Char(' '))) {
        say(SpacesMessage(name));
        outcome.skip(name, QStringLiteral("spaces are not allowed in file names"));
        return false;
    }
    if (!IsSafeSiteName(name)) {
        say(UnsafeNameMessage(name));
        outcome.skip(name, QStringLiteral("the name cannot be used on the site"));
        return false;
    }
    return true;
}

bool ExplorerActions::existsOnHost(const QString& folderKey, const QString& name) {
    const QString reply = m_explorer.ListSiteFolder(folderKey + name);
    return reply.split(kCrLf).contains(name);
}

bool ExplorerActions::registerFile(const QString& name, const QString& hostPath, QString* why) {
    const QString folder = m_explorer.selectedFolderKey();
    if (m_explorer.fullAccess())
        m_explorer.setTag(folder, m_explorer.node(folder)->tag + kCrLf + name);
    else if (!m_explorer.ChangeAccessList([&](AccessList& list) { list.addPath(hostPath); }, why))
        return false;
    m_explorer.files().addFile(name, hostPath, SiteExplorer::IconForHostPath(hostPath));
    return true;
}

bool ExplorerActions::unregisterFile(const QString& name, const QString& hostPath, QString* why) {
    const QString folder = m_explorer.selectedFolderKey();
    if (!m_explorer.fullAccess())
        return m_explorer.ChangeAccessList([&](AccessList& list) { list.removePath(hostPath); }, why);
    QStringList kept;
    for (const QString& line : m_explorer.node(folder)->tag.split(kCrLf))
        if (line != name)
            kept << line;
    m_explorer.setTag(folder, kept.join(kCrLf));
    return true;
}

bool ExplorerActions::copyIntoMirror(const QString& source, const QString& hostPath, QString* why,
                                     bool show) {
    const auto say = [why, show](const QString& text) {
        *why = text;
        if (show)
            dialogs().message(text, Dialogs::Icon::None, Dialogs::Ok);
    };
    const QString target = absoluteLocal(hostPath);
    QDir().mkpath(QFileInfo(target).absolutePath());
    const QString from = QFileInfo(source).canonicalFilePath();
    if (!from.isEmpty() && from == QFileInfo(target).canonicalFilePath())
        return true; // the chosen file is the mirror copy itself
    if (from.isEmpty()) {
        say(QStringLiteral("File not found: ") + source);
        return false;
    }
    // Copied beside the target and moved into place, so a failed copy leaves the old mirror copy.
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    QFile in(from);
    if (!in.copy(part)) {
        say(in.errorString() + QStringLiteral(": ") + source);
        return false;
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) {
        QFile::remove(part);
        say(QStringLiteral("Cannot write ") + target);
        return false;
    }
    return true;
}

void ExplorerActions::removePartialUpload(const QString& hostPath) {
    // The name was not on the host before: what a cut-off upload left there goes, so that the host
    // is as it was. The command fails harmlessly when nothing arrived.
    TransferControl& inet = m_explorer.inet();
    inet.configureForSite();
    inet.waitUntilIdle();
    if (inet.Execute(QStringLiteral("delete ") + QuoteCommandArgument(QLatin1Char('/') + hostPath)))
        inet.waitUntilIdle();
}

bool ExplorerActions::AddFiles() {
    if (!m_explorer.hasSelectedFolder() || m_busy)
        return false;
    const auto chosen =
        dialogs().openFiles(QStringLiteral("Add File..."), FileFilter(), true, runState().LocalFolder);
    backToLocalFolder();
    if (!chosen) {
        Outcome outcome(*this, "Adding files", "Added %1 to the server");
        say(CancelledDialogMessage());
        return outcome.cancel();
    }
    return AddFiles(*chosen);
}

bool ExplorerActions::AddFiles(const QStringList& paths) {
    if (!m_explorer.hasSelectedFolder())
        return false;
    Guard guard(*this);
    if (!guard)
        return false;
    Outcome outcome(*this, "Adding files", "Added %1 to the server");
    const QString folder = m_explorer.selectedFolderKey();
    if (!m_explorer.canAddFiles())
        return outcome.refuse(NotAllowedMessage(QStringLiteral("add files"), folder),
                              Dialogs::Icon::Critical);

    // With several connections the new files travel together first: each listed, copied into the
    // mirror and sent. The loop below then tells them in the order given and registers them; a file
    // that did not make it takes the one-by-one path, which says why.
    QList<ParallelSiteFiles::FileResult> pooled(paths.size());
    bool usePool = false;
    if (parallelTransfers() > 1) {
        QStringList hostPaths;
        int many = 0;
        for (const QString& path : paths) {
            const QString name = QFileInfo(path).fileName();
            const QString hostPath = folder + name;
            // Names the loop refuses, the control folder's files (changed under the shared lock) and a
            // name given twice (the second finds the first on the host) go one by one.
            const bool alone = name.trimmed().isEmpty() || name.contains(QLatin1Char(' ')) ||
                               !IsSafeSiteName(name) || IsControlFilePath(hostPath) ||
                               hostPaths.contains(hostPath, Qt::CaseInsensitive);
            hostPaths << (alone ? QString() : hostPath);
            many += alone ? 0 : 1;
        }
        if (many > 1) {
            usePool = true;
            ParallelSiteFiles par(pool());
            par.stopAtFailure = false;
            pooled = par.add(hostPaths, [&](int i) {
                QString why;
                return copyIntoMirror(paths[i], hostPaths[i], &why, false);
            });
            if (par.cancelled())
                m_cancel = true;
        }
    }

    bool all = true;
    bool stopped = false;
    bool cancelShown = false;
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        const ParallelSiteFiles::FileResult& early = pooled[i];
        const QString name = QFileInfo(path).fileName();
        const QString hostPath = folder + name;
        QString why;
        if (early.result == ParallelSiteFiles::Result::Done) {
            if (!registerFile(name, hostPath, &why)) {
                all = false;
                outcome.skip(name, QStringLiteral("sent, but not entered in your access list: ") +
                                       Outcome::oneLine(why));
            } else {
                outcome.done(name);
            }
            continue;
        }
        if (m_cancel || stopped) {
            if (!usePool)
                return outcome.cancel();
            if (name.trimmed().isEmpty())
                continue;
            // A transfer cancelled under way says so once, as a single one does.
            if (early.result == ParallelSiteFiles::Result::Cancelled && !cancelShown &&
                !early.error.isEmpty()) {
                say(early.error, Dialogs::Icon::Critical);
                cancelShown = true;
            }
            outcome.leave(name);
            continue;
        }
        if (name.trimmed().isEmpty())
            continue;
        if (!checkName(name, outcome)) {
            all = false;
            continue;
        }
        if (const QString refused = ControlFileRefusal(folder + name); !refused.isEmpty()) {
            say(refused, Dialogs::Icon::Critical);
            outcome.skip(name, QStringLiteral("KRtp keeps that name for itself"));
            all = false;
            continue;
        }
        if (early.result == ParallelSiteFiles::Result::Exists || existsOnHost(folder, name)) {
            say(ExistsMessage(folder + name), Dialogs::Icon::Critical);
            outcome.skip(name, QStringLiteral("already on the server"));
            all = false;
            continue;
        }
        if (!copyIntoMirror(path, hostPath, &why)) {
            if (!usePool)
                return outcome.fail(why);
            outcome.fail(why);
            stopped = true;
            continue;
        }
        emit working(hostPath);
        if (!SendSiteFile(m_explorer.inet(), hostPath, nullptr, &why)) {
            all = false;
            outcome.skip(name, Outcome::oneLine(why.isEmpty() ? TakeRoutineError() : why));
            removePartialUpload(hostPath);
        } else if (!registerFile(name, hostPath, &why)) {
            all = false;
            outcome.skip(name, QStringLiteral("sent, but not entered in your access list: ") +
                                   Outcome::oneLine(why));
        } else {
            outcome.done(name);
        }
    }
    if (m_cancel)
        return outcome.cancel();
    return all && !stopped;
}

bool ExplorerActions::NewFile() {
    if (!m_explorer.hasSelectedFolder() || m_busy)
        return false;
    const auto name =
        dialogs().input(Dialogs::defaultTitle(), NewFilePrompt(), QStringLiteral("newfile.html"));
    backToLocalFolder();
    if (!name || name->isEmpty())
        return false;
    return NewFile(*name);
}

bool ExplorerActions::NewFile(const QString& name) {
    if (!m_explorer.hasSelectedFolder() || name.isEmpty())
        return false;
    Guard guard(*this);
    if (!guard)
        return false;
    Outcome outcome(*this, "New file", "Created %1");
    const QString folder = m_explorer.selectedFolderKey();
    if (!m_explorer.canAddFiles())
        return outcome.refuse(NotAllowedMessage(QStringLiteral("add files"), folder),
                              Dialogs::Icon::Critical);
    if (!checkName(name, outcome))
        return false;
    if (const QString refused = ControlFileRefusal(folder + name); !refused.isEmpty())
        return outcome.refuse(refused, Dialogs::Icon::Critical);
    if (existsOnHost(folder, name))
        return outcome.refuse(ExistsMessage(folder + name), Dialogs::Icon::Critical);
    if (QString why; !registerFile(name, folder + name, &why))
        return outcome.fail(why);
    outcome.done(name);
    return true;
}

bool ExplorerActions::Replace() {
    const QString key = currentKey();
    if (!m_explorer.hasSelectedFolder() || key.isEmpty() || m_busy)
        return false;
    const auto chosen = dialogs().openFiles(QStringLiteral("Replace ") + m_explorer.files().find(key)->text +
                                                QStringLiteral(" With..."),
                                            FileFilter(), false, runState().LocalFolder);
    backToLocalFolder();
    if (!chosen || chosen->isEmpty()) {
        Outcome outcome(*this, "Replace", "Replaced %1 on the server");
        say(CancelledDialogMessage());
        return outcome.cancel();
    }
    return ReplaceWith(key, chosen->first());
}

bool ExplorerActions::ReplaceWith(const QString& key, const QString& path) {
    if (!m_explorer.hasSelectedFolder() || !m_explorer.files().contains(key))
        return false;
    Guard guard(*this);
    if (!guard)
        return false;
    Outcome outcome(*this, "Replace", "Replaced %1 on the server");
    const QString chosenName = QFileInfo(path).fileName();
    if (chosenName.contains(QLatin1Char(' ')))
        return outcome.refuse(SpacesMessage(chosenName));
    const QString hostPath = m_explorer.files().hostPath(key);
    if (const QString refused = ControlFileRefusal(hostPath); !refused.isEmpty())
        return outcome.refuse(refused, Dialogs::Icon::Critical);
    QString why;
    if (!copyIntoMirror(path, hostPath, &why))
        return outcome.fail(why);
    emit working(hostPath);
    if (!SendSiteFile(m_explorer.inet(), hostPath, nullptr, &why))
        return why.isEmpty() ? outcome.failed() : outcome.fail(why);
    outcome.done(m_explorer.files().find(key)->text);
    return true;
}

bool ExplorerActions::DownloadAndEdit() {
    const QString key = currentKey();
    if (!m_explorer.hasSelectedFolder() || key.isEmpty() || m_busy)
        return false;
    Outcome outcome(*this, "Download and edit", "Edited %1");
    const QString hostPath = m_explorer.files().hostPath(key);
    bool sent = false;
    const bool edited = EditFile(hostPath, nullptr, &sent);
    m_explorer.refreshIcon(key);
    if (!edited) {
        const QString why = TakeRoutineError();
        return why.isEmpty() ? outcome.cancel() : outcome.fail(why);
    }
    // Closing the editor without sending leaves the host's copy as it was.
    if (sent)
        outcome.setDoneText(QStringLiteral("Sent %1"));
    outcome.done(m_explorer.files().find(key)->text);
    return true;
}

void ExplorerActions::SelectAll() {
    m_explorer.files().setAllSelected(true);
    const int n = m_explorer.files().count();
    report(QStringLiteral("Selected ") + QString::number(n) +
           (n == 1 ? QStringLiteral(" file") : QStringLiteral(" files")));
}

bool ExplorerActions::OpenFileManager() {
    const QString folder = runState().LocalFolder + QLatin1String(kMirrorRoot);
    if (desktopServices().openFileManager(folder)) {
        report(QStringLiteral("Opened ") + folder + QStringLiteral(" in the file manager"));
        return true;
    }
    report(QStringLiteral("The file manager could not be started for ") + folder +
           QStringLiteral(": no file manager is set up on this desktop"));
    return false;
}

void ExplorerActions::LoadExternalEditors() {
    m_editors = ReadExternalEditors(runState().ExternalEditorsFile);
}

bool ExplorerActions::EditWith(int index) {
    // Entry 0, "Edit With...", carries no command.
    if (index < 1 || index > m_editors.size() || m_busy)
        return false;
    const QString key = currentKey();
    if (!m_explorer.hasSelectedFolder() || key.isEmpty())
        return false;
    const ExternalEditor& editor = m_editors[index - 1];
    Outcome outcome(*this, "Edit with", "Started the editor on %1");
    if (!editor.found)
        return outcome.fail(editor.program() + QStringLiteral(" is not installed"));
    const QString hostPath = m_explorer.files().hostPath(key);
    const QString local = LocalMirrorPath(hostPath);
    bool download = false;
    if (QFileInfo::exists(local)) {
        switch (dialogs().message(DownloadFirstQuestion(hostPath, editor.caption()), Dialogs::Icon::Question,
                                  Dialogs::Yes | Dialogs::No | Dialogs::Cancel)) {
        case Dialogs::Yes:
            download = true;
            break;
        case Dialogs::No:
            break;
        default:
            return outcome.cancel();
        }
    } else {
        if (dialogs().message(NoLocalCopyMessage(local), Dialogs::Icon::Information,
                              Dialogs::Ok | Dialogs::Cancel) != Dialogs::Ok)
            return outcome.cancel();
        download = true;
    }
    if (download) {
        Guard guard(*this);
        if (!guard)
            return false;
        emit working(hostPath);
        QString mode = QLatin1String(kSaveToFile);
        const bool fetched = GetFileFromServer(m_explorer.inet(), hostPath, mode);
        m_explorer.refreshIcon(key);
        if (!fetched)
            return outcome.failed();
    }
    // The program with the file as its one argument: nothing in a name reaches a shell.
    if (!desktopServices().startProgram(editor.program(), {absoluteLocal(hostPath)})) {
        say(QStringLiteral("Cannot start ") + editor.program());
        return outcome.fail(QStringLiteral("Cannot start ") + editor.program());
    }
    outcome.done(m_explorer.files().find(key)->text);
    return true;
}

bool ExplorerActions::CreateSubfolder() {
    if (!m_explorer.hasSelectedFolder() || !m_explorer.fullAccess() || m_busy)
        return false;
    const auto name = dialogs().input(Dialogs::defaultTitle(),
                                      QStringLiteral("Please enter a name for the new folder"), QString());
    if (!name || name->isEmpty())
        return false;
    return CreateSubfolder(*name);
}

bool ExplorerActions::CreateSubfolder(const QString& name) {
    if (!m_explorer.hasSelectedFolder() || !m_explorer.fullAccess())
        return false;
    Guard guard(*this);
    if (!guard)
        return false;
    Outcome outcome(*this, "New folder", "Created the folder %1");
    if (!checkName(name, outcome) || name.startsWith(QLatin1Char('.'))) {
        if (name.startsWith(QLatin1Char('.')))
            return outcome.refuse(UnsafeNameMessage(name));
        return false;
    }
    const QString folder = m_explorer.selectedFolderKey();
    // A folder such as krg/_shared.lock would hold the program's lock for everyone.
    if (const QString refused = ControlFileRefusal(folder + name); !refused.isEmpty())
        return outcome.refuse(refused, Dialogs::Icon::Critical);
    TransferControl& inet = m_explorer.inet();
    inet.configureForSite();
    inet.waitUntilIdle();
    if (!inet.Execute(QStringLiteral("MKDIR ") + QuoteCommandArgument(QLatin1Char('/') + folder + name)) ||
        !inet.waitUntilIdle() || !inet.lastSucceeded()) {
        say(inet.lastError(), Dialogs::Icon::Critical);
        return outcome.fail(inet.lastError());
    }
    outcome.done(name);
    const FolderNode* node = m_explorer.node(folder);
    if (!node->tag.isEmpty())
        m_explorer.setTag(folder, node->tag + kCrLf + name + QLatin1Char('/'));
    m_explorer.AddFolderNode(folder, name + QLatin1Char('/'));
    return true;
}

bool ExplorerActions::DeleteCurrentFolder() {
    const QString folder = m_explorer.selectedFolderKey();
    if (!m_explorer.hasSelectedFolder() || !m_explorer.fullAccess() || folder.isEmpty())
        return false;
    Guard guard(*this);
    if (!guard)
        return false;
    Outcome outcome(*this, "Deleting the folder", "Deleted the folder %1");
    if (dialogs().message(QStringLiteral("Please confirm.  You are about to DELETE the folder ") + folder +
                              QStringLiteral(" from the server."),
                          Dialogs::Icon::Critical, Dialogs::Ok | Dialogs::Cancel) != Dialogs::Ok)
        return outcome.cancel();
    TransferControl& inet = m_explorer.inet();
    inet.configureForSite();
    inet.waitUntilIdle();
    // The host refuses to remove a folder that still holds anything.
    if (!inet.Execute(QStringLiteral("RMDIR ") + QuoteCommandArgument(QLatin1Char('/') + folder)) ||
        !inet.waitUntilIdle() || !inet.lastSucceeded()) {
        say(inet.lastError(), Dialogs::Icon::Critical);
        return outcome.fail(inet.lastError());
    }
    outcome.done(folder);
    const FolderNode* node = m_explorer.node(folder);
    const QString parent = node->parentKey;
    const QString line = node->text + QLatin1Char('/');
    QStringList kept;
    for (const QString& l : m_explorer.node(parent)->tag.split(kCrLf))
        if (l != line)
            kept << l;
    m_explorer.setTag(parent, kept.join(kCrLf));
    m_explorer.removeFolderNode(folder);
    m_explorer.ShowFolderFiles();
    return true;
}

} // namespace krtp
