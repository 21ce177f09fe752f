#include "sitetools/gui/frmexternaleditors.h"

#include "platform/dialogs.h"
#include "platform/gui/windowmemory.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>

namespace krtp {

frmExternalEditors::frmExternalEditors(const QString& path, QWidget* parent) : QDialog(parent), m_file(path) {
    setObjectName(QStringLiteral("frmExternalEditors"));
    setWindowTitle(Caption());
    setSizeGripEnabled(true);
    txtExternalEditors = new QPlainTextEdit(this);
    txtExternalEditors->setObjectName(QStringLiteral("txtExternalEditors"));
    txtExternalEditors->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtExternalEditors->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtExternalEditors->setPlainText(m_file.editorText());
    resize(520, 300);
    (new WindowMemory(*this))->restore();
}

void frmExternalEditors::reject() {
    close();
}

void frmExternalEditors::closeEvent(QCloseEvent* event) {
    switch (dialogs().message(ExternalEditorsText::SaveQuestion(), Dialogs::Icon::Question,
                              Dialogs::Yes | Dialogs::No | Dialogs::Cancel)) {
    case Dialogs::Yes: {
        QString error;
        if (!m_file.save(txtExternalEditors->toPlainText(), &error)) {
            dialogs().message(error, Dialogs::Icon::Critical, Dialogs::Ok);
            event->ignore();
            return;
        }
        break;
    }
    case Dialogs::No:
        break;
    default:
        event->ignore();
        return;
    }
    setResult(QDialog::Accepted);
    event->accept();
}

void frmExternalEditors::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    txtExternalEditors->setGeometry(rect());
}

} // namespace krtp
