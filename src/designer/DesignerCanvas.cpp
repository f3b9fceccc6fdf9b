#include "designer/DesignerCanvas.h"

#include "common/Units.h"
#include "designer/DesignerAccessibility.h"
#include "render/SheetLayout.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

// On screen, whatever the zoom: the marker's corner squares, and how close a guide pulls.
constexpr double MarkerSquarePixels = 8;
constexpr double SnapPixels = 6;
// The grid is drawn only while its points stand this far apart.
constexpr double SmallestGridPixels = 6;

// Shift with an arrow key moves this many steps.
constexpr int ShiftSteps = 5;

const QColor MarkerInk(0x1a, 0x5f, 0xb4);
const QColor GuideInk(0xe0, 0x1b, 0x84);
const QColor GridInk(0xa0, 0xa0, 0xa0);

QPen cosmetic(const QColor& color, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(color, 0, style);
    pen.setCosmetic(true);
    return pen;
}

// Where an arrow key takes a position: whole twips, and on the grid from grid point to grid
// point. A position rounded to whole twips lies within half a twip of its grid point.
double keyStep(double from, int steps, double step, bool grid)
{
    if (steps == 0)
        return from;
    if (!grid)
        return std::round(from + steps * step);
    const double point =
        steps > 0 ? std::floor((from + 0.5) / step) : std::ceil((from - 0.5) / step);
    return std::round((point + steps) * step);
}

} // namespace

QRectF drawnRectOf(const Element& value)
{
    return std::visit(
        [](const auto& e) -> QRectF {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_base_of_v<Comment, T>)
                return drawnRect(static_cast<const Comment&>(e));
            else
                return e.frame();
        },
        value);
}

BadgeSide sideWithRecord(const BadgeSide& designed, const LinkedRecord& record)
{
    BadgeSide side = designed;
    for (auto& [index, field] : side.lblField)
        field.Tag = referencedColumn(field.Caption);
    return filledSide(side, record);
}

DesignerCanvas::DesignerCanvas(BadgeDocument& document, QWidget* parent)
    : BadgeCanvas(parent)
    , m_document(document)
{
    canvasAccessibility::install();
    setObjectName(QStringLiteral("Picture1"));
    setAccessibleName(QStringLiteral("Badge canvas"));
    setRenderOptions(vm::renderOptions(RenderMode::Designer, document.cardSize()));
    setMouseTracking(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setCardSize(document.cardSize());
    setSide(&document.side(m_side));

    connect(&document, &BadgeDocument::elementChanged, this, &DesignerCanvas::onElementChanged);
    connect(&document, &BadgeDocument::sideChanged, this, [this](BadgeSideId which) {
        if (which == m_side) {
            refreshPreview();
            update();
            canvasAccessibility::elementsChanged(this);
        }
    });
    connect(&document, &BadgeDocument::layoutReset, this, [this] {
        m_moving.reset();
        refreshPreview();
        canvasAccessibility::elementsChanged(this);
    });
    connect(&document, &BadgeDocument::orientationChanged, this,
            [this](Orientation orientation) { setCardSize(cardSizeTwips(orientation)); });
}

void DesignerCanvas::showSide(BadgeSideId side)
{
    m_side = side;
    m_moving.reset();
    m_marker.reset();
    m_otherMarkers.clear();
    setGuides(std::nullopt, std::nullopt);
    refreshPreview();
    canvasAccessibility::elementsChanged(this);
}

void DesignerCanvas::setMarker(std::optional<ElementRef> element)
{
    if (m_marker == element)
        return;
    const std::optional<ElementRef> before = m_marker;
    m_marker = element;
    m_keyMoveKey = 0;
    update();
    canvasAccessibility::selectionChanged(this, before);
}

QList<ElementRef> DesignerCanvas::shownElements() const
{
    QList<ElementRef> shown = side().stackingOrder();
    shown.removeIf([this](ElementRef e) { return !side().geometry(e)->Visible; });
    return shown;
}

void DesignerCanvas::setOtherMarkers(const QList<ElementRef>& elements)
{
    if (m_otherMarkers == elements)
        return;
    m_otherMarkers = elements;
    update();
}

void DesignerCanvas::setRecord(std::optional<LinkedRecord> record)
{
    m_record = std::move(record);
    refreshPreview();
}

void DesignerCanvas::refreshPreview()
{
    if (m_record)
        m_preview = sideWithRecord(side(), *m_record);
    else
        m_preview.reset();
    setSide(&shownSide());
    update();
}

void DesignerCanvas::setSnapOptions(const SnapOptions& options)
{
    m_snap = options;
    update();
}

double DesignerCanvas::pixelsInTwips(double pixels) const
{
    return pixelsToTwips(pixels, logicalDpiX() * zoom());
}

void DesignerCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // The context menu that follows acts on what was clicked.
        if (const std::optional<ElementRef> hit =
                elementAt(shownSide(), toTwips(event->position())))
            Q_EMIT elementPressed(*hit);
        return;
    }
    if (event->button() != Qt::LeftButton) {
        BadgeCanvas::mousePressEvent(event);
        return;
    }
    const QPointF at = toTwips(event->position());
    if (const std::optional<int> corner = cornerAt(at)) {
        startMove(*m_marker, event->position().toPoint());
        m_moving->corner = corner;
        m_moving->frame = side().geometry(*m_marker)->frame();
        return;
    }
    const std::optional<ElementRef> hit = elementAt(shownSide(), at);
    if (!hit) {
        Q_EMIT canvasPressed();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        Q_EMIT elementToggled(*hit);
        return;
    }
    const ElementGeometry* geometry = side().geometry(*hit);
    m_grab = QPoint(int(at.x() - geometry->Left), int(at.y() - geometry->Top));
    Q_EMIT elementPressed(*hit);
    // Shapes are moved by pressing them; everything else only while Ctrl is held.
    if (hit->kind == ElementKind::Shape || (event->modifiers() & Qt::ControlModifier))
        startMove(*hit, event->position().toPoint());
}

