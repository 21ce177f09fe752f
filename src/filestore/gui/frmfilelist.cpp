#include "filestore/gui/frmfilelist.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/gui/filelistview.h"
#include "filestore/gui/frmaddfile.h"
#include "filestore/gui/frmcheckin.h"
#include "filestore/gui/frmcompanionlist.h"
#include "filestore/gui/frmeditfiledetails.h"
#include "filestore/gui/frmhistory.h"
#include "filestore/gui/frmstatusicons.h"
#include "filestore/operationreport.h"
#include "filestore/owneractions.h"
#include "filestore/preview.h"
#include "filestore/storeexchange.h"
#include "filestore/storeoperations.h"
#include "platform/desktopservices.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "transfer/ftpcommand.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "util/fileutil.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

// Resources of a static library are registered by hand.
static void initFileStoreResources() {
    Q_INIT_RESOURCE(filestore);
}

namespace krtp {

namespace {

QPointer<frmFileList> g_window;

QString imageFile(const QString& key) {
    QString name = key;
    if (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return QStringLiteral(":/filelist/images/") + name + QStringLiteral(".png");
}

} // namespace

frmFileList* frmFileList::instance() {
    return g_window.data();
}

frmFileList* frmFileList::ShowFileList(const std::function<void(frmFileList&)>& configure) {
    if (!g_window) {
        g_window = new frmFileList;
        // Deleted once control is back in the event loop, as the close may come from inside a rebuild.
        g_window->setAttribute(Qt::WA_DeleteOnClose);
        if (configure)
            configure(*g_window);
        g_window->UpdateOpeners();
    }
    frmFileList* w = g_window.data();
    w->show();
    w->raise();
    w->activateWindow();
    QCoreApplication::processEvents();
    w->UpdateFileList();
    return g_window.data();
}

frmFileList::frmFileList(QWidget* parent) : QMainWindow(parent) {
    initFileStoreResources();
    setObjectName(QStringLiteral("frmFileList"));
    setWindowTitle(windowCaption());
    BusyPointer busy;

    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));
    inet->configureForSite();
    inet->Document = QStringLiteral("/");
    m_store = new FileStore(*inet, m_model, settingsStore(), dialogs(), this);
    m_store->closeWindow = [this] {
        m_closing = true;
        close();
    };
    m_store->endProgram = [this] {
        if (endProgram) {
            endProgram();
            return;
        }
        m_closing = true;
        QCoreApplication::exit(0);
    };
    m_ops = new StoreOperations(*m_store, this);
    m_checkIn = new frmCheckIn(this);
    m_ops->setCheckInPrompt(m_checkIn);
    connect(m_ops, &StoreOperations::busyChanged, this, [this](bool busy) {
        setStoreActionsEnabled(!busy);
        if (busy) {
            prgTransfer->beginOperation();
        } else {
            prgTransfer->endOperation();
            FillLocalColumns();
        }
        // Whatever the rebuild left, the member can scroll, select and try again.
        if (!busy)
            lvwFileList->releaseInput();
    });
    connect(m_ops, &StoreOperations::reported, this, &frmFileList::showReport);
    // What the member has seen, so that a later look tells only what others did.
    connect(m_ops, &StoreOperations::reported, this, [this] {
        if (m_store->lastOutcome() == FileStore::ReadOutcome::Complete)
            m_seen = SeenEntries(m_model);
    });
    m_watch = new QTimer(this);
    m_watch->setInterval(kWatchMs);
    connect(m_watch, &QTimer::timeout, this, [this] { CheckForChanges(); });
    m_watch->start();
    connect(m_store, &FileStore::StateChanged, this, &frmFileList::onStateChanged);
    connect(m_store, &FileStore::replyPiece, this, [this](const QString& piece) { appendResult(piece); });
    connect(m_store, &FileStore::replyComplete, this, [this] { appendResult(QStringLiteral("\n")); });

    // The member's own copy beside the store's columns.
    m_model.setColumns(FileListModel::standardColumns() +
                       QList<ListColumn>{{QLatin1String(kLocalSize), QStringLiteral("Size"), 900},
                                         {QLatin1String(kLocalChanged), QStringLiteral("Modified"), 1600}});
    m_central = new QWidget(this);
    m_central->installEventFilter(this);
    setCentralWidget(m_central);

