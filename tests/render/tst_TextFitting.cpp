// Invariant: a fitted text never draws past its frame unless the fitting reports it cut or
// shortened; it shrinks no further than its minimum, loses no word when it fits, is placed where
// its alignment says, and a PDF breaks its lines where the layout does. A field's value shows in
// its format; its hide condition holds exactly when the record's value says so.
#include "records/FieldFormatting.h"
#include "render/BadgeRenderer.h"
#include "render/TextFitting.h"
#include "support/AllKindsBadge.h"
#include "support/PdfText.h"
#include "support/Skip.h"

#include "common/Units.h"

#include <QFontMetricsF>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlField>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::TextFit)
Q_DECLARE_METATYPE(vm::FieldFormat)
Q_DECLARE_METATYPE(vm::HideCondition)
Q_DECLARE_METATYPE(vm::ConditionOutcome)
Q_DECLARE_METATYPE(vm::HorizontalAlign)
Q_DECLARE_METATYPE(vm::VerticalAlign)

namespace {

const QSizeF Card = cardSizeTwips(Orientation::Landscape);

Comment textIn(const QString& caption, QRectF frame, TextFit fit)
{
    Comment text;
    place(text, frame);
    text.Caption = caption;
    text.FontName = QStringLiteral("DejaVu Sans");
    text.fit = fit;
    return text;
}

TextFit fitOf(FitMode mode, int maximumLines = 0, bool ellipsis = true)
{
    TextFit fit;
    fit.mode = mode;
    fit.maximumLines = maximumLines;
    fit.ellipsis = ellipsis;
    return fit;
}

QString words(const QStringList& lines)
{
    return lines.join(QLatin1Char(' ')).simplified();
}

// The box of everything not white, in twips from the card's corner.
QRectF inkBox(const QImage& image, double dpi)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                box |= QRect(x, y, 1, 1);
    const double twips = TwipsPerInch / dpi;
    return QRectF(box.x() * twips, box.y() * twips, box.width() * twips, box.height() * twips);
}

QSqlRecord row(const QList<std::pair<QString, QVariant>>& values)
{
    QSqlRecord record;
    for (const auto& [name, value] : values) {
        QSqlField field(name, value.metaType());
        field.setValue(value);
        record.append(field);
    }
    return record;
}

} // namespace

class tst_TextFitting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitsAtTheEdges_data();
    void fitsAtTheEdges();
    void alignsInTheFrame_data();
    void alignsInTheFrame();
    void turnedTextFitsItsTurnedFrame_data();
    void turnedTextFitsItsTurnedFrame();
    void pdfBreaksWhereTheLayoutDoes();
    void formatsValues_data();
    void formatsValues();
    void evaluatesConditions_data();
    void evaluatesConditions();
    void damagedJsonGivesValuesInRange();
};

