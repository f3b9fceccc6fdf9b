// Invariant: the record and picture statements are exactly the texts the system has always sent
// (blanks included), whatever the number of child tables and the kind of the key. Linking a
// record fills both sides from the joined row of the master and child tables the same way on
// every engine, finds the pictures through the .jpg/.jpeg/.bmp chain, and a failed run changes
// nothing it had not filled yet.
#include "badge/BadgeSide.h"
#include "records/RecordLink.h"
#include "records/RecordQuery.h"
#include "support/ScratchDatabase.h"
#include "support/Skip.h"

#include <QImage>
#include <QTest>

using namespace vm;
using namespace vm::test;
using Outcome = RecordLinker::Outcome;

Q_DECLARE_METATYPE(vm::DatabaseEngine)

namespace {

const QStringList Tables = {
    R"(create table "Staff" ("StaffID" integer, "Code" varchar(10), "FirstName" varchar(30),
       "DeptNo" integer, "Hired" date, "Score" double precision, "Photo" varchar(40),
       "Note" varchar(40)))",
    R"(create table "Dept" ("No" integer, "FirstName" varchar(30), "DeptName" varchar(30),
       "Sign" varchar(40)))",
    R"(insert into "Staff" values (17, 'A-12', 'Ada', 1, '2020-01-02', 2.5, 'ada', null),
       (18, 'B-7', 'Bob', 2, '2021-03-04', 3.25, 'bob', 'night'))",
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
    side.imgPhoto.Visible = true;
    return side;
}

QStringList captions(const BadgeSide& side)
{
    QStringList texts;
    for (const auto& [index, field] : side.lblField)
        texts << field.Caption;
    return texts;
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

} // namespace

class tst_RecordLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordStatement_data();
    void recordStatement();
    void pictureStatement_data();
    void pictureStatement();
    void initTestCase();
    void linksTheJoinedRecord_data() { engines(); }
    void linksTheJoinedRecord();
    void keyKindsDecideTheCondition_data() { engines(); }
    void keyKindsDecideTheCondition();
    void failedRunsKeepWhatWasShown_data() { engines(); }
    void failedRunsKeepWhatWasShown();
    void openImageFollowsTheFallbackChain();

private:
    void engines();
    StoredSettings project() const;
    QTemporaryDir m_pictures;
};

void tst_RecordLink::recordStatement_data()
{
    QTest::addColumn<QStringList>("children");
    QTest::addColumn<QStringList>("relations");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sql");

    const int numeric = int(ColumnKind::Numeric), text = int(ColumnKind::Text),
              other = int(ColumnKind::Other);
    QTest::newRow("no child tables") << QStringList{} << QStringList{} << numeric << "17"
                                     << "select Staff.* from Staff where Staff.[StaffID]=17";
    QTest::newRow("one child: two blanks after AND")
        << QStringList{"Dept"} << QStringList{"Rel"} << numeric << "17"
        << "select Staff.*,Dept.* from Staff,Dept where Rel AND  Staff.[StaffID]=17";
    QTest::newRow("two children") << QStringList{"Dept", "Site"} << QStringList{"R1", "R2"}
                                  << numeric << "17"
                                  << "select Staff.*,Dept.*,Site.* from Staff,Dept,Site where R1 "
                                     "AND R2 AND  Staff.[StaffID]=17";
    QTest::newRow("text key") << QStringList{} << QStringList{} << text << "A-12"
                              << "select Staff.* from Staff where Staff.[StaffID]='A-12'";
    QTest::newRow("other kind with a child: master table alone")
        << QStringList{"Dept"} << QStringList{"Rel"} << other << "17"
        << "select Staff.*,Dept.* from Staff";
    QTest::newRow("a relation missing")
        << QStringList{"Dept", "Site"} << QStringList{"R1"} << numeric << "1"
        << "select Staff.*,Dept.*,Site.* from Staff,Dept where R1 AND  Staff.[StaffID]=1";
}

