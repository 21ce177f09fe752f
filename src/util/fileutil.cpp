#include "util/fileutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace krtp {

namespace {

mode_t currentUmask() {
    // umask can only be read by setting it; restore it at once.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

void SetFileReadOnly(const QString& path, bool readOnly, bool force, bool noReadOnly) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return;
    mode_t mode = st.st_mode & 07777;
    if (readOnly && (force || !noReadOnly)) {
        mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    } else {
        mode |= (S_IWUSR | S_IWGRP | S_IWOTH) & ~currentUmask();
        mode |= S_IWUSR;
    }
    ::chmod(native.constData(), mode);
}

bool IsFileReadOnly(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return true;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

void MakeLocalFolder(const QString& path) {
    QString p = path;
    if (p.endsWith(QLatin1Char('/')) || p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    if (p.isEmpty())
        return;
    QDir().mkdir(p);
}

bool ReadWholeFile(const QString& path, QByteArray& data, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString() + QStringLiteral(": ") + path;
        return false;
    }
    data = f.readAll();
    return true;
}

bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        if (error)
            *error = f.errorString() + QStringLiteral(": ") + path;
        return false;
    }
    return true;
}

QString LinkLeavesFolderError(const QString& path, const QString& root, QString* resolved) {
    if (resolved)
        *resolved = path;
    if (root.isEmpty())
        return {};
    const QString cleanRoot = QDir::cleanPath(root);
    const QString cleanPath = QDir::cleanPath(path);
    if (!cleanPath.startsWith(cleanRoot + QLatin1Char('/')))
        return {};
    const QString realRoot = QFileInfo(cleanRoot).canonicalFilePath();
    const QFileInfo info(cleanPath);
    const QString real = info.canonicalFilePath();
    if (real.isEmpty()) {
        // Missing, or a link to nothing: the open fails on its own, unless it is a dangling link.
        if (info.isSymLink())
            return cleanPath.mid(cleanRoot.size() + 1) +
                   QStringLiteral(" is a link to a file that does not exist, so it was not sent.");
        return {};
    }
    if (realRoot.isEmpty() || !real.startsWith(realRoot + QLatin1Char('/')))
        return cleanPath.mid(cleanRoot.size() + 1) +
               QStringLiteral(" is a link to a file outside your local folder, so it was not sent.");
    if (resolved)
        *resolved = real;
    return {};
}

} // namespace krtp
