// Invariant: a side is drawn the same at every resolution, in twips, in its stacking order,
// and only its visible elements are drawn; every drawing matches its reference picture.
//
// Reference pictures live in tests/render/golden/. After a deliberate change to the drawing,
// run this test with VELLUMARK_UPDATE_GOLDEN=1 to rewrite them, look at them, and commit them.
// Every run also writes what it drew to rendered/ in the test's working folder (the build
// folder under ctest), the all-kinds sides among them, and prints where.
#include "render/BadgeRenderer.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::BadgeSide)
Q_DECLARE_METATYPE(vm::RenderMode)

namespace {

constexpr double GoldenDpi = 144;
const QSizeF Card = cardSizeTwips(Orientation::Landscape);

QImage photoPicture()
{
    QImage image(300, 400, QImage::Format_RGB32);
    image.fill(QColor(0xb0, 0xd0, 0xf0));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x30, 0x50, 0x90));
    painter.drawEllipse(QRectF(40, 260, 220, 260));
    painter.setBrush(QColor(0xf0, 0xc8, 0xa0));
    painter.drawEllipse(QRectF(90, 80, 120, 160));
    return image;
}

QImage signaturePicture()
{
    QImage image(600, 150, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x10, 0x20, 0x80), 8));
    QPainterPath path(QPointF(20, 110));
    path.cubicTo(120, -40, 160, 180, 280, 70);
    path.cubicTo(380, -20, 420, 160, 580, 40);
    painter.drawPath(path);
    return image;
}

QImage logoPicture()
{
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(QColor(0xff, 0xd0, 0x40));
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, 100, 50), QColor(0xc0, 0x20, 0x20));
    painter.fillRect(QRect(100, 50, 100, 50), QColor(0x20, 0x60, 0xc0));
    return image;
}

Comment styled(const BadgeSide& side, float left, float top, const QString& caption)
{
    Comment text = textAt(side.Label1.templateElement(), left, top, caption);
    return text;
}

BadgeSide textStyles()
{
    BadgeSide side;
    const char* captions[] = {"Regular 10", "Bold", "Italic", "Underline", "Bold italic underline"};
    for (int i = 0; i < 5; ++i) {
        Comment text = styled(side, 200, float(200 + 400 * i), QLatin1String(captions[i]));
        text.FontBold = i == 1 || i == 4;
        text.FontItalic = i == 2 || i == 4;
        text.FontUnderline = i == 3 || i == 4;
        addComment(side, text);
    }
    Comment large = styled(side, 2600, 200, QStringLiteral("Large 20"));
    large.FontSize = 20;
    large.ForeColor = 0x0000c0;
    addComment(side, large);
    Comment small = styled(side, 2600, 900, QStringLiteral("Small 8.25, colour"));
    small.FontSize = 8.25f;
    small.ForeColor = 0x008000;
    addComment(side, small);
    addField(side, styled(side, 2600, 1300, QStringLiteral("<Employee.FirstName>")),
             QStringLiteral("Employee.FirstName"));
    Comment twoLines = styled(side, 2600, 1800, QStringLiteral("Two\nlines"));
    twoLines.FontName = QStringLiteral("DejaVu Serif");
    addComment(side, twoLines);
    return side;
}

BadgeSide labels()
{
    BadgeSide side;
    addShape(side, 0, QRectF(1400, 300, 2000, 2400), 0, 0, 1, 0x404040);
    Comment transparent = styled(side, 200, 600, QStringLiteral("Transparent label over grey"));
    transparent.ForeColor = 0x00c0ff;
    addComment(side, transparent);
    Comment opaque = styled(side, 200, 1200, QStringLiteral("Opaque label over grey"));
    opaque.BackStyle = 1;
    opaque.BackColor = 0xc0ffff;
    addComment(side, opaque);
    Comment fixed = styled(side, 200, 1800, QStringLiteral("A fixed frame cuts this text off"));
    fixed.AutoSize = false;
    fixed.Width = 2200;
    fixed.Height = 400;
    fixed.BackStyle = 1;
    fixed.BackColor = 0xffe0c0;
    fixed.BorderStyle = 1;
    addComment(side, fixed);
    Comment system = styled(side, 200, 2400, QStringLiteral("Button-face background"));
    system.BackStyle = 1;
    system.BackColor = qint32(0x8000000F);
    addComment(side, system);
    side.sendToBack({ElementKind::Shape, 1});
    return side;
}

