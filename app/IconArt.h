#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;

namespace ordalis {

// A key lying left to right inside box: a ring, a shaft and two teeth.
void PaintKey(QPainter& painter, const QRectF& box, const QColor& colour);

// The program's icon, a padlock with a key, at size x size pixels with alpha.
QImage PaintPadlockIcon(int size);

} // namespace ordalis
