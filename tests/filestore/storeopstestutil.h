#pragma once

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "filestore/checkinchoices.h"
#include "filestore/filestore.h"
#include "filestore/storeoperations.h"
#include "platform/dialogs.h"
#include "scripteddialogs.h"
#include "storetestutil.h"
#include "transfer/transfercontrol.h"

#include <QDir>
#include <QFile>
#include <QQueue>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace krtp::test {

// Answers the check-in's question from a queue and remembers which files it was asked about.
class ScriptedCheckInPrompt : public CheckInPrompt {
public:
    struct Answer {
        bool accept = true;
        QString comment;
        bool keep = false, all = false, revert = false;
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
    // Checked in with one answer: the comment, and whether it counts for every file of the batch.
    bool checkIn(const QStringList& names, const QString& comment, bool all = false) {
        prompt.answers.enqueue({true, comment, false, all, false});
        return checkIn(names);
    }
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

// Lets a test act (as another member) at the moment the member is told to wait.
class WaitingDialogs : public ScriptedDialogs {
public:
    std::function<void(const QString&)> onStatus;
    void status(const QString& text) override {
        ScriptedDialogs::status(text);
        if (onStatus && !text.isEmpty())
            onStatus(text);
    }
};

// The loopback host and two members, Alda (A) and Bren (B), made afresh for each test function with
// the dialogs that answer them.
struct MembersFixture {
    HostFixture fx;
    LoopbackHost& host = fx.host;
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<WaitingDialogs> dlg;
    std::unique_ptr<Member> A;
    std::unique_ptr<Member> B;

    QString texts() const { return dlg->texts().join(QLatin1Char('|')); }
    void setCatalogue(const QList<QByteArray>& lines) {
        host.write(QStringLiteral("krg/_files.txt"), catalogue(lines));
    }
    void makeMembers() {
        config = std::make_unique<QTemporaryDir>();
        dlg = std::make_unique<WaitingDialogs>();
        A = std::make_unique<Member>(QStringLiteral("Alda"), LevelFullAccess, config->path());
        B = std::make_unique<Member>(QStringLiteral("Bren"), LevelFullAccess, config->path());
    }
    // Fails the test function when a prompt went unanswered.
    void dropMembers() {
        const QStringList unexpected = dlg->unexpected();
        A.reset();
        B.reset();
        dlg.reset();
        setSettingsStore(nullptr);
        QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join(QLatin1Char('|'))));
    }
};

// Told to the member whose check-out another member's save took away.
inline QString takenMessage(const QString& file, const QString& who) {
    return file + QStringLiteral(" has just been checked out by ") + who +
           QStringLiteral(", so it is not checked out to you.  Your local copy is the latest server "
                          "copy, but you cannot check in changes to it.");
}

} // namespace krtp::test
