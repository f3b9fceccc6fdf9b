// Invariant: a side is drawn the same at every resolution, in twips, in its stacking order
// (shapes below everything else), only its visible elements, nothing outside its card, on any
// thread; a record's value stays on its field's line and reads in the order it is stored; every
// drawing matches its reference picture closely enough that a lost style, size, letter or shade
// shows.
//
// Reference pictures live in tests/render/golden/. After a deliberate change to the drawing,
// run this test with VELLUMARK_UPDATE_GOLDEN=1 to rewrite them, look at them, and commit them.
// Every run writes what it drew, the all-kinds sides among them, to rendered/ in the test's
// working folder (build/tests/render under ctest) and prints where.
#include "render/BadgeRenderer.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QTest>

#include <functional>
#include <future>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::BadgeSide)
Q_DECLARE_METATYPE(vm::RenderMode)

namespace {

const QSizeF Card = cardSizeTwips(Orientation::Landscape);

// Two colours split across the middle, which shows how a picture was scaled.
QImage picture(QSize size, QColor top, QColor bottom)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(top);
    QPainter(&image).fillRect(QRect(0, size.height() / 2, size.width(), size.height()), bottom);
    return image;
}

BadgeSide textAndLabels()
{
    BadgeSide side;
    addShape(side, 0, QRectF(1400, 1300, 3300, 1700), 0, 0, 1, 0x404040);
    side.sendToBack({ElementKind::Shape, 1});
    const char* styles[] = {"Regular", "Bold", "Italic", "Underline", "Bold italic underline"};
    for (int i = 0; i < 5; ++i) {
        Comment& text = addComment(side, {100, 100 + 240.0 * i}, QLatin1String(styles[i]));
        text.FontBold = i == 1 || i == 4;
        text.FontItalic = i == 2 || i == 4;
        text.FontUnderline = i >= 3;
    }
    Comment& large = addComment(side, {2600, 100}, QStringLiteral("Large 20"));
    large.FontSize = 20;
    large.ForeColor = 0x0000c0;
    addComment(side, {2600, 700}, QStringLiteral("Small 8.25")).FontSize = 8.25f;
    addField(side, {2600, 950}, QStringLiteral("Employee.FirstName"));
    addComment(side, {100, 1500}, QStringLiteral("Transparent over grey")).ForeColor = 0x00c0ff;
    Comment& opaque = addComment(side, {100, 1850}, QStringLiteral("Opaque over grey"));
    opaque.BackStyle = 1;
    opaque.BackColor = 0xc0ffff;
    Comment& fixed = addComment(side, {100, 2200}, QStringLiteral("A fixed frame cuts this off"));
    fixed.AutoSize = false;
    fixed.Width = 2200;
    fixed.BackStyle = fixed.BorderStyle = 1;
    fixed.BackColor = 0xffe0c0;
    Comment& system =
        addComment(side, {100, 2600}, QStringLiteral("Button face\nbehind two lines"));
    system.BackStyle = 1;
    system.BackColor = qint32(0x8000000F);
    return side;
}

BadgeSide shapes()
{
    BadgeSide side;
    for (qint16 filled = 0; filled < 2; ++filled) {
        const double top = 200 + filled * 1450;
        addShape(side, 0, QRectF(200, top, 1300, 1200), 1, 0x000000, filled, 0x4080ff);
        addShape(side, 2, QRectF(1750, top, 1300, 1200), 3, 0xc00000, filled, 0x40c040);
        addShape(side, 4, QRectF(3300, top, 1300, 1200), 6, 0x008080, filled, 0xc0c0ff);
    }
    return side;
}

// A soft-edged disc on a transparent ground, as a logo with alpha comes from a PNG file.
QImage emblem()
{
    QImage image(160, 160, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 190, 40));
    p.drawEllipse(QRectF(8, 8, 144, 144));
    p.setBrush(QColor(0, 92, 150));
    p.drawEllipse(QRectF(56, 56, 48, 48));
    return image;
}

