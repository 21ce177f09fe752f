#include "sitetools/gui/frmexplorer.h"

#include "config/runstate.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "sitetools/exploreractions.h"
#include "sitetools/gui/explorerimages.h"
#include "sitetools/gui/frmedit.h"
#include "sitetools/gui/frmexternaleditors.h"
#include "sitetools/gui/webpreview.h"
#include "sitetools/siteexplorer.h"
#include "sitetools/sitenames.h"
#include "transfer/ftpcommand.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>

namespace krtp {

namespace {

QPointer<frmExplorer> g_explorer;

constexpr int kSplitterWidth = 5;

QString keyOf(const QTreeWidgetItem* item) {
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

} // namespace

frmExplorer* frmExplorer::instance() {
    return g_explorer.data();
}

frmExplorer* frmExplorer::ShowWebPage() {
    if (g_explorer) {
        g_explorer->showNormal();
        g_explorer->raise();
        g_explorer->activateWindow();
        return g_explorer.data();
    }
    InstallEditWindow();
    g_explorer = new frmExplorer;
    g_explorer->setAttribute(Qt::WA_DeleteOnClose);
    g_explorer->Do_ShowWebPage();
    return g_explorer.data();
}

frmExplorer::frmExplorer(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmExplorer"));
    setWindowTitle(InitialCaption());
    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));
    m_explorer = new SiteExplorer(*inet, this);
    m_actions = new ExplorerActions(*m_explorer, this);
    imglistExplorer = ExplorerImages();

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("picMain"));
    setCentralWidget(m_central);
    buildButtons();
    buildViews();
    buildMenus();
    connectModel();

    buildStatusBar();
    buildKeys();

    connect(inet, &TransferControl::StateChanged, this, &frmExplorer::onStateChanged);
    m_central->installEventFilter(this);
    resize(1040, 620);
    rememberLayout();
    updateActions();
}

frmExplorer::~frmExplorer() {
    // The layout was kept when the window was hidden; a window destroyed while shown keeps nothing.
    delete m_memory;
}

void frmExplorer::buildStatusBar() {
    // The last action's outcome, and beside it the running transfer while a file moves.
    lblStatus = new QLabel(statusBar());
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    prgTransfer = new TransferProgress(this);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer->attach(inet);
    // Many files move over several connections: one line for the whole run, whose Cancel stops them all.
    prgTransfer->attachPool(&m_actions->pool());
    connect(prgTransfer, &TransferProgress::cancelled, m_actions, &ExplorerActions::Cancel);
    prgTransfer->install(*this, lblStatus);
    connect(m_actions, &ExplorerActions::busyChanged, this, [this](bool busy) {
        if (busy)
            prgTransfer->beginOperation();
        else
            prgTransfer->endOperation();
    });
    statusBar()->setSizeGripEnabled(true);
    connect(m_actions, &ExplorerActions::reported, this, &frmExplorer::showStatus);
}

