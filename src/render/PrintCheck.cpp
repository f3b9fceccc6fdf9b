#include "render/PrintCheck.h"

#include "common/FileNames.h"
#include "common/Units.h"
#include "records/FieldFormatting.h"
#include "render/BadgeRenderer.h"
#include "render/BarcodeDrawing.h"
#include "render/BarcodeReading.h"
#include "render/ElementRotation.h"
#include "render/SheetLayout.h"
#include "render/TextFitting.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

// Less than this is the measuring's own rounding, not an overflow.
constexpr double ToleranceTwips = 1;

QString mm(double twips)
{
    return QString::number(twipsToMm(twips), 'f', 1);
}

// "Photos/17.bmp" (the last name tried) -> "Photos/17.jpg, .jpeg or .bmp".
QString pictureNames(const QString& lastTried)
{
    const QFileInfo file(lastTried);
    const QString base = file.path() + QLatin1Char('/') + file.completeBaseName();
    return base + QStringLiteral(".jpg, .jpeg or .bmp");
}

// As the badge draws it: on one line, direction controls unable to reorder the problem's line.
QString quoted(const QString& value)
{
    constexpr int Longest = 40;
    const QString text = drawnText(value, true);
    const QString shown = text.size() > Longest ? text.left(Longest - 1) + QChar(0x2026) : text;
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

// Something a text must not run into: another text as shown, a picture or a logo. Shapes are
// backgrounds and may lie under text.
struct Obstacle {
    ElementRef element;
    QRectF rect;
    QString name;
};

QList<Obstacle> obstacles(const BadgeSide& layout, const BadgeSide& shown)
{
    QList<Obstacle> found;
    for (const auto& [index, text] : shown.Label1)
        if (text.Visible && !text.Caption.trimmed().isEmpty())
            found << Obstacle{{ElementKind::Comment, index},
                              drawnRect(text),
                              QStringLiteral("the text %1").arg(quoted(text.Caption))};
    for (const auto& [index, field] : shown.lblField)
        if (field.Visible && !field.Caption.trimmed().isEmpty())
            found << Obstacle{{ElementKind::Field, index},
                              drawnRect(field),
                              (field.barcode ? QStringLiteral("the barcode ") : QString()) +
                                  layout.lblField.at(index).Caption};
    for (const auto& [index, logo] : shown.Image1)
        if (logo.Visible)
            found << Obstacle{{ElementKind::Logo, index}, logo.frame(), QStringLiteral("a logo")};
    if (shown.imgPhoto.Visible)
        found << Obstacle{
            {ElementKind::Photo, 0}, shown.imgPhoto.frame(), QStringLiteral("the photograph")};
    if (shown.imgSign.Visible)
        found << Obstacle{
            {ElementKind::Sign, 0}, shown.imgSign.frame(), QStringLiteral("the signature")};
    return found;
}

// A value wider than a fixed frame is cut off; one that sizes itself must not reach what stands
// beside it on its line, nor the card's edge.
void checkField(QStringList& problems, ElementRef element, const Comment& shown,
                const QString& name, const QList<Obstacle>& around)
{
    // Measured in the field's upright box, where its line runs to the right however it is turned.
    const QRectF drawn(QPointF(),
                       QFontMetricsF(textFont(shown)).size(0, drawnText(shown.Caption, true)));
    if (!shown.AutoSize) {
        const double overflow =
            drawn.width() - uprightSize(shown.frame().size(), shown.rotation).width();
        if (overflow > ToleranceTwips)
            problems << QStringLiteral("%1 %2 is %3 mm wider than its field")
                            .arg(name, quoted(shown.Caption), mm(overflow));
        return;
    }
    const QTransform toUpright =
        turningTransform(QPointF(shown.Left, shown.Top), drawn.size(), shown.rotation).inverted();
    const Obstacle* nearest = nullptr;
    QRectF nearestRect;
    for (const Obstacle& o : around) {
        const QRectF rect = toUpright.mapRect(o.rect);
        // On the same line: lines set close share a little of their boxes, not half.
        const double shared =
            std::min(drawn.bottom(), rect.bottom()) - std::max(drawn.top(), rect.top());
        const bool beside = rect.left() >= drawn.left() - ToleranceTwips &&
                            shared > std::min(drawn.height(), rect.height()) / 2;
        if (o.element != element && beside && drawn.right() > rect.left() + ToleranceTwips &&
            (!nearest || rect.left() < nearestRect.left())) {
            nearest = &o;
            nearestRect = rect;
        }
    }
    if (nearest)
        problems << QStringLiteral("%1 %2 runs %3 mm into %4")
                        .arg(name, quoted(shown.Caption), mm(drawn.right() - nearestRect.left()),
                             nearest->name);
}

// A text fitted into its frame that still does not fit: the operator must see which words are lost.
void checkFitted(QStringList& problems, const Comment& shown, const QString& name, bool oneLine)
{
    const FittedText fitted =
        fitText(uprightBox(shown, uprightSize(shown.frame().size(), shown.rotation)),
                drawnText(shown.Caption, oneLine));
    if (fitted.ellipsised)
        problems << QStringLiteral("%1 %2 is shortened with \u2026 in its frame, even at %3 pt")
                        .arg(name, quoted(shown.Caption), QString::number(fitted.pointSize));
    else if (fitted.cut)
        problems << QStringLiteral("%1 %2 is cut off at its frame, even at %3 pt")
                        .arg(name, quoted(shown.Caption), QString::number(fitted.pointSize));
}

void checkInsideCard(QStringList& problems, const Comment& shown, const QRectF& drawn,
                     const QString& name, QSizeF card)
{
    const struct {
        double by;
        const char* edge;
    } past[] = {{drawn.right() - card.width(), "right"},
                {drawn.bottom() - card.height(), "bottom"},
                {-drawn.left(), "left"},
                {-drawn.top(), "top"}};
    for (const auto& p : past) {
        if (p.by > ToleranceTwips)
            problems << QStringLiteral("%1 %2 runs %3 mm past the card's %4 edge")
                            .arg(name, quoted(shown.Caption), mm(p.by), QLatin1String(p.edge));
    }
}

const char* kindOf(char32_t c)
{
    if (c == '\t')
        return "tab";
    if (isLineBreak(c))
        return "line break";
    if (isDirectionControl(c))
        return "direction";
    return QChar::category(c) == QChar::Other_Control ? "control" : "invisible";
}

// The badge draws such a value safely, but it is not what the operator sees elsewhere (a direction
// override shows "evil" as "live" in other programs) and usually a slip: a pasted second line.
void checkHiddenCharacters(QStringList& problems, const QString& value, const QString& name)
{
    const QList<char32_t> hidden = hiddenCharacters(value);
    if (hidden.isEmpty())
        return;
    QStringList named;
    for (const char32_t c : hidden)
        named << QStringLiteral("U+%1 (%2)")
                     .arg(QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'),
                          QLatin1String(kindOf(c)));
    problems << QStringLiteral("%1 %2 holds hidden characters: %3")
                    .arg(name, quoted(value), named.join(QStringLiteral(", ")));
}

} // namespace