BadgeSide shapes()
{
    BadgeSide side;
    for (int filled = 0; filled < 2; ++filled) {
        const double top = 200 + filled * 1450;
        addShape(side, 0, QRectF(200, top, 1300, 1200), 1, 0x000000, qint16(filled), 0x4080ff);
        addShape(side, 2, QRectF(1750, top, 1300, 1200), 3, 0xc00000, qint16(filled), 0x40c040);
        addShape(side, 4, QRectF(3300, top, 1300, 1200), 6, 0x008080, qint16(filled), 0xc0c0ff);
    }
    return side;
}

BadgeSide pictures(const QString& logoPath)
{
    BadgeSide side;
    addLogo(side, logoPath, QRectF(1600, 200, 1400, 1400));
    side.Image1.at(1).Picture = logoPicture();
    side.imgPhoto.Visible = true;
    side.imgPhoto.Width = 1300; // wider than the picture: bars left and right
    side.imgPhoto.Picture = photoPicture();
    side.imgSign.Visible = true;
    side.imgSign.Left = 1600;
    side.imgSign.Top = 1800;
    side.imgSign.Width = 3000;
    side.imgSign.Height = 1000;
    side.imgSign.Picture = signaturePicture();
    return side;
}

BadgeSide placeholders()
{
    BadgeSide side;
    addLogo(side, QStringLiteral("/nowhere/logo.png"), QRectF(1600, 200, 1400, 1000));
    side.imgPhoto.Visible = true;
    side.imgSign.Visible = true;
    return side;
}

BadgeSide withPictures(BadgeSide side, const QImage& logo)
{
    for (auto& [index, element] : side.Image1)
        element.Picture = logo;
    side.imgPhoto.Picture = photoPicture();
    side.imgSign.Picture = signaturePicture();
    return side;
}

QString renderedFolder()
{
    const QString folder = QDir::current().filePath(QStringLiteral("rendered"));
    QDir().mkpath(folder);
    return folder;
}

// Pixels whose colour differs clearly; font rasterisation moves a few edge pixels only.
int differentPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d = std::max({std::abs(qRed(rowA[x]) - qRed(rowB[x])),
                                    std::abs(qGreen(rowA[x]) - qGreen(rowB[x])),
                                    std::abs(qBlue(rowA[x]) - qBlue(rowB[x]))});
            count += d > 64;
        }
    }
    return count;
}

// The box of non-white pixels inside a region given in twips, returned in twips.
QRectF inkBox(const QImage& image, double dpi, const QRectF& regionTwips)
{
    const QRect region =
        QRectF(twipsToPixels(regionTwips.x(), dpi), twipsToPixels(regionTwips.y(), dpi),
               twipsToPixels(regionTwips.width(), dpi), twipsToPixels(regionTwips.height(), dpi))
            .toAlignedRect()
            .intersected(image.rect());
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)}) < 160) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return {};
    return QRectF(pixelsToTwips(left, dpi), pixelsToTwips(top, dpi),
                  pixelsToTwips(right + 1 - left, dpi), pixelsToTwips(bottom + 1 - top, dpi));
}

} // namespace

class tst_BadgeRenderer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void matchesTheReferencePictures_data();
    void matchesTheReferencePictures();
    void sameGeometryAt96And600Dpi();
    void drawsNothingForHiddenOrEmptyElements_data();
    void drawsNothingForHiddenOrEmptyElements();
    void stackingDecidesWhatIsOnTop();
    void picksWhatIsDrawn();

private:
    QTemporaryDir m_dir;
    QString m_logoPath;
};

void tst_BadgeRenderer::initTestCase()
{
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")))
        QFAIL("The font DejaVu Sans (Debian package fonts-dejavu-core) is not installed; "
              "without it text is drawn in another font or not at all.");
    m_logoPath = m_dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(logoPicture().save(m_logoPath));
}

