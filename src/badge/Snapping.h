#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace vm {

struct SnapOptions {
    bool toGuides = true; // the card's edges and centre lines, other elements' edges and centres
    bool toGrid = false;
    double gridTwips = 1440.0 / 25.4 * 2; // 2 mm
    double tolerance = 90;                // twips; a few screen pixels at the view's zoom
};

// Where a dragged rectangle goes, and the guide lines to show while it is there (twips).
struct SnapResult {
    QPointF topLeft;
    std::optional<double> guideX; // a vertical line at this x
    std::optional<double> guideY; // a horizontal line at this y
};

// On each axis, moves the rectangle so that its nearer edge or its centre lies on the nearest
// guide within the tolerance; failing that, puts its top-left corner on the grid. Axes snap
// independently.
SnapResult snapRect(const QRectF& moving, const QList<QRectF>& others, QSizeF card,
                    const SnapOptions& options);

} // namespace vm
