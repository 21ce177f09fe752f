#pragma once

#include "filestore/catalogue.h"
#include "filestore/catalogueedit.h"
#include "filestore/filelistmodel.h"
#include "filestore/filestatus.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace krtp {

class Dialogs;
class SettingsStore;
class TransferControl;
class TransferPool;

// The shared file store's operations on one file list: the catalogue (fetch, read with retry and
// repair, rewrite and save), the list rebuild with the file status, icon positions, and the reply
// text of the transfer control. Works on the list model, the transfer control, the settings and the
// dialogs only, so the file list window, the command line and tests share it.
class FileStore : public QObject {
    Q_OBJECT
public:
    FileStore(TransferControl& inet, FileListModel& list, SettingsStore& settings, Dialogs& dialogs,
              QObject* parent = nullptr);
    ~FileStore() override;

    TransferControl& inet() { return m_inet; }
    FileListModel& list() { return m_list; }
    SettingsStore& settings() { return m_settings; }
    Dialogs& dialogs() { return m_dialogs; }

    // The connections for many independent files, sized by the member's setting (or
    // setParallelTransfers); 1 means none: every command goes through inet().
    int parallelTransfers() const;
    void setParallelTransfers(int connections) { m_parallel = connections; }
    TransferPool& pool();
    // Downloads each control-folder file of names into the working directory over the pool, keeping
    // the member's copy as N.backup first (put back when the download fails). Returns, per name, whether
    // it arrived; names whose local copy could not be moved aside are not tried (false).
    QList<bool> DownloadInParallel(const QStringList& names);

    // Sends one command through the control (after the one running, if any) and waits for it.
    // GetChunkData then holds its reply. False when the command failed.
    bool Run(const QString& command);
    // Reply text of the last completed command.
    QString GetChunkData;

    // Fetches the catalogue into the working directory over a fresh connection; the connection is then
    // in the control folder. Only a catalogue the host reports missing leaves no local copy without
    // failing; a passing refusal (4xx) is a failed fetch, told to the member.
    bool GetControlFile();
    bool FetchCatalogue() { return GetControlFile(); }
    // The same over the session as it stands, when it is alive; a full fetch otherwise.
    bool FetchCatalogueInSession();
    // Fetches the catalogue again for a reader that found it short, which may be another member's
    // save seen halfway: holds the lock during the fetch, so no save of our clients is under way,
    // waiting for it at most maxWaitMs (then fetches without).
    static constexpr int kSaveWaitMs = 8000;
    bool GetControlFileWhenSaved(int maxWaitMs = kSaveWaitMs);
    // Applies one edit to the local working copy (its previous state is kept as the local backup).
    bool EditWorkingCopy(const CatalogueEdit& edit);
    // Uploads the local working copy with the three-step save and reads it back; false (after
    // telling the member) when it is short, the upload failed, or another client's save replaced it.
    bool SaveCatalogue();

    // The catalogue update of one entry: optionally fetch first, edit the working copy, optionally
    // save. A missing optional value leaves its field unchanged.
    bool UpdateFileDetails(const CatalogueEdit& edit);
    bool UpdateFileDetails(const QString& pstrFileName, bool pblnNewFile, std::optional<qint64> pvarVersion,
                           std::optional<QString> pvarController, std::optional<QString> pvarAuthor,
                           std::optional<QString> pvarDesc, std::optional<QString> pvarComment,
                           bool pblnDeleteFile, bool pblnGetControlFile, bool pblnSaveControlFile);

    // One change of the host's catalogue, safe against other members working at the same time: takes
    // the catalogue lock, fetches the catalogue once, asks plan for the edits on its fresh entries,
    // rewrites it once, saves once and reads it back. When the read-back shows that a client without
    // the lock saved in between, plan runs again on what is there now and the save is repeated (a
    // few times). The plan may run more than once and must start its notes afresh each time; the
    // caller shows them after this returns, so no box waits while the lock is held. False (after
    // telling the member) when nothing, or not all of the plan, reached the host.
    using CataloguePlan = std::function<QList<CatalogueEdit>(const QList<CatalogueRecord>& current)>;
    bool ChangeCatalogue(const CataloguePlan& plan);