void tst_TextFitting::fitsAtTheEdges_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSizeF>("frame");
    QTest::addColumn<TextFit>("fit");
    QTest::addColumn<int>("lines"); // -1: more than one, as many as the frame holds
    QTest::addColumn<bool>("shrunk");
    QTest::addColumn<bool>("ellipsised");
    QTest::addColumn<bool>("cut");

    const QString name200 = QStringLiteral("Maximiliane ").repeated(17).left(200);
    const QSizeF line(2400, 285);
    QTest::newRow("one character")
        << QStringLiteral("W") << line << fitOf(FitMode::Shrink) << 1 << false << false << false;
    QTest::newRow("one character, shrunk into a narrow frame")
        << QStringLiteral("W") << QSizeF(150, 285) << fitOf(FitMode::Shrink) << 1 << true << false
        << false;
    QTest::newRow("empty") << QString() << line << fitOf(FitMode::WrapAndShrink) << 0 << false
                           << false << false;
    QTest::newRow("blank") << QStringLiteral("  ") << line << fitOf(FitMode::Wrap) << 0 << false
                           << false << false;
    QTest::newRow("200 characters, shrink, ellipsis")
        << name200 << line << fitOf(FitMode::Shrink) << 1 << true << true << false;
    QTest::newRow("200 characters, shrink, cut")
        << name200 << line << fitOf(FitMode::Shrink, 0, false) << 1 << true << false << true;
    QTest::newRow("200 characters, wrap as far as the frame holds")
        << name200 << QSizeF(2400, 1200) << fitOf(FitMode::Wrap) << -1 << false << true << false;
    QTest::newRow("200 characters, wrap, two lines at most")
        << name200 << QSizeF(2400, 1200) << fitOf(FitMode::Wrap, 2) << 2 << false << true << false;
    QTest::newRow("200 characters, wrap and shrink until it fits")
        << name200 << QSizeF(3000, 900) << fitOf(FitMode::WrapAndShrink) << -1 << true << false
        << false;
    QTest::newRow("frame lower than a line") << QStringLiteral("Anna") << QSizeF(2400, 60)
                                             << fitOf(FitMode::Wrap) << 1 << false << false << true;
    QTest::newRow("words wrap whole") << QStringLiteral("Anna Maria Schmidt") << QSizeF(1300, 1000)
                                      << fitOf(FitMode::Wrap) << -1 << false << false << false;
    QTest::newRow("right to left, wrapped")
        << QStringLiteral("\u0645\u062D\u0645\u062F \u0639\u0628\u062F \u0627\u0644\u0644\u0647 "
                          "\u0627\u0644\u0647\u0627\u0634\u0645\u064A")
        << QSizeF(900, 1200) << fitOf(FitMode::Wrap) << -1 << false << false << false;
    QTest::newRow("right to left, shrunk onto one line")
        << QStringLiteral("\u0645\u062D\u0645\u062F \u0639\u0628\u062F \u0627\u0644\u0644\u0647")
        << QSizeF(900, 285) << fitOf(FitMode::Shrink) << 1 << true << false << false;
}

void tst_TextFitting::fitsAtTheEdges()
{
    QFETCH(QString, text);
    QFETCH(QSizeF, frame);
    QFETCH(TextFit, fit);
    QFETCH(int, lines);
    QFETCH(bool, shrunk);
    QFETCH(bool, ellipsised);
    QFETCH(bool, cut);

    const Comment element = textIn(text, QRectF(QPointF(300, 200), frame), fit);
    const FittedText fitted = fitText(element, drawnText(text, true));
    QStringList shown;
    for (const auto& line : fitted.lines)
        shown << line.text;
    if (lines >= 0)
        QCOMPARE(fitted.lines.size(), lines);
    else
        QVERIFY2(fitted.lines.size() > 1, qPrintable(shown.join(u'|')));
    QCOMPARE(fitted.shrunk, shrunk);
    QCOMPARE(fitted.ellipsised, ellipsised);
    QCOMPARE(fitted.cut, cut);
    QVERIFY(fitted.pointSize >= fit.minimumSize && fitted.pointSize <= element.FontSize);
    QCOMPARE(fitted.direction, text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);

    const QFontMetricsF metrics(fitted.font);
    for (const auto& line : fitted.lines) {
        if (!cut) {
            QVERIFY2(metrics.horizontalAdvance(line.text) <= frame.width() + 1,
                     qPrintable(line.text));
            QVERIFY(line.rect.top() >= element.Top - 1 &&
                    line.rect.bottom() <= element.Top + frame.height() + 1);
        }
    }
    if (!fitted.incomplete())
        QCOMPARE(words(shown), text.simplified()); // nothing lost, nothing doubled
    if (ellipsised)
        QVERIFY(shown.last().endsWith(QChar(0x2026)));
}

void tst_TextFitting::alignsInTheFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<HorizontalAlign>("horizontal");
    QTest::addColumn<VerticalAlign>("vertical");
    QTest::addColumn<QString>("where"); // the sides of the frame the ink keeps close to

    const QString latin = QStringLiteral("Anna");
    const QString arabic = QStringLiteral("\u0645\u062D\u0645\u062F");
    QTest::newRow("start, top") << latin << HorizontalAlign::Start << VerticalAlign::Top
                                << QStringLiteral("left top");
    QTest::newRow("right, bottom") << latin << HorizontalAlign::Right << VerticalAlign::Bottom
                                   << QStringLiteral("right bottom");
    QTest::newRow("centre, middle")
        << latin << HorizontalAlign::Centre << VerticalAlign::Middle << QStringLiteral("");
    QTest::newRow("right to left starts at the right")
        << arabic << HorizontalAlign::Start << VerticalAlign::Top << QStringLiteral("right top");
    QTest::newRow("right to left, left")
        << arabic << HorizontalAlign::Left << VerticalAlign::Middle << QStringLiteral("left");
}

