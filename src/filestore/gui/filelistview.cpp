#include "filestore/gui/filelistview.h"

#include "filestore/filelistmodel.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>

namespace krtp {

namespace {

// Small icons carry their text beside the picture, as in a list, while keeping free positions.
class SideTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        return QSize(o.fontMetrics.horizontalAdvance(o.text) + o.decorationSize.width() + 12,
                     qMax(o.fontMetrics.height(), o.decorationSize.height()) + 4);
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationPosition = QStyleOptionViewItem::Left;
        option->displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        option->features &= ~QStyleOptionViewItem::WrapText;
    }
};

} // namespace

FileListView::FileListView(FileListModel& model, QWidget* parent)
    : QStackedWidget(parent), m_model(model), m_details(new QTreeView(this)),
      m_icons(new FileIconView(this)) {
    m_details->setModel(&m_model);
    m_icons->setModel(&m_model);
    m_selection = m_details->selectionModel();
    m_icons->setSelectionModel(m_selection);
    for (QAbstractItemView* v :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        // Whole rows in every view style: an entry counts as selected when its row is.
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(v, &QWidget::customContextMenuRequested, this,
                [this, v](const QPoint& pos) { emit contextMenuRequested(v->viewport()->mapToGlobal(pos)); });
        v->installEventFilter(this);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        connect(v, &QAbstractItemView::clicked, this,
                [this](const QModelIndex& i) { emit clicked(m_model.data(i, Qt::UserRole).toString()); });
        connect(v, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
            emit doubleClicked(m_model.data(i, Qt::UserRole).toString());
        });
    }
    m_details->setRootIsDecorated(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setIconSize(QSize(16, 16));
    m_details->header()->setSectionsClickable(true);
    m_details->header()->setStretchLastSection(true);
    connect(m_details->header(), &QHeaderView::sectionClicked, this, &FileListView::headerClicked);
    connect(m_details->header(), &QHeaderView::sectionResized, this, [this](int column) {
        // The last column follows the window; the others change by hand only when not being fitted.
        if (!m_sizing && column < m_model.columnCount() - 1 && m_details->header()->isVisible()) {
            m_sizedByMember = true;
            m_memberWidths = columnWidths();
        }
    });
    // The columns are fitted once a fill is over, not for every entry it adds.
    const auto scheduleFit = [this] {
        if (m_fitPending || m_sizedByMember)
            return;
        m_fitPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_fitPending = false;
                if (!m_sizedByMember)
                    fitColumns();
            },
            Qt::QueuedConnection);
    };
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, scheduleFit);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, scheduleFit);
    m_icons->setUniformItemSizes(true);
    m_iconDelegate = m_icons->itemDelegate();
    m_sideDelegate = new SideTextDelegate(m_icons);
    addWidget(m_details);
    addWidget(m_icons);

    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] { selectionToModel(); });
    connect(m_selection, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        m_model.setFocusedKey(current.isValid() ? m_model.data(current, Qt::UserRole).toString() : QString());
        emit currentKeyChanged();
    });
    connect(&m_model, &FileListModel::selectionFlagsChanged, this, [this] { modelToSelection(); });
    connect(&m_model, &FileListModel::entrySelectionChanged, this, &FileListView::entryToSelection);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, [this] { modelToSelection(); });
    // A reset gives the header its default sizes: the member's widths go back on afterwards.
    connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_sizing = true; });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this, scheduleFit] {
        m_sizing = false;
        if (m_sizedByMember)
            setColumnWidths(m_memberWidths);
        else
            scheduleFit();
    });
    connect(&m_model, &FileListModel::ensureVisibleRequested, this, &FileListView::scrollToKey);
    connect(&m_model, &FileListModel::inputEnabledChanged, this, [this](bool on) {
        if (on)
            releaseInput();
        else
            holdInput();
    });
    setViewStyle(m_model.viewStyle());
    fitColumns();
}

QAbstractItemView* FileListView::currentView() const {
    return m_style == 3 ? static_cast<QAbstractItemView*>(m_details)
                        : static_cast<QAbstractItemView*>(m_icons);
}