void tst_BadgeRenderer::matchesTheReferencePictures_data()
{
    QTest::addColumn<BadgeSide>("side");
    QTest::addColumn<RenderMode>("mode");
    QTest::newRow("text-styles") << textStyles() << RenderMode::Output;
    QTest::newRow("labels") << labels() << RenderMode::Output;
    QTest::newRow("shapes") << shapes() << RenderMode::Output;
    QTest::newRow("pictures") << pictures(m_logoPath) << RenderMode::Output;
    QTest::newRow("placeholders") << placeholders() << RenderMode::Designer;
    const BadgeLayout badge = allKindsBadge(m_logoPath);
    QTest::newRow("all-kinds-front")
        << withPictures(badge.front, logoPicture()) << RenderMode::Output;
    QTest::newRow("all-kinds-back")
        << withPictures(badge.back, logoPicture()) << RenderMode::Output;
}

void tst_BadgeRenderer::matchesTheReferencePictures()
{
    QFETCH(BadgeSide, side);
    QFETCH(RenderMode, mode);
    const QString name = QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".png");
    const QImage image = renderSideImage(side, Card, GoldenDpi, {mode});
    const QString rendered = QDir(renderedFolder()).filePath(name);
    QVERIFY(image.save(rendered));
    qInfo("drawn: %s", qPrintable(rendered));

    const QString golden = QStringLiteral(VELLUMARK_TESTS_DIR "/render/golden/") + name;
    if (qEnvironmentVariableIsSet("VELLUMARK_UPDATE_GOLDEN")) {
        QVERIFY(image.save(golden));
        qInfo("reference rewritten: %s", qPrintable(golden));
    }
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
    QVERIFY2(!expected.isNull(), qPrintable(QStringLiteral("no reference picture ") + golden));
    QCOMPARE(image.size(), expected.size());
    const int tolerated = image.width() * image.height() / 200;
    const int different = differentPixels(image, expected);
    QVERIFY2(different <= tolerated,
             qPrintable(QStringLiteral("%1 pixels differ from %2; compare with %3")
                            .arg(different)
                            .arg(golden, rendered)));
}

void tst_BadgeRenderer::sameGeometryAt96And600Dpi()
{
    BadgeSide side;
    Comment text = styled(side, 300, 300, QStringLiteral("Geometry 12 pt"));
    text.FontSize = 12;
    addComment(side, text);
    Comment bold = styled(side, 300, 1000, QStringLiteral("Bold 8.25 pt, wider text"));
    bold.FontSize = 8.25f;
    bold.FontBold = true;
    addComment(side, bold);
    addShape(side, 2, QRectF(3000, 300, 1440, 720), 2, 0, 1, 0x808080);
    addShape(side, 4, QRectF(3000, 1500, 1000, 1200), 1, 0, 0, 0);
    side.imgPhoto.Visible = true;
    side.imgPhoto.Top = 1500;
    side.imgPhoto.Picture = photoPicture();

    const QImage low = renderSideImage(side, Card, 96, {});
    const QImage high = renderSideImage(side, Card, 600, {});
    for (const ElementRef& element : side.stackingOrder()) {
        if (!side.geometry(element)->Visible)
            continue;
        const QRectF drawn = drawnRect(side, element);
        const QRectF region = drawn.adjusted(-100, -100, 100, 100);
        const QRectF atLow = inkBox(low, 96, region);
        const QRectF atHigh = inkBox(high, 600, region);
        QVERIFY(!atHigh.isEmpty());
        // Within one screen pixel of each other, and inside what drawnRect reports.
        for (double d : {atLow.left() - atHigh.left(), atLow.top() - atHigh.top(),
                         atLow.right() - atHigh.right(), atLow.bottom() - atHigh.bottom()})
            QVERIFY2(std::abs(d) <= 15, qPrintable(QString::number(d)));
        QVERIFY(drawn.adjusted(-5, -5, 5, 5).contains(atHigh));
    }
}