void tst_RecordLink::recordStatement()
{
    QFETCH(QStringList, children);
    QFETCH(QStringList, relations);
    QFETCH(int, kind);
    QFETCH(QString, key);
    QFETCH(QString, sql);
    StoredSettings s = staff();
    s.DataTables = children;
    s.Relations = relations;
    const RecordStatements statements = buildRecordStatements(s, key, ColumnKind(kind));
    QCOMPARE(statements.recordSql, sql);
    QVERIFY(statements.pictureSql.isEmpty());
}

void tst_RecordLink::pictureStatement_data()
{
    QTest::addColumn<QString>("photo");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<QString>("sql");
    const QString rest = QStringLiteral(" From Staff,Dept where Rel AND  Staff.[StaffID]=17");
    QTest::newRow("both") << "Staff.Photo"
                          << "Dept.Sign"
                          << "Select Staff.Photo, Dept.Sign" + rest;
    QTest::newRow("photo only") << "Staff.Photo"
                                << "<None>"
                                << "Select Staff.Photo" + rest;
    QTest::newRow("neither") << "<None>"
                             << "<None>" << QString();
    QTest::newRow("empty counts as none") << ""
                                          << "Staff.Sign"
                                          << "Select Staff.Sign" + rest;
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
    QCOMPARE(buildRecordStatements(s, QStringLiteral("17"), ColumnKind::Numeric).pictureSql, sql);
}

void tst_RecordLink::initTestCase()
{
    QVERIFY(QDir(m_pictures.path()).mkpath(QStringLiteral("Photos")));
    QVERIFY(QDir(m_pictures.path()).mkpath(QStringLiteral("Signs")));
    writePicture(m_pictures.filePath(QStringLiteral("Photos/ada.jpg")), Qt::red);
    writePicture(m_pictures.filePath(QStringLiteral("Signs/sig-r.bmp")), Qt::blue);
}