// What a designer draws: a filled band with a logo and a name on it, a photograph on a framed
// backdrop, a footer band under a field. The shapes come last in file order and are still drawn
// below everything else.
BadgeSide bandsBehindLogoAndText()
{
    BadgeSide side;
    addLogo(side, QStringLiteral("emblem.png"), QRectF(120, 90, 600, 600)).Picture = emblem();
    Comment& name = addComment(side, {840, 200}, QStringLiteral("ON THE BAND"));
    name.FontSize = 16;
    name.FontBold = true;
    name.ForeColor = 0xffffff;
    place(side.imgPhoto, QRectF(300, 1000, 1200, 1600)).Picture =
        picture({300, 400}, Qt::yellow, Qt::darkGreen);
    addField(side, {1800, 1100}, QStringLiteral("Employee.FirstName")).FontSize = 14;
    Comment& footer = addComment(side, {1800, 2750}, QStringLiteral("Footer text"));
    footer.ForeColor = 0xffffff;
    addShape(side, 0, QRectF(0, 0, 4876, 780), 0, 0, 1, 0x965c00);             // header band
    addShape(side, 4, QRectF(200, 900, 1400, 1800), 2, 0x965c00, 1, 0xe0e0e0); // backdrop
    addShape(side, 0, QRectF(0, 2650, 4876, 440), 0, 0, 1, 0x145af0);          // footer band
    addShape(side, 2, QRectF(1700, 1000, 700, 600), 0, 0, 1, 0x40c040);        // under the field
    return side;
}

BadgeSide withPictures(BadgeSide side)
{
    for (auto& [index, logo] : side.Image1)
        logo.Picture = picture({200, 100}, Qt::red, Qt::blue); // stretched to its frame
    side.imgPhoto.Picture = picture({300, 400}, Qt::yellow, Qt::darkGreen); // fitted, centred
    side.imgSign.Picture = picture({600, 150}, Qt::white, Qt::darkBlue);
    return side;
}

QImage drawn(const BadgeSide& side, RenderMode mode = RenderMode::Output)
{
    return renderSideImage(side, Card, 144, renderOptions(mode, Card));
}

// A record's value in a field that sizes itself to it.
Field valueField(const QString& value, float points = 10)
{
    BadgeSide side;
    Field field = addField(side, {300, 1000}, QStringLiteral("Employee.FirstName"));
    field.FontSize = points;
    field.Caption = value;
    return field;
}

QImage drawnValue(const QString& value, float points = 10)
{
    BadgeSide side;
    side.lblField.at(side.lblField.add()) = valueField(value, points);
    return drawn(side);
}

QRect toPixels(const QRectF& twips, double dpi = 144)
{
    const double scale = dpi / TwipsPerInch;
    return QRectF(twips.topLeft() * scale, twips.size() * scale).toAlignedRect();
}

// How far a drawing is from its reference: the pixels that differ by more than rounding, and the
// largest difference of any channel.
struct Difference {
    int pixels = 0;
    int largest = 0;
};

Difference difference(const QImage& image, const QImage& expected, const QRect& ignored = {})
{
    // GCC and clang (sanitised) builds draw the same pixels, a level off some references; the
    // margin is for Qt's blending code, which picks its SIMD path by the processor.
    constexpr int RoundingLevels = 4;
    Difference d;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ignored.contains(x, y))
                continue;
            const QRgb p = image.pixel(x, y), q = expected.pixel(x, y);
            const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q))});
            d.largest = std::max(d.largest, most);
            d.pixels += most > RoundingLevels;
        }
    }
    return d;
}

// A lost letter or underline changes dozens of pixels, a lost shade all of a text.
bool matches(const Difference& d)
{
    return d.pixels <= 8;
}

QImage reference(const QString& name)
{
    return QImage(QStringLiteral(VELLUMARK_TESTS_DIR "/render/golden/") + name)
        .convertToFormat(QImage::Format_RGB32);
}

