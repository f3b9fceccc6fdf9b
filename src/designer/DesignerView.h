#pragma once

#include <QScrollArea>

#include <optional>

namespace vm {

class DesignerCanvas;
class CanvasRuler;

// The canvas in a scrolling frame with millimetre rulers along its top and left edges. Zoom
// lives here: 25 % to 400 % in steps, or whatever fits the frame; the badge stays in twips.
class DesignerView : public QScrollArea {
    Q_OBJECT
public:
    explicit DesignerView(DesignerCanvas* canvas, QWidget* parent = nullptr);

    static constexpr double MinZoom = 0.25;
    static constexpr double MaxZoom = 4.0;

    DesignerCanvas* canvas() const { return m_canvas; }
    double zoom() const;
    // Clamped to the range above.
    void setZoom(double zoom);
    void zoomIn();
    void zoomOut();
    // The largest zoom at which the whole card fits the frame.
    void zoomToFit();
    double fitZoom() const;

    // Where the rulers mark the pointer (twips); none while it is off the canvas.
    void showPointer(std::optional<QPointF> twips);

Q_SIGNALS:
    void zoomChanged(double zoom);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;

private:
    void placeRulers();

    DesignerCanvas* m_canvas;
    CanvasRuler* m_top;
    CanvasRuler* m_left;
};

// A millimetre scale along one edge of the canvas.
class CanvasRuler : public QWidget {
    Q_OBJECT
public:
    CanvasRuler(Qt::Orientation orientation, DesignerCanvas* canvas, QWidget* viewport,
                QWidget* parent);

    static constexpr int Thickness = 22;

    void setPointer(std::optional<double> twips);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The ruler's own coordinate of a distance along the card, in pixels.
    double position(double twips) const;

    Qt::Orientation m_orientation;
    DesignerCanvas* m_canvas;
    QWidget* m_viewport;
    std::optional<double> m_pointer;
};

} // namespace vm
