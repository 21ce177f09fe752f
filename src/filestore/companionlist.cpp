#include "filestore/companionlist.h"

#include "filestore/catalogue.h"
#include "filestore/filelistmodel.h"
#include "filestore/filestatus.h"

namespace krtp {

CompanionListModel::CompanionListModel(CompanionKind kind, FileListModel& source, QObject* parent)
    : KeyedListModel(parent), m_kind(kind), m_source(source) {
    setColumns(CopyColumns(source.columnDefinitions()));
}

bool CompanionListModel::Takes(CompanionKind kind, const ListEntry& e, const QString& userName) {
    if (kind == CompanionKind::CheckedOut)
        return !userName.isEmpty() && e.columns.value(QLatin1String(columns::kOwner)) == userName;
    return LeadingNumber(e.columns.value(QLatin1String(columns::kVer))) !=
           LeadingNumber(e.columns.value(QLatin1String(columns::kMyVer)));
}

QList<ListColumn> CompanionListModel::CopyColumns(const QList<ListColumn>& cols) {
    QList<ListColumn> out = cols;
    for (ListColumn& c : out)
        if (c.key.isEmpty() || c.key == QLatin1String(columns::kFileName))
            c.widthTwips += 360;
    return out;
}

void CompanionListModel::RefreshList(const QString& userName) {
    clear();
    m_ticked.clear();
    for (const ListEntry& source : m_source.entries()) {
        if (!Takes(m_kind, source, userName))
            continue;
        ListEntry e;
        e.key = source.key;
        e.text = source.text;
        e.columns = source.columns;
        e.smallIconKey = GetIcon(false, source.smallIconKey, source.text);
        e.iconKey = e.smallIconKey;
        add(e, false);
        m_ticked.insert(e.key);
    }
}

void CompanionListModel::setTicked(const QString& key, bool ticked) {
    if (!contains(key) || isTicked(key) == ticked)
        return;
    if (ticked)
        m_ticked.insert(key);
    else
        m_ticked.remove(key);
    const QModelIndex i = index(rowOf(key), 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

QStringList CompanionListModel::tickedKeys() const {
    QStringList keys;
    for (const ListEntry& e : entries())
        if (m_ticked.contains(e.key))
            keys << e.key;
    return keys;
}

void CompanionListModel::SelectTickedInSource() const {
    m_source.setAllSelected(false);
    for (const QString& key : tickedKeys())
        if (m_source.contains(key))
            m_source.setSelected(key, true);
}

Qt::ItemFlags CompanionListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = KeyedListModel::flags(index);
    if (index.isValid() && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant CompanionListModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::CheckStateRole && index.isValid() && index.column() == 0 && index.row() < count())
        return isTicked(at(index.row()).key) ? Qt::Checked : Qt::Unchecked;
    return KeyedListModel::data(index, role);
}

bool CompanionListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 || index.row() >= count())
        return false;
    setTicked(at(index.row()).key, value.toInt() == Qt::Checked);
    return true;
}

} // namespace krtp