// The box of dark pixels inside a region, both in twips.
QRectF inkBox(const QImage& image, double dpi, const QRectF& region)
{
    const double scale = dpi / TwipsPerInch;
    const QRect pixels = toPixels(region, dpi);
    QRect ink;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (image.rect().contains(x, y) && qGray(image.pixel(x, y)) < 160)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return QRectF(QPointF(ink.topLeft()) / scale, QSizeF(ink.size()) / scale);
}

} // namespace

class tst_BadgeRenderer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void matchesTheReferencePictures_data();
    void matchesTheReferencePictures();
    void referencesCatchSmallChanges_data();
    void referencesCatchSmallChanges();
    void valuesStayOnTheirLine_data();
    void valuesStayOnTheirLine();
    void directionControlsCannotReorderText_data();
    void directionControlsCannotReorderText();
    void rightToLeftScriptsReadFromTheRight_data();
    void rightToLeftScriptsReadFromTheRight();
    void sameGeometryAt96And600Dpi();
    void drawsNothingForHiddenOrAbsurdElements();
    void stackingAndPicking();
    void clipsToTheCard_data();
    void clipsToTheCard();
    void systemColoursComeFromTheOptionsOnAnyThread();
};

void tst_BadgeRenderer::initTestCase()
{
    if (!QFontDatabase::families().contains(QStringLiteral("DejaVu Sans")))
        QFAIL("The font DejaVu Sans (Debian package fonts-dejavu-core) is not installed; "
              "without it text is drawn in another font or not at all.");
}

void tst_BadgeRenderer::matchesTheReferencePictures_data()
{
    QTest::addColumn<BadgeSide>("side");
    QTest::addColumn<RenderMode>("mode");
    const BadgeLayout badge = allKindsBadge(QString());
    QTest::newRow("text-and-labels") << textAndLabels() << RenderMode::Output;
    QTest::newRow("shapes") << shapes() << RenderMode::Output;
    QTest::newRow("all-kinds-front") << withPictures(badge.front) << RenderMode::Output;
    // Without pictures: where the logo, photograph and signature will go.
    QTest::newRow("all-kinds-back-designer") << badge.back << RenderMode::Designer;
    QTest::newRow("bands-behind-logo-and-text") << bandsBehindLogoAndText() << RenderMode::Output;
}

void tst_BadgeRenderer::matchesTheReferencePictures()
{
    QFETCH(BadgeSide, side);
    QFETCH(RenderMode, mode);
    const QString name = QLatin1String(QTest::currentDataTag()) + QStringLiteral(".png");
    const QImage image = drawn(side, mode);
    QDir().mkpath(QStringLiteral("rendered"));
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("rendered/") + name);
    QVERIFY(image.save(path));
    qInfo("drawn: %s", qPrintable(path));

    if (qEnvironmentVariableIsSet("VELLUMARK_UPDATE_GOLDEN"))
        QVERIFY(image.save(QStringLiteral(VELLUMARK_TESTS_DIR "/render/golden/") + name));
    const QImage expected = reference(name);
    QCOMPARE(image.size(), expected.size());
    const Difference d = difference(image, expected);
    QVERIFY2(matches(d), qPrintable(QStringLiteral("%1 pixels differ from %2, by up to %3")
                                        .arg(d.pixels)
                                        .arg(name)
                                        .arg(d.largest)));
}

// What a renderer could lose unnoticed; each must fail the comparison above.
void tst_BadgeRenderer::referencesCatchSmallChanges_data()
{
    QTest::addColumn<BadgeSide>("side");
    auto changed = [](const std::function<void(BadgeSide&)>& change) {
        BadgeSide side = textAndLabels();
        change(side);
        return side;
    };
    QTest::newRow("lost bold") << changed([](BadgeSide& s) { s.Label1.at(2).FontBold = false; });
    QTest::newRow("lost underline")
        << changed([](BadgeSide& s) { s.Label1.at(4).FontUnderline = false; });
    QTest::newRow("8.25 pt as 8") << changed([](BadgeSide& s) { s.Label1.at(7).FontSize = 8; });
    QTest::newRow("last letter dropped")
        << changed([](BadgeSide& s) { s.Label1.at(1).Caption = QStringLiteral("Regula"); });
    QTest::newRow("red 63 levels off")
        << changed([](BadgeSide& s) { s.Label1.at(6).ForeColor = 0x0000c0 - 63; });
}

