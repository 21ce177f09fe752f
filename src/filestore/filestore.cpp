#include "filestore/filestore.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/cataloguelock.h"
#include "filestore/storeexchange.h"
#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferpool.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <exception>
#include <vector>

namespace krtp {

namespace {

const QString kCatalogue = QLatin1String(kCatalogueName);
const QString kCatalogueBackup = QLatin1String(kCatalogueName) + QLatin1String(kBackupSuffix);
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

FileStore::FileStore(TransferControl& inet, FileListModel& list, SettingsStore& settings, Dialogs& dialogs,
                     QObject* parent)
    : QObject(parent), m_inet(inet), m_list(list), m_settings(settings), m_dialogs(dialogs) {
    connect(&m_inet, &TransferControl::StateChanged, this, &FileStore::onStateChanged);
}

FileStore::~FileStore() = default;

int FileStore::parallelTransfers() const {
    const int n =
        m_parallel > 0 ? m_parallel : int(LeadingNumber(m_settings.get(settings::TransfersParallel)));
    return std::clamp(n, 1, TransferPool::kMaxConnections);
}

TransferPool& FileStore::pool() {
    if (!m_pool) {
        m_pool = std::make_unique<TransferPool>(parallelTransfers());
        m_pool->configure = [this](TransferControl& c) {
            c.configureForSite();
            c.RemoteHost = m_inet.RemoteHost;
            c.Document = QStringLiteral("/");
        };
    }
    m_pool->setConnections(parallelTransfers());
    return *m_pool;
}

QList<bool> FileStore::DownloadInParallel(const QStringList& names) {
    QList<bool> arrived(names.size(), false);
    QStringList commands;
    QList<int> tried;
    // Each member's copy stays where it is until its download arrived whole.
    std::vector<std::unique_ptr<LocalBackup>> kept;
    for (int i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        auto backup = std::make_unique<LocalBackup>(name);
        if (!backup->keep())
            continue;
        commands << QStringLiteral("get ") + QuoteCommandArgument(QStringLiteral("/krg/") + name) +
                        QLatin1Char(' ') + QuoteCommandArgument(name);
        tried << i;
        kept.push_back(std::move(backup));
    }
    if (commands.isEmpty())
        return arrived;
    const QList<TransferPool::Outcome> outcomes = pool().run(commands);
    for (int j = 0; j < tried.size(); ++j)
        arrived[tried[j]] =
            outcomes[j].ok && QFileInfo::exists(names.at(tried[j])) && kept[size_t(j)]->commit();
    return arrived;
}

void FileStore::onStateChanged(int state) {
    emit StateChanged(state);
    if (state != StateResponseCompleted)
        return;
    GetChunkData.clear();
    try {
        for (;;) {
            const QString piece = m_inet.GetChunk(1024);
            if (piece.isEmpty())
                break;
            GetChunkData += piece;
            emit replyPiece(piece);
        }
        emit replyComplete();
    } catch (const std::exception& e) {
        m_dialogs.message(CommunicationsError(0, QString::fromLocal8Bit(e.what())), Dialogs::Icon::None,
                          Dialogs::Ok);
    }
}

bool FileStore::Run(const QString& command) {
    // A reply left from an earlier command must not answer this one.
    GetChunkData.clear();
    if (!m_inet.Execute(command)) {
        // Another command (the console's, say) is running: send ours after it.
        m_inet.waitUntilIdle();
        if (!m_inet.Execute(command)) {
            emit commandFinished(command, false);
            return false;
        }
    }
    m_inet.waitUntilIdle();
    const bool succeeded = m_inet.lastSucceeded();
    emit commandFinished(command, succeeded);
    return succeeded;
}

bool FileStore::GetControlFile() {
    if (!GetFile(m_inet, kCatalogue)) {
        m_lastFailure = m_inet.lastError();
        return false;
    }
    return true;
}

bool FileStore::FetchCatalogueInSession() {
    // The session is alive (it just took the lock or rebuilt the list): the catalogue comes over it,
    // without the new connection and login of a full fetch. Anything odd falls back to the full fetch.
    if (m_inet.currentFolder() != QLatin1String("/krg") && !Run(QLatin1String(kControlFolderCommand)))
        return GetControlFile();
    if (QFile::exists(kCatalogue) && !QFile::remove(kCatalogue))
        return fail(QStringLiteral("Cannot delete ") + kCatalogue);
    if (Run(QStringLiteral("get ") + kCatalogue + QLatin1Char(' ') + kCatalogue))
        return true;
    // A refusal is no proof that the catalogue is missing: the full fetch tells absence (listed as
    // absent) from a refused download.
    return GetControlFile();
}

bool FileStore::GetControlFileWhenSaved(int maxWaitMs) {
    // Holding the lock only for the fetch: with it released first, the next member's save could
    // begin before the fetch and be seen halfway again.
    CatalogueLock lock(*this);
    lock.acquireQuietly(maxWaitMs);
    const bool fetched = GetControlFile();
    lock.release();
    return fetched;
}

bool FileStore::fail(const QString& description) {
    m_lastFailure = description;
    m_dialogs.message(description, Dialogs::Icon::Critical, Dialogs::Ok);
    return false;
}

bool FileStore::writeWorkingCopy(const QByteArray& bytes) {
    if (QFile::exists(kCatalogueBackup)) {
        SetFileReadOnly(kCatalogueBackup, false, true);
        if (!QFile::remove(kCatalogueBackup))
            return fail(QStringLiteral("Permission denied: cannot delete ") + kCatalogueBackup);
    }
    if (QFile::exists(kCatalogue) && !QFile::rename(kCatalogue, kCatalogueBackup))
        return fail(QStringLiteral("Permission denied: cannot rename ") + kCatalogue);
    QString error;
    if (!WriteWholeFile(kCatalogue, bytes, &error)) {
        QFile::remove(kCatalogue);
        QFile::rename(kCatalogueBackup, kCatalogue);
        return fail(error);
    }
    return true;
}

bool FileStore::EditWorkingCopy(const CatalogueEdit& edit) {
    if (edit.name.isEmpty())
        return true;
    // The new content is made in memory first: a refused change leaves the working copy whole, so a
    // batch that goes on to save never uploads a half-written catalogue.
    QByteArray data;
    QString error;
    if (!QFile::exists(kCatalogue))
        return fail(QStringLiteral("File not found: ") + kCatalogue);
    if (!ReadWholeFile(kCatalogue, data, &error))
        return fail(error);
    CatalogueDocument doc = ParseCatalogue(data);
    if (!doc.header.hasCountLine)
        return fail(QStringLiteral("The local copy of ") + kCatalogue +
                    QStringLiteral(" is empty or incomplete."));
    if (!ApplyCatalogueEdit(doc, edit, error))
        return fail(error);
    QString unencodable;
    const QByteArray bytes = WriteCatalogue(doc, &unencodable);
    if (!unencodable.isEmpty())
        return fail(UnencodableMessage(unencodable));
    return writeWorkingCopy(bytes);
}

FileStore::SaveResult FileStore::saveAndReadBack(const QByteArray& previous, const QByteArray& sent,
                                                 QByteArray& readBack) {
    Run(QStringLiteral("delete ") + kCatalogueBackup);
    const bool movedAside = Run(QStringLiteral("rename ") + kCatalogue + QLatin1Char(' ') + kCatalogueBackup);
    // The host keeps the catalogue before this save as its backup, whatever happens to the save.
    const auto sendPrevious = [&](const QString& target) {
        if (previous.isEmpty())
            return;
        const QString scratch = kCatalogue + QStringLiteral(".previous");
        if (WriteWholeFile(scratch, previous))
            Run(QStringLiteral("send ") + scratch + QLatin1Char(' ') + target);
        QFile::remove(scratch);
    };
    const auto putPreviousBack = [&] {
        // A host that will not rename onto an existing name needs the failed upload out of the way first.
        if (movedAside &&
            !Run(QStringLiteral("rename ") + kCatalogueBackup + QLatin1Char(' ') + kCatalogue) &&
            m_inet.lastReplyCode() != 0) {
            Run(QStringLiteral("delete ") + kCatalogue);
            Run(QStringLiteral("rename ") + kCatalogueBackup + QLatin1Char(' ') + kCatalogue);
        }
        if (!movedAside)
            sendPrevious(kCatalogue);
        sendPrevious(kCatalogueBackup);
    };
    if (!Run(QStringLiteral("send ") + kCatalogue + QLatin1Char(' ') + kCatalogue)) {
        // Never leave the host without a catalogue: put the one moved aside back.
        const QString why = m_inet.lastError();
        putPreviousBack();
        fail(QStringLiteral("Error sending ") + kCatalogue + QStringLiteral(", please try again.") +
             (why.isEmpty() ? QString() : kCrLf + kCrLf + why));
        return SaveResult::Failed;
    }
    if (!movedAside)
        sendPrevious(kCatalogueBackup);
    // Read back: a client that does not take the lock may have saved over ours in between.
    const QString check = kCatalogue + QStringLiteral(".check");
    QFile::remove(check);
    const bool got =
        Run(QStringLiteral("get ") + kCatalogue + QLatin1Char(' ') + check) && ReadWholeFile(check, readBack);
    QFile::remove(check);
    if (!got) {
        const QString why = m_inet.lastError();
        fail(QStringLiteral(
                 "The shared file list was sent, but it could not be read back to check it, so your "
                 "change may not have been saved.  Please refresh the file list to see.") +
             (why.isEmpty() ? QString() : kCrLf + kCrLf + why));
        return SaveResult::Failed;
    }
    if (readBack.size() < sent.size() && sent.startsWith(readBack)) {
        // The host kept only the first part: an upload cut off, not another member's save.
        putPreviousBack();
        fail(QStringLiteral("Error sending ") + kCatalogue + QStringLiteral(", please try again.") + kCrLf +
             kCrLf + QStringLiteral("The host kept ") + QString::number(readBack.size()) +
             QStringLiteral(" of ") + QString::number(sent.size()) + QStringLiteral(" bytes."));
        return SaveResult::Failed;
    }
    return readBack == sent ? SaveResult::Saved : SaveResult::Replaced;
}

bool FileStore::SaveCatalogue() {
    // The save replaces the host's backup: a short copy (fetched while another member was saving,
    // or left so by a save cut off) would then be all that is left of the catalogue.
    QString reason;
    if (!ReadWorkingCopy(nullptr, reason))
        return fail(IncompleteCatalogueMessage(reason));
    QByteArray sent, readBack, previous;
    QString error;
    if (!ReadWholeFile(kCatalogue, sent, &error))
        return fail(error);
    // The working copy before the edit: what the host had when it was fetched.
    if (QFile::exists(kCatalogueBackup))
        ReadWholeFile(kCatalogueBackup, previous);
    switch (saveAndReadBack(previous, sent, readBack)) {
    case SaveResult::Saved:
        return true;
    case SaveResult::Failed:
        return false;
    case SaveResult::Replaced:
        break;
    }
    return fail(NotStuckMessage({}));
}

bool FileStore::UpdateFileDetails(const CatalogueEdit& edit) {
    BusyPointer busy(m_dialogs);
    if (edit.fetchFirst && !GetControlFile())
        return false;
    if (!EditWorkingCopy(edit))
        return false;
    return !edit.saveAfter || SaveCatalogue();
}

bool FileStore::UpdateFileDetails(const QString& pstrFileName, bool pblnNewFile,
                                  std::optional<qint64> pvarVersion, std::optional<QString> pvarController,
                                  std::optional<QString> pvarAuthor, std::optional<QString> pvarDesc,
                                  std::optional<QString> pvarComment, bool pblnDeleteFile,
                                  bool pblnGetControlFile, bool pblnSaveControlFile) {
    CatalogueEdit e;
    e.name = pstrFileName;
    e.newFile = pblnNewFile;
    e.deleteFile = pblnDeleteFile;
    e.version = pvarVersion;
    e.controller = std::move(pvarController);
    e.author = std::move(pvarAuthor);
    e.description = std::move(pvarDesc);
    e.comment = std::move(pvarComment);
    e.fetchFirst = pblnGetControlFile;
    e.saveAfter = pblnSaveControlFile;
    return UpdateFileDetails(e);
}

bool FileStore::ChangeCatalogue(const CataloguePlan& plan) {
    BusyPointer busy(m_dialogs);
    CatalogueLock lock(*this);
    if (!lock.acquire())
        return false;
    // Every box below is shown with the lock given back, so nobody waits on an open message.
    const auto failUnlocked = [&](const QString& description) {
        lock.release();
        return fail(description);
    };
    if (!FetchCatalogueInSession())
        return false;
    QByteArray current;
    QString error;
    if (!ReadWholeFile(kCatalogue, current, &error))
        return failUnlocked(error);
    constexpr int kTries = 3;
    for (int attempt = 1;; ++attempt) {
        CatalogueDocument doc = ParseCatalogue(current);
        if (!doc.complete)
            return failUnlocked(IncompleteCatalogueMessage(doc.reason));
        const QList<CatalogueEdit> edits = plan(doc.records);
        if (edits.isEmpty())
            return true;
        QStringList names;
        for (const CatalogueEdit& e : edits) {
            if (!ApplyCatalogueEdit(doc, e, error))
                return failUnlocked(error);
            names << e.name;
        }
        QString unencodable;
        const QByteArray bytes = WriteCatalogue(doc, &unencodable);
        if (!unencodable.isEmpty())
            return failUnlocked(UnencodableMessage(unencodable));
        if (!writeWorkingCopy(bytes))
            return false;
        QByteArray readBack;
        lock.keepAlive();
        const SaveResult saved = saveAndReadBack(current, bytes, readBack);
        if (saved == SaveResult::Saved)
            return true;
        if (saved == SaveResult::Failed)
            return false;
        if (attempt >= kTries)
            return failUnlocked(NotStuckMessage(names));
        // Somebody's save replaced ours: what is there now is the catalogue to change.
        current = readBack;
        if (!writeWorkingCopy(current))
            return false;
    }
}

bool FileStore::ReadWorkingCopy(QList<CatalogueRecord>* records, QString& reason) const {
    if (records)
        records->clear();
    QByteArray data;
    if (!QFile::exists(kCatalogue) || !ReadWholeFile(kCatalogue, data)) {
        reason = QStringLiteral("file not found");
        return false;
    }
    CatalogueDocument doc = ParseCatalogue(data);
    if (!doc.complete) {
        reason = doc.reason;
        return false;
    }
    if (records)
        *records = std::move(doc.records);
    return true;
}

bool FileStore::repairFromBackup() {
    CatalogueLock lock(*this);
    if (!lock.acquire())
        return false;
    // A member who saved meanwhile may have mended it already.
    if (!GetControlFile())
        return false;
    if (QString reason; ReadWorkingCopy(nullptr, reason))
        return true;
    // Only a backup that really arrived and reads whole goes up as the catalogue; anything else would
    // replace what is left of the catalogue with something worse.
    if (QFile::exists(kCatalogue))
        QFile::remove(kCatalogue);
    if (!Run(QStringLiteral("get ") + kCatalogueBackup + QLatin1Char(' ') + kCatalogue) ||
        !QFile::exists(kCatalogue)) {
        lock.release();
        return fail(BackupIncompleteMessage(QStringLiteral("file not found")));
    }
    if (QString reason; !ReadWorkingCopy(nullptr, reason)) {
        lock.release();
        return fail(BackupIncompleteMessage(reason));
    }
    return Run(QStringLiteral("send ") + kCatalogue + QLatin1Char(' ') + kCatalogue);
}

ColourFlags FileStore::readColourFlags() const {
    ColourFlags f;
    f.outOfDateAsRed = m_settings.isYes(settings::ShowOutOfDateAsRed);
    f.upToDateAsBlue = m_settings.isYes(settings::ShowUpToDateAsBlue);
    f.checkedOutAsGreen = m_settings.isYes(settings::ShowCheckedOutAsGreen);
    f.unavailableAsYellow = m_settings.isYes(settings::ShowUnavailableAsYellow);
    return f;
}

bool FileStore::addRecord(const CatalogueRecord& r, const ColourFlags& flags) {
    const qint16 local = LeadingVersion(m_settings.fileVersion(r.Name));
    const FileStatus status =
        DecideFileStatus(r.Controller, r.CurrentVersion, local, runState().CurrentUserName, flags);
    QHash<QString, QString> cols;
    cols.reserve(7);
    cols.insert(QLatin1String(columns::kOwner), r.Controller);
    cols.insert(QLatin1String(columns::kVer), QString::number(r.CurrentVersion));
    cols.insert(QLatin1String(columns::kMyVer), QString::number(local));
    cols.insert(QLatin1String(columns::kAuthor), r.Author);
    cols.insert(QLatin1String(columns::kDesc), r.Description);
    cols.insert(QLatin1String(columns::kComment), r.Comment);
    cols.insert(QLatin1String(columns::kStatus), status.key);
    if (!m_list.addFile(r.Name, GetIcon(status.useStatusIcon, status.key, r.Name), cols)) {
        m_dialogs.message(QStringLiteral("Key is not unique in collection: ") + r.Name,
                          Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    if (status.count == FileStatus::CountCheckedOut)
        ++LastCountOfCheckedOutFiles;
    else if (status.count == FileStatus::CountOutdated)
        ++LastCountOfOutdatedFiles;
    return true;
}

FileStore::ReadResult FileStore::readCatalogue(QString& reason, const ColourFlags& flags) {
    if (!QFile::exists(kCatalogue)) {
        reason = QStringLiteral("file not found");
        return ReadResult::Failed;
    }
    QByteArray data;
    reason = QStringLiteral("file is empty");
    if (!ReadWholeFile(kCatalogue, data))
        return ReadResult::Failed;
    CatalogueReader reader(data);
    const CatalogueHeader header = reader.readHeader();
    if (!header.hasVersionLine)
        return ReadResult::Failed;
    if (!CheckProgramVersion(header.versionLine)) {
        m_dialogs.message(OutdatedMessage(header.versionLine), Dialogs::Icon::Critical, Dialogs::Ok);
        return ReadResult::Outdated;
    }
    reason = QStringLiteral("file is incomplete");
    if (!header.hasCountLine)
        return ReadResult::Failed;
    const int expected = LeadingVersion(QString::number(header.count));

    m_list.beginFill();
    CatalogueRecord r;
    bool filled = true;
    while (reader.readRecord(r)) {
        if (r.Name.isEmpty())
            continue;
        if (!addRecord(r, flags)) {
            filled = false;
            break;
        }
    }
    m_list.endFill();
    if (!filled)
        return ReadResult::FillError;
    if (m_list.count() != expected) {
        reason = CountReason(expected, m_list.count());
        return ReadResult::Failed;
    }
    // The right count with the last entry cut is an upload that broke off.
    if (!reader.lastRecordWhole())
        return ReadResult::Failed;
    return ReadResult::Complete;
}

bool FileStore::UpdateFileList() {
    const QString focused = m_list.focusedKey();
    int rememberedRow = m_list.rowOf(focused);
    if (rememberedRow < 0) {
        const auto& entries = m_list.entries();
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].selected) {
                rememberedRow = i;
                break;
            }
    }
    if (rememberedRow < 0)
        rememberedRow = 0;

    QElapsedTimer total;
    total.start();
    lastFetchNs = 0;
    const auto finish = qScopeGuard([&] { lastRebuildNs = total.nsecsElapsed(); });
    const ColourFlags flags = readColourFlags();
    BusyPointer busy(m_dialogs);
    bool retried = false;
    m_outcome = ReadOutcome::None;
    m_list.setInputEnabled(false);
    // Only the list of the last rebuild holds the member's positions; a repeated read would store the
    // places a short read's entries were just given.
    SaveIcons();
    for (;;) {
        LastCountOfOutdatedFiles = 0;
        LastCountOfCheckedOutFiles = 0;
        QElapsedTimer fetch;
        fetch.start();
        const bool fetched = retried ? GetControlFileWhenSaved() : GetControlFile();
        lastFetchNs += fetch.nsecsElapsed();
        if (!fetched) {
            m_outcome = ReadOutcome::FetchFailed;
            return false;
        }
        m_list.clear();
        QString reason;
        const ReadResult result = readCatalogue(reason, flags);
        if (result == ReadResult::Complete) {
            LoadIcons();
            if (m_list.count() > 0) {
                m_list.ensureVisible(m_list.at(m_list.count() - 1).key);
                if (rememberedRow < m_list.count())
                    m_list.ensureVisible(m_list.at(rememberedRow).key);
            }
            m_list.setInputEnabled(true);
            m_outcome = ReadOutcome::Complete;
            return true;
        }
        if (result == ReadResult::Outdated) {
            m_outcome = ReadOutcome::Outdated;
            if (closeWindow)
                closeWindow();
            return false;
        }
        if (result == ReadResult::FillError) {
            m_outcome = ReadOutcome::FillError;
            return false;
        }
        if (!retried) {
            retried = true;
            Run(QStringLiteral("QUIT"));
            Run(QLatin1String(kControlFolderCommand));
            // A member may be saving right now: the next fetch waits (a little) until the save is through.
            continue;
        }
        const Dialogs::Button answer =
            m_dialogs.message(RepairQuestion(reason, runState().LocalFolder), Dialogs::Icon::Critical,
                              Dialogs::Ok | Dialogs::Cancel);
        if (answer != Dialogs::Ok) {
            m_outcome = ReadOutcome::Cancelled;
            if (endProgram)
                endProgram();
            return false;
        }
        if (!repairFromBackup()) {
            m_outcome = ReadOutcome::RepairFailed;
            return false;
        }
    }
}

void FileStore::SaveIcons() {
    if (m_list.viewStyle() != FileListModel::SmallIcons)
        return;
    emit aboutToSaveIcons();
    const QString section = QLatin1String(settings::kIconsSection);
    for (const ListEntry& e : m_list.entries())
        if (e.hasPosition)
            m_settings.write(section, e.text.toLower(),
                             QString::number(e.position.x()) + QLatin1Char(',') +
                                 QString::number(e.position.y()));
}

void FileStore::LoadIcons() {
    if (m_list.viewStyle() != FileListModel::SmallIcons)
        return;
    const QString section = QLatin1String(settings::kIconsSection);
    const QString empty = QLatin1String(settings::kIconPositionDefault);
    for (const ListEntry& e : m_list.entries()) {
        const QString value = m_settings.read(section, e.text.toLower(), empty);
        const qsizetype comma = value.indexOf(QLatin1Char(','));
        if (comma < 0)
            continue;
        m_list.setPosition(
            e.key, QPoint(int(LeadingNumber(value.left(comma))), int(LeadingNumber(value.mid(comma + 1)))));
    }
    emit iconsLoaded();
}

FileStore::CloseAnswer FileStore::QueryClose() {
    if (LastCountOfCheckedOutFiles <= 0 || !m_settings.isYes(settings::ShowCheckedOutFilesOnExit))
        return CloseAnswer::Close;
    const Dialogs::Button b =
        m_dialogs.message(CheckedOutQuestion(LastCountOfCheckedOutFiles), Dialogs::Icon::Question,
                          Dialogs::Yes | Dialogs::No | Dialogs::Cancel);
    if (b == Dialogs::Yes)
        return CloseAnswer::ShowCheckedOut;
    if (b == Dialogs::No)
        return CloseAnswer::Close;
    return CloseAnswer::Stay;
}

void FileStore::Shutdown(int quitTimeoutMs) {
    BusyPointer busy(m_dialogs);
    SaveIcons();
    m_settings.set(settings::CurrentView, QString::number(m_list.viewStyle()));
    QElapsedTimer timer;
    timer.start();
    if (!m_inet.Execute(QStringLiteral("QUIT"))) {
        if (m_inet.waitUntilIdle(quitTimeoutMs))
            m_inet.Execute(QStringLiteral("QUIT"));
    }
    const int left = int(qMax<qint64>(0, quitTimeoutMs - timer.elapsed()));
    if (!m_inet.waitUntilIdle(left))
        m_inet.Cancel();
}

QString FileStore::OutdatedMessage(const QString& requiredVersion) {
    return QStringLiteral("KRtp has been updated to version ") + requiredVersion + kCrLf +
           QStringLiteral("You are currently using version ") + GetProgramVersion() + kCrLf + kCrLf +
           QStringLiteral("Please get version ") + requiredVersion + QStringLiteral(" from Dovrin.");
}

QString FileStore::RepairQuestion(const QString& reason, const QString& localFolder) {
    return QStringLiteral("KRtp detected a corrupt or missing ") + kCatalogue +
           QStringLiteral(" on the server.") +
           QStringLiteral(
               " This is probably the result of KRtp crashing the last time that you or another user") +
           QStringLiteral(" was checking in, checking out, or adding files.") + kCrLf + kCrLf +
           QStringLiteral("KRtp will now try to restore ") + kCatalogue +
           QStringLiteral(" from a backup on the server.:") +
           QStringLiteral(" If this fails, please email a copy of the ") + kCatalogue +
           QStringLiteral(".backup file") +
           QStringLiteral(" from your computer to Dovrin.  This file should be found at ") + localFolder +
           QStringLiteral(".") + kCrLf + kCrLf + QStringLiteral("(ERR: ") + reason + QStringLiteral(")") +
           kCrLf + kCrLf + QStringLiteral("Press <OK> to attempt to restore ") + kCatalogue +
           QStringLiteral(" from the server backup.");
}

QString FileStore::CountReason(int expected, int found) {
    return CatalogueCountReason(expected, found);
}

QString FileStore::UnencodableMessage(const QString& text) {
    return QStringLiteral("\"") + text +
           QStringLiteral(
               "\" holds characters that the shared file list cannot store (it is kept in the Western "
               "European character set other members' programs read), so nothing was changed.  Please "
               "use other characters.");
}

QString FileStore::NotStuckMessage(const QStringList& names) {
    return QStringLiteral("Another member's program saved the shared file list at the same moment as you, so "
                          "your change") +
           (names.isEmpty() ? QString() : QStringLiteral(" of ") + names.join(QStringLiteral(", "))) +
           QStringLiteral(" is not in it.  Please refresh the file list and try again.");
}

QString FileStore::BackupIncompleteMessage(const QString& reason) {
    return QStringLiteral("The backup ") + kCatalogueBackup +
           QStringLiteral(" on the server is itself incomplete (") + reason +
           QStringLiteral("), so it was not restored and the server was left as it is.  Please ask Dovrin to "
                          "restore the shared file list.");
}

QString FileStore::IncompleteCatalogueMessage(const QString& reason) {
    return QStringLiteral("The catalogue ") + kCatalogue +
           QStringLiteral(" on the server is missing or incomplete (") + reason +
           QStringLiteral(
               "), perhaps because another member is saving it right now.  Nothing was changed in it; "
               "please refresh the file list and try again.");
}

QString FileStore::CheckedOutQuestion(int count) {
    return QStringLiteral("You currently have ") + QString::number(count) + QStringLiteral(" file") +
           (count >= 2 ? QStringLiteral("s") : QString()) +
           QStringLiteral(" checked out.  Would you like to view the list of checked out files?") + kCrLf +
           kCrLf + QStringLiteral("<Yes> - View Checked Out Files") + kCrLf +
           QStringLiteral("<No> - Exit KRtp");
}

QString FileStore::CommunicationsError(int number, const QString& description) {
    return QStringLiteral("*** communications error ***") + kCrLf + QString::number(number) +
           QStringLiteral(": ") + description + kCrLf + kCrLf +
           QStringLiteral("You may need to restart KRtp.");
}

} // namespace krtp
