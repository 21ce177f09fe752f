#pragma once

#include "filestore/cataloguechanges.h"

#include "filestore/filelistmodel.h"
#include "filestore/filestore.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QDockWidget;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QTimer;
class QToolButton;
class QStatusBar;

namespace krtp {

class frmHistory;
struct SeenEntry;
class FileListView;
class StoreOperations;
class TransferControl;
class TransferProgress;
class WindowMemory;
class frmCheckIn;
struct OperationReport;

// The shared file store's window: the file list with its status icons, the toolbar, the preview pane
// and the command console. The store's operations run on its FileStore (model, transfer control,
// settings, dialogs); the window shows the model and forwards its buttons and menus.
class frmFileList : public QMainWindow {
    Q_OBJECT
public:
    explicit frmFileList(QWidget* parent = nullptr);
    ~frmFileList() override;

    // The one store window of the process, created on first use; shown, drawn once and rebuilt from the
    // host. The main menu's "Levels" button calls this. Returns nullptr when the window closed itself
    // during the rebuild (outdated program).
    // configure runs once on a newly made window, before it is shown (the openers of the windows of
    // higher layers: options, local folder, accounts).
    static frmFileList* ShowFileList(const std::function<void(frmFileList&)>& configure = {});
    // The open store window, or nullptr.
    static frmFileList* instance();

    bool UpdateFileList();
    // The store's operations on the selected entries; one at a time (see StoreOperations).
    void CheckOut();
    void CheckIn();
    void GetLatestVersion();
    void OpenFile();
    // Adding files: the level test, then the add window.
    void AddFiles();
    // The owner's actions, the read-only switch and the administrator's edit window, on the current
    // entry (the focused entry when selected, else the only selected one).
    void ChangeFileDescription();
    void DeleteFile();
    void RelinquishControl();
    void ToggleReadOnly();
    void EditFileDetails();
    // Enables the owner entries of the Actions menu (and the Read Only check mark) for the current entry.
    void EnableOwnerOptions();
    // The companion lists, made on first showing and brought to the front afterwards.
    void ShowCheckedOutFiles();
    void ShowOutdatedFiles();
    // Looks whether the catalogue changed since the last look (one listing command, no download)
    // and, when it did, rebuilds the list and says in the status line what other members did.
    // Nothing while an operation runs or when the member turned it off. True when it rebuilt.
    bool CheckForChanges();
    static constexpr int kWatchMs = 30000;
    // The history window of the focused (or first selected) file.
    frmHistory* ShowHistory();
    // Refuses while the member holds a check-out, else asks for the folder (chooseLocalFolder).
    void ChangeLocalFolder();
    void ShowOptions();
    void Explore();
    QString currentKey() const;
    StoreOperations& operations() { return *m_ops; }
    QString GetIcon(bool pblnUseDefault, const QString& pstrDefault, const QString& pstrFileName) const {
        return m_store->GetIcon(pblnUseDefault, pstrDefault, pstrFileName);
    }
    void SaveIcons();
    void LoadIcons();
    int LastCountOfOutdatedFiles() const { return m_store->LastCountOfOutdatedFiles; }
    int LastCountOfCheckedOutFiles() const { return m_store->LastCountOfCheckedOutFiles; }
    QString GetChunkData() const { return m_store->GetChunkData; }

    FileStore& store() { return *m_store; }
    FileListModel& model() { return m_model; }

    int viewStyle() const;
    void setViewStyle(int style);
    // Lays the list, splitter and preview out by the current sizes and options.
    void LayOut();
    void ToggleToolbar();
    // A splitter drop at x in the coordinates of target (the list, the preview or its text box).
    void SplitterDropped(QWidget* target, int x);
    int previewWidth() const { return m_previewWidth; }
    void UpdatePreview();
    // An image of imglstFileList by key.
    QIcon image(const QString& key) const { return imglstFileList.value(key); }

    // Windows of higher layers, set by whoever opens this window; an entry whose opener is unset stays
    // disabled. chooseLocalFolder shows the local-folder window modal.
    std::function<void()> showOptions;
    std::function<void()> chooseLocalFolder;
    std::function<void()> openUsers; // the accounts window, for administrators
    // Applies the openers' presence to the toolbar and menus (call after setting them).
    void UpdateOpeners();
    // Ending the program at once (the member refused the catalogue repair).
    std::function<void()> endProgram;