void frmExplorer::buildKeys() {
    const auto key = [this](QAction*& a, const char* name, const char* text, QList<QKeySequence> keys,
                            QWidget* on, Qt::ShortcutContext context) {
        a = new QAction(QString::fromLatin1(text), this);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(context);
        on->addAction(a);
    };
    key(actRefresh, "actRefresh", "Refresh", {QKeySequence(Qt::Key_F5)}, this, Qt::WindowShortcut);
    key(actSelectAll, "actSelectAll", "Select All Files", {QKeySequence(Qt::CTRL | Qt::Key_A)}, lvwExplorer,
        Qt::WidgetShortcut);
    // Enter in the list opens the entry as the bold default of the action menu does.
    key(actOpen, "actOpen", "Download and Edit", {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
        lvwExplorer, Qt::WidgetShortcut);
    connect(actRefresh, &QAction::triggered, this, &frmExplorer::RefreshFolder);
    connect(actSelectAll, &QAction::triggered, m_actions, &ExplorerActions::SelectAll);
    connect(actOpen, &QAction::triggered, m_actions, &ExplorerActions::DownloadAndEdit);
}

void frmExplorer::rememberLayout() {
    m_memory = new WindowMemory(*this);
    m_memory->restore();
    m_memory->keep(
        [this](WindowMemory& m) {
            m.setValue(QStringLiteral("TreeWidth"), QString::number(m_treeWidth));
            m.setValue(QStringLiteral("PreviewWidth"), QString::number(m_previewWidth));
            m.setValue(QStringLiteral("PreviewPane"),
                       picPreview->isHidden() ? QStringLiteral("Hidden") : QStringLiteral("Shown"));
        },
        [this](WindowMemory& m) {
            const auto width = [&m](const char* key, int fallback) {
                bool ok = false;
                const int w = m.value(QLatin1String(key)).toInt(&ok);
                return ok && w > 0 ? qMin(w, 4000) : fallback;
            };
            m_treeWidth = width("TreeWidth", m_treeWidth);
            m_previewWidth = width("PreviewWidth", m_previewWidth);
            // Laid out when the window is shown at its kept size.
            if (m.value(QStringLiteral("PreviewPane")) == QLatin1String("Hidden"))
                picPreview->hide();
        });
}

QString frmExplorer::statusText() const {
    return lblStatus->text();
}

void frmExplorer::showStatus(const QString& text) {
    lblStatus->setText(text);
    lblStatus->setToolTip(text);
}

QHash<QString, frmExplorer::ListedFacts> frmExplorer::ParseListing(const QString& listing) {
    // permissions, links, owner, group, size, month day time-or-year, name
    static const QRegularExpression line(QStringLiteral(
        R"(^[-lrwxsStT]{10}\S*\s+\d+\s+\S+\s+\S+\s+(\d+)\s+([A-Za-z]{3}\s+\d{1,2}\s+(?:\d{1,2}:\d{2}|\d{4}))\s(.+)$)"));
    QHash<QString, ListedFacts> facts;
    for (const QString& text : listing.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = line.match(text.trimmed());
        if (!m.hasMatch() || text.startsWith(QLatin1Char('d')))
            continue;
        const qint64 size = m.captured(1).toLongLong();
        facts.insert(m.captured(3), {TransferProgress::SizeText(size), m.captured(2).simplified(), size});
    }
    return facts;
}

void frmExplorer::ShowFileFacts() {
    if (!m_explorer->hasSelectedFolder() || !m_explorer->fullAccess() || m_explorer->busy() ||
        m_actions->busy() || inet->StillExecuting())
        return;
    const QString key = m_explorer->selectedFolderKey();
    if (!m_facts.contains(key)) {
        QString listing;
        // Names from the host only pick entries of the list; they reach no path and no command.
        if (inet->Execute(QStringLiteral("DIR ") + QuoteCommandArgument(QLatin1Char('/') + key))) {
            inet->waitUntilIdle();
            for (QString chunk = inet->GetChunk(4096); !chunk.isEmpty(); chunk = inet->GetChunk(4096))
                listing += chunk;
        }
        m_facts.insert(key, ParseListing(listing));
    }
    const QHash<QString, ListedFacts>& facts = m_facts[key];
    ExplorerFileModel& files = m_explorer->files();
    for (const ListEntry& e : files.entries()) {
        const ListedFacts f = facts.value(e.text);
        files.setColumnText(e.key, SortKeyOf(QLatin1String(kSizeColumn)),
                            f.bytes < 0 ? QString() : SizeSortText(f.bytes));
        files.setColumnText(e.key, QLatin1String(kSizeColumn), f.size);
        files.setColumnText(e.key, QLatin1String(kModifiedColumn), f.modified);
    }
}

void frmExplorer::RefreshFolder() {
    if (!m_explorer->hasSelectedFolder() || m_explorer->busy() || m_actions->busy())
        return;
    m_facts.remove(m_explorer->selectedFolderKey());
    m_explorer->ShowFolderFiles();
}

void frmExplorer::buildButtons() {
    picButtonBar = new QWidget(m_central);
    picButtonBar->setObjectName(QStringLiteral("picButtonBar"));
    // Two rows of six: every caption shows in full on a window of ordinary width.
    auto* grid = new QGridLayout(picButtonBar);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(3);
    int count = 0;
    const auto button = [&](QPushButton*& b, const char* name, const char* caption, const char* tip) {
        b = new QPushButton(QString::fromLatin1(caption), picButtonBar);
        b->setObjectName(QLatin1String(name));
        if (tip)
            b->setToolTip(QString::fromLatin1(tip));
        grid->addWidget(b, count / 6, count % 6);
        ++count;
    };
    button(cmdDownload, "cmdDownload", "Download File(s)",
           "click here to download all of the selected files from the server");
    button(cmdOpenEdit, "cmdOpenEdit", "Download and Edit",
           "This is the easiest way to update a page if you know how to edit HTML");
    QFont bold = cmdOpenEdit->font();
    bold.setBold(true);
    cmdOpenEdit->setFont(bold);
    button(
        cmdExternalEditor, "cmdExternalEditor", "Edit With...",
        "This will let you edit a file that is on your local hard drive.  If you want to send the changes to "
        "the server when you are done, click <Send File(s) to Server>");
    button(cmdUploadFile, "cmdUploadFile", "Send File(s) to Server",
           "This button sends the local copy of all selected files to the server");
    button(cmdAddFilesToServer, "cmdAddFilesToServer", "Add File(s) to Server",
           "This button will allow you to brows your local hard drive and add a file to the server.");
    button(
        cmdNewFile, "cmdNewFile", "New File",
        "Adds the name of a new file to the selected folder.  Write its contents with <Download and Edit>.");
    button(cmdReplaceWith, "cmdReplaceWith", "Replace File With...",
           "This button will allow you to browse your local hard drive and replace the selected file on the "
           "server with a file on your hard drive.");
    button(cmdDeleteFile, "cmdDeleteFile", "Delete File(s) from Server",
           "This button will delete a file from the server.  If you want to delete the file from your local "
           "computer as well, you should click <Delete Local File(s)> before clicking on this button.");
    button(cmdDeleteLocal, "cmdDeleteLocal", "Delete Local File(s)",
           "This button deletes the local copy of a file.");
    button(cmdSelectAll, "cmdSelectAll", "Select All Files",
           "click on this button to select all of the files in the current folder");
    button(cmdExplorer, "cmdExplorer", "Explorer",
           "Opens your local copy of the web site in the desktop's file manager.");
    button(cmdPreviewPAne, "cmdPreviewPAne", "Preview Pane",
           "Shows or hides the preview of the selected file's local copy.");
    grid->setColumnStretch(6, 1);
    picButtonBar->setFixedHeight(picButtonBar->sizeHint().height());

    connect(cmdDownload, &QPushButton::clicked, m_actions, &ExplorerActions::Download);
    connect(cmdOpenEdit, &QPushButton::clicked, m_actions, &ExplorerActions::DownloadAndEdit);
    connect(cmdExternalEditor, &QPushButton::clicked, this, [this] {
        PopUpActionMenu(true, cmdExternalEditor->mapToGlobal(QPoint(0, cmdExternalEditor->height())));
    });
    connect(cmdUploadFile, &QPushButton::clicked, m_actions, &ExplorerActions::Send);
    connect(cmdAddFilesToServer, &QPushButton::clicked, m_actions, qOverload<>(&ExplorerActions::AddFiles));
    connect(cmdNewFile, &QPushButton::clicked, m_actions, qOverload<>(&ExplorerActions::NewFile));
    connect(cmdReplaceWith, &QPushButton::clicked, m_actions, &ExplorerActions::Replace);
    connect(cmdDeleteFile, &QPushButton::clicked, m_actions, &ExplorerActions::DeleteOnHost);
    connect(cmdDeleteLocal, &QPushButton::clicked, m_actions, &ExplorerActions::DeleteLocal);
    connect(cmdSelectAll, &QPushButton::clicked, m_actions, &ExplorerActions::SelectAll);
    connect(cmdExplorer, &QPushButton::clicked, m_actions, &ExplorerActions::OpenFileManager);
    connect(cmdPreviewPAne, &QPushButton::clicked, this, &frmExplorer::TogglePreviewPane);
}

void frmExplorer::buildViews() {
    tvwExplorer = new QTreeWidget(m_central);
    tvwExplorer->setObjectName(QStringLiteral("tvwExplorer"));
    tvwExplorer->setHeaderHidden(true);
    tvwExplorer->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvwExplorer, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (current && !m_syncing)
                    ShowFolderFiles();
            });
    connect(tvwExplorer, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (m_explorer->fullAccess() && tvwExplorer->itemAt(pos)) {
            mnuFoldersDelete->setEnabled(!m_explorer->selectedFolderKey().isEmpty());
            mnuFolders->popup(tvwExplorer->viewport()->mapToGlobal(pos));
        }
    });

    // One column of names: rows of one height keep folders of thousands of files quick to fill.
    lvwExplorer = new QTreeView(m_central);
    lvwExplorer->setObjectName(QStringLiteral("lvwExplorer"));
    lvwExplorer->setModel(&m_explorer->files());
    lvwExplorer->setRootIsDecorated(false);
    lvwExplorer->setUniformRowHeights(true);
    m_explorer->files().setColumns({{QString(), QStringLiteral("Name"), 2880},
                                    {QLatin1String(kSizeColumn), QStringLiteral("Size"), 1000},
                                    {QLatin1String(kModifiedColumn), QStringLiteral("Modified"), 1500}});
    lvwExplorer->header()->setStretchLastSection(false);
    lvwExplorer->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column : {1, 2})
        lvwExplorer->setColumnWidth(column, m_explorer->files().columnDefinitions()[column].widthTwips *
                                                logicalDpiX() / 1440);
    lvwExplorer->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwExplorer->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwExplorer->viewport()->installEventFilter(this);
    m_explorer->files().setRoleProvider([this](const ListEntry& e, int column, int role) -> QVariant {
        if (role == Qt::DecorationRole && column == 0)
            return imglistExplorer.value(e.smallIconKey);
        return {};
    });

    for (QFrame** splitter : {&picResize1, &picResize2}) {
        *splitter = new QFrame(m_central);
        (*splitter)->setFrameShape(QFrame::VLine);
        (*splitter)->setFrameShadow(QFrame::Raised);
        (*splitter)->setCursor(Qt::SplitHCursor);
        (*splitter)->installEventFilter(this);
    }
    picResize1->setObjectName(QStringLiteral("picResize1"));
    picResize2->setObjectName(QStringLiteral("picResize2"));

    picPreview = new QWidget(m_central);
    picPreview->setObjectName(QStringLiteral("picPreview"));
    auto* box = new QHBoxLayout(picPreview);
    box->setContentsMargins(0, 0, 0, 0);
    webPreview = new WebPreview(picPreview);
    webPreview->setObjectName(QStringLiteral("webPreview"));
    box->addWidget(webPreview);
}

