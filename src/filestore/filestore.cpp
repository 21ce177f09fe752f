#include "filestore/filestore.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/dialogs.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <exception>

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
    return GetFile(m_inet, kCatalogue);
}

bool FileStore::fail(const QString& description) {
    m_dialogs.message(description, Dialogs::Icon::Critical, Dialogs::Ok);
    return false;
}

bool FileStore::UpdateFileDetails(const QString& pstrFileName, bool pblnNewFile,
                                  std::optional<qint64> pvarVersion, std::optional<QString> pvarController,
                                  std::optional<QString> pvarAuthor, std::optional<QString> pvarDesc,
                                  std::optional<QString> pvarComment, bool pblnDeleteFile,
                                  bool pblnGetControlFile, bool pblnSaveControlFile) {
    BusyPointer busy(m_dialogs);
    if (pblnGetControlFile && !GetControlFile())
        return false;

    if (!pstrFileName.isEmpty()) {
        if (pvarVersion && (*pvarVersion < -32768 || *pvarVersion > 32767))
            return fail(QStringLiteral("Overflow: version %1 does not fit the catalogue.").arg(*pvarVersion));

        // The new content is made in memory first: a refused change leaves the working copy whole, so a
        // batch that goes on to save never uploads a half-written catalogue.
        QByteArray data;
        QString error;
        if (!QFile::exists(kCatalogue))
            return fail(QStringLiteral("File not found: ") + kCatalogue);
        if (!ReadWholeFile(kCatalogue, data, &error))
            return fail(error);
        CatalogueReader reader(data);
        QString line1, line2;
        if (!reader.readLine(line1) || !reader.readLine(line2))
            return fail(QStringLiteral("The local copy of ") + kCatalogue +
                        QStringLiteral(" is empty or incomplete."));
        qint64 count = LeadingNumber(line2);
        if (pblnNewFile)
            ++count;
        if (pblnDeleteFile)
            --count;

        CatalogueWriter writer(reader.isUtf8(), reader.hasByteOrderMark());
        writer.writeLine(line1);
        writer.writeLine(QString::number(count));
        bool found = false;
        CatalogueRecord r;
        while (reader.readRecord(r)) {
            if (r.Name.isEmpty())
                continue;
            if (r.Name.compare(pstrFileName, Qt::CaseInsensitive) == 0) {
                if (pblnNewFile)
                    return fail(QStringLiteral("Cannot add a file that already exists."));
                if (pvarVersion)
                    r.CurrentVersion = qint16(*pvarVersion);
                if (pvarController)
                    r.Controller = *pvarController;
                if (pvarAuthor)
                    r.Author = *pvarAuthor;
                if (pvarDesc)
                    r.Description = *pvarDesc;
                if (pvarComment)
                    r.Comment = *pvarComment;
                if (pblnDeleteFile) {
                    found = true;
                    continue;
                }
            }
            writer.writeRecord(r);
        }
        if (pblnNewFile) {
            CatalogueRecord added;
            added.Name = pstrFileName;
            added.CurrentVersion = qint16(pvarVersion.value_or(0));
            added.Controller = pvarController.value_or(QString());
            added.Author = pvarAuthor.value_or(QString());
            added.Description = pvarDesc.value_or(QString());
            added.Comment = pvarComment.value_or(QString());
            writer.writeRecord(added);
        }
        if (pblnDeleteFile && !found)
            return fail(QStringLiteral("Cannot delete a file that doesn't exist."));

        if (QFile::exists(kCatalogueBackup)) {
            SetFileReadOnly(kCatalogueBackup, false, true);
            if (!QFile::remove(kCatalogueBackup))
                return fail(QStringLiteral("Permission denied: cannot delete ") + kCatalogueBackup);
        }
        if (!QFile::rename(kCatalogue, kCatalogueBackup))
            return fail(QStringLiteral("Permission denied: cannot rename ") + kCatalogue);
        if (!WriteWholeFile(kCatalogue, writer.bytes(), &error)) {
            QFile::remove(kCatalogue);
            QFile::rename(kCatalogueBackup, kCatalogue);
            return fail(error);
        }
    }

    if (pblnSaveControlFile) {
        // The save replaces the host's backup: a short copy (fetched while another member was saving,
        // or left so by a save cut off) would then be all that is left of the catalogue.
        QString reason;
        if (!ReadWorkingCopy(nullptr, reason))
            return fail(IncompleteCatalogueMessage(reason));
        Run(QStringLiteral("delete ") + kCatalogueBackup);
        const bool movedAside =
            Run(QStringLiteral("rename ") + kCatalogue + QLatin1Char(' ') + kCatalogueBackup);
        if (!Run(QStringLiteral("send ") + kCatalogue + QLatin1Char(' ') + kCatalogue)) {
            // Never leave the host without a catalogue: put the one moved aside back.
            const QString why = m_inet.lastError();
            if (movedAside)
                Run(QStringLiteral("rename ") + kCatalogueBackup + QLatin1Char(' ') + kCatalogue);
            return fail(QStringLiteral("Error sending ") + kCatalogue +
                        QStringLiteral(", please try again.") +
                        (why.isEmpty() ? QString() : kCrLf + kCrLf + why));
        }
    }
    return true;
}

bool FileStore::ReadWorkingCopy(QList<CatalogueRecord>* records, QString& reason) const {
    if (records)
        records->clear();
    QByteArray data;
    if (!QFile::exists(kCatalogue) || !ReadWholeFile(kCatalogue, data)) {
        reason = QStringLiteral("file not found");
        return false;
    }
    CatalogueReader reader(data);
    QString line1, line2;
    if (!reader.readLine(line1)) {
        reason = QStringLiteral("file is empty");
        return false;
    }
    if (!reader.readLine(line2)) {
        reason = QStringLiteral("file is incomplete");
        return false;
    }
    const qint64 expected = LeadingNumber(line2);
    qint64 found = 0;
    CatalogueRecord r;
    while (reader.readRecord(r)) {
        if (r.Name.isEmpty())
            continue;
        ++found;
        if (records)
            *records << r;
    }
    if (found != expected) {
        reason = CountReason(int(expected), int(found));
        return false;
    }
    return true;
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
    QString line1, line2;
    if (!reader.readLine(line1))
        return ReadResult::Failed;
    if (!CheckProgramVersion(line1)) {
        m_dialogs.message(OutdatedMessage(line1), Dialogs::Icon::Critical, Dialogs::Ok);
        return ReadResult::Outdated;
    }
    reason = QStringLiteral("file is incomplete");
    if (!reader.readLine(line2))
        return ReadResult::Failed;
    const int expected = LeadingVersion(line2);

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
    if (m_list.count() == expected)
        return ReadResult::Complete;
    reason = CountReason(expected, m_list.count());
    return ReadResult::Failed;
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
        const bool fetched = GetControlFile();
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
        // Only a backup that really arrived goes up as the catalogue; a failed download must not replace
        // the host's catalogue with whatever is left locally.
        if (QFile::exists(kCatalogue))
            QFile::remove(kCatalogue);
        if (Run(QStringLiteral("get ") + kCatalogueBackup + QLatin1Char(' ') + kCatalogue) &&
            QFile::exists(kCatalogue))
            Run(QStringLiteral("send ") + kCatalogue + QLatin1Char(' ') + kCatalogue);
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
    return QString::number(expected) + QStringLiteral(" files expected, ") + QString::number(found) +
           QStringLiteral(" files found)");
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
