#include "sitetools/accesslist.h"

#include "sitetools/sitenames.h"
#include "util/textutil.h"

#include <QHash>

#include <utility>

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Every "/"-terminated prefix of every line is a folder key, so a hostile list of deep lines would
// ask for memory in the square of its size. No team's list comes near these; the tree stops there.
constexpr qsizetype kMaxFolderKeyLength = 1024;
constexpr qsizetype kMaxFolderKeys = 10000;

QString withoutLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    return text.mid(i);
}

} // namespace

QString AccessList::PathFor(const QString& memberName) {
    const QString file = memberName + QStringLiteral(".dat");
    if (!IsSafeSiteName(file))
        return {};
    return QStringLiteral("krg/") + file;
}

AccessList AccessList::FromContent(const QString& content) {
    AccessList a;
    if (content.contains(QLatin1Char('<')))
        return a;
    a.m_text = content;
    ReplaceTextMatchCase(a.m_text, {QStringLiteral("\\"), QStringLiteral("/")});
    a.m_full = a.m_text == QLatin1String(kFullAccess);
    return a;
}

AccessList AccessList::Unrestricted() {
    AccessList a;
    a.m_text = QLatin1String(kFullAccess);
    a.m_full = true;
    return a;
}

QStringList AccessList::folderKeys() const {
    QStringList keys{QStringLiteral("images/")};
    // Children by their parent's index and their folded name, so that each line is walked once
    // however deep it goes and however many keys there are.
    QHash<std::pair<qsizetype, QString>, qsizetype> known;
    known.insert({-1, QStringLiteral("images")}, 0);
    for (const QString& line : m_text.split(kCrLf)) {
        qsizetype parentIndex = -1;
        qsizetype start = 0;
        qsizetype slash;
        while ((slash = line.indexOf(QLatin1Char('/'), start)) >= 0) {
            const QString part = line.mid(start, slash - start);
            start = slash + 1;
            // A folder name beginning with "." never becomes a node, so nothing below it can either.
            if (!IsSafeSiteName(part) || part.startsWith(QLatin1Char('.')) || start > kMaxFolderKeyLength)
                break;
            const std::pair<qsizetype, QString> id(parentIndex, part.toCaseFolded());
            auto it = known.constFind(id);
            if (it == known.cend()) {
                if (keys.size() >= kMaxFolderKeys)
                    return keys;
                keys << (parentIndex < 0 ? QString() : keys.at(parentIndex)) + part + QLatin1Char('/');
                it = known.insert(id, keys.size() - 1);
            }
            parentIndex = *it;
        }
    }
    return keys;
}

AccessList::FolderView AccessList::folder(const QString& folderKey, const QString& memberName) const {
    FolderView view;
    const QString key = folderKey.toLower();
    QString gif = memberName.toLower() + QStringLiteral(".gif");
    for (const QString& original : m_text.split(kCrLf)) {
        if (original.trimmed().isEmpty())
            continue;
        QString rest = original.toLower();
        if (!StripPrefix(rest, key) || rest.contains(QLatin1Char('/')))
            continue;
        if (rest == QLatin1String(kAddFiles)) {
            view.canAdd = true;
        } else if (rest == QLatin1String(kDeleteFiles)) {
            view.canDelete = true;
        } else if (IsSafeSiteName(rest) && IsSafeFolderKey(folderKey)) {
            // The host path keeps the list's spelling: on a host whose names are case-sensitive the
            // lower-case form may name no file.
            const QString spelt = withoutLeadingBlanks(original);
            const QString hostPath = spelt.toLower() == key + rest ? spelt : folderKey + rest;
            view.files.append({rest, hostPath});
            if (rest == gif)
                gif.clear();
        }
    }
    if (!gif.isEmpty() && key == QLatin1String("images/") && IsSafeSiteName(gif))
        view.files.append({gif, folderKey + gif});
    return view;
}

void AccessList::addPath(const QString& hostPath) {
    QString t = m_text.trimmed();
    if (!t.endsWith(kCrLf))
        t += kCrLf;
    m_text = t + hostPath;
    m_full = false;
}

void AccessList::removePath(const QString& hostPath) {
    QStringList kept;
    for (const QString& line : m_text.trimmed().split(kCrLf))
        if (line.compare(hostPath, Qt::CaseInsensitive) != 0)
            kept << line;
    m_text = kept.join(kCrLf);
}

} // namespace krtp
