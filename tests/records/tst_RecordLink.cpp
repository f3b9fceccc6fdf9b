// Invariant: a record key enters a statement only as a literal, and for every valid key the record
// and picture statements are exactly the texts the system has always sent (blanks included).
// A link gives one whole record (joined row and pictures) or none at all, with a reason naming
// the table, column and value, the same on every engine; layouts are never changed, and a side
// shown without a record holds nothing of anybody.
#include "badge/BadgeSide.h"
#include "records/LinkedRecord.h"
#include "records/RecordLink.h"
#include "records/RecordQuery.h"
#include "records/RecordTableReader.h"
#include "project/ProjectSettings.h"
#include "support/AllKindsBadge.h"
#include "support/EngineRows.h"
#include "support/Skip.h"

#include <QDate>
#include <QImage>
#include <QSqlField>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(vm::ColumnKind)

namespace {

// Ada and Bob are complete; Olive's code has an apostrophe; Zed's department does not exist;
// Una's photograph file is not a picture.
const QStringList Tables = {
    R"(create table "Staff" ("StaffID" integer, "Code" varchar(10), "FirstName" varchar(30),
       "DeptNo" integer, "Hired" date, "Score" double precision, "Active" boolean,
       "Photo" varchar(40), "Note" varchar(40)))",
    R"(create table "Dept" ("No" integer, "FirstName" varchar(30), "DeptName" varchar(30),
       "Sign" varchar(40)))",
    R"(insert into "Staff" values
       (17, 'A-12', 'Ada', 1, '2020-01-02', 2.5, true, 'ada', null),
       (18, 'B-7', 'Bob', 2, '2021-03-04', 3.25, false, 'bob', 'night'),
       (19, 'O''Brien', 'Olive', 1, '2022-05-06', 4.5, null, null, null),
       (20, 'Z-20', 'Zed', 9, '2023-07-08', 5.5, null, 'zed', null),
       (21, 'U-21', 'Una', 2, '2024-09-10', 6.5, null, 'broken', null))",
    R"(insert into "Dept" values (1, 'Deptfirst', 'Research', 'sig-r'),
       (2, 'Other', 'Production', 'sig-p'))",
};

const QStringList References = {
    QStringLiteral("<Staff.FirstName>"), QStringLiteral("<Dept.FirstName>"),
    QStringLiteral("<Staff.Note>"),      QStringLiteral("<Dept.DeptName>"),
    QStringLiteral("<Staff.Missing>"),   QStringLiteral("<Staff.Score>"),
};

BadgeSide sideWithFields()
{
    BadgeSide side;
    for (const QString& reference : References) {
        Field& field = side.lblField.at(side.addField());
        field.Caption = reference;
        field.Tag = reference.mid(1, reference.size() - 2);
    }
    side.Label1.at(side.addComment()).Caption = QStringLiteral("Staff card");
    side.imgPhoto.Visible = true;
    return side;
}

QString firstName(const LinkResult& result)
{
    return result.record ? filledSide(sideWithFields(), *result.record).lblField.at(1).Caption
                         : QString();
}

// JPEG is lossy: a colour read back is near, not equal.
bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 &&
           qAbs(a.blue() - b.blue()) <= 8;
}

void writePicture(const QString& path, QColor color)
{
    QImage image(30, 40, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(path));
}

StoredSettings staff()
{
    StoredSettings s;
    s.MasterTable = QStringLiteral("Staff");
    s.UniqueField = QStringLiteral("StaffID");
    s.PhotoField = s.SignField = NoneField;
    return s;
}

RecordKey key(const QString& text, ColumnKind kind)
{
    const Result<RecordKey> made = RecordKey::fromText(text, kind);
    return made ? *made : RecordKey();
}

int rowCount(DatabaseConnection& db, const QString& table)
{
    DatabaseConnection::Selection rows =
        db.select(QStringLiteral("select count(*) from ") + db.quoteName(table));
    return rows.query.next() ? rows.query.value(0).toInt() : -1;
}

} // namespace

