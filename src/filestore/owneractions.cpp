// The owner's actions on one catalogued file (description, removal from the catalogue, giving up
// ownership), the read-only switch of the local copy, and the administrator's edit of an entry.
// "Control" in the owner's messages means ownership: the catalogue's author field.
#include "filestore/owneractions.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/catalogue.h"
#include "filestore/catalogueedit.h"
#include "filestore/filestore.h"
#include "filestore/storeexchange.h"
#include "platform/dialogs.h"
#include "util/fileutil.h"
#include "util/textutil.h"

#include <functional>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool SameMember(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const CatalogueRecord* FindRecord(const QList<CatalogueRecord>& records, const QString& name) {
    for (const CatalogueRecord& r : records)
        if (r.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &r;
    return nullptr;
}

// One locked change of an entry, with the member's right to make it checked again on the fresh
// catalogue: refusalFor gives why not for the owner found there (empty: allowed). A refusal is told
// to the member (after the lock is given back) and kept in refusal.
enum class EntryChange { Saved, Refused, Failed };
EntryChange ChangeEntryIfAllowed(FileStore& store, const QString& name,
                                 const std::function<QString(const QString& author)>& refusalFor,
                                 const std::function<void(CatalogueEdit&)>& fill, QString& refusal) {
    QString why;
    const bool saved = store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
        why.clear();
        const CatalogueRecord* r = FindRecord(current, name);
        why = r ? refusalFor(r->Author) : StoreOperations::EntryGoneMessage(name);
        if (!why.isEmpty())
            return QList<CatalogueEdit>{};
        CatalogueEdit edit;
        edit.name = r->Name;
        fill(edit);
        return QList<CatalogueEdit>{edit};
    });
    if (!why.isEmpty()) {
        refusal = why;
        store.dialogs().message(why, Dialogs::Icon::None, Dialogs::Ok);
        return EntryChange::Refused;
    }
    return saved ? EntryChange::Saved : EntryChange::Failed;
}

} // namespace

QString QuoteRule(const QString& text) {
    QString t = text;
    return ReplaceTextMatchCase(t, {QStringLiteral("\""), QStringLiteral("'")});
}

QString CurrentEntryKey(const KeyedListModel& list, const QString& focusedKey) {
    const ListEntry* focused = list.find(focusedKey);
    if (focused && focused->selected)
        return focused->key;
    QString only;
    for (const ListEntry& e : list.entries()) {
        if (!e.selected)
            continue;
        if (!only.isEmpty())
            return {};
        only = e.key;
    }
    return only;
}

OwnerOptions DecideOwnerOptions(const ListEntry* entry, int level, const QString& userName,
                                bool localReadOnly) {
    OwnerOptions o;
    if (!entry)
        return o;
    // The Read Only entry always shows the local copy's attribute, for administrators too.
    o.readOnlyEnabled = true;
    o.readOnlyChecked = localReadOnly;
    const QString author = entry->columns.value(QLatin1String(columns::kAuthor));
    bool owner = false;
    if (level == LevelAdministrator)
        owner = true;
    else
        owner = (author.isEmpty() || SameMember(author, userName)) && level == LevelFullAccess;
    o.changeDescription = owner;
    o.relinquish = owner && level != LevelAdministrator && !author.isEmpty();
    return o;
}

StoreOperations::FileDetailsEdit DetailsOfEntry(const ListEntry& e) {
    StoreOperations::FileDetailsEdit d;
    d.fileName = e.text;
    d.checkedOutBy = e.columns.value(QLatin1String(columns::kOwner));
    d.lastComment = e.columns.value(QLatin1String(columns::kComment));
    d.description = e.columns.value(QLatin1String(columns::kDesc));
    d.author = e.columns.value(QLatin1String(columns::kAuthor));
    d.serverVersion = e.columns.value(QLatin1String(columns::kVer));
    d.localVersion = e.columns.value(QLatin1String(columns::kMyVer));
    return d;
}

bool HoldsCheckOut(const KeyedListModel& list, const QString& userName) {
    if (userName.isEmpty())
        return false;
    for (const ListEntry& e : list.entries())
        if (SameMember(e.columns.value(QLatin1String(columns::kOwner)), userName))
            return true;
    return false;
}

QString StillCheckedOutMessage() {
    return QStringLiteral("You still have files checked out");
}

