#pragma once

#include "badge/BadgeSide.h"

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QPainter;

namespace vm {

// A text laid out in its frame by its TextFit, in twips. The layout is measured with the font
// sized in twips and unhinted, the same on every device, so the screen, a PDF and a printer
// break the lines at the same places and shrink to the same size.
struct FittedText {
    struct Line {
        QString text;
        QRectF rect; // the frame's width, one line high
    };
    QFont font;
    double pointSize = 0;
    QList<Line> lines;
    QRectF frame;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    Qt::Alignment alignment = Qt::AlignLeft; // horizontal, for each line in its rect
    bool shrunk = false;                     // drawn below its designed size
    bool ellipsised = false;                 // text left off, ending in "…"
    bool cut = false; // text left off or running past the frame without an ellipsis

    // Some of the text does not show.
    bool incomplete() const { return ellipsised || cut; }
};

// The text's drawn form (drawnText) fitted into the element's frame by its TextFit. Meant for the
// modes that fit; AsDesigned, which ignores the frame, gets its lines unwrapped at its own size.
FittedText fitText(const Comment& text, const QString& shown);

// Draws the lines, cut off at the frame when the fitting says so. The painter's units are twips.
void drawFittedText(QPainter& painter, const FittedText& fitted);

} // namespace vm
