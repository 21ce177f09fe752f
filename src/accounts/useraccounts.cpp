#include "accounts/useraccounts.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "platform/dialogs.h"
#include "transfer/controlfiles.h"
#include "transfer/sharedfile.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QFile>

namespace krtp {

QString AccountMirrorPath() {
    return QLatin1String(kMirrorRoot) + QLatin1Char('/') + QLatin1String(kAccountFileSitePath);
}

QString LevelIconKey(quint8 level) {
    return QStringLiteral("level") + QString::number(level);
}

UserEditRules RulesForEntry(bool superUser, const QString& currentUser, const QString& entryName,
                            quint8 entryLevel) {
    UserEditRules r;
    if (superUser)
        return r;
    r.name = false;
    r.admin = false;
    const bool entryIsAdmin = entryLevel == LevelAdministrator;
    r.otherLevels = !entryIsAdmin;
    const bool own = entryName.trimmed().toLower() == currentUser.toLower();
    r.password = r.apply = !entryIsAdmin || own;
    return r;
}

UserEditRules RulesForNewEntry(bool superUser) {
    UserEditRules r;
    r.admin = superUser;
    return r;
}

quint8 LevelFromButtons(bool lockedOut, bool readOnly, bool fullAccess, bool admin) {
    quint8 level = 0;
    if (lockedOut)
        level = LevelLockedOut;
    if (readOnly)
        level = LevelReadOnly;
    if (fullAccess)
        level = LevelFullAccess;
    if (admin)
        level = LevelAdministrator;
    return level;
}

QString FilterMemberName(const QString& text, int& selStart, int& selLength) {
    QString out = text;
    int i = 1; // position counted from 1, in the text as it shrinks
    while (i <= out.size()) {
        const char16_t c = out.at(i - 1).unicode();
        const bool keep = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        if (keep) {
            ++i;
            continue;
        }
        out.remove(i - 1, 1);
        if (i <= selStart)
            --selStart;
        else if (i <= selStart + selLength)
            --selLength;
    }
    return out;
}

QString RightsError(bool superUser, const QString& currentUser, const std::optional<AccountRecord>& existing,
                    const AccountRecord& wanted) {
    if (superUser)
        return {};
    if (wanted.Level == LevelAdministrator && (!existing || existing->Level != LevelAdministrator))
        return QStringLiteral("Only a super user may make a member an administrator.");
    if (!existing)
        return {};
    if (wanted.Name.left(kAccountNameSize).trimmed() != existing->Name.trimmed())
        return QStringLiteral("Only a super user may rename a member.");
    if (existing->Level == LevelAdministrator) {
        if (existing->Name.trimmed().toLower() != currentUser.toLower())
            return QStringLiteral("Only a super user may change another administrator.");
        if (wanted.Level != LevelAdministrator)
            return QStringLiteral("An administrator may change only their own password.");
    }
    return {};
}

namespace {

QByteArray recordAt(const QByteArray& data, qsizetype index) {
    return data.mid(index * kAccountRecordSize, kAccountRecordSize);
}

QString nameOf(const QByteArray& record) {
    return DecodeAccountRecord(record).Name.trimmed();
}

} // namespace

QByteArray MergeAccountFile(const QByteArray& base, const QByteArray& mine, const QByteArray& host,
                            QStringList* notSaved) {
    const qsizetype loaded = base.size() / kAccountRecordSize;
    const qsizetype ours = mine.size() / kAccountRecordSize;
    const qsizetype theirs = host.size() / kAccountRecordSize;
    QByteArray merged = host;
    for (qsizetype i = 0; i < loaded && i < ours; ++i) {
        const QByteArray was = recordAt(base, i);
        const QByteArray now = recordAt(mine, i);
        if (now == was)
            continue; // untouched here: the host's record stays as it is
        const QByteArray there = i < theirs ? recordAt(host, i) : QByteArray();
        if (there == was)
            merged.replace(i * kAccountRecordSize, kAccountRecordSize, now);
        else if (there != now && notSaved) {
            const QString name = nameOf(was).isEmpty() ? nameOf(now) : nameOf(was);
            if (!notSaved->contains(name))
                *notSaved << name;
        }
    }
    if (ours > loaded) {
        // Members added here follow whatever the host holds now; a cut-off piece of a record would
        // shift them out of step, so it goes.
        merged.truncate(theirs * kAccountRecordSize);
        merged += mine.mid(loaded * kAccountRecordSize, (ours - loaded) * kAccountRecordSize);
    }
    return merged;
}

UserAccounts::UserAccounts(TransferControl& control, Dialogs& dialogs)
    : m_control(control), m_dialogs(dialogs) {}

bool UserAccounts::Load() {
    QString text = QLatin1String(kSaveToFile);
    m_loaded = GetFileFromServer(m_control, QLatin1String(kAccountFileSitePath), text) &&
               ReadWholeFile(AccountMirrorPath(), m_base);
    if (m_loaded)
        FillList();
    else
        m_entries.clear();
    return m_loaded;
}

void UserAccounts::FillList() {
    m_entries.clear();
    QList<AccountRecord> records;
    if (!ReadAccountFile(AccountMirrorPath(), records))
        return;
    for (const AccountRecord& r : records)
        m_entries.append({r.Name.trimmed(), r.Level, true});
}

std::optional<AccountRecord> UserAccounts::Record(int index) const {
    if (index < 0 || index >= count() || !m_entries.at(index).stored)
        return std::nullopt;
    QList<AccountRecord> records;
    if (!ReadAccountFile(AccountMirrorPath(), records) || index >= records.size())
        return std::nullopt;
    return records.at(index);
}

std::optional<AccountRecord> UserAccounts::Member(int index) const {
    std::optional<AccountRecord> r = Record(index);
    if (r && r->Name.trimmed().isEmpty())
        return std::nullopt;
    return r;
}

UserEditRules UserAccounts::Rules(int index) const {
    const std::optional<AccountRecord> r = Member(index);
    if (!r)
        return RulesForNewEntry(IsSuperUser());
    return RulesForEntry(IsSuperUser(), runState().CurrentUserName, r->Name, r->Level);
}

int UserAccounts::NewUser() {
    m_entries.append({QStringLiteral("New User"), LevelFullAccess, false});
    return count() - 1;
}

QString UserAccounts::duplicateNameQuestion(const QString& name) {
    return QStringLiteral("Another member is already named ") + name + QStringLiteral(".\r\n") +
           QStringLiteral("The login uses only the later of the two records. Save anyway?");
}

bool UserAccounts::Apply(int index, const AccountRecord& wanted) {
    if (index < 0 || index >= count())
        return false;
    if (!m_loaded) {
        m_dialogs.message(QStringLiteral("The account file could not be read from the server, so no "
                                         "change can be saved."),
                          Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    AccountRecord record = wanted;
    record.Name = record.Name.left(kAccountNameSize);
    record.Password = record.Password.left(kAccountPasswordSize);
    const std::optional<AccountRecord> existing = Member(index);
    const QString name = record.Name.trimmed();
    const bool renamed = !existing || existing->Name.trimmed().toLower() != name.toLower();
    if (renamed && !IsAllowedMemberName(name)) {
        m_dialogs.message(underscoreMessage(), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    const QString refused = RightsError(IsSuperUser(), runState().CurrentUserName, existing, record);
    if (!refused.isEmpty()) {
        m_dialogs.message(refused, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }

    // A second record of the same name would leave one of the two unable to log in.
    if (renamed && !name.isEmpty()) {
        QList<AccountRecord> records;
        ReadAccountFile(AccountMirrorPath(), records);
        for (int i = 0; i < records.size(); ++i) {
            if (i == index || records.at(i).Name.trimmed().toLower() != name.toLower())
                continue;
            if (m_dialogs.message(duplicateNameQuestion(name), Dialogs::Icon::Warning,
                                  Dialogs::Yes | Dialogs::No, Dialogs::No) != Dialogs::Yes)
                return false;
            break;
        }
    }

    QString error;
    if (!WriteAccountRecord(AccountMirrorPath(), index + 1, record, &error)) {
        m_dialogs.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    // Entries before this one that were added but never applied now have blank records behind them.
    UserEntry& e = m_entries[index];
    e.text = name;
    e.level = record.Level;
    e.stored = true;
    return true;
}

bool UserAccounts::UpdateServer() {
    if (!m_loaded) {
        m_dialogs.message(QStringLiteral("The account file could not be read from the server, so it is not "
                                         "sent back."),
                          Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    m_notSaved.clear();
    QByteArray mine;
    QString error;
    if (!ReadWholeFile(AccountMirrorPath(), mine, &error)) {
        m_dialogs.message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    // Another administrator may have saved since the window read the file: each record goes back
    // as the host has it now unless it was changed here, and one changed on both sides keeps the
    // other administrator's version.
    SharedFileEdit edit;
    edit.hostPath = QLatin1Char('/') + QLatin1String(kAccountFileSitePath);
    edit.localCopy = AccountMirrorPath();
    edit.subject = QStringLiteral("the member accounts");
    edit.apply = [&](const QByteArray& current, bool, QString&) -> std::optional<QByteArray> {
        m_notSaved.clear();
        return MergeAccountFile(m_base, mine, current, &m_notSaved);
    };
    const SharedFileResult result = ChangeSharedFile(m_control, m_dialogs, edit);
    if (!result.ok) {
        // The member's edits stay in the mirror copy for the next try.
        WriteWholeFile(AccountMirrorPath(), mine);
        m_notSaved.clear();
        return false;
    }
    m_base = result.saved;
    WriteWholeFile(AccountMirrorPath(), result.saved);
    FillList();
    if (!m_notSaved.isEmpty())
        m_dialogs.message(notSavedMessage(m_notSaved), Dialogs::Icon::Warning, Dialogs::Ok);
    return true;
}

QString UserAccounts::underscoreMessage() {
    return QStringLiteral("Member names cannot begin with \"_\".");
}

QString UserAccounts::notSavedMessage(const QStringList& names) {
    return QStringLiteral("Your changes to ") + names.join(QStringLiteral(", ")) +
           QStringLiteral(" were not saved, because another administrator changed ") +
           (names.size() == 1 ? QStringLiteral("this member") : QStringLiteral("these members")) +
           QStringLiteral(" meanwhile.");
}

void UserAccounts::DiscardMirror() {
    QFile::remove(AccountMirrorPath());
}

} // namespace krtp
