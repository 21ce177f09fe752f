#pragma once

#include "util/keyedlistmodel.h"

#include <QSet>
#include <QStringList>

namespace krtp {

class FileListModel;

// The two companion lists of the file list: the member's check-outs and the out-of-date files. Both
// copy what the file list shows; the member unticks entries and the ticked ones go back to the file
// list as its selection for one operation (check-in or get latest version).
enum class CompanionKind { CheckedOut, Outdated };

class CompanionListModel : public KeyedListModel {
    Q_OBJECT
public:
    CompanionListModel(CompanionKind kind, FileListModel& source, QObject* parent = nullptr);

    CompanionKind kind() const { return m_kind; }

    // Checked out: the controller is exactly the member's name (letter case included). Out of date:
    // the catalogue and local versions differ as numbers; the member's own check-outs count too.
    static bool Takes(CompanionKind kind, const ListEntry& entry, const QString& userName);
    // The file list's columns with "File Name" 360 twips wider, leaving room for the tick box.
    static QList<ListColumn> CopyColumns(const QList<ListColumn>& columns);

    // Rebuilds the list from the file list: every taken entry in its order, ticked.
    void RefreshList(const QString& userName);

    bool isTicked(const QString& key) const { return m_ticked.contains(key); }
    void setTicked(const QString& key, bool ticked);
    // Ticked keys in list order.
    QStringList tickedKeys() const;
    // Deselects every entry of the file list and selects the ticked ones it still holds.
    void SelectTickedInSource() const;

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    CompanionKind m_kind;
    FileListModel& m_source;
    QSet<QString> m_ticked;
};

} // namespace krtp
