#include "sitetools/parallelsitefiles.h"

#include "config/runstate.h"
#include "transfer/ftpcommand.h"
#include "transfer/mirrorpath.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kBackup = QStringLiteral(".backup");

QString q(const QString& s) {
    return QuoteCommandArgument(s);
}

// Where one file's job stands: the command that runs (or last ran) on its connection.
enum class Phase {
    Start,
    Getting,
    Deleting,
    Listing,
    DeletingBackup,
    Renaming,
    Sending,
    Verifying,
    DeletingCut,
    Undoing, // putting back the host's previous copy, or removing what a new name's upload left
};

struct Job {
    QString hostPath;
    MirrorPath p;
    Phase phase = Phase::Start;
    bool movedAside = false; // download: the previous local copy is under ".backup"
    bool keptBackup = false; // upload: the host's previous copy is under ".backup"
    qint64 size = 0;
    ParallelSiteFiles::FileResult r;
};

// The local side of a download, as GetFileFromServer does it: mirror folders made, an empty copy
// dropped, a real one kept as ".backup". False leaves the file to the one-by-one path. A job that
// starts again on another connection finds its copy already set aside.
bool prepareDownload(Job& job) {
    QString folder;
    for (const QString& seg : job.p.localFolder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        folder += seg + QLatin1Char('/');
        MakeLocalFolder(folder);
    }
    const QString local = job.p.localFile();
    const QString backup = local + kBackup;
    const QFileInfo info(local);
    if (info.exists()) {
        if (info.size() < 1) {
            if (!QFile::remove(local))
                return false;
        } else {
            if (QFileInfo::exists(backup) && !QFile::remove(backup))
                return false;
            if (!QFile::rename(local, backup))
                return false;
            job.movedAside = true;
        }
    }
    return true;
}

void restoreDownload(const Job& job) {
    const QString local = job.p.localFile();
    if (job.movedAside && !QFileInfo::exists(local))
        QFile::rename(local + kBackup, local);
}

// The checks SendFileToServer makes before it touches the host.
bool uploadable(Job& job) {
    const QString local = job.p.localFile();
    if (!QFileInfo(local).isFile())
        return false;
    const QString root = runState().LocalFolder.isEmpty() ? QDir::currentPath() : runState().LocalFolder;
    if (!LinkLeavesFolderError(QDir::current().absoluteFilePath(local), root).isEmpty())
        return false;
    job.size = QFileInfo(local).size();
    return true;
}

} // namespace

bool ParallelSiteFiles::cancelled() const {
    return m_pool.cancelled();
}

QList<ParallelSiteFiles::FileResult> ParallelSiteFiles::download(const QStringList& hostPaths) {
    return run(Kind::Download, hostPaths, {});
}

QList<ParallelSiteFiles::FileResult> ParallelSiteFiles::upload(const QStringList& hostPaths) {
    return run(Kind::Upload, hostPaths, {});
}

QList<ParallelSiteFiles::FileResult> ParallelSiteFiles::remove(const QStringList& hostPaths) {
    return run(Kind::Remove, hostPaths, {});
}

QList<ParallelSiteFiles::FileResult> ParallelSiteFiles::add(const QStringList& hostPaths,
                                                            const std::function<bool(int)>& prepare) {
    return run(Kind::Add, hostPaths, prepare);
}

