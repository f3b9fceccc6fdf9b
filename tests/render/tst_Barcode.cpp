// Invariant: every code a badge prints reads back as its value: every symbology, on both sides,
// turned every way, at the smallest module the designer offers, from a card rendered at 300 dpi;
// a PDF gets the code as vectors. A value a symbology cannot carry, or a code that does not fit
// its frame, prints no code, and the check says why; the check also finds a code that will not
// scan at the printer's resolution.
#include "render/BadgeRenderer.h"
#include "render/BarcodeDrawing.h"
#include "render/BarcodeReading.h"
#include "render/ElementRotation.h"
#include "render/PrintCheck.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QSqlField>
#include <QTest>

#include <cmath>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::Symbology)

namespace {

const QSizeF Card = cardSizeTwips(Orientation::Landscape);

// A barcode field at the smallest module, in a frame just large enough (turned with it).
Field codeField(Symbology symbology, const QString& caption, const QString& value,
                qint16 degrees)
{
    Field field;
    field.Caption = caption;
    field.FontName = QStringLiteral("DejaVu Sans");
    field.AutoSize = false;
    field.barcode = Barcode{symbology, true, true, 0, SmallestModuleTwips};
    field.rotation.degrees = degrees;
    const Result<BarcodeSymbol> symbol = encodeBarcode(*field.barcode, value);
    const bool linear = !symbologyInfo(symbology).twoDimensional;
    const QSizeF upright(std::ceil(symbol->size.width() * SmallestModuleTwips) + 2,
                         linear ? 720 : std::ceil(symbol->size.height() * SmallestModuleTwips) + 2);
    place(field, QRectF(QPointF(300, 300), uprightSize(upright, field.rotation)));
    return field;
}

LinkedRecord person(const QString& value)
{
    LinkedRecord record;
    for (auto [column, text] : {std::pair{"Prefix", QStringLiteral("EMP")},
                                std::pair{"Code", QStringLiteral("00417")},
                                std::pair{"Value", value}}) {
        QSqlField field(QString::fromLatin1(column), QMetaType(QMetaType::QString));
        field.setValue(text);
        record.values.append(field);
    }
    return record;
}

BadgeSide sideWith(const Field& field)
{
    BadgeSide side;
    side.lblField.insert(1, field);
    return side;
}

// As a scanner aimed at the code sees it: the frame and a margin around it.
bool readsBack(const QImage& card, const BadgeSide& side, Symbology symbology,
               const QString& value)
{
    const QRectF frame = side.lblField.at(1).frame().adjusted(-144, -144, 144, 144);
    const QRect pixels(QPointF(twipsToPixels(frame.left(), 300), twipsToPixels(frame.top(), 300))
                           .toPoint(),
                       QPointF(twipsToPixels(frame.right(), 300),
                               twipsToPixels(frame.bottom(), 300))
                           .toPoint());
    const QList<ReadCode> read = readBarcodes(card.copy(pixels));
    return std::any_of(read.begin(), read.end(),
                       [&](const ReadCode& code) { return readsAs(code, symbology, value); });
}

} // namespace

