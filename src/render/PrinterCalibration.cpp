#include "render/PrinterCalibration.h"

#include <QFont>
#include <QPainter>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

// Printer names may hold the slashes QSettings splits groups at.
QString offsetKey(const QString& printerName, const char* axis)
{
    return QStringLiteral("PrinterOffsets/") +
           QString::fromLatin1(QUrl::toPercentEncoding(printerName)) + QLatin1Char('/') +
           QLatin1String(axis);
}

double clampOffset(double mm)
{
    if (!std::isfinite(mm))
        return 0;
    return std::clamp(mm, -LargestPrinterOffsetMm, LargestPrinterOffsetMm);
}

constexpr double Hairline = 5; // twips: a quarter point

QFont sheetFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(std::lround(points * TwipsPerPoint)));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double tickLength(int mm)
{
    if (mm == 0)
        return mmToTwips(3.5);
    return mmToTwips(mm % 5 == 0 ? 2.5 : 1.5);
}

// A scale across one edge. `at` is where the edge crosses the scale; `along` points to where
// the numbers grow (right or down), `across` to where the ticks stand.
void drawScale(QPainter& painter, QPointF at, QPointF along, QPointF across)
{
    const double step = mmToTwips(1);
    painter.drawLine(at - along * (ScaleReachMm * step), at + along * (ScaleReachMm * step));
    const double labelBox = mmToTwips(2);
    for (int mm = -ScaleReachMm; mm <= ScaleReachMm; ++mm) {
        const QPointF base = at + along * (mm * step);
        const QPointF tip = base + across * tickLength(mm);
        painter.drawLine(base, tip);
        if (mm % 2 != 0)
            continue;
        const QPointF centre = tip + across * (labelBox * 0.6);
        QRectF box(0, 0, labelBox, labelBox);
        box.moveCenter(centre);
        painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, QString::number(mm));
    }
}

} // namespace

QPointF printerOffsetMm(const QSettings& settings, const QString& printerName)
{
    return {clampOffset(settings.value(offsetKey(printerName, "x"), 0.0).toDouble()),
            clampOffset(settings.value(offsetKey(printerName, "y"), 0.0).toDouble())};
}

void setPrinterOffsetMm(QSettings& settings, const QString& printerName, QPointF offsetMm)
{
    settings.setValue(offsetKey(printerName, "x"), clampOffset(offsetMm.x()));
    settings.setValue(offsetKey(printerName, "y"), clampOffset(offsetMm.y()));
}

void paintCalibrationSheet(QPainter& painter, const SheetLayout& layout, const QString& printerName,
                           QPointF currentOffsetMm)
{
    if (layout.slotRects.isEmpty())
        return;
    const QRectF card = layout.slotRects.first();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, Hairline, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(card);

    painter.setFont(sheetFont(4));
    const QPointF right(1, 0), down(0, 1);
    drawScale(painter, {card.left(), card.center().y()}, right, -down);
    drawScale(painter, {card.right(), card.center().y()}, right, -down);
    drawScale(painter, {card.center().x(), card.top()}, down, right);
    drawScale(painter, {card.center().x(), card.bottom()}, down, right);

    const double inset = mmToTwips(9);
    const QRectF textBox = card.adjusted(inset, inset, -inset, -inset);
    const QString note =
        QStringLiteral("Printed without an offset. Where the real card's edge cuts a scale, read "
                       "the millimetres there: left and right give X, top and bottom give Y.\n"
                       "Offset now: X %1 mm, Y %2 mm")
            .arg(currentOffsetMm.x(), 0, 'f', 1)
            .arg(currentOffsetMm.y(), 0, 'f', 1);
    painter.setFont(sheetFont(7, true));
    const QString title = QStringLiteral("Printer calibration\n") + printerName;
    QRectF titleBox = painter.boundingRect(textBox, Qt::AlignHCenter | Qt::TextWordWrap, title);
    titleBox.moveTop(textBox.top());
    painter.drawText(titleBox, Qt::AlignHCenter | Qt::TextWordWrap, title);
    painter.setFont(sheetFont(5));
    painter.drawText(textBox.adjusted(0, titleBox.height() + mmToTwips(1.5), 0, 0),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, note);
    painter.restore();
}

} // namespace vm
