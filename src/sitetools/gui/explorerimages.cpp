#include "sitetools/gui/explorerimages.h"

#include "sitetools/siteexplorer.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace krtp {

namespace {

void folder(QPainter& p, bool open) {
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 3, 5, 1);
    if (open) {
        QPainterPath flap;
        flap.moveTo(3, 7);
        flap.lineTo(15, 7);
        flap.lineTo(13, 14);
        flap.lineTo(1, 14);
        flap.closeSubpath();
        p.setBrush(QColor(255, 225, 120));
        p.drawPath(flap);
    }
}

void page(QPainter& p, bool present) {
    QPen pen(present ? QColor(80, 80, 80) : QColor(150, 150, 150));
    if (!present)
        pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.setBrush(present ? QColor(Qt::white) : QColor(235, 235, 235));
    QPainterPath sheet;
    sheet.moveTo(3, 1);
    sheet.lineTo(10, 1);
    sheet.lineTo(13, 4);
    sheet.lineTo(13, 14);
    sheet.lineTo(3, 14);
    sheet.closeSubpath();
    p.drawPath(sheet);
    if (present) {
        p.setPen(QColor(120, 140, 200));
        for (int y = 5; y <= 11; y += 2)
            p.drawLine(5, y, 11, y);
    }
}

void arrow(QPainter& p, bool down, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    QPainterPath a;
    if (down) {
        a.moveTo(9, 8);
        a.lineTo(15, 8);
        a.lineTo(12, 15);
    } else {
        a.moveTo(9, 15);
        a.lineTo(15, 15);
        a.lineTo(12, 8);
    }
    a.closeSubpath();
    p.drawPath(a);
}

QIcon draw(const QString& key) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (key == QLatin1String("folderclosed") || key == QLatin1String("folderopen")) {
        folder(p, key == QLatin1String("folderopen"));
    } else {
        page(p, key != QLatin1String("filenotfound"));
        if (key == QLatin1String("filedownload"))
            arrow(p, true, QColor(30, 150, 50));
        else if (key == QLatin1String("fileupload"))
            arrow(p, false, QColor(30, 90, 200));
        else if (key == QLatin1String("filedelete")) {
            p.setPen(QPen(QColor(200, 30, 30), 2));
            p.drawLine(8, 8, 14, 14);
            p.drawLine(14, 8, 8, 14);
        } else if (key == QLatin1String("filenotfound")) {
            p.setPen(QPen(QColor(200, 60, 60), 1.5));
            p.drawText(QRect(3, 2, 11, 12), Qt::AlignCenter, QStringLiteral("?"));
        }
    }
    p.end();
    return QIcon(pm);
}

} // namespace

QHash<QString, QIcon> ExplorerImages() {
    QHash<QString, QIcon> images;
    for (const QString& key : SiteExplorer::ImageKeys())
        images.insert(key, draw(key));
    return images;
}

} // namespace krtp
