#include "filestore/filelistmodel.h"

namespace krtp {

FileListModel::FileListModel(QObject* parent) : KeyedListModel(parent) {
    setColumns(standardColumns());
}

QList<ListColumn> FileListModel::standardColumns() {
    return {
        {QString(), QStringLiteral("File Name"), 1440},
        {QLatin1String(columns::kOwner), QStringLiteral("Checked Out"), 720},
        {QLatin1String(columns::kComment), QStringLiteral("Last Updated By"), 2880},
        {QLatin1String(columns::kDesc), QStringLiteral("File Description"), 2880},
        {QLatin1String(columns::kAuthor), QStringLiteral("Owner"), 720},
        {QLatin1String(columns::kVer), QStringLiteral("Latest Version"), 720},
        {QLatin1String(columns::kMyVer), QStringLiteral("My Version"), 720},
    };
}

void FileListModel::setViewStyle(int style) {
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    emit viewStyleChanged(style);
}

bool FileListModel::addFile(const QString& name, const QString& smallIcon,
                            const QHash<QString, QString>& cols) {
    ListEntry e;
    e.key = name.toLower();
    e.text = name;
    e.iconKey = smallIcon;
    e.smallIconKey = smallIcon;
    e.columns = cols;
    return add(e, false);
}

void FileListModel::setSelected(const QString& key, bool selected) {
    ListEntry* e = find(key);
    if (!e || e->selected == selected)
        return;
    e->selected = selected;
    emit entrySelectionChanged(key, selected);
}

void FileListModel::setAllSelected(bool selected) {
    for (const ListEntry& e : entries())
        KeyedListModel::setSelected(e.key, selected);
    emit selectionFlagsChanged();
}

void FileListModel::beginFill() {
    if (m_filling)
        return;
    m_filling = true;
    m_fillSorted = sorted();
    if (m_fillSorted)
        setSorting(false, sortKey(), sortDescending());
}

void FileListModel::endFill() {
    if (!m_filling)
        return;
    m_filling = false;
    if (m_fillSorted)
        setSorting(true, sortKey(), sortDescending());
}

void FileListModel::setInputEnabled(bool enabled) {
    if (enabled == m_inputEnabled)
        return;
    m_inputEnabled = enabled;
    emit inputEnabledChanged(enabled);
}

} // namespace krtp
