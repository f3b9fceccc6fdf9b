#pragma once

#include <QColor>
#include <QPalette>

#include <array>

namespace vm {

// Colours are stored as 32-bit values: 0x00BBGGRR when the top bit is clear; with the top bit
// set the low byte names a system colour of the desktop (15 the face of a button, 5 a window's
// background, 8 a window's text, ...).

// A system colour is taken from the given palette, so it follows the desktop's theme.
QColor colorFromOle(qint32 ole, const QPalette& palette);

// As above with the application's palette, or fixed light-theme colours when no GUI application
// runs (tools and fuzzers).
QColor colorFromOle(qint32 ole);

// The system colours looked up once, so that drawing on another thread reads a plain value
// rather than the application's palette, which only the GUI thread may touch.
class SystemColors {
public:
    static constexpr std::size_t Count = 31;

    SystemColors(); // the usual light desktop colours
    explicit SystemColors(const QPalette& palette);
    // The application's palette, or the light colours when no GUI application runs. Call on the
    // GUI thread.
    static SystemColors ofApplication();

    // Any colour value: plain ones as they are, system ones from this set.
    QColor color(qint32 ole) const;

    friend bool operator==(const SystemColors&, const SystemColors&) = default;

private:
    std::array<QRgb, Count> m_rgb;
};

// The plain 0x00BBGGRR value of a colour; alpha is dropped.
qint32 oleFromColor(const QColor& color);

inline constexpr bool isSystemColor(qint32 ole)
{
    return ole < 0;
}

} // namespace vm
