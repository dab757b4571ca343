#include "app/KeyMark.h"

#include "app/IconArt.h"

#include <QPainter>
#include <QPixmap>

namespace ordalis {

QIcon KeyMarkIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PaintKey(painter, QRectF(0, 3, 16, 10), QColor(0xd8, 0xa0, 0x20));
    painter.end();
    return QIcon(pixmap);
}

} // namespace ordalis
