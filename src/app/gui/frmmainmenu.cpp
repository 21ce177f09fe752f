#include "app/gui/frmmainmenu.h"

#include "app/mainmenu.h"
#include "config/runstate.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "transfer/transfercontrol.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace krtp {

namespace {

QPushButton* menuButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumSize(104, 40);
    b->setEnabled(false);
    return b;
}

} // namespace

frmMainMenu::frmMainMenu(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmMainMenu"));
    setWindowTitle(QStringLiteral("VelmarFTP Main Menu"));

    picPanel = new QFrame(this);
    picPanel->setObjectName(QStringLiteral("picPanel"));
    picPanel->setFrameShape(QFrame::StyledPanel);
    cmdAdventure = menuButton(picPanel, "cmdAdventure", QStringLiteral("Levels"));
    cmdWebPage = menuButton(picPanel, "cmdWebPage", QStringLiteral("Webpage"));
    cmdPostNews = menuButton(picPanel, "cmdPostNews", QStringLiteral("Post News"));
    cmdUsers = menuButton(picPanel, "cmdUsers", QStringLiteral("Edit Users"));
    cmdAdventure->setToolTip(
        QStringLiteral("The shared file store: get, check out and check in the team's files"));
    cmdWebPage->setToolTip(QStringLiteral("The site explorer: browse, edit and upload the web site's pages"));
    cmdPostNews->setToolTip(QStringLiteral("Post a news item on the web site"));
    cmdUsers->setToolTip(QStringLiteral("Member accounts, access levels and web-site access lists"));
    auto* row = new QHBoxLayout(picPanel);
    row->setContentsMargins(8, 8, 8, 8);
    for (QPushButton* b : {cmdAdventure, cmdWebPage, cmdPostNews, cmdUsers})
        row->addWidget(b);
    picPanel->adjustSize();

    Label2 = new QLabel(QStringLiteral("\u201CMany hands make light work.\u201D"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    QFont quote = Label2->font();
    quote.setItalic(true);
    Label2->setFont(quote);

    txtMessage = new QPlainTextEdit(this);
    txtMessage->setObjectName(QStringLiteral("txtMessage"));
    txtMessage->setReadOnly(true);
    txtMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));

    connect(cmdAdventure, &QPushButton::clicked, this, [this] {
        if (openFileList)
            openFileList();
    });
    connect(cmdWebPage, &QPushButton::clicked, this, [this] {
        if (openWebPage)
            openWebPage();
    });
    connect(cmdPostNews, &QPushButton::clicked, this, [this] {
        if (openPostNews)
            openPostNews();
    });
    connect(cmdUsers, &QPushButton::clicked, this, [this] {
        if (openUsers)
            openUsers();
    });

    resize(qMax(560, picPanel->width() + 24), 400);
    setMinimumWidth(picPanel->width() + 24);
    (new WindowMemory(*this))->restore();
    layoutControls();
}

bool frmMainMenu::LoadWindow() {
    const MessageOfTheDay motd = FetchMessageOfTheDay(*inet);
    if (motd.fetched)
        txtMessage->setPlainText(motd.message);
    if (!CheckProgramVersion(motd.version)) {
        dialogs().message(OutdatedProgramMessage(motd.version), Dialogs::Icon::Critical, Dialogs::Ok);
        return false;
    }
    const MainMenuButtons allowed = ButtonsForLevel(runState().UserLevel);
    cmdAdventure->setEnabled(allowed.adventure && bool(openFileList));
    cmdWebPage->setEnabled(allowed.webPage && bool(openWebPage));
    cmdPostNews->setEnabled(allowed.postNews && bool(openPostNews));
    cmdUsers->setEnabled(allowed.users && bool(openUsers));
    return true;
}

void frmMainMenu::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmMainMenu::layoutControls() {
    const int w = width();
    picPanel->move(qMax(0, (w - picPanel->width()) / 2), 8);
    const int labelTop = picPanel->y() + picPanel->height() + 6;
    Label2->setGeometry(0, labelTop, w, Label2->sizeHint().height() + 4);
    const int top = Label2->y() + Label2->height() + 6;
    txtMessage->setGeometry(0, top, w, qMax(0, height() - top));
}

} // namespace krtp
