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
    if (m_side) {
        RenderOptions options = m_options;
        options.cardTwips = m_cardTwips;
        options.systemColors = SystemColors::ofApplication(); // follows a change of theme
        renderCard(painter, *m_side, logicalDpiX(), logicalDpiY(), options);
    }
    setTwipsTransform(painter, logicalDpiX(), logicalDpiY());
    paintOverlay(painter);
}

void BadgeCanvas::paintOverlay(QPainter&) {}

void BadgeCanvas::applyCardSize()
{
    setFixedSize(screenSize(this, m_cardTwips));
}

} // namespace vm
