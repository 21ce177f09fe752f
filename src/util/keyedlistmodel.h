#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>
#include <functional>

namespace krtp {

// One row of a keyed list: the entry's text is column 0, other columns are addressed by key.
struct ListEntry {
    QString key;
    QString text;
    QString iconKey;      // picture in the large-icon view
    QString smallIconKey; // picture in the other views
    QHash<QString, QString> columns;
    bool selected = false;
    bool hasPosition = false;
    QPoint position; // icon position in the small-icon view
    QString colour;  // text colour name, empty for the default
};

// A column whose text does not sort as it reads (a size such as "8 bytes" or "2 KB") keeps the text to
// sort by beside it, under this key.
inline QString SortKeyOf(const QString& columnKey) {
    return columnKey + QStringLiteral(".sort");
}
// A size's sort text: the number of bytes, zero-padded so that text order is number order.
inline QString SizeSortText(qint64 bytes) {
    return QStringLiteral("%1").arg(bytes, 19, 10, QLatin1Char('0'));
}

struct ListColumn {
    QString key; // empty for column 0, the entry's text
    QString header;
    int widthTwips = 1440;
};

// The list model behind every keyed list view of the program. Operations read and write entries by
// key; windows show the model. Sorting follows the column text, ignoring case.
class KeyedListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit KeyedListModel(QObject* parent = nullptr);

    void setColumns(const QList<ListColumn>& columns);
    const QList<ListColumn>& columnDefinitions() const { return m_columns; }
    int columnIndex(const QString& key) const;

    void clear();
    // Adds an entry; an existing entry with the same key is replaced. Returns false for a duplicate key
    // only when replace is false.
    bool add(const ListEntry& entry, bool replace = true);
    bool remove(const QString& key);
    bool contains(const QString& key) const { return m_index.contains(key); }
    ListEntry* find(const QString& key);
    const ListEntry* find(const QString& key) const;
    QString columnText(const QString& key, const QString& columnKey) const;
    void setColumnText(const QString& key, const QString& columnKey, const QString& value);
    void setIcons(const QString& key, const QString& iconKey, const QString& smallIconKey);
    void setSelected(const QString& key, bool selected);
    void setColour(const QString& key, const QString& colour);
    void setPosition(const QString& key, const QPoint& pos);

    // Entries in display order.
    const QList<ListEntry>& entries() const { return m_entries; }
    QList<ListEntry*> selectedEntries();
    int selectedCount() const;
    const ListEntry& at(int row) const { return m_entries.at(row); }
    int rowOf(const QString& key) const { return m_index.value(key, -1); }
    int count() const { return int(m_entries.size()); }

    bool sorted() const { return m_sorted; }
    int sortKey() const { return m_sortKey; }
    bool sortDescending() const { return m_descending; }
    void setSorting(bool sorted, int sortKey, bool descending);

    // Lets the window add pictures and colours without the model knowing about them.
    using RoleProvider = std::function<QVariant(const ListEntry&, int column, int role)>;
    void setRoleProvider(RoleProvider provider) { m_roleProvider = std::move(provider); }
    void refreshAll();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    QString cellText(const ListEntry& entry, int column) const;

private:
    void reindex();
    QString sortText(const ListEntry& entry, int column) const;
    void applySort();
    void rowChanged(const QString& key);

    QList<ListColumn> m_columns;
    QList<ListEntry> m_entries;
    QHash<QString, int> m_index;
    bool m_sorted = false;
    int m_sortKey = 0;
    bool m_descending = false;
    RoleProvider m_roleProvider;
};

// First click on a column sorts by it in the current order; a second click reverses the order.
void SortListByColumn(KeyedListModel& list, int column);

} // namespace krtp
