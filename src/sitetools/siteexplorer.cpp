#include "sitetools/siteexplorer.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "platform/dialogs.h"
#include "sitetools/sitenames.h"
#include "sitetools/sitetext.h"
#include "transfer/ftpcommand.h"
#include "transfer/sharedfile.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString parentOf(const QString& key) {
    const QString trimmed = key.chopped(1);
    return trimmed.left(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

QStringList SiteExplorer::ImageKeys() {
    return {QStringLiteral("folderclosed"), QStringLiteral("folderopen"), QStringLiteral("file"),
            QStringLiteral("filedownload"), QStringLiteral("fileupload"), QStringLiteral("filenotfound"),
            QStringLiteral("filedelete")};
}

SiteExplorer::SiteExplorer(TransferControl& inet, QObject* parent) : QObject(parent), m_inet(inet) {}

SiteExplorer::~SiteExplorer() = default;

void SiteExplorer::beginBusy() {
    if (m_busy++ == 0)
        emit busyChanged(true);
}

void SiteExplorer::endBusy() {
    if (--m_busy == 0)
        emit busyChanged(false);
}

void SiteExplorer::Open() {
    m_nodes.clear();
    m_index.clear();
    m_files.clear();
    m_hasSelection = false;
    m_hasLastClicked = false;
    const RunState& rs = runState();
    if (rs.UserLevel != LevelAdministrator) {
        QDir().mkpath(QLatin1String(kMirrorRoot) + QStringLiteral("/krg"));
        QString content;
        const QString path = AccessList::PathFor(rs.CurrentUserName);
        if (!path.isEmpty()) {
            beginBusy();
            QString mode = QLatin1String(kSaveToFile);
            QByteArray bytes;
            // A failed download leaves the list empty: the member sees the root and "images/".
            if (GetFileFromServer(m_inet, path, mode) && ReadWholeFile(LocalMirrorPath(path), bytes)) {
                const SiteText decoded = SiteText::decode(bytes);
                content = decoded.text;
                m_accessEncoding = decoded;
            }
            endBusy();
        }
        m_access = AccessList::FromContent(content);
    } else {
        m_access = AccessList::Unrestricted();
    }
    addNode(QString(), QLatin1String(kMirrorRoot), QString());
    if (!m_access.fullAccess()) {
        for (const QString& key : m_access.folderKeys()) {
            const QString parent = parentOf(key);
            AddFolderNode(parent, key.mid(parent.size()));
        }
    }
    m_selected.clear();
    m_hasSelection = true;
    emit folderShown(m_selected);
    ShowFolderFiles();
}

bool SiteExplorer::ChangeAccessList(const std::function<void(AccessList&)>& change, QString* why) {
    const QString path = AccessList::PathFor(runState().CurrentUserName);
    if (path.isEmpty())
        return false;
    QString folder, name;
    SplitHostPath(path, folder, name);
    QDir().mkpath(LocalMirrorFolder(folder));
    AccessList changed;
    SiteText encoding = m_accessEncoding;
    SharedFileEdit edit;
    edit.hostPath = QLatin1Char('/') + path;
    edit.localCopy = LocalMirrorPath(path);
    edit.subject = QStringLiteral("your access list");
    edit.createMissing = true;
    // The list as the host has it now: an administrator may have changed it since it was read.
    edit.apply = [&](const QByteArray& current, bool exists, QString&) -> std::optional<QByteArray> {
        encoding = exists ? SiteText::decode(current) : m_accessEncoding;
        changed = AccessList::FromContent(exists ? encoding.text : QString());
        // A member given full access meanwhile needs no entry; adding one would restrict them.
        if (changed.fullAccess())
            return current;
        change(changed);
        return encoding.encode(changed.text());
    };
    const SharedFileResult result = ChangeSharedFile(m_inet, dialogs(), edit);
    if (!result.ok) {
        if (why)
            *why = result.error;
        return false;
    }
    m_access = changed;
    m_accessEncoding = encoding;
    return true;
}

int SiteExplorer::indexOf(const QString& key) const {
    return m_index.value(key.toLower(), -1);
}

const FolderNode* SiteExplorer::node(const QString& key) const {
    const int i = indexOf(key);
    return i < 0 ? nullptr : &m_nodes[i];
}

QList<const FolderNode*> SiteExplorer::children(const QString& key) const {
    QList<const FolderNode*> out;
    const QString lower = key.toLower();
    for (const FolderNode& n : m_nodes)
        if (!n.key.isEmpty() && n.parentKey.toLower() == lower)
            out << &n;
    return out;
}

void SiteExplorer::addNode(const QString& key, const QString& text, const QString& parentKey) {
    m_index.insert(key.toLower(), int(m_nodes.size()));
    m_nodes.append({key, text, parentKey, QString()});
    emit folderAdded(key);
}

bool SiteExplorer::AddFolderNode(const QString& parentKey, const QString& entry) {
    if (entry.startsWith(QLatin1Char('.')))
        return false;
    QString folder = entry;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (!IsSafeSiteName(folder.chopped(1)))
        return false;
    const FolderNode* parent = node(parentKey);
    if (!parent || node(parentKey + folder))
        return false;
    addNode(parent->key + folder, folder.chopped(1), parent->key);
    return true;
}

void SiteExplorer::setTag(const QString& key, const QString& tag) {
    const int i = indexOf(key);
    if (i >= 0)
        m_nodes[i].tag = tag;
}

void SiteExplorer::removeFolderNode(const QString& key) {
    const QString lower = key.toLower();
    if (lower.isEmpty() || indexOf(key) < 0)
        return;
    QList<FolderNode> kept;
    for (const FolderNode& n : m_nodes)
        if (!n.key.toLower().startsWith(lower))
            kept << n;
    m_nodes = kept;
    m_index.clear();
    for (int i = 0; i < m_nodes.size(); ++i)
        m_index.insert(m_nodes[i].key.toLower(), i);
    if (m_selected.toLower().startsWith(lower)) {
        m_selected = parentOf(key);
        m_hasLastClicked = false;
    }
    emit folderRemoved(key);
}

void SiteExplorer::clickFolder(const QString& key) {
    const FolderNode* n = node(key);
    if (!n)
        return;
    if (m_hasLastClicked && m_lastClicked.compare(n->key, Qt::CaseInsensitive) == 0)
        return;
    m_selected = n->key;
    m_hasSelection = true;
    m_lastClicked = n->key;
    m_hasLastClicked = true;
    ShowFolderFiles();
}

bool SiteExplorer::openFolder(const QString& key) {
    QString k = key;
    k.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!k.isEmpty() && !k.endsWith(QLatin1Char('/')))
        k += QLatin1Char('/');
    if (!IsSafeFolderKey(k))
        return false;
    if (!fullAccess()) {
        const FolderNode* n = node(k);
        if (!n)
            return false;
        m_selected = n->key;
        m_hasSelection = true;
        ShowFolderFiles();
        return true;
    }
    // Every level is listed on the way, as clicks down the tree would.
    QString current;
    m_selected = current;
    m_hasSelection = true;
    ShowFolderFiles();
    for (const QString& part : k.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        const FolderNode* n = node(current + part + QLatin1Char('/'));
        if (!n)
            return false;
        current = n->key;
        m_selected = current;
        ShowFolderFiles();
    }
    return true;
}

