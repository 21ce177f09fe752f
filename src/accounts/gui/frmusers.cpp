#include "accounts/gui/frmusers.h"

#include "config/paths.h"
#include "config/runstate.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "transfer/controlfiles.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "transfer/transferroutines.h"
#include "util/fileutil.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace krtp {

std::function<void(const QString&)> frmUsers::EditFile;

namespace {

QPointer<frmUsers> g_window;

// A round badge in the level's colour with its number.
QIcon levelIcon(const QColor& colour, int level) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour.darker(160));
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString::number(level));
    return QIcon(pm);
}

// The member's name as a file name of the control folder: nothing that leaves krg.
bool usableAsFileName(const QString& name) {
    for (QChar c : name)
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('"') ||
            c == QLatin1Char(':'))
            return false;
    // "_files" would make the list's name the account file's own.
    return IsAllowedMemberName(name) && name.trimmed() != QLatin1String(".") &&
           name.trimmed() != QLatin1String("..") &&
           MapMirrorPath(QStringLiteral("krg/") + name + QStringLiteral(".dat")).ok;
}

} // namespace

frmUsers* frmUsers::instance() {
    return g_window.data();
}

frmUsers* frmUsers::ShowUsers() {
    if (runState().UserLevel != LevelAdministrator)
        return nullptr;
    if (!g_window) {
        g_window = new frmUsers;
        g_window->setAttribute(Qt::WA_DeleteOnClose);
        g_window->show();
        QCoreApplication::processEvents();
        if (g_window)
            g_window->LoadWindow();
    }
    frmUsers* w = g_window.data();
    if (w) {
        w->show();
        w->raise();
        w->activateWindow();
    }
    return w;
}

