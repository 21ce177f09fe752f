#pragma once

#include "sitetools/externaleditors.h"

#include <QDialog>

class QPlainTextEdit;

namespace krtp {

// Edits the external editors file as plain text; closing asks whether to save.
class frmExternalEditors : public QDialog {
    Q_OBJECT
public:
    explicit frmExternalEditors(const QString& path, QWidget* parent = nullptr);

    static QString Caption() { return QStringLiteral("Configure External Editors"); }

    QPlainTextEdit* txtExternalEditors;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    ExternalEditorsText m_file;
};

} // namespace krtp