void tst_TextFitting::alignsInTheFrame()
{
    QFETCH(QString, text);
    QFETCH(HorizontalAlign, horizontal);
    QFETCH(VerticalAlign, vertical);
    QFETCH(QString, where);

    const QRectF frame(1000, 600, 2400, 1200);
    TextFit fit = fitOf(FitMode::WrapAndShrink);
    fit.horizontal = horizontal;
    fit.vertical = vertical;
    BadgeSide side;
    side.Label1.at(side.Label1.add()) = textIn(text, frame, fit);
    constexpr double Dpi = 288;
    const QRectF ink =
        inkBox(renderSideImage(side, Card, Dpi, renderOptions(RenderMode::Output, Card)), Dpi);
    QVERIFY(frame.contains(ink));
    // Ink sits inside the font's box (Arabic letters well below its ascent), far from the frame's
    // other sides.
    constexpr double Near = 150;
    const double gaps[] = {ink.left() - frame.left(), frame.right() - ink.right(),
                           ink.top() - frame.top(), frame.bottom() - ink.bottom()};
    const char* sides[] = {"left", "right", "top", "bottom"};
    for (int i = 0; i < 4; ++i) {
        const bool near = where.contains(QLatin1String(sides[i]));
        QVERIFY2(near == (gaps[i] < Near),
                 qPrintable(
                     QStringLiteral("%1 gap %2 twips").arg(QLatin1String(sides[i])).arg(gaps[i])));
    }
    if (horizontal == HorizontalAlign::Centre)
        QVERIFY(std::abs(gaps[0] - gaps[1]) < Near);
    if (vertical == VerticalAlign::Middle)
        QVERIFY(std::abs(gaps[2] - gaps[3]) < Near);
}

// Turned a quarter, a text's line runs along its frame's height and shrinks to that length.
void tst_TextFitting::turnedTextFitsItsTurnedFrame_data()
{
    QTest::addColumn<int>("degrees");
    for (const int degrees : {0, 90, 180, 270})
        QTest::addRow("%d degrees", degrees) << degrees;
}

void tst_TextFitting::turnedTextFitsItsTurnedFrame()
{
    QFETCH(int, degrees);
    const bool upright = degrees % 180 == 0;
    const QRectF frame(QPointF(1000, 300), upright ? QSizeF(2600, 400) : QSizeF(400, 2600));
    Comment element =
        textIn(QStringLiteral("Alexandra Konstantinopoulou"), frame, fitOf(FitMode::Shrink));
    element.FontSize = 12;
    element.rotation.degrees = qint16(degrees);
    BadgeSide side;
    side.Label1.at(side.Label1.add()) = element;
    constexpr double Dpi = 288;
    const QRectF ink =
        inkBox(renderSideImage(side, Card, Dpi, renderOptions(RenderMode::Output, Card)), Dpi);
    QVERIFY(frame.adjusted(-5, -5, 5, 5).contains(ink));
    QVERIFY((upright ? ink.width() : ink.height()) > 2000); // most of the frame's long side
}

