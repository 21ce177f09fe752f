#include "filestore/gui/frmcompanionlist.h"

#include "config/runstate.h"
#include "filestore/gui/frmfilelist.h"
#include "platform/gui/windowmemory.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>

namespace krtp {

frmCompanionList::frmCompanionList(CompanionKind kind, const Texts& texts, frmFileList& owner)
    : QWidget(&owner, Qt::Window), m_owner(owner), m_list(kind, owner.model()),
      m_unloaded(std::make_shared<bool>(false)) {
    setObjectName(QLatin1String(texts.objectName));
    setWindowTitle(QLatin1String(texts.caption));
    setAttribute(Qt::WA_DeleteOnClose);
    m_list.setRoleProvider([this](const ListEntry& e, int column, int role) -> QVariant {
        if (role == Qt::DecorationRole && column == 0)
            return m_owner.image(e.smallIconKey);
        return {};
    });

    m_view = new QTreeView(this);
    m_view->setObjectName(QLatin1String(texts.listName));
    m_view->setModel(&m_list);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setIconSize(QSize(16, 16));
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->header()->setSectionsClickable(true);
    // The last column takes the free width; the others are fitted to caption and content.
    m_view->header()->setStretchLastSection(true);
    connect(m_view->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        SortListByColumn(m_list, column);
        m_view->header()->setSortIndicatorShown(true);
        m_view->header()->setSortIndicator(column, m_list.sortDescending() ? Qt::DescendingOrder
                                                                           : Qt::AscendingOrder);
    });

    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    m_action = new QPushButton(QLatin1String(texts.buttonCaption), picButtons);
    m_action->setObjectName(QLatin1String(texts.buttonName));
    cmdClose = new QPushButton(QStringLiteral("&Close"), picButtons);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* row = new QHBoxLayout(picButtons);
    row->setContentsMargins(6, 6, 6, 6);
    row->addWidget(m_action);
    row->addWidget(cmdClose);
    picButtons->adjustSize();
    m_view->move(6, 6);

    connect(m_action, &QPushButton::clicked, this, &frmCompanionList::runAction);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(escape, &QAction::triggered, this, &QWidget::close);
    addAction(escape);
    RefreshList();
    resize(760, 300);
    (new WindowMemory(*this))->restore();
}

void frmCompanionList::RefreshList() {
    m_list.RefreshList(runState().CurrentUserName);
    for (int i = 0; i < m_list.columnCount() - 1; ++i) {
        m_view->resizeColumnToContents(i);
        m_view->setColumnWidth(i, qMin(m_view->columnWidth(i), 400));
    }
}

void frmCompanionList::runAction() {
    m_list.SelectTickedInSource();
    m_action->setEnabled(false);
    const std::shared_ptr<bool> unloaded = m_unloaded;
    if (m_list.kind() == CompanionKind::CheckedOut)
        m_owner.CheckIn();
    else
        m_owner.GetLatestVersion();
    // The member may have closed this window while the operation waited for the host.
    if (*unloaded)
        return;
    RefreshList();
    if (m_list.count() == 0)
        close();
    else
        m_action->setEnabled(true);
}

void frmCompanionList::closeEvent(QCloseEvent* event) {
    *m_unloaded = true;
    QWidget::closeEvent(event);
}

void frmCompanionList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void frmCompanionList::layOut() {
    const int w = width();
    const int h = height();
    picButtons->move(qMax(0, w - picButtons->width()), qMax(0, h - picButtons->height()));
    const int left = m_view->x();
    const int top = m_view->y();
    const int listWidth = w - 2 * left;
    const int listHeight = h - picButtons->height() - 2 * top;
    if (listWidth > 0 && listHeight > 0)
        m_view->resize(listWidth, listHeight);
}

frmCheckedOutFiles::frmCheckedOutFiles(frmFileList& owner)
    : frmCompanionList(CompanionKind::CheckedOut,
                       {"frmCheckedOutFiles", "Files Currently Checked Out", "lvwCheckedOutFiles",
                        "cmdCheckInAll", "Check In All Files Marked Above"},
                       owner) {}

frmOutdatedFiles::frmOutdatedFiles(frmFileList& owner)
    : frmCompanionList(CompanionKind::Outdated,
                       {"frmOutdatedFiles", "New/Updated Files", "lvwUpdatedFiles", "cmdGetLatesVersionAll",
                        "Get the Latest Version of Files Marked Above"},
                       owner) {}

} // namespace krtp
