#pragma once

#include "badge/BadgeSide.h"
#include "common/Status.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

namespace vm {

struct RenderOptions;

// A barcode as the encoder lays it out, in modules: one module, the narrowest bar or one cell,
// is 1. Shapes are drawn in the foreground colour on the background.
struct BarcodeSymbol {
    QSizeF size;           // with the quiet zone and the human-readable text
    double barsBottom = 0; // where the bars of a linear code end (its text lies below)
    QList<QRectF> bars;
    struct Hexagon {
        QPointF centre;
        double diameter;
    };
    QList<Hexagon> hexagons;
    struct Circle {
        QPointF centre;
        double diameter;
        double width; // of the ring; 0 is a disc
        bool background;
    };
    QList<Circle> circles;
    struct Text {
        QPointF baseline; // at the text's centre, left or right end (align 0, 1, 2)
        double size;
        double width;
        int align;
        QString text;
    };
    QList<Text> texts;
};

// The symbol for a value, or why the symbology cannot hold the value, in the operator's words.
Result<BarcodeSymbol> encodeBarcode(const Barcode& barcode, const QString& value);

// A barcode field's symbol placed in the field's upright box (ElementRotation.h), in twips.
struct PlacedBarcode {
    BarcodeSymbol symbol;
    double module = 0; // twips
    QRectF rect;       // the whole symbol in the box
    double barsHeight = 0; // linear codes: the bars stretched to fill the box
};
// Why not: the value cannot be encoded, or the code does not fit the frame at the module chosen
// or at the smallest readable one.
Result<PlacedBarcode> placeBarcode(const Field& field);

// The value a barcode field encodes: its caption, which a record has filled.
// A caption still holding a field reference "<Table.Column>" has not been filled.
bool holdsFieldReference(const QString& caption);

// Why the barcode of a filled field cannot print, empty when it can.
QString barcodeProblem(const Field& field);

// Draws a barcode field, turned as the field is: the code, or in its frame why there is none. The
// designer shows a field not yet filled with a sample value the symbology can hold.
void drawBarcodeField(QPainter& painter, const Field& field, const RenderOptions& options);

} // namespace vm
