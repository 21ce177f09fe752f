#include "sitetools/explorerfilemodel.h"

namespace krtp {

ExplorerFileModel::ExplorerFileModel(QObject* parent) : KeyedListModel(parent) {
    setColumns({ListColumn{QString(), QStringLiteral("Name"), 2880}});
}

void ExplorerFileModel::addFile(const QString& name, const QString& hostPath, const QString& iconKey) {
    ListEntry e;
    e.key = name;
    e.text = name;
    e.iconKey = iconKey;
    e.smallIconKey = iconKey;
    e.columns.insert(QLatin1String(kPathColumn), hostPath);
    add(e);
}

void ExplorerFileModel::setFiles(const QList<File>& files) {
    m_focusedKey.clear();
    clear();
    for (const File& f : files)
        addFile(f.name, f.hostPath, f.iconKey);
}

QString ExplorerFileModel::hostPath(const QString& key) const {
    return columnText(key, QLatin1String(kPathColumn));
}

void ExplorerFileModel::setSelected(const QString& key, bool selected) {
    const ListEntry* e = find(key);
    if (!e || e->selected == selected)
        return;
    KeyedListModel::setSelected(key, selected);
    emit selectionFlagsChanged();
}

void ExplorerFileModel::setAllSelected(bool selected) {
    for (const ListEntry& e : entries())
        KeyedListModel::setSelected(e.key, selected);
    emit selectionFlagsChanged();
}

QStringList ExplorerFileModel::selectedKeys() const {
    QStringList keys;
    for (const ListEntry& e : entries())
        if (e.selected)
            keys << e.key;
    return keys;
}

} // namespace krtp
