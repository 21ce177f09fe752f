#pragma once

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/checkinchoices.h"
#include "filestore/filestore.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "storetestutil.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <memory>

namespace krtp::test {

// Answers the check-in's question from a queue and remembers which files it was asked about.
class ScriptedCheckInPrompt : public CheckInPrompt {
public:
    struct Answer {
        bool accept = true;
        QString comment;
        bool keep = false;
        bool all = false;
        bool revert = false;
    };
    QQueue<Answer> answers;
    QStringList asked;

    bool Do_CheckInFile(const QString& pstrFileName, QString& pstrComment, bool& pblnKeepCheckedOut,
                        bool& pblnCheckInAll, bool& pblnDontUpdateServer) override {
        asked << pstrFileName;
        if (answers.isEmpty())
            return false;
        const Answer a = answers.dequeue();
        pstrComment = a.comment;
        pblnKeepCheckedOut = a.keep;
        pblnCheckInAll = a.all;
        pblnDontUpdateServer = a.revert;
        return a.accept;
    }
};

// One member's client inside the test process: own local folder, settings, transfer control, list,
// store and operations. activate() makes it the process's member (run-time state, working folder,
// settings store) before each of its operations.
struct Member {
    QString name;
    quint8 level;
    bool noReadOnly = false;
    QTemporaryDir local;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<TransferControl> inet;
    FileListModel list;
    std::unique_ptr<FileStore> store;
    std::unique_ptr<StoreOperations> ops;
    ScriptedCheckInPrompt prompt;
    QStringList commands; // every command its store ran through Run

    Member(const QString& memberName, quint8 memberLevel, const QString& configFolder)
        : name(memberName), level(memberLevel) {
        settings = std::make_unique<SettingsStore>(configFolder + QLatin1Char('/') + memberName +
                                                   QStringLiteral(".ini"));
        inet = std::make_unique<TransferControl>();
        reconnect();
        store = std::make_unique<FileStore>(*inet, list, *settings, dialogs());
        ops = std::make_unique<StoreOperations>(*store);
        ops->setCheckInPrompt(&prompt);
        QObject::connect(store.get(), &FileStore::commandFinished,
                         [this](const QString& command, bool) { commands << command; });
    }
    // After the host moved (a restart gives it new ports).
    void reconnect() {
        inet->configureForSite();
        inet->Document = QStringLiteral("/");
    }
    void activate() {
        RunState& rs = runState();
        rs.CurrentUserName = name;
        rs.UserLevel = level;
        rs.LocalFolder = local.path() + QLatin1Char('/');
        rs.NoReadOnly = noReadOnly;
        QDir::setCurrent(local.path());
        setSettingsStore(settings.get());
    }
    QString path(const QString& file) const { return local.filePath(file); }
    QByteArray read(const QString& file) const {
        QFile f(path(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QString& file, const QByteArray& data) {
        QFile::setPermissions(path(file), QFile::ReadOwner | QFile::WriteOwner);
        QFile f(path(file));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(data);
    }
    bool refresh() {
        activate();
        return ops->UpdateFileList();
    }
    void select(const QStringList& names) {
        list.setAllSelected(false);
        for (const QString& n : names)
            list.setSelected(n.toLower(), true);
    }
    // The operation on just these entries, as this member, with a fresh command record.
    bool act(const QStringList& names, bool (StoreOperations::*operation)()) {
        activate();
        select(names);
        commands.clear();
        return (ops.get()->*operation)();
    }
    bool checkOut(const QStringList& names) { return act(names, &StoreOperations::CheckOut); }
    bool checkIn(const QStringList& names) { return act(names, &StoreOperations::CheckIn); }
    bool getLatest(const QStringList& names) { return act(names, &StoreOperations::GetLatestVersion); }
    QString column(const QString& file, const char* key) const {
        const ListEntry* e = list.find(file.toLower());
        return e ? e->columns.value(QLatin1String(key)) : QStringLiteral("<missing>");
    }
    QString status(const QString& file) const { return column(file, columns::kStatus); }
    bool selected(const QString& file) const {
        const ListEntry* e = list.find(file.toLower());
        return e && e->selected;
    }
    QString version(const QString& file) const { return settings->fileVersion(file); }
};

} // namespace krtp::test
