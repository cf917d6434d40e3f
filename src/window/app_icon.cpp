// The program's icon: a pipe seen from the side, with the fluid column and
// the pressure arrow that pushes its first segment.
#include "app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace velarion::window {

void paintAppIcon(QPainter& p, int size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(192, 192, 192));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(2, 5, 12, 6));  // the pipe
    p.setBrush(QColor(30, 110, 200));
    p.drawRect(QRectF(5, 5.75, 9, 4.5));  // the column of fluid
    p.setPen(QPen(QColor(255, 255, 255), 0.5));
    for (double x = 7.25; x < 14; x += 2.25)
        p.drawLine(QPointF(x, 5.75), QPointF(x, 10.25));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 160, 0));
    p.drawPolygon(QPolygonF({QPointF(1, 6.5), QPointF(4.5, 8), QPointF(1, 9.5)}));  // pressure
    p.setPen(QPen(QColor(40, 40, 40), 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(2, 5), QPointF(14, 5));
    p.drawLine(QPointF(2, 11), QPointF(14, 11));
    p.restore();
}

QImage appIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintAppIcon(painter, size);
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : kAppIconSizes)
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

}  // namespace velarion::window
