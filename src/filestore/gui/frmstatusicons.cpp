#include "filestore/gui/frmstatusicons.h"

#include "filestore/filestatus.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace krtp {

frmStatusIcons::frmStatusIcons(const QHash<QString, QIcon>& images, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStatusIcons"));
    setWindowTitle(QStringLiteral("Status Icons"));
    auto* grid = new QGridLayout;
    int row = 0;
    for (const QString& key : StatusKeys()) {
        auto* picture = new QLabel(this);
        picture->setPixmap(images.value(key).pixmap(16, 16));
        auto* text = new QLabel(StatusDescription(key), this);
        text->setObjectName(QStringLiteral("lblStatus_") + key);
        text->setWordWrap(true);
        grid->addWidget(picture, row, 0, Qt::AlignTop);
        grid->addWidget(text, row, 1);
        ++row;
    }
    auto* note = new QLabel(QStringLiteral("Which states show a circle is set in the options (red for out of "
                                           "date, blue, green and yellow for the others). Where a colour is "
                                           "off, a file shows the icon of its type (.txt, .gif, .doc, .mid, "
                                           ".wav) when it has one. Hold the mouse over an icon in the list "
                                           "to read what it means."),
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(note);
    column->addWidget(buttons);
    resize(460, sizeHint().height());
}

} // namespace krtp