void frmExplorer::buildMenus() {
    mnuAction = new QMenu(QStringLiteral("&Action"), this);
    mnuAction->setObjectName(QStringLiteral("mnuAction"));
    const auto entry = [this](QAction*& a, const char* name, const char* caption, const QKeySequence& keys) {
        a = mnuAction->addAction(QString::fromLatin1(caption));
        a->setObjectName(QLatin1String(name));
        if (!keys.isEmpty()) {
            a->setShortcut(keys);
            a->setShortcutContext(Qt::WindowShortcut);
            addAction(a); // the menu is only a pop-up; the window carries the shortcuts
        }
    };
    entry(mnuActionDownload, "mnuActionDownload", "Download selected file(s) from server",
          QKeySequence(Qt::CTRL | Qt::Key_D));
    mnuActionBreak1 = mnuAction->addSeparator();
    mnuActionBreak1->setObjectName(QStringLiteral("mnuActionBreak1"));
    entry(mnuActionEdit, "mnuActionEdit", "Download and Edit (quick and easy)",
          QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction* editWith = mnuAction->addAction(QStringLiteral("Edit With..."));
    editWith->setObjectName(QStringLiteral("mnuActionExternalEditor0"));
    mnuActionExternalEditor << editWith;
    entry(mnuActionConfigure, "mnuActionConfigure", "Configure External Editors...", {});
    mnuActionBreak2 = mnuAction->addSeparator();
    mnuActionBreak2->setObjectName(QStringLiteral("mnuActionBreak2"));
    entry(mnuActionUpload, "mnuActionUpload", "Upload selected file(s) to server",
          QKeySequence(Qt::CTRL | Qt::Key_U));
    entry(mnuActionDeleteFiles, "mnuActionDeleteFiles", "Delete selected file(s) from server",
          QKeySequence(Qt::Key_Delete));
    entry(mnuActionDeleteLocal, "mnuActionDeleteLocal", "Delete selected file(s) from your local hard drive",
          {});

    connect(mnuActionDownload, &QAction::triggered, m_actions, &ExplorerActions::Download);
    connect(mnuActionEdit, &QAction::triggered, m_actions, &ExplorerActions::DownloadAndEdit);
    connect(mnuActionConfigure, &QAction::triggered, this, &frmExplorer::ConfigureExternalEditors);
    connect(mnuActionUpload, &QAction::triggered, m_actions, &ExplorerActions::Send);
    connect(mnuActionDeleteFiles, &QAction::triggered, m_actions, &ExplorerActions::DeleteOnHost);
    connect(mnuActionDeleteLocal, &QAction::triggered, m_actions, &ExplorerActions::DeleteLocal);

    mnuFolders = new QMenu(QStringLiteral("&Folders"), this);
    mnuFolders->setObjectName(QStringLiteral("mnuFolders"));
    mnuFoldersNew = mnuFolders->addAction(QStringLiteral("Create &New Subfolder..."));
    mnuFoldersNew->setObjectName(QStringLiteral("mnuFoldersNew"));
    mnuFoldersDelete = mnuFolders->addAction(QStringLiteral("&Delete Current Folder (Folder Must Be Empty)"));
    mnuFoldersDelete->setObjectName(QStringLiteral("mnuFoldersDelete"));
    connect(mnuFoldersNew, &QAction::triggered, m_actions, qOverload<>(&ExplorerActions::CreateSubfolder));
    connect(mnuFoldersDelete, &QAction::triggered, m_actions, &ExplorerActions::DeleteCurrentFolder);
}

void frmExplorer::connectModel() {
    connect(m_explorer, &SiteExplorer::folderAdded, this, &frmExplorer::addTreeItem);
    connect(m_explorer, &SiteExplorer::folderRemoved, this, &frmExplorer::removeTreeItem);
    connect(m_explorer, &SiteExplorer::folderShown, this, [this](const QString& key) {
        QTreeWidgetItem* item = treeItem(key);
        if (!item)
            return;
        if (m_openItem && m_openItem != item)
            m_openItem->setIcon(0, image(QStringLiteral("folderclosed")));
        item->setIcon(0, image(QStringLiteral("folderopen")));
        m_openItem = item;
        m_syncing = true;
        tvwExplorer->setCurrentItem(item);
        m_syncing = false;
        const int n = m_explorer->files().count();
        showStatus(QLatin1Char('/') + key + QStringLiteral(": ") + QString::number(n) +
                   (n == 1 ? QStringLiteral(" file") : QStringLiteral(" files")));
        ShowFileFacts();
    });
    // What an action changed is read again once it is over.
    connect(m_actions, &ExplorerActions::reported, this, [this] { m_facts.clear(); });
    connect(m_actions, &ExplorerActions::busyChanged, this, [this](bool busy) {
        if (!busy)
            ShowFileFacts();
    });
    connect(m_explorer, &SiteExplorer::actionsChanged, this, &frmExplorer::updateActions);
    connect(m_explorer, &SiteExplorer::busyChanged, this, &frmExplorer::setBusy);
    ExplorerFileModel& files = m_explorer->files();
    connect(lvwExplorer->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmExplorer::selectionToModel);
    connect(&files, &ExplorerFileModel::selectionFlagsChanged, this, &frmExplorer::modelToSelection);
    connect(&files, &ExplorerFileModel::ensureVisibleRequested, this, [this](const QString& key) {
        const int row = m_explorer->files().rowOf(key);
        if (row >= 0)
            lvwExplorer->scrollTo(m_explorer->files().index(row, 0));
    });
    connect(lvwExplorer, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            FileClicked(m_explorer->files().at(index.row()).key);
    });
}

