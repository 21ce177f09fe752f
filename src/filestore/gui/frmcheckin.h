#pragma once

#include "filestore/checkinchoices.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace krtp {

// The check-in dialog: asks for the comment and the keep / don't-update choices of one file. Made
// once and only hidden when closed, so it shows the last answers again; its rules live in
// CheckInChoices.
class frmCheckIn : public QDialog, public CheckInPrompt {
    Q_OBJECT
public:
    explicit frmCheckIn(QWidget* parent = nullptr);

    bool Do_CheckInFile(const QString& pstrFileName, QString& pstrComment, bool& pblnKeepCheckedOut,
                        bool& pblnCheckInAll, bool& pblnDontUpdateServer) override;

    const CheckInChoices& choices() const { return m_choices; }

private:
    // Controls; each carries its name as objectName, by which tests find it.
    QLabel* lblCheckingInFileLabel;
    QLineEdit* txtCheckingInFile;
    QLabel* Label1;
    QLineEdit* txtComments;
    QCheckBox* chkKeepFileCheckedOut;
    QCheckBox* chkRevert;
    QPushButton* cmdCheckIn;
    QPushButton* cmdCheckInAll;
    QPushButton* cmdCancel;

    void showChoices();
    void onCommentEdited(const QString& text);

    CheckInChoices m_choices;
    bool m_accepted = false;
    bool m_all = false;
};

} // namespace krtp