    static QString windowCaption() { return QStringLiteral("KRtp - Korrindale Guildhouse"); }

    // The status line: the last operation's outcome (progress shows over it while a transfer runs).
    QString statusText() const;
    void showStatus(const QString& text);
    // Hides the entries whose name and description do not contain the filter text; the model keeps
    // them all.
    void ApplyFilter();
    // Size and modification time of the member's local copies (empty where there is none).
    void FillLocalColumns();
    static constexpr int kConsoleMinWindowHeight = 420;
    static constexpr char kLocalSize[] = "localsize";
    static constexpr char kLocalChanged[] = "localchanged";
    int shownCount() const;

    // The legend of the status icons (Help menu).
    void ShowStatusIcons();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Controls; each carries its name as objectName, by which tests find it.
    TransferControl* inet;
    QHash<QString, QIcon> imglstFileList; // in the order of FileListImageKeys()
    QWidget* picToolBar;
    QToolButton* cmdGetLatestVersion;
    QToolButton* cmdCheckIn;
    QToolButton* cmdCheckOut;
    QToolButton* cmdAddFile;
    QToolButton* cmdSetLocalFolder;
    QToolButton* cmdRefresh;
    QToolButton* cmdOptions;
    QToolButton* cmdExplorer;
    FileListView* lvwFileList;
    QFrame* picResize1;
    QLabel* picPreview;
    QPlainTextEdit* txtPreview;
    QDockWidget* fraConsole;
    QLineEdit* txtCommands;
    QPlainTextEdit* txtResults;
    QLabel* lblStatus;
    QLineEdit* txtFilter;
    // What the running transfer moves, with its rate and a Cancel button.
    TransferProgress* prgTransfer;

    QMenu* mnuFile;
    QAction* mnuFileRefresh;
    QAction* mnuFileAddFiles;
    QAction* mnuFileShowCheckedOutFiles;
    QAction* mnuFileShowOutOfDate;
    QAction* mnuFileSetLocalFolder;
    QAction* mnuFileExplore;
    QAction* mnuFileUsers;
    QAction* mnuFileExit;
    QMenu* mnuEdit;
    QAction* mnuEditSelectAll;
    QAction* mnuEditSelectNone;
    QMenu* mnuView;
    QAction* mnuViewToolbar;
    QAction* mnuViewOptions;
    QMenu* mnuActions;
    QAction* mnuActionsOpenFile;
    QAction* mnuActionsReadOnly;
    QAction* mnuActionsGetLatestVersion;
    QAction* mnuActionsCheckIn;
    QAction* mnuActionsCheckOut;
    QAction* mnuActionsHistory;
    QAction* mnuActionsChangeFileDescription;
    QAction* mnuActionsDeleteFile;
    QAction* mnuActionsRelinquishControl;
    QAction* mnuActionsEditFileDetails;
    QMenu* mnuHelp;
    QAction* mnuHelpStatusIcons;

    void buildImages();
    void buildToolbar();
    void buildMenus();
    void buildPreviewAndConsole();
    void buildStatusBar();
    void buildFilter();
    void rememberLayout();
    void showReport(const OperationReport& report);
    void appendResult(const QString& text);
    void onStateChanged(int state);
    void onCommandEntered();
    void showActionsPopup(const QPoint& globalPos);
    // Closes the store's other windows (add, check-in, options, local folder, companion lists).
    void closeOwnedWindows();
    // While an operation waits for the host, the store's actions and the console are disabled; the
    // list stays usable for scrolling.
    void setStoreActionsEnabled(bool enabled);

    FileListModel m_model;
    FileStore* m_store;
    StoreOperations* m_ops;
    QTimer* m_watch = nullptr;
    QString m_catalogueStamp;
    QList<SeenEntry> m_seen;
    frmCheckIn* m_checkIn;
    QPointer<QWidget> m_checkedOutFiles;
    QPointer<QWidget> m_outdatedFiles;
    QPointer<QWidget> m_statusIcons;
    WindowMemory* m_memory = nullptr;
    QWidget* m_central;
    int m_margin = 4;
    int m_previewWidth = 220;
    bool m_draggingSplitter = false;
    bool m_closing = false;
    bool m_ownerOptionsPending = false;
    bool m_filterPending = false;
};

} // namespace krtp