QTreeWidgetItem* frmExplorer::treeItem(const QString& key) const {
    return m_items.value(key.toLower());
}

void frmExplorer::addTreeItem(const QString& key) {
    const FolderNode* node = m_explorer->node(key);
    if (!node)
        return;
    QTreeWidgetItem* item;
    if (key.isEmpty()) {
        item = new QTreeWidgetItem(tvwExplorer);
    } else {
        QTreeWidgetItem* parent = treeItem(node->parentKey);
        if (!parent)
            return;
        item = new QTreeWidgetItem(parent);
    }
    item->setText(0, node->text);
    item->setData(0, Qt::UserRole, node->key);
    item->setIcon(0, image(QStringLiteral("folderclosed")));
    m_items.insert(key.toLower(), item);
}

void frmExplorer::removeTreeItem(const QString& key) {
    QTreeWidgetItem* item = treeItem(key);
    if (!item)
        return;
    const QString lower = key.toLower();
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it.key().startsWith(lower))
            it = m_items.erase(it);
        else
            ++it;
    }
    if (m_openItem && (m_openItem == item || keyOf(m_openItem).toLower().startsWith(lower)))
        m_openItem = nullptr;
    m_syncing = true;
    delete item;
    m_syncing = false;
}

void frmExplorer::Do_ShowWebPage() {
    // The two menus are pop-ups only: the window has no menu bar.
    LoadExternalEditors();
    tvwExplorer->clear();
    m_items.clear();
    m_openItem = nullptr;
    show();
    QCoreApplication::processEvents();
    m_explorer->Open();
    if (QTreeWidgetItem* root = treeItem(QString()))
        root->setExpanded(true);
    LayOut();
}

