#pragma once

#include "badge/BadgeSide.h"

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>

class QPainter;

namespace vm {

enum class RenderMode {
    Designer, // empty photograph, signature and logo frames show where they are
    Output,   // what is printed: placeholders only while a frame's ShowPlaceholder is on
};

struct RenderOptions {
    RenderMode mode = RenderMode::Output;
};

// Makes one painter unit one twip on a device of the given resolution.
void setTwipsTransform(QPainter& painter, double dpiX, double dpiY);

// Draws the side's visible elements in their stacking order; the painter's units are twips
// (see setTwipsTransform). Text stays text, so printers and PDF files get vector output. Draws
// no card background.
void renderBadgeSide(QPainter& painter, const BadgeSide& side, const RenderOptions& options);

// The side on a white card of the given size, at the given resolution.
QImage renderSideImage(const BadgeSide& side, QSizeF cardTwips, double dpi,
                       const RenderOptions& options);

// The font a comment or field is drawn with, sized in twips (20 per point).
QFont textFont(const Comment& text);

// Where an element is drawn, in twips: a text with AutoSize covers its text, not its frame.
QRectF drawnRect(const Comment& text);
QRectF drawnRect(const BadgeSide& side, ElementRef element);

// The topmost visible element drawn at the point, for picking with the pointer.
std::optional<ElementRef> elementAt(const BadgeSide& side, QPointF twips);

} // namespace vm