QString StoreOperations::EntryGoneMessage(const QString& name) {
    return name + QStringLiteral(" is no longer in the catalogue, so nothing was changed.");
}

QString StoreOperations::ChangeDescriptionRefusal(const QString& author, const QString& name) {
    return QStringLiteral("Sorry, only ") + author + QStringLiteral(" has permission to change ") + name +
           QStringLiteral("'s description.");
}

QString StoreOperations::RemoveRefusal(const QString& author, const QString& name) {
    return QStringLiteral("Sorry, only ") + author + QStringLiteral(" has permission to remove ") + name +
           QStringLiteral(".");
}

QString StoreOperations::RelinquishRefusal(const QString& name) {
    return QStringLiteral("Sorry, you do not have control ") + name + QStringLiteral(".");
}

QString StoreOperations::DescriptionQuestion(const QString& name) {
    return QStringLiteral("Please enter a new description for the following file:") + kCrLf + kCrLf + name;
}

QString StoreOperations::RemoveQuestion(const QString& name) {
    return QStringLiteral("Are you sure you want to remove ") + name + QStringLiteral(" from KRtp?") + kCrLf +
           kCrLf + QStringLiteral("NOTE: This will not delete ") + name +
           QStringLiteral(" from your local computer nor will it delete ") + name +
           QStringLiteral(" from the computer of any other KRtp user.");
}

QString StoreOperations::RelinquishQuestion(const QString& name) {
    return QStringLiteral("Are you sure you want to relinquish control of ") + name + QStringLiteral("?");
}

// The ownership test runs twice: on the list the member sees, before any question, and again on the
// fresh catalogue inside the change, so that a file another member took over meanwhile is left alone.
bool StoreOperations::changeFileDescription(const QString& key, const std::optional<QString>& description) {
    Guard guard(*this);
    if (!guard)
        return false;
    Dialogs& d = m_store.dialogs();
    const ListEntry* e = m_store.list().find(key);
    if (!e)
        return true;
    const QString name = e->text;
    const QString author = e->columns.value(QLatin1String(columns::kAuthor));
    const QString me = runState().CurrentUserName;
    if (!author.isEmpty() && !SameMember(author, me)) {
        m_report.refusal = ChangeDescriptionRefusal(author, name);
        d.message(ChangeDescriptionRefusal(author, name), Dialogs::Icon::None, Dialogs::Ok);
        return false;
    }
    std::optional<QString> answer = description;
    if (!answer)
        answer = d.input(Dialogs::defaultTitle(), DescriptionQuestion(name),
                         e->columns.value(QLatin1String(columns::kDesc)));
    const QString text = QuoteRule(answer.value_or(QString()));
    if (text.isEmpty())
        return true;

    BusyPointer busy(d);
    if (ChangeEntryIfAllowed(
            m_store, name,
            [&](const QString& owner) {
                return owner.isEmpty() || SameMember(owner, me) ? QString()
                                                                : ChangeDescriptionRefusal(owner, name);
            },
            [&](CatalogueEdit& edit) { edit.description = text; }, m_report.refusal) != EntryChange::Saved)
        return false;
    m_store.list().setColumnText(key, QLatin1String(columns::kDesc), text);
    m_report.done << name;
    return true;
}

bool StoreOperations::deleteFile(const QString& key) {
    Guard guard(*this);
    if (!guard)
        return false;
    Dialogs& d = m_store.dialogs();
    const ListEntry* e = m_store.list().find(key);
    if (!e)
        return true;
    const QString name = e->text;
    const QString author = e->columns.value(QLatin1String(columns::kAuthor));
    const QString me = runState().CurrentUserName;
    if (!author.isEmpty() && !SameMember(author, me)) {
        m_report.refusal = RemoveRefusal(author, name);
        d.message(RemoveRefusal(author, name), Dialogs::Icon::None, Dialogs::Ok);
        return false;
    }
    if (d.message(RemoveQuestion(name), Dialogs::Icon::Warning, Dialogs::Yes | Dialogs::No, Dialogs::No) !=
        Dialogs::Yes)
        return true;

    BusyPointer busy(d);
    if (ChangeEntryIfAllowed(
            m_store, name,
            [&](const QString& owner) {
                return owner.isEmpty() || SameMember(owner, me) ? QString() : RemoveRefusal(owner, name);
            },
            [&](CatalogueEdit& edit) { edit.deleteFile = true; }, m_report.refusal) != EntryChange::Saved)
        return false;
    m_store.list().remove(key);
    m_report.done << name;
    return true;
}

