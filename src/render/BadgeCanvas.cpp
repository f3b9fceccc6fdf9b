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

void BadgeCanvas::setZoom(double zoom)
{
    m_zoom = zoom;
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
    return {pixelsToTwips(pixels.x(), logicalDpiX() * m_zoom),
            pixelsToTwips(pixels.y(), logicalDpiY() * m_zoom)};
}

QPointF BadgeCanvas::toPixels(QPointF twips) const
{
    return {twipsToPixels(twips.x(), logicalDpiX() * m_zoom),
            twipsToPixels(twips.y(), logicalDpiY() * m_zoom)};
}

void BadgeCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_side) {
        RenderOptions options = m_options;
        options.cardTwips = m_cardTwips;
        options.systemColors = SystemColors::ofApplication(); // follows a change of theme
        renderCard(painter, *m_side, logicalDpiX() * m_zoom, logicalDpiY() * m_zoom, options);
    }
    setTwipsTransform(painter, logicalDpiX() * m_zoom, logicalDpiY() * m_zoom);
    paintOverlay(painter);
}

void BadgeCanvas::paintOverlay(QPainter&) {}

void BadgeCanvas::applyCardSize()
{
    setFixedSize(screenSize(this, m_cardTwips * m_zoom));
}

} // namespace vm
