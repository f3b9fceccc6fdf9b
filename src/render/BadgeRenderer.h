#pragma once

#include "badge/BadgeSide.h"
#include "common/OleColor.h"

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

// A plain value: build it on the GUI thread (renderOptions) and hand copies to any thread.
struct RenderOptions {
    RenderMode mode = RenderMode::Output;
    // Not empty: nothing is drawn outside the card QRectF(0, 0, width, height), in twips, so a
    // long text at the edge never prints onto the paper around the card.
    QSizeF cardTwips;
    SystemColors systemColors;
    // "TEST PRINT" across the card (with a card size): a print that issues nobody a badge.
    bool testPrint = false;
};

// Options with the application's system colours. Call on the GUI thread.
RenderOptions renderOptions(RenderMode mode, QSizeF cardTwips);

// Makes one painter unit one twip on a device of the given resolution.
void setTwipsTransform(QPainter& painter, double dpiX, double dpiY);

// Draws the side's visible elements in their stacking order; the painter's units are twips
// (see setTwipsTransform). Text stays text, so printers and PDF files get vector output; logos
// reach a PDF lossless, a record's photograph and signature as JPEG. Draws no card background.
void renderBadgeSide(QPainter& painter, const BadgeSide& side, const RenderOptions& options);

// The side with the card's top-left at the painter's origin, one twip being 1/1440 inch on a
// device of the given resolution: how every output draws a card. The painter is left as found.
void renderCard(QPainter& painter, const BadgeSide& side, double dpiX, double dpiY,
                const RenderOptions& options);

// The side on a white card of the given size, at the given resolution; clipped to that card.
QImage renderSideImage(const BadgeSide& side, QSizeF cardTwips, double dpi,
                       const RenderOptions& options);

// The font a comment or field is drawn with, sized in twips (20 per point).
QFont textFont(const Comment& text);

// Explicit direction formatting (embeddings, overrides, isolates, marks): what reorders text.
bool isDirectionControl(char32_t c);
bool isLineBreak(char32_t c);

// What a text draws. Direction controls are dropped, so a value reads in the order it is stored
// ("evil" never prints as "live"), while right-to-left scripts keep their own direction. Control
// characters show as visible marks. A record's value (oneLine) stays on the one line its field
// was designed with, a line break shown as a return arrow, so it never overprints the field
// below; a comment keeps the line breaks its designer typed.
QString drawnText(const QString& text, bool oneLine);

// Characters of a text that print nothing yet change or hide what prints: line breaks, tabs and
// other control characters, direction controls and other invisible formatting characters; each
// once, in the order found.
QList<char32_t> hiddenCharacters(const QString& text);

// Where an element is drawn, in twips: a text that sizes itself covers its text, not its frame.
QRectF drawnRect(const Comment& text);
QRectF drawnRect(const Field& field);
QRectF drawnRect(const BadgeSide& side, ElementRef element);

// The topmost visible element drawn at the point, for picking with the pointer.
std::optional<ElementRef> elementAt(const BadgeSide& side, QPointF twips);

} // namespace vm
