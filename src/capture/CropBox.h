#pragma once

#include <QRectF>
#include <QSizeF>

namespace vm {

// A crop of a picture that keeps one aspect (width over height) and stays inside the picture,
// in the picture's pixels. Every change is fitted: the crop never leaves the picture, never
// changes its aspect and never becomes smaller than MinimumHeight.
class CropBox {
public:
    static constexpr double MinimumHeight = 16;

    CropBox() = default;
    // The largest crop of the aspect, centred.
    CropBox(QSizeF picture, double aspect);

    QRectF rect() const { return m_rect; }
    double aspect() const { return m_aspect; }
    QSizeF picture() const { return m_picture; }

    // As near `wanted` as the picture allows: its centre and height kept, then shrunk to fit and
    // moved inside.
    void setRect(const QRectF& wanted);
    void moveBy(QPointF delta);
    // Moves one corner towards `to` while the opposite corner stays.
    void dragCorner(Qt::Corner corner, QPointF to);
    // Grows or shrinks around the centre.
    void scaleBy(double factor);

private:
    QSizeF m_picture;
    double m_aspect = 1;
    QRectF m_rect;
};

} // namespace vm