QStringList layoutProblems(const BadgeSide& layout)
{
    QStringList problems;
    for (const auto& [index, logo] : layout.Image1) {
        if (logo.Visible && logo.Picture.isNull())
            problems << (logo.Tag.isEmpty() ? QStringLiteral("A logo has no picture file")
                         : QFileInfo::exists(resolveFileName(logo.Tag))
                             ? QStringLiteral("The logo file %1 cannot be read whole").arg(logo.Tag)
                             : QStringLiteral("The logo file %1 is missing").arg(logo.Tag));
    }
    return problems;
}

QStringList sideProblems(const BadgeSide& layout, const std::optional<LinkedRecord>& record,
                         QSizeF cardTwips)
{
    QStringList problems;
    if (record) {
        const struct {
            const PictureFrame& frame;
            const QImage& picture;
            const QString& path;
            const char* what;
        } pictures[] = {{layout.imgPhoto, record->photo, record->photoPath, "photograph"},
                        {layout.imgSign, record->sign, record->signPath, "signature"}};
        for (const auto& p : pictures) {
            // No path: the project places no pictures of this kind, so none is missing.
            if (p.frame.Visible && p.picture.isNull() && !p.path.isEmpty())
                problems << QStringLiteral("No %1: %2 is missing")
                                .arg(QLatin1String(p.what), pictureNames(p.path));
        }
    } else {
        for (const auto& [index, field] : layout.lblField) {
            if (field.Visible && !field.barcode && field.Caption.startsWith(QLatin1Char('<'))) {
                problems << QStringLiteral("No record is linked: its fields print their "
                                           "references, such as %1")
                                .arg(field.Caption);
                break;
            }
        }
    }

    const BadgeSide shown = record ? filledSide(layout, *record) : layout;
    const QList<Obstacle> around = obstacles(layout, shown);
    for (const auto& [index, field] : shown.lblField) {
        const QString& name = layout.lblField.at(index).Caption;
        // Even a value of nothing but a line break prints a mark.
        if (field.Visible && record)
            checkHiddenCharacters(problems, field.Caption, name);
        if (record && layout.lblField.at(index).Visible) {
            const QString why = conditionProblem(field.format.hideWhen, record->values);
            if (!why.isEmpty())
                problems << QStringLiteral("%1 is shown although %2").arg(name, why);
        }
        if (!field.Visible || field.Caption.trimmed().isEmpty() || field.barcode)
            continue; // barcodes: barcodeProblems
        if (field.fit.fitsFrame())
            checkFitted(problems, field, name, true);
        else
            checkField(problems, {ElementKind::Field, index}, field, name, around);
        checkInsideCard(problems, field, drawnRect(field), name, cardTwips);
    }
    for (const auto& [index, comment] : shown.Label1) {
        if (!comment.Visible || comment.Caption.trimmed().isEmpty())
            continue;
        if (comment.fit.fitsFrame())
            checkFitted(problems, comment, QStringLiteral("The text"), false);
        checkInsideCard(problems, comment, drawnRect(comment), QStringLiteral("The text"),
                        cardTwips);
    }
    return problems;
}

