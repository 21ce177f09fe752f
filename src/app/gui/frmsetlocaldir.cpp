#include "app/gui/frmsetlocaldir.h"

#include "app/localfolder.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace krtp {

frmSetLocalDir::frmSetLocalDir(QWidget* parent, SettingsStore* store)
    : QDialog(parent), m_store(store ? *store : settingsStore()) {
    setObjectName(QStringLiteral("frmSetLocalDir"));
    setWindowTitle(QStringLiteral("Set Local Folder"));
    setModal(true);

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setRootPath(QDir::rootPath());

    dirLocalFolder = new QTreeView(this);
    dirLocalFolder->setObjectName(QStringLiteral("dirLocalFolder"));
    dirLocalFolder->setModel(m_model);
    dirLocalFolder->setRootIndex(m_model->index(QDir::rootPath()).parent());
    for (int c = 1; c < m_model->columnCount(); ++c)
        dirLocalFolder->hideColumn(c);
    dirLocalFolder->header()->hide();
    dirLocalFolder->setSelectionMode(QAbstractItemView::SingleSelection);

    lblSetLocalFolder = new QLabel(this);
    lblSetLocalFolder->setObjectName(QStringLiteral("lblSetLocalFolder"));
    lblSetLocalFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    cmdSetLocalDir = new QPushButton(QStringLiteral("Set Local Folder"), this);
    cmdSetLocalDir->setObjectName(QStringLiteral("cmdSetLocalDir"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdSetLocalDir->setDefault(true);

    // The tree and label take the space, the buttons keep to the bottom right.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSetLocalDir);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(dirLocalFolder, 1);
    layout->addWidget(lblSetLocalFolder);
    layout->addLayout(buttons);

    connect(dirLocalFolder->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { lblSetLocalFolder->setText(treePath()); });
    // The model fills and sorts folders in the background, which moves rows: keep the chosen folder
    // in view as they arrive, until the member starts using the tree.
    const auto follow = [this] {
        if (m_followCurrent)
            dirLocalFolder->scrollTo(dirLocalFolder->currentIndex(), QAbstractItemView::PositionAtCenter);
    };
    connect(m_model, &QFileSystemModel::directoryLoaded, this, follow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, follow);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, follow);
    dirLocalFolder->viewport()->installEventFilter(this);
    dirLocalFolder->installEventFilter(this);
    connect(dirLocalFolder->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { m_followCurrent = false; });
    connect(cmdSetLocalDir, &QPushButton::clicked, this, &frmSetLocalDir::cmdSetLocalDir_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (runState().LocalFolder.isEmpty() || !setTreePath(runState().LocalFolder))
        setTreePath(QDir::currentPath());
    lblSetLocalFolder->setText(treePath());
    resize(480, 420);
}

bool frmSetLocalDir::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
    case QEvent::KeyPress:
        m_followCurrent = false;
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

QString frmSetLocalDir::treePath() const {
    const QModelIndex index = dirLocalFolder->currentIndex();
    return index.isValid() ? m_model->filePath(index) : QDir::currentPath();
}

bool frmSetLocalDir::setTreePath(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return false;
    const QModelIndex index = m_model->index(QDir::cleanPath(info.absoluteFilePath()));
    if (!index.isValid())
        return false;
    dirLocalFolder->setCurrentIndex(index);
    dirLocalFolder->scrollTo(index);
    dirLocalFolder->expand(index);
    return true;
}

void frmSetLocalDir::cmdSetLocalDir_Click() {
    const QString path = LocalFolderPath(treePath());
    if (dialogs().message(SetLocalFolderQuestion(path), Dialogs::Icon::None, Dialogs::Yes | Dialogs::No) !=
        Dialogs::Yes)
        return;
    QString error;
    if (!ApplyLocalFolder(m_store, path, &error)) {
        dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
        return;
    }
    accept();
}

} // namespace krtp
