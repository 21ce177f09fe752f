#pragma once

#include "util/keyedlistmodel.h"

namespace krtp {

// The entries of the explorer's file list: key and text = the file name as shown, small icon = an
// image key ("file", "filenotfound", "filedownload", "fileupload", "filedelete"), and the column
// "path" = the host path the actions work on. Operations read and write it; the window shows it.
class ExplorerFileModel : public KeyedListModel {
    Q_OBJECT
public:
    static constexpr char kPathColumn[] = "path";

    explicit ExplorerFileModel(QObject* parent = nullptr);

    void addFile(const QString& name, const QString& hostPath, const QString& iconKey);
    // Replaces every entry at once (a folder shown anew).
    struct File {
        QString name;
        QString hostPath;
        QString iconKey;
    };
    void setFiles(const QList<File>& files);
    QString hostPath(const QString& key) const;
    void setIcon(const QString& key, const QString& iconKey) { setIcons(key, iconKey, iconKey); }

    // Selection flags; the window follows these signals.
    void setSelected(const QString& key, bool selected);
    void setAllSelected(bool selected);
    // Keys of the selected entries in list order.
    QStringList selectedKeys() const;
    // The entry that has the focus (the one last clicked), when any.
    QString focusedKey() const { return m_focusedKey; }
    void setFocusedKey(const QString& key) { m_focusedKey = key; }

    void ensureVisible(const QString& key) { emit ensureVisibleRequested(key); }

signals:
    void selectionFlagsChanged();
    void ensureVisibleRequested(const QString& key);

private:
    QString m_focusedKey;
};

} // namespace krtp
