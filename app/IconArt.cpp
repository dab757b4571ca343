#include "app/IconArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ordalis {

void PaintKey(QPainter& painter, const QRectF& box, const QColor& colour)
{
    painter.save();
    painter.translate(box.topLeft());
    painter.scale(box.width() / 32.0, box.height() / 16.0);

    // Drawn on a 32 x 16 grid: the ring, with a hole, then shaft and teeth.
    QPainterPath key;
    key.setFillRule(Qt::OddEvenFill);
    key.addEllipse(QRectF(1, 2, 12, 12));
    key.addEllipse(QRectF(4.5, 5.5, 5, 5));
    QPainterPath bit;
    bit.addRect(QRectF(12, 6.5, 19, 3));
    bit.addRect(QRectF(22, 9, 3, 4));
    bit.addRect(QRectF(27, 9, 3, 5));
    key = key.united(bit);

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(170), 0.8));
    painter.setBrush(colour);
    painter.drawPath(key);
    painter.restore();
}

QImage PaintPadlockIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // Shackle: a steel arch above the body.
    QPainterPath shackle;
    shackle.moveTo(17, 30);
    shackle.lineTo(17, 19);
    shackle.arcTo(QRectF(17, 5, 26, 28), 180, -180);
    shackle.lineTo(43, 30);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x4a, 0x50, 0x58), 8, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(shackle);
    painter.setPen(QPen(QColor(0xb8, 0xbe, 0xc6), 5, Qt::SolidLine, Qt::FlatCap));
    painter.drawPath(shackle);

    // Body: a gold block with a keyhole.
    const QRectF body(8, 27, 44, 32);
    QLinearGradient gold(body.topLeft(), body.bottomRight());
    gold.setColorAt(0, QColor(0xf8, 0xd6, 0x6d));
    gold.setColorAt(1, QColor(0xc2, 0x84, 0x12));
    painter.setPen(QPen(QColor(0x6e, 0x4a, 0x08), 2));
    painter.setBrush(gold);
    painter.drawRoundedRect(body, 5, 5);

    QPainterPath keyhole;
    keyhole.addEllipse(QRectF(26, 36, 8, 8));
    keyhole.moveTo(27.5, 42);
    keyhole.lineTo(32.5, 42);
    keyhole.lineTo(34, 52);
    keyhole.lineTo(26, 52);
    keyhole.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x3a, 0x28, 0x06));
    painter.drawPath(keyhole.simplified());

    // The key, leaning across the lower right corner.
    painter.translate(40, 52);
    painter.rotate(-40);
    PaintKey(painter, QRectF(-14, -6, 30, 15), QColor(0x6f, 0x9c, 0xd8));
    return image;
}

} // namespace ordalis
