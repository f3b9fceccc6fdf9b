#include "common/OleColor.h"

#include <QGuiApplication>

#include <array>

namespace vm {
namespace {

struct SystemColor {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QRgb fallback;
};

// Indexed by the system colour number. The fallbacks are the usual light desktop colours.
constexpr std::array<SystemColor, SystemColors::Count> SystemColorTable{{
    {QPalette::Active, QPalette::Mid, 0xffc8c8c8},             // 0 scroll bar
    {QPalette::Active, QPalette::Dark, 0xff3a6ea5},            // 1 desktop
    {QPalette::Active, QPalette::Highlight, 0xff99b4d1},       // 2 active title
    {QPalette::Inactive, QPalette::Window, 0xffbfcddb},        // 3 inactive title
    {QPalette::Active, QPalette::Window, 0xfff0f0f0},          // 4 menu
    {QPalette::Active, QPalette::Base, 0xffffffff},            // 5 window
    {QPalette::Active, QPalette::Shadow, 0xff646464},          // 6 window frame
    {QPalette::Active, QPalette::WindowText, 0xff000000},      // 7 menu text
    {QPalette::Active, QPalette::Text, 0xff000000},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText, 0xff000000}, // 9 title text
    {QPalette::Active, QPalette::Midlight, 0xffb4b4b4},        // 10 active border
    {QPalette::Inactive, QPalette::Midlight, 0xfff4f7fc},      // 11 inactive border
    {QPalette::Active, QPalette::Mid, 0xffababab},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight, 0xff0078d7},       // 13 selection
    {QPalette::Active, QPalette::HighlightedText, 0xffffffff}, // 14 selected text
    {QPalette::Active, QPalette::Button, 0xfff0f0f0},          // 15 button face
    {QPalette::Active, QPalette::Dark, 0xffa0a0a0},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text, 0xff6d6d6d},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText, 0xff000000},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText, 0xff000000},    // 19 inactive title text
    {QPalette::Active, QPalette::Light, 0xffffffff},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow, 0xff696969},          // 21 dark 3-D shadow
    {QPalette::Active, QPalette::Midlight, 0xffe3e3e3},        // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText, 0xff000000},     // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase, 0xffffffe1},     // 24 tooltip background
    {QPalette::Active, QPalette::WindowText, 0xff000000},      // 25 unused: black, as elsewhere
    {QPalette::Active, QPalette::Link, 0xff0066cc},            // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight, 0xffb9d1ea},       // 27 active title gradient
    {QPalette::Inactive, QPalette::Window, 0xffd7e4f2},        // 28 inactive title gradient
    {QPalette::Active, QPalette::Highlight, 0xff3399ff},       // 29 highlighted menu item
    {QPalette::Active, QPalette::Window, 0xfff0f0f0},          // 30 menu bar
}};

QColor plainColor(qint32 ole)
{
    const quint32 value = quint32(ole);
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

// The desktop answers black for a system colour number it does not know.
const SystemColor* systemColor(qint32 ole)
{
    const quint32 index = quint32(ole) & 0xff;
    return index < SystemColorTable.size() ? &SystemColorTable[index] : nullptr;
}

} // namespace

QColor colorFromOle(qint32 ole, const QPalette& palette)
{
    if (!isSystemColor(ole))
        return plainColor(ole);
    const SystemColor* system = systemColor(ole);
    return system ? palette.color(system->group, system->role) : QColor(Qt::black);
}

QColor colorFromOle(qint32 ole)
{
    if (!isSystemColor(ole))
        return plainColor(ole);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return colorFromOle(ole, QGuiApplication::palette());
    const SystemColor* system = systemColor(ole);
    return system ? QColor::fromRgb(system->fallback) : QColor(Qt::black);
}

SystemColors::SystemColors()
{
    for (std::size_t i = 0; i < Count; ++i)
        m_rgb[i] = SystemColorTable[i].fallback;
}

SystemColors::SystemColors(const QPalette& palette)
{
    for (std::size_t i = 0; i < Count; ++i)
        m_rgb[i] = palette.color(SystemColorTable[i].group, SystemColorTable[i].role).rgba();
}

SystemColors SystemColors::ofApplication()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return SystemColors(QGuiApplication::palette());
    return {};
}

QColor SystemColors::color(qint32 ole) const
{
    if (!isSystemColor(ole))
        return plainColor(ole);
    const quint32 index = quint32(ole) & 0xff;
    return index < Count ? QColor::fromRgba(m_rgb[index]) : QColor(Qt::black);
}

qint32 oleFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return qint32(quint32(rgb.red()) | quint32(rgb.green()) << 8 | quint32(rgb.blue()) << 16);
}

} // namespace vm
