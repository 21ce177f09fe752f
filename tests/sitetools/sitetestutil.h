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
        const std::pair<const char*, QByteArray> files[] = {
            {"index.html", "<html><body>Home</body></html>\r\n"},
            {"old_index.html", "<html><body>Old home</body></html>\r\n"},
            {"style.css", "body { color: navy; }\r\n"},
            {"images/logo.gif", kGif},
            {"images/bob.gif", kGif},
            {"Pages/News.HTML", "<p>News</p>\r\n"},
            {"news/index.html", "<h1>News</h1>\n<p>First</p>\n"},
            {"news/old/2024.html", "<p>Last year</p>\r\n"},
            {"krg/Bob.dat", "news/index.html\r\nnews/*add files*"},
            {"krg/Ann.dat", "Pages/News.HTML\r\nPages/*add files*\r\nPages/*delete files*\r\nimages/ann.gif"},
            {"krg/Cara.dat", "*full access*"},
            {"krg/Dan.dat", "*full access*\r\n"},
            {"krg/Eve.dat", kEveList},
            {"krg/Hal.dat", "<html><body><h1>404 Not Found</h1></body></html>"}};
        for (const auto& [path, bytes] : files)
            host.write(QString::fromLatin1(path), bytes);
        QDir(host.root()).mkpath(u"empty"_s);
        QDir(host.root()).mkpath(u"locked"_s);
    }

    void resetLocal() { HostFixture::resetLocal(true); }
};

// Tree keys in order, and the file names (or another field) of the list.
inline QStringList treeKeys(const SiteExplorer& e) {
    QStringList keys;
    for (const FolderNode& n : e.nodes())
        keys << n.key;
    return keys;
}

inline QStringList fileNames(const SiteExplorer& e, QString ListEntry::*field = &ListEntry::text) {
    QStringList names;
    for (const ListEntry& entry : e.files().entries())
        names << entry.*field;
    return names;
}
inline QStringList fileIcons(const SiteExplorer& e) {
    return fileNames(e, &ListEntry::smallIconKey);
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

} // namespace krtp::test
