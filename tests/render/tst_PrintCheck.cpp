// Invariant: the check names what would print wrong on a badge (a missing picture where its frame
// shows, references printed for want of a record, text that is cut off, runs into its neighbour
// or off the card, a value holding characters that print nothing, a missing logo) and says nothing
// about a badge that prints as designed.
#include "render/PrintCheck.h"
#include "support/AllKindsBadge.h"

#include "common/Units.h"

#include <QSqlField>
#include <QTemporaryFile>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::BadgeSide)
Q_DECLARE_METATYPE(std::optional<vm::LinkedRecord>)

namespace {

const QSizeF Card = cardSizeTwips(Orientation::Landscape);

// A name field with a title field beside it on the same line, a photograph and a signature.
BadgeSide nameAndTitle()
{
    BadgeSide side;
    addField(side, {1980, 860}, QStringLiteral("Employee.FirstName")).FontName =
        QStringLiteral("DejaVu Sans");
    addField(side, {3600, 860}, QStringLiteral("Employee.Title")).FontName =
        QStringLiteral("DejaVu Sans");
    place(side.imgPhoto, {240, 820, 1500, 2000});
    place(side.imgSign, {1980, 2480, 1800, 450});
    return side;
}

LinkedRecord person(const QString& firstName, const QString& title)
{
    LinkedRecord record;
    for (auto [column, value] : {std::pair{"FirstName", firstName}, std::pair{"Title", title}}) {
        QSqlField field(QString::fromLatin1(column), QMetaType(QMetaType::QString));
        field.setValue(value);
        record.values.append(field);
    }
    record.photo = QImage(60, 80, QImage::Format_RGB32);
    record.sign = QImage(60, 15, QImage::Format_RGB32);
    record.photoPath = QStringLiteral("/data/Photos/17.jpg");
    record.signPath = QStringLiteral("/data/Signs/17.jpg");
    return record;
}

} // namespace

class tst_PrintCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsWhatWouldPrintWrong_data();
    void findsWhatWouldPrintWrong();
    void logosAreTheLayoutsOwnProblem();
};

