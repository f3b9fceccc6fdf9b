#pragma once

#include <QColor>
#include <QPalette>

namespace vm {

// Colours are stored as 32-bit values: 0x00BBGGRR when the top bit is clear; with the top bit
// set the low byte names a system colour of the desktop (15 the face of a button, 5 a window's
// background, 8 a window's text, ...).

// A system colour is taken from the given palette, so it follows the desktop's theme.
QColor colorFromOle(qint32 ole, const QPalette& palette);

// As above with the application's palette, or fixed light-theme colours when no GUI application
// runs (tools and fuzzers).
QColor colorFromOle(qint32 ole);

// The plain 0x00BBGGRR value of a colour; alpha is dropped.
qint32 oleFromColor(const QColor& color);

inline constexpr bool isSystemColor(qint32 ole)
{
    return ole < 0;
}

} // namespace vm
