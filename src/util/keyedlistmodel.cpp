#include "util/keyedlistmodel.h"

#include <algorithm>

namespace krtp {

KeyedListModel::KeyedListModel(QObject* parent) : QAbstractTableModel(parent) {}

void KeyedListModel::setColumns(const QList<ListColumn>& columns) {
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

int KeyedListModel::columnIndex(const QString& key) const {
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].key == key)
            return i;
    return -1;
}

void KeyedListModel::clear() {
    beginResetModel();
    m_entries.clear();
    m_index.clear();
    endResetModel();
}

bool KeyedListModel::add(const ListEntry& entry, bool replace) {
    const int existing = m_index.value(entry.key, -1);
    if (existing >= 0) {
        if (!replace)
            return false;
        m_entries[existing] = entry;
        emit dataChanged(index(existing, 0), index(existing, columnCount() - 1));
    } else {
        const int row = int(m_entries.size());
        beginInsertRows({}, row, row);
        m_entries.append(entry);
        m_index.insert(entry.key, row);
        endInsertRows();
    }
    if (m_sorted)
        applySort();
    return true;
}

bool KeyedListModel::remove(const QString& key) {
    const int row = m_index.value(key, -1);
    if (row < 0)
        return false;
    beginRemoveRows({}, row, row);
    m_entries.removeAt(row);
    reindex();
    endRemoveRows();
    return true;
}

ListEntry* KeyedListModel::find(const QString& key) {
    const int row = m_index.value(key, -1);
    return row < 0 ? nullptr : &m_entries[row];
}

const ListEntry* KeyedListModel::find(const QString& key) const {
    const int row = m_index.value(key, -1);
    return row < 0 ? nullptr : &m_entries[row];
}

QString KeyedListModel::columnText(const QString& key, const QString& columnKey) const {
    const ListEntry* e = find(key);
    return e ? e->columns.value(columnKey) : QString();
}

void KeyedListModel::setColumnText(const QString& key, const QString& columnKey, const QString& value) {
    if (ListEntry* e = find(key)) {
        e->columns.insert(columnKey, value);
        rowChanged(key);
        // A column's own sort text counts as that column.
        const QString sorted = SortKeyOf(QString());
        const QString column = columnKey.endsWith(sorted) ? columnKey.chopped(sorted.size()) : columnKey;
        if (m_sorted && columnIndex(column) == m_sortKey)
            applySort();
    }
}

void KeyedListModel::setIcons(const QString& key, const QString& iconKey, const QString& smallIconKey) {
    if (ListEntry* e = find(key)) {
        e->iconKey = iconKey;
        e->smallIconKey = smallIconKey;
        rowChanged(key);
    }
}

void KeyedListModel::setSelected(const QString& key, bool selected) {
    if (ListEntry* e = find(key))
        e->selected = selected;
}

void KeyedListModel::setColour(const QString& key, const QString& colour) {
    if (ListEntry* e = find(key)) {
        e->colour = colour;
        rowChanged(key);
    }
}

void KeyedListModel::setPosition(const QString& key, const QPoint& pos) {
    if (ListEntry* e = find(key)) {
        e->position = pos;
        e->hasPosition = true;
    }
}

QList<ListEntry*> KeyedListModel::selectedEntries() {
    QList<ListEntry*> result;
    for (ListEntry& e : m_entries)
        if (e.selected)
            result.append(&e);
    return result;
}

int KeyedListModel::selectedCount() const {
    return int(
        std::count_if(m_entries.begin(), m_entries.end(), [](const ListEntry& e) { return e.selected; }));
}

void KeyedListModel::setSorting(bool sorted, int sortKey, bool descending) {
    m_sorted = sorted;
    m_sortKey = sortKey;
    m_descending = descending;
    if (m_sorted)
        applySort();
}

void KeyedListModel::refreshAll() {
    if (!m_entries.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

QString KeyedListModel::cellText(const ListEntry& entry, int column) const {
    if (column <= 0 || column >= m_columns.size())
        return entry.text;
    return entry.columns.value(m_columns[column].key);
}

QString KeyedListModel::sortText(const ListEntry& entry, int column) const {
    if (column > 0 && column < m_columns.size()) {
        const auto own = entry.columns.constFind(SortKeyOf(m_columns[column].key));
        if (own != entry.columns.constEnd())
            return *own;
    }
    return cellText(entry, column);
}

void KeyedListModel::applySort() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Views keep their selection and current entry as persistent indexes: move them with their entries.
    const QModelIndexList before = persistentIndexList();
    QStringList keys;
    keys.reserve(before.size());
    for (const QModelIndex& i : before)
        keys << m_entries.at(i.row()).key;
    const int column = m_sortKey;
    const bool descending = m_descending;
    std::stable_sort(m_entries.begin(), m_entries.end(), [&](const ListEntry& a, const ListEntry& b) {
        const int c = QString::compare(sortText(a, column), sortText(b, column), Qt::CaseInsensitive);
        return descending ? c > 0 : c < 0;
    });
    reindex();
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(m_index.value(keys.at(i)), before.at(i).column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void KeyedListModel::reindex() {
    m_index.clear();
    for (int i = 0; i < m_entries.size(); ++i)
        m_index.insert(m_entries[i].key, i);
}

void KeyedListModel::rowChanged(const QString& key) {
    const int row = m_index.value(key, -1);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int KeyedListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_entries.size());
}

int KeyedListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(1, int(m_columns.size()));
}

QVariant KeyedListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const ListEntry& e = m_entries[index.row()];
    // A window may explain a cell better than its text does.
    if (role == Qt::ToolTipRole && m_roleProvider) {
        const QVariant tip = m_roleProvider(e, index.column(), role);
        if (tip.isValid())
            return tip;
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(e, index.column());
    if (role == Qt::UserRole)
        return e.key;
    if (m_roleProvider)
        return m_roleProvider(e, index.column(), role);
    return {};
}

QVariant KeyedListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns[section].header;
    return QAbstractTableModel::headerData(section, orientation, role);
}

void SortListByColumn(KeyedListModel& list, int column) {
    bool descending = list.sortDescending();
    if (list.sortKey() == column)
        descending = !descending;
    list.setSorting(true, column, descending);
}

} // namespace krtp
