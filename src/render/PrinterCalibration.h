#pragma once

#include "render/SheetLayout.h"

#include <QPointF>
#include <QString>

class QPainter;
class QSettings;

namespace vm {

// Printers rarely put a page exactly where they are told; card printers and sheets of
// pre-cut cards show it. Each printer gets its own correction, in millimetres (right and down
// positive), kept in the user's settings under the printer's name and added to every print.
QPointF printerOffsetMm(const QSettings& settings, const QString& printerName);
void setPrinterOffsetMm(QSettings& settings, const QString& printerName, QPointF offsetMm);

// Offsets beyond this are a mistake, not a printer's tolerance.
inline constexpr double LargestPrinterOffsetMm = 20;

// The sheet that measures the offset: the outline of the layout's first card, printed without
// any offset, with a millimetre scale across each of its edges. Where the real card's edge cuts
// a scale is the correction to enter: the left and right scales give X, top and bottom give Y.
// The painter is in twips with the page's top-left at the origin.
void paintCalibrationSheet(QPainter& painter, const SheetLayout& layout, const QString& printerName,
                           QPointF currentOffsetMm);

// The scale's ticks run from -ScaleReachMm to +ScaleReachMm across each edge.
inline constexpr int ScaleReachMm = 5;

} // namespace vm
