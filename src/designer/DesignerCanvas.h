#pragma once

#include "badge/BadgeDocument.h"
#include "badge/Snapping.h"
#include "records/LinkedRecord.h"
#include "render/BadgeCanvas.h"

#include <optional>

namespace vm {

// A move or resize with the mouse while the button is down.
struct CanvasGesture {
    ElementRef element;
    QPoint pressedAt; // pixels
    bool started = false;
    quint64 mergeKey = 0;
    bool changed = false;
    std::optional<int> corner; // resizing by this corner: 0 top left, 1 top right, ...
    QRectF frame;              // the element's frame when the resize began
    QList<QRectF> others;      // what the element snaps to; nothing else moves meanwhile
};

// The designer's canvas, "Picture1": the displayed side of the document through the renderer in
// designer mode, with the selection marker, the snapping guides and the grid drawn on top and
// never into the badge. Pressing a shape moves it at once; the other elements move while Ctrl is
// held; the marker's corner squares resize shapes, logos and the picture frames. A whole drag is
// one undo step. Hit-testing and every position it reports are in twips.
class DesignerCanvas : public BadgeCanvas {
    Q_OBJECT
public:
    explicit DesignerCanvas(BadgeDocument& document, QWidget* parent = nullptr);

    void showSide(BadgeSideId side);
    BadgeSideId displayedSide() const { return m_side; }

    // The element the marker surrounds; none hides the marker.
    void setMarker(std::optional<ElementRef> element);
    std::optional<ElementRef> marker() const { return m_marker; }
    // Further elements selected with it, outlined without corner squares.
    void setOtherMarkers(const QList<ElementRef>& elements);

    // A person's values, photograph and signature in the fields and frames while designing,
    // drawn by the renderer as the browser draws them; none shows the field references. The
    // document keeps its references: only what is drawn, picked and outlined changes.
    void setRecord(std::optional<LinkedRecord> record);
    bool showsRecord() const { return m_record.has_value(); }
    // What is drawn: the document's side, or that side filled with the record.
    const BadgeSide& shownSide() const { return m_preview ? *m_preview : side(); }

    // The tolerance is taken in screen pixels and turned into twips at the current zoom.
    void setSnapOptions(const SnapOptions& options);
    const SnapOptions& snapOptions() const { return m_snap; }

    // Where the pointer went down inside the element last pressed, in whole twips.
    QPoint grabOffset() const { return m_grab; }
    bool isMoving() const { return m_moving.has_value(); }
    // The guide lines shown while a drag is snapped, in twips.
    std::optional<double> guideX() const { return m_guideX; }
    std::optional<double> guideY() const { return m_guideY; }

    // The displayed side's visible elements, bottom to top: the order Tab and Shift+Tab walk
    // the selection through and a screen reader lists them in.
    QList<ElementRef> shownElements() const;

Q_SIGNALS:
    void elementPressed(vm::ElementRef element);
    // Shift + click: the element joins the selection or leaves it.
    void elementToggled(vm::ElementRef element);
    void canvasPressed();
    // A move with the mouse ended with the element at a new place.
    void elementMoved(vm::ElementRef element);
    void pointerMoved(QPointF twips);
    void pointerLeft();
    // Plain text was dropped on the canvas at the point (twips).
    void textDropped(const QString& text, QPointF twips);
    // Tab, Shift+Tab or a screen reader chose the element; the focus stays on the canvas.
    void elementChosen(vm::ElementRef element);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Tab and Shift+Tab walk the selection through the elements and leave after the last one;
    // the arrow keys move the selected element one grid step, or 1 mm without the grid, and
    // five with Shift.
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintOverlay(QPainter& painter) override;

private:
    const BadgeSide& side() const { return m_document.side(m_side); }
    void startMove(ElementRef element, QPoint pressedAt);
    void moveByKeys(QPoint direction, int steps);
    void moveTo(QPointF pointer);
    // keepRatio: the frame keeps the proportions it had when the resize began.
    void resizeTo(QPointF pointer, bool keepRatio);
    void refreshPreview();
    // The corner square of the selected element under the point, when it can be resized.
    std::optional<int> cornerAt(QPointF twips) const;
    QList<QRectF> cornerSquares(const QRectF& frame) const;
    void setGuides(std::optional<double> x, std::optional<double> y);
    void onElementChanged(BadgeSideId side, ElementRef element, const Element& before);
    // The widget pixels the rectangle covers, with room for the marker around it.
    QRect dirtyRect(const QRectF& twips) const;
    double pixelsInTwips(double pixels) const;

    BadgeDocument& m_document;
    BadgeSideId m_side = BadgeSideId::Front;
    std::optional<ElementRef> m_marker;
    QList<ElementRef> m_otherMarkers;
    std::optional<LinkedRecord> m_record;
    std::optional<BadgeSide> m_preview;
    SnapOptions m_snap;
    QPoint m_grab;
    std::optional<CanvasGesture> m_moving;
    std::optional<double> m_guideX;
    std::optional<double> m_guideY;
    quint64 m_keyMoveKey = 0; // the arrow keys' moves of one element in a row are one step
};

// Where an element value is drawn, in twips: a text with AutoSize covers its text.
QRectF drawnRectOf(const Element& value);

// The designed side filled with a record as the rendering windows fill it: each field looks its
// value up by the reference in its caption.
BadgeSide sideWithRecord(const BadgeSide& designed, const LinkedRecord& record);

} // namespace vm