void tst_BadgeRenderer::referencesCatchSmallChanges()
{
    QFETCH(BadgeSide, side);
    const Difference d = difference(drawn(side), reference(QStringLiteral("text-and-labels.png")));
    qInfo("%d pixels differ, by up to %d levels", d.pixels, d.largest);
    QVERIFY(!matches(d));
}

// A line break or control character in a value shows as a mark on the field's own line: nothing
// is drawn above or below that line, and the mark is not lost.
void tst_BadgeRenderer::valuesStayOnTheirLine_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("line feed") << QStringLiteral("Anna\nSmith");
    QTest::newRow("CR LF") << QStringLiteral("Anna\r\nSmith");
    QTest::newRow("CR, VT, FF, NEL") << QStringLiteral("Anna\rSmith\vJo\fne\u0085s");
    QTest::newRow("line and paragraph separators") << QStringLiteral("Anna\u2028Smith\u2029Jones");
    QTest::newRow("control characters") << QStringLiteral("Anna\u0001\u001b\u007f\u0090Smith");
}

void tst_BadgeRenderer::valuesStayOnTheirLine()
{
    QFETCH(QString, value);
    const QImage with = drawnValue(value);
    const QString anna = QStringLiteral("Anna");
    // It grows to the right, never downwards.
    const QRectF line(0, 1000, Card.width(), drawnRect(valueField(anna)).height());
    const Difference outside =
        difference(with, drawnValue(anna), toPixels(line).adjusted(-1, -1, 1, 1));
    QCOMPARE(outside.largest, 0);
    for (const char32_t c : hiddenCharacters(value))
        value.remove(QString::fromUcs4(&c, 1));
    QVERIFY(with != drawnValue(value));
}

// A badge shows the name the database holds: direction controls change nothing, while a name in
// a right-to-left script still reads from the right.
void tst_BadgeRenderer::directionControlsCannotReorderText_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("plain");
    const QString evil = QStringLiteral("evil 42");
    QTest::newRow("override") << QStringLiteral("\u202Eevil 42") << evil;
    QTest::newRow("override closed, in an isolate")
        << QStringLiteral("\u2067\u202Eevil\u202C\u2069 42") << evil;
    QTest::newRow("left-to-right override on Arabic")
        << QStringLiteral("\u202D\u0631\u062F\u202C") << QStringLiteral("\u0631\u062F");
}

void tst_BadgeRenderer::directionControlsCannotReorderText()
{
    QFETCH(QString, value);
    QFETCH(QString, plain);
    QCOMPARE(drawnValue(value), drawnValue(plain));
}

// Two letters that do not join, so each looks the same alone: the second is drawn on the left,
// and in a frame wider than the text the word sits at its right edge.
void tst_BadgeRenderer::rightToLeftScriptsReadFromTheRight_data()
{
    QTest::addColumn<QString>("word");
    QTest::newRow("Arabic") << QStringLiteral("\u0631\u062F");
    QTest::newRow("Hebrew") << QStringLiteral("\u05E9\u05DD");
}

void tst_BadgeRenderer::rightToLeftScriptsReadFromTheRight()
{
    QFETCH(QString, word);
    const QImage whole = drawnValue(word, 20);
    const QImage last = drawnValue(word.right(1), 20);
    const QRectF line = drawnRect(valueField(word, 20));
    const QRect letter = toPixels(inkBox(last, 144, line)).adjusted(-1, -1, 1, 1);
    QVERIFY(!letter.isEmpty());
    QVERIFY(matches(difference(whole.copy(letter), last.copy(letter))));
    QVERIFY(inkBox(whole, 144, line).width() > inkBox(last, 144, line).width() * 1.5);

    // A fixed frame: right-to-left text from its right edge, a Latin name from its left.
    for (const QString& text : {word, QStringLiteral("Li")}) {
        BadgeSide side;
        Field& field = side.lblField.at(side.lblField.add()) = valueField(text, 20);
        field.AutoSize = false;
        field.Width = 3000;
        field.Height = 600;
        const QRectF frame = field.frame();
        const QRectF ink = inkBox(drawn(side), 144, frame);
        QVERIFY(!ink.isEmpty());
        const bool fromRight = frame.right() - ink.right() < ink.left() - frame.left();
        QCOMPARE(fromRight, text == word);
    }
}

