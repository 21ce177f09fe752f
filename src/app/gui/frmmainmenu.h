#pragma once

#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace krtp {

class TransferControl;

// The first window after the login: message of the day and the four tools by level.
class frmMainMenu : public QWidget {
    Q_OBJECT
public:
    explicit frmMainMenu(QWidget* parent = nullptr);

    // What each button opens. A button stays disabled while its opener is not set, whatever the
    // level allows; see mainmenuhooks.cpp, where the tool windows are connected.
    std::function<void()> openFileList; // cmdAdventure "Levels"
    std::function<void()> openWebPage;  // cmdWebPage
    std::function<void()> openPostNews; // cmdPostNews
    std::function<void()> openUsers;    // cmdUsers

    // Fetches the message of the day, checks the program version and enables the buttons.
    // False when the program must end (a newer version is announced); the message has been shown.
    bool LoadWindow();

    QFrame* picPanel = nullptr;
    QPushButton* cmdAdventure = nullptr;
    QPushButton* cmdWebPage = nullptr;
    QPushButton* cmdPostNews = nullptr;
    QPushButton* cmdUsers = nullptr;
    QPlainTextEdit* txtMessage = nullptr;
    QLabel* Label2 = nullptr;
    TransferControl* inet = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();
};

} // namespace krtp
