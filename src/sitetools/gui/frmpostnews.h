#pragma once

#include "sitetools/newsposter.h"

#include <QWidget>
#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace krtp {

class TransferControl;

// The news window: writes an item from the chosen page's template and inserts it into the page.
class frmPostNews : public QWidget {
    Q_OBJECT
public:
    explicit frmPostNews(QWidget* parent = nullptr);
    // "Your news was posted to news/index.html."
    static QString PostedText(const QString& page) {
        return QStringLiteral("Your news was posted to ") + page + QStringLiteral(".");
    }
    ~frmPostNews() override;

    // The one news window of the process: created and loaded on first use, shown and raised on every
    // call. For Full Access and Administrator members only: returns nullptr for any other level.
    static frmPostNews* ShowPostNews();
    static frmPostNews* instance();

    // Time zone setting, name GIF, and the page list from the host.
    void LoadWindow();
    bool ComposePost(bool pblnSend);
    void LoadNameGif();
    NewsPoster& poster() { return *m_poster; }

    // Controls (each also carries its name as objectName). cboWhichPage[0] is the drop-down of
    // display names; [1] and [2] hold, hidden and at the same positions, the page and template paths.
    std::array<QComboBox*, 3> cboWhichPage;
    QLineEdit* txtSubject;
    QPlainTextEdit* txtNews;
    QLineEdit* txtTimeZone;
    QLineEdit* txtNameGIF;
    QLabel* picNameGIF;
    QLabel* lblNoAnimatedGifs;
    QPushButton* cmdChangeGIF;
    QWidget* picNewsButtons;
    QPushButton* cmdNewMember;
    QPushButton* cmdInsertHyperlink;
    QPushButton* cmdInsertImage;
    QWidget* picButtons;
    QPushButton* cmdPreview;
    QPushButton* cmdCancel;
    QPushButton* cmdPost;
    TransferControl* inet;

    // The file types of the explorer's file dialogs.
    static QString replaceWithFilter();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void pageChosen(int index);
    void post();
    void preview();
    void newMember();
    void insertHyperlink();
    void insertImage();
    void changeGif();
    // Inserts text (CR LF line ends) at the start of the selection, keeping the selected text.
    void insertAtSelectionStart(const QString& text);
    void setBusy(bool busy);

    std::unique_ptr<NewsPoster> m_poster;
    int m_busy = 0;
};

} // namespace krtp
