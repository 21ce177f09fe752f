#pragma once

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace krtp {

class SettingsStore;
class TransferControl;

// The modal login: checks the member against the account file on the host and leaves the
// result in the run-time state (empty CurrentUserName when nobody logged in).
class frmLogin : public QDialog {
    Q_OBJECT
public:
    // splash is brought in front while the credentials are checked; it may be null or go away.
    explicit frmLogin(QWidget* splash = nullptr, SettingsStore* store = nullptr, QWidget* parent = nullptr);

    void LoadLoginSettings();
    void SaveLoginSettings();

    QLabel* lblLabels[2] = {};
    QLineEdit* txtUserName = nullptr;
    QLineEdit* txtPassword = nullptr;
    QCheckBox* chkSavePassword = nullptr;
    QCheckBox* chkProxyServer = nullptr;
    QGroupBox* fraProxyServer = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtProxyName = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtProxyPort = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    TransferControl* inet = nullptr;

    int CollapsedHeight = 0;
    bool checking() const { return m_checking; }

public slots:
    void reject() override;

private slots:
    void cmdOK_Click();
    void chkProxyServer_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setBoxColours(bool busy);
    SettingsStore& m_store;
    QPointer<QWidget> m_splash;
    bool m_checking = false;
};

} // namespace krtp
