#include "badge/Snapping.h"

#include <cmath>

namespace vm {
namespace {

struct AxisSnap {
    double start;                // the new left (or top)
    std::optional<double> guide; // where the guide line is drawn
};

// One axis: the moving span [start, start + length] against the target lines.
AxisSnap snapAxis(double start, double length, const QList<double>& targets,
                  const SnapOptions& options)
{
    AxisSnap result{start, std::nullopt};
    if (options.toGuides) {
        const double lines[] = {start, start + length / 2, start + length};
        double best = options.tolerance;
        for (double target : targets) {
            for (double line : lines) {
                const double distance = std::abs(target - line);
                if (distance <= best) {
                    best = distance;
                    // From the line's offset within the span, so a centre lands exactly.
                    result.start = target - (line - start);
                    result.guide = target;
                }
            }
        }
        if (result.guide)
            return result;
    }
    if (options.toGrid && options.gridTwips > 0)
        result.start = std::round(start / options.gridTwips) * options.gridTwips;
    return result;
}

} // namespace

SnapResult snapRect(const QRectF& moving, const QList<QRectF>& others, QSizeF card,
                    const SnapOptions& options)
{
    QList<double> xs{0, card.width() / 2, card.width()};
    QList<double> ys{0, card.height() / 2, card.height()};
    for (const QRectF& other : others) {
        xs << other.left() << other.center().x() << other.right();
        ys << other.top() << other.center().y() << other.bottom();
    }
    const AxisSnap x = snapAxis(moving.left(), moving.width(), xs, options);
    const AxisSnap y = snapAxis(moving.top(), moving.height(), ys, options);
    return {QPointF(x.start, y.start), x.guide, y.guide};
}

} // namespace vm
