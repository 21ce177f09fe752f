#include "app/gui/frmlogin.h"

#include "app/login.h"
#include "app/savedlogin.h"
#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "platform/keyring.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "util/textutil.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <optional>

namespace krtp {

frmLogin::frmLogin(QWidget* splash, SettingsStore* store, QWidget* parent)
    : QDialog(parent), m_store(store ? *store : settingsStore()), m_splash(splash) {
    setObjectName(QStringLiteral("frmLogin"));
    setModal(true);

    const int row = fontMetrics().height() + 10;
    const int gap = 8;
    const int labelW = 100, editW = 200, buttonW = 96, margin = 12;
    const int editX = margin + labelW;
    const int buttonX = editX + editW + 16;
    int y = margin;

    lblLabels[0] = new QLabel(QStringLiteral("&User Name:"), this);
    txtUserName = new QLineEdit(this);
    lblLabels[1] = new QLabel(QStringLiteral("&Password:"), this);
    txtPassword = new QLineEdit(this);
    txtPassword->setEchoMode(QLineEdit::Password);
    // One "*" per typed character, whatever the style's own mask character.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    for (int i = 0; i < 2; ++i) {
        lblLabels[i]->setObjectName(QStringLiteral("lblLabels"));
        lblLabels[i]->setBuddy(i == 0 ? txtUserName : txtPassword);
    }
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    lblLabels[0]->setGeometry(margin, y, labelW, row);
    txtUserName->setGeometry(editX, y, editW, row);
    cmdOK = new QPushButton(QStringLiteral("Login"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(buttonX, y, buttonW, row);
    y += row + gap;
    lblLabels[1]->setGeometry(margin, y, labelW, row);
    txtPassword->setGeometry(editX, y, editW, row);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(buttonX, y, buttonW, row);
    y += row + gap;
    chkSavePassword = new QCheckBox(QStringLiteral("Sa&ve Password"), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkSavePassword->setGeometry(editX, y, editW, row);
    y += row + gap;
    chkProxyServer = new QCheckBox(QStringLiteral("Use Proxy Server >>> (FTP && HTTP Protocol)"), this);
    chkProxyServer->setObjectName(QStringLiteral("chkProxyServer"));
    chkProxyServer->setGeometry(margin, y, buttonX + buttonW - margin, row);
    y += row + 2 * gap;

    fraProxyServer = new QGroupBox(QStringLiteral("Proxy Sever Settings"), this);
    fraProxyServer->setObjectName(QStringLiteral("fraProxyServer"));
    const int frameTop = fontMetrics().height() + 8;
    Label1 = new QLabel(QStringLiteral("Name or IP:"), fraProxyServer);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtProxyName = new QLineEdit(fraProxyServer);
    txtProxyName->setObjectName(QStringLiteral("txtProxyName"));
    Label2 = new QLabel(QStringLiteral("Port:"), fraProxyServer);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtProxyPort = new QLineEdit(fraProxyServer);
    txtProxyPort->setObjectName(QStringLiteral("txtProxyPort"));
    Label1->setGeometry(gap, frameTop, labelW - gap, row);
    txtProxyName->setGeometry(labelW, frameTop, editW, row);
    Label2->setGeometry(labelW + editW + gap, frameTop, 40, row);
    txtProxyPort->setGeometry(labelW + editW + gap + 40, frameTop, 60, row);
    const int frameW = buttonX + buttonW - margin;
    fraProxyServer->setGeometry(margin, y, frameW, frameTop + row + 2 * gap);

    const int width = buttonX + buttonW + margin;
    const int fullHeight = fraProxyServer->geometry().bottom() + 1 + 2 * gap;
    resize(width, fullHeight);

    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));

    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdCancel->setAutoDefault(false);
    connect(cmdOK, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::reject);
    connect(chkProxyServer, &QCheckBox::toggled, this, &frmLogin::chkProxyServer_Click);
    txtUserName->installEventFilter(this);
    txtPassword->installEventFilter(this);

    // Loading the window.
    CollapsedHeight = height() - (height() - fraProxyServer->y());
    setFixedSize(width, CollapsedHeight);
    setWindowTitle(QStringLiteral("Norrow Eternal") + QStringLiteral(" Login"));
    LoadLoginSettings();
    chkProxyServer_Click();
    const QString proxy = runState().ProxyServer;
    if (!proxy.isEmpty()) {
        chkProxyServer->setChecked(true);
        QString name, port;
        SplitAtFirst(proxy, QStringLiteral(":"), name, port);
        txtProxyName->setText(name);
        txtProxyPort->setText(port);
    }
    txtUserName->setFocus();

    // Where the member last put the window; its size follows the proxy box.
    auto* memory = new WindowMemory(*this);
    memory->keep(
        [this](WindowMemory& m) {
            m.setValue(QStringLiteral("Position"),
                       QString::number(pos().x()) + QLatin1Char(',') + QString::number(pos().y()));
        },
        [this](WindowMemory& m) {
            const QStringList xy = m.value(QStringLiteral("Position")).split(QLatin1Char(','));
            bool okX = false, okY = false;
            const int px = xy.value(0).toInt(&okX);
            const int py = xy.value(1).toInt(&okY);
            if (xy.size() == 2 && okX && okY)
                move(px, py);
        });
}

void frmLogin::LoadLoginSettings() {
    txtUserName->setText(m_store.get(settings::LoginUserName));
    if (m_store.get(settings::LoginSavePassword).toLower() == QLatin1String("yes")) {
        chkSavePassword->setChecked(true);
        txtPassword->setText(LoadSavedPassword(m_store, keyring()));
    } else {
        chkSavePassword->setChecked(false);
    }
    chkProxyServer->setChecked(m_store.get(settings::ProxyUseProxy).toLower() == QLatin1String("yes"));
    txtProxyName->setText(m_store.get(settings::ProxyName));
    txtProxyPort->setText(m_store.get(settings::ProxyPort));
}

void frmLogin::SaveLoginSettings() {
    SaveLogin(m_store, keyring(), txtUserName->text(), txtPassword->text(), chkSavePassword->isChecked());
    m_store.set(settings::ProxyUseProxy,
                chkProxyServer->isChecked() ? QStringLiteral("Yes") : QStringLiteral("No"));
    m_store.set(settings::ProxyName, txtProxyName->text());
    m_store.set(settings::ProxyPort, txtProxyPort->text());
    m_store.sync();
}

void frmLogin::chkProxyServer_Click() {
    if (chkProxyServer->isChecked()) {
        const int chkBottom = chkProxyServer->y() + chkProxyServer->height();
        setFixedHeight(CollapsedHeight + fraProxyServer->height() + fraProxyServer->y() - chkBottom);
        fraProxyServer->setEnabled(true);
        txtProxyName->setFocus();
    } else {
        setFixedHeight(CollapsedHeight);
        fraProxyServer->setEnabled(false);
    }
}

void frmLogin::setBoxColours(bool busy) {
    for (QLineEdit* box : {txtUserName, txtPassword}) {
        QPalette p = box->palette();
        p.setColor(QPalette::Base,
                   busy ? palette().color(QPalette::Button) : palette().color(QPalette::Base));
        box->setPalette(p);
    }
}

void frmLogin::cmdOK_Click() {
    if (m_checking)
        return;
    m_checking = true;
    setBoxColours(true);
    std::optional<BusyPointer> busy(std::in_place);
    setEnabled(false);
    if (m_splash && m_splash->isVisible())
        m_splash->raise();

    RunState& state = runState();
    state.ProxyServer = chkProxyServer->isChecked()
                            ? txtProxyName->text() + QLatin1Char(':') + txtProxyPort->text()
                            : QString();
    UseLoginProxy(*inet, state.ProxyServer);

    state.CurrentUserName.clear();
    const LoginCheck check =
        CheckCredentials(*inet, siteConfig().baseUrl, txtUserName->text(), txtPassword->text());
    busy.reset(); // the answer's message box gets the normal pointer
    // An SFTP host's key is settled before the member is let in; an unknown one is asked about.
    QString hostKeyError;
    const bool hostKeyOk =
        check.outcome != LoginCheck::Accepted || SettleHostKey(state.ProxyServer, &dialogs(), &hostKeyError);
    m_checking = false;
    if (!hostKeyOk) {
        if (!hostKeyError.isEmpty())
            dialogs().message(hostKeyError, Dialogs::Icon::Critical, Dialogs::Ok);
    } else if (check.outcome == LoginCheck::Accepted) {
        state.CurrentUserName = check.member.name;
        state.MemberNames = check.member.members;
        state.UserLevel = check.member.level;
        SaveLoginSettings();
        accept();
        return;
    } else if (check.outcome == LoginCheck::FetchFailed)
        dialogs().message(check.error, Dialogs::Icon::Critical, Dialogs::Ok);
    else
        dialogs().message(QLatin1String(kInvalidLoginMessage), Dialogs::Icon::None, Dialogs::Ok);
    setEnabled(true);
    setBoxColours(false);
    raise();
    activateWindow();
    txtPassword->setFocus();
}

void frmLogin::reject() {
    if (m_checking)
        return;
    runState().CurrentUserName.clear();
    QDialog::reject();
}

void frmLogin::closeEvent(QCloseEvent* event) {
    // Closing while the host answers would leave the check running behind a closed window.
    if (m_checking) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    QDialog::closeEvent(event);
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == txtUserName || watched == txtPassword)) {
        auto* box = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace krtp