void tst_BadgeRenderer::drawsNothingForHiddenOrEmptyElements_data()
{
    QTest::addColumn<BadgeSide>("side");
    QTest::addColumn<RenderMode>("mode");
    BadgeSide hidden;
    addComment(hidden, styled(hidden, 100, 100, QStringLiteral("hidden")));
    addShape(hidden, 0, QRectF(100, 500, 1000, 1000), 3, 0, 1, 0);
    addLogo(hidden, QString(), QRectF(2000, 100, 1000, 1000));
    hidden.Label1.at(1).Visible = hidden.myShape1.at(1).Visible = hidden.Image1.at(1).Visible =
        false;
    hidden.imgPhoto.Picture = photoPicture();
    QTest::newRow("hidden elements, designer") << hidden << RenderMode::Designer;

    BadgeSide cleared;
    cleared.imgPhoto.Visible = cleared.imgSign.Visible = true;
    cleared.imgPhoto.ShowPlaceholder = cleared.imgSign.ShowPlaceholder = false;
    addLogo(cleared, QStringLiteral("/nowhere.png"), QRectF(2000, 100, 1000, 1000));
    QTest::newRow("cleared frames and a missing logo, output") << cleared << RenderMode::Output;

    BadgeSide damaged;
    addShape(damaged, 0, QRectF(100, 100, 0, 800), 2, 0, 1, 0);
    addShape(damaged, 2, QRectF(100, 100, -500, 800), 2, 0, 1, 0);
    addShape(damaged, 4, QRectF(3e30, 100, 500, 800), 2, 0, 1, 0);
    Comment huge = styled(damaged, -1e20f, 0, QStringLiteral("far away"));
    huge.FontSize = 1e30f;
    addComment(damaged, huge);
    QTest::newRow("empty and absurd geometry") << damaged << RenderMode::Designer;
}

void tst_BadgeRenderer::drawsNothingForHiddenOrEmptyElements()
{
    QFETCH(BadgeSide, side);
    QFETCH(RenderMode, mode);
    const QImage image = renderSideImage(side, Card, 96, {mode});
    QImage white(image.size(), image.format());
    white.fill(Qt::white);
    QCOMPARE(image, white);
}

void tst_BadgeRenderer::stackingDecidesWhatIsOnTop()
{
    BadgeSide side;
    addShape(side, 0, QRectF(0, 0, 1440, 1440), 0, 0, 1, 0x0000ff);
    addShape(side, 0, QRectF(720, 720, 1440, 1440), 0, 0, 1, 0xff0000);
    const QPoint overlap(72, 72); // 1080 twips at 96 DPI
    QCOMPARE(renderSideImage(side, Card, 96, {}).pixelColor(overlap), QColor(Qt::blue));
    side.bringToFront({ElementKind::Shape, 1});
    QCOMPARE(renderSideImage(side, Card, 96, {}).pixelColor(overlap), QColor(Qt::red));
}

void tst_BadgeRenderer::picksWhatIsDrawn()
{
    BadgeSide side;
    addShape(side, 0, QRectF(0, 0, 4000, 1000), 1, 0, 0, 0);
    Comment text = styled(side, 100, 100, QStringLiteral("Short"));
    text.Width = 3000; // stale: the text is drawn, and picked, at its own size
    addComment(side, text);
    side.bringToFront({ElementKind::Comment, 1});
    const QRectF drawn = drawnRect(side, {ElementKind::Comment, 1});
    QVERIFY(drawn.width() > 200 && drawn.width() < 1500);
    QCOMPARE(elementAt(side, drawn.center()), (ElementRef{ElementKind::Comment, 1}));
    QCOMPARE(elementAt(side, QPointF(2500, 150)), (ElementRef{ElementKind::Shape, 1}));
    QCOMPARE(elementAt(side, QPointF(4500, 150)), std::nullopt);
    side.imgPhoto.Visible = false;
    QCOMPARE(elementAt(side, side.imgPhoto.frame().bottomRight() - QPointF(1, 1)), std::nullopt);
}

QTEST_MAIN(tst_BadgeRenderer)
#include "tst_BadgeRenderer.moc"
