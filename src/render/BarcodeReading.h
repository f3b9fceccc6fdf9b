#pragma once

#include "badge/ElementProperties.h"

#include <QImage>
#include <QList>
#include <QString>

namespace vm {

// What a scanner reads from a picture of printed codes, for checking a code before it prints.
struct ReadCode {
    Symbology symbology;
    QString text;
};

// A code of the symbologies a badge can carry found in the picture; the first when there are
// several.
QList<ReadCode> readBarcodes(const QImage& image);

// Whether a code read back says what was encoded: EAN-13 reads back with its check digit, which
// a 12-digit value leaves to the encoder.
bool readsAs(const ReadCode& read, Symbology symbology, const QString& value);

} // namespace vm
