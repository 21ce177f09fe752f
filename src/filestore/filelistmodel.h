#pragma once

#include "filestore/filestatus.h"
#include "util/keyedlistmodel.h"

namespace krtp {

// The file list's entries: key = file name in lower case, text = the name as catalogued, small icon
// = an image key, columns by key (see filestatus.h), a selected flag and, in the small-icon view, a
// position. Store operations read and write it; the window only shows it.
class FileListModel : public KeyedListModel {
    Q_OBJECT
public:
    // View styles of the list.
    enum ViewStyle { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };

    explicit FileListModel(QObject* parent = nullptr);

    // The seven columns with their captions and widths.
    static QList<ListColumn> standardColumns();

    int viewStyle() const { return m_viewStyle; }
    void setViewStyle(int style);

    // Adds an entry; false when an entry with the same key exists already.
    bool addFile(const QString& name, const QString& smallIcon, const QHash<QString, QString>& columns);

    // Selection flags; the window follows these signals.
    void setSelected(const QString& key, bool selected);
    void setAllSelected(bool selected);
    // Key of the entry that has the focus in the window, when any.
    QString focusedKey() const { return m_focusedKey; }
    void setFocusedKey(const QString& key) { m_focusedKey = key; }

    // While filling, sorting waits until endFill(), so a rebuild sorts once.
    void beginFill();
    void endFill();

    // Whether the list takes input (off while a rebuild runs).
    bool inputEnabled() const { return m_inputEnabled; }
    void setInputEnabled(bool enabled);

    // Asks views to bring an entry into view.
    void ensureVisible(const QString& key) { emit ensureVisibleRequested(key); }

signals:
    // One entry's flag changed; selectionFlagsChanged: any number of them.
    void entrySelectionChanged(const QString& key, bool selected);
    void selectionFlagsChanged();
    void viewStyleChanged(int style);
    void inputEnabledChanged(bool enabled);
    void ensureVisibleRequested(const QString& key);

private:
    int m_viewStyle = Details;
    QString m_focusedKey;
    bool m_inputEnabled = true;
    bool m_filling = false;
    bool m_fillSorted = false;
};

} // namespace krtp
