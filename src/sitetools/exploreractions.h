#pragma once

#include "sitetools/externaleditors.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace krtp {

class SiteExplorer;
class TransferPool;

// The site explorer's file actions on the selected folder and the selected entries of its file
// list: download, send, delete on the host, delete the local copy, add files from disk, new file,
// replace, download and edit, edit with an external editor, the file manager and select all. The
// window's buttons and menus and krtp-cli site run them; messages go through the dialogs.
//
// One action at a time, as the window is disabled while one runs; each returns false when it did
// not run to its end (nothing selected, a cancelled question, a failure that was shown).
class ExplorerActions : public QObject {
    Q_OBJECT
public:
    explicit ExplorerActions(SiteExplorer& explorer, QObject* parent = nullptr);
    ~ExplorerActions() override;

    SiteExplorer& explorer() { return m_explorer; }
    bool busy() const { return m_busy; }

    bool Download();
    bool Send();
    bool DeleteOnHost();
    bool DeleteLocal();
    // Asks for files with the add dialog, then adds them.
    bool AddFiles();
    // Adds files from disk to the selected folder: copies them into the mirror, sends them and
    // registers them. A refused or existing name is reported and skipped.
    bool AddFiles(const QStringList& paths);
    // Asks for a name, then registers it.
    bool NewFile();
    bool NewFile(const QString& name);
    // Asks for a file with the replace dialog, then replaces the selected entry with it.
    bool Replace();
    bool ReplaceWith(const QString& key, const QString& path);
    bool DownloadAndEdit();
    void SelectAll();
    bool OpenFileManager();

    // The "Edit With..." group: entry 0 is the fixed "Edit With...", 1..n the editors of the file.
    void LoadExternalEditors();
    const QList<ExternalEditor>& editors() const { return m_editors; }
    // Starts editor entry index on the selected file, after making sure a local copy exists. Entry 0
    // and a missing program start nothing.
    bool EditWith(int index);

    // Full access only: a new subfolder of the selected folder, and removing the selected folder
    // when it is empty.
    bool CreateSubfolder();
    bool CreateSubfolder(const QString& name);
    bool DeleteCurrentFolder();

    // Stops the running action: the transfers under way end at once (their previous copies stay) and
    // no further file is started.
    void Cancel();

    // Connections for the file bodies of download, send, delete on the host and add when several
    // files are selected: the member's setting unless set here (0: the setting); 1 sends every command
    // on the explorer's own connection.
    int parallelTransfers() const;
    void setParallelTransfers(int connections) { m_parallel = connections; }
    TransferPool& pool();

    // The entry the single-file actions work on: the focused entry when it is selected, else the
    // first selected one; empty when none is.
    QString currentKey() const;

    // The last action's outcome in one line, as the action tells it: what it did, what it skipped
    // and why, or why it was refused or stopped ("Downloaded 3 files", "Download failed: ...").
    const QString& lastOutcome() const { return m_outcome; }

    // Message texts.
    static QString FileFilter();
    static QString NoFilesMessage(const QString& purpose);
    static QString ConfirmMessage(const QString& verb, int count, const QString& tail);
    static QString SpacesMessage(const QString& name);
    static QString UnsafeNameMessage(const QString& name);
    static QString ExistsMessage(const QString& hostPath);
    static QString CancelledDialogMessage();
    static QString DownloadFirstQuestion(const QString& hostPath, const QString& caption);
    static QString NoLocalCopyMessage(const QString& localPath);
    static QString NewFilePrompt();
    static QString NotAllowedMessage(const QString& what, const QString& folderKey);

signals:
    void busyChanged(bool busy);
    // The host path of the file being transferred; empty when the action ends.
    void working(const QString& hostPath);
    // An action ended; outcome is lastOutcome().
    void reported(const QString& outcome);

private:
    enum class Kind { Download, Send, DeleteOnHost, DeleteLocal };
    bool runSelected(Kind kind);
    bool existsOnHost(const QString& folderKey, const QString& name);
    // The access list's failures were shown; *why says what went wrong.
    bool registerFile(const QString& name, const QString& hostPath, QString* why);
    bool unregisterFile(const QString& name, const QString& hostPath, QString* why);
    // why: the reason shown (unless show is false) when the copy fails.
    bool copyIntoMirror(const QString& source, const QString& hostPath, QString* why, bool show = true);
    void removePartialUpload(const QString& hostPath);
    void setBusy(bool busy);

    class Guard;
    class Outcome;
    void report(const QString& outcome);
    bool checkName(const QString& name, Outcome& outcome);
    SiteExplorer& m_explorer;
    std::unique_ptr<TransferPool> m_pool;
    int m_parallel = 0;
    QList<ExternalEditor> m_editors;
    bool m_busy = false;
    bool m_cancel = false;
    QString m_outcome;
};

} // namespace krtp
