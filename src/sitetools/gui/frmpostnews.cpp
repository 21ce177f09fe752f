#include "sitetools/gui/frmpostnews.h"

#include "config/runstate.h"
#include "config/settingsstore.h"
#include "config/siteconfig.h"
#include "platform/desktopservices.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "sitetools/exploreractions.h"
#include "transfer/gui/transferprogress.h"
#include "transfer/transfercontrol.h"
#include "util/textutil.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace krtp {

namespace {

QPointer<frmPostNews> g_window;

// The text box holds LF line ends; items and the host's pages use CR LF.
QString withCrLf(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

QString withLf(const QString& text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

} // namespace

frmPostNews* frmPostNews::instance() {
    return g_window.data();
}

frmPostNews* frmPostNews::ShowPostNews() {
    if (runState().UserLevel < LevelFullAccess || runState().UserLevel > LevelAdministrator)
        return nullptr;
    if (!g_window) {
        g_window = new frmPostNews;
        g_window->setAttribute(Qt::WA_DeleteOnClose);
        g_window->show();
        QCoreApplication::processEvents();
        if (g_window)
            g_window->LoadWindow();
    }
    frmPostNews* w = g_window.data();
    if (w) {
        w->show();
        w->raise();
        w->activateWindow();
    }
    return w;
}

QString frmPostNews::replaceWithFilter() {
    return ExplorerActions::FileFilter();
}

frmPostNews::frmPostNews(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmPostNews"));
    setWindowTitle(QStringLiteral("Post News"));

    inet = new TransferControl(this);
    inet->setObjectName(QStringLiteral("inet"));
    m_poster = std::make_unique<NewsPoster>(*inet, dialogs());

    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    for (int i = 0; i < 3; ++i) {
        cboWhichPage[i] = new QComboBox(this);
        cboWhichPage[i]->setObjectName(i == 0 ? QStringLiteral("cboWhichPage")
                                              : QStringLiteral("cboWhichPage_%1").arg(i));
    }
    cboWhichPage[1]->hide();
    cboWhichPage[2]->hide();
    txtSubject = new QLineEdit(this);
    named(txtSubject, "txtSubject");
    txtTimeZone = new QLineEdit(QStringLiteral("EST"), this);
    named(txtTimeZone, "txtTimeZone");
    txtNameGIF = new QLineEdit(this);
    named(txtNameGIF, "txtNameGIF");
    // The name GIF follows the member's name; it is never typed, so nothing typed reaches a path.
    txtNameGIF->setReadOnly(true);
    cmdChangeGIF = new QPushButton(QStringLiteral("Change GIF..."), this);
    named(cmdChangeGIF, "cmdChangeGIF");
    picNameGIF = new QLabel(this);
    named(picNameGIF, "picNameGIF");
    picNameGIF->setFixedSize(96, 26);
    picNameGIF->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picNameGIF->setStyleSheet(QStringLiteral("background: white; border: 1px solid #999;"));
    lblNoAnimatedGifs =
        new QLabel(QStringLiteral("Animated GIFs may not show correctly in the preview window."), this);
    named(lblNoAnimatedGifs, "lblNoAnimatedGifs");
    QFont small = lblNoAnimatedGifs->font();
    small.setItalic(true);
    lblNoAnimatedGifs->setFont(small);

    picNewsButtons = new QWidget(this);
    named(picNewsButtons, "picNewsButtons");
    cmdNewMember = new QPushButton(QStringLiteral("New Member"), picNewsButtons);
    named(cmdNewMember, "cmdNewMember");
    cmdInsertHyperlink = new QPushButton(QStringLiteral("Hyperlink"), picNewsButtons);
    named(cmdInsertHyperlink, "cmdInsertHyperlink");
    cmdInsertImage = new QPushButton(QStringLiteral("Image"), picNewsButtons);
    named(cmdInsertImage, "cmdInsertImage");
    auto* newsButtons = new QHBoxLayout(picNewsButtons);
    newsButtons->setContentsMargins(0, 0, 0, 0);
    newsButtons->addWidget(cmdNewMember);
    newsButtons->addWidget(cmdInsertHyperlink);
    newsButtons->addWidget(cmdInsertImage);
    newsButtons->addStretch(1);

    txtNews = new QPlainTextEdit(this);
    named(txtNews, "txtNews");

    picButtons = new QWidget(this);
    named(picButtons, "picButtons");
    cmdPreview = new QPushButton(QStringLiteral("Preview"), picButtons);
    named(cmdPreview, "cmdPreview");
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), picButtons);
    named(cmdCancel, "cmdCancel");
    cmdPost = new QPushButton(QStringLiteral("Post"), picButtons);
    named(cmdPost, "cmdPost");
    auto* buttons = new QHBoxLayout(picButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(cmdPreview);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdPost);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Post To:"), this), 0, 0);
    grid->addWidget(cboWhichPage[0], 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Subject:"), this), 1, 0);
    grid->addWidget(txtSubject, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time Zone:"), this), 2, 0);
    grid->addWidget(txtTimeZone, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Name GIF:"), this), 3, 0);
    grid->addWidget(txtNameGIF, 3, 1);
    grid->addWidget(cmdChangeGIF, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Preview:"), this), 4, 0);
    auto* gifRow = new QHBoxLayout;
    gifRow->addWidget(picNameGIF);
    gifRow->addWidget(lblNoAnimatedGifs, 1);
    grid->addLayout(gifRow, 4, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(picButtons);

    auto* main = new QVBoxLayout(this);
    main->addLayout(grid);
    main->addWidget(picNewsButtons);
    main->addWidget(new QLabel(QStringLiteral("News:"), this));
    main->addWidget(txtNews, 1);
    main->addLayout(bottom);

    connect(cboWhichPage[0], &QComboBox::currentIndexChanged, this, [this](int index) { pageChosen(index); });
    connect(cmdPost, &QPushButton::clicked, this, [this] { post(); });
    connect(cmdPreview, &QPushButton::clicked, this, [this] { preview(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { close(); });
    connect(cmdNewMember, &QPushButton::clicked, this, [this] { newMember(); });
    connect(cmdInsertHyperlink, &QPushButton::clicked, this, [this] { insertHyperlink(); });
    connect(cmdInsertImage, &QPushButton::clicked, this, [this] { insertImage(); });
    connect(cmdChangeGIF, &QPushButton::clicked, this, [this] { changeGif(); });

    cmdChangeGIF->setToolTip(
        QStringLiteral("Replaces the picture of your name on the server with a picture file you choose"));
    cmdNewMember->setToolTip(QStringLiteral("Inserts the welcome of a new member at the cursor"));
    cmdInsertHyperlink->setToolTip(QStringLiteral("Inserts a link to a web address at the cursor"));
    cmdInsertImage->setToolTip(QStringLiteral("Inserts a picture of the web site at the cursor"));
    cmdPreview->setToolTip(
        QStringLiteral("Opens the page with your news in your browser, without posting it"));
    cmdCancel->setToolTip(QStringLiteral("Closes the window without posting"));
    cmdPost->setToolTip(QStringLiteral("Adds your news to the chosen page and sends the page to the server"));

    resize(600, 520);
    (new WindowMemory(*this))->restore();
}

frmPostNews::~frmPostNews() = default;

void frmPostNews::LoadWindow() {
    txtTimeZone->setText(settingsStore().get(settings::PostNewsTimeZone));
    setBusy(true);
    LoadNameGif();
    m_poster->LoadPages();
    setBusy(false);
    for (QComboBox* c : cboWhichPage) {
        const QSignalBlocker block(c);
        c->clear();
    }
    for (const NewsPage& p : m_poster->pages()) {
        const QSignalBlocker block(cboWhichPage[0]);
        cboWhichPage[0]->addItem(p.displayName);
        cboWhichPage[1]->addItem(p.pagePath);
        cboWhichPage[2]->addItem(p.templatePath);
    }
    if (cboWhichPage[0]->count() > 0) {
        for (QComboBox* c : cboWhichPage) {
            const QSignalBlocker block(c);
            c->setCurrentIndex(0);
        }
        pageChosen(0);
    }
}

void frmPostNews::pageChosen(int index) {
    cboWhichPage[1]->setCurrentIndex(index);
    cboWhichPage[2]->setCurrentIndex(index);
    m_poster->SelectPage(index);
}

void frmPostNews::LoadNameGif() {
    txtNameGIF->setText(NewsPoster::NameGifPath());
    picNameGIF->clear();
    const QString local = m_poster->LoadNameGif();
    QPixmap picture;
    if (!local.isEmpty() && picture.load(local))
        picNameGIF->setPixmap(picture.scaled(96, 26, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

bool frmPostNews::ComposePost(bool pblnSend) {
    setBusy(true);
    const bool ok = m_poster->ComposePost(
        pblnSend, {txtSubject->text(), txtTimeZone->text(), withCrLf(txtNews->toPlainText())});
    setBusy(false);
    return ok;
}

void frmPostNews::post() {
    if (!ComposePost(true))
        return;
    // The window goes: a short word says where the item went.
    dialogs().message(PostedText(m_poster->pagePath()), Dialogs::Icon::Information, Dialogs::Ok);
    close();
}

void frmPostNews::preview() {
    if (!ComposePost(false))
        return;
    const QString page = QDir::current().absoluteFilePath(m_poster->PageMirrorPath());
    // The same word as the file list gives when Enter finds no program for a file.
    if (!desktopServices().openDocument(page))
        dialogs().message(QDir::toNativeSeparators(m_poster->PageMirrorPath()) +
                              QStringLiteral(" could not be opened: no program is registered for it, or the "
                                             "file is missing from your local folder."),
                          Dialogs::Icon::Critical, Dialogs::Ok);
}

void frmPostNews::insertAtSelectionStart(const QString& text) {
    QTextCursor c = txtNews->textCursor();
    c.setPosition(c.selectionStart());
    c.insertText(withLf(text));
    txtNews->setTextCursor(c);
}

void frmPostNews::newMember() {
    if (const std::optional<QString> text = NewsPoster::AskNewMember(dialogs()))
        insertAtSelectionStart(*text);
}

void frmPostNews::insertHyperlink() {
    QString selected = txtNews->textCursor().selectedText();
    selected.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    if (const std::optional<QString> link = NewsPoster::AskHyperlink(dialogs(), selected)) {
        QTextCursor c = txtNews->textCursor();
        c.insertText(withLf(*link));
        txtNews->setTextCursor(c);
    }
}

void frmPostNews::insertImage() {
    if (const std::optional<QString> text = NewsPoster::AskImage(dialogs(), siteConfig().baseUrl))
        insertAtSelectionStart(*text);
}

void frmPostNews::changeGif() {
    setBusy(true);
    BusyPointer busy;
    const QString nameGif = txtNameGIF->text();
    QString folder, file = nameGif;
    if (nameGif.contains(QLatin1Char('/')))
        SplitAtFirst(nameGif, QStringLiteral("/"), folder, file);
    const std::optional<QStringList> chosen = dialogs().openFiles(
        QStringLiteral("Replace ") + file + QStringLiteral(" With..."), replaceWithFilter(), false, {});
    if (!runState().LocalFolder.isEmpty())
        QDir::setCurrent(runState().LocalFolder);
    // A cancelled dialog or a failed copy or upload ends here without a message of its own.
    if (chosen && !chosen->isEmpty() && m_poster->ChangeNameGif(nameGif, chosen->first()))
        LoadNameGif();
    setBusy(false);
}

void frmPostNews::setBusy(bool busy) {
    m_busy += busy ? 1 : -1;
    setEnabled(m_busy == 0);
}

void frmPostNews::closeEvent(QCloseEvent* event) {
    // Closing while the host is being asked would pull the window from under the waiting operation.
    if (m_busy > 0) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    settingsStore().set(settings::PostNewsTimeZone, txtTimeZone->text());
    event->accept();
}

} // namespace krtp