void frmExplorer::ShowFolderFiles() {
    m_explorer->clickFolder(keyOf(tvwExplorer->currentItem()));
    if (QTreeWidgetItem* item = treeItem(m_explorer->selectedFolderKey()))
        item->setExpanded(true);
}

void frmExplorer::updateActions() {
    const bool add = m_explorer->canAddFiles();
    const bool del = m_explorer->canDeleteFiles();
    cmdAddFilesToServer->setEnabled(add);
    cmdNewFile->setEnabled(add);
    cmdDeleteFile->setEnabled(del);
    mnuActionDeleteFiles->setEnabled(del);
}

void frmExplorer::setBusy(bool busy) {
    // The progress line stays usable: its Cancel stops the transfer under way.
    m_central->setEnabled(!busy);
    for (QAction* a : QWidget::actions())
        a->setEnabled(!busy && (a != mnuActionDeleteFiles || m_explorer->canDeleteFiles()));
}

void frmExplorer::LoadExternalEditors() {
    m_actions->LoadExternalEditors();
    const QList<ExternalEditor>& editors = m_actions->editors();
    for (int i = 1; i <= editors.size(); ++i) {
        if (i >= mnuActionExternalEditor.size()) {
            auto* a = new QAction(mnuAction);
            a->setObjectName(QStringLiteral("mnuActionExternalEditor%1").arg(i));
            mnuAction->insertAction(mnuActionConfigure, a);
            connect(a, &QAction::triggered, this, [this, i] { m_actions->EditWith(i); });
            mnuActionExternalEditor << a;
        }
        QAction* a = mnuActionExternalEditor[i];
        const ExternalEditor& e = editors[i - 1];
        a->setText(e.caption());
        a->setEnabled(e.found);
        a->setVisible(true);
    }
    for (int i = int(editors.size()) + 1; i < mnuActionExternalEditor.size(); ++i)
        mnuActionExternalEditor[i]->setVisible(false);
}

