#pragma once

#include "render/BadgeRenderer.h"

#include <QSizeF>
#include <QWidget>

namespace vm {

// Shows one side at card size through the renderer. The side belongs to the window that owns
// the canvas; call update() after changing it. Windows draw their own decorations (a selection
// marker) in paintOverlay, on top of the side and never into it.
class BadgeCanvas : public QWidget {
    Q_OBJECT
public:
    explicit BadgeCanvas(QWidget* parent = nullptr);

    // Not owned; nullptr shows an empty card.
    void setSide(const BadgeSide* side);
    const BadgeSide* side() const { return m_side; }

    // Card size in twips; the widget takes that size at its logical resolution.
    void setCardSize(QSizeF twips);
    QSizeF cardSize() const { return m_cardTwips; }

    // Magnification over card size (1 shows the card at its real size on screen).
    void setZoom(double zoom);
    double zoom() const { return m_zoom; }

    // The canvas draws on its own card size with the application's current system colours;
    // the rest of the options is taken as given.
    void setRenderOptions(const RenderOptions& options);
    const RenderOptions& renderOptions() const { return m_options; }

    // Between widget pixels and twips, for picking and dropping.
    QPointF toTwips(QPointF pixels) const;
    QPointF toPixels(QPointF twips) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Called after the side is drawn, with the painter in twips.
    virtual void paintOverlay(QPainter& painter);

private:
    void applyCardSize();

    const BadgeSide* m_side = nullptr;
    QSizeF m_cardTwips;
    double m_zoom = 1;
    RenderOptions m_options;
};

} // namespace vm