    buildImages();
    buildToolbar();
    lvwFileList = new FileListView(m_model, m_central);
    lvwFileList->setObjectName(QStringLiteral("lvwFileList"));
    lvwFileList->move(m_margin, m_margin);
    m_model.setRoleProvider([this](const ListEntry& e, int column, int role) -> QVariant {
        if (role == Qt::DecorationRole && column == 0)
            return imglstFileList.value(e.smallIconKey);
        // The icon's meaning, whichever picture the colour options chose for it.
        if (role == Qt::ToolTipRole && column == 0)
            return StatusDescription(e.columns.value(QLatin1String(columns::kStatus)),
                                     e.columns.value(QLatin1String(columns::kOwner)));
        return {};
    });
    connect(lvwFileList, &FileListView::headerClicked, this, [this](int column) {
        // The list starts unsorted: the first click sorts by the column in the current order, also
        // on the first column (which is the sort key before any sorting).
        if (m_model.sorted())
            SortListByColumn(m_model, column);
        else
            m_model.setSorting(true, column, m_model.sortDescending());
        QHeaderView* header = lvwFileList->detailsView()->header();
        header->setSortIndicatorShown(true);
        header->setSortIndicator(column, m_model.sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
        if (m_memory) {
            m_memory->setValue(QStringLiteral("SortColumn"), QString::number(m_model.sortKey()));
            m_memory->setValue(QStringLiteral("SortOrder"), m_model.sortDescending()
                                                                ? QStringLiteral("Descending")
                                                                : QStringLiteral("Ascending"));
        }
    });
    connect(lvwFileList, &FileListView::clicked, this, [this] { UpdatePreview(); });
    // The owner entries (and their keys, such as Delete) follow the focused and selected entries; one
    // check once the changes of a click or a selection are over.
    const auto ownerOptionsLater = [this] {
        if (m_ownerOptionsPending)
            return;
        m_ownerOptionsPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_ownerOptionsPending = false;
                if (!m_ops->busy())
                    EnableOwnerOptions();
            },
            Qt::QueuedConnection);
    };
    connect(lvwFileList, &FileListView::currentKeyChanged, this, ownerOptionsLater);
    connect(&m_model, &FileListModel::entrySelectionChanged, this, ownerOptionsLater);
    connect(&m_model, &FileListModel::selectionFlagsChanged, this, ownerOptionsLater);
    connect(lvwFileList, &FileListView::doubleClicked, this, [this] { OpenFile(); });
    connect(lvwFileList, &FileListView::enterPressed, this, [this] { OpenFile(); });
    connect(lvwFileList, &FileListView::contextMenuRequested, this, &frmFileList::showActionsPopup);
    connect(m_store, &FileStore::aboutToSaveIcons, lvwFileList, &FileListView::pullPositions);
    connect(m_store, &FileStore::iconsLoaded, lvwFileList, &FileListView::pushPositions);
    buildPreviewAndConsole();
    buildMenus();
    buildStatusBar();
    buildFilter();

    const bool toolbar = LeadingNumber(settingsStore().get(settings::ViewToolbar)) == -1;
    picToolBar->setVisible(toolbar);
    mnuViewToolbar->setChecked(toolbar);

    setViewStyle(int(LeadingNumber(settingsStore().get(settings::CurrentView))));
    UpdateOpeners();
    resize(960, 560);
    rememberLayout();
    LayOut();
}

void frmFileList::buildStatusBar() {
    // The last operation's outcome, and beside it the running transfer while a file moves.
    lblStatus = new QLabel(statusBar());
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    prgTransfer = new TransferProgress(this);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer->attach(inet);
    prgTransfer->attachPool(&m_store->pool());
    prgTransfer->install(*this, lblStatus);
}

void frmFileList::buildFilter() {
    txtFilter = new QLineEdit(m_central);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Filter by name or description (Ctrl+F)"));
    txtFilter->setClearButtonEnabled(true);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, this, [this] {
        txtFilter->setFocus();
        txtFilter->selectAll();
    });
    addAction(find);
    connect(txtFilter, &QLineEdit::textChanged, this, [this] {
        ApplyFilter();
        if (m_memory)
            m_memory->setValue(QStringLiteral("Filter"), txtFilter->text());
    });
    // Rows come and go with every rebuild and sort: the filter follows them.
    // One pass once the changes of a rebuild are over, however many entries changed.
    const auto later = [this] {
        if (m_filterPending)
            return;
        m_filterPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_filterPending = false;
                ApplyFilter();
            },
            Qt::QueuedConnection);
    };
    connect(&m_model, &QAbstractItemModel::modelReset, this, later);
    connect(&m_model, &QAbstractItemModel::layoutChanged, this, later);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, later);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, later);
}

void frmFileList::FillLocalColumns() {
    const QDir folder(runState().LocalFolder);
    for (const ListEntry& e : m_model.entries()) {
        QString size;
        QString sizeOrder;
        QString changed;
        // A name the host gave that is not a plain local file name is never looked up on disk.
        if (IsSharedFileName(e.text)) {
            const QFileInfo local(folder.filePath(e.text));
            if (local.isFile()) {
                size = TransferProgress::SizeText(local.size());
                sizeOrder = SizeSortText(local.size());
                changed = local.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
            }
        }
        if (e.columns.value(SortKeyOf(QLatin1String(kLocalSize))) != sizeOrder)
            m_model.setColumnText(e.key, SortKeyOf(QLatin1String(kLocalSize)), sizeOrder);
        if (e.columns.value(QLatin1String(kLocalSize)) != size)
            m_model.setColumnText(e.key, QLatin1String(kLocalSize), size);
        if (e.columns.value(QLatin1String(kLocalChanged)) != changed)
            m_model.setColumnText(e.key, QLatin1String(kLocalChanged), changed);
    }
}