void frmExplorer::ConfigureExternalEditors() {
    frmExternalEditors window(runState().ExternalEditorsFile, this);
    window.exec();
    LoadExternalEditors();
}

bool frmExplorer::folderAndFileSelected() const {
    return m_explorer->hasSelectedFolder() && !m_actions->currentKey().isEmpty();
}

void frmExplorer::PopUpActionMenu(bool editorsOnly, const QPoint& globalPos) {
    for (QAction* a : {mnuActionDownload, mnuActionBreak1, mnuActionEdit, mnuActionBreak2, mnuActionUpload,
                       mnuActionDeleteFiles, mnuActionDeleteLocal})
        a->setVisible(!editorsOnly);
    mnuAction->setDefaultAction(editorsOnly ? nullptr : mnuActionEdit);
    mnuAction->popup(globalPos);
}

void frmExplorer::FileClicked(const QString& key) {
    ExplorerFileModel& files = m_explorer->files();
    if (!files.contains(key))
        return;
    files.setFocusedKey(key);
    if (!picPreview->isHidden() && m_explorer->hasSelectedFolder()) {
        const QString local = LocalMirrorPath(files.hostPath(key));
        if (QFileInfo::exists(local))
            webPreview->navigate(QUrl::fromLocalFile(QDir::current().absoluteFilePath(local)));
        else
            webPreview->showBlank();
    }
    m_explorer->refreshIcon(key);
}