class tst_RecordLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keysAreLiteralsOrRefused_data();
    void keysAreLiteralsOrRefused();
    void keysFromTableValues();
    void recordStatement_data();
    void recordStatement();
    void pictureStatement_data();
    void pictureStatement();
    void fillingLeavesTheLayoutAlone();

    void initTestCase();
    void linksTheJoinedRecord_data() { addEngineRows(); }
    void linksTheJoinedRecord();
    void keysOfEveryKindFindTheirOwnRecord_data() { addEngineRows(); }
    void keysOfEveryKindFindTheirOwnRecord();
    void incompleteLinksGiveNoRecordAndSayWhy_data() { addEngineRows(); }
    void incompleteLinksGiveNoRecordAndSayWhy();
    void hostileKeysLinkNobodyAndChangeNothing_data() { addEngineRows(); }
    void hostileKeysLinkNobodyAndChangeNothing();
    void aKeyMustNameExactlyOneRow_data() { addEngineRows(); }
    void aKeyMustNameExactlyOneRow();
    void keysCompareInTheColumnsOwnType_data() { addEngineRows(); }
    void keysCompareInTheColumnsOwnType();
    void oddTableNamesListAndLink_data() { addEngineRows(); }
    void oddTableNamesListAndLink();
    void aLockedTableOrALostServerIsSaid();
    void openImageFollowsTheFallbackChain();

private:
    StoredSettings project() const;
    QTemporaryDir m_pictures;
};

void tst_RecordLink::keysAreLiteralsOrRefused_data()
{
    QTest::addColumn<ColumnKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("literal"); // empty: refused
    auto row = [](const char* name, ColumnKind kind, const QString& text, const char* literal) {
        QTest::newRow(name) << kind << text << QString::fromUtf8(literal);
    };
    const ColumnKind numeric = ColumnKind::Numeric, text = ColumnKind::Text;
    row("integer", numeric, "17", "17");
    row("blanks around a number", numeric, " 17 ", "17");
    row("negative, decimal, exponent", numeric, "-2.5e3", "-2.5e3");
    for (const char* bad : {"1 OR 1=1", "17;", "17 --", "", "0x1F", "1,000", "nan", "inf", "1e",
                            "١٧"}) // Arabic-Indic digits are no C-locale number
        QTest::newRow(qPrintable(QStringLiteral("numeric refused: ") + QString::fromUtf8(bad)))
            << numeric << QString::fromUtf8(bad) << QString();
    row("text", text, "A-12", "'A-12'");
    row("apostrophe doubled", text, "O'Brien", "'O''Brien'");
    row("statement in a text key stays inside the literal", text, "x'; drop table Staff; --",
        "'x''; drop table Staff; --'");
    row("empty text", text, "", "''");
    row("text with NUL refused", text, QStringLiteral("a") + QChar(0) + "b", "");
    row("date compared as a quoted literal", ColumnKind::Other, "2021-03-04", "'2021-03-04'");
}

void tst_RecordLink::keysAreLiteralsOrRefused()
{
    QFETCH(ColumnKind, kind);
    QFETCH(QString, text);
    QFETCH(QString, literal);
    const Result<RecordKey> made = RecordKey::fromText(text, kind);
    QCOMPARE(made.ok(), !literal.isEmpty());
    if (made) {
        QCOMPARE(made->sqlLiteral(), literal);
        QCOMPARE(made->kind(), kind);
    } else {
        QVERIFY2(made.error().contains(text), qPrintable(made.error())); // names the value
    }
}

void tst_RecordLink::keysFromTableValues()
{
    // The values a record list holds give the same keys as their shown text.
    QCOMPARE(RecordKey::fromValue(17, ColumnKind::Numeric), key("17", ColumnKind::Numeric));
    QCOMPARE(RecordKey::fromValue(3.25, ColumnKind::Numeric).sqlLiteral(), QStringLiteral("3.25"));
    QCOMPARE(RecordKey::fromValue(QDate(2021, 3, 4), ColumnKind::Other).sqlLiteral(),
             QStringLiteral("'2021-03-04'"));

    // Text stored in a numeric column, or a null, makes a key that no statement takes.
    const StoredSettings s = staff();
    for (const QVariant& value : {QVariant(QStringLiteral("1 OR 1=1")), QVariant()}) {
        const RecordKey refused = RecordKey::fromValue(value, ColumnKind::Numeric);
        QVERIFY(!refused.isValid());
        QVERIFY(refused.sqlLiteral().isEmpty());
        const Result<RecordStatements> statements = buildRecordStatements(s, refused);
        QVERIFY(!statements);
        QCOMPARE(statements.error(), refused.problem());
    }
    QVERIFY(!buildRecordStatements(s, RecordKey()));
}

