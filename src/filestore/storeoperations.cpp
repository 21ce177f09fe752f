#include "filestore/storeoperations.h"

#include "config/runstate.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "platform/dialogs.h"
#include "transfer/transferpool.h"

namespace krtp {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

StoreOperations::StoreOperations(FileStore& store, QObject* parent) : QObject(parent), m_store(store) {}

StoreOperations::~StoreOperations() = default;

void StoreOperations::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged(busy);
}

QStringList StoreOperations::selectedKeys() const {
    QStringList keys;
    for (const ListEntry& e : m_store.list().entries())
        if (e.selected)
            keys << e.key;
    return keys;
}

template <class Run> bool StoreOperations::reporting(OperationReport::Kind kind, Run run) {
    if (m_busy)
        return false;
    m_report = OperationReport();
    m_report.kind = kind;
    m_store.clearLastFailure();
    const bool ok = run();
    m_report.ok = ok;
    // A failure the store or the transfer layer told the member about is the reason it stopped.
    if (!ok && m_report.failure.isEmpty() && m_report.refusal.isEmpty() && !m_report.cancelled)
        m_report.failure = m_store.lastFailure();
    emit reported(m_report);
    return ok;
}

bool StoreOperations::CheckOut() {
    return reporting(OperationReport::Kind::CheckOut, [this] { return checkOut(); });
}

bool StoreOperations::CheckIn() {
    return reporting(OperationReport::Kind::CheckIn, [this] { return checkIn(); });
}

bool StoreOperations::GetLatestVersion() {
    return reporting(OperationReport::Kind::GetLatest, [this] { return getLatestVersion(); });
}

bool StoreOperations::OpenFile() {
    return reporting(OperationReport::Kind::Open, [this] { return openFile(); });
}

bool StoreOperations::UpdateFileList() {
    return reporting(OperationReport::Kind::Refresh, [this] { return updateFileList(); });
}

bool StoreOperations::MayAddFiles() {
    // Reported only when refused: the add window follows.
    if (mayAddFiles())
        return true;
    if (!m_busy) {
        OperationReport refused;
        refused.kind = OperationReport::Kind::Add;
        refused.ok = false;
        refused.refusal = NoAccessMessage();
        m_report = refused;
        emit reported(m_report);
    }
    return false;
}

bool StoreOperations::AddFiles(const QStringList& names, const DescriptionSource& describe,
                               QStringList* added) {
    return reporting(OperationReport::Kind::Add, [&] { return addFiles(names, describe, added); });
}

bool StoreOperations::ChangeFileDescription(const QString& key, const std::optional<QString>& description) {
    return reporting(OperationReport::Kind::Describe,
                     [&] { return changeFileDescription(key, description); });
}

bool StoreOperations::DeleteFile(const QString& key) {
    return reporting(OperationReport::Kind::Remove, [&] { return deleteFile(key); });
}

bool StoreOperations::RelinquishControl(const QString& key) {
    return reporting(OperationReport::Kind::Relinquish, [&] { return relinquishControl(key); });
}

bool StoreOperations::ToggleReadOnly(const QString& key) {
    return reporting(OperationReport::Kind::ReadOnly, [&] { return toggleReadOnly(key); });
}

bool StoreOperations::EditFileDetails(const QString& key, const FileDetailsEdit& edit) {
    return reporting(OperationReport::Kind::EditDetails, [&] { return editFileDetails(key, edit); });
}

bool StoreOperations::updateFileList() {
    Guard guard(*this);
    if (!guard)
        return false;
    const bool ok = m_store.UpdateFileList();
    m_report.files = m_store.list().count();
    m_report.outdated = m_store.LastCountOfOutdatedFiles;
    m_report.checkedOut = m_store.LastCountOfCheckedOutFiles;
    return ok;
}

QSet<QString> StoreOperations::fetchInParallel(const QStringList& keys,
                                               const std::function<bool(const ListEntry&)>& wanted,
                                               bool& cancelled) {
    QSet<QString> arrived;
    cancelled = false;
    if (m_store.parallelTransfers() <= 1 || keys.size() <= 1)
        return arrived;
    const FileListModel& list = m_store.list();
    QStringList names, tried;
    for (const QString& key : keys) {
        const ListEntry* e = list.find(key);
        if (!e || !IsSharedFileName(e->text) || !wanted(*e))
            continue;
        names << e->text;
        tried << key;
    }
    const QList<bool> got = m_store.DownloadInParallel(names);
    for (int i = 0; i < got.size(); ++i)
        if (got[i])
            arrived.insert(tried[i]);
    // Cancel stops the operation: the files that arrived are recorded, no other one is fetched.
    cancelled = m_store.pool().cancelled();
    if (cancelled)
        m_report.cancelled = true;
    return arrived;
}

