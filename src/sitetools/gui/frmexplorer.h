#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMainWindow>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeView;
class QTreeWidgetItem;

namespace krtp {

class ExplorerActions;
class SiteExplorer;
class TransferControl;
class TransferProgress;
class WebPreview;
class WindowMemory;

// The site explorer: the site's folders as the member's access list allows them, the files of the
// selected folder, a preview of the local copy and the file actions. The explorer's state and rules
// live in SiteExplorer and ExplorerActions; the window shows them and forwards its buttons and menus.
class frmExplorer : public QMainWindow {
    Q_OBJECT
public:
    explicit frmExplorer(QWidget* parent = nullptr);
    ~frmExplorer() override;

    // The main menu's "Webpage": the one explorer of the process, opened for the logged-in member,
    // or the open one brought to the front.
    static frmExplorer* ShowWebPage();
    static frmExplorer* instance();

    // Prepares the window for the logged-in member and shows it (modeless).
    void Do_ShowWebPage();
    // Rebuilds the "Edit With..." group from the external editors file.
    void LoadExternalEditors();
    // Shows the files of the tree's selected folder (the tree's click).
    void ShowFolderFiles();
    void LayOut();
    // A splitter (picResize1 or picResize2) dropped at x in the coordinates of target.
    void SplitterDropped(QWidget* splitter, QWidget* target, int x);
    void TogglePreviewPane();
    // The list's click on an entry: preview and icon.
    void FileClicked(const QString& key);
    // Pops the action menu up: all entries at pos (the list's right button), or only the editors
    // below the "Edit With..." button.
    void PopUpActionMenu(bool editorsOnly, const QPoint& globalPos);
    void ConfigureExternalEditors();
    // Shows the selected folder's files again (F5).
    void RefreshFolder();
    // The status line: the last action's outcome (a running transfer shows in the progress beside it).
    QString statusText() const;
    void showStatus(const QString& text);

    SiteExplorer& explorer() { return *m_explorer; }
    ExplorerActions& actions() { return *m_actions; }
    QIcon image(const QString& key) const { return imglistExplorer.value(key); }
    QTreeWidgetItem* treeItem(const QString& key) const;
    int treeWidth() const { return m_treeWidth; }
    int previewWidth() const { return m_previewWidth; }

    // Size and time of the shown folder's files, as the host lists them (full access: the host's
    // listing; the access list of a restricted member names no facts). Read once per folder.
    void ShowFileFacts();
    struct ListedFacts {
        QString size;
        QString modified;
        qint64 bytes = -1;
    };
    // The facts of the Unix-style listing lines ("-rw-r--r-- 1 o g 1234 Dec 07 16:53 name") by name;
    // lines of another form are left out.
    static QHash<QString, ListedFacts> ParseListing(const QString& listing);
    static constexpr char kSizeColumn[] = "size";
    static constexpr char kModifiedColumn[] = "modified";

    static QString InitialCaption() { return QStringLiteral("KR Web Page"); }
    static QString Caption() { return QStringLiteral("Norrow Eternal") + QStringLiteral(" Web Page"); }

    TransferControl* inet = nullptr;
    QHash<QString, QIcon> imglistExplorer;
    QWidget* picButtonBar = nullptr;
    QPushButton* cmdDownload = nullptr;
    QPushButton* cmdOpenEdit = nullptr;
    QPushButton* cmdExternalEditor = nullptr;
    QPushButton* cmdUploadFile = nullptr;
    QPushButton* cmdAddFilesToServer = nullptr;
    QPushButton* cmdNewFile = nullptr;
    QPushButton* cmdReplaceWith = nullptr;
    QPushButton* cmdDeleteFile = nullptr;
    QPushButton* cmdDeleteLocal = nullptr;
    QPushButton* cmdSelectAll = nullptr;
    QPushButton* cmdExplorer = nullptr;
    QPushButton* cmdPreviewPAne = nullptr;
    QTreeWidget* tvwExplorer = nullptr;
    QFrame* picResize1 = nullptr;
    QTreeView* lvwExplorer = nullptr;
    QFrame* picResize2 = nullptr;
    QWidget* picPreview = nullptr;
    WebPreview* webPreview = nullptr;
    TransferProgress* prgTransfer = nullptr;
    QLabel* lblStatus = nullptr;

    QMenu* mnuAction = nullptr;
    QAction* mnuActionDownload = nullptr;
    QAction* mnuActionBreak1 = nullptr;
    QAction* mnuActionEdit = nullptr;
    QList<QAction*> mnuActionExternalEditor; // entry 0 is "Edit With..."
    QAction* mnuActionConfigure = nullptr;
    QAction* mnuActionBreak2 = nullptr;
    QAction* mnuActionUpload = nullptr;
    QAction* mnuActionDeleteFiles = nullptr;
    QAction* mnuActionDeleteLocal = nullptr;
    QMenu* mnuFolders = nullptr;
    QAction* mnuFoldersNew = nullptr;
    QAction* mnuFoldersDelete = nullptr;
    // Keys of the window that have no entry in the pop-up menus.
    QAction* actRefresh = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actOpen = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildButtons();
    void buildMenus();
    void buildViews();
    void buildStatusBar();
    void buildKeys();
    void rememberLayout();
    void connectModel();
    void addTreeItem(const QString& key);
    void removeTreeItem(const QString& key);
    void updateActions();
    void setBusy(bool busy);
    void onStateChanged(int state);
    void selectionToModel();
    void modelToSelection();
    bool folderAndFileSelected() const;

    SiteExplorer* m_explorer;
    ExplorerActions* m_actions;
    QWidget* m_central;
    QHash<QString, QTreeWidgetItem*> m_items; // lower-case key
    QTreeWidgetItem* m_openItem = nullptr;
    int m_treeWidth = 200;
    int m_previewWidth = 320;
    QWidget* m_dragging = nullptr;
    bool m_syncing = false;
    WindowMemory* m_memory = nullptr;
    QHash<QString, QHash<QString, ListedFacts>> m_facts; // by folder key
};

} // namespace krtp