QString relinkProblem(const LinkResult& fresh, const LinkedRecord& kept)
{
    if (!fresh.record)
        return fresh.message.isEmpty()
                   ? QStringLiteral("The record %1 cannot be linked any more").arg(kept.key.text())
                   : fresh.message;
    if (fresh.record->values != kept.values)
        return QStringLiteral("The record %1 has changed since the badge was added; the badge "
                              "prints the values it had then")
            .arg(kept.key.text());
    return {};
}

QStringList barcodeProblems(const BadgeSide& layout, const std::optional<LinkedRecord>& record,
                            double dpi)
{
    QStringList problems;
    const BadgeSide shown = record ? filledSide(layout, *record) : layout;
    const RenderOptions options; // codes print black on white, whatever the system colours
    for (const auto& [index, field] : shown.lblField) {
        if (!field.Visible || !field.barcode)
            continue;
        const QString name =
            QStringLiteral("The barcode %1").arg(layout.lblField.at(index).Caption);
        if (const QString why = barcodeProblem(field); !why.isEmpty()) {
            problems << QStringLiteral("%1 cannot print: %2").arg(name, why);
            continue;
        }
        // The code alone, as the printer's dots lay it down, with a margin of white around.
        const double margin = 144;
        const QRectF area = field.frame().adjusted(-margin, -margin, margin, margin);
        QImage picture(int(std::ceil(twipsToPixels(area.width(), dpi))),
                       int(std::ceil(twipsToPixels(area.height(), dpi))),
                       QImage::Format_Grayscale8);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            setTwipsTransform(painter, dpi, dpi);
            painter.translate(-area.topLeft());
            drawBarcodeField(painter, field, options);
        }
        const QList<ReadCode> read = readBarcodes(picture);
        const Field& printed = field; // a lambda may not capture a structured binding (clang 14)
        const bool scans = std::any_of(read.begin(), read.end(), [&](const ReadCode& code) {
            return readsAs(code, printed.barcode->symbology, printed.Caption);
        });
        if (!scans)
            problems << QStringLiteral("%1 (\"%2\") will not scan at %3 dpi: make its frame or "
                                       "its module larger")
                            .arg(name, field.Caption)
                            .arg(qRound(dpi));
    }
    return problems;
}

} // namespace vm
