#pragma once

#include "common/Units.h"

#include <QPoint>
#include <QSize>
#include <QSizeF>
#include <QWidget>

#include <cmath>

namespace vm {

// A twip on screen is logicalDpi / 1440 pixels (15 twips a pixel at 96 DPI).
inline int screenPixels(const QWidget* widget, double twips)
{
    return int(std::lround(twipsToPixels(twips, widget->logicalDpiX())));
}

inline QSize screenSize(const QWidget* widget, QSizeF twips)
{
    return {screenPixels(widget, twips.width()), screenPixels(widget, twips.height())};
}

inline double screenTwips(const QWidget* widget, int pixels)
{
    return pixelsToTwips(pixels, widget->logicalDpiX());
}

} // namespace vm
