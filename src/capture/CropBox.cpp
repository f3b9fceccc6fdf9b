#include "capture/CropBox.h"

#include <algorithm>

namespace vm {

CropBox::CropBox(QSizeF picture, double aspect)
    : m_picture(picture)
    , m_aspect(aspect > 0 ? aspect : 1)
{
    setRect(QRectF(QPointF(0, 0), picture));
}

void CropBox::setRect(const QRectF& wanted)
{
    const double largestHeight = std::min(m_picture.height(), m_picture.width() / m_aspect);
    const double height =
        std::clamp(wanted.height(), std::min(MinimumHeight, largestHeight), largestHeight);
    const QSizeF size(height * m_aspect, height);
    QRectF fitted(QPointF(0, 0), size);
    fitted.moveCenter(wanted.center());
    m_rect = fitted;
    moveBy({0, 0});
}

void CropBox::moveBy(QPointF delta)
{
    const QSizeF size = m_rect.size();
    const double left =
        std::clamp(m_rect.left() + delta.x(), 0.0, std::max(m_picture.width() - size.width(), 0.0));
    const double top = std::clamp(m_rect.top() + delta.y(), 0.0,
                                  std::max(m_picture.height() - size.height(), 0.0));
    m_rect.moveTopLeft({left, top});
}

void CropBox::dragCorner(Qt::Corner corner, QPointF to)
{
    const bool left = corner == Qt::TopLeftCorner || corner == Qt::BottomLeftCorner;
    const bool top = corner == Qt::TopLeftCorner || corner == Qt::TopRightCorner;
    const QPointF anchor(left ? m_rect.right() : m_rect.left(),
                         top ? m_rect.bottom() : m_rect.top());
    // The room from the fixed corner to the picture's edges in the dragged corner's direction.
    const double roomX = left ? anchor.x() : m_picture.width() - anchor.x();
    const double roomY = top ? anchor.y() : m_picture.height() - anchor.y();
    const double largestHeight = std::min(roomY, roomX / m_aspect);
    // Measured in the dragged corner's direction: dragged across the fixed corner, the crop
    // becomes its smallest rather than turning over.
    const double wantedHeight =
        std::max(top ? anchor.y() - to.y() : to.y() - anchor.y(),
                 (left ? anchor.x() - to.x() : to.x() - anchor.x()) / m_aspect);
    const double height =
        std::clamp(wantedHeight, std::min(MinimumHeight, largestHeight), largestHeight);
    const double width = height * m_aspect;
    m_rect = QRectF(left ? anchor.x() - width : anchor.x(), top ? anchor.y() - height : anchor.y(),
                    width, height);
}

void CropBox::scaleBy(double factor)
{
    const QPointF centre = m_rect.center();
    QRectF wanted(QPointF(0, 0), m_rect.size() * factor);
    wanted.moveCenter(centre);
    setRect(wanted);
}

} // namespace vm