void DesignerCanvas::startMove(ElementRef element, QPoint pressedAt)
{
    m_moving.emplace();
    m_moving->element = element;
    m_moving->pressedAt = pressedAt;
    m_moving->mergeKey = m_document.newMergeKey();
}

void DesignerCanvas::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT pointerMoved(toTwips(event->position()));
    if (!m_moving) {
        const std::optional<ElementRef> hit = elementAt(shownSide(), toTwips(event->position()));
        const bool movable =
            hit && (hit->kind == ElementKind::Shape || (event->modifiers() & Qt::ControlModifier));
        setCursor(movable ? Qt::SizeAllCursor : Qt::ArrowCursor);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        m_moving.reset();
        return;
    }
    // A click that trembles a pixel is no move.
    if (!m_moving->started &&
        (event->position().toPoint() - m_moving->pressedAt).manhattanLength() <
            QApplication::startDragDistance())
        return;
    if (!m_moving->started) {
        m_moving->started = true;
        for (const ElementRef& other : side().stackingOrder()) {
            if (other != m_moving->element && side().geometry(other)->Visible)
                m_moving->others << drawnRect(shownSide(), other);
        }
    }
    if (m_moving->corner)
        resizeTo(toTwips(event->position()), event->modifiers() & Qt::ShiftModifier);
    else
        moveTo(toTwips(event->position()));
}

std::optional<int> DesignerCanvas::cornerAt(QPointF twips) const
{
    if (!m_marker || !side().contains(*m_marker))
        return std::nullopt;
    // Texts size themselves to their text, unless they are fitted into their frame.
    if ((m_marker->kind == ElementKind::Comment || m_marker->kind == ElementKind::Field) &&
        static_cast<const Comment*>(side().geometry(*m_marker))->sizesItself())
        return std::nullopt;
    const QList<QRectF> squares = cornerSquares(drawnRect(shownSide(), *m_marker));
    for (int corner = 0; corner < int(squares.size()); ++corner) {
        if (squares[corner].contains(twips))
            return corner;
    }
    return std::nullopt;
}

QList<QRectF> DesignerCanvas::cornerSquares(const QRectF& frame) const
{
    const double square = pixelsInTwips(MarkerSquarePixels);
    const QSizeF size(square, square);
    // Just outside the corners: top left, top right, bottom left, bottom right.
    return {QRectF(QPointF(frame.left() - square, frame.top() - square), size),
            QRectF(QPointF(frame.right(), frame.top() - square), size),
            QRectF(QPointF(frame.left() - square, frame.bottom()), size),
            QRectF(QPointF(frame.right(), frame.bottom()), size)};
}