QList<ParallelSiteFiles::FileResult> ParallelSiteFiles::run(Kind kind, const QStringList& hostPaths,
                                                            const std::function<bool(int)>& prepare) {
    QList<Job> jobs(hostPaths.size());
    for (int i = 0; i < hostPaths.size(); ++i) {
        jobs[i].hostPath = hostPaths[i];
        if (!hostPaths[i].isEmpty())
            jobs[i].p = MapMirrorPath(hostPaths[i]);
    }
    bool stop = false;
    const auto end = [&](Job& job, ParallelSiteFiles::Result result, const QString& error = QString()) {
        job.r.result = result;
        job.r.error = error;
        if (result == Result::Failed && stopAtFailure)
            stop = true;
        return QString();
    };
    const auto failed = [&](Job& job, const TransferControl& c) {
        job.r.result = m_pool.cancelled() ? Result::Cancelled : Result::Failed;
        job.r.error = c.lastError();
        if (job.r.result == Result::Failed && stopAtFailure)
            stop = true;
    };
    // What a failed upload changed goes back: the host's previous copy, or nothing at all for a
    // name the host did not have before (add).
    const auto undo = [&](Job& job) {
        const QString host = job.p.hostFile();
        if (job.keptBackup) {
            job.phase = Phase::Undoing;
            return QStringLiteral("rename ") + q(host + kBackup) + QLatin1Char(' ') + q(host);
        }
        if (kind == Kind::Add && job.phase != Phase::DeletingCut) {
            job.phase = Phase::Undoing;
            return QStringLiteral("delete ") + q(host);
        }
        return QString();
    };
    // A file the one-by-one path will refuse before it reaches the host stops the run there too.
    const auto notStarted = [&] {
        if (stopAtFailure)
            stop = true;
        return QString();
    };
    const auto startUpload = [&](int i, Job& job) {
        if (!uploadable(job))
            return notStarted();
        if (onStart)
            onStart(i);
        job.phase = Phase::DeletingBackup;
        // Fails harmlessly when there is no backup.
        return QStringLiteral("delete ") + q(job.p.hostFile() + kBackup);
    };

    const TransferPool::NextCommand next = [&](int i, int step, TransferControl& c) -> QString {
        Job& job = jobs[i];
        const QString host = job.p.hostFile();
        if (step == 0) {
            // Also a restart on another connection when the host refused this one's session.
            if (stop)
                return QString();
            if (!job.p.ok)
                return job.hostPath.isEmpty() ? QString() : notStarted();
            switch (kind) {
            case Kind::Download:
                if (!prepareDownload(job))
                    return notStarted();
                if (onStart)
                    onStart(i);
                job.phase = Phase::Getting;
                return QStringLiteral("get ") + q(host) + QLatin1Char(' ') + q(job.p.localFile());
            case Kind::Upload:
                return startUpload(i, job);
            case Kind::Remove:
                if (onStart)
                    onStart(i);
                job.phase = Phase::Deleting;
                return QStringLiteral("delete ") + q(host);
            case Kind::Add:
                job.phase = Phase::Listing;
                return QStringLiteral("LS ") + q(QLatin1Char('/') + job.hostPath);
            }
            return QString();
        }
        const bool ok = c.lastSucceeded();
        // Cancelled between two commands: only a command that was itself cut off has a reason to tell.
        const QString cutOff = !ok && c.lastReplyCode() == 0 ? c.lastError() : QString();
        switch (job.phase) {
        case Phase::Start:
            return QString();
        case Phase::Getting:
            if (ok)
                return end(job, Result::Done);
            restoreDownload(job);
            failed(job, c);
            return QString();
        case Phase::Deleting:
            if (ok)
                return end(job, Result::Done);
            failed(job, c);
            return QString();
        case Phase::Listing: {
            QString reply;
            for (QString chunk = c.GetChunk(1024); !chunk.isEmpty(); chunk = c.GetChunk(1024))
                reply += chunk;
            if (reply.split(kCrLf).contains(job.p.fileName))
                return end(job, Result::Exists);
            if (m_pool.cancelled())
                return QString();
            if (prepare && !prepare(i)) {
                stop = true;
                return QString();
            }
            return startUpload(i, job);
        }
        case Phase::DeletingBackup:
            if (m_pool.cancelled())
                return end(job, Result::Cancelled, cutOff);
            job.phase = Phase::Renaming;
            return QStringLiteral("rename ") + q(host) + QLatin1Char(' ') + q(host + kBackup);
        case Phase::Renaming:
            job.keptBackup = ok;
            if (m_pool.cancelled()) {
                // Nothing was sent: only the previous copy needs its name back.
                job.r = {Result::Cancelled, cutOff};
                return job.keptBackup ? undo(job) : QString();
            }
            job.phase = Phase::Sending;
            return QStringLiteral("send ") + q(job.p.localFile()) + QLatin1Char(' ') + q(host);
        case Phase::Sending:
            if (ok) {
                job.phase = Phase::Verifying;
                return QStringLiteral("ls ") + q(host);
            }
            failed(job, c);
            return undo(job);
        case Phase::Verifying: {
            // Checked as the host lists it: a host that cut or replaced the upload has not got the file.
            const qint64 listed = c.lastListedSize();
            if (!ok || listed < 0 || listed == job.size)
                return end(job, Result::Done);
            end(job, Result::Failed,
                QStringLiteral("Error sending ") + job.p.fileName + QStringLiteral(": the host kept ") +
                    QString::number(listed) + QStringLiteral(" of ") + QString::number(job.size) +
                    QStringLiteral(" bytes, so the upload was undone."));
            job.phase = Phase::DeletingCut;
            return QStringLiteral("delete ") + q(host);
        }
        case Phase::DeletingCut:
            return undo(job);
        case Phase::Undoing:
            return QString();
        }
        return QString();
    };
    m_pool.run(int(jobs.size()), next);

    QList<FileResult> results;
    for (Job& job : jobs) {
        // A job handed to another connection and then cancelled before it began again.
        if (kind == Kind::Download && job.r.result != Result::Done)
            restoreDownload(job);
        results << job.r;
    }
    return results;
}

} // namespace krtp
