#pragma once

#include <QSizeF>

namespace vm {

// Geometry is kept in twips (1/1440 inch) as the badge files store it; conversions to pixels and
// points happen only at the edges, with the device's own resolution.
inline constexpr double TwipsPerInch = 1440.0;
inline constexpr double TwipsPerPoint = 20.0;

inline constexpr double twipsToPixels(double twips, double dpi)
{
    return twips * dpi / TwipsPerInch;
}
inline constexpr double pixelsToTwips(double pixels, double dpi)
{
    return pixels * TwipsPerInch / dpi;
}
inline constexpr double twipsToPoints(double twips)
{
    return twips / TwipsPerPoint;
}

// Orientation codes of the badge file's "Orientation:" line.
enum class Orientation : qint16 { Landscape = 1, Portrait = 2 };

inline constexpr double CardLongSide = 4876;
inline constexpr double CardShortSide = 3090;

inline QSizeF cardSizeTwips(Orientation orientation)
{
    return orientation == Orientation::Portrait ? QSizeF(CardShortSide, CardLongSide)
                                                : QSizeF(CardLongSide, CardShortSide);
}

} // namespace vm
