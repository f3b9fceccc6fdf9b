#include "capture/LiveView.h"

#include "capture/CropBox.h"

#include <QPainter>
#include <QPainterPath>

namespace vm {

// Where the eyes and the face sit in a badge photograph, as fractions of the frame's height.
constexpr double EyeLine = 0.40;
constexpr double FaceHeight = 0.60;

LiveView::LiveView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 180);
}

void LiveView::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void LiveView::setFrame(double aspect, bool faceGuide)
{
    m_aspect = aspect;
    m_faceGuide = faceGuide;
    update();
}

void LiveView::setPlaceholder(const QString& text)
{
    m_placeholder = text;
    update();
}

QRectF LiveView::frameInPicture() const
{
    return CropBox(m_picture.size(), m_aspect).rect();
}

void LiveView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (m_picture.isNull()) {
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                         m_placeholder);
        return;
    }
    const QSizeF shown = QSizeF(m_picture.size()).scaled(size(), Qt::KeepAspectRatio);
    const QRectF target(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                        shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);

    const double scale = shown.width() / m_picture.width();
    const QRectF picFrame = frameInPicture();
    const QRectF frame(target.topLeft() + picFrame.topLeft() * scale, picFrame.size() * scale);
    QPainterPath outside;
    outside.addRect(target);
    outside.addRect(frame);
    painter.fillPath(outside, QColor(0, 0, 0, 140));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.drawRect(frame);
    if (!m_faceGuide)
        return;
    painter.setPen(QPen(QColor(255, 255, 255, 170), 1, Qt::DashLine));
    const double eyes = frame.top() + frame.height() * EyeLine;
    painter.drawLine(QPointF(frame.left(), eyes), QPointF(frame.right(), eyes));
    // The face from a little above the hairline to the chin, its middle just below the eyes.
    const double faceHeight = frame.height() * FaceHeight;
    QRectF face(0, 0, faceHeight * 0.72, faceHeight);
    face.moveCenter(QPointF(frame.center().x(), eyes + faceHeight * 0.08));
    painter.drawEllipse(face);
}

} // namespace vm
