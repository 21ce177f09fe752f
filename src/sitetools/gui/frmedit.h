#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace krtp {

class EditSession;
class TransferControl;
class WebPreview;

// The internal editor: the text of one site file, a preview, the file in the desktop's own
// program, and sending it back. It works on an EditSession, which holds the rules; EditFile
// (sitetools/editfile.h) opens it.
class frmEdit : public QDialog {
    Q_OBJECT
public:
    explicit frmEdit(EditSession& session, QWidget* parent = nullptr);

    static QString Caption() { return QStringLiteral("KRtp Text Editor"); }
    // "news/index.html - KRtp Text Editor": which file, among the windows of the desktop.
    QString FileCaption() const;

    EditSession& session() { return m_session; }
    // Preview: the text into the mirror copy and shown as a page; again: back to the text.
    void Preview();
    void PreviewInRegisteredApplication();
    void SendToServer();
    void Discard();

    QPlainTextEdit* txtEdit;
    WebPreview* webPreview;
    QWidget* picButtonBar;
    QPushButton* cmdPreview;
    QPushButton* cmdPreviewInRegisteredApplication;
    QPushButton* cmdDiscard;
    QPushButton* cmdSendToServer;
    TransferControl* inet;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOut();
    // Gives the session the box's text when the member changed it.
    void takeText();
    EditSession& m_session;
    QString m_shownText;  // the box's text as first shown
    QString m_loadedText; // the session's text then
    bool m_sending = false;
    bool m_mayClose = false;
};

// Makes EditFile show frmEdit, modal over its parent window, which is disabled meanwhile.
void InstallEditWindow();

} // namespace krtp