void DesignerCanvas::resizeTo(QPointF pointer, bool keepRatio)
{
    const CanvasGesture& resize = *m_moving;
    std::optional<Element> value = side().element(resize.element);
    if (!value)
        return;
    // The opposite corner stays; the element never shrinks below one twip per pixel.
    const QRectF& from = resize.frame;
    const bool left = *resize.corner == 0 || *resize.corner == 2;
    const bool top = *resize.corner == 0 || *resize.corner == 1;
    const QPointF fixed(left ? from.right() : from.left(), top ? from.bottom() : from.top());
    const QPointF moving(std::round(pointer.x()), std::round(pointer.y()));
    const double smallest = pixelsInTwips(1);
    QRectF frame = QRectF(fixed, moving).normalized();
    frame.setWidth(std::max(frame.width(), smallest));
    frame.setHeight(std::max(frame.height(), smallest));
    if (keepRatio && from.width() > 0 && from.height() > 0) {
        // The larger of the two stretches decides; the fixed corner stays where it is.
        const double scale = std::max(frame.width() / from.width(), frame.height() / from.height());
        const QSizeF size(std::round(from.width() * scale), std::round(from.height() * scale));
        frame.setSize(size);
        frame.moveTo(moving.x() < fixed.x() ? fixed.x() - size.width() : fixed.x(),
                     moving.y() < fixed.y() ? fixed.y() - size.height() : fixed.y());
    }
    std::visit(
        [&](auto& e) {
            e.Left = float(frame.left());
            e.Top = float(frame.top());
            e.Width = float(frame.width());
            e.Height = float(frame.height());
        },
        *value);
    if (m_document.changeElement(m_side, resize.element, *value, QStringLiteral("Resize"),
                                 resize.mergeKey))
        m_moving->changed = true;
}

void DesignerCanvas::moveTo(QPointF pointer)
{
    const ElementRef element = m_moving->element;
    std::optional<Element> value = side().element(element);
    if (!value)
        return;
    const QRectF drawn = drawnRect(shownSide(), element);
    // Whole twips, as a pointer on screen can only mean them.
    const QPointF wanted(std::round(pointer.x()) - m_grab.x(),
                         std::round(pointer.y()) - m_grab.y());
    QPointF topLeft = wanted;
    std::optional<double> guideX;
    std::optional<double> guideY;
    if (m_snap.toGuides || m_snap.toGrid) {
        SnapOptions options = m_snap;
        options.tolerance = pixelsInTwips(SnapPixels);
        const SnapResult snapped =
            snapRect(QRectF(wanted, drawn.size()), m_moving->others, cardSize(), options);
        topLeft = snapped.topLeft;
        guideX = snapped.guideX;
        guideY = snapped.guideY;
    }
    setGuides(guideX, guideY);
    std::visit(
        [&](auto& e) {
            e.Left = float(topLeft.x());
            e.Top = float(topLeft.y());
        },
        *value);
    if (m_document.changeElement(m_side, element, *value, QStringLiteral("Move"),
                                 m_moving->mergeKey))
        m_moving->changed = true;
}

void DesignerCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_moving) {
        BadgeCanvas::mouseReleaseEvent(event);
        return;
    }
    const CanvasGesture move = *m_moving;
    m_moving.reset();
    setGuides(std::nullopt, std::nullopt);
    if (move.changed && side().contains(move.element))
        Q_EMIT elementMoved(move.element);
}

void DesignerCanvas::leaveEvent(QEvent* event)
{
    Q_EMIT pointerLeft();
    BadgeCanvas::leaveEvent(event);
}

void DesignerCanvas::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void DesignerCanvas::dragMoveEvent(QDragMoveEvent* event)
{
    Q_EMIT pointerMoved(toTwips(event->position()));
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void DesignerCanvas::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasText())
        return;
    event->acceptProposedAction();
    const QPointF at = toTwips(event->position());
    Q_EMIT textDropped(event->mimeData()->text(), QPointF(std::round(at.x()), std::round(at.y())));
}

bool DesignerCanvas::focusNextPrevChild(bool next)
{
    const QList<ElementRef> shown = shownElements();
    const qsizetype at = m_marker ? shown.indexOf(*m_marker) : -1;
    const qsizetype to = at < 0 ? (next ? 0 : shown.size() - 1) : at + (next ? 1 : -1);
    if (!hasFocus() || to < 0 || to >= shown.size())
        return BadgeCanvas::focusNextPrevChild(next);
    Q_EMIT elementChosen(shown[to]);
    return true;
}

void DesignerCanvas::focusInEvent(QFocusEvent* event)
{
    BadgeCanvas::focusInEvent(event);
    m_keyMoveKey = 0;
    // Walking in with Tab starts at the bottom, with Shift+Tab at the top.
    const QList<ElementRef> shown = shownElements();
    const bool walkedIn =
        event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason;
    if (walkedIn && !shown.isEmpty() && !(m_marker && shown.contains(*m_marker)))
        Q_EMIT elementChosen(event->reason() == Qt::TabFocusReason ? shown.first() : shown.last());
    // After the canvas itself is announced, which happens once this returns.
    QMetaObject::invokeMethod(
        this, [this] { canvasAccessibility::focusEntered(this); }, Qt::QueuedConnection);
}