QString SiteExplorer::ListSiteFolder(const QString& path) {
    QElapsedTimer clock;
    clock.start();
    QString reply;
    m_inet.configureForSite();
    m_inet.Document = QStringLiteral("/");
    m_inet.waitUntilIdle();
    if (!m_inet.Execute(QStringLiteral("LS ") + QuoteCommandArgument(QLatin1Char('/') + path)))
        return reply;
    m_inet.waitUntilIdle();
    lastListingNs += clock.nsecsElapsed();
    for (QString chunk = m_inet.GetChunk(1024); !chunk.isEmpty(); chunk = m_inet.GetChunk(1024))
        reply += chunk;
    return reply;
}

void SiteExplorer::ShowFolderFiles() {
    const FolderNode* selected = node(m_selected);
    if (!selected)
        return;
    QElapsedTimer clock;
    clock.start();
    lastListingNs = 0;
    BusyPointer pointer;
    beginBusy();
    m_files.clear();
    const QString key = selected->key;
    QList<ExplorerFileModel::File> list;
    if (fullAccess()) {
        setActions(true, true);
        if (selected->tag.isEmpty())
            setTag(key, ListSiteFolder(key));
        // Hosts list in no particular order; the member finds names faster in alphabetical order.
        QStringList lines = node(key)->tag.split(kCrLf);
        std::sort(lines.begin(), lines.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        for (const QString& line : lines) {
            if (line.trimmed().isEmpty())
                continue;
            if (line.endsWith(QLatin1Char('/')))
                AddFolderNode(key, line);
            else if (IsSafeSiteName(line))
                list.append({line, key + line, IconForHostPath(key + line)});
        }
    } else {
        const AccessList::FolderView view = m_access.folder(key, runState().CurrentUserName);
        setActions(view.canAdd, view.canDelete);
        for (const AccessList::FolderView::File& f : view.files)
            list.append({f.name, f.hostPath, IconForHostPath(f.hostPath)});
    }
    m_files.setFiles(list);
    endBusy();
    emit folderShown(key);
    lastShowNs = clock.nsecsElapsed();
}

QString SiteExplorer::FileIconKey(const QString& name, const QString& folderKey) const {
    return IconForHostPath(folderKey + name);
}

QString SiteExplorer::IconForHostPath(const QString& hostPath) {
    return QFileInfo::exists(LocalMirrorPath(hostPath)) ? QStringLiteral("file")
                                                        : QStringLiteral("filenotfound");
}

void SiteExplorer::refreshIcon(const QString& key) {
    if (m_files.contains(key))
        m_files.setIcon(key, IconForHostPath(m_files.hostPath(key)));
}

void SiteExplorer::setActions(bool add, bool del) {
    m_canAdd = add;
    m_canDelete = del;
    emit actionsChanged();
}

} // namespace krtp
