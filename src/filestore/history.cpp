#include "filestore/history.h"

#include "config/runstate.h"
#include "filestore/checkinchoices.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "transfer/ftpcommand.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>

namespace krtp {

namespace history {

namespace {
// Local scratch names start with "_files" so no list offers them as shared files.
const QString kScratch = QStringLiteral("_files.history.tmp");

QString clean(const QString& text) {
    QString t = text;
    for (QChar& c : t)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return t;
}
} // namespace

QString IndexPath(const QString& name) {
    return QStringLiteral("_history/") + name + QStringLiteral(".index");
}

QString VersionPath(const QString& name, int version) {
    return QStringLiteral("_history/") + name + QStringLiteral(".v") + QString::number(version);
}

QString DepthPath() {
    return QStringLiteral("_history/depth.txt");
}

QList<Record> ParseIndex(const QByteArray& data) {
    QList<Record> out;
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QList<QByteArray> f = line.split('\t');
        if (f.size() < 6)
            continue;
        Record r;
        bool okVersion = false, okSize = false;
        r.version = f[0].toInt(&okVersion);
        r.member = clean(QString::fromUtf8(f[1]));
        r.utc = QDateTime::fromString(QString::fromLatin1(f[2]), Qt::ISODate);
        r.size = f[3].toLongLong(&okSize);
        r.sha256 = f[4];
        r.comment = clean(QString::fromUtf8(f.mid(5).join('\t')));
        if (!okVersion || !okSize || r.version < 1 || !r.utc.isValid())
            continue;
        // A version is recorded once; a repeated line (a retried check-in) keeps the later record.
        for (qsizetype i = 0; i < out.size(); ++i)
            if (out[i].version == r.version)
                out.removeAt(i--);
        out << r;
    }
    std::sort(out.begin(), out.end(), [](const Record& a, const Record& b) { return a.version < b.version; });
    return out;
}

QByteArray FormatRecord(const Record& r) {
    return QByteArray::number(r.version) + '\t' + clean(r.member).toUtf8() + '\t' +
           r.utc.toUTC().toString(Qt::ISODate).toLatin1() + '\t' + QByteArray::number(r.size) + '\t' +
           r.sha256 + '\t' + clean(r.comment).toUtf8() + "\r\n";
}

Record RecordOf(const QString& localFile, int version, const QString& member, const QString& comment) {
    Record r;
    r.version = version;
    r.member = member;
    r.utc = QDateTime::currentDateTimeUtc();
    r.comment = comment;
    QByteArray data;
    if (ReadWholeFile(localFile, data)) {
        r.size = data.size();
        r.sha256 = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
    }
    return r;
}

} // namespace history

namespace {
QString q(const QString& s) {
    return QuoteCommandArgument(s);
}
} // namespace

bool FileHistory::run(const QString& command) {
    return m_store.Run(command);
}

int FileHistory::depth() {
    if (m_depth)
        return *m_depth;
    m_depth = history::kDefaultDepth;
    const QString local = QStringLiteral("_files.history.depth");
    QFile::remove(local);
    QByteArray data;
    if (run(QStringLiteral("get ") + q(history::DepthPath()) + QLatin1Char(' ') + q(local)) &&
        ReadWholeFile(local, data)) {
        bool ok = false;
        const int n = data.trimmed().toInt(&ok);
        if (ok && n >= 1 && n <= history::kMaxDepth)
            m_depth = n;
    }
    QFile::remove(local);
    return *m_depth;
}

bool FileHistory::setDepth(int depth, QString* error) {
    if (depth < 1 || depth > history::kMaxDepth) {
        if (error)
            *error = QStringLiteral("The history keeps from 1 to ") + QString::number(history::kMaxDepth) +
                     QStringLiteral(" versions of each file.");
        return false;
    }
    const QString local = QStringLiteral("_files.history.depth");
    run(QStringLiteral("mkdir _history"));
    const bool sent = WriteWholeFile(local, QByteArray::number(depth) + "\r\n", error) &&
                      run(QStringLiteral("send ") + q(local) + QLatin1Char(' ') + q(history::DepthPath()));
    QFile::remove(local);
    if (!sent && error && error->isEmpty())
        *error = m_store.inet().lastError();
    if (sent)
        m_depth = depth;
    return sent;
}

bool FileHistory::fetchIndex(const QString& name, QByteArray& data) {
    data.clear();
    const QString local = QStringLiteral("_files.history.index");
    QFile::remove(local);
    const bool got =
        run(QStringLiteral("get ") + q(history::IndexPath(name)) + QLatin1Char(' ') + q(local)) &&
        ReadWholeFile(local, data);
    QFile::remove(local);
    return got;
}