void tst_RecordLink::recordStatement_data()
{
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QStringList>("relations");
    QTest::addColumn<ColumnKind>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sql");
    auto row = [](const char* name, const QStringList& children, const QStringList& relations,
                  ColumnKind kind, const char* key, const char* sql) {
        QTest::newRow(name) << children << relations << kind << QString(key) << QString(sql);
    };
    const ColumnKind numeric = ColumnKind::Numeric, text = ColumnKind::Text;
    row("no child tables", {}, {}, numeric, "17",
        "select Staff.* from Staff where Staff.[StaffID]=17");
    row("one child: two blanks after AND", {"Dept"}, {"Rel"}, numeric, "17",
        "select Staff.*,Dept.* from Staff,Dept where Rel AND  Staff.[StaffID]=17");
    row("two children", {"Dept", "Site"}, {"R1", "R2"}, numeric, "17",
        "select Staff.*,Dept.*,Site.* from Staff,Dept,Site where R1 AND R2 AND  "
        "Staff.[StaffID]=17");
    row("floating key as shown", {}, {}, numeric, "3.25",
        "select Staff.* from Staff where Staff.[StaffID]=3.25");
    row("text key", {}, {}, text, "A-12", "select Staff.* from Staff where Staff.[StaffID]='A-12'");
    row("text key with an apostrophe", {"Dept"}, {"Rel"}, text, "O'Brien",
        "select Staff.*,Dept.* from Staff,Dept where Rel AND  Staff.[StaffID]='O''Brien'");
    row("other kind with a child: quoted, relations kept", {"Dept"}, {"Rel"}, ColumnKind::Other,
        "2021-03-04",
        "select Staff.*,Dept.* from Staff,Dept where Rel AND  Staff.[StaffID]='2021-03-04'");
    row("a relation missing", {"Dept", "Site"}, {"R1"}, numeric, "1",
        "select Staff.*,Dept.*,Site.* from Staff,Dept where R1 AND  Staff.[StaffID]=1");
}

void tst_RecordLink::recordStatement()
{
    QFETCH(QStringList, children);
    QFETCH(QStringList, relations);
    QFETCH(ColumnKind, kind);
    QFETCH(QString, key);
    QFETCH(QString, sql);
    StoredSettings s = staff();
    s.DataTables = children;
    s.Relations = relations;
    const Result<RecordStatements> statements = buildRecordStatements(s, ::key(key, kind));
    QVERIFY2(statements, qPrintable(statements.error()));
    QCOMPARE(statements->recordSql, sql);
    QVERIFY(statements->pictureSql.isEmpty());
}

void tst_RecordLink::pictureStatement_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("sql");
    const QString rest = QStringLiteral(" From Staff,Dept where Rel AND  Staff.[StaffID]=17");
    QTest::newRow("both") << "Staff.Photo" << QString("Dept.Sign")
                          << "Select Staff.Photo, Dept.Sign" + rest;
    QTest::newRow("photo only") << "Staff.Photo" << QString("<None>")
                                << "Select Staff.Photo" + rest;
    QTest::newRow("neither") << "<None>" << QString("<None>") << QString();
    QTest::newRow("empty counts as none")
        << "" << QString("Staff.Sign") << "Select Staff.Sign" + rest;
}

void tst_RecordLink::pictureStatement()
{
    QFETCH(QString, photo);
    QFETCH(QString, sign);
    QFETCH(QString, sql);
    StoredSettings s = staff();
    s.DataTables = {QStringLiteral("Dept")};
    s.Relations = {QStringLiteral("Rel")};
    s.PhotoField = photo;
    s.SignField = sign;
    QCOMPARE(buildRecordStatements(s, key("17", ColumnKind::Numeric))->pictureSql, sql);
}

void tst_RecordLink::fillingLeavesTheLayoutAlone()
{
    const BadgeSide layout = sideWithFields();
    LinkedRecord record;
    for (const char* column : {"FirstName", "Dept.FirstName", "Note"}) {
        QSqlField field(QString::fromLatin1(column), QMetaType(QMetaType::QString));
        record.values.append(field);
    }
    record.values.setValue(0, QStringLiteral("Ada"));
    record.values.setValue(1, QStringLiteral("Deptfirst"));
    record.photo = QImage(4, 4, QImage::Format_RGB32);

    const BadgeSide filled = filledSide(layout, record);
    QCOMPARE(fieldCaptions(filled), (QStringList{"Ada", "Deptfirst", " ", "<Dept.DeptName>",
                                                 "<Staff.Missing>", "<Staff.Score>"}));
    QCOMPARE(filled.imgPhoto.Picture, record.photo);
    QVERIFY(filled.imgSign.Picture.isNull() && !filled.imgSign.ShowPlaceholder);
    QCOMPARE(fieldCaptions(layout), References);
    QVERIFY(layout.imgPhoto.Picture.isNull() && layout.imgPhoto.ShowPlaceholder);

    // Emptied: every field blank and both frames empty, whatever the side showed before; what
    // belongs to the design stays.
    BadgeSide shown = filled;
    shown.imgSign.Picture = record.photo;
    const BadgeSide emptied = emptiedSide(shown);
    QCOMPARE(fieldCaptions(emptied), QStringList(References.size(), QString()));
    QVERIFY(emptied.imgPhoto.Picture.isNull() && emptied.imgSign.Picture.isNull());
    QVERIFY(!emptied.imgPhoto.ShowPlaceholder && !emptied.imgSign.ShowPlaceholder);
    QVERIFY(emptied.imgPhoto.Visible);
    QCOMPARE(emptied.Label1.at(1).Caption, QStringLiteral("Staff card"));
    QCOMPARE(emptied.stackingOrder(), layout.stackingOrder());
}

