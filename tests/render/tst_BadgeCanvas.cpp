// Invariant: the canvas shows exactly what the renderer draws for its side at the screen's
// resolution, at card size, with overlays on top and never in the side.
#include "render/BadgeCanvas.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QPainter>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

class MarkedCanvas : public BadgeCanvas {
public:
    QRectF marker;

protected:
    void paintOverlay(QPainter& painter) override { painter.fillRect(marker, Qt::green); }
};

} // namespace

class tst_BadgeCanvas : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsWhatTheRendererDraws();
    void drawsOverlaysOnTop();
};

void tst_BadgeCanvas::showsWhatTheRendererDraws()
{
    BadgeLayout badge = allKindsBadge(QString());
    BadgeCanvas canvas;
    canvas.setSide(&badge.front);
    canvas.setRenderOptions({RenderMode::Designer});
    const QSizeF portrait = cardSizeTwips(Orientation::Portrait);
    canvas.setCardSize(portrait);

    const double dpi = canvas.logicalDpiX();
    const QImage expected = renderSideImage(badge.front, portrait, dpi, {RenderMode::Designer});
    QCOMPARE(canvas.size(), expected.size());
    QCOMPARE(canvas.grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    QCOMPARE(canvas.toTwips(canvas.toPixels(QPointF(2400, 1500))), QPointF(2400, 1500));

    canvas.setSide(nullptr);
    QImage white(expected.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    QCOMPARE(canvas.grab().toImage().convertToFormat(QImage::Format_RGB32), white);
}

void tst_BadgeCanvas::drawsOverlaysOnTop()
{
    BadgeSide side;
    addShape(side, 0, QRectF(0, 0, 1500, 1500), 0, 0, 1, 0x0000ff);
    MarkedCanvas canvas;
    canvas.setSide(&side);
    canvas.marker = QRectF(750, 750, 1500, 1500);

    const QImage shown = canvas.grab().toImage();
    QCOMPARE(shown.pixelColor(canvas.toPixels(QPointF(1000, 1000)).toPoint()), QColor(Qt::green));
    QCOMPARE(shown.pixelColor(canvas.toPixels(QPointF(300, 300)).toPoint()), QColor(Qt::red));
    QCOMPARE(side.myShape1.count(), 1);
}

QTEST_MAIN(tst_BadgeCanvas)
#include "tst_BadgeCanvas.moc"