bool FileHistory::appendRecord(const QString& name, const history::Record& record,
                               QList<history::Record>* dropped) {
    QByteArray data;
    fetchIndex(name, data);
    // Rewritten from what could be read: a damaged line is dropped rather than kept forever.
    QByteArray joined = data;
    if (!joined.isEmpty() && !joined.endsWith('\n'))
        joined += "\r\n";
    QList<history::Record> records = history::ParseIndex(joined + history::FormatRecord(record));
    // The current version counts among the kept ones.
    const int keep = depth();
    while (records.size() > keep) {
        if (dropped)
            *dropped << records.first();
        records.removeFirst();
    }
    QByteArray out;
    for (const history::Record& r : records)
        out += history::FormatRecord(r);
    const QString local = QStringLiteral("_files.history.index");
    const QString send = QStringLiteral("send ") + q(local) + QLatin1Char(' ') + q(history::IndexPath(name));
    bool sent = WriteWholeFile(local, out) && run(send);
    if (!sent && QFile::exists(local) && m_store.inet().lastReplyCode() != 0) {
        // The first time on this site: the folder is made, then the index goes up.
        run(QStringLiteral("mkdir _history"));
        sent = run(send);
    }
    QFile::remove(local);
    return sent;
}

bool FileHistory::RecordCheckIn(const QString& name, int newVersion, const QString& localFile,
                                const QString& member, const QString& comment) {
    const QString aside = name + QStringLiteral(".backup");
    const QString target = history::VersionPath(name, newVersion - 1);
    if (!run(QStringLiteral("rename ") + q(aside) + QLatin1Char(' ') + q(target))) {
        // The first time on this site: the folder is made, then the move is tried once more.
        run(QStringLiteral("mkdir _history"));
        if (!run(QStringLiteral("rename ") + q(aside) + QLatin1Char(' ') + q(target))) {
            run(QStringLiteral("delete ") + q(aside));
            return false;
        }
    }
    QList<history::Record> dropped;
    const bool indexed =
        appendRecord(name, history::RecordOf(localFile, newVersion, member, comment), &dropped);
    // Versions beyond the depth go with their records (usually the one oldest).
    for (const history::Record& r : dropped)
        run(QStringLiteral("delete ") + q(history::VersionPath(name, r.version)));
    return indexed;
}

bool FileHistory::RecordNew(const QString& name, int version, const QString& localFile, const QString& member,
                            const QString& comment) {
    return appendRecord(name, history::RecordOf(localFile, version, member, comment), nullptr);
}

QList<history::Record> FileHistory::Versions(const QString& name) {
    QByteArray data;
    if (!fetchIndex(name, data))
        return {};
    return history::ParseIndex(data);
}

bool FileHistory::FetchVersion(const QString& name, int version, int current, const QString& localFile,
                               QString* error) {
    const QString remote = version == current ? name : history::VersionPath(name, version);
    QFile::remove(localFile);
    if (run(QStringLiteral("get ") + q(remote) + QLatin1Char(' ') + q(localFile)))
        return true;
    if (error)
        *error = QStringLiteral("Version ") + QString::number(version) + QStringLiteral(" of ") + name +
                 QStringLiteral(" is not kept on the server.");
    return false;
}

namespace {

// Answers the check-in's question once, with the restore's comment.
class RestorePrompt : public CheckInPrompt {
public:
    explicit RestorePrompt(QString comment) : m_comment(std::move(comment)) {}
    bool Do_CheckInFile(const QString&, QString& pstrComment, bool& pblnKeepCheckedOut, bool& pblnCheckInAll,
                        bool& pblnDontUpdateServer) override {
        pstrComment = m_comment;
        pblnKeepCheckedOut = false;
        pblnCheckInAll = true;
        pblnDontUpdateServer = false;
        return true;
    }

private:
    QString m_comment;
};

} // namespace

QString RestoredComment(int version, const QString& note) {
    return QStringLiteral("Restored version ") + QString::number(version) +
           (note.trimmed().isEmpty() ? QString() : QStringLiteral(": ") + note.trimmed());
}

