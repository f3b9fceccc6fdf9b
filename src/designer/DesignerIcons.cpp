#include "designer/DesignerIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vm {
namespace {

const QColor Ink(0x30, 0x38, 0x48);
const QColor Accent(0x1a, 0x5f, 0xb4);
const QColor Fill(0xd6, 0xe4, 0xf5);

void arrow(QPainter& p, bool forward)
{
    QPainterPath path;
    if (forward) {
        path.moveTo(5, 17);
        path.cubicTo(5, 9, 12, 7, 18, 9);
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(14, 5), QPointF(18.5, 9), QPointF(14, 13)}));
    } else {
        path.moveTo(19, 17);
        path.cubicTo(19, 9, 12, 7, 6, 9);
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(10, 5), QPointF(5.5, 9), QPointF(10, 13)}));
    }
}

void sheet(QPainter& p, QRectF r)
{
    p.setBrush(Qt::white);
    p.drawRect(r);
}

void magnifier(QPainter& p)
{
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(3.5, 3.5, 12, 12));
    p.drawLine(QPointF(14, 14), QPointF(20.5, 20.5));
}

void draw(QPainter& p, DesignerIcon icon)
{
    QPen pen(Ink, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    QFont font(QStringLiteral("DejaVu Sans"));
    switch (icon) {
    case DesignerIcon::Comment:
        font.setPixelSize(17);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("A"));
        p.setPen(QPen(Accent, 2));
        p.drawLine(QPointF(4, 21.5), QPointF(20, 21.5));
        break;
    case DesignerIcon::Shapes:
        p.setBrush(Fill);
        p.drawRect(QRectF(3, 3, 11, 9));
        p.drawEllipse(QRectF(9, 9, 12, 12));
        break;
    case DesignerIcon::Rectangle:
        p.setBrush(Fill);
        p.drawRect(QRectF(3, 6, 18, 12));
        break;
    case DesignerIcon::RoundedRectangle:
        p.setBrush(Fill);
        p.drawRoundedRect(QRectF(3, 6, 18, 12), 4, 4);
        break;
    case DesignerIcon::Oval:
        p.setBrush(Fill);
        p.drawEllipse(QRectF(3, 6, 18, 12));
        break;
    case DesignerIcon::Logo:
        p.setBrush(Fill);
        p.drawRect(QRectF(3, 4, 18, 16));
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF(
            {QPointF(5, 18), QPointF(10, 11), QPointF(14, 15), QPointF(16, 13), QPointF(19, 18)}));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(14, 6, 4, 4));
        break;
    case DesignerIcon::Photo:
        p.setBrush(Fill);
        p.drawRect(QRectF(4, 2.5, 16, 19));
        p.setBrush(Accent);
        p.drawEllipse(QRectF(9, 6, 6, 6));
        p.drawChord(QRectF(6.5, 13, 11, 12), 0, 180 * 16);
        break;
    case DesignerIcon::Signature: {
        QPainterPath path;
        path.moveTo(3, 16);
        path.cubicTo(6, 6, 8, 6, 8, 14);
        path.cubicTo(8, 18, 12, 8, 14, 13);
        path.cubicTo(15, 16, 17, 12, 21, 12);
        p.setPen(QPen(Accent, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(pen);
        p.drawLine(QPointF(3, 20), QPointF(21, 20));
        break;
    }
    case DesignerIcon::Save:
        p.setBrush(Fill);
        p.drawRoundedRect(QRectF(3.5, 3.5, 17, 17), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3.5, 10, 6));
        p.setBrush(Accent);
        p.drawRect(QRectF(7, 13, 10, 7.5));
        break;
    case DesignerIcon::Close:
        p.setPen(QPen(Ink, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 6), QPointF(18, 18));
        p.drawLine(QPointF(18, 6), QPointF(6, 18));
        break;
    case DesignerIcon::Undo:
        p.setPen(QPen(Accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        arrow(p, false);
        break;
    case DesignerIcon::Redo:
        p.setPen(QPen(Accent, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        arrow(p, true);
        break;
    case DesignerIcon::Copy:
        sheet(p, QRectF(3.5, 3.5, 11, 13));
        sheet(p, QRectF(9.5, 7.5, 11, 13));
        break;
    case DesignerIcon::Paste:
        p.setBrush(Fill);
        p.drawRoundedRect(QRectF(4, 4, 16, 17), 2, 2);
        sheet(p, QRectF(8, 9, 9, 10));
        p.setBrush(Accent);
        p.drawRect(QRectF(8.5, 2.5, 7, 3.5));
        break;
    case DesignerIcon::Duplicate:
        sheet(p, QRectF(3.5, 3.5, 11, 11));
        sheet(p, QRectF(9.5, 9.5, 11, 11));
        p.setPen(QPen(Accent, 2));
        p.drawLine(QPointF(15, 12.5), QPointF(15, 17.5));
        p.drawLine(QPointF(12.5, 15), QPointF(17.5, 15));
        break;
    case DesignerIcon::Delete:
        p.setBrush(Fill);
        p.drawRect(QRectF(6, 7, 12, 14));
        p.drawLine(QPointF(4, 6), QPointF(20, 6));
        p.drawLine(QPointF(10, 3.5), QPointF(14, 3.5));
        p.drawLine(QPointF(10, 10), QPointF(10, 18));
        p.drawLine(QPointF(14, 10), QPointF(14, 18));
        break;
    case DesignerIcon::ZoomIn:
        magnifier(p);
        p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
        break;
    case DesignerIcon::ZoomOut:
        magnifier(p);
        p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
        break;
    case DesignerIcon::ZoomFit:
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(3, 3), QPointF(8, 3)}));
        p.drawPolyline(QPolygonF({QPointF(16, 3), QPointF(21, 3), QPointF(21, 8)}));
        p.drawPolyline(QPolygonF({QPointF(21, 16), QPointF(21, 21), QPointF(16, 21)}));
        p.drawPolyline(QPolygonF({QPointF(8, 21), QPointF(3, 21), QPointF(3, 16)}));
        p.setBrush(Fill);
        p.drawRect(QRectF(7, 8, 10, 8));
        break;
    case DesignerIcon::Snap:
        p.setPen(QPen(QColor(0xe0, 0x1b, 0x84), 1.4, Qt::DashLine));
        p.drawLine(QPointF(12, 2), QPointF(12, 22));
        p.setPen(pen);
        p.setBrush(Fill);
        p.drawRect(QRectF(4, 7, 8, 10));
        p.drawRect(QRectF(12, 9, 8, 6));
        break;
    case DesignerIcon::Grid:
        p.setPen(Qt::NoPen);
        p.setBrush(Ink);
        for (int y = 4; y <= 20; y += 4)
            for (int x = 4; x <= 20; x += 4)
                p.drawEllipse(QPointF(x, y), 1.1, 1.1);
        break;
    case DesignerIcon::Arrange: // three bars lined up on their left edge
        p.drawLine(QPointF(4, 3), QPointF(4, 21));
        p.setBrush(Fill);
        p.drawRect(QRectF(6, 4.5, 14, 4));
        p.drawRect(QRectF(6, 10, 8, 4));
        p.drawRect(QRectF(6, 15.5, 11, 4));
        break;
    case DesignerIcon::Barcode: // bars of several widths
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        for (const auto& [x, w] : {std::pair{3.0, 2.0}, {6.0, 1.0}, {8.5, 3.0}, {13.0, 1.0},
                                   {15.0, 2.0}, {18.5, 1.0}, {20.0, 1.5}})
            p.drawRect(QRectF(x, 4, w, 16));
        break;
    }
}

} // namespace

QIcon designerIcon(DesignerIcon icon)
{
    QIcon result;
    for (int size : {24, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 24.0, size / 24.0);
        draw(painter, icon);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace vm
