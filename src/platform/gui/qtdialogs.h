#pragma once

#include "platform/desktopservices.h"
#include "platform/dialogs.h"

class QWidget;

namespace krtp {

// Dialogs shown as Qt message boxes, input dialogs and file dialogs.
class QtDialogs : public Dialogs {
public:
    Button message(const QString& text, Icon icon, Buttons buttons, Button defaultButton,
                   const QString& title) override;
    std::optional<QString> input(const QString& title, const QString& prompt,
                                 const QString& defaultText) override;
    std::optional<QString> secret(const QString& title, const QString& prompt) override;
    std::optional<QStringList> openFiles(const QString& title, const QString& filter, bool multiple,
                                         const QString& folder) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override;
    std::optional<QString> saveFile(const QString& title, const QString& suggested) override;
    Button choose(const QString& text, const QString& yesCaption, const QString& noCaption,
                  Icon icon) override;
    // On the status bar of the active main window (or the first one shown).
    void status(const QString& text) override;
    void beginBusy() override;
    void endBusy() override;

    // A filter written as description|patterns pairs ("HTML Files|*.html;*.htm|...") in the form of
    // Qt's file dialog ("HTML Files (*.html *.htm);;..."); other filters pass unchanged.
    static QString QtFileFilter(const QString& filter);
};

class QtDesktopServices : public DesktopServices {
public:
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openFileManager(const QString& folder) override;
    bool openUrl(const QString& url) override;
};

} // namespace krtp