class tst_Barcode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everySymbologyReadsBackOnBothSides_data()
    {
        QTest::addColumn<Symbology>("symbology");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("frontCaption"); // filled from the record
        const QString fromRecord = QStringLiteral("<Employee.Value>");
        QTest::newRow("Code 128") << Symbology::Code128 << QStringLiteral("EMP-00417")
                                  << QStringLiteral("<Employee.Prefix>-<Employee.Code>");
        QTest::newRow("Code 39") << Symbology::Code39 << QStringLiteral("EMP-00417")
                                 << QStringLiteral("<Employee.Prefix>-<Employee.Code>");
        QTest::newRow("EAN-13") << Symbology::Ean13 << QStringLiteral("400638133393") << fromRecord;
        QTest::newRow("ITF") << Symbology::Interleaved2of5 << QStringLiteral("00417523")
                             << fromRecord;
        QTest::newRow("QR") << Symbology::QrCode << QStringLiteral("Müller, Zoë 00417")
                            << fromRecord;
        QTest::newRow("Data Matrix") << Symbology::DataMatrix << QStringLiteral("EMP-00417")
                                     << fromRecord;
        QTest::newRow("PDF417") << Symbology::Pdf417 << QStringLiteral("EMP-00417 Staff")
                                << fromRecord;
        QTest::newRow("Aztec") << Symbology::Aztec << QStringLiteral("EMP-00417") << fromRecord;
    }

    void everySymbologyReadsBackOnBothSides()
    {
        QFETCH(Symbology, symbology);
        QFETCH(QString, value);
        QFETCH(QString, frontCaption);
        const LinkedRecord record = person(value);
        const RenderOptions options = renderOptions(RenderMode::Output, Card);
        // The front's value comes from the record; the back carries it as fixed text, turned.
        const BadgeSide front =
            filledSide(sideWith(codeField(symbology, frontCaption, value, 0)), record);
        QVERIFY(readsBack(renderSideImage(front, Card, 300, options), front, symbology, value));
        for (qint16 degrees : {90, 180, 270}) {
            const BadgeSide back =
                filledSide(sideWith(codeField(symbology, value, value, degrees)), record);
            QVERIFY2(barcodeProblems(back, record, 300).isEmpty(),
                     qPrintable(barcodeProblems(back, record, 300).join(u'\n')));
            QVERIFY2(readsBack(renderSideImage(back, Card, 300, options), back, symbology, value),
                     qPrintable(QStringLiteral("turned %1°").arg(degrees)));
        }
    }

    void pdfGetsVectors()
    {
        QBuffer pdf;
        pdf.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&pdf);
            writer.setPageSize(QPageSize(Card / TwipsPerInch, QPageSize::Inch));
            writer.setResolution(1200);
            QPainter painter(&writer);
            const BadgeSide side = sideWith(
                codeField(Symbology::QrCode, QStringLiteral("EMP-00417"), QStringLiteral("EMP-00417"),
                          90));
            renderCard(painter, side, 1200, 1200, renderOptions(RenderMode::Output, Card));
        }
        QVERIFY(pdf.size() > 0);
        QVERIFY(!pdf.data().contains("/Subtype /Image"));
    }

    void refusedValuesPrintNoCode_data()
    {
        QTest::addColumn<Symbology>("symbology");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QSizeF>("frame");
        QTest::addColumn<QString>("why");
        const QSizeF wide(4000, 720);
        QTest::newRow("EAN-13 letters") << Symbology::Ean13 << QStringLiteral("40063813339A")
                                        << wide << QStringLiteral("holds 12 digits");
        QTest::newRow("EAN-13 short") << Symbology::Ean13 << QStringLiteral("12345") << wide
                                      << QStringLiteral("holds 12 digits");
        QTest::newRow("ITF odd") << Symbology::Interleaved2of5 << QStringLiteral("12345") << wide
                                 << QStringLiteral("even number of digits");
        QTest::newRow("Code 39 small letters")
            << Symbology::Code39 << QStringLiteral("emp-1") << wide
            << QStringLiteral("capital letters");
        QTest::newRow("too long for the frame")
            << Symbology::Code128 << QStringLiteral("EMPLOYEE-0000417-HEAD-OFFICE-NORTH") << QSizeF(1440, 720)
            << QStringLiteral("needs a frame");
        QTest::newRow("2D too large") << Symbology::QrCode << QString(300, u'x')
                                      << QSizeF(720, 720) << QStringLiteral("needs");
        QTest::newRow("frame too low") << Symbology::Code128 << QStringLiteral("EMP-00417")
                                       << QSizeF(4000, 150) << QStringLiteral("too low");
        QTest::newRow("not filled") << Symbology::Code128 << QStringLiteral("<Employee.Badge>")
                                    << wide << QStringLiteral("not filled from a record");
        QTest::newRow("empty") << Symbology::QrCode << QString() << wide
                               << QStringLiteral("the value is empty");
    }

    void refusedValuesPrintNoCode()
    {
        QFETCH(Symbology, symbology);
        QFETCH(QString, value);
        QFETCH(QSizeF, frame);
        QFETCH(QString, why);
        Field field;
        field.Caption = value;
        field.AutoSize = false;
        field.barcode = Barcode{symbology, true, true, 0, 0};
        place(field, QRectF(QPointF(300, 300), frame));
        const BadgeSide side = sideWith(field);
        const QStringList problems = barcodeProblems(side, std::nullopt, 300);
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems.first().contains(why), qPrintable(problems.first()));
        QVERIFY(readBarcodes(renderSideImage(side, Card, 300,
                                             renderOptions(RenderMode::Output, Card)))
                    .isEmpty());
    }

    void checkFindsCodesTooFineForThePrinter()
    {
        const QString value = QStringLiteral("EMP-00417");
        const BadgeSide side = sideWith(codeField(Symbology::DataMatrix, value, value, 0));
        QVERIFY(barcodeProblems(side, std::nullopt, 300).isEmpty());
        const QStringList coarse = barcodeProblems(side, std::nullopt, 60);
        QCOMPARE(coarse.size(), 1);
        QVERIFY2(coarse.first().contains(QStringLiteral("will not scan at 60 dpi")),
                 qPrintable(coarse.first()));
    }

    void turnedElementsCoverTheirFrame()
    {
        const QSizeF upright(300, 100);
        for (qint16 degrees : {0, 90, 180, 270}) {
            const Rotation rotation{degrees};
            const QRectF covered = turnedRect(QPointF(50, 70), upright, rotation);
            const QTransform turn = turningTransform(QPointF(50, 70), upright, rotation);
            QCOMPARE(turn.mapRect(QRectF(QPointF(), upright)), covered);
            // A quarter turn clockwise brings the box's top-left corner to the top-right.
            if (degrees == 90)
                QCOMPARE(turn.map(QPointF(0, 0)), covered.topRight());
        }
        Comment text;
        text.Caption = QStringLiteral("Visitor");
        text.Left = 100;
        text.Top = 200;
        const QRectF flat = drawnRect(text);
        text.rotation.degrees = 270;
        QCOMPARE(drawnRect(text), QRectF(flat.topLeft(), flat.size().transposed()));
    }
};

QTEST_MAIN(tst_Barcode)
#include "tst_Barcode.moc"