void FileListView::setViewStyle(int style) {
    // An unknown stored style shows the details.
    if (style < FileListModel::LargeIcons || style > FileListModel::Details)
        style = FileListModel::Details;
    if (style == m_style)
        return;
    m_style = style;
    m_model.setViewStyle(style);
    switch (style) {
    case 3:
        setCurrentWidget(m_details);
        return;
    case 0:
        m_icons->setItemDelegate(m_iconDelegate);
        m_icons->setUniformItemSizes(true);
        m_icons->setTextElideMode(Qt::ElideNone);
        m_icons->setWordWrap(true);
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setMovement(QListView::Free);
        m_icons->setGridSize(QSize(104, 72));
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        break;
    case 1:
        m_icons->setItemDelegate(m_sideDelegate);
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setMovement(QListView::Free);
        m_icons->setGridSize(QSize(160, 22));
        m_icons->setUniformItemSizes(false);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        m_icons->setTextElideMode(Qt::ElideNone);
        break;
    default:
        m_icons->setItemDelegate(m_iconDelegate);
        m_icons->setUniformItemSizes(true);
        m_icons->setTextElideMode(Qt::ElideRight);
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setIconSize(QSize(16, 16));
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setWrapping(true);
        m_icons->setResizeMode(QListView::Adjust);
        m_icons->setGridSize(QSize());
        break;
    }
    m_icons->doItemsLayout();
    setCurrentWidget(m_icons);
}

void FileListView::applyColumnWidths() {
    const int dpi = logicalDpiX();
    const auto& cols = m_model.columnDefinitions();
    m_sizing = true;
    for (int i = 0; i < cols.size(); ++i)
        m_details->setColumnWidth(i, cols[i].widthTwips * dpi / 1440);
    m_sizing = false;
}

void FileListView::fitColumns() {
    // A long description or comment must not push the other columns out of sight.
    const int limit = qMax(160, m_details->viewport()->width() / 3);
    m_sizing = true;
    for (int i = 0; i < m_model.columnCount() - 1; ++i) {
        m_details->resizeColumnToContents(i);
        if (m_details->columnWidth(i) > limit)
            m_details->setColumnWidth(i, limit);
    }
    m_sizing = false;
}

QList<int> FileListView::columnWidths() const {
    QList<int> widths;
    for (int i = 0; i < m_model.columnCount(); ++i)
        widths << m_details->columnWidth(i);
    return widths;
}

void FileListView::setColumnWidths(const QList<int>& widths) {
    if (widths.size() != m_model.columnCount())
        return;
    m_sizing = true;
    for (int i = 0; i < widths.size() - 1; ++i)
        m_details->setColumnWidth(i, qMax(16, widths[i]));
    m_sizing = false;
    m_sizedByMember = true;
    m_memberWidths = widths;
}

void FileListView::holdInput() {
    // A disabled view gives its focus away; the list takes it back afterwards.
    if (isAncestorOf(QApplication::focusWidget()))
        m_hadFocus = true;
    m_details->setEnabled(false);
    m_icons->setEnabled(false);
}

void FileListView::releaseInput() {
    m_details->setEnabled(true);
    m_icons->setEnabled(true);
    if (m_hadFocus) {
        m_hadFocus = false;
        currentView()->setFocus();
    }
}

void FileListView::pullPositions() {
    for (int row = 0; row < m_model.count(); ++row)
        m_model.setPosition(m_model.at(row).key, m_icons->itemPosition(m_model.index(row, 0)));
}

void FileListView::pushPositions() {
    for (int row = 0; row < m_model.count(); ++row) {
        const ListEntry& e = m_model.at(row);
        if (e.hasPosition)
            m_icons->setItemPosition(m_model.index(row, 0), e.position);
    }
}

void FileListView::scrollToKey(const QString& key) {
    const int row = m_model.rowOf(key);
    if (row >= 0)
        currentView()->scrollTo(m_model.index(row, 0));
}

void FileListView::modelToSelection() {
    if (m_syncing)
        return;
    m_syncing = true;
    // Runs of selected rows become one range each: a selection of single rows makes every later
    // change cost as much as the whole selection.
    QItemSelection selection;
    const int lastColumn = m_model.columnCount() - 1;
    const int count = m_model.count();
    for (int row = 0; row < count; ++row) {
        if (!m_model.at(row).selected)
            continue;
        int last = row;
        while (last + 1 < count && m_model.at(last + 1).selected)
            ++last;
        selection.select(m_model.index(row, 0), m_model.index(last, lastColumn));
        row = last;
    }
    m_selection->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void FileListView::entryToSelection(const QString& key, bool selected) {
    const int row = m_model.rowOf(key);
    if (m_syncing || row < 0)
        return;
    m_syncing = true;
    m_selection->select(QItemSelection(m_model.index(row, 0), m_model.index(row, m_model.columnCount() - 1)),
                        selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    m_syncing = false;
}

bool FileListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == m_details || watched == m_icons)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit enterPressed();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

void FileListView::selectionToModel() {
    if (m_syncing)
        return;
    m_syncing = true;
    for (int row = 0; row < m_model.count(); ++row) {
        // The icon views select the entry's first cell; the details view selects the whole row.
        const bool on = m_selection->isSelected(m_model.index(row, 0));
        if (m_model.at(row).selected != on)
            m_model.KeyedListModel::setSelected(m_model.at(row).key, on);
    }
    m_syncing = false;
}

} // namespace krtp
