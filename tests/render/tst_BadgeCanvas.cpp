// Invariant: the canvas shows exactly what the renderer draws for its side at the screen's
// resolution and card size, with overlays on top and never in the side.
#include "render/BadgeCanvas.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QPainter>
#include <QTest>

using namespace vm;

class MarkedCanvas : public BadgeCanvas {
protected:
    void paintOverlay(QPainter& painter) override
    {
        painter.fillRect(QRectF(0, 0, 750, 750), Qt::green);
    }
};

class tst_BadgeCanvas : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsWhatTheRendererDraws();
};

void tst_BadgeCanvas::showsWhatTheRendererDraws()
{
    const BadgeLayout badge = test::allKindsBadge(QString());
    MarkedCanvas canvas;
    canvas.setSide(&badge.front);
    canvas.setRenderOptions({RenderMode::Designer});
    const QSizeF portrait = cardSizeTwips(Orientation::Portrait);
    canvas.setCardSize(portrait);

    QImage expected =
        renderSideImage(badge.front, portrait, canvas.logicalDpiX(), {RenderMode::Designer});
    QPainter(&expected).fillRect(QRectF(QPointF(), canvas.toPixels({750, 750})), Qt::green);
    QCOMPARE(canvas.size(), expected.size());
    QCOMPARE(canvas.grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    QCOMPARE(canvas.toTwips(canvas.toPixels({2400, 1500})), QPointF(2400, 1500));
}

QTEST_MAIN(tst_BadgeCanvas)
#include "tst_BadgeCanvas.moc"