void tst_BadgeRenderer::sameGeometryAt96And600Dpi()
{
    BadgeSide side;
    addShape(side, 2, QRectF(3000, 300, 1440, 720), 2, 0, 1, 0x808080);
    addShape(side, 4, QRectF(3000, 1500, 1000, 1200), 1, 0, 0, 0);
    addComment(side, {300, 300}, QStringLiteral("Geometry 12 pt")).FontSize = 12;
    Comment& bold = addComment(side, {300, 1000}, QStringLiteral("Bold 8.25 pt, a longer text"));
    bold.FontSize = 8.25f;
    bold.FontBold = true;
    place(side.imgPhoto, QRectF(300, 1600, 1500, 1000)).Picture =
        picture({300, 400}, Qt::black, Qt::gray);

    const QImage low = renderSideImage(side, Card, 96, {});
    const QImage high = renderSideImage(side, Card, 600, {});
    for (const ElementRef& element : side.stackingOrder()) {
        const QRectF drawn = drawnRect(side, element);
        if (!side.geometry(element)->Visible)
            continue;
        const QRectF atLow = inkBox(low, 96, drawn.adjusted(-100, -100, 100, 100));
        const QRectF atHigh = inkBox(high, 600, drawn.adjusted(-100, -100, 100, 100));
        // Within a screen pixel (15 twips) of each other, and inside what drawnRect reports.
        for (double d : {atLow.left() - atHigh.left(), atLow.top() - atHigh.top(),
                         atLow.right() - atHigh.right(), atLow.bottom() - atHigh.bottom()})
            QVERIFY2(std::abs(d) <= 15, qPrintable(QString::number(d)));
        QVERIFY(!atHigh.isEmpty() && drawn.adjusted(-5, -5, 5, 5).contains(atHigh));
    }
}

void tst_BadgeRenderer::drawsNothingForHiddenOrAbsurdElements()
{
    BadgeSide side; // hidden photograph: see all-kinds-back-designer
    addShape(side, 0, QRectF(100, 100, 0, 800), 2, 0, 1, 0);
    addShape(side, 2, QRectF(100, 100, -500, 800), 2, 0, 1, 0);
    addShape(side, 4, QRectF(3e30, 100, 500, 800), 2, 0, 1, 0);
    addComment(side, {-1e20, 0}, QStringLiteral("far away")).FontSize = 1e30f;
    addComment(side, {500, 500}, QStringLiteral("hidden")).Visible = false;
    // After a record without pictures, and a logo whose file is missing.
    place(side.imgPhoto, QRectF(0, 0, 900, 900)).ShowPlaceholder = false;
    addLogo(side, QStringLiteral("/nowhere.png"), QRectF(2000, 100, 1000, 1000));
    QCOMPARE(renderSideImage(side, Card, 96, {}), renderSideImage(BadgeSide(), Card, 96, {}));
}

void tst_BadgeRenderer::stackingAndPicking()
{
    BadgeSide side;
    addShape(side, 0, QRectF(0, 0, 1440, 1440), 0, 0, 1, 0x0000ff);
    addShape(side, 0, QRectF(720, 720, 1440, 1440), 0, 0, 1, 0xff0000);
    QCOMPARE(elementAt(side, {1080, 1080}), (ElementRef{ElementKind::Shape, 2}));
    side.bringToFront({ElementKind::Shape, 1});
    QCOMPARE(elementAt(side, {1080, 1080}), (ElementRef{ElementKind::Shape, 1}));

    // A text is picked where it is drawn, not where a stale frame would put it.
    addComment(side, {100, 2400}, QStringLiteral("Short")).Width = 4000;
    const QRectF drawn = drawnRect(side, {ElementKind::Comment, 1});
    QVERIFY(drawn.width() > 200 && drawn.width() < 1500);
    QCOMPARE(elementAt(side, drawn.center()), (ElementRef{ElementKind::Comment, 1}));
    QCOMPARE(elementAt(side, {3000, 2450}), std::nullopt);
}