void frmFileList::ApplyFilter() {
    const QString filter = txtFilter->text().trimmed();
    const int rows = m_model.rowCount();
    for (int row = 0; row < rows; ++row) {
        const ListEntry& e = m_model.entries().at(row);
        const bool shown =
            filter.isEmpty() || e.text.contains(filter, Qt::CaseInsensitive) ||
            e.columns.value(QLatin1String(columns::kDesc)).contains(filter, Qt::CaseInsensitive);
        lvwFileList->detailsView()->setRowHidden(row, QModelIndex(), !shown);
        lvwFileList->iconView()->setRowHidden(row, !shown);
    }
}

int frmFileList::shownCount() const {
    int shown = 0;
    for (int row = 0; row < m_model.rowCount(); ++row)
        shown += lvwFileList->detailsView()->isRowHidden(row, QModelIndex()) ? 0 : 1;
    return shown;
}

void frmFileList::rememberLayout() {
    m_memory = new WindowMemory(*this);
    m_memory->restore();
    m_memory->keep(
        [this](WindowMemory& m) {
            m.setValue(QStringLiteral("PreviewWidth"), QString::number(m_previewWidth));
            if (lvwFileList->columnsSizedByMember()) {
                QStringList widths;
                for (int w : lvwFileList->columnWidths())
                    widths << QString::number(w);
                m.setValue(QStringLiteral("ColumnWidths"), widths.join(QLatin1Char(',')));
            }
        },
        [this](WindowMemory& m) {
            const qint64 preview = qint64(LeadingNumber(m.value(QStringLiteral("PreviewWidth"))));
            if (preview > 0)
                m_previewWidth = int(qMin<qint64>(preview, 4000));
            QList<int> widths;
            for (const QString& w :
                 m.value(QStringLiteral("ColumnWidths")).split(QLatin1Char(','), Qt::SkipEmptyParts))
                widths << int(std::clamp<qint64>(qint64(LeadingNumber(w)), 16, 4000));
            lvwFileList->setColumnWidths(widths);
            txtFilter->setText(m.value(QStringLiteral("Filter")));
            const QString column = m.value(QStringLiteral("SortColumn"));
            if (!column.isEmpty()) {
                const int key =
                    int(std::clamp<qint64>(qint64(LeadingNumber(column)), 0, m_model.columnCount() - 1));
                const bool descending = m.value(QStringLiteral("SortOrder")) == QLatin1String("Descending");
                m_model.setSorting(true, key, descending);
                QHeaderView* header = lvwFileList->detailsView()->header();
                header->setSortIndicatorShown(true);
                header->setSortIndicator(key, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            }
        });
}

QString frmFileList::statusText() const {
    return prgTransfer->isVisible() ? prgTransfer->lblTransfer->text() : lblStatus->text();
}

void frmFileList::showStatus(const QString& text) {
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}

void frmFileList::showReport(const OperationReport& report) {
    showStatus(report.summary());
}

void frmFileList::appendResult(const QString& text) {
    txtResults->moveCursor(QTextCursor::End);
    txtResults->insertPlainText(text);
    txtResults->moveCursor(QTextCursor::End);
}

void frmFileList::ShowStatusIcons() {
    if (!m_statusIcons)
        m_statusIcons = new frmStatusIcons(imglstFileList, this);
    m_statusIcons->show();
    m_statusIcons->raise();
    m_statusIcons->activateWindow();
}

frmFileList::~frmFileList() {
    // The layout was kept when the window closed; a window destroyed while shown keeps nothing.
    delete m_memory;
}

void frmFileList::buildImages() {
    for (const QString& key : FileListImageKeys()) {
        const QPixmap small(imageFile(key));
        QIcon icon(small);
        icon.addPixmap(small.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        imglstFileList.insert(key, icon);
    }
}

void frmFileList::buildToolbar() {
    picToolBar = new QWidget(m_central);
    picToolBar->setObjectName(QStringLiteral("picToolBar"));
    auto* row = new QHBoxLayout(picToolBar);
    row->setContentsMargins(m_margin, 2, m_margin, 2);
    row->setSpacing(2);
    const auto button = [&](QToolButton*& b, const char* name, const char* caption, const char* picture,
                            const char* tip) {
        b = new QToolButton(picToolBar);
        b->setObjectName(QLatin1String(name));
        b->setText(QLatin1String(caption));
        b->setIcon(imglstFileList.value(QLatin1String(picture)));
        b->setIconSize(QSize(16, 16));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setToolTip(QLatin1String(caption) + QStringLiteral(": ") + QLatin1String(tip));
        // Never narrower than its caption: a squeezed toolbar would run the captions together.
        b->setMinimumWidth(qMax(72, b->sizeHint().width()));
        row->addWidget(b);
    };
    button(cmdGetLatestVersion, "cmdGetLatestVersion", "Get Latest Version", "old",
           "copy the server's latest version of the selected files into your local folder");
    button(cmdCheckIn, "cmdCheckIn", "Check In", "unlocked",
           "send your changes to the selected files you have checked out, with a comment");
    button(cmdCheckOut, "cmdCheckOut", "Check Out", "open",
           "take the selected files to work on them; other members see them as checked out by you");
    button(cmdAddFile, "cmdAddFile", "Add File(s)", "add", "add files of your local folder to the store");
    button(cmdSetLocalFolder, "cmdSetLocalFolder", "Set Local Folder", "folder",
           "choose the folder on this computer where your copies of the files are kept");
    button(cmdRefresh, "cmdRefresh", "Refresh", "refresh", "read the file list from the server again (F5)");
    button(cmdOptions, "cmdOptions", "Options", "options", "colours, preview pane and other options");
    button(cmdExplorer, "cmdExplorer", "Explorer", "options", "open your local folder in the file manager");
    row->addStretch(1);
    connect(cmdRefresh, &QToolButton::clicked, this, [this] { UpdateFileList(); });
    connect(cmdGetLatestVersion, &QToolButton::clicked, this, [this] { GetLatestVersion(); });
    connect(cmdCheckIn, &QToolButton::clicked, this, [this] { CheckIn(); });
    connect(cmdCheckOut, &QToolButton::clicked, this, [this] { CheckOut(); });
    connect(cmdAddFile, &QToolButton::clicked, this, [this] { AddFiles(); });
    connect(cmdSetLocalFolder, &QToolButton::clicked, this, [this] { ChangeLocalFolder(); });
    connect(cmdOptions, &QToolButton::clicked, this, [this] { ShowOptions(); });
    connect(cmdExplorer, &QToolButton::clicked, this, [this] { Explore(); });
    picToolBar->adjustSize();
    picToolBar->setFixedHeight(picToolBar->sizeHint().height());
    // The window is never narrower than the toolbar's captions.
    setMinimumWidth(picToolBar->minimumSizeHint().width());
}

void frmFileList::buildMenus() {
    const auto entry = [this](QMenu* menu, QAction*& action, const char* name, const char* caption,
                              bool enabled) {
        action = menu->addAction(QLatin1String(caption));
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
    };
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    entry(mnuFile, mnuFileRefresh, "mnuFileRefresh", "&Refresh File List", true);
    entry(mnuFile, mnuFileAddFiles, "mnuFileAddFiles", "&Add Files...", true);
    entry(mnuFile, mnuFileShowCheckedOutFiles, "mnuFileShowCheckedOutFiles", "Show &Checked Out Files...",
          true);
    entry(mnuFile, mnuFileShowOutOfDate, "mnuFileShowOutOfDate", "&Show Out-of-date Files...", true);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileBreak1"));
    entry(mnuFile, mnuFileSetLocalFolder, "mnuFileSetLocalFolder", "Set &Local Folder...", true);
    entry(mnuFile, mnuFileExplore, "mnuFileExplore", "&Explore...", true);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileBreak2"));
    entry(mnuFile, mnuFileUsers, "mnuFileUsers", "Edit &Users", false);
    mnuFile->addSeparator()->setObjectName(QStringLiteral("mnuFileBreak3"));
    entry(mnuFile, mnuFileExit, "mnuFileExit", "E&xit", true);

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    entry(mnuEdit, mnuEditSelectAll, "mnuEditSelectAll", "Select &All", true);
    entry(mnuEdit, mnuEditSelectNone, "mnuEditSelectNone", "Select &None", true);

    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    entry(mnuView, mnuViewToolbar, "mnuViewToolbar", "&Toolbar", true);
    mnuViewToolbar->setCheckable(true);
    entry(mnuView, mnuViewOptions, "mnuViewOptions", "&Options...", false);

    mnuActions = menuBar()->addMenu(QStringLiteral("&Actions"));
    mnuActions->setObjectName(QStringLiteral("mnuActions"));
    entry(mnuActions, mnuActionsOpenFile, "mnuActionsOpenFile", "Open &File", true);
    entry(mnuActions, mnuActionsReadOnly, "mnuActionsReadOnly", "R&ead Only (Local File Attributes)", false);
    mnuActionsReadOnly->setCheckable(true);
    mnuActions->addSeparator()->setObjectName(QStringLiteral("mnuActionsBreak2"));
    entry(mnuActions, mnuActionsGetLatestVersion, "mnuActionsGetLatestVersion", "&Get Latest Version", true);
    entry(mnuActions, mnuActionsCheckIn, "mnuActionsCheckIn", "Check &In...", true);
    entry(mnuActions, mnuActionsCheckOut, "mnuActionsCheckOut", "Check &Out", true);
    entry(mnuActions, mnuActionsHistory, "mnuActionsHistory", "&History...", true);
    mnuActions->addSeparator()->setObjectName(QStringLiteral("mnuActionsOwnerOptionsBreak"));
    entry(mnuActions, mnuActionsChangeFileDescription, "mnuActionsChangeFileDescription",
          "&Change File Description...", false);
    entry(mnuActions, mnuActionsDeleteFile, "mnuActionsDeleteFile", "&Remove File from KRtp", false);
    entry(mnuActions, mnuActionsRelinquishControl, "mnuActionsRelinquishControl",
          "Relinquish Ownership of File", false);
    mnuActions->addSeparator()->setObjectName(QStringLiteral("mnuActionsAdminOptionsBreak"));
    entry(mnuActions, mnuActionsEditFileDetails, "mnuActionsEditFileDetails", "Manually Edit File Details...",
          false);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    entry(mnuHelp, mnuHelpStatusIcons, "mnuHelpStatusIcons", "Status &Icons...", true);
    connect(mnuHelpStatusIcons, &QAction::triggered, this, &frmFileList::ShowStatusIcons);

    // Standard keys, shown in the menus. Enter and Delete act on the list only: in the console they
    // keep their usual meaning.
    mnuFileRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    mnuEditSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuEditSelectNone->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    mnuActionsOpenFile->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    mnuActionsDeleteFile->setShortcut(QKeySequence(QKeySequence::Delete));
    for (QAction* a : {mnuActionsOpenFile, mnuActionsDeleteFile}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        lvwFileList->addAction(a);
    }

    connect(mnuFileRefresh, &QAction::triggered, this, [this] { UpdateFileList(); });
    connect(mnuFileAddFiles, &QAction::triggered, this, [this] { AddFiles(); });
    connect(mnuFileShowCheckedOutFiles, &QAction::triggered, this, [this] { ShowCheckedOutFiles(); });
    connect(mnuFileShowOutOfDate, &QAction::triggered, this, [this] { ShowOutdatedFiles(); });
    connect(mnuFileSetLocalFolder, &QAction::triggered, this, [this] { ChangeLocalFolder(); });
    connect(mnuFileExplore, &QAction::triggered, this, [this] { Explore(); });
    connect(mnuFileUsers, &QAction::triggered, this, [this] {
        if (openUsers)
            openUsers();
    });
    connect(mnuViewOptions, &QAction::triggered, this, [this] { ShowOptions(); });
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);
    connect(mnuEditSelectAll, &QAction::triggered, this, [this] { m_model.setAllSelected(true); });
    connect(mnuEditSelectNone, &QAction::triggered, this, [this] { m_model.setAllSelected(false); });
    connect(mnuViewToolbar, &QAction::triggered, this, [this] { ToggleToolbar(); });
    connect(mnuActionsOpenFile, &QAction::triggered, this, [this] { OpenFile(); });
    connect(mnuActionsGetLatestVersion, &QAction::triggered, this, [this] { GetLatestVersion(); });
    connect(mnuActionsCheckIn, &QAction::triggered, this, [this] { CheckIn(); });
    connect(mnuActionsCheckOut, &QAction::triggered, this, [this] { CheckOut(); });
    connect(mnuActionsHistory, &QAction::triggered, this, [this] { ShowHistory(); });
    connect(mnuActionsReadOnly, &QAction::triggered, this, [this] { ToggleReadOnly(); });
    connect(mnuActionsChangeFileDescription, &QAction::triggered, this, [this] { ChangeFileDescription(); });
    connect(mnuActionsDeleteFile, &QAction::triggered, this, [this] { DeleteFile(); });
    connect(mnuActionsRelinquishControl, &QAction::triggered, this, [this] { RelinquishControl(); });
    connect(mnuActionsEditFileDetails, &QAction::triggered, this, [this] { EditFileDetails(); });
    connect(mnuActions, &QMenu::aboutToShow, this, &frmFileList::EnableOwnerOptions);
    // Open File is the bold default entry of the pop-up only.
    connect(mnuActions, &QMenu::aboutToHide, this, [this] { mnuActions->setDefaultAction(nullptr); });
    mnuActionsEditFileDetails->setEnabled(runState().UserLevel == LevelAdministrator);
}

void frmFileList::buildPreviewAndConsole() {
    picResize1 = new QFrame(m_central);
    picResize1->setObjectName(QStringLiteral("picResize1"));
    picResize1->setFrameShape(QFrame::VLine);
    picResize1->setFixedWidth(6);
    picResize1->setCursor(Qt::SplitHCursor);
    picResize1->installEventFilter(this);

    picPreview = new QLabel(m_central);
    picPreview->setObjectName(QStringLiteral("picPreview"));
    picPreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picPreview->setFrameShape(QFrame::StyledPanel);
    picPreview->setAutoFillBackground(true);
    txtPreview = new QPlainTextEdit(picPreview);
    txtPreview->setObjectName(QStringLiteral("txtPreview"));
    txtPreview->setReadOnly(true);
    txtPreview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    picPreview->installEventFilter(this);

    fraConsole = new QDockWidget(QStringLiteral("Commands"), this);
    fraConsole->setObjectName(QStringLiteral("fraConsole"));
    fraConsole->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* box = new QWidget(fraConsole);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(m_margin, 0, m_margin, m_margin);
    txtCommands = new QLineEdit(box);
    txtCommands->setObjectName(QStringLiteral("txtCommands"));
    txtResults = new QPlainTextEdit(box);
    txtResults->setObjectName(QStringLiteral("txtResults"));
    txtResults->setReadOnly(true);
    txtResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtResults->setMaximumBlockCount(20000);
    column->addWidget(txtCommands);
    column->addWidget(txtResults);
    fraConsole->setWidget(box);
    addDockWidget(Qt::BottomDockWidgetArea, fraConsole);
    resizeDocks({fraConsole}, {140}, Qt::Vertical);
    connect(txtCommands, &QLineEdit::returnPressed, this, &frmFileList::onCommandEntered);
}

int frmFileList::viewStyle() const {
    return lvwFileList->viewStyle();
}

void frmFileList::setViewStyle(int style) {
    lvwFileList->setViewStyle(style);
}

bool frmFileList::UpdateFileList() {
    return m_ops->UpdateFileList();
}

void frmFileList::CheckOut() {
    m_ops->CheckOut();
}

void frmFileList::CheckIn() {
    m_ops->CheckIn();
}

void frmFileList::GetLatestVersion() {
    m_ops->GetLatestVersion();
}

void frmFileList::OpenFile() {
    m_ops->OpenFile();
}

void frmFileList::setStoreActionsEnabled(bool enabled) {
    // The local folder is the working directory of the running operation: it must not change meanwhile.
    for (QWidget* w : std::initializer_list<QWidget*>{cmdGetLatestVersion, cmdCheckIn, cmdCheckOut,
                                                      cmdAddFile, cmdSetLocalFolder, cmdRefresh, txtCommands})
        w->setEnabled(enabled);
    for (QAction* a : {mnuFileRefresh, mnuFileAddFiles, mnuFileSetLocalFolder, mnuActionsOpenFile,
                       mnuActionsGetLatestVersion, mnuActionsCheckIn, mnuActionsCheckOut})
        a->setEnabled(enabled);
    UpdateOpeners();
    if (!enabled) {
        for (QAction* a : {mnuActionsReadOnly, mnuActionsChangeFileDescription, mnuActionsDeleteFile,
                           mnuActionsRelinquishControl, mnuActionsEditFileDetails})
            a->setEnabled(false);
    } else {
        mnuActionsEditFileDetails->setEnabled(runState().UserLevel == LevelAdministrator);
        EnableOwnerOptions();
    }
}

void frmFileList::SaveIcons() {
    m_store->SaveIcons();
}

void frmFileList::LoadIcons() {
    m_store->LoadIcons();
}

void frmFileList::LayOut() {
    const int width = m_central->width();
    const int height = m_central->height();
    const int toolbarHeight = picToolBar->isHidden() ? 0 : picToolBar->height();
    if (!picToolBar->isHidden())
        picToolBar->setGeometry(0, 0, width, toolbarHeight);
    const bool preview = settingsStore().isYes(settings::ShowPreviewPane);
    const int listLeft = m_margin;
    const int filterHeight = txtFilter->sizeHint().height();
    txtFilter->setGeometry(m_margin, m_margin + toolbarHeight, qMax(120, qMin(320, width / 3)), filterHeight);
    const int listTop = 2 * m_margin + toolbarHeight + filterHeight;
    const int listHeight = height - listTop - m_margin;
    const int splitterWidth = picResize1->width();
    int listWidth = width - 2 * m_margin;
    if (preview)
        listWidth -= m_previewWidth + splitterWidth;
    // Sizes that do not fit are left as they were.
    if (listWidth > 0 && listHeight > 0)
        lvwFileList->setGeometry(listLeft, listTop, listWidth, listHeight);
    picResize1->setVisible(preview);
    picPreview->setVisible(preview);
    if (!preview)
        return;
    const int splitterLeft = lvwFileList->x() + lvwFileList->width();
    if (listHeight > 0) {
        picResize1->setGeometry(splitterLeft, lvwFileList->y(), splitterWidth, lvwFileList->height());
        if (m_previewWidth > 0)
            picPreview->setGeometry(splitterLeft + splitterWidth, lvwFileList->y(), m_previewWidth,
                                    lvwFileList->height());
    }
    txtPreview->setGeometry(picPreview->contentsRect());
}

void frmFileList::SplitterDropped(QWidget* target, int x) {
    const int splitterWidth = picResize1->width();
    if (target == lvwFileList || (target && lvwFileList->isAncestorOf(target)))
        m_previewWidth = m_previewWidth + lvwFileList->width() - (x - splitterWidth / 2);
    else if (target == picPreview || target == txtPreview || (target && picPreview->isAncestorOf(target)))
        m_previewWidth = m_previewWidth - (x + splitterWidth / 2);
    else
        return;
    LayOut();
}

void frmFileList::ToggleToolbar() {
    picToolBar->setVisible(picToolBar->isHidden());
    LayOut();
    const bool shown = !picToolBar->isHidden();
    settingsStore().set(settings::ViewToolbar, shown ? QStringLiteral("-1") : QStringLiteral("0"));
    mnuViewToolbar->setChecked(shown);
}

void frmFileList::UpdatePreview() {
    if (picPreview->isHidden())
        return;
    const QString key = m_model.focusedKey();
    const ListEntry* e = m_model.find(key);
    if (!e)
        return;
    const PreviewContent content = PreviewFor(e->text);
    if (content.kind == PreviewContent::Picture) {
        QPixmap picture;
        if (!picture.load(content.picturePath))
            return;
        txtPreview->hide();
        picPreview->setPixmap(picture);
    } else if (content.kind == PreviewContent::Text) {
        picPreview->setPixmap(QPixmap());
        txtPreview->show();
        txtPreview->setPlainText(content.text);
    }
}

void frmFileList::onStateChanged(int state) {
    txtResults->moveCursor(QTextCursor::End);
    // A refused or failed command has no reply to collect: its reason goes there instead.
    if (state == StateError && !inet->lastError().isEmpty())
        appendResult(inet->lastError() + QStringLiteral("\n"));
    const QString title = StateText(state);
    if (!title.isEmpty())
        setWindowTitle(title);
}

void frmFileList::onCommandEntered() {
    // The console does not wait: the reply arrives in the results box, below the command it answers.
    const QString command = txtCommands->text();
    appendResult(ConsoleEchoText(command, inet->Protocol == TransferControl::ProtocolSFTP) +
                 QStringLiteral("\n"));
    if (!inet->Execute(command))
        appendResult(inet->lastError() + QStringLiteral("\n"));
    txtCommands->setSelection(0, int(txtCommands->text().size()));
}

void frmFileList::Explore() {
    if (desktopServices().openFileManager(runState().LocalFolder))
        showStatus(QStringLiteral("Opened ") + runState().LocalFolder +
                   QStringLiteral(" in the file manager"));
    else
        showStatus(QStringLiteral("The file manager could not be started for ") + runState().LocalFolder +
                   QStringLiteral(": no file manager is set up on this desktop"));
}

void frmFileList::closeEvent(QCloseEvent* event) {
    // The running operation still uses this window's store and list; only the store itself (an
    // outdated program) closes the window from inside one.
    if (m_ops->busy() && !m_closing) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    if (!m_closing) {
        switch (m_store->QueryClose()) {
        case FileStore::CloseAnswer::Stay:
            event->ignore();
            return;
        case FileStore::CloseAnswer::ShowCheckedOut:
            ShowCheckedOutFiles();
            event->ignore();
            return;
        case FileStore::CloseAnswer::Close:
            break;
        }
    }
    // The wait for the QUIT keeps events flowing: nothing may start on a window that is going away.
    setStoreActionsEnabled(false);
    m_store->Shutdown();
    // Hidden first, so that the windows closed with it know not to rebuild it.
    hide();
    closeOwnedWindows();
    event->accept();
    m_closing = false;
    if (g_window == this)
        g_window.clear();
}

void frmFileList::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        LayOut();
        // Coming back to the window is when a member wants to see what others did.
        if (!m_catalogueStamp.isEmpty())
            QTimer::singleShot(0, this, [this] { CheckForChanges(); });
    }
}

