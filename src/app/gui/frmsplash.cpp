#include "app/gui/frmsplash.h"

#include "config/runstate.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

namespace krtp {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text, int pointDelta = 0, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() + pointDelta);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

// A drawn emblem: no image files to ship.
QPixmap splashPicture() {
    QPixmap pm(120, 120);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 120, 120);
    g.setColorAt(0, QColor(0x1f, 0x4e, 0x79));
    g.setColorAt(1, QColor(0x4f, 0x9d, 0xd9));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(4, 4, 112, 112, 18, 18);
    QFont f;
    f.setPixelSize(72);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 120, 120), Qt::AlignCenter, QStringLiteral("V"));
    return pm;
}

} // namespace

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QStringLiteral("VelmarFTP"));

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->installEventFilter(this);

    Picture1 = new QLabel(Frame1);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(splashPicture());

    lblProductName = label(Frame1, "lblProductName", QStringLiteral("VelmarFTP"), 14, true);
    Label1 = label(Frame1, "Label1", QStringLiteral("VelmarFTP"));
    Label2 = label(Frame1, "Label2", QStringLiteral("Velmar"));
    lblCompany = label(Frame1, "lblCompany", QStringLiteral("Korrindale"));
    lblPlatform = label(Frame1, "lblPlatform", QStringLiteral("for Windows 95"), 2, true);
    lblVersion = label(Frame1, "lblVersion", QString(), 1);
    for (QLabel* l : {lblProductName, Label1, Label2, lblCompany, lblPlatform, lblVersion})
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
    Picture1->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* grid = new QGridLayout(Frame1);
    grid->setContentsMargins(18, 18, 18, 18);
    grid->setHorizontalSpacing(18);
    grid->addWidget(Picture1, 0, 0, 5, 1, Qt::AlignTop);
    grid->addWidget(lblProductName, 0, 1);
    grid->addWidget(lblPlatform, 1, 1);
    grid->addWidget(lblVersion, 2, 1);
    grid->addWidget(Label1, 3, 1);
    grid->addWidget(Label2, 4, 1);
    grid->addWidget(lblCompany, 5, 1, Qt::AlignRight);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->addWidget(Frame1);

    lblVersion->setText(QStringLiteral("Version ") + GetProgramVersion());
    setFocusPolicy(Qt::StrongFocus);
    resize(460, 240);
    // Centred above the middle of the screen, where the login then appears.
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center().x() - width() / 2, qMax(area.top(), area.center().y() - height()));
    }
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    close();
    event->accept();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Frame1 && event->type() == QEvent::MouseButtonRelease) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace krtp
