#pragma once

#include "hostfixture.h"
#include "sitetools/siteexplorer.h"
#include "testfiles.h"

#include <QDirIterator>
#include <QMap>

namespace krtp::test {

using namespace Qt::StringLiterals;

inline const QByteArray
    kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x01\x00\x00"
         "\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
         43);

// Access lists of every form, by member.
inline const QByteArray kEveList =
    "../../etc/passwd\r\n/abs.html\r\nC:/win.ini\r\nnews/../../x.html\r\n"
    "..\\..\\y.html\r\nnews/evil\x01.html\r\nnews/index.html\r\n.hidden/secret.html\r\n";

// The shared host fixture with a small site and access lists of every form.
struct SiteFixture : HostFixture {
    bool start() {
        host.addReadOnlyFolder(u"locked"_s);
        if (!startHost())
            return false;
        resetSite();
        resetLocal();
        return true;
    }

    // The host's site as every test starts with it.
    void resetSite() {
        QDir root(host.root());
        for (const QString& e : root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QFileInfo info(root.filePath(e));
            if (info.isDir())
                QDir(info.filePath()).removeRecursively();
            else
                QFile::remove(info.filePath());
        }
        host.write(u"index.html"_s, "<html><body>Home</body></html>\r\n");
        host.write(u"old_index.html"_s, "<html><body>Old home</body></html>\r\n");
        host.write(u"style.css"_s, "body { color: navy; }\r\n");
        host.write(u"images/logo.gif"_s, kGif);
        host.write(u"images/bob.gif"_s, kGif);
        host.write(u"Pages/News.HTML"_s, "<p>News</p>\r\n");
        host.write(u"news/index.html"_s, "<h1>News</h1>\n<p>First</p>\n");
        host.write(u"news/old/2024.html"_s, "<p>Last year</p>\r\n");
        QDir(host.root()).mkpath(u"empty"_s);
        QDir(host.root()).mkpath(u"locked"_s);
        host.write(u"krg/Bob.dat"_s, "news/index.html\r\nnews/*add files*");
        host.write(u"krg/Ann.dat"_s,
                   "Pages/News.HTML\r\nPages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif");
        host.write(u"krg/Cara.dat"_s, "*full access*");
        host.write(u"krg/Dan.dat"_s, "*full access*\r\n");
        host.write(u"krg/Eve.dat"_s, kEveList);
        host.write(u"krg/Hal.dat"_s, "<html><body><h1>404 Not Found</h1></body></html>");
    }

    void resetLocal() { HostFixture::resetLocal(true); }
};

// Tree keys in order, and the file names of the list.
inline QStringList treeKeys(const SiteExplorer& e) {
    QStringList keys;
    for (const FolderNode& n : e.nodes())
        keys << n.key;
    return keys;
}

inline QStringList fileNames(const SiteExplorer& e) {
    QStringList names;
    for (const ListEntry& entry : e.files().entries())
        names << entry.text;
    return names;
}

// Every file below a folder with its bytes, by path relative to it: a whole tree to compare.
inline QMap<QString, QByteArray> treeBytes(const QString& root) {
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.insert(QDir(root).relativeFilePath(path), readLocal(path));
    }
    return out;
}

inline QStringList fileIcons(const SiteExplorer& e) {
    QStringList icons;
    for (const ListEntry& entry : e.files().entries())
        icons << entry.smallIconKey;
    return icons;
}

} // namespace krtp::test
