#pragma once

#include "filestore/clsfiledetails.h"
#include "filestore/operationreport.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace krtp {

class CheckInPrompt;
struct ListEntry;
class FileStore;
class StoreExchange;

// The version-control operations of the shared file store (check out, check in, get latest
// version, open) on one FileStore: its list, transfer control, settings and dialogs. The file list
// window and the command line both run them.
//
// One operation at a time: while one waits for the host, the event loop keeps running, and a second
// operation on the same connection and the same local catalogue copy could corrupt both. A call
// made while another runs does nothing and returns false; busyChanged lets a window disable its
// actions meanwhile.
//
// Each operation returns false when it reported a failure to the member (or did not run). Each one
// that runs leaves an OperationReport of what it did (lastReport, and the reported signal).
class StoreOperations : public QObject {
    Q_OBJECT
public:
    explicit StoreOperations(FileStore& store, QObject* parent = nullptr);
    ~StoreOperations() override;

    FileStore& store() { return m_store; }

    // Answers the check-in's question for each file; without one, the check-in is abandoned.
    void setCheckInPrompt(CheckInPrompt* prompt) { m_prompt = prompt; }
    CheckInPrompt* checkInPrompt() const { return m_prompt; }

    bool busy() const { return m_busy; }
    // What the last operation that ran did.
    const OperationReport& lastReport() const { return m_report; }

    bool CheckOut();
    bool CheckIn();
    bool GetLatestVersion();
    bool OpenFile();
    // The list rebuild, under the same one-at-a-time rule.
    bool UpdateFileList();

    // Message texts of the operations.
    static QString NoAccessMessage();
    static QString NotSharedFileMessage(const QString& name);
    static QString NotOnServerQuestion(const QString& name);
    static QString NotOnServerMessage(const QString& name);
    static QString TakenMeanwhileMessage(const QString& name, const QString& controller);
    static QString HeldByOtherMessage(const QString& name, const QString& controller);
    static QString MissingLocalCheckInQuestion(const QString& name);
    static QString SendErrorMessage(const QString& name);
    static QString OverflowMessage(const QString& name, qint64 version);
    static QString SpecialDocumentQuestion();
    static QString DownloadRefusedMessage(const QString& name, const QString& reply);
    static QString NoLongerCataloguedMessage(const QString& name);

signals:
    void busyChanged(bool busy);
    // After every operation that ran, with what it did.
    void reported(const krtp::OperationReport& report);

private:
    // Marks the operations busy for one call; a call that finds them busy does not run.
    class Guard {
    public:
        explicit Guard(StoreOperations& ops) : m_ops(ops), m_ok(!ops.m_busy) {
            if (m_ok)
                m_ops.setBusy(true);
        }
        ~Guard() {
            if (m_ok)
                m_ops.setBusy(false);
        }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        explicit operator bool() const { return m_ok; }

    private:
        StoreOperations& m_ops;
        bool m_ok;
    };

    // Keys of the selected entries in list order, taken when the operation starts, so that clicks
    // in the list while it waits do not change what it works on.
    QStringList selectedKeys() const;
    // Tells the member when a catalogue name cannot be handled as a shared file; true when refused.
    bool refuseName(const QString& name);
    // The per-file start shared by check-out and get latest: refuse odd names, show the entry, make
    // sure the server copy is there (restoring it from its backup).
    enum class ServerCopy { Refused, Present, Missing, Failed };
    ServerCopy locateServerCopy(StoreExchange& ex, const QString& key, const QString& name);
    void setBusy(bool busy);
    // The opening every operation shares: the level test (full access or administrator when
    // needsWriteLevel) and the selection. False, after telling the member, when refused.
    // With several connections, the bodies of the entries of keys that wanted accepts travel together
    // before the one-by-one path: the keys whose copy arrived. cancelled: the member cancelled them.
    QSet<QString> fetchInParallel(const QStringList& keys,
                                  const std::function<bool(const ListEntry&)>& wanted, bool& cancelled);
    bool beginOperation(bool needsWriteLevel, QStringList& keys);
    // Tells the member why the operation ends; returns false.
    bool failOperation(const QString& description);
    // After a failed download: true when the member cancelled it; the operation then ends as
    // cancelled, and nothing more is fetched.
    bool stoppedByMember(const StoreExchange& ex, bool& cancelled);
    bool openSelected();
    bool recordCheckOuts(const QList<clsFileDetails>& batch, QStringList& recorded);

    // The phases of a check-in.
    struct CheckInBatch {
        QList<clsFileDetails> files;
        QStringList notes;     // shown once the catalogue is saved
        QSet<QString> missing; // names given back without a local copy
        bool ok = true;
        bool abandoned = false;
    };
    void checkInChoices(CheckInBatch& batch);
    bool checkInDropHeldByOthers(CheckInBatch& batch);
    bool checkInUpload(CheckInBatch& batch);
    bool checkInRecord(CheckInBatch& batch);
    void checkInBookkeeping(const CheckInBatch& batch);
    void failCheckIn(const QString& description);

    FileStore& m_store;
    CheckInPrompt* m_prompt = nullptr;
    bool m_busy = false;
    OperationReport m_report;

    // Adding files and the owner and administrator actions (addfiles.cpp, owneractions.cpp). The
    // single-file actions take the key of the list entry they act on.
public:
    // The level test of adding files; false, after telling the member, for a level that may not add.
    bool MayAddFiles();
    // Uploads the named local files and enters them in the catalogue at version 1 with the member as
    // owner. describe gives each file's description (the input box when unset); an empty or missing
    // one abandons the whole add before anything is sent. added receives the names catalogued.
    using DescriptionSource = std::function<std::optional<QString>(const QString& name)>;
    bool AddFiles(const QStringList& names, const DescriptionSource& describe = {},
                  QStringList* added = nullptr);
    // description given: used instead of asking.
    bool ChangeFileDescription(const QString& key, const std::optional<QString>& description = {});
    bool DeleteFile(const QString& key);
    bool RelinquishControl(const QString& key);
    // Switches the read-only attribute of the local copy (also when the never-read-only option is on).
    bool ToggleReadOnly(const QString& key);
    // The administrator's edit: every catalogue field of one entry and the member's local version,
    // as texts the way the edit window's boxes hold them.
    struct FileDetailsEdit {
        QString fileName;
        QString checkedOutBy;
        QString lastComment;
        QString description;
        QString author;
        QString serverVersion;
        QString localVersion;
    };
    bool EditFileDetails(const QString& key, const FileDetailsEdit& edit);

    static QString EntryGoneMessage(const QString& name);
    static QString ChangeDescriptionRefusal(const QString& author, const QString& name);
    static QString RemoveRefusal(const QString& author, const QString& name);
    static QString RelinquishRefusal(const QString& name);
    static QString DescriptionQuestion(const QString& name);
    static QString RemoveQuestion(const QString& name);
    static QString RelinquishQuestion(const QString& name);

private:
    // Runs one operation and reports what it did; a call that finds another running does nothing.
    template <class Run> bool reporting(OperationReport::Kind kind, Run run);
    bool checkOut();
    bool checkIn();
    bool getLatestVersion();
    bool openFile();
    bool updateFileList();
    bool mayAddFiles();
    bool addFiles(const QStringList& names, const DescriptionSource& describe, QStringList* added);
    bool changeFileDescription(const QString& key, const std::optional<QString>& description);
    bool deleteFile(const QString& key);
    bool relinquishControl(const QString& key);
    bool toggleReadOnly(const QString& key);
    bool editFileDetails(const QString& key, const FileDetailsEdit& edit);
};

} // namespace krtp