void tst_TextFitting::pdfBreaksWhereTheLayoutDoes()
{
    VM_SKIP_IF(pdfToolsMissing());
    const QRectF frame(300, 300, 2000, 1800);
    const Comment text =
        textIn(QStringLiteral("Senior Security Officer of the Night Shift, North Gate"), frame,
               fitOf(FitMode::WrapAndShrink));
    const FittedText fitted = fitText(text, drawnText(text.Caption, false));
    QVERIFY(fitted.lines.size() > 1 && !fitted.incomplete());

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("fitted.pdf"));
    {
        QPdfWriter writer(pdf);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(Card / TwipsPerInch, QPageSize::Inch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        BadgeSide side;
        side.Label1.at(side.Label1.add()) = text;
        renderCard(painter, side, 1200, 1200, renderOptions(RenderMode::Output, Card));
    }
    // Words on one printed line share their top; lines in the order they are printed.
    QMap<int, QStringList> printed;
    for (const PdfWord& word : pdfPage(pdf, 1).words)
        printed[int(std::lround(word.box.top()))]
            << word.text.normalized(QString::NormalizationForm_KC);
    QStringList laidOut, pdfLines;
    for (const auto& line : fitted.lines)
        laidOut << line.text;
    for (const QStringList& words : std::as_const(printed))
        pdfLines << words.join(QLatin1Char(' '));
    QCOMPARE(pdfLines, laidOut);
}

void tst_TextFitting::formatsValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<FieldFormat>("format");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("expected");

    auto format = [](const char* date, int decimals, bool thousands, LetterCase letterCase,
                     const char* prefix = "", const char* suffix = "") {
        return FieldFormat{
            QLatin1String(date),       decimals, thousands, letterCase, QString::fromUtf8(prefix),
            QString::fromUtf8(suffix), {}};
    };
    const auto Stored = LetterCase::AsStored;
    const FieldFormat titled = format("", -1, false, LetterCase::Upper, "Dr. ", " (guest)");
    const struct {
        const char* name;
        QVariant value;
        FieldFormat format;
        const char* locale;
        QString expected;
    } rows[] = {
        {"ISO date text", QStringLiteral("1995-01-20"), format("dd.MM.yyyy", -1, false, Stored),
         "en_US", QStringLiteral("20.01.1995")},
        {"typed date", QDate(1995, 1, 20), format("yyyy-MM-dd", -1, false, Stored), "en_US",
         QStringLiteral("1995-01-20")},
        {"date and time text", QStringLiteral("1995-01-20 08:30:00"),
         format("dd.MM.yyyy hh:mm", -1, false, Stored), "en_US",
         QStringLiteral("20.01.1995 08:30")},
        {"month name in the locale", QDate(1995, 3, 2), format("d MMMM yyyy", -1, false, Stored),
         "de_DE", QStringLiteral("2 M\u00E4rz 1995")},
        {"no date: as stored", QStringLiteral("soon"), format("dd.MM.yyyy", -1, false, Stored),
         "en_US", QStringLiteral("soon")},
        {"decimals", QStringLiteral("3.14159"), format("", 2, false, Stored), "en_US",
         QStringLiteral("3.14")},
        {"thousands", 1234567, format("", -1, true, Stored), "en_US", QStringLiteral("1,234,567")},
        {"German symbols", 1234.5, format("", 2, true, Stored), "de_DE",
         QStringLiteral("1.234,50")},
        {"whole number beyond a double", QStringLiteral("12345678901234567"),
         format("", -1, true, Stored), "en_US", QStringLiteral("12,345,678,901,234,567")},
        {"no number: as stored", QStringLiteral("n/a"), format("", 2, false, Stored), "en_US",
         QStringLiteral("n/a")},
        {"upper case", QStringLiteral("m\u00FCller"), format("", -1, false, LetterCase::Upper),
         "de_DE", QStringLiteral("M\u00DCLLER")},
        {"lower case", QStringLiteral("ANNA"), format("", -1, false, LetterCase::Lower), "en_US",
         QStringLiteral("anna")},
        {"prefix and suffix keep their case", QStringLiteral("anna"), titled, "en_US",
         QStringLiteral("Dr. ANNA (guest)")},
        {"blank: no prefix or suffix", QStringLiteral(" "), titled, "en_US", QString()},
        {"null: no prefix or suffix", QVariant(QMetaType(QMetaType::QString)), titled, "en_US",
         QString()},
    };
    for (const auto& r : rows)
        QTest::newRow(r.name) << r.value << r.format << QString::fromLatin1(r.locale) << r.expected;
}

