#pragma once

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <variant>

namespace krtp::test {

// Records every prompt and answers from a queue. A message with only an OK button needs no queued
// answer; any other prompt without one is recorded as unexpected (check unexpected() in the test).
class ScriptedDialogs : public Dialogs {
public:
    struct Record {
        enum class Kind { Message, Input, OpenFiles, ChooseFolder, SaveFile } kind = Kind::Message;
        QString text; // message text, input prompt, or dialog title
        Icon icon = Icon::None;
        Buttons buttons = Ok;
        Button defaultButton = NoButton;
        QString title;
        QString filter;
    };
    using Answer = std::variant<Button, std::optional<QString>, std::optional<QStringList>>;

    ScriptedDialogs(); // installs itself as the process's dialogs
    ~ScriptedDialogs() override;

    void answer(Button b) { m_answers.enqueue(b); }
    void answerText(std::optional<QString> text) { m_answers.enqueue(std::move(text)); }
    void answerFiles(std::optional<QStringList> files) { m_answers.enqueue(std::move(files)); }
    // Runs before the answer is taken, e.g. to look at a window while the prompt is up.
    void onPrompt(std::function<void(const Record&)> hook) { m_hook = std::move(hook); }

    const QList<Record>& records() const { return m_records; }
    QStringList texts() const;
    QString lastText() const { return m_records.isEmpty() ? QString() : m_records.last().text; }
    const QStringList& unexpected() const { return m_unexpected; }
    int pendingAnswers() const { return int(m_answers.size()); }
    int busyDepth() const { return m_busy; }
    int busyCount() const { return m_busyCount; }
    void clear();

    Button message(const QString& text, Icon icon, Buttons buttons, Button defaultButton,
                   const QString& title) override;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
    std::optional<QStringList> openFiles(const QString& title, const QString& filter, bool multiple,
                                         const QString& folder) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override;
    // Answered by answerText.
    std::optional<QString> saveFile(const QString& title, const QString& suggested) override;
    void beginBusy() override {
        ++m_busy;
        ++m_busyCount;
    }
    void endBusy() override { --m_busy; }
    void status(const QString& text) override {
        if (!text.isEmpty())
            statuses << text;
    }
    // Every status note shown, in order.
    QStringList statuses;

private:
    std::optional<Answer> take(const Record& r);
    QList<Record> m_records;
    QQueue<Answer> m_answers;
    QStringList m_unexpected;
    std::function<void(const Record&)> m_hook;
    Dialogs* m_previous = nullptr;
    int m_busy = 0;
    int m_busyCount = 0;
};

// Records what would have been opened or started.
class RecordingDesktopServices : public DesktopServices {
public:
    RecordingDesktopServices();
    ~RecordingDesktopServices() override;
    QStringList calls;
    bool result = true;
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openFileManager(const QString& folder) override;
    bool openUrl(const QString& url) override;

private:
    DesktopServices* m_previous = nullptr;
};

} // namespace krtp::test
