#include "render/BadgeRenderer.h"

#include "common/Units.h"
#include "render/BarcodeDrawing.h"
#include "render/ElementRotation.h"
#include "render/TextFitting.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vm {
namespace {

// Outline widths are stored in screen pixels; one is drawn as a 96-DPI pixel so that print
// matches the screen at any resolution.
constexpr double TwipsPerBorderPixel = TwipsPerInch / 96;
// A card is 3.4 inches wide; anything larger comes from a damaged file.
constexpr double LargestFontPoints = 1000;
// Geometry beyond this (about 7000 inches) comes from a damaged file and would overflow the
// rasteriser's fixed-point coordinates.
constexpr double LargestTwips = 1e7;

const QColor PlaceholderFill(0xe8, 0xe8, 0xe8);
const QColor PlaceholderInk(0x80, 0x80, 0x80);

bool drawable(const QRectF& rect)
{
    auto fits = [](double v) {
        return std::isfinite(v) && std::abs(v) < LargestTwips;
    };
    return fits(rect.x()) && fits(rect.y()) && fits(rect.width()) && fits(rect.height()) &&
           rect.width() > 0 && rect.height() > 0;
}

QRectF textRect(const Comment& text, const QFont& font, const QString& shown)
{
    if (!text.sizesItself())
        return text.frame();
    return QRectF(QPointF(text.Left, text.Top), QFontMetricsF(font).size(0, shown));
}

void drawBorder(QPainter& painter, const Comment& text, const QRectF& rect)
{
    if (text.BorderStyle == 0)
        return;
    const double half = TwipsPerBorderPixel / 2;
    painter.setPen(
        QPen(Qt::black, TwipsPerBorderPixel, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(half, half, -half, -half));
}

void drawText(QPainter& painter, const Comment& text, bool oneLine, const RenderOptions& options)
{
    const SystemColors& colors = options.systemColors;
    const QFont font = textFont(text);
    const QString shown = drawnText(text.Caption, oneLine);
    const QRectF rect = textRect(text, font, shown);
    if (!drawable(rect))
        return;
    if (text.BackStyle == 1)
        painter.fillRect(rect, colors.color(text.BackColor));
    painter.setPen(colors.color(text.ForeColor));
    if (text.fit.fitsFrame()) {
        drawFittedText(painter, fitText(text, shown));
        drawBorder(painter, text, rect);
        // The designer shows the frame the text is fitted into; print never does.
        if (options.mode == RenderMode::Designer && text.BorderStyle == 0) {
            painter.setPen(QPen(PlaceholderInk, 0, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect);
        }
        return;
    }
    painter.setFont(font);
    // An AutoSize rect is measured from the same font; a fixed frame cuts the text off.
    const int flags = Qt::AlignLeft | Qt::AlignTop | (text.AutoSize ? Qt::TextDontClip : 0);
    // Arabic and Hebrew run from the right edge of the frame (the direction turns AlignLeft to
    // the right); other text from the left, whatever the painter's widget prefers.
    const Qt::LayoutDirection direction = painter.layoutDirection();
    painter.setLayoutDirection(shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    painter.drawText(rect, flags, shown);
    painter.setLayoutDirection(direction);
    drawBorder(painter, text, rect);
}

void drawMissingPicture(QPainter& painter, const QRectF& frame)
{
    painter.setPen(QPen(PlaceholderInk, TwipsPerBorderPixel, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
    painter.drawLine(frame.topLeft(), frame.bottomRight());
    painter.drawLine(frame.bottomLeft(), frame.topRight());
}

void drawLogo(QPainter& painter, const Logo& logo, const RenderOptions& options)
{
    const QRectF frame = logo.frame();
    if (!drawable(frame))
        return;
    if (logo.Picture.isNull()) {
        if (options.mode == RenderMode::Designer)
            drawMissingPicture(painter, frame);
        return;
    }
    // Logos fill their frame, stretched if need be: the operator sizes the frame to the logo.
    // JPEG would blur their edges in a PDF; a logo is the same on every badge, so a PDF holds it
    // once and lossless costs next to nothing.
    painter.setRenderHint(QPainter::LosslessImageRendering, true);
    painter.drawImage(frame, logo.Picture);
    painter.setRenderHint(QPainter::LosslessImageRendering, false);
}

void drawPlaceholder(QPainter& painter, const QRectF& frame, const QString& caption)
{
    painter.setPen(QPen(PlaceholderInk, TwipsPerBorderPixel));
    painter.setBrush(PlaceholderFill);
    const double half = TwipsPerBorderPixel / 2;
    painter.drawRect(frame.adjusted(half, half, -half, -half));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(
        int(std::clamp(std::min(frame.height(), frame.width() / 4) * 0.4, 1.0, 240.0)));
    font.setHintingPreference(QFont::PreferNoHinting);
    painter.setFont(font);
    painter.drawText(frame, Qt::AlignCenter, caption);
}

void drawPictureFrame(QPainter& painter, const PictureFrame& frame, const QString& caption,
                      const RenderOptions& options)
{
    const QRectF rect = frame.frame();
    if (!drawable(rect))
        return;
    if (frame.Picture.isNull()) {
        if (options.mode == RenderMode::Designer || frame.ShowPlaceholder)
            drawPlaceholder(painter, rect, caption);
        return;
    }
    // A face must not be distorted: fit the picture into the frame and centre it.
    QSizeF size = frame.Picture.size();
    size.scale(rect.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(rect.center());
    painter.drawImage(target, frame.Picture);
}

void drawShape(QPainter& painter, const Shape& shape, const SystemColors& colors)
{
    QRectF rect = shape.frame();
    if (!drawable(rect))
        return;
    // Types 1, 3 and 5 are the square, circle and rounded square: the largest that fits,
    // centred. The designer offers only 0, 2 and 4, but files may hold the others.
    const bool square = shape.ShpType == 1 || shape.ShpType == 3 || shape.ShpType == 5;
    if (square) {
        const double side = std::min(rect.width(), rect.height());
        const QPointF centre = rect.center();
        rect.setSize(QSizeF(side, side));
        rect.moveCenter(centre);
    }
    // The outline stays inside the frame, so the figure fills exactly its frame.
    const double penWidth = std::min<double>(shape.BorderWidth * TwipsPerBorderPixel,
                                             std::min(rect.width(), rect.height()));
    if (penWidth > 0) {
        painter.setPen(QPen(colors.color(shape.BorderColor), penWidth, Qt::SolidLine, Qt::SquareCap,
                            Qt::MiterJoin));
        rect.adjust(penWidth / 2, penWidth / 2, -penWidth / 2, -penWidth / 2);
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.setBrush(shape.BackStyle == 1 ? QBrush(colors.color(shape.BackColor)) : QBrush());

    switch (shape.ShpType) {
    case 2:
    case 3:
        painter.drawEllipse(rect);
        break;
    case 4:
    case 5: {
        // A sixth of the shorter side keeps the corners in proportion at any size.
        const double radius = std::min(rect.width(), rect.height()) / 6;
        painter.drawRoundedRect(rect, radius, radius);
        break;
    }
    default:
        painter.drawRect(rect);
        break;
    }
}

// The box a text is drawn upright in before it is turned (ElementRotation.h).
QSizeF uprightTextSize(const Comment& text, bool oneLine)
{
    return text.sizesItself()
               ? textRect(text, textFont(text), drawnText(text.Caption, oneLine)).size()
                         : uprightSize(text.frame().size(), text.rotation);
}

// One overload per element type, for BadgeSide::visit.
void drawElement(QPainter& painter, const Comment& text, ElementKind, const RenderOptions& options)
{
    drawTurned(painter, text, uprightTextSize(text, false), [&](const Comment& upright) {
        drawText(painter, upright, false, options);
    });
}

void drawElement(QPainter& painter, const Field& field, ElementKind, const RenderOptions& options)
{
    if (field.barcode) {
        drawBarcodeField(painter, field, options);
        return;
    }
    drawTurned(painter, field, uprightTextSize(field, true), [&](const Field& upright) {
        drawText(painter, upright, true, options);
    });
}

void drawElement(QPainter& painter, const Logo& logo, ElementKind, const RenderOptions& options)
{
    drawTurned(painter, logo, uprightSize(logo.frame().size(), logo.rotation),
               [&](const Logo& upright) { drawLogo(painter, upright, options); });
}

void drawElement(QPainter& painter, const Shape& shape, ElementKind, const RenderOptions& options)
{
    drawShape(painter, shape, options.systemColors);
}

void drawElement(QPainter& painter, const PictureFrame& frame, ElementKind kind,
                 const RenderOptions& options)
{
    drawPictureFrame(painter, frame,
                     kind == ElementKind::Photo ? QStringLiteral("Photo")
                                                : QStringLiteral("Signature"),
                     options);
}

} // namespace

bool isDirectionControl(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool isLineBreak(char32_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

QString drawnText(const QString& text, bool oneLine)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char32_t u = c.unicode();
        if (isDirectionControl(u))
            continue;
        if (isLineBreak(u)) {
            if (u == '\r' && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            shown += oneLine ? QChar(0x21B5) : QChar(u'\n'); // a return arrow
        } else if (u == '\t') {
            shown += QLatin1Char(' ');
        } else if (u < 0x20 || (u >= 0x7F && u < 0xA0)) {
            // Fonts here lack the control pictures; this mark is in every text font.
            shown += QChar(QChar::ReplacementCharacter);
        } else {
            shown += c;
        }
    }
    return shown;
}

QList<char32_t> hiddenCharacters(const QString& text)
{
    QList<char32_t> found;
    for (const char32_t c : text.toUcs4()) {
        // Joiners shape Arabic, Persian and Indic names and emoji: they belong to the text.
        const bool invisible =
            QChar::category(c) == QChar::Other_Format && c != 0x200C && c != 0x200D;
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        if ((invisible || control || isDirectionControl(c) || isLineBreak(c)) && !found.contains(c))
            found << c;
    }
    return found;
}

QFont textFont(const Comment& text)
{
    QFont font;
    if (!text.FontName.isEmpty())
        font.setFamily(text.FontName);
    // Pixel size in twips keeps a fine step (1/20 point) whatever the device's resolution.
    const double points = std::clamp(double(text.FontSize), 0.05, LargestFontPoints);
    font.setPixelSize(int(std::lround(points * TwipsPerPoint)));
    font.setBold(text.FontBold);
    font.setItalic(text.FontItalic);
    font.setUnderline(text.FontUnderline);
    // Unhinted glyphs scale linearly, so text measures the same on screen and on paper.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QRectF drawnRect(const Comment& text)
{
    if (text.rotation.degrees != 0)
        return turnedRect(QPointF(text.Left, text.Top), uprightTextSize(text, false),
                          text.rotation);
    return textRect(text, textFont(text), drawnText(text.Caption, false));
}

QRectF drawnRect(const Field& field)
{
    if (field.barcode)
        return field.frame();
    if (field.rotation.degrees != 0)
        return turnedRect(QPointF(field.Left, field.Top), uprightTextSize(field, true),
                          field.rotation);
    return textRect(field, textFont(field), drawnText(field.Caption, true));
}

QRectF drawnRect(const BadgeSide& side, ElementRef element)
{
    const ElementGeometry* geometry = side.geometry(element);
    if (!geometry)
        return {};
    if (element.kind == ElementKind::Field)
        return drawnRect(static_cast<const Field&>(*geometry));
    if (element.kind == ElementKind::Comment)
        return drawnRect(static_cast<const Comment&>(*geometry));
    return geometry->frame();
}

std::optional<ElementRef> elementAt(const BadgeSide& side, QPointF twips)
{
    const QList<ElementRef> order = side.stackingOrder();
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        const ElementGeometry* geometry = side.geometry(*it);
        if (geometry && geometry->Visible && drawnRect(side, *it).contains(twips))
            return *it;
    }
    return std::nullopt;
}

RenderOptions renderOptions(RenderMode mode, QSizeF cardTwips)
{
    return {mode, cardTwips, SystemColors::ofApplication()};
}

void setTwipsTransform(QPainter& painter, double dpiX, double dpiY)
{
    painter.scale(dpiX / TwipsPerInch, dpiY / TwipsPerInch);
}

namespace {

// Across the middle of the card, above everything, so no test print passes for a real badge.
void drawTestPrintMark(QPainter& painter, QSizeF card)
{
    painter.save();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(int(std::min(card.width(), card.height()) / 7));
    painter.setFont(font);
    painter.translate(card.width() / 2, card.height() / 2);
    painter.rotate(-std::atan2(card.height(), card.width()) * 180 / std::numbers::pi);
    const QString text = QStringLiteral("TEST PRINT - NOT ISSUED");
    const QRectF box(-card.width(), -card.height() / 2, 2 * card.width(), card.height());
    painter.setPen(QColor(200, 0, 0, 190));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

} // namespace

void renderBadgeSide(QPainter& painter, const BadgeSide& side, const RenderOptions& options)
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    // A record's photograph and signature differ on every badge: as JPEG at their printed size
    // a batch stays small and fast (lossless signatures made it a fifth slower and larger).
    painter.setRenderHint(QPainter::LosslessImageRendering, false);
    if (!options.cardTwips.isEmpty())
        painter.setClipRect(QRectF(QPointF(0, 0), options.cardTwips), Qt::IntersectClip);
    for (const ElementRef& element : side.stackingOrder()) {
        side.visit(element, [&](const auto& e) {
            if (e.Visible)
                drawElement(painter, e, element.kind, options);
        });
    }
    if (options.testPrint && !options.cardTwips.isEmpty())
        drawTestPrintMark(painter, options.cardTwips);
    painter.restore();
}

void renderCard(QPainter& painter, const BadgeSide& side, double dpiX, double dpiY,
                const RenderOptions& options)
{
    painter.save();
    setTwipsTransform(painter, dpiX, dpiY);
    renderBadgeSide(painter, side, options);
    painter.restore();
}

QImage renderSideImage(const BadgeSide& side, QSizeF cardTwips, double dpi,
                       const RenderOptions& options)
{
    const QSize pixels(int(std::lround(twipsToPixels(cardTwips.width(), dpi))),
                       int(std::lround(twipsToPixels(cardTwips.height(), dpi))));
    QImage image(pixels, QImage::Format_RGB32);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    RenderOptions clipped = options;
    if (clipped.cardTwips.isEmpty())
        clipped.cardTwips = cardTwips;
    renderCard(painter, side, dpi, dpi, clipped);
    return image;
}

} // namespace vm
