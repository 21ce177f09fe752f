// Any access list read without a crash, a hang or memory out of proportion: the folder keys form a
// tree of safe names (each parent before its children, none twice), and every file a folder shows
// has a safe name and a host path inside the site.
#include "sitetools/accesslist.h"
#include "sitetools/sitenames.h"
#include "sitetools/sitetext.h"

#include <QByteArray>
#include <QSet>

#include <cstdint>
#include <cstdlib>

namespace {

void checkFolder(const krtp::AccessList& list, const QString& key) {
    const krtp::AccessList::FolderView view = list.folder(key, QStringLiteral("Member"));
    for (const krtp::AccessList::FolderView::File& f : view.files)
        if (!krtp::IsSafeSiteName(f.name) || !krtp::IsSafeHostPath(f.hostPath))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const krtp::AccessList list = krtp::AccessList::FromContent(krtp::SiteText::decode(bytes).text);
    if (list.fullAccess())
        return 0;
    QSet<QString> seen;
    const QStringList keys = list.folderKeys();
    for (const QString& key : keys) {
        if (key.isEmpty() || !krtp::IsSafeFolderKey(key))
            std::abort();
        const QString folded = key.toCaseFolded();
        const QString parent = folded.left(folded.lastIndexOf(QLatin1Char('/'), -2) + 1);
        if (seen.contains(folded) || (!parent.isEmpty() && !seen.contains(parent)))
            std::abort();
        seen.insert(folded);
    }
    // Every folder view reads the whole list: a few are enough.
    checkFolder(list, QString());
    for (qsizetype i = 0; i < keys.size() && i < 8; ++i)
        checkFolder(list, keys[i]);
    return 0;
}
