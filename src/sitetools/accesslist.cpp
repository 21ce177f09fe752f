#include "sitetools/accesslist.h"

#include "sitetools/sitenames.h"
#include "util/textutil.h"

namespace krtp {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

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
    for (const QString& line : m_text.split(kCrLf)) {
        QString parent;
        QString rest = line;
        qsizetype slash;
        while ((slash = rest.indexOf(QLatin1Char('/'))) >= 0) {
            const QString part = rest.left(slash);
            rest = rest.mid(slash + 1);
            // A folder name beginning with "." never becomes a node, so nothing below it can either.
            if (!IsSafeSiteName(part) || part.startsWith(QLatin1Char('.')))
                break;
            parent += part + QLatin1Char('/');
            bool known = false;
            for (const QString& k : keys)
                known = known || k.compare(parent, Qt::CaseInsensitive) == 0;
            if (!known)
                keys << parent;
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