bool RestoreVersion(StoreOperations& ops, const QString& key, int version, const QString& note) {
    FileStore& store = ops.store();
    Dialogs& d = store.dialogs();
    FileListModel& list = store.list();
    const ListEntry* e = list.find(key);
    if (!e)
        return false;
    const QString name = e->text;
    const QString me = runState().CurrentUserName;
    const QString controller = e->columns.value(QLatin1String(columns::kOwner));
    const int current = int(LeadingNumber(e->columns.value(QLatin1String(columns::kVer))));
    if (version == current) {
        d.message(QStringLiteral("Version ") + QString::number(version) +
                      QStringLiteral(" is the current version of ") + name +
                      QStringLiteral(", so there is nothing to restore."),
                  Dialogs::Icon::Information, Dialogs::Ok);
        return false;
    }
    if (!controller.isEmpty() && controller.compare(me, Qt::CaseInsensitive) != 0) {
        d.message(name + QStringLiteral(" is checked out by ") + controller +
                      QStringLiteral(", so version ") + QString::number(version) +
                      QStringLiteral(" was not restored."),
                  Dialogs::Icon::Warning, Dialogs::Ok);
        return false;
    }
    if (!IsSharedFileName(name))
        return false;
    // The version first: nothing is checked out for a version that is not there.
    FileHistory history(store);
    const QString scratch = QStringLiteral("_files.history.restore");
    QString error;
    QByteArray data;
    if (!history.FetchVersion(name, version, current, scratch, &error) ||
        !ReadWholeFile(scratch, data, &error)) {
        QFile::remove(scratch);
        d.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    QFile::remove(scratch);
    const auto selectOnly = [&] {
        list.setAllSelected(false);
        list.setSelected(key, true);
    };
    if (controller.isEmpty()) {
        selectOnly();
        if (!ops.CheckOut() || !ops.lastReport().everyFileDone())
            return false;
    }
    SetFileReadOnly(name, false, true);
    if (!WriteWholeFile(name, data, &error)) {
        d.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    RestorePrompt prompt(RestoredComment(version, note));
    CheckInPrompt* previous = ops.checkInPrompt();
    ops.setCheckInPrompt(&prompt);
    selectOnly();
    const bool ok = ops.CheckIn() && ops.lastReport().everyFileDone();
    ops.setCheckInPrompt(previous);
    return ok;
}

bool RestoreRemovedFile(StoreOperations& ops, const QString& name, int version, const QString& note) {
    FileStore& store = ops.store();
    Dialogs& d = store.dialogs();
    const auto refuse = [&](const QString& text) {
        d.message(text, Dialogs::Icon::Warning, Dialogs::Ok);
        return false;
    };
    if (runState().UserLevel != LevelAdministrator)
        return refuse(StoreOperations::NoAccessMessage());
    if (!IsSharedFileName(name))
        return refuse(name + QStringLiteral(" is not a name the store keeps."));
    if (store.list().find(name.toLower()))
        return refuse(name + QStringLiteral(" is in the file list; restore its versions from its history."));
    FileHistory history(store);
    const QList<history::Record> versions = history.Versions(name);
    if (versions.isEmpty())
        return refuse(QStringLiteral("No history of ") + name + QStringLiteral(" is kept on the server."));
    const int last = versions.last().version;
    QString error;
    QByteArray data;
    const QString scratch = QStringLiteral("_files.history.restore");
    const bool got =
        history.FetchVersion(name, version, last, scratch, &error) && ReadWholeFile(scratch, data, &error);
    QFile::remove(scratch);
    if (!got)
        return refuse(error);
    // A local copy of a removed file is nobody's tracked copy: it may be the only one of something.
    QByteArray local;
    if (QFile::exists(name) && (!ReadWholeFile(name, local) || local != data) &&
        d.message(QStringLiteral("Your copy of ") + name + QStringLiteral(" will be replaced by version ") +
                      QString::number(version) + QStringLiteral(". Continue?"),
                  Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
        return false;
    const QString me = runState().CurrentUserName;
    bool taken = false;
    const bool added = store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
        taken = std::any_of(current.begin(), current.end(), [&](const CatalogueRecord& r) {
            return r.Name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (taken)
            return QList<CatalogueEdit>{};
        CatalogueEdit e;
        e.name = name;
        e.newFile = true;
        e.version = last;
        e.controller = me;
        e.author = me;
        e.description = QString();
        e.comment = RestoredComment(version, note);
        return QList<CatalogueEdit>{e};
    });
    if (!added || taken || !ops.UpdateFileList())
        return taken
                   ? refuse(name + QStringLiteral(
                                       " was added again meanwhile; restore its versions from its history."))
                   : false;
    SetFileReadOnly(name, false, true);
    if (!WriteWholeFile(name, data, &error))
        return refuse(error);
    RestorePrompt prompt(RestoredComment(version, note));
    CheckInPrompt* previous = ops.checkInPrompt();
    ops.setCheckInPrompt(&prompt);
    store.list().setAllSelected(false);
    store.list().setSelected(name.toLower(), true);
    const bool ok = ops.CheckIn() && ops.lastReport().everyFileDone();
    ops.setCheckInPrompt(previous);
    return ok;
}

} // namespace krtp
