#include "render/TextFitting.h"

#include "common/Units.h"
#include "render/BadgeRenderer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace vm {
namespace {

// Less than this is the measuring's own rounding, not an overflow.
constexpr double ToleranceTwips = 0.5;

struct Breaking {
    QStringList lines;
    QList<qsizetype> starts; // where each line begins in the whole text
    double widest = 0;
};

QString withoutTrailingSpace(QString line)
{
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1).isSpace())
        --end;
    line.truncate(end);
    return line;
}

// The text's lines at the font: its own line breaks, and with wrap also where the frame's width
// ends a line (between words, or inside a word longer than the frame).
Breaking breakLines(const QString& text, const QFont& font, double width, bool wrap,
                    Qt::LayoutDirection direction)
{
    Breaking result;
    QTextOption option;
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    option.setTextDirection(direction);
    qsizetype start = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(wrap ? width : std::numeric_limits<qreal>::max() / 4);
            result.lines << withoutTrailingSpace(
                paragraph.mid(line.textStart(), line.textLength()));
            result.starts << start + line.textStart();
            result.widest = std::max(result.widest, line.naturalTextWidth());
        }
        layout.endLayout();
        if (paragraph.isEmpty()) { // an empty line still takes its height
            result.lines << QString();
            result.starts << start;
        }
        start += paragraph.size() + 1;
    }
    return result;
}

double blockHeight(const QFontMetricsF& metrics, qsizetype lines)
{
    return lines <= 0 ? 0 : metrics.height() + double(lines - 1) * metrics.lineSpacing();
}

struct Attempt {
    QFont font;
    Breaking breaking;
    bool fits = false;
};

Attempt attempt(const QString& text, const QFont& base, int pixelSize, const TextFit& fit,
                QSizeF frame, Qt::LayoutDirection direction)
{
    Attempt a{base, {}, false};
    a.font.setPixelSize(pixelSize);
    a.breaking = breakLines(text, a.font, frame.width(), fit.wraps(), direction);
    const QFontMetricsF metrics(a.font);
    const qsizetype lines = a.breaking.lines.size();
    a.fits = a.breaking.widest <= frame.width() + ToleranceTwips &&
             blockHeight(metrics, lines) <= frame.height() + ToleranceTwips &&
             (fit.maximumLines <= 0 || lines <= fit.maximumLines);
    return a;
}

Qt::Alignment horizontalFlags(HorizontalAlign align)
{
    switch (align) {
    case HorizontalAlign::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case HorizontalAlign::Centre:
        return Qt::AlignHCenter;
    case HorizontalAlign::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case HorizontalAlign::Start:
        break;
    }
    return Qt::AlignLeft; // turned to the right by a right-to-left direction
}

} // namespace

FittedText fitText(const Comment& text, const QString& shown)
{
    FittedText fitted;
    fitted.frame = text.frame();
    fitted.direction = shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    fitted.alignment = horizontalFlags(text.fit.horizontal);
    const QFont base = textFont(text);
    const int designed = std::max(1, base.pixelSize());
    fitted.font = base;
    fitted.pointSize = designed / TwipsPerPoint;
    if (shown.trimmed().isEmpty())
        return fitted;

    const TextFit& fit = text.fit;
    const QSizeF frame = fitted.frame.size();
    Attempt chosen = attempt(shown, base, designed, fit, frame, fitted.direction);
    if (!chosen.fits && fit.shrinks()) {
        // Sizes in whole twips, the step textFont keeps; the largest that fits wins.
        const int smallest =
            std::min(designed, int(std::lround(double(fit.minimumSize) * TwipsPerPoint)));
        int low = std::max(1, smallest), high = designed - 1;
        std::optional<Attempt> best;
        while (low <= high) {
            const int middle = low + (high - low) / 2;
            Attempt a = attempt(shown, base, middle, fit, frame, fitted.direction);
            if (a.fits) {
                best = std::move(a);
                low = middle + 1;
            } else {
                high = middle - 1;
            }
        }
        chosen = best ? std::move(*best)
                      : attempt(shown, base, std::max(1, smallest), fit, frame, fitted.direction);
    }
    fitted.font = chosen.font;
    fitted.pointSize = chosen.font.pixelSize() / TwipsPerPoint;
    fitted.shrunk = chosen.font.pixelSize() < designed;

    const QFontMetricsF metrics(fitted.font);
    QStringList lines = chosen.breaking.lines;
    if (!chosen.fits) {
        // As many lines as the frame and the maximum allow, and always the first.
        qsizetype room = 1;
        while (room < lines.size() &&
               blockHeight(metrics, room + 1) <= frame.height() + ToleranceTwips)
            ++room;
        if (fit.maximumLines > 0)
            room = std::min<qsizetype>(room, fit.maximumLines);
        const bool dropped = room < lines.size();
        const qsizetype last = room - 1;
        if (fit.ellipsis) {
            QString rest = dropped ? shown.mid(chosen.breaking.starts.at(last)) : lines.at(last);
            rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
            lines.resize(room);
            for (qsizetype i = 0; i < room; ++i) {
                const QString& whole = i == last ? rest : lines.at(i);
                const QString elided = metrics.elidedText(whole, Qt::ElideRight, frame.width());
                if (elided != whole || (i == last && dropped)) {
                    fitted.ellipsised = true;
                    lines[i] = elided;
                }
            }
            // A frame lower than one line cuts even the ellipsised line.
            fitted.cut = blockHeight(metrics, room) > frame.height() + ToleranceTwips ||
                         lines.at(last).isEmpty();
        } else {
            lines.resize(room);
            fitted.cut = true;
        }
    }

    const double height = blockHeight(metrics, lines.size());
    double top = fitted.frame.top();
    if (fit.vertical == VerticalAlign::Middle)
        top += (frame.height() - height) / 2;
    else if (fit.vertical == VerticalAlign::Bottom)
        top += frame.height() - height;
    for (qsizetype i = 0; i < lines.size(); ++i)
        fitted.lines.append(
            {lines.at(i), QRectF(fitted.frame.left(), top + double(i) * metrics.lineSpacing(),
                                 frame.width(), metrics.height())});
    return fitted;
}

void drawFittedText(QPainter& painter, const FittedText& fitted)
{
    painter.save();
    if (fitted.cut)
        painter.setClipRect(fitted.frame, Qt::IntersectClip);
    painter.setFont(fitted.font);
    painter.setLayoutDirection(fitted.direction);
    for (const FittedText::Line& line : fitted.lines)
        painter.drawText(line.rect, int(fitted.alignment | Qt::AlignTop | Qt::TextDontClip),
                         line.text);
    painter.restore();
}

} // namespace vm
