#pragma once

#include <QList>
#include <QRectF>

namespace vm {

enum class Arrangement {
    AlignLeft,
    AlignCentre,
    AlignRight,
    AlignTop,
    AlignMiddle,
    AlignBottom,
    DistributeHorizontally,
    DistributeVertically,
    SameWidth,
    SameHeight,
};

// Where each of several rectangles goes (twips), in the order given. Aligning lines them up on
// the edge or centre line of the rectangle around them all; distributing keeps the outermost two
// where they are and spaces the others so that the gaps between neighbours are equal (it needs
// three); the same width or height is that of rects[reference]. Sizes change only for those two.
QList<QRectF> arranged(const QList<QRectF>& rects, Arrangement how, qsizetype reference);

} // namespace vm
