#include "filestore/gui/frmeditfiledetails.h"

#include "filestore/filestore.h"
#include "filestore/owneractions.h"
#include "filestore/storeoperations.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace krtp {

frmEditFileDetails::frmEditFileDetails(StoreOperations& ops, const QString& key, QWidget* parent)
    : QDialog(parent), m_ops(ops) {
    setObjectName(QStringLiteral("frmEditFileDetails"));
    setWindowTitle(QStringLiteral("Edit File Detials"));
    setModal(true);
    auto* grid = new QGridLayout;
    int row = 0;
    const auto field = [&](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& box,
                           const char* boxName, const char* tag) {
        label = new QLabel(QLatin1String(caption), this);
        label->setObjectName(QLatin1String(labelName));
        box = new QLineEdit(this);
        box->setObjectName(QLatin1String(boxName));
        box->setProperty("tag", QLatin1String(tag));
        box->setMinimumWidth(300);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    };
    field(lblFileName, "lblFileName", "File Name:", txtFileName, "txtFileName", "filename");
    field(Label1, "Label1", "Checked Out By:", txtCheckedOutBy, "txtCheckedOutBy", "owner");
    field(Label2, "Label2", "Last Comment:", txtLastComment, "txtLastComment", "comment");
    field(Label3, "Label3", "File Description:", txtFileDescription, "txtFileDescription", "desc");
    field(Label4, "Label4", "Author:", txtAuthor, "txtAuthor", "author");
    field(Label5, "Label5", "Server Version:", txtServerVersion, "txtServerVersion", "ver");
    field(Label6, "Label6", "Local Version:", txtLocalVersion, "txtLocalVersion", "myver");
    txtFileName->setReadOnly(true);

    cmdApply = new QPushButton(QStringLiteral("&Apply"), this);
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdClose = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdApply);
    buttons->addWidget(cmdClose);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(buttons);

    const ListEntry* e = m_ops.store().list().find(key);
    if (!e) {
        cmdApply->setEnabled(false);
    } else {
        m_key = key;
        const StoreOperations::FileDetailsEdit d = DetailsOfEntry(*e);
        txtFileName->setText(d.fileName);
        txtCheckedOutBy->setText(d.checkedOutBy);
        txtLastComment->setText(d.lastComment);
        txtFileDescription->setText(d.description);
        txtAuthor->setText(d.author);
        txtServerVersion->setText(d.serverVersion);
        txtLocalVersion->setText(d.localVersion);
    }
    connect(cmdApply, &QPushButton::clicked, this, &frmEditFileDetails::cmdApply_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
}

void frmEditFileDetails::cmdApply_Click() {
    if (!m_key.isEmpty()) {
        StoreOperations::FileDetailsEdit d;
        d.fileName = txtFileName->text();
        d.checkedOutBy = txtCheckedOutBy->text();
        d.lastComment = txtLastComment->text();
        d.description = txtFileDescription->text();
        d.author = txtAuthor->text();
        d.serverVersion = txtServerVersion->text();
        d.localVersion = txtLocalVersion->text();
        m_ops.EditFileDetails(m_key, d);
    }
    accept();
}

} // namespace krtp
