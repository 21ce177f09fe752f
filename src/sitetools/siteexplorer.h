#pragma once

#include "sitetools/accesslist.h"
#include "sitetools/explorerfilemodel.h"
#include "sitetools/sitetext.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace krtp {

class TransferControl;

// One folder of the explorer's tree. key: the folder key ("" for the root, "images/",
// "pages/old/"); tag: the folder's listing as the host returned it, empty until it is listed.
struct FolderNode {
    QString key;
    QString text;
    QString parentKey;
    QString tag;
};

// The site explorer without its window: the member's access list, the folder tree with its cached
// listings, the file list of the selected folder and which actions it allows. The window shows it;
// krtp-cli runs it without one.
//
// Names from the host and from the access list never become folders, entries or paths unless they
// pass IsSafeSiteName: an entry with "..", a separator, a drive or a control character is skipped.
class SiteExplorer : public QObject {
    Q_OBJECT
public:
    // Image keys of the tree and the list.
    static QStringList ImageKeys();

    explicit SiteExplorer(TransferControl& inet, QObject* parent = nullptr);
    ~SiteExplorer() override;

    TransferControl& inet() { return m_inet; }
    ExplorerFileModel& files() { return m_files; }
    const ExplorerFileModel& files() const { return m_files; }

    // Reads the logged-in member's access list (administrators need none) and builds the tree:
    // the root, and for a restricted member "images/" and the folders the list names. Selects the
    // root and shows its files.
    void Open();

    const AccessList& accessList() const { return m_access; }
    bool fullAccess() const { return m_access.fullAccess(); }
    // Applies change to the member's access list as the host has it now, under the shared lock,
    // and sends it back (registering or unregistering a file). False when it could not be changed;
    // the failure was shown and *why (when given) repeats it.
    bool ChangeAccessList(const std::function<void(AccessList&)>& change, QString* why = nullptr);

    // The tree, in the order the folders were added.
    const QList<FolderNode>& nodes() const { return m_nodes; }
    // The node whose key equals key ignoring case, or nullptr.
    const FolderNode* node(const QString& key) const;
    // Child folders of a node, in order.
    QList<const FolderNode*> children(const QString& key) const;
    // Adds the folder entry ("name" or "name/") below the node whose key is parentKey (ignoring
    // case). Entries beginning with "." (the folder itself, its parent) and unsafe names are
    // skipped, as is a folder the tree already holds. True when a node was added.
    bool AddFolderNode(const QString& parentKey, const QString& entry);
    void setTag(const QString& key, const QString& tag);
    // Removes a node and everything below it (a folder deleted on the host).
    void removeFolderNode(const QString& key);

    // The folder whose files are shown; empty key with hasSelectedFolder() false before Open().
    QString selectedFolderKey() const { return m_selected; }
    bool hasSelectedFolder() const { return m_hasSelection; }
    // A click on a tree node: shows its files unless it is the folder last shown by a click.
    void clickFolder(const QString& key);
    // Selects a folder and shows its files, listing every level on the way for a full-access member
    // (krtp-cli). False when the folder is not in the tree.
    bool openFolder(const QString& key);

    // Asks the host for the listing of path (a folder key, or a host path of one file); lines end
    // in CR LF, folders end in "/". A failed listing gives what arrived, usually nothing.
    QString ListSiteFolder(const QString& path);
    // Fills the file list for the selected folder and sets which actions are enabled.
    void ShowFolderFiles();

    // "file" when the local mirror copy of folderKey + name exists, else "filenotfound"; without a
    // folder key, the selected folder's.
    QString FileIconKey(const QString& name, const QString& folderKey) const;
    QString FileIconKey(const QString& name) const { return FileIconKey(name, m_selected); }
    // The same for a host path.
    static QString IconForHostPath(const QString& hostPath);
    // Sets an entry's icon from its mirror copy.
    void refreshIcon(const QString& key);

    // What the shown folder allows: cmdAddFilesToServer and cmdNewFile, cmdDeleteFile and
    // mnuActionDeleteFiles.
    bool canAddFiles() const { return m_canAdd; }
    bool canDeleteFiles() const { return m_canDelete; }

    // Measurements of the last ShowFolderFiles: its whole time and the part spent waiting for the
    // host's listing (0 when the listing came from the cache).
    qint64 lastShowNs = 0;
    qint64 lastListingNs = 0;

    // Busy while the host is asked; calls nest. The window disables itself meanwhile.
    bool busy() const { return m_busy > 0; }
    void beginBusy();
    void endBusy();

signals:
    void folderAdded(const QString& key);
    void folderRemoved(const QString& key);
    void folderShown(const QString& key);
    void actionsChanged();
    void busyChanged(bool busy);

private:
    int indexOf(const QString& key) const;
    void addNode(const QString& key, const QString& text, const QString& parentKey);
    void setActions(bool add, bool del);

    TransferControl& m_inet;
    ExplorerFileModel m_files;
    AccessList m_access;
    SiteText m_accessEncoding; // how the list came, so that it is written back alike
    QList<FolderNode> m_nodes;
    QHash<QString, int> m_index; // lower-case key -> row of m_nodes
    QString m_selected;
    bool m_hasSelection = false;
    QString m_lastClicked;
    bool m_hasLastClicked = false;
    bool m_canAdd = false;
    bool m_canDelete = false;
    int m_busy = 0;
};

} // namespace krtp