bool frmFileList::CheckForChanges() {
    if (!settingsStore().isYes(settings::WatchFileList) || m_ops->busy() || inet->StillExecuting())
        return false;
    if (!m_store->Run(QStringLiteral("dir /krg/_files.txt")))
        return false;
    const QString stamp = m_store->GetChunkData;
    if (m_catalogueStamp.isEmpty() || m_seen.isEmpty()) {
        m_catalogueStamp = stamp;
        m_seen = SeenEntries(m_model);
        return false;
    }
    if (stamp == m_catalogueStamp)
        return false;
    const QList<SeenEntry> before = m_seen;
    if (!UpdateFileList())
        return false;
    m_catalogueStamp = stamp;
    m_seen = SeenEntries(m_model);
    const QString what = DescribeCatalogueChanges(before, m_seen);
    if (!what.isEmpty())
        showStatus(what);
    return true;
}

bool frmFileList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_central && event->type() == QEvent::Resize) {
        // On a low window the console would leave the list a row or two: it folds away until the
        // window is tall enough again.
        fraConsole->setVisible(height() >= kConsoleMinWindowHeight);
        LayOut();
    } else if (watched == picPreview && event->type() == QEvent::Resize)
        txtPreview->setGeometry(picPreview->contentsRect());
    else if (watched == picResize1) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_draggingSplitter = true;
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && m_draggingSplitter) {
            m_draggingSplitter = false;
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            if (QWidget* target = QApplication::widgetAt(global)) {
                QWidget* drop = target;
                if (lvwFileList->isAncestorOf(target))
                    drop = lvwFileList;
                else if (picPreview->isAncestorOf(target))
                    drop = picPreview;
                SplitterDropped(drop, drop->mapFromGlobal(global).x());
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString frmFileList::currentKey() const {
    return CurrentEntryKey(m_model, m_model.focusedKey());
}

void frmFileList::UpdateOpeners() {
    const bool idle = !m_ops->busy();
    cmdOptions->setEnabled(bool(showOptions));
    mnuViewOptions->setEnabled(bool(showOptions));
    cmdSetLocalFolder->setEnabled(idle && bool(chooseLocalFolder));
    mnuFileSetLocalFolder->setEnabled(idle && bool(chooseLocalFolder));
    mnuFileUsers->setEnabled(runState().UserLevel == LevelAdministrator && bool(openUsers));
}

void frmFileList::AddFiles() {
    if (m_ops->busy() || !m_ops->MayAddFiles())
        return;
    frmAddFile add(*m_ops, this);
    add.exec();
}

void frmFileList::ChangeFileDescription() {
    m_ops->ChangeFileDescription(currentKey());
}

void frmFileList::DeleteFile() {
    m_ops->DeleteFile(currentKey());
}

void frmFileList::RelinquishControl() {
    m_ops->RelinquishControl(currentKey());
}

void frmFileList::ToggleReadOnly() {
    m_ops->ToggleReadOnly(currentKey());
}

void frmFileList::EditFileDetails() {
    if (m_ops->busy())
        return;
    frmEditFileDetails edit(*m_ops, currentKey(), this);
    edit.exec();
}

void frmFileList::EnableOwnerOptions() {
    const ListEntry* e = m_model.find(currentKey());
    // A name the host gave that is not a plain local file name is never looked up on disk.
    const bool readOnly = e && (!IsSharedFileName(e->text) || IsFileReadOnly(e->text));
    const RunState& rs = runState();
    const OwnerOptions o = DecideOwnerOptions(e, rs.UserLevel, rs.CurrentUserName, readOnly);
    const bool idle = !m_ops->busy();
    mnuActionsReadOnly->setEnabled(idle && o.readOnlyEnabled);
    mnuActionsReadOnly->setChecked(o.readOnlyChecked);
    mnuActionsChangeFileDescription->setEnabled(idle && o.changeDescription);
    mnuActionsDeleteFile->setEnabled(idle && o.changeDescription);
    mnuActionsRelinquishControl->setEnabled(idle && o.relinquish);
    mnuActionsEditFileDetails->setEnabled(idle && rs.UserLevel == LevelAdministrator);
}

void frmFileList::showActionsPopup(const QPoint& globalPos) {
    EnableOwnerOptions();
    mnuActions->setDefaultAction(mnuActionsOpenFile);
    mnuActions->popup(globalPos);
}

void frmFileList::ShowCheckedOutFiles() {
    if (!m_checkedOutFiles)
        m_checkedOutFiles = new frmCheckedOutFiles(*this);
    m_checkedOutFiles->show();
    m_checkedOutFiles->raise();
    m_checkedOutFiles->activateWindow();
}

frmHistory* frmFileList::ShowHistory() {
    // The focused entry, or else the first selected one.
    QString key = m_model.focusedKey();
    const ListEntry* e = m_model.find(key);
    if (!e || !e->selected) {
        key.clear();
        for (const ListEntry& entry : m_model.entries())
            if (entry.selected) {
                key = entry.key;
                break;
            }
    }
    if (key.isEmpty() || m_ops->busy())
        return nullptr;
    auto* window = new frmHistory(*m_ops, key, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->LoadVersions();
    return window;
}

void frmFileList::ShowOutdatedFiles() {
    if (!m_outdatedFiles)
        m_outdatedFiles = new frmOutdatedFiles(*this);
    m_outdatedFiles->show();
    m_outdatedFiles->raise();
    m_outdatedFiles->activateWindow();
}

void frmFileList::ChangeLocalFolder() {
    if (m_ops->busy())
        return;
    // A check-out recorded under the member's name in another letter case is still the member's: the
    // list shows it so and check-in takes it, so it would be stranded in the old folder too.
    if (HoldsCheckOut(m_model, runState().CurrentUserName)) {
        dialogs().message(StillCheckedOutMessage(), Dialogs::Icon::None, Dialogs::Ok);
        return;
    }
    if (chooseLocalFolder)
        chooseLocalFolder();
}

void frmFileList::ShowOptions() {
    if (showOptions)
        showOptions();
}

void frmFileList::closeOwnedWindows() {
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible())
            w->close();
}

} // namespace krtp
