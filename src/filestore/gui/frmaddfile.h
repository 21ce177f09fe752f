#pragma once

#include "util/keyedlistmodel.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeView;

namespace krtp {

class StoreOperations;

// Adds local files to the shared store: lists the local folder's files that are neither catalogued
// nor hidden; adds, hides or deletes the selected ones. Modal, owned by the file list window.
class frmAddFile : public QDialog {
    Q_OBJECT
public:
    explicit frmAddFile(StoreOperations& ops, QWidget* parent = nullptr);

    // Rebuilds the list from the local folder.
    void RefreshList();
    // Names of the selected entries in list order.
    QStringList selectedNames() const;

private:
    // Controls; each carries its name as objectName, by which tests find it.
    QTreeView* lvwAddFileList;
    QPushButton* cmdAdd;
    QPushButton* cmdHideFiles;
    QPushButton* cmdDeleteFiles;
    QPushButton* cmdRefresh;
    QPushButton* cmdClose;
    QLabel* lblHidden;

    void cmdAdd_Click();
    void cmdHideFiles_Click();
    void cmdDeleteFiles_Click();
    void showNotice(const QString& text);

    StoreOperations& m_ops;
    KeyedListModel m_list;
};

} // namespace krtp