void frmExplorer::selectionToModel() {
    if (m_syncing)
        return;
    m_syncing = true;
    ExplorerFileModel& files = m_explorer->files();
    QItemSelectionModel* sel = lvwExplorer->selectionModel();
    for (int row = 0; row < files.count(); ++row)
        files.KeyedListModel::setSelected(files.at(row).key, sel->isRowSelected(row, {}));
    const QModelIndex current = sel->currentIndex();
    if (current.isValid())
        files.setFocusedKey(files.at(current.row()).key);
    m_syncing = false;
}

void frmExplorer::modelToSelection() {
    if (m_syncing)
        return;
    m_syncing = true;
    ExplorerFileModel& files = m_explorer->files();
    QItemSelection selection;
    for (int row = 0; row < files.count(); ++row)
        if (files.at(row).selected)
            selection.select(files.index(row, 0), files.index(row, 0));
    lvwExplorer->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void frmExplorer::TogglePreviewPane() {
    picPreview->setVisible(picPreview->isHidden());
    LayOut();
}

void frmExplorer::LayOut() {
    setWindowTitle(Caption());
    const int w = m_central->width();
    const int h = m_central->height();
    picButtonBar->setGeometry(0, 0, w, picButtonBar->height());
    const int top = picButtonBar->height();
    const int height = qMax(0, h - top);
    const bool preview = !picPreview->isHidden();
    m_treeWidth = qBound(40, m_treeWidth, qMax(40, w - 120));
    tvwExplorer->setGeometry(0, top, m_treeWidth, height);
    picResize1->setGeometry(m_treeWidth, top, kSplitterWidth, height);
    const int listLeft = m_treeWidth + kSplitterWidth;
    int previewWidth = preview ? qBound(40, m_previewWidth, qMax(40, w - listLeft - 80)) : 0;
    if (preview)
        m_previewWidth = previewWidth;
    const int listWidth = qMax(0, w - listLeft - (preview ? previewWidth + kSplitterWidth : 0));
    lvwExplorer->setGeometry(listLeft, top, listWidth, height);
    picResize2->setVisible(preview);
    if (preview) {
        picResize2->setGeometry(listLeft + listWidth, top, kSplitterWidth, height);
        picPreview->setGeometry(listLeft + listWidth + kSplitterWidth, top, previewWidth, height);
    }
}

void frmExplorer::SplitterDropped(QWidget* splitter, QWidget* target, int x) {
    if (splitter == picResize1) {
        if (target == tvwExplorer)
            m_treeWidth = x;
        else if (target == lvwExplorer)
            m_treeWidth += x;
    } else if (splitter == picResize2) {
        if (target == lvwExplorer)
            m_previewWidth = m_previewWidth + lvwExplorer->width() - x;
        else if (target == webPreview || target == picPreview)
            m_previewWidth -= x;
    }
    LayOut();
}

void frmExplorer::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayOut();
}

void frmExplorer::closeEvent(QCloseEvent* event) {
    // An action under way still works on this window's list and control.
    if (m_actions->busy() || m_explorer->busy()) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    inet->Execute(QStringLiteral("QUIT"));
    inet->waitUntilIdle(5000);
    event->accept();
}

void frmExplorer::onStateChanged(int state) {
    const QString caption = StateText(state);
    if (!caption.isEmpty())
        setWindowTitle(caption);
    if (state == StateError)
        inet->Cancel();
}

bool frmExplorer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_central && event->type() == QEvent::Resize) {
        LayOut();
    } else if ((watched == picResize1 || watched == picResize2) &&
               event->type() == QEvent::MouseButtonPress) {
        m_dragging = static_cast<QWidget*>(watched);
        return true;
    } else if (watched == m_dragging && event->type() == QEvent::MouseButtonRelease) {
        QWidget* splitter = m_dragging;
        m_dragging = nullptr;
        const QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (QWidget* at = QApplication::widgetAt(global)) {
            QWidget* drop = at;
            for (QWidget* candidate : std::initializer_list<QWidget*>{tvwExplorer, lvwExplorer, webPreview})
                if (candidate == at || candidate->isAncestorOf(at))
                    drop = candidate;
            SplitterDropped(splitter, drop, drop->mapFromGlobal(global).x());
        }
        return true;
    } else if (watched == lvwExplorer->viewport() && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (folderAndFileSelected())
            PopUpActionMenu(false, static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace krtp
