#pragma once

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "loopbackhost.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace krtp::test {

// One catalogue line in the form every client writes.
inline QByteArray catalogueLine(const char* name, int version, const char* controller = "",
                                const char* author = "", const char* desc = "", const char* comment = "") {
    return QByteArray("\"") + name + "\"," + QByteArray::number(version) + ",\"" + controller + "\",\"" +
           author + "\",\"" + desc + "\",\"" + comment + "\"\r\n";
}

inline QByteArray catalogue(const QList<QByteArray>& lines, const char* required = "2.0.5", int count = -1) {
    QByteArray out =
        QByteArray(required) + "\r\n" + QByteArray::number(count < 0 ? lines.size() : count) + "\r\n";
    for (const QByteArray& l : lines)
        out += l;
    return out;
}

inline QByteArray bigCatalogue(int entries) {
    QList<QByteArray> lines;
    lines.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        const QByteArray name = "page" + QByteArray::number(i) + (i % 3 == 0 ? ".txt" : ".html");
        lines << catalogueLine(name.constData(), 1 + i % 7, i % 11 == 0 ? "someone" : "", "author",
                               "A description of the page, long enough to be typical",
                               "someone: last change");
    }
    return catalogue(lines);
}

// A loopback host with an empty control folder, a private local folder as the working directory and
// a private settings store; the member is "Dovrin".
struct StoreFixture {
    LoopbackHost host;
    QTemporaryDir seed;
    QTemporaryDir config;
    std::unique_ptr<QTemporaryDir> local;
    std::unique_ptr<SettingsStore> settings;

    bool start() {
        QDir(seed.path()).mkpath(QStringLiteral("krg"));
        QString error;
        if (!host.start(seed.path(), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        resetLocal();
        runState().CurrentUserName = QStringLiteral("Dovrin");
        runState().UserLevel = LevelFullAccess;
        return true;
    }
    // A fresh local folder and settings store.
    void resetLocal() {
        local = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(local->path());
        runState().LocalFolder = local->path() + QLatin1Char('/');
        setSettingsStore(nullptr);
        settings = std::make_unique<SettingsStore>(
            config.filePath(QFileInfo(local->path()).fileName() + QStringLiteral(".ini")));
        setSettingsStore(settings.get());
    }
    QString localPath(const QString& name) const { return local->filePath(name); }
    void setCatalogue(const QByteArray& data, const QByteArray& backup = {}) {
        host.write(QStringLiteral("krg/_files.txt"), data);
        if (!backup.isNull())
            host.write(QStringLiteral("krg/_files.txt.backup"), backup);
        else
            QFile::remove(host.path(QStringLiteral("krg/_files.txt.backup")));
    }
    QByteArray hostCatalogue() const { return host.read(QStringLiteral("krg/_files.txt")); }
    QByteArray hostBackup() const { return host.read(QStringLiteral("krg/_files.txt.backup")); }
};

} // namespace krtp::test
