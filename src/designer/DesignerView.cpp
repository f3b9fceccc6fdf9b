#include "designer/DesignerView.h"

#include "common/Units.h"
#include "designer/DesignerCanvas.h"

#include <QGridLayout>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

constexpr double ZoomSteps[] = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1, 1.25, 1.5, 2, 3, 4};
constexpr double TwipsPerMm = TwipsPerInch / 25.4;
// Room around the card, so the selection marker at its edges stays in view.
constexpr int CardMargin = 16;

} // namespace

DesignerView::DesignerView(DesignerCanvas* canvas, QWidget* parent)
    : QScrollArea(parent)
    , m_canvas(canvas)
{
    setObjectName(QStringLiteral("canvasView"));
    // The canvas takes the focus; keys it leaves alone still scroll the frame.
    setFocusPolicy(Qt::NoFocus);
    setBackgroundRole(QPalette::Mid);
    auto* holder = new QWidget;
    holder->setBackgroundRole(QPalette::Mid);
    auto* layout = new QGridLayout(holder);
    layout->setContentsMargins(CardMargin, CardMargin, CardMargin, CardMargin);
    layout->addWidget(canvas, 0, 0, Qt::AlignCenter);
    setWidget(holder);
    setWidgetResizable(true);
    setViewportMargins(CanvasRuler::Thickness, CanvasRuler::Thickness, 0, 0);
    m_top = new CanvasRuler(Qt::Horizontal, canvas, viewport(), this);
    m_left = new CanvasRuler(Qt::Vertical, canvas, viewport(), this);
    m_top->setObjectName(QStringLiteral("rulerTop"));
    m_left->setObjectName(QStringLiteral("rulerLeft"));
}

double DesignerView::zoom() const
{
    return m_canvas->zoom();
}

void DesignerView::setZoom(double zoom)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (std::abs(zoom - m_canvas->zoom()) < 1e-9)
        return;
    // Keep the middle of what is in view where it is.
    auto ratio = [](const QScrollBar* bar) {
        const int span = bar->maximum() + bar->pageStep();
        return span > 0 ? (bar->value() + bar->pageStep() / 2.0) / span : 0.5;
    };
    const double rx = ratio(horizontalScrollBar());
    const double ry = ratio(verticalScrollBar());
    m_canvas->setZoom(zoom);
    widget()->adjustSize();
    auto restore = [](QScrollBar* bar, double r) {
        const int span = bar->maximum() + bar->pageStep();
        bar->setValue(int(std::lround(r * span - bar->pageStep() / 2.0)));
    };
    restore(horizontalScrollBar(), rx);
    restore(verticalScrollBar(), ry);
    placeRulers();
    Q_EMIT zoomChanged(zoom);
}

void DesignerView::zoomIn()
{
    for (double step : ZoomSteps) {
        if (step > zoom() + 1e-6) {
            setZoom(step);
            return;
        }
    }
}

void DesignerView::zoomOut()
{
    for (auto it = std::rbegin(ZoomSteps); it != std::rend(ZoomSteps); ++it) {
        if (*it < zoom() - 1e-6) {
            setZoom(*it);
            return;
        }
    }
}

double DesignerView::fitZoom() const
{
    const QSizeF card = m_canvas->cardSize();
    const double dpi = m_canvas->logicalDpiX();
    const QSize room = viewport()->size() - QSize(2 * CardMargin, 2 * CardMargin);
    const double zx = room.width() / twipsToPixels(card.width(), dpi);
    const double zy = room.height() / twipsToPixels(card.height(), dpi);
    return std::clamp(std::min(zx, zy), MinZoom, MaxZoom);
}

void DesignerView::zoomToFit()
{
    setZoom(fitZoom());
}

void DesignerView::showPointer(std::optional<QPointF> twips)
{
    m_top->setPointer(twips ? std::optional<double>(twips->x()) : std::nullopt);
    m_left->setPointer(twips ? std::optional<double>(twips->y()) : std::nullopt);
}

void DesignerView::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    placeRulers();
}

void DesignerView::scrollContentsBy(int dx, int dy)
{
    QScrollArea::scrollContentsBy(dx, dy);
    m_top->update();
    m_left->update();
}

bool DesignerView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() > 0)
                zoomIn();
            else if (wheel->angleDelta().y() < 0)
                zoomOut();
            wheel->accept();
            return true;
        }
    }
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize) {
        m_top->update();
        m_left->update();
    }
    return QScrollArea::viewportEvent(event);
}

void DesignerView::placeRulers()
{
    const QRect area = viewport()->geometry();
    const int t = CanvasRuler::Thickness;
    m_top->setGeometry(area.left(), area.top() - t, area.width(), t);
    m_left->setGeometry(area.left() - t, area.top(), t, area.height());
    m_top->update();
    m_left->update();
}

CanvasRuler::CanvasRuler(Qt::Orientation orientation, DesignerCanvas* canvas, QWidget* viewport,
                         QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
    , m_canvas(canvas)
    , m_viewport(viewport)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(orientation == Qt::Horizontal ? QStringLiteral("Horizontal ruler (mm)")
                                                    : QStringLiteral("Vertical ruler (mm)"));
}

void CanvasRuler::setPointer(std::optional<double> twips)
{
    if (twips == m_pointer)
        return;
    m_pointer = twips;
    update();
}

double CanvasRuler::position(double twips) const
{
    const QPoint origin = m_canvas->mapTo(m_viewport, QPoint(0, 0));
    const QPointF along = m_canvas->toPixels(QPointF(twips, twips));
    return m_orientation == Qt::Horizontal ? origin.x() + along.x() : origin.y() + along.y();
}

void CanvasRuler::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const bool horizontal = m_orientation == Qt::Horizontal;
    const int depth = horizontal ? height() : width();
    const double cardTwips =
        horizontal ? m_canvas->cardSize().width() : m_canvas->cardSize().height();
    const double mmPixels = position(TwipsPerMm) - position(0);

    painter.setPen(palette().color(QPalette::WindowText));
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    // Millimetre ticks while they stand apart, else only every 5 and 10 mm; labels every
    // centimetre, or every second one when they would crowd.
    const int labelEvery = mmPixels * 10 >= 24 ? 10 : 20;
    for (int mm = 0; mm * TwipsPerMm <= cardTwips + 0.5; ++mm) {
        int length = 0;
        if (mm % 10 == 0)
            length = depth / 2;
        else if (mm % 5 == 0 && mmPixels * 5 >= 4)
            length = depth / 3;
        else if (mmPixels >= 3)
            length = depth / 5;
        if (length == 0)
            continue;
        const double at = position(mm * TwipsPerMm);
        if (horizontal)
            painter.drawLine(QPointF(at, depth - length), QPointF(at, depth));
        else
            painter.drawLine(QPointF(depth - length, at), QPointF(depth, at));
        if (mm % labelEvery == 0) {
            const QString label = QString::number(mm);
            if (horizontal)
                painter.drawText(QPointF(at + 2, 10), label);
            else
                painter.drawText(QPointF(1, at + 10), label);
        }
    }
    painter.drawLine(horizontal ? QLineF(0, depth - 0.5, width(), depth - 0.5)
                                : QLineF(depth - 0.5, 0, depth - 0.5, height()));
    if (m_pointer) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        const double at = position(*m_pointer);
        painter.drawLine(horizontal ? QLineF(at, 0, at, depth) : QLineF(0, at, depth, at));
    }
}

} // namespace vm
