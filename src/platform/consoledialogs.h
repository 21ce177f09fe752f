#pragma once

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

#include <cstdio>

namespace krtp {

// Dialogs of the command-line front end: messages go to stderr; questions take the safe answer
// (No, Cancel) unless the caller said yes to everything.
class ConsoleDialogs : public Dialogs {
public:
    explicit ConsoleDialogs(bool answerYes = false, FILE* out = stderr)
        : m_answerYes(answerYes), m_out(out) {}

    Button message(const QString& text, Icon icon, Buttons buttons, Button defaultButton,
                   const QString& title) override;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
    std::optional<QStringList> openFiles(const QString& title, const QString& filter, bool multiple,
                                         const QString& folder) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override;
    void status(const QString& text) override;

    // How many questions got the safe answer (No, Cancel) or no text.
    int declined() const { return m_declined; }

private:
    bool m_answerYes;
    FILE* m_out;
    int m_declined = 0;
};

// Desktop services of the console: report what would be opened, start nothing.
class ConsoleDesktopServices : public DesktopServices {
public:
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openFileManager(const QString& folder) override;
    bool openUrl(const QString& url) override;
};

} // namespace krtp