void DesignerCanvas::keyPressEvent(QKeyEvent* event)
{
    QPoint direction;
    switch (event->key()) {
    case Qt::Key_Left:
        direction = {-1, 0};
        break;
    case Qt::Key_Right:
        direction = {1, 0};
        break;
    case Qt::Key_Up:
        direction = {0, -1};
        break;
    case Qt::Key_Down:
        direction = {0, 1};
        break;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (direction.isNull() || !m_marker || !side().contains(*m_marker) ||
        (modifiers & ~Qt::ShiftModifier)) {
        BadgeCanvas::keyPressEvent(event);
        return;
    }
    moveByKeys(direction, modifiers & Qt::ShiftModifier ? ShiftSteps : 1);
}

void DesignerCanvas::moveByKeys(QPoint direction, int steps)
{
    const ElementRef element = *m_marker;
    std::optional<Element> value = side().element(element);
    if (!value)
        return;
    const bool grid = m_snap.toGrid && m_snap.gridTwips > 0;
    const double step = grid ? m_snap.gridTwips : TwipsPerMm;
    std::visit(
        [&](auto& e) {
            e.Left = float(keyStep(e.Left, direction.x() * steps, step, grid));
            e.Top = float(keyStep(e.Top, direction.y() * steps, step, grid));
        },
        *value);
    if (m_keyMoveKey == 0)
        m_keyMoveKey = m_document.newMergeKey();
    m_document.changeElement(m_side, element, *value, QStringLiteral("Move"), m_keyMoveKey);
}

void DesignerCanvas::setGuides(std::optional<double> x, std::optional<double> y)
{
    if (x == m_guideX && y == m_guideY)
        return;
    m_guideX = x;
    m_guideY = y;
    update();
}

QRect DesignerCanvas::dirtyRect(const QRectF& twips) const
{
    const int margin = int(MarkerSquarePixels) + 3;
    // Only what the canvas shows can need painting; a frame reaching far beyond it must not
    // overflow the integer rectangle.
    const QRectF shown = QRectF(rect()).adjusted(-margin, -margin, margin, margin);
    auto within = [&](QPointF p) {
        auto clamp = [](double v, double low, double high) {
            return std::isnan(v) ? low : std::clamp(v, low, high);
        };
        return QPointF(clamp(p.x(), shown.left(), shown.right()),
                       clamp(p.y(), shown.top(), shown.bottom()));
    };
    const QRectF pixels(within(toPixels(twips.topLeft())), within(toPixels(twips.bottomRight())));
    return pixels.toAlignedRect().adjusted(-margin, -margin, margin, margin);
}

void DesignerCanvas::onElementChanged(BadgeSideId which, ElementRef element, const Element& before)
{
    if (which != m_side)
        return;
    if (m_record) {
        refreshPreview(); // a value's size is not the reference's
        return;
    }
    // Only where the element was and where it is now.
    QRect dirty = dirtyRect(drawnRectOf(before));
    if (const std::optional<Element> now = side().element(element))
        dirty |= dirtyRect(drawnRectOf(*now));
    update(dirty);
    canvasAccessibility::elementChanged(this, element, before);
}

void DesignerCanvas::paintOverlay(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QSizeF card = cardSize();

    if (m_snap.toGrid && m_snap.gridTwips > 0 &&
        m_snap.gridTwips >= pixelsInTwips(SmallestGridPixels)) {
        painter.setPen(cosmetic(GridInk));
        QList<QPointF> points;
        for (double y = 0; y <= card.height(); y += m_snap.gridTwips) {
            for (double x = 0; x <= card.width(); x += m_snap.gridTwips)
                points << QPointF(x, y);
        }
        painter.drawPoints(points.constData(), int(points.size()));
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(cosmetic(MarkerInk, Qt::DashLine));
    for (const ElementRef& other : m_otherMarkers) {
        if (side().contains(other))
            painter.drawRect(drawnRect(shownSide(), other));
    }
    if (m_marker && side().contains(*m_marker)) {
        const QRectF frame = drawnRect(shownSide(), *m_marker);
        const double square = pixelsInTwips(MarkerSquarePixels);
        painter.setPen(cosmetic(MarkerInk));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
        painter.setBrush(MarkerInk);
        // The squares sit just outside the corners.
        for (const QPointF& corner : {QPointF(frame.left() - square, frame.top() - square),
                                      QPointF(frame.right(), frame.top() - square),
                                      QPointF(frame.left() - square, frame.bottom()),
                                      QPointF(frame.right(), frame.bottom())})
            painter.drawRect(QRectF(corner, QSizeF(square, square)));
    }

    painter.setPen(cosmetic(GuideInk, Qt::DashLine));
    if (m_guideX)
        painter.drawLine(QPointF(*m_guideX, 0), QPointF(*m_guideX, card.height()));
    if (m_guideY)
        painter.drawLine(QPointF(0, *m_guideY), QPointF(card.width(), *m_guideY));
    painter.restore();
}

} // namespace vm
