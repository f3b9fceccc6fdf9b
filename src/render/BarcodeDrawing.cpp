#include "render/BarcodeDrawing.h"

#include "render/BadgeRenderer.h"
#include "render/ElementRotation.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <zint.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vm {
namespace {

// Less than this is rounding, not a code too large for its frame.
constexpr double ToleranceTwips = 0.5;
// Bars of a linear code lower than this, or than 15 % of the code's width when that is less,
// are hard to hit with a hand scanner's line.
constexpr double LowestBarsTwips = 360;

QString mm(double twips)
{
    return QString::number(twips / 1440 * 25.4, 'f', 1) + QStringLiteral(" mm");
}

int zintSymbology(Symbology symbology)
{
    switch (symbology) {
    case Symbology::Code128:
        return BARCODE_CODE128;
    case Symbology::Code39:
        return BARCODE_CODE39;
    case Symbology::Ean13:
        return BARCODE_EANX;
    case Symbology::Interleaved2of5:
        return BARCODE_C25INTER;
    case Symbology::QrCode:
        return BARCODE_QRCODE;
    case Symbology::DataMatrix:
        return BARCODE_DATAMATRIX;
    case Symbology::Pdf417:
        return BARCODE_PDF417;
    case Symbology::Aztec:
        break;
    }
    return BARCODE_AZTEC;
}

bool allDigits(const QString& value)
{
    return std::all_of(value.begin(), value.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// What the encoder would change rather than refuse (letters made capitals, a digit added in
// front, a short number taken for an add-on), so that the code would scan as another value.
QString refusedValue(Symbology symbology, const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("the value is empty");
    const QString name = symbologyInfo(symbology).name;
    switch (symbology) {
    case Symbology::Ean13:
        if (!allDigits(value) || (value.size() != 12 && value.size() != 13))
            return QStringLiteral("%1 holds 12 digits (13 with the check digit), not \"%2\"")
                .arg(name, value);
        break;
    case Symbology::Interleaved2of5:
        if (!allDigits(value) || value.size() % 2 != 0)
            return QStringLiteral("%1 holds an even number of digits, not \"%2\"").arg(name, value);
        break;
    case Symbology::Code39: {
        static const QRegularExpression allowed(QStringLiteral("^[0-9A-Z \\-.$/+%]+$"));
        if (!allowed.match(value).hasMatch())
            return QStringLiteral("%1 holds capital letters, digits, spaces and - . $ / + %, not "
                                  "\"%2\"")
                .arg(name, value);
        break;
    }
    default:
        break;
    }
    return {};
}

struct ZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

// "Error 284: Invalid character in data" -> "invalid character in data"
QString encoderWords(const char* errtxt)
{
    QString text = QString::fromUtf8(errtxt);
    if (const qsizetype colon = text.indexOf(QLatin1String(": ")); colon >= 0)
        text = text.mid(colon + 2);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

bool isLinear(Symbology symbology)
{
    return !symbologyInfo(symbology).twoDimensional;
}

// What the designer shows for a field not yet filled: a value of the symbology's kind.
QString sampleValue(const Barcode& barcode, const QString& caption)
{
    switch (barcode.symbology) {
    case Symbology::Ean13:
        return QStringLiteral("401234567890");
    case Symbology::Interleaved2of5:
        return QStringLiteral("12345678");
    case Symbology::Code39:
    case Symbology::Code128:
        // Short, as keys are: a long stand-in would claim that a frame sized for the real values
        // cannot hold the code.
        return QStringLiteral("123456");
    default:
        return caption;
    }
}

void drawProblem(QPainter& painter, const QRectF& box, const QString& why)
{
    painter.setPen(QPen(QColor(0xc0, 0, 0), 15, Qt::DashLine));
    painter.setBrush(QColor(0xff, 0xf0, 0xf0));
    painter.drawRect(box.adjusted(7.5, 7.5, -7.5, -7.5));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(std::clamp(box.height() / 4, 60.0, 140.0)));
    font.setHintingPreference(QFont::PreferNoHinting);
    painter.setFont(font);
    painter.drawText(box.adjusted(30, 15, -30, -15),
                     Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("No barcode: ") + why);
}

void drawSymbol(QPainter& painter, const PlacedBarcode& placed, const QColor& ink,
                const QColor& ground, const Field& field)
{
    const BarcodeSymbol& symbol = placed.symbol;
    const double m = placed.module;
    const QPointF origin = placed.rect.topLeft();
    const bool linear = placed.barsHeight > 0;
    // Linear codes: the bars stretch to the height found for them, what lies below moves down.
    const double stretch = linear ? placed.barsHeight / (symbol.barsBottom * m) : 1;
    auto y = [&](double modules) {
        return origin.y() + (modules <= symbol.barsBottom
                                 ? modules * m * stretch
                                 : symbol.barsBottom * m * stretch + (modules - symbol.barsBottom) * m);
    };
    auto x = [&](double modules) { return origin.x() + modules * m; };

    painter.fillRect(placed.rect, ground);
    // Whole bars without smoothing: a scanner wants edges, not grey.
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath bars;
    bars.setFillRule(Qt::WindingFill); // the encoder's rectangles may overlap
    for (const QRectF& bar : symbol.bars)
        bars.addRect(QRectF(QPointF(x(bar.left()), y(bar.top())),
                            QPointF(x(bar.right()), y(bar.bottom()))));
    painter.fillPath(bars, ink);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const BarcodeSymbol::Hexagon& hexagon : symbol.hexagons) {
        const double r = hexagon.diameter * m / 2;
        const QPointF c(x(hexagon.centre.x()), y(hexagon.centre.y()));
        QPolygonF corners;
        for (int i = 0; i < 6; ++i) {
            const double a = M_PI / 3 * i + M_PI / 6;
            corners << c + QPointF(r * std::cos(a), r * std::sin(a));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawPolygon(corners);
    }
    for (const BarcodeSymbol::Circle& circle : symbol.circles) {
        const QColor colour = circle.background ? ground : ink;
        const QPointF c(x(circle.centre.x()), y(circle.centre.y()));
        const double r = circle.diameter * m / 2;
        if (circle.width > 0) {
            painter.setPen(QPen(colour, circle.width * m));
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
        }
        painter.drawEllipse(c, r, r);
    }
    for (const BarcodeSymbol::Text& text : symbol.texts) {
        QFont font = textFont(field);
        font.setBold(false);
        font.setItalic(false);
        font.setUnderline(false);
        font.setPixelSize(std::max(1, int(std::lround(text.size * m))));
        // The text keeps within the width the encoder gave it.
        const double room = text.width * m;
        const double wide = QFontMetricsF(font).horizontalAdvance(text.text);
        if (room > 0 && wide > room)
            font.setPixelSize(std::max(1, int(font.pixelSize() * room / wide)));
        const double advance = QFontMetricsF(font).horizontalAdvance(text.text);
        const double left = x(text.baseline.x()) -
                            (text.align == 0 ? advance / 2 : text.align == 2 ? advance : 0);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(QPointF(left, y(text.baseline.y())), text.text);
    }
}

} // namespace

bool holdsFieldReference(const QString& caption)
{
    static const QRegularExpression reference(QStringLiteral("<[^<>]+>"));
    return reference.match(caption).hasMatch();
}

Result<BarcodeSymbol> encodeBarcode(const Barcode& barcode, const QString& value)
{
    if (const QString why = refusedValue(barcode.symbology, value); !why.isEmpty())
        return Status::failure(why);
    std::unique_ptr<zint_symbol, ZintDeleter> z(ZBarcode_Create());
    if (!z)
        return Status::failure(QStringLiteral("no memory for the barcode"));
    const bool linear = isLinear(barcode.symbology);
    z->symbology = zintSymbology(barcode.symbology);
    z->input_mode = UNICODE_MODE;
    z->scale = 0.5f; // one unit of the vector output is one module
    z->show_hrt = linear && barcode.humanReadable ? 1 : 0;
    z->output_options = barcode.quietZone ? BARCODE_QUIET_ZONES : BARCODE_NO_QUIET_ZONES;
    // Aztec has no quiet zone of its own, Data Matrix one module: readers like two.
    if (barcode.quietZone && (barcode.symbology == Symbology::Aztec ||
                              barcode.symbology == Symbology::DataMatrix)) {
        z->whitespace_width = 2;
        z->whitespace_height = 2;
    }
    if (barcode.errorCorrection > 0)
        z->option_1 = barcode.symbology == Symbology::Pdf417 ? barcode.errorCorrection - 1
                                                              : barcode.errorCorrection;
    const QByteArray utf8 = value.toUtf8();
    const int result = ZBarcode_Encode_and_Buffer_Vector(
        z.get(), reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()), 0);
    if (result >= ZINT_ERROR || !z->vector)
        return Status::failure(QStringLiteral("%1 cannot hold \"%2\": %3")
                                   .arg(symbologyInfo(barcode.symbology).name, value,
                                        encoderWords(z->errtxt)));
    BarcodeSymbol symbol;
    symbol.size = QSizeF(z->vector->width, z->vector->height);
    symbol.barsBottom = symbol.size.height();
    for (const zint_vector_rect* r = z->vector->rectangles; r; r = r->next) {
        symbol.bars << QRectF(r->x, r->y, r->width, r->height);
        if (linear)
            symbol.barsBottom = std::min<double>(symbol.barsBottom, r->y + r->height);
    }
    if (!linear)
        symbol.barsBottom = symbol.size.height();
    for (const zint_vector_hexagon* h = z->vector->hexagons; h; h = h->next)
        symbol.hexagons << BarcodeSymbol::Hexagon{QPointF(h->x, h->y), h->diameter};
    for (const zint_vector_circle* c = z->vector->circles; c; c = c->next)
        symbol.circles << BarcodeSymbol::Circle{QPointF(c->x, c->y), c->diameter, c->width,
                                                c->colour != 0};
    for (const zint_vector_string* s = z->vector->strings; s; s = s->next)
        symbol.texts << BarcodeSymbol::Text{
            QPointF(s->x, s->y), s->fsize, s->width, s->halign,
            QString::fromUtf8(reinterpret_cast<const char*>(s->text), s->length)};
    return symbol;
}

Result<PlacedBarcode> placeBarcode(const Field& field)
{
    Q_ASSERT(field.barcode);
    const Barcode& barcode = *field.barcode;
    Result<BarcodeSymbol> symbol = encodeBarcode(barcode, field.Caption);
    if (!symbol)
        return symbol.status();
    const QSizeF box = uprightSize(field.frame().size(), field.rotation);
    const QSizeF modules = symbol->size;
    const bool linear = isLinear(barcode.symbology);
    const double fitted = linear ? box.width() / modules.width()
                                 : std::min(box.width() / modules.width(),
                                            box.height() / modules.height());
    const double m = barcode.moduleTwips > 0 ? barcode.moduleTwips : fitted;
    const double smallest = std::max<double>(SmallestModuleTwips, barcode.moduleTwips);
    const QSizeF needed = modules * smallest;
    if (m < SmallestModuleTwips || m > fitted + ToleranceTwips / modules.width())
        return Status::failure(
            linear ? QStringLiteral("the code of \"%1\" needs a frame %2 wide at a module of %3; "
                                    "the frame is %4 wide")
                         .arg(field.Caption, mm(needed.width()), mm(smallest), mm(box.width()))
                   : QStringLiteral("the code of \"%1\" needs %2 x %3 at a module of %4; the "
                                    "frame is %5 x %6")
                         .arg(field.Caption, mm(needed.width()), mm(needed.height()),
                              mm(smallest), mm(box.width()), mm(box.height())));
    PlacedBarcode placed;
    placed.module = m;
    if (linear) {
        const double below = (modules.height() - symbol->barsBottom) * m;
        placed.barsHeight = box.height() - below;
        const double width = modules.width() * m;
        const double lowest = std::min(LowestBarsTwips, 0.15 * width);
        if (placed.barsHeight < lowest - ToleranceTwips)
            return Status::failure(QStringLiteral("the frame of \"%1\" is too low: its bars need "
                                                  "%2 and the text under them %3; the frame is %4")
                                       .arg(field.Caption, mm(lowest), mm(below), mm(box.height())));
        placed.rect = QRectF((box.width() - width) / 2, 0, width, box.height());
    } else {
        const QSizeF size = modules * m;
        placed.rect = QRectF(QPointF((box.width() - size.width()) / 2,
                                     (box.height() - size.height()) / 2),
                             size);
    }
    placed.symbol = std::move(*symbol);
    return placed;
}

QString barcodeProblem(const Field& field)
{
    if (!field.barcode)
        return {};
    if (holdsFieldReference(field.Caption))
        return QStringLiteral("the barcode's value %1 is not filled from a record")
            .arg(field.Caption);
    const Result<PlacedBarcode> placed = placeBarcode(field);
    return placed ? QString() : placed.error();
}

void drawBarcodeField(QPainter& painter, const Field& field, const RenderOptions& options)
{
    // A record without a value, or none linked: nothing to show, the check says why.
    if (options.mode == RenderMode::Output && field.Caption.isEmpty())
        return;
    Field shown = field;
    QString why;
    if (holdsFieldReference(field.Caption)) {
        if (options.mode == RenderMode::Designer)
            shown.Caption = sampleValue(*field.barcode, field.Caption);
        else
            why = barcodeProblem(field);
    }
    Result<PlacedBarcode> placed =
        why.isEmpty() ? placeBarcode(shown) : Result<PlacedBarcode>(Status::failure(why));
    const QSizeF upright = uprightSize(field.frame().size(), field.rotation);
    drawTurned(painter, field, upright, [&](const Field& box) {
        const QRectF frame = box.frame();
        painter.save();
        if (field.BackStyle == 1)
            painter.fillRect(frame, options.systemColors.color(field.BackColor));
        if (placed) {
            const QColor ground = field.BackStyle == 1
                                      ? options.systemColors.color(field.BackColor)
                                      : QColor(Qt::white);
            PlacedBarcode inFrame = *placed; // placed in a box at the origin
            inFrame.rect.translate(frame.topLeft());
            drawSymbol(painter, inFrame, options.systemColors.color(field.ForeColor), ground,
                       field);
        } else {
            drawProblem(painter, frame, placed.error());
        }
        painter.restore();
    });
}

} // namespace vm
