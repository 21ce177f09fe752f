#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace krtp {

// Every message box, input box, file-open dialog and folder choice of the program goes through
// this interface, so that front ends (windows, console) and tests can answer them.
class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum Button { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8, Retry = 16, Abort = 32, Ignore = 64 };
    using Buttons = int;

    virtual ~Dialogs() = default;

    // Shows text with the given icon and buttons; returns the button chosen. Closing the box
    // without a choice answers Cancel (or No, or the only button).
    virtual Button message(const QString& text, Icon icon = Icon::None, Buttons buttons = Ok,
                           Button defaultButton = NoButton, const QString& title = {}) = 0;
    // Returns the text, or nothing when cancelled.
    virtual std::optional<QString> input(const QString& title, const QString& prompt,
                                         const QString& defaultText = {}) = 0;
    // As input, for a secret (a passphrase): a window does not show what is typed.
    virtual std::optional<QString> secret(const QString& title, const QString& prompt) {
        return input(title, prompt);
    }
    // Returns the chosen paths, or nothing when cancelled.
    virtual std::optional<QStringList> openFiles(const QString& title, const QString& filter, bool multiple,
                                                 const QString& folder = {}) = 0;
    virtual std::optional<QString> chooseFolder(const QString& title, const QString& folder = {}) = 0;
    // Asks where to save a file, suggesting a path; nothing when cancelled (or nobody can be asked).
    virtual std::optional<QString> saveFile(const QString& title, const QString& suggested) {
        Q_UNUSED(title);
        Q_UNUSED(suggested);
        return std::nullopt;
    }

    // Asks text with two buttons in the member's words: Yes for yesCaption, No for noCaption (also when
    // the box is closed without a choice). Front ends without such buttons ask Yes / No.
    virtual Button choose(const QString& text, const QString& yesCaption, const QString& noCaption,
                          Icon icon = Icon::Question) {
        Q_UNUSED(yesCaption);
        Q_UNUSED(noCaption);
        return message(text, icon, Yes | No, No);
    }
    // A window closed while its transfer runs: true when the member cancels the transfer.
    bool cancelTransferOnClose() {
        return choose(CloseWhileBusyText(), QStringLiteral("Cancel transfer"), QStringLiteral("Wait")) == Yes;
    }
    static QString CloseWhileBusyText() {
        return QStringLiteral("Wait for the transfer to finish, or cancel it?");
    }

    // A passing note on what a long operation is doing (no box, no answer): a status line in a
    // window, a line on stderr in the console. An empty text clears it.
    virtual void status(const QString& text) { Q_UNUSED(text); }

    // The busy pointer while an operation talks to the host; calls nest.
    virtual void beginBusy() {}
    virtual void endBusy() {}

    static QString defaultTitle() { return QStringLiteral("KRtp"); }
};

// The process's dialogs; front ends install theirs at start.
Dialogs& dialogs();
void setDialogs(Dialogs* d);

// Shows the busy pointer for its lifetime, also when the operation ends early.
class BusyPointer {
public:
    explicit BusyPointer(Dialogs& d = dialogs()) : m_dialogs(d) { m_dialogs.beginBusy(); }
    ~BusyPointer() { m_dialogs.endBusy(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    Dialogs& m_dialogs;
};

} // namespace krtp
