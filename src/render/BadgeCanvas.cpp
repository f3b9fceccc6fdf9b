#include "render/BadgeCanvas.h"

#include "widgets/ScreenUnits.h"

#include <QPainter>

namespace vm {

BadgeCanvas::BadgeCanvas(QWidget* parent)
    : QWidget(parent)
    , m_cardTwips(cardSizeTwips(Orientation::Landscape))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    applyCardSize();
}

void BadgeCanvas::setSide(const BadgeSide* side)
{
    m_side = side;
    update();
}

void BadgeCanvas::setCardSize(QSizeF twips)
{
    m_cardTwips = twips;
    applyCardSize();
    update();
}

void BadgeCanvas::setRenderOptions(const RenderOptions& options)
{
    m_options = options;
    update();
}

QPointF BadgeCanvas::toTwips(QPointF pixels) const
{
    return {pixelsToTwips(pixels.x(), logicalDpiX()), pixelsToTwips(pixels.y(), logicalDpiY())};
}

QPointF BadgeCanvas::toPixels(QPointF twips) const
{
    return {twipsToPixels(twips.x(), logicalDpiX()), twipsToPixels(twips.y(), logicalDpiY())};
}

void BadgeCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    setTwipsTransform(painter, logicalDpiX(), logicalDpiY());
    if (m_side)
        renderBadgeSide(painter, *m_side, m_options);
    paintOverlay(painter);
}

void BadgeCanvas::paintOverlay(QPainter&) {}

void BadgeCanvas::applyCardSize()
{
    setFixedSize(screenSize(this, m_cardTwips));
}

} // namespace vm