void tst_RecordLink::initTestCase()
{
    QVERIFY(QDir(m_pictures.path()).mkpath(QStringLiteral("Photos")));
    QVERIFY(QDir(m_pictures.path()).mkpath(QStringLiteral("Signs")));
    writePicture(m_pictures.filePath(QStringLiteral("Photos/ada.jpg")), Qt::red);
    writePicture(m_pictures.filePath(QStringLiteral("Signs/sig-r.bmp")), Qt::blue);
    QFile broken(m_pictures.filePath(QStringLiteral("Photos/broken.jpg")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
}

StoredSettings tst_RecordLink::project() const
{
    StoredSettings s;
    s.MasterTable = QStringLiteral("Staff");
    s.UniqueField = QStringLiteral("StaffID");
    s.DataTables = {QStringLiteral("Dept")};
    s.Relations = {QStringLiteral("Staff.[DeptNo]=Dept.[No]")};
    s.PlaceImages = 1;
    s.PhotoField = QStringLiteral("Staff.Photo");
    s.SignField = QStringLiteral("Dept.Sign");
    s.PhotoDir = m_pictures.filePath(QStringLiteral("Photos/"));
    s.SignDir = m_pictures.filePath(QStringLiteral("Signs/"));
    return s;
}

#define OPEN_SCRATCH(scratch)                                                                      \
    QFETCH(DatabaseEngine, engine);                                                                \
    VM_SKIP_IF(engineUnavailable(engine));                                                         \
    ScratchDatabase scratch(engine);                                                               \
    QVERIFY2(!scratch.build(Tables).isEmpty(), qPrintable(scratch.error));

void tst_RecordLink::linksTheJoinedRecord()
{
    OPEN_SCRATCH(scratch);
    const StoredSettings settings = project();
    RecordLinker linker(scratch.connection(), settings);
    QCOMPARE(linker.keyKind(), ColumnKind::Numeric);

    const LinkResult result = linker.link(key("17", ColumnKind::Numeric));
    QCOMPARE(result.outcome, LinkOutcome::Linked);
    QVERIFY(result.message.isEmpty());
    QVERIFY(result.record);
    // The column both tables have is found under its qualified name; a null shows as one blank;
    // a column the record lacks keeps its reference.
    const BadgeSide front = filledSide(sideWithFields(), *result.record);
    QCOMPARE(fieldCaptions(front),
             (QStringList{"Ada", "Deptfirst", " ", "Research", "<Staff.Missing>", "2.5"}));

    QCOMPARE(result.record->photoPath, settings.PhotoDir + QStringLiteral("ada.jpg"));
    QCOMPARE(result.record->signPath,
             settings.SignDir + QStringLiteral("sig-r.bmp")); // .jpg, .jpeg missing
    QVERIFY(near(front.imgPhoto.Picture.pixelColor(0, 0), Qt::red));
    QVERIFY(near(front.imgSign.Picture.pixelColor(0, 0), Qt::blue));
    QVERIFY(!front.imgPhoto.ShowPlaceholder);

    // A missing picture file is no failure: the frame stays empty.
    const LinkResult bob = linker.link(key("18", ColumnKind::Numeric));
    QCOMPARE(bob.outcome, LinkOutcome::Linked);
    QCOMPARE(fieldCaptions(filledSide(sideWithFields(), *bob.record)),
             (QStringList{"Bob", "Other", "night", "Production", "<Staff.Missing>", "3.25"}));
    QVERIFY(bob.record->photo.isNull());

    // Not placing images leaves both pictures out.
    StoredSettings noPictures = settings;
    noPictures.PlaceImages = 0;
    const LinkResult textOnly =
        RecordLinker(scratch.connection(), noPictures).link(key("17", ColumnKind::Numeric));
    QCOMPARE(textOnly.outcome, LinkOutcome::Linked);
    QVERIFY(textOnly.record->photo.isNull() && textOnly.record->sign.isNull());
}

void tst_RecordLink::keysOfEveryKindFindTheirOwnRecord()
{
    OPEN_SCRATCH(scratch);
    // Each key as the record list holds it (the table's own value) and as it shows it (text).
    DatabaseConnection::Selection bob =
        scratch.connection().select(QStringLiteral("select * from \"Staff\" where \"StaffID\"=18"));
    QVERIFY(bob.query.next());
    for (const char* unique : {"Code", "Score", "Hired", "Active"}) {
        StoredSettings settings = project();
        settings.UniqueField = QString::fromLatin1(unique);
        RecordLinker linker(scratch.connection(), settings);
        const QVariant value = bob.query.record().value(settings.UniqueField);
        const RecordKey fromList = RecordKey::fromValue(value, linker.keyKind());
        QVERIFY2(fromList.isValid(), qPrintable(fromList.problem()));
        const Result<RecordKey> typed = linker.keyFromText(fromList.text());
        QVERIFY2(typed, qPrintable(typed.error()));
        for (const RecordKey& k : {fromList, *typed}) {
            const LinkResult result = linker.link(k);
            QVERIFY2(result.outcome == LinkOutcome::Linked, qPrintable(result.message));
            QCOMPARE(firstName(result), QStringLiteral("Bob"));
        }
    }

    // A text key with an apostrophe links its own record.
    StoredSettings byCode = project();
    byCode.UniqueField = QStringLiteral("Code");
    RecordLinker linker(scratch.connection(), byCode);
    QCOMPARE(linker.keyKind(), ColumnKind::Text);
    const LinkResult olive = linker.link(*linker.keyFromText(QStringLiteral("O'Brien")));
    QVERIFY2(olive.outcome == LinkOutcome::Linked, qPrintable(olive.message));
    QCOMPARE(firstName(olive), QStringLiteral("Olive"));

    // A key typed otherwise than the unique field is read as the unique field's kind.
    const LinkResult ada = RecordLinker(scratch.connection(), project())
                               .link(key(QStringLiteral("17"), ColumnKind::Text));
    QCOMPARE(firstName(ada), QStringLiteral("Ada"));
}

void tst_RecordLink::incompleteLinksGiveNoRecordAndSayWhy()
{
    OPEN_SCRATCH(scratch);
    RecordLinker linker(scratch.connection(), project());
    QCOMPARE(linker.link(key("17", ColumnKind::Numeric)).outcome, LinkOutcome::Linked);

    const struct {
        const char* key;
        LinkOutcome outcome;
        QStringList named;
    } cases[] = {
        {"20", LinkOutcome::MissingChildRow, {"Dept", "No", "\u201c9\u201d", "\u201c20\u201d"}},
        {"99", LinkOutcome::NoSuchRecord, {"Staff", "StaffID", "\u201c99\u201d"}},
        {"21", LinkOutcome::Failed, {"photograph", "broken.jpg", "\u201c21\u201d"}},
    };
    for (const auto& c : cases) {
        const LinkResult result = linker.link(key(QString::fromLatin1(c.key), ColumnKind::Numeric));
        QCOMPARE(result.outcome, c.outcome);
        QVERIFY(!result.record);
        for (const QString& name : c.named)
            QVERIFY2(result.message.contains(name), qPrintable(result.message));
    }

    // A relation the engine cannot run.
    StoredSettings broken = project();
    broken.Relations = {QStringLiteral("Staff.[NoSuchColumn]=Dept.[No]")};
    const LinkResult rejected =
        RecordLinker(scratch.connection(), broken).link(key("17", ColumnKind::Numeric));
    QCOMPARE(rejected.outcome, LinkOutcome::Rejected);
    QVERIFY(!rejected.record);
    QVERIFY2(rejected.message.contains(QStringLiteral("NoSuchColumn"), Qt::CaseInsensitive),
             qPrintable(rejected.message));

    // A photo column renamed since configuration: the fields came back, but nothing is linked.
    auto renamed = scratch.connection().execute(
        QStringLiteral("alter table \"Staff\" rename column \"Photo\" to \"Portrait\""));
    QVERIFY2(renamed.outcome == DatabaseConnection::Outcome::Ok, qPrintable(renamed.error));
    const LinkResult noPhoto = linker.link(key("17", ColumnKind::Numeric));
    QCOMPARE(noPhoto.outcome, LinkOutcome::Failed);
    QVERIFY(!noPhoto.record);
    QVERIFY2(noPhoto.message.contains(QStringLiteral("Staff.Photo")) &&
                 !noPhoto.message.contains(QStringLiteral("Dept.Sign")),
             qPrintable(noPhoto.message));
}

void tst_RecordLink::hostileKeysLinkNobodyAndChangeNothing()
{
    OPEN_SCRATCH(scratch);
    DatabaseConnection& db = scratch.connection();
    RecordLinker byNumber(db, project());
    const Result<RecordKey> widened = byNumber.keyFromText(QStringLiteral("1 OR 1=1"));
    QVERIFY(!widened);
    QVERIFY2(widened.error().contains(QStringLiteral("1 OR 1=1")) &&
                 widened.error().contains(QStringLiteral("StaffID")),
             qPrintable(widened.error()));
    const LinkResult refused =
        byNumber.link(RecordKey::fromValue(QStringLiteral("1 OR 1=1"), ColumnKind::Numeric));
    QCOMPARE(refused.outcome, LinkOutcome::Failed);
    QVERIFY(!refused.record);

    StoredSettings byCode = project();
    byCode.UniqueField = QStringLiteral("Code");
    RecordLinker linker(db, byCode);
    for (const char* hostile :
         {"x'; drop table \"Staff\"; --", "x' OR 'a'='a", "x\\' OR 1=1 --", "A-12' --"}) {
        const Result<RecordKey> k = linker.keyFromText(QString::fromLatin1(hostile));
        QVERIFY(k);
        const LinkResult result = linker.link(*k);
        QVERIFY2(result.outcome == LinkOutcome::NoSuchRecord,
                 qPrintable(hostile + QStringLiteral(": ") + result.message));
        QVERIFY(!result.record);
    }
    QCOMPARE(rowCount(db, QStringLiteral("Staff")), 5);
    QCOMPARE(rowCount(db, QStringLiteral("Dept")), 2);
}

void tst_RecordLink::aKeyMustNameExactlyOneRow()
{
    OPEN_SCRATCH(scratch);
    DatabaseConnection& db = scratch.connection();
    // Bob's code and Ada's Active flag come back on a second row; Olive's null stays unshared.
    for (
        const char* added :
        {R"(insert into "Staff" values (30, 'B-7', 'Bea', 2, '2021-01-01', 1, true, null, null))",
         R"(insert into "Staff" values (31, 'B-7', 'Ben', 7, '2021-01-01', 1, null, null, null))"}) {
        auto done = db.execute(QString::fromLatin1(added));
        QVERIFY2(done.outcome == DatabaseConnection::Outcome::Ok, qPrintable(done.error));
    }
    const struct {
        const char* unique;
        bool children;
        const char* key;
        const char* rows;
    } cases[] = {
        {"Code", false, "B-7", "3"},
        {"Code", true, "B-7", "3"}, // Ben's department is missing: counted all the same
        {"Active", false, "1", "2"},
        {"Active", true, "1", "2"},
    };
    for (const auto& c : cases) {
        StoredSettings settings = project();
        settings.UniqueField = QString::fromLatin1(c.unique);
        settings.PlaceImages = 0;
        if (!c.children)
            settings.DataTables = settings.Relations = {};
        RecordLinker linker(db, settings);
        // Active as the list shows it: 1 on SQLite, true on PostgreSQL.
        const RecordKey key =
            settings.UniqueField == QLatin1String("Active")
                ? RecordKey::fromValue(engine == DatabaseEngine::SQLite ? QVariant(1)
                                                                        : QVariant(true),
                                       linker.keyKind())
                : *linker.keyFromText(QString::fromLatin1(c.key));
        const LinkResult result = linker.link(key);
        const QString context = QStringLiteral("%1 %2: %3").arg(c.unique).arg(c.children).arg(
            result.message);
        QVERIFY2(result.outcome == LinkOutcome::SharedKey, qPrintable(context));
        QVERIFY(!result.record);
        for (const QString& named : {QStringLiteral("Staff"), key.text(), QString(c.rows)})
            QVERIFY2(result.message.contains(named), qPrintable(context));

        // Found once for a batch: the same answer, and an unshared key still links.
        const Result<QHash<QString, qint64>> shared = linker.sharedKeys();
        QVERIFY2(shared, qPrintable(shared.error()));
        QCOMPARE(shared->size(), 1);
        QCOMPARE(shared->value(key.text()), QString(c.rows).toLongLong());
        linker.setSharedKeys(*shared);
        QCOMPARE(linker.link(key).outcome, LinkOutcome::SharedKey);
    }
    StoredSettings byCode = project();
    byCode.UniqueField = QStringLiteral("Code");
    QCOMPARE(firstName(RecordLinker(db, byCode).link(key("A-12", ColumnKind::Text))),
             QStringLiteral("Ada"));
}

void tst_RecordLink::keysCompareInTheColumnsOwnType()
{
    QFETCH(DatabaseEngine, engine);
    VM_SKIP_IF(engineUnavailable(engine));
    ScratchDatabase scratch(engine);
    // Two numeric(30) keys one apart are one double; 0.1 is no real as a double. SQLite: a
    // column declared without a type holds its numbers as numbers.
    const bool pg = engine == DatabaseEngine::PostgreSQL;
    const QStringList tables =
        pg ? QStringList{R"(create table "Keys" ("R" real, "N" numeric(30), "Name" varchar(9)))",
                         R"(insert into "Keys" values (0.1, 123456789012345678901234567891, 'Ann'),
                            (1234567.9, 123456789012345678901234567890, 'Ben'))"}
           : QStringList{R"(create table "Keys" ("R" real, "U", "Name" varchar(9)))",
                         R"(insert into "Keys" values (0.1, 17, 'Ann'), (1234567.9, 2.5, 'Ben'))"};
    QVERIFY2(!scratch.build(tables).isEmpty(), qPrintable(scratch.error));
    const struct {
        const char* column;
        const char* key;
        const char* name;
    } cases[] = {
        {"R", "0.1", "Ann"},
        {"R", "1234567.9", "Ben"},
        {pg ? "N" : "U", pg ? "123456789012345678901234567891" : "17", "Ann"},
        {pg ? "N" : "U", pg ? "123456789012345678901234567890" : "2.5", "Ben"},
    };
    for (const auto& c : cases) {
        StoredSettings settings;
        settings.MasterTable = QStringLiteral("Keys");
        settings.UniqueField = QString::fromLatin1(c.column);
        settings.PhotoField = settings.SignField = NoneField;
        RecordLinker linker(scratch.connection(), settings);
        QCOMPARE(linker.keyKind(), ColumnKind::Numeric);
        const LinkResult result = linker.link(*linker.keyFromText(QString::fromLatin1(c.key)));
        QVERIFY2(result.record, qPrintable(QString::fromLatin1(c.key) + u' ' + result.message));
        QCOMPARE(result.record->values.value(QStringLiteral("Name")).toString(),
                 QString::fromLatin1(c.name));
    }
    // A number that is no value of the column names nobody, and says so.
    StoredSettings settings;
    settings.MasterTable = QStringLiteral("Keys");
    settings.UniqueField = QStringLiteral("R");
    RecordLinker linker(scratch.connection(), settings);
    const LinkResult none = linker.link(*linker.keyFromText(QStringLiteral("1e400")));
    QVERIFY2(none.outcome == LinkOutcome::NoSuchRecord, qPrintable(none.message));
}

// A keyword, an apostrophe and a dash in table names: the record list reads the master table,
// and the record links through the relations the wizard writes.
void tst_RecordLink::oddTableNamesListAndLink()
{
    QFETCH(DatabaseEngine, engine);
    VM_SKIP_IF(engineUnavailable(engine));
    ScratchDatabase scratch(engine);
    QVERIFY2(!scratch.build({R"(create table "Order" ("ID" integer, "Who" varchar(9)))",
                             R"(create table "O'Brien" ("No" integer, "Note" varchar(9)))",
                             R"(create table "Dash-Table" ("No" integer, "Code" varchar(9)))",
                             R"(insert into "Order" values (1, 'Ann'), (2, 'Bob'))",
                             R"(insert into "O'Brien" values (1, 'first'), (2, 'second'))",
                             R"(insert into "Dash-Table" values (1, 'A'), (2, 'B'))"})
                  .isEmpty(),
             qPrintable(scratch.error));
    StoredSettings s;
    s.MasterTable = QStringLiteral("Order");
    s.UniqueField = QStringLiteral("ID");
    s.DataTables = {QStringLiteral("O'Brien"), QStringLiteral("Dash-Table")};
    s.Relations = {relationText("Order", "ID", "O'Brien", "No"),
                   relationText("Order", "ID", "Dash-Table", "No")};
    const LinkResult linked =
        RecordLinker(scratch.connection(), s).link(key("2", ColumnKind::Numeric));
    QVERIFY2(linked.record, qPrintable(linked.message));
    QCOMPARE(linked.record->values.value(QStringLiteral("Who")).toString(), QStringLiteral("Bob"));
    QCOMPARE(linked.record->values.value(QStringLiteral("Note")).toString(),
             QStringLiteral("second"));
    QCOMPARE(linked.record->values.value(QStringLiteral("Code")).toString(), QStringLiteral("B"));

    int rows = 0;
    const std::atomic<bool> cancelled{false};
    const QString failed = readRecordTable(scratch.connection(), s.MasterTable, s.UniqueField,
                                           {[](const RecordTableColumns&) {},
                                            [&rows](RecordChunkPtr chunk) {
                                                rows += chunk->rowCount();
                                            }},
                                           cancelled);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QCOMPARE(rows, 2);
}

void tst_RecordLink::aLockedTableOrALostServerIsSaid()
{
    VM_SKIP_IF(engineUnavailable(DatabaseEngine::PostgreSQL));
    ScratchDatabase scratch(DatabaseEngine::PostgreSQL);
    const QString path = scratch.build(Tables);
    QVERIFY2(!path.isEmpty(), qPrintable(scratch.error));
    DatabaseConnection station;
    QVERIFY2(station.OpenProjectDatabase(path + QStringLiteral("%20-c%20lock_timeout%3D300")),
             qPrintable(station.errorText()));
    StoredSettings settings = project();
    settings.PlaceImages = 0;
    RecordLinker linker(station, settings);
    QCOMPARE(linker.link(key("17", ColumnKind::Numeric)).outcome, LinkOutcome::Linked);

    // Another session holds Dept locked: the link gives up and names it.
    DatabaseConnection& other = scratch.connection();
    QVERIFY(other.execute(QStringLiteral("begin")).outcome == DatabaseConnection::Outcome::Ok);
    QVERIFY(other.execute(QStringLiteral("lock table \"Dept\" in access exclusive mode")).outcome ==
            DatabaseConnection::Outcome::Ok);
    const LinkResult locked = linker.link(key("17", ColumnKind::Numeric));
    other.execute(QStringLiteral("rollback"));
    QCOMPARE(locked.outcome, LinkOutcome::Failed);
    QVERIFY2(locked.message.contains(QStringLiteral("\u201cDept\u201d")) &&
                 locked.message.contains(QStringLiteral("locked")),
             qPrintable(locked.message));

    // The session ended from outside (as a server restart does): said once, then connected anew.
    DatabaseConnection::Selection pid = station.select(QStringLiteral("select pg_backend_pid()"));
    QVERIFY(pid.query.next());
    QVERIFY(other.select(QStringLiteral("select pg_terminate_backend(?)"), {pid.query.value(0)})
                .outcome == DatabaseConnection::Outcome::Ok);
    const LinkResult lost = linker.link(key("17", ColumnKind::Numeric));
    QVERIFY2(lost.outcome == LinkOutcome::ConnectionLost, qPrintable(lost.message));
    QVERIFY2(lost.message.contains(QStringLiteral("lost")), qPrintable(lost.message));
    const LinkResult again = linker.link(key("17", ColumnKind::Numeric));
    QVERIFY2(again.outcome == LinkOutcome::Linked, qPrintable(again.message));
}

void tst_RecordLink::openImageFollowsTheFallbackChain()
{
    QTemporaryDir dir;
    writePicture(dir.filePath(QStringLiteral("b.jpeg")), Qt::green);
    QFile garbage(dir.filePath(QStringLiteral("d.jpg")));
    QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a picture") > 0);
    garbage.close();
    writePicture(dir.filePath(QStringLiteral("d.jpeg")), Qt::green);

    const struct {
        const char* name;
        bool first;
        const char* endsAs;
        QColor color; // invalid: no picture
    } cases[] = {
        {"b.jpg", false, "b.jpeg", Qt::green},
        {"d.jpg", false, "d.jpg", QColor()},  // unreadable: no further name is tried
        {"", false, "", QColor()},
    };
    for (const auto& c : cases) {
        QImage picture(2, 2, QImage::Format_RGB32);
        QString path = *c.name ? dir.filePath(QString::fromLatin1(c.name)) : QString();
        QCOMPARE(OpenImage(picture, path), c.first);
        QCOMPARE(path, *c.endsAs ? dir.filePath(QString::fromLatin1(c.endsAs)) : QString());
        if (c.color.isValid())
            QVERIFY2(near(picture.pixelColor(1, 1), c.color), c.name);
        else
            QVERIFY(picture.isNull());
    }
}

QTEST_GUILESS_MAIN(tst_RecordLink)
#include "tst_RecordLink.moc"
