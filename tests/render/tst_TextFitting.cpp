// Invariant: a fitted text never draws past its frame unless the fitting reports it cut or
// shortened; it shrinks no further than its minimum, loses no word when it fits, is placed where
// its alignment says, and a PDF breaks its lines where the layout does. A field shows its value in
// its format and is hidden exactly when its condition holds on the record.
#include "records/FieldFormatting.h"
#include "records/LinkedRecord.h"
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
    void pdfBreaksWhereTheLayoutDoes();
    void formatsValues_data();
    void formatsValues();
    void evaluatesConditions_data();
    void evaluatesConditions();
    void filledSideFormatsAndHides();
    void propertiesSurviveTheirJson();
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

    auto date = [](const char* pattern) {
        FieldFormat f;
        f.dateFormat = QLatin1String(pattern);
        return f;
    };
    auto number = [](int decimals, bool thousands) {
        FieldFormat f;
        f.decimals = decimals;
        f.thousands = thousands;
        return f;
    };
    FieldFormat upper, lower, titled;
    upper.letterCase = LetterCase::Upper;
    lower.letterCase = LetterCase::Lower;
    titled.prefix = QStringLiteral("Dr. ");
    titled.suffix = QStringLiteral(" (guest)");
    titled.letterCase = LetterCase::Upper;
    const QString en = QStringLiteral("en_US"), de = QStringLiteral("de_DE");

    QTest::newRow("ISO date text as dd.MM.yyyy")
        << QVariant(QStringLiteral("1995-01-20")) << date("dd.MM.yyyy") << en
        << QStringLiteral("20.01.1995");
    QTest::newRow("typed date as yyyy-MM-dd")
        << QVariant(QDate(1995, 1, 20)) << date("yyyy-MM-dd") << en << QStringLiteral("1995-01-20");
    QTest::newRow("date and time text")
        << QVariant(QStringLiteral("1995-01-20 08:30:00")) << date("dd.MM.yyyy hh:mm") << en
        << QStringLiteral("20.01.1995 08:30");
    QTest::newRow("month name in the locale") << QVariant(QDate(1995, 3, 2)) << date("d MMMM yyyy")
                                              << de << QStringLiteral("2 M\u00E4rz 1995");
    QTest::newRow("no date: as stored")
        << QVariant(QStringLiteral("soon")) << date("dd.MM.yyyy") << en << QStringLiteral("soon");
    QTest::newRow("decimals") << QVariant(QStringLiteral("3.14159")) << number(2, false) << en
                              << QStringLiteral("3.14");
    QTest::newRow("thousands") << QVariant(1234567) << number(-1, true) << en
                               << QStringLiteral("1,234,567");
    QTest::newRow("German symbols")
        << QVariant(1234.5) << number(2, true) << de << QStringLiteral("1.234,50");
    QTest::newRow("whole number beyond a double")
        << QVariant(QStringLiteral("12345678901234567")) << number(-1, true) << en
        << QStringLiteral("12,345,678,901,234,567");
    QTest::newRow("no number: as stored")
        << QVariant(QStringLiteral("n/a")) << number(2, false) << en << QStringLiteral("n/a");
    QTest::newRow("upper case") << QVariant(QStringLiteral("m\u00FCller")) << upper << de
                                << QStringLiteral("M\u00DCLLER");
    QTest::newRow("lower case") << QVariant(QStringLiteral("ANNA")) << lower << en
                                << QStringLiteral("anna");
    QTest::newRow("prefix and suffix keep their case")
        << QVariant(QStringLiteral("anna")) << titled << en << QStringLiteral("Dr. ANNA (guest)");
    QTest::newRow("empty: no prefix or suffix")
        << QVariant(QStringLiteral(" ")) << titled << en << QString();
    QTest::newRow("null: no prefix or suffix")
        << QVariant(QMetaType(QMetaType::QString)) << titled << en << QString();
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

void tst_TextFitting::filledSideFormatsAndHides()
{
    BadgeSide layout;
    Field& since = addField(layout, {100, 100}, QStringLiteral("Employee.Since"));
    since.format.dateFormat = QStringLiteral("yyyy");
    since.format.prefix = QStringLiteral("since ");
    Field& visitor = addField(layout, {100, 500}, QStringLiteral("Employee.Name"));
    visitor.format.hideWhen = {ConditionTest::Equal, QStringLiteral("Visitor"),
                               QStringLiteral("1")};
    LinkedRecord record;
    record.values = row({{QStringLiteral("Since"), QVariant(QDate(2019, 4, 1))},
                         {QStringLiteral("Name"), QVariant(QStringLiteral("Anna"))},
                         {QStringLiteral("Visitor"), QVariant(1)}});
    BadgeSide shown = filledSide(layout, record);
    QCOMPARE(shown.lblField.at(1).Caption, QStringLiteral("since 2019"));
    QVERIFY(!shown.lblField.at(2).Visible);
    record.values.setValue(QStringLiteral("Visitor"), 0);
    record.values.setNull(QStringLiteral("Since"));
    shown = filledSide(layout, record);
    QCOMPARE(shown.lblField.at(1).Caption, QStringLiteral(" ")); // no lone "since"
    QVERIFY(shown.lblField.at(2).Visible);
    QCOMPARE(shown.lblField.at(2).Caption, QStringLiteral("Anna"));
}

void tst_TextFitting::propertiesSurviveTheirJson()
{
    TextFit fit{FitMode::WrapAndShrink, 7.5f, 3, false, HorizontalAlign::Right,
                VerticalAlign::Bottom};
    QCOMPARE(textFitFromJson(toJson(fit)), fit);
    FieldFormat format;
    format.dateFormat = QStringLiteral("dd.MM.yyyy");
    format.decimals = 2;
    format.thousands = true;
    format.letterCase = LetterCase::Lower;
    format.prefix = QStringLiteral("\"Dr.\" ");
    format.suffix = QStringLiteral(" \u2022");
    format.hideWhen = {ConditionTest::GreaterOrEqual, QStringLiteral("Employee.Level"),
                       QStringLiteral("3")};
    QCOMPARE(fieldFormatFromJson(toJson(format)), format);
    // Defaults write nothing, so a badge using nothing new needs no entry.
    QVERIFY(toJson(TextFit()).isEmpty() && toJson(FieldFormat()).isEmpty());
    // A damaged or newer entry gives values within range, never ones an element cannot have.
    const QJsonObject odd{{QStringLiteral("mode"), QStringLiteral("spiral")},
                          {QStringLiteral("minimumSize"), -4},
                          {QStringLiteral("maximumLines"), 1e9},
                          {QStringLiteral("decimals"), 400},
                          {QStringLiteral("case"), 7},
                          {QStringLiteral("hideWhen"),
                           QJsonObject{{QStringLiteral("test"), QStringLiteral("LIKE")}}}};
    const TextFit readFit = textFitFromJson(odd);
    QCOMPARE(readFit.mode, FitMode::AsDesigned);
    QCOMPARE(readFit.minimumSize, 1.f);
    QCOMPARE(readFit.maximumLines, 99);
    const FieldFormat readFormat = fieldFormatFromJson(odd);
    QCOMPARE(readFormat.decimals, 10);
    QCOMPARE(readFormat.letterCase, LetterCase::AsStored);
    QVERIFY(!readFormat.hideWhen.isSet());
}

QTEST_MAIN(tst_TextFitting)
#include "tst_TextFitting.moc"