void tst_PrintCheck::findsWhatWouldPrintWrong_data()
{
    QTest::addColumn<BadgeSide>("layout");
    QTest::addColumn<std::optional<LinkedRecord>>("record");
    QTest::addColumn<QStringList>("expected"); // a part of each problem, in order

    const BadgeSide layout = nameAndTitle();
    const LinkedRecord fits = person(QStringLiteral("Anna"), QStringLiteral("Nurse"));
    QTest::newRow("prints as designed") << layout << std::optional(fits) << QStringList{};

    LinkedRecord noPhoto = fits;
    noPhoto.photo = QImage();
    noPhoto.photoPath = QStringLiteral("/data/Photos/17.bmp"); // the last name tried
    QTest::newRow("photograph missing")
        << layout << std::optional(noPhoto)
        << QStringList{QStringLiteral("No photograph: /data/Photos/17.jpg, .jpeg or .bmp")};

    LinkedRecord noSign = fits;
    noSign.sign = QImage();
    BadgeSide hiddenSign = layout;
    hiddenSign.imgSign.Visible = false;
    QTest::newRow("signature missing, frame hidden")
        << hiddenSign << std::optional(noSign) << QStringList{};

    LinkedRecord noPictures = fits;
    noPictures.photo = QImage();
    noPictures.photoPath.clear(); // the project places no pictures
    QTest::newRow("no pictures placed") << layout << std::optional(noPictures) << QStringList{};

    QTest::newRow("no record")
        << layout << std::optional<LinkedRecord>()
        << QStringList{QStringLiteral("their references, such as <Employee.FirstName>"),
                       QStringLiteral("<Employee.FirstName> \"<Employee.FirstName>\" runs"),
                       QStringLiteral("<Employee.Title> \"<Employee.Title>\" runs")};

    const LinkedRecord longName =
        person(QStringLiteral("Maximiliane-Josephine"), QStringLiteral("Nurse"));
    QTest::newRow("runs into the next field")
        << layout << std::optional(longName)
        << QStringList{QStringLiteral("<Employee.FirstName> \"Maximiliane-Josephine\" runs")};

    const LinkedRecord longTitle =
        person(QStringLiteral("Anna"), QStringLiteral("Senior Security Officer, Night Shift"));
    QTest::newRow("runs off the card") << layout << std::optional(longTitle)
                                       << QStringList{QStringLiteral("past the card's right edge")};

    // Turned, a line runs along the card's height: past what stands beside it, into what is below.
    BadgeSide turned = layout;
    turned.lblField.at(1).rotation.degrees = 90;
    BadgeSide turnedAlone = turned;
    turnedAlone.imgSign.Visible = false;
    QTest::newRow("turned, clear of the field beside it")
        << turnedAlone
        << std::optional(person(QStringLiteral("Maximiliane-Josep"), QStringLiteral("Nurse")))
        << QStringList{};
    QTest::newRow("turned, runs into the signature below")
        << turned << std::optional(longName)
        << QStringList{QStringLiteral("\"Maximiliane-Josephine\" runs"),
                       QStringLiteral("past the card's bottom edge")};

    BadgeSide fixed = layout;
    fixed.lblField.at(2).AutoSize = false;
    fixed.lblField.at(2).Width = 400;
    QTest::newRow("cut off by a fixed frame")
        << fixed << std::optional(fits)
        << QStringList{QStringLiteral("<Employee.Title> \"Nurse\" is")};

    // Each class of character that prints nothing yet changes what the value says.
    const struct {
        const char* name;
        QString value;
        QString expected;
    } hidden[] = {
        {"direction override", QStringLiteral("\u202Eevil"),
         QStringLiteral(
             "<Employee.FirstName> \"evil\" holds hidden characters: U+202E (direction)")},
        {"isolate and mark", QStringLiteral("\u2067Anna\u2069\u200F"),
         QStringLiteral("U+2067 (direction), U+2069 (direction), U+200F (direction)")},
        {"nothing but a line break", QStringLiteral("\r\n"),
         QStringLiteral("U+000D (line break), U+000A (line break)")},
        {"tab and control", QStringLiteral("An\tna\u0007"),
         QStringLiteral("U+0009 (tab), U+0007 (control)")},
        {"invisible", QStringLiteral("An\u200Bna\u00AD"),
         QStringLiteral("U+200B (invisible), U+00AD (invisible)")},
    };
    for (const auto& h : hidden)
        QTest::newRow(h.name) << layout << std::optional(person(h.value, QStringLiteral("Nurse")))
                              << QStringList{h.expected};
    // Joiners shape Arabic, Persian and Indic names.
    QTest::newRow("joiners belong to the name")
        << layout
        << std::optional(person(QStringLiteral("\u0646\u200C\u0627"), QStringLiteral("Nurse")))
        << QStringList{};

    // Fitted into its frame: shrinking is no problem, losing words is.
    BadgeSide fitted = layout;
    Field& name = fitted.lblField.at(1);
    name.Width = 1500;
    name.fit.mode = FitMode::Shrink;
    QTest::newRow("fitted by shrinking") << fitted << std::optional(longName) << QStringList{};
    BadgeSide fittedUp = fitted; // turned, the frame's height is the line's length
    std::swap(fittedUp.lblField.at(1).Width, fittedUp.lblField.at(1).Height);
    fittedUp.lblField.at(1).rotation.degrees = 270;
    QTest::newRow("fitted, turned up its frame")
        << fittedUp << std::optional(longName) << QStringList{};
    const LinkedRecord longer = person(
        QStringLiteral("Maximiliane-Josephine Alexandra Konstantina"), QStringLiteral("Nurse"));
    QTest::newRow("fitted with an ellipsis")
        << fitted << std::optional(longer)
        << QStringList{QStringLiteral("<Employee.FirstName> \"Maximiliane-Josephine Alexandra "
                                      "Konstan\u2026\" is shortened with \u2026 in its frame, "
                                      "even at 6 pt")};
    name.fit.ellipsis = false;
    QTest::newRow("fitted and cut") << fitted << std::optional(longer)
                                    << QStringList{QStringLiteral("is cut off at its frame")};
    BadgeSide conditional = layout;
    conditional.lblField.at(2).format.hideWhen = {ConditionTest::Equal, QStringLiteral("Visitor"),
                                                  QStringLiteral("1")};
    QTest::newRow("condition on a column the record lacks")
        << conditional << std::optional(fits)
        << QStringList{QStringLiteral("<Employee.Title> is shown although its condition \"Visitor "
                                      "= 1\" names the column Visitor")};

    BadgeSide stacked = layout; // close lines share a little of their boxes, which is fine
    stacked.lblField.at(2).Left = 1980;
    stacked.lblField.at(2).Top = 860 + 230;
    QTest::newRow("lines set close") << stacked << std::optional(fits) << QStringList{};
}

void tst_PrintCheck::findsWhatWouldPrintWrong()
{
    QFETCH(BadgeSide, layout);
    QFETCH(std::optional<LinkedRecord>, record);
    QFETCH(QStringList, expected);
    const QStringList problems = sideProblems(layout, record, Card);
    QCOMPARE(problems.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        QVERIFY2(problems[i].contains(expected[i]), qPrintable(problems[i]));
    if (QTest::currentDataTag() == QLatin1String("runs into the next field"))
        QVERIFY(problems[0].endsWith(QStringLiteral("into <Employee.Title>")));
    if (QTest::currentDataTag() == QLatin1String("turned, runs into the signature below"))
        QVERIFY(problems[0].endsWith(QStringLiteral("into the signature")));
}

void tst_PrintCheck::logosAreTheLayoutsOwnProblem()
{
    BadgeSide side;
    addLogo(side, QStringLiteral("/data/Logo/gone.png"), {0, 0, 480, 480});
    addLogo(side, QStringLiteral("/data/Logo/here.png"), {500, 0, 480, 480}).Picture =
        QImage(4, 4, QImage::Format_RGB32);
    Logo& hidden = addLogo(side, QStringLiteral("/data/Logo/hidden.png"), {0, 500, 480, 480});
    hidden.Visible = false;
    QTemporaryFile cut; // there, but not decoded whole
    QVERIFY(cut.open());
    addLogo(side, cut.fileName(), {500, 500, 480, 480});
    QCOMPARE(
        layoutProblems(side),
        (QStringList{QStringLiteral("The logo file /data/Logo/gone.png is missing"),
                     QStringLiteral("The logo file %1 cannot be read whole").arg(cut.fileName())}));
    QVERIFY(sideProblems(side, std::nullopt, Card).isEmpty());
}

QTEST_MAIN(tst_PrintCheck)
#include "tst_PrintCheck.moc"
