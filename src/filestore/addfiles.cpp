// Adding files: the add window's list, the hide list, and the operation that uploads new files and
// enters them in the catalogue.
#include "filestore/addfiles.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/catalogueedit.h"
#include "filestore/filestore.h"
#include "filestore/history.h"
#include "filestore/owneractions.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "transfer/controlfiles.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"
#include "util/keyedlistmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace krtp {

namespace addfiles {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

bool IsReservedName(const QString& name) {
    const QString lower = name.toLower();
    return lower.startsWith(QLatin1String("_control")) || lower.startsWith(QLatin1String("_files")) ||
           lower.startsWith(QLatin1String("_hidden")) || lower.endsWith(QLatin1String("backup")) ||
           IsControlFileName(name, runState().MemberNames);
}

QStringList ReadHideList() {
    QFile f(QString::fromLatin1(kHideList));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Lines end in CR LF as written here; a line ended by a lone CR or LF (edited by hand) counts too.
    QString text = QString::fromLocal8Bit(f.readAll());
    text.replace(kCrLf, QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool IsHidden(const QString& name, const QStringList& hideList) {
    const QString lower = name.toLower();
    for (const QString& line : hideList)
        if (line.toLower() == lower)
            return true;
    return false;
}

namespace {

// A name that can go into the catalogue and into an FTP command as it is.
bool IsUsableName(const QString& name) {
    for (const QChar c : name)
        if (c == QLatin1Char('"') || c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 ||
            c.unicode() == 0x7f)
            return false;
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

Listing AddableFiles(const KeyedListModel& catalogued) {
    Listing out;
    const QString hideList = QLatin1String(kHideList);
    if (!QFileInfo::exists(hideList)) {
        QFile f(hideList);
        if (!f.open(QIODevice::WriteOnly))
            out.error = f.errorString();
    }
    QDir folder(QDir::currentPath());
    if (!folder.exists() || !folder.isReadable()) {
        out.error = QStringLiteral("The local folder ") + QDir::toNativeSeparators(folder.path()) +
                    QStringLiteral(" cannot be read.");
        return out;
    }
    QSet<QString> known;
    for (const ListEntry& e : catalogued.entries())
        known.insert(e.text.toLower());
    const QStringList hidden = ReadHideList();
    const QFileInfoList files = folder.entryInfoList(QDir::Files, QDir::Unsorted);
    for (const QFileInfo& info : files) {
        const QString name = info.fileName();
        // A name other members' programs cannot read is not offered: it could never be catalogued.
        if (IsReservedName(name) || IsHidden(name, hidden) || known.contains(name.toLower()) ||
            !IsUsableName(name) || !CatalogueWriter::fitsCodePage(name))
            continue;
        out.names << name;
    }
    return out;
}

bool HideFiles(const QStringList& names, QString* error) {
    QFile f(QString::fromLatin1(kHideList));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QByteArray lines;
    for (const QString& n : names)
        lines += n.toLocal8Bit() + "\r\n";
    if (f.write(lines) != lines.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

QStringList DeleteLocalFiles(const QStringList& names) {
    QStringList failed;
    for (const QString& n : names) {
        // Only plain names in the local folder: a name is never a way out of it.
        if (!IsUsableName(n) || !QFile::remove(n))
            failed << n;
    }
    return failed;
}

QString HiddenNotice() {
    return QStringLiteral("files added to _hidden.txt");
}

QString DeletedNotice() {
    return QStringLiteral("files deleted from local drive");
}

QString DeleteQuestion() {
    return QStringLiteral(
        "Are you sure you want to DELETE the files that you have selected from your local hard drive?");
}

QString NotDeletedMessage(const QStringList& names) {
    return QStringLiteral("These files could not be deleted from your local hard drive (they may be read "
                          "only or in use):") +
           kCrLf + kCrLf + names.join(kCrLf);
}

QString HideFailedMessage(const QString& error) {
    return QStringLiteral("The files could not be added to _hidden.txt in your local folder, so they are "
                          "still offered.") +
           kCrLf + kCrLf + error;
}

QString ReservedNameMessage(const QString& name) {
    return name +
           QStringLiteral(" - files that start with \"_files.txt\" or end with \"backup\" cannot be added.");
}

QString AlreadyCataloguedMessage(const QString& name) {
    return name + QStringLiteral(" could not be added.") + kCrLf +
           QStringLiteral("A file with the same name already exists.");
}

QString DescriptionPrompt(const QString& name) {
    return QStringLiteral("Please enter a file description for ") + name + kCrLf + kCrLf +
           QStringLiteral("You must enter a description, or the file cannot be added.");
}

QString NoDescriptionMessage(const QString& name) {
    return QStringLiteral("No Description Was Entered - ") + name + QStringLiteral(" Was Not Added") + kCrLf +
           kCrLf + QStringLiteral("Operation Canceled");
}

} // namespace addfiles

bool StoreOperations::mayAddFiles() {
    const quint8 level = runState().UserLevel;
    if (level == LevelAdministrator || level == LevelFullAccess)
        return true;
    m_store.dialogs().message(NoAccessMessage(), Dialogs::Icon::Critical, Dialogs::Ok);
    return false;
}

bool StoreOperations::addFiles(const QStringList& names, const DescriptionSource& describe,
                               QStringList* added) {
    Guard guard(*this);
    if (!guard)
        return false;
    if (added)
        added->clear();
    if (!mayAddFiles()) {
        m_report.refusal = NoAccessMessage();
        return false;
    }
    FileListModel& list = m_store.list();
    Dialogs& d = m_store.dialogs();
    const QString me = runState().CurrentUserName;
    BusyPointer busy(d);
    const auto raised = [&](const QString& description) {
        m_report.failure = description;
        d.message(description, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    };

    // The rebuilt list is the catalogue as it is now: names already in it are refused before asking.
    if (!m_store.UpdateFileList())
        return false;
    bool ok = true;
    QList<clsFileDetails> batch;
    for (const QString& name : names) {
        const QString lower = name.toLower();
        if (lower.startsWith(QLatin1String("_files.txt")) || lower.endsWith(QLatin1String("backup"))) {
            d.message(addfiles::ReservedNameMessage(name), Dialogs::Icon::None, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("a name the store keeps for itself"));
            ok = false;
            continue;
        }
        if (IsControlFileName(name, runState().MemberNames)) {
            d.message(ControlFileMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("a file KRtp keeps for itself"));
            ok = false;
            continue;
        }
        if (refuseName(name)) {
            ok = false;
            continue;
        }
        if (!CatalogueWriter::fitsCodePage(name)) {
            d.message(FileStore::UnencodableMessage(name), Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("a name the shared file list cannot store"));
            ok = false;
            continue;
        }
        if (const QString why =
                LinkLeavesFolderError(QDir::current().absoluteFilePath(name), QDir::currentPath());
            !why.isEmpty()) {
            d.message(why, Dialogs::Icon::Critical, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("a link to a file outside your local folder"));
            ok = false;
            continue;
        }
        if (list.contains(lower)) {
            d.message(addfiles::AlreadyCataloguedMessage(name), Dialogs::Icon::None, Dialogs::Ok);
            m_report.skip(name, QStringLiteral("already in the store"));
            ok = false;
            continue;
        }
        const std::optional<QString> answer =
            describe ? describe(name) : d.input(Dialogs::defaultTitle(), addfiles::DescriptionPrompt(name));
        const QString description = QuoteRule(answer.value_or(QString()));
        if (description.isEmpty()) {
            d.message(addfiles::NoDescriptionMessage(name), Dialogs::Icon::None, Dialogs::Ok);
            m_report.cancelled = true;
            return false;
        }
        clsFileDetails record;
        record.ListItem = lower;
        record.Name = name;
        record.CurrentVersion = 1;
        record.Author = me;
        record.Description = description;
        record.Comment = me + QStringLiteral(": *new file*");
        batch << record;
    }
    if (batch.isEmpty())
        return ok;

    // The descriptions took their time: names another member catalogued meanwhile are theirs.
    if (!m_store.FetchCatalogueInSession())
        return false;
    {
        QList<CatalogueRecord> current;
        QString reason;
        if (!m_store.ReadWorkingCopy(&current, reason))
            return raised(FileStore::IncompleteCatalogueMessage(reason));
        QSet<QString> catalogued;
        for (const CatalogueRecord& r : current)
            catalogued.insert(r.Name.toLower());
        QList<clsFileDetails> free;
        for (const clsFileDetails& record : batch) {
            if (!catalogued.contains(record.ListItem)) {
                free << record;
                continue;
            }
            d.message(addfiles::AlreadyCataloguedMessage(record.Name), Dialogs::Icon::None, Dialogs::Ok);
            m_report.skip(record.Name, QStringLiteral("added by another member meanwhile"));
            ok = false;
        }
        batch = free;
        if (batch.isEmpty()) {
            m_store.UpdateFileList();
            return false;
        }
    }

    // A file counts as sent only when the host took it and lists it at its size. Whatever stood
    // under the name on the host waits as N.backup until the catalogue says the name is ours.
    StoreExchange ex(m_store);
    if (!ex.enterControlFolder())
        return raised(ex.error());
    QSet<QString> movedAside;
    const auto putBack = [&](const QString& name) {
        ex.run(storecmd::Delete(name));
        if (movedAside.contains(name))
            ex.run(storecmd::Restore(name));
    };
    // A batch that stops halfway takes back what it sent: nothing uncatalogued stays on the host.
    QStringList sent;
    const auto stop = [&](const QString& why) {
        for (const QString& name : std::as_const(sent))
            putBack(name);
        return raised(why);
    };
    for (const clsFileDetails& record : batch) {
        const QString& name = record.Name;
        if (!ex.run(storecmd::DeleteBackup(name)) || !ex.run(storecmd::MoveAside(name)))
            return stop(ex.error());
        if (!ex.refused())
            movedAside.insert(name);
        sent << name;
        if (!ex.run(storecmd::Upload(name)))
            return stop(ex.error());
        bool exists = false;
        if (ex.refused() || !ex.listFile(name, exists) || !exists ||
            !ListedSizeMatches(m_store.inet(), name)) {
            const QString why = ex.error();
            return stop(why.isEmpty() ? SendErrorMessage(name) : why);
        }
    }

    // One catalogue change for the whole batch; a name another member catalogued meanwhile is left
    // to them.
    QStringList taken;
    const bool saved = m_store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
        taken.clear();
        QSet<QString> catalogued;
        for (const CatalogueRecord& r : current)
            catalogued.insert(r.Name.toLower());
        QList<CatalogueEdit> edits;
        for (const clsFileDetails& record : batch) {
            if (catalogued.contains(record.ListItem)) {
                taken << record.Name;
                continue;
            }
            CatalogueEdit e;
            e.name = record.Name;
            e.newFile = true;
            e.version = record.CurrentVersion;
            e.controller = QString();
            e.author = record.Author;
            e.description = record.Description;
            e.comment = record.Comment;
            edits << e;
        }
        return edits;
    });
    for (const QString& name : taken) {
        // The other member's file goes back under its name.
        putBack(name);
        d.message(addfiles::AlreadyCataloguedMessage(name), Dialogs::Icon::None, Dialogs::Ok);
        m_report.skip(name, QStringLiteral("added by another member meanwhile"));
    }
    if (!saved) {
        m_store.UpdateFileList();
        return false;
    }
    FileHistory history(m_store);
    for (const clsFileDetails& record : batch) {
        if (taken.contains(record.Name))
            continue;
        if (movedAside.contains(record.Name))
            ex.run(storecmd::DeleteBackup(record.Name));
        history.RecordNew(record.Name, 1, record.Name, me, QStringLiteral("*new file*"));
    }
    // The member's copy is version 1 only once the catalogue says so.
    for (const clsFileDetails& record : batch) {
        if (taken.contains(record.Name))
            continue;
        m_store.settings().setFileVersion(record.Name, QStringLiteral("1"));
        m_report.done << record.Name;
        if (added)
            *added << record.Name;
    }
    m_store.UpdateFileList();
    return ok && taken.isEmpty();
}

} // namespace krtp
