#include "filestore/gui/frmaddfile.h"

#include "filestore/addfiles.h"
#include "filestore/filestore.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace krtp {

frmAddFile::frmAddFile(StoreOperations& ops, QWidget* parent) : QDialog(parent), m_ops(ops) {
    setObjectName(QStringLiteral("frmAddFile"));
    setWindowTitle(QStringLiteral("Add File(s)"));
    setModal(true);
    m_list.setColumns({{QString(), QStringLiteral("File Name"), 2600}});

    lvwAddFileList = new QTreeView(this);
    lvwAddFileList->setObjectName(QStringLiteral("lvwAddFileList"));
    lvwAddFileList->setModel(&m_list);
    lvwAddFileList->setRootIsDecorated(false);
    lvwAddFileList->setUniformRowHeights(true);
    lvwAddFileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwAddFileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwAddFileList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwAddFileList->setColumnWidth(0, 2600 * logicalDpiX() / 1440);

    const auto button = [this](QPushButton*& b, const char* name, const char* caption) {
        b = new QPushButton(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
    };
    button(cmdAdd, "cmdAdd", "Add");
    cmdAdd->setIcon(QIcon(QStringLiteral(":/filelist/images/add.png")));
    button(cmdHideFiles, "cmdHideFiles", "Hide File(s)");
    button(cmdDeleteFiles, "cmdDeleteFiles", "Delete Files");
    button(cmdRefresh, "cmdRefresh", "Refresh");
    button(cmdClose, "cmdClose", "Close");
    cmdAdd->setDefault(true);
    lblHidden = new QLabel(QStringLiteral("file names added to _hidden.txt"), this);
    lblHidden->setObjectName(QStringLiteral("lblHidden"));
    lblHidden->hide();

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdAdd, cmdHideFiles, cmdDeleteFiles, cmdRefresh})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* row = new QHBoxLayout;
    row->addWidget(lvwAddFileList, 1);
    row->addLayout(buttons);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row, 1);
    column->addWidget(lblHidden);

    connect(lvwAddFileList, &QTreeView::pressed, lblHidden, &QWidget::hide);
    connect(cmdAdd, &QPushButton::clicked, this, &frmAddFile::cmdAdd_Click);
    connect(cmdHideFiles, &QPushButton::clicked, this, &frmAddFile::cmdHideFiles_Click);
    connect(cmdDeleteFiles, &QPushButton::clicked, this, &frmAddFile::cmdDeleteFiles_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmAddFile::RefreshList);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    resize(420, 340);
    (new WindowMemory(*this))->restore();
    RefreshList();
}

void frmAddFile::RefreshList() {
    BusyPointer busy(m_ops.store().dialogs());
    m_list.clear();
    const addfiles::Listing listing = addfiles::AddableFiles(m_ops.store().list());
    for (const QString& name : listing.names) {
        ListEntry e;
        e.key = name.toLower();
        e.text = name;
        m_list.add(e, false);
    }
    if (!listing.error.isEmpty())
        m_ops.store().dialogs().message(listing.error, Dialogs::Icon::Critical, Dialogs::Ok);
}

QStringList frmAddFile::selectedNames() const {
    QStringList names;
    const QItemSelectionModel* selection = lvwAddFileList->selectionModel();
    for (int row = 0; row < m_list.count(); ++row)
        if (selection->isSelected(m_list.index(row, 0)))
            names << m_list.at(row).text;
    return names;
}

void frmAddFile::showNotice(const QString& text) {
    lblHidden->setText(text);
    lblHidden->show();
}

void frmAddFile::cmdAdd_Click() {
    m_ops.AddFiles(selectedNames());
    RefreshList();
}

void frmAddFile::cmdHideFiles_Click() {
    QString error;
    if (!addfiles::HideFiles(selectedNames(), &error))
        m_ops.store().dialogs().message(addfiles::HideFailedMessage(error), Dialogs::Icon::Critical,
                                        Dialogs::Ok);
    else
        showNotice(addfiles::HiddenNotice());
    RefreshList();
}

void frmAddFile::cmdDeleteFiles_Click() {
    Dialogs& d = m_ops.store().dialogs();
    if (d.message(addfiles::DeleteQuestion(), Dialogs::Icon::Critical, Dialogs::Yes | Dialogs::No) !=
        Dialogs::Yes)
        return;
    const QStringList failed = addfiles::DeleteLocalFiles(selectedNames());
    showNotice(addfiles::DeletedNotice());
    RefreshList();
    if (!failed.isEmpty())
        d.message(addfiles::NotDeletedMessage(failed), Dialogs::Icon::Critical, Dialogs::Ok);
}

} // namespace krtp