void tst_RecordLink::engines()
{
    QTest::addColumn<DatabaseEngine>("engine");
    QTest::newRow("SQLite") << DatabaseEngine::SQLite;
    QTest::newRow("PostgreSQL") << DatabaseEngine::PostgreSQL;
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
    if (engine == DatabaseEngine::PostgreSQL && postgresUrl().isEmpty())                           \
        VM_SKIP(noPostgresReason());                                                               \
    ScratchDatabase scratch(engine);                                                               \
    QVERIFY2(!scratch.build(Tables).isEmpty(), qPrintable(scratch.error));

void tst_RecordLink::linksTheJoinedRecord()
{
    OPEN_SCRATCH(scratch);
    const StoredSettings settings = project();
    RecordLinker linker(scratch.connection(), settings);
    BadgeSide front = sideWithFields(), back = sideWithFields();

    const RecordLinker::Result result = linker.link(QStringLiteral("17"), front, back);
    QCOMPARE(result.outcome, Outcome::Linked);
    // The column both tables have is found under its qualified name; a null shows as one blank;
    // a column the record lacks keeps its caption.
    const QStringList expected = {"Ada", "Deptfirst", " ", "Research", "<Staff.Missing>", "2.5"};
    QCOMPARE(captions(front), expected);
    QCOMPARE(captions(back), expected);

    QCOMPARE(result.photoPath, settings.PhotoDir + QStringLiteral("ada.jpg"));
    QCOMPARE(result.signPath,
             settings.SignDir + QStringLiteral("sig-r.bmp")); // .jpg, .jpeg missing
    QVERIFY(near(front.imgPhoto.Picture.pixelColor(0, 0), Qt::red));
    QVERIFY(near(back.imgSign.Picture.pixelColor(0, 0), Qt::blue));
    QVERIFY(!front.imgPhoto.ShowPlaceholder);

    // The next record overwrites the captions; its photo does not exist, so the frame empties.
    QCOMPARE(linker.link(QStringLiteral("18"), front, back).outcome, Outcome::Linked);
    QCOMPARE(captions(front),
             (QStringList{"Bob", "Other", "night", "Production", "<Staff.Missing>", "3.25"}));
    QVERIFY(front.imgPhoto.Picture.isNull());

    // Not placing images clears the pictures; the frames stay as the layout has them.
    StoredSettings noPictures = settings;
    noPictures.PlaceImages = 0;
    RecordLinker textOnly(scratch.connection(), noPictures);
    front.imgPhoto.Picture = back.imgSign.Picture = QImage(4, 4, QImage::Format_RGB32);
    front.imgPhoto.ShowPlaceholder = back.imgSign.ShowPlaceholder = true;
    QCOMPARE(textOnly.link(QStringLiteral("17"), front, back).outcome, Outcome::Linked);
    QVERIFY(front.imgPhoto.Picture.isNull() && back.imgSign.Picture.isNull());
    QVERIFY(!front.imgPhoto.ShowPlaceholder && !back.imgSign.ShowPlaceholder);
    QVERIFY(front.imgPhoto.Visible);
}

void tst_RecordLink::keyKindsDecideTheCondition()
{
    OPEN_SCRATCH(scratch);
    StoredSettings settings = project();
    const struct {
        const char* unique;
        const char* key;
        Outcome outcome;
        const char* firstName;
    } cases[] = {
        {"Code", "B-7", Outcome::Linked, "Bob"},   // text: quoted
        {"Score", "3.25", Outcome::Linked, "Bob"}, // floating: as shown, unquoted
        {"Hired", "2021-03-04", Outcome::Rejected, "<Staff.FirstName>"}, // date: no condition,
    }; // so the child table is missing from FROM
    for (const auto& c : cases) {
        settings.UniqueField = QString::fromLatin1(c.unique);
        RecordLinker linker(scratch.connection(), settings);
        BadgeSide front = sideWithFields(), back = sideWithFields();
        QCOMPARE(linker.link(QString::fromLatin1(c.key), front, back).outcome, c.outcome);
        QCOMPARE(front.lblField.at(1).Caption, QString::fromUtf8(c.firstName));
    }

    // Without child tables a key of another kind shows the first record, whatever was chosen.
    settings.DataTables.clear();
    settings.Relations.clear();
    settings.SignField = NoneField;
    settings.UniqueField = QStringLiteral("Hired");
    RecordLinker linker(scratch.connection(), settings);
    BadgeSide front = sideWithFields(), back = sideWithFields();
    QCOMPARE(linker.link(QStringLiteral("2021-03-04"), front, back).outcome, Outcome::Linked);
    QCOMPARE(front.lblField.at(1).Caption, QStringLiteral("Ada"));
}

void tst_RecordLink::failedRunsKeepWhatWasShown()
{
    OPEN_SCRATCH(scratch);
    StoredSettings settings = project();
    settings.UniqueField = QStringLiteral("Code");
    RecordLinker linker(scratch.connection(), settings);
    BadgeSide front = sideWithFields(), back = sideWithFields();
    QCOMPARE(linker.link(QStringLiteral("A-12"), front, back).outcome, Outcome::Linked);
    const QStringList shown = captions(front);
    const QImage photo = front.imgPhoto.Picture;

    // An apostrophe breaks the statement: the engine rejects it ("Error in data linking").
    const RecordLinker::Result rejected = linker.link(QStringLiteral("O'Brien"), front, back);
    QCOMPARE(rejected.outcome, Outcome::Rejected);
    QVERIFY(!rejected.error.isEmpty());
    // A key that matches no row ends the run silently.
    QCOMPARE(linker.link(QStringLiteral("Z-99"), front, back).outcome, Outcome::Ended);
    QCOMPARE(captions(front), shown);
    QCOMPARE(front.imgPhoto.Picture, photo);
}

void tst_RecordLink::openImageFollowsTheFallbackChain()
{
    QTemporaryDir dir;
    writePicture(dir.filePath(QStringLiteral("b.jpeg")), Qt::green);
    writePicture(dir.filePath(QStringLiteral("E.JPG")), Qt::yellow);
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
        {"e.jpg", true, "e.jpg", Qt::yellow}, // found without regard to case
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