    // Reads the local working copy of the catalogue; false with the reason (the texts of the repair
    // question) when it is missing, cut, or holds fewer or more entries than its count line says.
    bool ReadWorkingCopy(QList<CatalogueRecord>* records, QString& reason) const;

    // The last failure the store told the member about (a message, or the transfer layer's error of a
    // failed fetch), for an operation's report; cleared when an operation starts.
    QString lastFailure() const { return m_lastFailure; }
    void clearLastFailure() { m_lastFailure.clear(); }

    // Rebuilds the list from the host's catalogue; true when the catalogue was read completely.
    bool UpdateFileList();

    enum class ReadOutcome { None, Complete, FetchFailed, Outdated, Cancelled, FillError, RepairFailed };
    ReadOutcome lastOutcome() const { return m_outcome; }

    int LastCountOfOutdatedFiles = 0;
    int LastCountOfCheckedOutFiles = 0;

    // Time of the last rebuild and of its catalogue downloads, in nanoseconds (for measurements).
    qint64 lastRebuildNs = 0;
    qint64 lastFetchNs = 0;

    // The icon of a file for a status (see filestatus.h).
    QString GetIcon(bool pblnUseDefault, const QString& pstrDefault, const QString& pstrFileName) const {
        return krtp::GetIcon(pblnUseDefault, pstrDefault, pstrFileName);
    }
    ColourFlags readColourFlags() const;

    // Icon positions, stored and restored only in the small-icon view.
    void SaveIcons();
    void LoadIcons();

    // Closing: the checked-out question, then the positions, the view style and the final QUIT.
    enum class CloseAnswer { Close, ShowCheckedOut, Stay };
    CloseAnswer QueryClose();
    void Shutdown(int quitTimeoutMs = 5000);

    // What the window does when the rebuild says so; unset hooks do nothing.
    std::function<void()> closeWindow; // the program is outdated
    std::function<void()> endProgram;  // the member refused the catalogue repair

    // Message texts.
    static QString OutdatedMessage(const QString& requiredVersion);
    static QString RepairQuestion(const QString& reason, const QString& localFolder);
    static QString CountReason(int expected, int found);
    static QString IncompleteCatalogueMessage(const QString& reason);
    static QString CheckedOutQuestion(int count);
    static QString CommunicationsError(int number, const QString& description);
    static QString UnencodableMessage(const QString& text);
    static QString NotStuckMessage(const QStringList& names);
    static QString BackupIncompleteMessage(const QString& reason);

signals:
    // Forwarded from the transfer control, for titles and the results box.
    void StateChanged(int state);
    void replyPiece(const QString& piece);
    void replyComplete();
    // After every command sent through Run, with its text (lets observers follow the exchange).
    void commandFinished(const QString& command, bool succeeded);
    // Around the icon positions, so a view can hand its positions over and take them back.
    void aboutToSaveIcons();
    void iconsLoaded();

private:
    enum class ReadResult { Complete, Failed, Outdated, FillError };
    ReadResult readCatalogue(QString& reason, const ColourFlags& flags);
    bool addRecord(const CatalogueRecord& record, const ColourFlags& flags);
    bool fail(const QString& description);
    enum class SaveResult { Saved, Failed, Replaced };
    SaveResult saveAndReadBack(const QByteArray& previous, const QByteArray& sent, QByteArray& readBack);
    bool writeWorkingCopy(const QByteArray& bytes);
    bool repairFromBackup();
    void onStateChanged(int state);

    TransferControl& m_inet;
    FileListModel& m_list;
    SettingsStore& m_settings;
    Dialogs& m_dialogs;
    ReadOutcome m_outcome = ReadOutcome::None;
    int m_parallel = 0; // 0: the setting
    std::unique_ptr<TransferPool> m_pool;
    QString m_lastFailure;
};

} // namespace krtp