bool StoreOperations::relinquishControl(const QString& key) {
    Guard guard(*this);
    if (!guard)
        return false;
    Dialogs& d = m_store.dialogs();
    const ListEntry* e = m_store.list().find(key);
    if (!e)
        return true;
    const QString name = e->text;
    const QString author = e->columns.value(QLatin1String(columns::kAuthor));
    const QString me = runState().CurrentUserName;
    if (author.isEmpty() || !SameMember(author, me)) {
        m_report.refusal = RelinquishRefusal(name);
        d.message(RelinquishRefusal(name), Dialogs::Icon::None, Dialogs::Ok);
        return false;
    }
    if (d.message(RelinquishQuestion(name), Dialogs::Icon::Question, Dialogs::Yes | Dialogs::No,
                  Dialogs::No) != Dialogs::Yes)
        return true;

    BusyPointer busy(d);
    if (ChangeEntryIfAllowed(
            m_store, name,
            [&](const QString& owner) {
                return !owner.isEmpty() && SameMember(owner, me) ? QString() : RelinquishRefusal(name);
            },
            [&](CatalogueEdit& edit) { edit.author = QString(); }, m_report.refusal) != EntryChange::Saved)
        return false;
    m_store.list().setColumnText(key, QLatin1String(columns::kAuthor), QString());
    m_report.done << name;
    return true;
}

bool StoreOperations::toggleReadOnly(const QString& key) {
    Guard guard(*this);
    if (!guard)
        return false;
    const ListEntry* e = m_store.list().find(key);
    if (!e)
        return true;
    const QString name = e->text;
    if (refuseName(name))
        return false;
    // A missing file counts as read-only, so nothing visible happens to it.
    SetFileReadOnly(name, !IsFileReadOnly(name), true);
    m_report.done << name;
    return true;
}

bool StoreOperations::editFileDetails(const QString& key, const FileDetailsEdit& edit) {
    Guard guard(*this);
    if (!guard)
        return false;
    Dialogs& d = m_store.dialogs();
    if (runState().UserLevel != LevelAdministrator) {
        m_report.refusal = NoAccessMessage();
        d.message(NoAccessMessage(), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    if (!m_store.list().find(key))
        return true;
    const qint64 version = LeadingNumber(edit.serverVersion);
    if (version < -32768 || version > 32767) {
        d.message(QStringLiteral("Overflow: version %1 does not fit the catalogue.").arg(version),
                  Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    const QString name = edit.fileName;
    const QString controller = QuoteRule(edit.checkedOutBy);
    const QString author = QuoteRule(edit.author);
    const QString description = QuoteRule(edit.description);
    const QString comment = QuoteRule(edit.lastComment);

    BusyPointer busy(d);
    QString refusal;
    const bool saved = m_store.ChangeCatalogue([&](const QList<CatalogueRecord>& current) {
        refusal.clear();
        const CatalogueRecord* r = FindRecord(current, name);
        if (!r) {
            refusal = EntryGoneMessage(name);
            return QList<CatalogueEdit>{};
        }
        CatalogueEdit e;
        e.name = r->Name;
        e.version = version;
        e.controller = controller;
        e.author = author;
        e.description = description;
        e.comment = comment;
        return QList<CatalogueEdit>{e};
    });
    if (!refusal.isEmpty()) {
        m_report.refusal = refusal;
        d.message(refusal, Dialogs::Icon::None, Dialogs::Ok);
        return false;
    }
    if (!saved)
        return false;
    FileListModel& list = m_store.list();
    const QString localVersion = QString::number(LeadingNumber(edit.localVersion));
    list.setColumnText(key, QLatin1String(columns::kOwner), controller);
    list.setColumnText(key, QLatin1String(columns::kComment), comment);
    list.setColumnText(key, QLatin1String(columns::kDesc), description);
    list.setColumnText(key, QLatin1String(columns::kAuthor), author);
    list.setColumnText(key, QLatin1String(columns::kVer), QString::number(version));
    list.setColumnText(key, QLatin1String(columns::kMyVer), localVersion);
    m_store.settings().setFileVersion(name, localVersion);
    m_report.done << name;
    return true;
}

} // namespace krtp