frmUsers::frmUsers(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmUsers"));
    setWindowTitle(QStringLiteral("Users"));

    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));
    m_accounts = std::make_unique<UserAccounts>(*inet, dialogs());
    buildImages();

    lvwFileList = new QListWidget(this);
    lvwFileList->setObjectName(QStringLiteral("lvwFileList"));
    lvwFileList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwFileList->setIconSize(QSize(16, 16));

    fraUserInfo = new QGroupBox(QStringLiteral("User Information"), this);
    fraUserInfo->setObjectName(QStringLiteral("fraUserInfo"));
    txtUserName = new QLineEdit(fraUserInfo);
    txtUserName->setObjectName(QStringLiteral("txtUserName"));
    txtPassword = new QLineEdit(fraUserInfo);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    const auto option = [this](QRadioButton*& b, const char* name, const char* caption) {
        b = new QRadioButton(QLatin1String(caption), fraUserInfo);
        b->setObjectName(QLatin1String(name));
    };
    option(optLockedOut, "optLockedOut", "Locked Out");
    option(optReadOnly, "optReadOnly", "Read Only");
    option(optFullAccess, "optFullAccess", "Full Access");
    option(optAdmin, "optAdmin", "Administrator");
    auto* levels = new QButtonGroup(this);
    for (QRadioButton* b : {optLockedOut, optReadOnly, optFullAccess, optAdmin})
        levels->addButton(b);
    cmdApplyToUser = new QPushButton(QStringLiteral("Apply Changes to User"), fraUserInfo);
    cmdApplyToUser->setObjectName(QStringLiteral("cmdApplyToUser"));
    cmdWebAccess = new QPushButton(QStringLiteral("Web Site Access"), fraUserInfo);
    cmdWebAccess->setObjectName(QStringLiteral("cmdWebAccess"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("User Name:"), txtUserName);
    form->addRow(QStringLiteral("Password:"), txtPassword);
    auto* frame = new QVBoxLayout(fraUserInfo);
    frame->addLayout(form);
    for (QRadioButton* b : {optAdmin, optFullAccess, optReadOnly, optLockedOut})
        frame->addWidget(b);
    frame->addSpacing(6);
    frame->addWidget(cmdApplyToUser);
    frame->addWidget(cmdWebAccess);
    frame->addStretch(1);
    fraUserInfo->setFixedWidth(260);
    fraUserInfo->hide();

    cmdNewUser = new QPushButton(QStringLiteral("New &User"), this);
    cmdNewUser->setObjectName(QStringLiteral("cmdNewUser"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    lblUnsent = new QLabel(unsentText(), this);
    lblUnsent->setObjectName(QStringLiteral("lblUnsent"));
    lblUnsent->setWordWrap(true);
    lblUnsent->setFixedWidth(260);
    lblUnsent->hide();
    auto* side = new QVBoxLayout;
    side->addWidget(fraUserInfo, 1);
    side->addWidget(lblUnsent);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdNewUser);
    buttons->addWidget(cmdClose);
    side->addLayout(buttons);
    auto* main = new QHBoxLayout(this);
    main->addWidget(lvwFileList, 1);
    main->addLayout(side);

    if (IsSuperUser())
        txtPassword->setEchoMode(QLineEdit::Normal);

    connect(lvwFileList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            selectEntry(row);
    });
    connect(lvwFileList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { selectEntry(lvwFileList->row(item)); });
    connect(txtUserName, &QLineEdit::textEdited, this, [this] { nameEdited(); });
    connect(cmdNewUser, &QPushButton::clicked, this, [this] { newUser(); });
    connect(cmdApplyToUser, &QPushButton::clicked, this, [this] { applyToUser(); });
    connect(cmdWebAccess, &QPushButton::clicked, this, [this] { webAccess(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { close(); });

    cmdApplyToUser->setToolTip(QStringLiteral("Saves the name, password and level above for this member"));
    cmdWebAccess->setToolTip(
        QStringLiteral("Edits this member's access list: the folders of the web site they may change"));
    cmdNewUser->setToolTip(QStringLiteral("Adds a member to the list"));
    cmdClose->setToolTip(QStringLiteral("Closes the window"));

    resize(560, 380);
    (new WindowMemory(*this))->restore();
}

frmUsers::~frmUsers() = default;

void frmUsers::buildImages() {
    imglstUsers.insert(QStringLiteral("level1"), levelIcon(QColor(190, 40, 40), 1));
    imglstUsers.insert(QStringLiteral("level2"), levelIcon(QColor(120, 120, 130), 2));
    imglstUsers.insert(QStringLiteral("level3"), levelIcon(QColor(40, 140, 60), 3));
    imglstUsers.insert(QStringLiteral("level4"), levelIcon(QColor(200, 150, 20), 4));
}

bool frmUsers::LoadWindow() {
    setBusy(true);
    const bool ok = m_accounts->Load();
    setBusy(false);
    lblUnsent->hide();
    fillList();
    // Without the host's account file there is nothing to edit: an added member would replace the
    // whole file on the host.
    cmdNewUser->setEnabled(ok);
    return ok;
}

void frmUsers::fillList() {
    const QSignalBlocker block(lvwFileList);
    lvwFileList->clear();
    for (const UserEntry& e : m_accounts->entries())
        lvwFileList->addItem(new QListWidgetItem(imglstUsers.value(LevelIconKey(e.level)), e.text));
}

int frmUsers::selectedIndex() const {
    const QList<QListWidgetItem*> items = lvwFileList->selectedItems();
    return items.isEmpty() ? -1 : lvwFileList->row(items.first());
}

void frmUsers::setLevelButton(quint8 level) {
    switch (level) {
    case LevelAdministrator:
        optAdmin->setChecked(true);
        break;
    case LevelFullAccess:
        optFullAccess->setChecked(true);
        break;
    case LevelReadOnly:
        optReadOnly->setChecked(true);
        break;
    default:
        optLockedOut->setChecked(true);
        break;
    }
}

void frmUsers::showRules(const UserEditRules& rules) {
    txtUserName->setEnabled(rules.name);
    txtPassword->setEnabled(rules.password);
    optAdmin->setEnabled(rules.admin);
    for (QRadioButton* b : {optFullAccess, optReadOnly, optLockedOut})
        b->setEnabled(rules.otherLevels);
    cmdApplyToUser->setEnabled(rules.apply);
    cmdWebAccess->setEnabled(bool(EditFile));
}

void frmUsers::selectEntry(int index) {
    if (index < 0 || index >= m_accounts->count())
        return;
    const std::optional<AccountRecord> record = m_accounts->Record(index);
    if (record) {
        txtUserName->setText(record->Name.trimmed());
        txtPassword->setText(record->Password.trimmed());
        setLevelButton(record->Level);
    } else {
        // Added but not applied yet: what New User showed.
        txtUserName->setText(m_accounts->entries().at(index).text);
        txtPassword->clear();
        optFullAccess->setChecked(true);
    }
    showRules(m_accounts->Rules(index));
    fraUserInfo->show();
}

void frmUsers::newUser() {
    const int index = m_accounts->NewUser();
    {
        const QSignalBlocker block(lvwFileList);
        lvwFileList->addItem(new QListWidgetItem(imglstUsers.value(LevelIconKey(LevelFullAccess)),
                                                 m_accounts->entries().at(index).text));
        lvwFileList->setCurrentRow(index);
    }
    txtUserName->setText(QStringLiteral("New User"));
    txtPassword->clear();
    optFullAccess->setChecked(true);
    showRules(RulesForNewEntry(IsSuperUser()));
    fraUserInfo->show();
}

void frmUsers::applyToUser() {
    const int index = selectedIndex();
    if (index < 0)
        return;
    AccountRecord wanted;
    wanted.Name = txtUserName->text();
    wanted.Password = txtPassword->text();
    wanted.Level = LevelFromButtons(optLockedOut->isChecked(), optReadOnly->isChecked(),
                                    optFullAccess->isChecked(), optAdmin->isChecked());
    if (!m_accounts->Apply(index, wanted))
        return;
    lblUnsent->show();
    const UserEntry& e = m_accounts->entries().at(index);
    QListWidgetItem* item = lvwFileList->item(index);
    item->setText(e.text);
    item->setIcon(imglstUsers.value(LevelIconKey(e.level)));
    fraUserInfo->hide();
}

void frmUsers::nameEdited() {
    if (m_filtering)
        return;
    m_filtering = true;
    const QString text = txtUserName->text();
    int start =
        txtUserName->hasSelectedText() ? txtUserName->selectionStart() : txtUserName->cursorPosition();
    int length = txtUserName->hasSelectedText() ? int(txtUserName->selectedText().size()) : 0;
    const bool caretAtStart = txtUserName->hasSelectedText() && txtUserName->cursorPosition() == start;
    const QString filtered = FilterMemberName(text, start, length);
    if (filtered != text) {
        txtUserName->setText(filtered);
        if (length > 0 && caretAtStart)
            txtUserName->setSelection(start + length, -length);
        else if (length > 0)
            txtUserName->setSelection(start, length);
        else
            txtUserName->setCursorPosition(start);
    }
    m_filtering = false;
}

void frmUsers::webAccess() {
    const QString name = txtUserName->text();
    if (name.isEmpty() || !EditFile)
        return;
    if (!usableAsFileName(name)) {
        dialogs().message(QStringLiteral("The member name \"") + name +
                              QStringLiteral("\" cannot be used as the name of an access list."),
                          Dialogs::Icon::Critical, Dialogs::Ok);
        return;
    }
    MakeLocalFolder(QLatin1String(kMirrorRoot));
    MakeLocalFolder(QLatin1String(kMirrorRoot) + QStringLiteral("/krg"));
    EditFile(QStringLiteral("krg\\") + name + QStringLiteral(".dat"));
}

bool frmUsers::UpdateServer() {
    setBusy(true);
    const bool ok = m_accounts->UpdateServer();
    setBusy(false);
    if (ok)
        lblUnsent->hide();
    return ok;
}

void frmUsers::setBusy(bool busy) {
    m_busy = busy;
    setEnabled(!busy);
}

void frmUsers::closeEvent(QCloseEvent* event) {
    // Closing while the host is being asked would pull the window from under the waiting operation.
    if (m_busy) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    if (!m_accounts->loaded()) {
        m_accounts->DiscardMirror();
        event->accept();
        return;
    }
    switch (dialogs().message(closeQuestion(), Dialogs::Icon::Question,
                              Dialogs::Yes | Dialogs::No | Dialogs::Cancel)) {
    case Dialogs::Yes:
        if (!UpdateServer()) {
            event->ignore();
            return;
        }
        if (!m_accounts->notSaved().isEmpty()) {
            // The administrator was told which changes did not go in; the window shows the members
            // as saved, so those changes can be made again.
            fillList();
            fraUserInfo->hide();
            event->ignore();
            return;
        }
        m_accounts->DiscardMirror();
        event->accept();
        return;
    case Dialogs::No:
        m_accounts->DiscardMirror();
        event->accept();
        return;
    default:
        event->ignore();
        return;
    }
}

} // namespace krtp