void tst_TextFitting::formatsValues()
{
    QFETCH(QVariant, value);
    QFETCH(FieldFormat, format);
    QFETCH(QString, locale);
    QFETCH(QString, expected);
    QCOMPARE(formattedValue(value, format, QLocale(locale)), expected);
}

void tst_TextFitting::evaluatesConditions_data()
{
    QTest::addColumn<HideCondition>("condition");
    QTest::addColumn<ConditionOutcome>("outcome");

    const auto Holds = ConditionOutcome::Holds;
    const auto Not = ConditionOutcome::DoesNotHold;
    const struct {
        const char* column;
        ConditionTest test;
        const char* value;
        ConditionOutcome outcome;
    } rows[] = {
        {"Visitor", ConditionTest::Equal, "1", Holds},
        {"Employee.Visitor", ConditionTest::Equal, "1", Holds},
        {"Visitor", ConditionTest::NotEqual, "1", Not},
        {"Visitor", ConditionTest::Greater, "0.5", Holds},
        {"Visitor", ConditionTest::LessOrEqual, "0", Not},
        {"Visitor", ConditionTest::Equal, "1 OR 1=1", Not},
        {"Name", ConditionTest::Equal, "anna", Holds},
        {"Name", ConditionTest::Less, "B", Holds},
        {"Expiry", ConditionTest::Less, "2026-01-01", Holds},
        {"Expiry", ConditionTest::GreaterOrEqual, "01.07.2025", Not},
        {"Note", ConditionTest::Empty, "", Holds},
        {"Note", ConditionTest::NotEmpty, "", Not},
        {"Note", ConditionTest::Equal, "1", Not},
        {"Guard", ConditionTest::Equal, "yes", Holds},
        {"Guard", ConditionTest::Equal, "0", Not},
        {"Missing", ConditionTest::Equal, "1", ConditionOutcome::NoSuchColumn},
        {"Missing", ConditionTest::None, "", Not},
    };
    for (const auto& r : rows) {
        const HideCondition c{r.test, QLatin1String(r.column), QLatin1String(r.value)};
        QTest::newRow(
            qPrintable(conditionText(c).isEmpty() ? QStringLiteral("unset") : conditionText(c)))
            << c << r.outcome;
    }
}

void tst_TextFitting::evaluatesConditions()
{
    QFETCH(HideCondition, condition);
    QFETCH(ConditionOutcome, outcome);
    const QSqlRecord record =
        row({{QStringLiteral("Visitor"), QVariant(qlonglong(1))},
             {QStringLiteral("Name"), QVariant(QStringLiteral("Anna"))},
             {QStringLiteral("Expiry"), QVariant(QStringLiteral("2025-06-30"))},
             {QStringLiteral("Note"), QVariant(QMetaType(QMetaType::QString))},
             {QStringLiteral("Guard"), QVariant(true)}});
    QCOMPARE(evaluate(condition, record), outcome);
    QCOMPARE(conditionProblem(condition, record).isEmpty(),
             outcome != ConditionOutcome::NoSuchColumn);
}

// The companion round trip is the badge store's; here: what a damaged or newer entry gives.
void tst_TextFitting::damagedJsonGivesValuesInRange()
{
    const QJsonObject odd{{QStringLiteral("mode"), QStringLiteral("spiral")},
                          {QStringLiteral("minimumSize"), -4},
                          {QStringLiteral("maximumLines"), 1e9},
                          {QStringLiteral("decimals"), 400},
                          {QStringLiteral("case"), 7},
                          {QStringLiteral("hideWhen"),
                           QJsonObject{{QStringLiteral("test"), QStringLiteral("LIKE")}}}};
    const TextFit fit = textFitFromJson(odd);
    QVERIFY(fit.mode == FitMode::AsDesigned && fit.minimumSize == 1 && fit.maximumLines == 99);
    const FieldFormat format = fieldFormatFromJson(odd);
    QVERIFY(format.decimals == 10 && format.letterCase == LetterCase::AsStored &&
            !format.hideWhen.isSet());
    QVERIFY(toJson(TextFit()).isEmpty() && toJson(FieldFormat()).isEmpty());
}

QTEST_MAIN(tst_TextFitting)
#include "tst_TextFitting.moc"
