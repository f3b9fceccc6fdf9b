#pragma once

#include "badge/ElementProperties.h"

#include <QPainter>
#include <QRectF>
#include <QTransform>

namespace vm {

// An element turned by 90, 180 or 270 degrees is drawn upright in a box of its own, which the
// painter then turns onto the card. The box's top-left corner stays where the element's top-left
// is, so a turned element covers the card from (Left, Top).

// The upright box of an element whose frame on the card is `frame`: its sides swapped for a
// quarter turn.
QSizeF uprightSize(QSizeF frame, Rotation rotation);

// What a box of `size` covers on the card, turned, with its top-left at `topLeft`.
QRectF turnedRect(QPointF topLeft, QSizeF size, Rotation rotation);

// Maps the upright box QRectF(0, 0, size) onto turnedRect(topLeft, size, rotation).
QTransform turningTransform(QPointF topLeft, QSizeF size, Rotation rotation);

// A copy of the element moved into its upright box at the origin (size `upright`): what is laid
// out and measured before it is turned, so a check sees the frame the drawing fills.
template <class E> E uprightBox(const E& element, QSizeF upright)
{
    E box = element;
    box.Left = 0;
    box.Top = 0;
    box.Width = float(upright.width());
    box.Height = float(upright.height());
    return box;
}

// Calls draw(uprightBox(element, upright)) with the painter turned onto the card; the element
// itself when it is not turned.
template <class E, class Draw>
void drawTurned(QPainter& painter, const E& element, QSizeF upright, Draw&& draw)
{
    if (element.rotation.degrees == 0) {
        draw(element);
        return;
    }
    painter.save();
    painter.setTransform(
        turningTransform(QPointF(element.Left, element.Top), upright, element.rotation), true);
    draw(uprightBox(element, upright));
    painter.restore();
}

} // namespace vm
