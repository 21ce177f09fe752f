#pragma once

#include <QDialog>
#include <QList>

class QPushButton;
class QTextEdit;
class QTreeWidget;

namespace krtp {

class StoreOperations;

// The versions the store keeps of one file, newest first: view one, save it elsewhere, compare two
// (or one with the member's own copy), and restore one as the newest version.
class frmHistory : public QDialog {
    Q_OBJECT
public:
    frmHistory(StoreOperations& ops, const QString& key, QWidget* parent = nullptr);

    void LoadVersions();
    void ViewVersion();
    void SaveVersionAs();
    void CompareVersions();
    void RestoreVersion();

    QTreeWidget* lvwVersions;
    QTextEdit* txtShow; // the viewed version or the comparison, read-only
    QPushButton* cmdView;
    QPushButton* cmdSaveAs;
    QPushButton* cmdCompare;
    QPushButton* cmdRestore;
    QPushButton* cmdClose;

private:
    QList<int> selectedVersions() const;
    bool fetch(int version, QByteArray& data);
    void enableButtons();

    StoreOperations& m_ops;
    QString m_key;
    QString m_name;
    int m_current = 0;
};

} // namespace krtp
