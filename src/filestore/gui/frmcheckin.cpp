#include "filestore/gui/frmcheckin.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace krtp {

frmCheckIn::frmCheckIn(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCheckIn"));
    setWindowTitle(QStringLiteral("Check In"));
    setModal(true);
    const auto named = [](QWidget* w, const char* name) { w->setObjectName(QLatin1String(name)); };

    lblCheckingInFileLabel = new QLabel(QStringLiteral("Checking In &File:"), this);
    named(lblCheckingInFileLabel, "lblCheckingInFileLabel");
    txtCheckingInFile = new QLineEdit(this);
    named(txtCheckingInFile, "txtCheckingInFile");
    txtCheckingInFile->setReadOnly(true);
    // Shown, and selectable with the mouse, but not where the keyboard starts.
    txtCheckingInFile->setFocusPolicy(Qt::ClickFocus);
    lblCheckingInFileLabel->setBuddy(txtCheckingInFile);
    Label1 = new QLabel(QStringLiteral("Co&mments:"), this);
    named(Label1, "Label1");
    txtComments = new QLineEdit(this);
    named(txtComments, "txtComments");
    txtComments->setMinimumWidth(360);
    Label1->setBuddy(txtComments);
    chkKeepFileCheckedOut =
        new QCheckBox(QStringLiteral("&Keep file checked out (update server only)"), this);
    named(chkKeepFileCheckedOut, "chkKeepFileCheckedOut");
    chkRevert = new QCheckBox(QStringLiteral("&Don't update server (you will lose your changes)"), this);
    named(chkRevert, "chkRevert");
    cmdCheckIn = new QPushButton(QStringLiteral("&Check In"), this);
    named(cmdCheckIn, "cmdCheckIn");
    cmdCheckIn->setDefault(true);
    cmdCheckInAll = new QPushButton(QStringLiteral("Check In &All"), this);
    named(cmdCheckInAll, "cmdCheckInAll");
    cmdCancel = new QPushButton(QStringLiteral("Canc&el"), this);
    named(cmdCancel, "cmdCancel");

    auto* grid = new QGridLayout;
    grid->addWidget(lblCheckingInFileLabel, 0, 0);
    grid->addWidget(txtCheckingInFile, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(txtComments, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCheckIn);
    buttons->addWidget(cmdCheckInAll);
    buttons->addWidget(cmdCancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(chkKeepFileCheckedOut);
    column->addWidget(chkRevert);
    column->addLayout(buttons);

    connect(txtComments, &QLineEdit::textEdited, this, &frmCheckIn::onCommentEdited);
    connect(chkKeepFileCheckedOut, &QCheckBox::toggled, this, [this](bool on) {
        m_choices.setKeep(on);
        showChoices();
    });
    connect(chkRevert, &QCheckBox::toggled, this, [this](bool on) {
        m_choices.setRevert(on);
        showChoices();
    });
    connect(cmdCheckIn, &QPushButton::clicked, this, [this] {
        m_accepted = true;
        done(QDialog::Accepted);
    });
    connect(cmdCheckInAll, &QPushButton::clicked, this, [this] {
        m_accepted = true;
        m_all = true;
        done(QDialog::Accepted);
    });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    showChoices();
}

void frmCheckIn::showChoices() {
    const QSignalBlocker b1(chkKeepFileCheckedOut);
    const QSignalBlocker b2(chkRevert);
    chkKeepFileCheckedOut->setChecked(m_choices.keep());
    chkRevert->setChecked(m_choices.revert());
    chkKeepFileCheckedOut->setEnabled(m_choices.keepEnabled());
    chkRevert->setEnabled(m_choices.revertEnabled());
    txtComments->setEnabled(m_choices.commentEnabled());
    if (txtComments->text() != m_choices.comment())
        txtComments->setText(m_choices.comment());
}

void frmCheckIn::onCommentEdited(const QString& text) {
    m_choices.setComment(text);
    if (m_choices.comment() == text)
        return;
    // The quote rule swaps one character for one: caret and selection stay where they were.
    const int cursor = txtComments->cursorPosition();
    const int start = txtComments->selectionStart();
    const int length = txtComments->selectionLength();
    const QSignalBlocker block(txtComments);
    txtComments->setText(m_choices.comment());
    if (start >= 0 && length > 0) {
        if (cursor == start)
            txtComments->setSelection(start + length, -length);
        else
            txtComments->setSelection(start, length);
    } else {
        txtComments->setCursorPosition(cursor);
    }
}

bool frmCheckIn::Do_CheckInFile(const QString& pstrFileName, QString& pstrComment, bool& pblnKeepCheckedOut,
                                bool& pblnCheckInAll, bool& pblnDontUpdateServer) {
    m_accepted = false;
    m_all = false;
    txtCheckingInFile->setText(pstrFileName);
    showChoices();
    // The member comes to type the comment; the file name is only shown.
    if (txtComments->isEnabled()) {
        txtComments->setFocus();
        txtComments->selectAll();
    } else {
        cmdCheckIn->setFocus();
    }
    // Cancel, Escape and the close box only hide the dialog: the accepted flag stays clear.
    exec();
    pstrComment = m_choices.comment();
    pblnKeepCheckedOut = m_choices.keep();
    pblnDontUpdateServer = m_choices.revert();
    pblnCheckInAll = m_all;
    return m_accepted;
}

} // namespace krtp
