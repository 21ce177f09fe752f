#pragma once

#include "accounts/useraccounts.h"

#include <QHash>
#include <QIcon>
#include <QWidget>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace krtp {

class TransferControl;

// The accounts window: the members of the account file with their levels, editing one member at a
// time, each member's web-site access list, and on closing the upload of the edited file.
class frmUsers : public QWidget {
    Q_OBJECT
public:
    explicit frmUsers(QWidget* parent = nullptr);
    ~frmUsers() override;

    // The one accounts window of the process: created and filled from the host on first use, shown
    // and raised on every call. For administrators only: returns nullptr for any other level. The
    // main menu's "Edit Users" and the file list's "Edit &Users" call this.
    static frmUsers* ShowUsers();
    static frmUsers* instance();

    // Opens a file of the site (path below the site root, "\" or "/" separators) in the internal
    // editor and returns when it closes. The editor belongs to the site tools, so the application
    // sets this; while it is unset "Web Site Access" stays disabled.
    static std::function<void(const QString& pstrRelativePathName)> EditFile;

    // Downloads the account file and fills the list.
    bool LoadWindow();
    bool UpdateServer();
    UserAccounts& accounts() { return *m_accounts; }
    int selectedIndex() const;

    // Controls (each also carries its name as objectName).
    QListWidget* lvwFileList;
    QHash<QString, QIcon> imglstUsers; // "level1" ... "level4"
    QGroupBox* fraUserInfo;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QRadioButton* optLockedOut;
    QRadioButton* optReadOnly;
    QRadioButton* optFullAccess;
    QRadioButton* optAdmin;
    QPushButton* cmdApplyToUser;
    QPushButton* cmdWebAccess;
    QPushButton* cmdNewUser;
    QPushButton* cmdClose;
    // Shown while applied changes are only in this window's copy, not yet on the host.
    QLabel* lblUnsent;
    TransferControl* inet;

    static QString closeQuestion() { return QStringLiteral("Update Server with Changes?"); }
    static QString unsentText() {
        return QStringLiteral("Unsent changes: they go to the server when you close this window.");
    }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildImages();
    void fillList();
    void selectEntry(int index);
    void showRules(const UserEditRules& rules);
    void setLevelButton(quint8 level);
    void newUser();
    void applyToUser();
    void webAccess();
    void nameEdited();
    void setBusy(bool busy);

    std::unique_ptr<UserAccounts> m_accounts;
    bool m_filtering = false;
    bool m_busy = false;
};

} // namespace krtp
