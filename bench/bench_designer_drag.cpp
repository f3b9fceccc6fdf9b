// Times one drag step in the designer: the pointer moves, the element follows (snapping, the
// undo step it merges into) and the canvas repaints what changed. A side of 60 elements (50
// texts, four logos, five shapes and the photograph) at 100 % and 400 %. Build in Release for
// figures worth quoting.
//   QT_QPA_PLATFORM=offscreen bench_designer_drag [STEPS]
#include "badge/BadgeDocument.h"
#include "designer/DesignerCanvas.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vm;

namespace {

BadgeLayout sixtyElements()
{
    BadgeLayout layout;
    BadgeSide& side = layout.front;
    for (int i = 0; i < 50; ++i) {
        Comment text = side.Label1.templateElement();
        text.Caption = i % 2 ? QStringLiteral("Comment number %1").arg(i)
                             : QStringLiteral("<Employee.Column%1>").arg(i);
        text.Left = float(200 + (i % 3) * 1500);
        text.Top = float(100 + (i / 3) * 170);
        text.FontSize = float(7 + i % 5);
        text.FontBold = i % 4 == 0;
        text.Visible = true;
        if (i % 2) {
            side.add(text);
        } else {
            Field field;
            static_cast<Comment&>(field) = text;
            side.add(field);
        }
    }
    for (int i = 0; i < 4; ++i) {
        Logo logo = side.Image1.templateElement();
        logo.Picture = QImage(400, 300, QImage::Format_RGB32);
        logo.Picture.fill(QColor::fromHsv(i * 80, 160, 200));
        logo.Left = float(300 + i * 1100);
        logo.Top = 2300;
        logo.Width = 900;
        logo.Height = 600;
        logo.Visible = true;
        side.add(logo);
    }
    for (int i = 0; i < 5; ++i) {
        Shape shape = side.myShape1.templateElement();
        shape.ShpType = qint16((i % 3) * 2);
        shape.Left = float(100 + i * 900);
        shape.Top = float(1500 + (i % 2) * 300);
        shape.Width = 800;
        shape.Height = 500;
        shape.BackStyle = 1;
        shape.BackColor = 0xe0f0ff;
        shape.Visible = true;
        side.add(shape);
    }
    side.imgPhoto.Visible = true;
    return layout;
}

void send(QWidget* canvas, QEvent::Type type, QPointF twips, Qt::KeyboardModifiers modifiers,
          const DesignerCanvas* on)
{
    const QPointF at = on->toPixels(twips);
    QMouseEvent event(type, at, canvas->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      modifiers);
    QApplication::sendEvent(canvas, &event);
}

// Median and 90th percentile of one drag step, in milliseconds.
std::pair<double, double> dragStep(double zoom, int steps)
{
    BadgeDocument document;
    document.reset(sixtyElements(), true);
    DesignerCanvas canvas(document);
    canvas.setZoom(zoom);
    canvas.show();
    while (!canvas.windowHandle() || !canvas.windowHandle()->isExposed())
        QApplication::processEvents();
    QApplication::processEvents();

    // A text in the middle of the card, dragged with Ctrl to and fro across the card.
    const ElementRef dragged{ElementKind::Comment, 13};
    const ElementGeometry* text = document.side(BadgeSideId::Front).geometry(dragged);
    const QPointF grab(text->Left + 20, text->Top + 20);
    send(&canvas, QEvent::MouseButtonPress, grab, Qt::ControlModifier, &canvas);
    std::vector<double> times;
    for (int i = 1; i <= steps; ++i) {
        const double phase = double(i % 200) / 200;
        const QPointF at(300 + 4000 * (phase < 0.5 ? phase * 2 : 2 - phase * 2),
                         300 + 2400 * phase);
        QElapsedTimer timer;
        timer.start();
        send(&canvas, QEvent::MouseMove, at, Qt::ControlModifier, &canvas);
        QApplication::processEvents(); // the repaint of what changed
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    send(&canvas, QEvent::MouseButtonRelease, grab, Qt::ControlModifier, &canvas);
    if (document.undoStack()->count() != 1)
        std::printf("  (the drag left %d undo steps instead of one)\n",
                    int(document.undoStack()->count()));
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10]};
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int steps = argc > 1 ? std::max(10, QString::fromLocal8Bit(argv[1]).toInt()) : 600;
    std::printf("Designer drag step, 60 elements, %d steps (model update and repaint)\n", steps);
    for (double zoom : {1.0, 4.0}) {
        const auto [median, p90] = dragStep(zoom, steps);
        std::printf("  zoom %3.0f %%: median %.2f ms, 90th percentile %.2f ms\n", zoom * 100,
                    median, p90);
    }
    return 0;
}
