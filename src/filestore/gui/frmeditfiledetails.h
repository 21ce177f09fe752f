#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace krtp {

class StoreOperations;

// The administrator's repair tool: every catalogue field of one entry and the member's local
// version. Each box carries in its "tag" property the key of the list column it shows. Modal.
class frmEditFileDetails : public QDialog {
    Q_OBJECT
public:
    // key: the list entry to edit; with none, Apply is disabled and the boxes stay empty.
    frmEditFileDetails(StoreOperations& ops, const QString& key, QWidget* parent = nullptr);

private:
    // Controls; each carries its name as objectName, by which tests find it.
    QLabel* lblFileName;
    QLineEdit* txtFileName;
    QLabel* Label1;
    QLineEdit* txtCheckedOutBy;
    QLabel* Label2;
    QLineEdit* txtLastComment;
    QLabel* Label3;
    QLineEdit* txtFileDescription;
    QLabel* Label4;
    QLineEdit* txtAuthor;
    QLabel* Label5;
    QLineEdit* txtServerVersion;
    QLabel* Label6;
    QLineEdit* txtLocalVersion;
    QPushButton* cmdApply;
    QPushButton* cmdClose;

    void cmdApply_Click();

    StoreOperations& m_ops;
    QString m_key;
};

} // namespace krtp
