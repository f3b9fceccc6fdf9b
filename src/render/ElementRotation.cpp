#include "render/ElementRotation.h"

namespace vm {
namespace {

bool quarterTurn(Rotation rotation)
{
    return rotation.degrees == 90 || rotation.degrees == 270;
}

} // namespace

QSizeF uprightSize(QSizeF frame, Rotation rotation)
{
    return quarterTurn(rotation) ? frame.transposed() : frame;
}

QRectF turnedRect(QPointF topLeft, QSizeF size, Rotation rotation)
{
    return QRectF(topLeft, quarterTurn(rotation) ? size.transposed() : size);
}

QTransform turningTransform(QPointF topLeft, QSizeF size, Rotation rotation)
{
    const double x = topLeft.x(), y = topLeft.y(), w = size.width(), h = size.height();
    switch (rotation.degrees) {
    case 90: // clockwise: the box's left edge becomes the top edge
        return QTransform(0, 1, -1, 0, x + h, y);
    case 180:
        return QTransform(-1, 0, 0, -1, x + w, y + h);
    case 270:
        return QTransform(0, -1, 1, 0, x, y + w);
    default:
        return QTransform::fromTranslate(x, y);
    }
}

} // namespace vm