void tst_BadgeRenderer::clipsToTheCard_data()
{
    QTest::addColumn<BadgeSide>("side");
    const QSizeF portrait = cardSizeTwips(Orientation::Portrait);
    BadgeSide text;
    addComment(text, {portrait.width() - 900, 1000},
               QStringLiteral("A comment that runs past the right edge"));
    QTest::newRow("text past the right edge") << text;
    BadgeSide shape;
    addShape(shape, 4, QRectF(1000, portrait.height() - 600, 2800, 1200), 3, 0, 1, 0x808080);
    QTest::newRow("shape past the corner") << shape;
    BadgeSide logo;
    addLogo(logo, QStringLiteral("logo.png"), QRectF(-400, -400, 1200, 1200)).Picture =
        picture({100, 100}, Qt::black, Qt::black);
    QTest::newRow("logo before the top-left") << logo;
}

void tst_BadgeRenderer::clipsToTheCard()
{
    QFETCH(BadgeSide, side);
    const QSizeF card = cardSizeTwips(Orientation::Portrait);
    const double dpi = 72;
    // A page around the card, with the card one inch in, as a printer's painter sees it.
    QImage page(QSize(int(card.width() / 10), int(card.height() / 10)), QImage::Format_RGB32);
    const QPoint cardAt(dpi, dpi);
    const QRect cardPixels(cardAt, QSize(int(std::ceil(twipsToPixels(card.width(), dpi))),
                                         int(std::ceil(twipsToPixels(card.height(), dpi)))));
    auto inkOutside = [&](const RenderOptions& options, int* inside) {
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.translate(cardAt);
        renderCard(painter, side, dpi, dpi, options);
        painter.end();
        int outside = 0;
        *inside = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                if (qGray(page.pixel(x, y)) < 200)
                    ++(cardPixels.contains(x, y) ? *inside : outside);
            }
        }
        return outside;
    };
    int inside = 0;
    QVERIFY2(inkOutside(renderOptions(RenderMode::Output, {}), &inside) > 0,
             "the element must reach beyond the card for this test to mean anything");
    QCOMPARE(inkOutside(renderOptions(RenderMode::Output, card), &inside), 0);
    QVERIFY(inside > 0); // cut at the edge, not dropped
}

void tst_BadgeRenderer::systemColoursComeFromTheOptionsOnAnyThread()
{
    BadgeSide side;
    Comment& face = addComment(side, {100, 100}, QStringLiteral("Button face"));
    face.BackStyle = 1;
    face.BackColor = qint32(0x8000000F);
    addShape(side, 0, QRectF(100, 1000, 1000, 1000), 0, 0, 1, qint32(0x80000005)); // window

    QPalette palette;
    palette.setColor(QPalette::Active, QPalette::Button, QColor(200, 0, 0));
    palette.setColor(QPalette::Active, QPalette::Base, QColor(0, 0, 200));
    RenderOptions options = renderOptions(RenderMode::Output, Card);
    options.systemColors = SystemColors(palette);
    const QImage here = renderSideImage(side, Card, 96, options);
    // Where the print page draws: a worker thread, which must not reach for the application.
    const QImage there = std::async(std::launch::async, [&] {
                             return renderSideImage(side, Card, 96, options);
                         }).get();
    QCOMPARE(there, here);
    const double px = 96 / TwipsPerInch;
    QCOMPARE(here.pixelColor(int(110 * px), int(110 * px)), QColor(200, 0, 0));
    QCOMPARE(here.pixelColor(int(600 * px), int(1500 * px)), QColor(0, 0, 200));
}

QTEST_MAIN(tst_BadgeRenderer)
#include "tst_BadgeRenderer.moc"
