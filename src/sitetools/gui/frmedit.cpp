#include "sitetools/gui/frmedit.h"

#include "platform/desktopservices.h"
#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"
#include "sitetools/editfile.h"
#include "sitetools/gui/webpreview.h"
#include "transfer/gui/transferprogress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace krtp {

frmEdit::frmEdit(EditSession& session, QWidget* parent) : QDialog(parent), m_session(session) {
    setObjectName(QStringLiteral("frmEdit"));
    setWindowTitle(FileCaption());
    setSizeGripEnabled(true);
    inet = &session.inet();

    picButtonBar = new QWidget(this);
    picButtonBar->setObjectName(QStringLiteral("picButtonBar"));
    auto* row = new QHBoxLayout(picButtonBar);
    row->setContentsMargins(4, 4, 4, 4);
    const auto button = [&](QPushButton*& b, const char* name, const QString& caption, const char* tip) {
        b = new QPushButton(caption, picButtonBar);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(QLatin1String(tip));
        b->setAutoDefault(false);
        row->addWidget(b);
    };
    button(cmdPreview, "cmdPreview", QStringLiteral("Preview"),
           "Switches between the text and a preview of the page as it is now");
    button(cmdPreviewInRegisteredApplication, "cmdPreviewInRegisteredApplication",
           QStringLiteral("Preview in Browser (or registered app.)"),
           "Saves the text to your local copy and opens it with the desktop's program for its type");
    button(cmdDiscard, "cmdDiscard", QStringLiteral("Discard Changes"),
           "Closes the editor and keeps the file as it was before this editing");
    button(cmdSendToServer, "cmdSendToServer", QStringLiteral("Send to Server"),
           "Saves the text to your local copy and sends it to the server");
    row->addStretch(1);
    picButtonBar->setFixedHeight(picButtonBar->sizeHint().height());

    txtEdit = new QPlainTextEdit(this);
    txtEdit->setObjectName(QStringLiteral("txtEdit"));
    txtEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtEdit->setPlainText(session.editorText());
    m_shownText = txtEdit->toPlainText();
    m_loadedText = session.text();

    webPreview = new WebPreview(this);
    webPreview->setObjectName(QStringLiteral("webPreview"));
    webPreview->hide();

    connect(cmdPreview, &QPushButton::clicked, this, &frmEdit::Preview);
    connect(cmdPreviewInRegisteredApplication, &QPushButton::clicked, this,
            &frmEdit::PreviewInRegisteredApplication);
    connect(cmdDiscard, &QPushButton::clicked, this, &frmEdit::Discard);
    connect(cmdSendToServer, &QPushButton::clicked, this, &frmEdit::SendToServer);

    resize(760, 560);
    (new WindowMemory(*this))->restore();
    layOut();
}

QString frmEdit::FileCaption() const {
    QString file = m_session.hostPath();
    if (file.startsWith(QLatin1Char('/')))
        file.remove(0, 1);
    return file.isEmpty() ? Caption() : file + QStringLiteral(" - ") + Caption();
}

void frmEdit::Preview() {
    if (webPreview->isHidden()) {
        cmdPreview->setText(QStringLiteral("Back to Edit Mode"));
        webPreview->show();
        txtEdit->hide();
        takeText();
        m_session.writeLocal(); // a preview that cannot be written shows the last copy
        webPreview->navigate(QUrl::fromLocalFile(m_session.localFile()));
    } else {
        cmdPreview->setText(QStringLiteral("Preview"));
        webPreview->hide();
        txtEdit->show();
    }
}

void frmEdit::PreviewInRegisteredApplication() {
    takeText();
    m_session.writeLocal();
    desktopServices().openDocument(m_session.localFile());
}

void frmEdit::SendToServer() {
    m_session.sendOnClose = true;
    m_session.discardOnClose = false;
    close();
}

void frmEdit::Discard() {
    m_session.sendOnClose = false;
    m_session.discardOnClose = true;
    close();
}

void frmEdit::reject() {
    // Escape closes like the close box, with the same question.
    close();
}

void frmEdit::closeEvent(QCloseEvent* event) {
    if (m_mayClose) {
        setResult(QDialog::Accepted);
        event->accept();
        return;
    }
    // The close box or Escape while the text is on its way: the window stays until the host answered.
    if (m_sending) {
        event->ignore();
        TransferProgress::AskOnBusyClose(*this);
        return;
    }
    takeText();
    switch (m_session.DecideClose()) {
    case EditSession::Closing::Stay:
        event->ignore();
        return;
    case EditSession::Closing::Close:
        setResult(QDialog::Accepted);
        event->accept();
        return;
    case EditSession::Closing::Send:
        break;
    }
    // Sent after this close has ended: waiting for the host inside it would let the window system
    // take the window away meanwhile (a second close is taken as done while one runs).
    event->ignore();
    m_sending = true;
    setEnabled(false); // no second click while the text is sent
    QTimer::singleShot(0, this, [this] {
        const bool sent = m_session.SendForClose();
        setEnabled(true);
        m_sending = false;
        if (sent) {
            m_mayClose = true;
            close();
        }
    });
}

void frmEdit::takeText() {
    // The box turns a lone CR into a line break of its own: a text the member left alone is kept
    // as it came instead of as the box shows it.
    const QString shown = txtEdit->toPlainText();
    if (shown == m_shownText)
        m_session.setText(m_loadedText);
    else
        m_session.setEditorText(shown);
}

void frmEdit::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

void frmEdit::layOut() {
    setWindowTitle(FileCaption());
    picButtonBar->setGeometry(0, 0, width(), picButtonBar->height());
    const QRect below(0, picButtonBar->height(), width(), qMax(0, height() - picButtonBar->height()));
    txtEdit->setGeometry(below);
    webPreview->setGeometry(below);
}

void InstallEditWindow() {
    EditWindowHooks hooks;
    hooks.showModal = [](EditSession& session, QObject* parent) {
        frmEdit window(session, qobject_cast<QWidget*>(parent));
        window.setWindowModality(Qt::ApplicationModal);
        window.exec();
    };
    hooks.setParentEnabled = [](QObject* parent, bool enabled) {
        auto* w = qobject_cast<QWidget*>(parent);
        if (!w)
            return;
        w->setEnabled(enabled);
        if (enabled) {
            w->raise();
            w->activateWindow();
        }
    };
    SetEditWindowHooks(hooks);
}

} // namespace krtp
