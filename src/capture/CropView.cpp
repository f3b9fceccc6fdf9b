#include "capture/CropView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace vm {

constexpr double Grip = 10; // screen pixels around a corner that take it

CropView::CropView(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(240, 200);
}

void CropView::setPicture(const QImage& picture, double aspect)
{
    m_picture = picture;
    m_box = CropBox(picture.size(), aspect);
    changed();
}

void CropView::setCrop(const QRectF& rect)
{
    m_box.setRect(rect);
    changed();
}

void CropView::changed()
{
    update();
    Q_EMIT cropChanged();
}

QRectF CropView::shownRect() const
{
    if (m_picture.isNull())
        return {};
    const QSizeF shown =
        QSizeF(m_picture.size()).scaled(QSizeF(size()) - QSizeF(8, 8), Qt::KeepAspectRatio);
    return {QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown};
}

QPointF CropView::toPicture(QPointF widgetPoint) const
{
    const QRectF shown = shownRect();
    const double scale = m_picture.width() / shown.width();
    return (widgetPoint - shown.topLeft()) * scale;
}

QRectF CropView::cropOnScreen() const
{
    const QRectF shown = shownRect();
    const double scale = shown.width() / m_picture.width();
    const QRectF crop = m_box.rect();
    return {shown.topLeft() + crop.topLeft() * scale, crop.size() * scale};
}

std::optional<Qt::Corner> CropView::cornerAt(QPointF point) const
{
    const QRectF crop = cropOnScreen();
    const std::pair<Qt::Corner, QPointF> corners[] = {{Qt::TopLeftCorner, crop.topLeft()},
                                                      {Qt::TopRightCorner, crop.topRight()},
                                                      {Qt::BottomLeftCorner, crop.bottomLeft()},
                                                      {Qt::BottomRightCorner, crop.bottomRight()}};
    for (const auto& [corner, at] : corners) {
        if (std::abs(point.x() - at.x()) <= Grip && std::abs(point.y() - at.y()) <= Grip)
            return corner;
    }
    return std::nullopt;
}

void CropView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (m_picture.isNull())
        return;
    const QRectF shown = shownRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(shown, m_picture);
    const QRectF crop = cropOnScreen();
    QPainterPath outside;
    outside.addRect(shown);
    outside.addRect(crop);
    painter.fillPath(outside, QColor(0, 0, 0, 150));
    painter.setPen(QPen(hasFocus() ? palette().color(QPalette::Highlight) : QColor(Qt::white), 2));
    painter.drawRect(crop);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    for (const QPointF& corner :
         {crop.topLeft(), crop.topRight(), crop.bottomLeft(), crop.bottomRight()})
        painter.drawRect(QRectF(corner - QPointF(4, 4), QSizeF(8, 8)));
}

void CropView::mousePressEvent(QMouseEvent* event)
{
    if (m_picture.isNull() || event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    if (const std::optional<Qt::Corner> corner = cornerAt(at)) {
        m_drag = Drag::Corner;
        m_corner = *corner;
    } else if (cropOnScreen().contains(at)) {
        m_drag = Drag::Move;
    } else {
        return;
    }
    m_last = toPicture(at);
}

void CropView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_picture.isNull())
        return;
    const QPointF at = event->position();
    if (m_drag == Drag::None) {
        const std::optional<Qt::Corner> corner = cornerAt(at);
        if (corner)
            setCursor(*corner == Qt::TopLeftCorner || *corner == Qt::BottomRightCorner
                          ? Qt::SizeFDiagCursor
                          : Qt::SizeBDiagCursor);
        else
            setCursor(cropOnScreen().contains(at) ? Qt::SizeAllCursor : Qt::ArrowCursor);
        return;
    }
    const QPointF point = toPicture(at);
    if (m_drag == Drag::Move)
        m_box.moveBy(point - m_last);
    else
        m_box.dragCorner(m_corner, point);
    m_last = point;
    changed();
}

void CropView::mouseReleaseEvent(QMouseEvent*)
{
    m_drag = Drag::None;
}

void CropView::keyPressEvent(QKeyEvent* event)
{
    if (m_picture.isNull()) {
        QWidget::keyPressEvent(event);
        return;
    }
    // A step of a hundredth of the picture, ten with Shift.
    const double step = std::max(1.0, m_picture.width() / 100.0) *
                        (event->modifiers() & Qt::ShiftModifier ? 10 : 1);
    switch (event->key()) {
    case Qt::Key_Left:
        m_box.moveBy({-step, 0});
        break;
    case Qt::Key_Right:
        m_box.moveBy({step, 0});
        break;
    case Qt::Key_Up:
        m_box.moveBy({0, -step});
        break;
    case Qt::Key_Down:
        m_box.moveBy({0, step});
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_box.scaleBy(1.05);
        break;
    case Qt::Key_Minus:
        m_box.scaleBy(1 / 1.05);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    changed();
}

} // namespace vm