bool StoreOperations::beginOperation(bool needsWriteLevel, QStringList& keys) {
    const quint8 level = runState().UserLevel;
    if (needsWriteLevel && level != LevelAdministrator && level != LevelFullAccess) {
        m_report.refusal = NoAccessMessage();
        m_store.dialogs().message(NoAccessMessage(), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    keys = selectedKeys();
    return true;
}

bool StoreOperations::failOperation(const QString& description) {
    m_report.failure = description;
    m_store.dialogs().message(description, Dialogs::Icon::Critical, Dialogs::Ok);
    return false;
}

bool StoreOperations::stoppedByMember(const StoreExchange& ex, bool& cancelled) {
    if (!ex.cancelled())
        return false;
    m_report.cancelled = true;
    cancelled = true;
    return true;
}

bool StoreOperations::refuseName(const QString& name) {
    if (IsSharedFileName(name))
        return false;
    m_report.skip(name, QStringLiteral("not a shared file name"));
    m_store.dialogs().message(NotSharedFileMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
    return true;
}

StoreOperations::ServerCopy StoreOperations::locateServerCopy(StoreExchange& ex, const QString& key,
                                                              const QString& name) {
    if (refuseName(name))
        return ServerCopy::Refused;
    m_store.list().ensureVisible(key);
    bool exists = false;
    if (!ex.ensureOnServer(name, exists))
        return ServerCopy::Failed;
    return exists ? ServerCopy::Present : ServerCopy::Missing;
}

QString StoreOperations::NotSharedFileMessage(const QString& name) {
    return QStringLiteral("\"") + name +
           QStringLiteral(
               "\" cannot be handled as a shared file, so it was left alone: a shared file lies directly "
               "in the control folder and in your local folder, and is not the catalogue itself.");
}

QString StoreOperations::NoAccessMessage() {
    return QStringLiteral("Sorry, you do not have access to that feature.");
}

QString StoreOperations::NotOnServerQuestion(const QString& name) {
    return name + QStringLiteral(" does not exist on the server.") + kCrLf + kCrLf +
           QStringLiteral("Do you still want to check this file out?");
}

QString StoreOperations::NotOnServerMessage(const QString& name) {
    return name + QStringLiteral(" does not exist on the server.");
}

QString StoreOperations::TakenMeanwhileMessage(const QString& name, const QString& controller) {
    return name + QStringLiteral(" has just been checked out by ") + controller +
           QStringLiteral(
               ", so it is not checked out to you.  Your local copy is the latest server copy, but you "
               "cannot check in changes to it.");
}

QString StoreOperations::HeldByOtherMessage(const QString& name, const QString& controller) {
    return name + QStringLiteral(" is checked out by ") + controller +
           QStringLiteral(" now, so your check-in of it was not recorded and it stays with ") + controller +
           QStringLiteral(".  If your copy was sent, the server holds it; please agree with ") + controller +
           QStringLiteral(" which copy is the latest.");
}

QString StoreOperations::MissingLocalCheckInQuestion(const QString& name) {
    return QStringLiteral("The file ") + name +
           QStringLiteral(
               " does not exist on your local computer.  Press OK to check this file in without updating "
               "the server (you will lose any changes you may have made).");
}

QString StoreOperations::SendErrorMessage(const QString& name) {
    return QStringLiteral("Error sending ") + name + QStringLiteral(", please try again.");
}

QString StoreOperations::OverflowMessage(const QString& name, qint64 version) {
    return QStringLiteral("Overflow: ") + name + QStringLiteral(" is at version ") +
           QString::number(version) +
           QStringLiteral(", the highest version the catalogue can hold.  Nothing was checked in.");
}

QString StoreOperations::DownloadRefusedMessage(const QString& name, const QString& reply) {
    return QStringLiteral("The server did not send ") + name +
           QStringLiteral(", so your local copy was left as it was and nothing was recorded for it.") +
           (reply.isEmpty() ? QString() : kCrLf + kCrLf + reply);
}

QString StoreOperations::NoLongerCataloguedMessage(const QString& name) {
    return name + QStringLiteral(" is no longer in the catalogue, so it was not checked out.");
}

QString StoreOperations::SpecialDocumentQuestion() {
    return QStringLiteral("KRplot.doc has been updated, press OK to view the changes.");
}

} // namespace krtp
