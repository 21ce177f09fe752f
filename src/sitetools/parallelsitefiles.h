#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace krtp {

class TransferPool;

// Many site files over a pool of connections: each file's download, upload or delete runs the same
// commands, with the same backups on both sides and the same restores, as the transfer routines run
// for one file on the window's own connection. Nothing is shown here: each file's result comes back,
// and the caller goes through the selection in order, telling the member and taking the one-by-one
// path for a file that did not make it (which then says why, in the routines' own words).
class ParallelSiteFiles {
public:
    enum class Result {
        NotStarted, // not tried (a local check failed, the run stopped first, or a path left out)
        Done,
        Failed,    // tried and refused; what it changed was put back
        Cancelled, // stopped by cancel while under way; what it changed was put back
        Exists,    // add only: the host already has the name, nothing was sent
    };
    struct FileResult {
        Result result = Result::NotStarted;
        QString error; // the host's reply or the failure's description
    };

    explicit ParallelSiteFiles(TransferPool& pool) : m_pool(pool) {}

    // Called as a file's transfer starts, on the UI thread (the window marks the entry).
    std::function<void(int index)> onStart;
    // After a failure no further file starts; the ones under way finish.
    bool stopAtFailure = true;

    // Host paths in selection order; an empty path is left out (NotStarted).
    QList<FileResult> download(const QStringList& hostPaths);
    QList<FileResult> upload(const QStringList& hostPaths);
    QList<FileResult> remove(const QStringList& hostPaths);
    // New names: each is listed first and one the host has is left alone (Exists); then prepare(i)
    // puts its mirror copy in place (false stops the run there), and it is sent. A failed upload of a
    // name the host did not have leaves nothing behind.
    QList<FileResult> add(const QStringList& hostPaths, const std::function<bool(int)>& prepare);

    // Whether the last run was cancelled.
    bool cancelled() const;

private:
    enum class Kind { Download, Upload, Remove, Add };
    QList<FileResult> run(Kind kind, const QStringList& hostPaths, const std::function<bool(int)>& prepare);

    TransferPool& m_pool;
};

} // namespace krtp
