#include "badge/Arrange.h"

#include <algorithm>
#include <numeric>

namespace vm {
namespace {

// Equal gaps along one axis: start and length of each rectangle on it.
template <class Start, class Length, class Move>
void distribute(QList<QRectF>& rects, Start start, Length length, Move move)
{
    if (rects.size() < 3)
        return;
    QList<qsizetype> order(rects.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return start(rects[a]) < start(rects[b]);
    });
    const QRectF& first = rects[order.first()];
    double end = start(first) + length(first);
    for (const QRectF& r : rects)
        end = std::max(end, start(r) + length(r));
    double lengths = 0;
    for (const QRectF& r : rects)
        lengths += length(r);
    const double gap = (end - start(first) - lengths) / double(rects.size() - 1);
    double at = start(first);
    for (qsizetype i : order) {
        move(rects[i], at);
        at += length(rects[i]) + gap;
    }
}

} // namespace

QList<QRectF> arranged(const QList<QRectF>& rects, Arrangement how, qsizetype reference)
{
    QList<QRectF> out = rects;
    if (rects.isEmpty())
        return out;
    QRectF around = rects.first();
    for (const QRectF& r : rects)
        around |= r;
    const QRectF model = rects.value(reference, rects.first());
    for (QRectF& r : out) {
        switch (how) {
        case Arrangement::AlignLeft:
            r.moveLeft(around.left());
            break;
        case Arrangement::AlignCentre:
            r.moveCenter(QPointF(around.center().x(), r.center().y()));
            break;
        case Arrangement::AlignRight:
            r.moveRight(around.right());
            break;
        case Arrangement::AlignTop:
            r.moveTop(around.top());
            break;
        case Arrangement::AlignMiddle:
            r.moveCenter(QPointF(r.center().x(), around.center().y()));
            break;
        case Arrangement::AlignBottom:
            r.moveBottom(around.bottom());
            break;
        case Arrangement::SameWidth:
            r.setWidth(model.width());
            break;
        case Arrangement::SameHeight:
            r.setHeight(model.height());
            break;
        case Arrangement::DistributeHorizontally:
        case Arrangement::DistributeVertically:
            break;
        }
    }
    if (how == Arrangement::DistributeHorizontally)
        distribute(
            out, [](const QRectF& r) { return r.left(); },
            [](const QRectF& r) { return r.width(); },
            [](QRectF& r, double at) { r.moveLeft(at); });
    else if (how == Arrangement::DistributeVertically)
        distribute(
            out, [](const QRectF& r) { return r.top(); },
            [](const QRectF& r) { return r.height(); },
            [](QRectF& r, double at) { r.moveTop(at); });
    return out;
}

} // namespace vm
