// Invariant: a photograph is cropped around the face to the frame's shape and stored under the
// name the badge looks it up by, sized for the frame; the one it replaces stays as
// NAME.previous.jpg, and no failure, odd name or shared name ever changes another person's
// photograph or loses the one shown.
#include "photo/CropPlacement.h"
#include "photo/FaceFinder.h"
#include "photo/PhotoStore.h"

#include "FacePhoto.h"
#include "common/AtomicFile.h"
#include "common/PictureFiles.h"
#include "support/EngineRows.h"
#include "support/ScratchDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QImageReader>
#include <QTest>

using namespace vm;
using namespace vm::test;

Q_DECLARE_METATYPE(std::optional<QRectF>)

namespace {

const QSizeF Frame(1500, 2000); // twips: 1.04 x 1.39 inches

QByteArray digest(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

QImage picture(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A project over a scratch table Staff(Id, Photo) and a photo folder.
struct Project {
    ScratchDatabase scratch;
    QTemporaryDir dir;
    StoredSettings settings;
    DatabaseConnection db;

    explicit Project(const QStringList& rows, DatabaseEngine engine = DatabaseEngine::SQLite)
        : scratch(engine)
    {
        QStringList statements{
            QStringLiteral("create table \"Staff\" (\"Id\" integer, \"Photo\" text)")};
        for (const QString& row : rows)
            statements << QStringLiteral("insert into \"Staff\" values (%1)").arg(row);
        settings.DatabasePath = scratch.build(statements);
        settings.MasterTable = QStringLiteral("Staff");
        settings.UniqueField = QStringLiteral("Id");
        settings.PhotoField = QStringLiteral("Staff.Photo");
        settings.PlaceImages = 1;
        settings.PhotoDir = dir.filePath(QStringLiteral("Photos")) + QLatin1Char('/');
        QDir().mkpath(settings.PhotoDir);
        db.OpenProjectDatabase(settings.DatabasePath);
    }
    QString photo(const QString& name) const { return settings.PhotoDir + name; }
    Result<SavedPhoto> save(int id, const QImage& image)
    {
        const RecordKey key = RecordKey::fromValue(id, ColumnKind::Numeric);
        const Result<PhotoTarget> target = photoTarget(db, settings, key);
        if (!target)
            return target.status();
        return storePhoto(db, settings, key, *target, image, Frame);
    }
    QString value(int id)
    {
        auto row = db.select(QStringLiteral("select %1 from %2 where %3 = ?")
                                 .arg(db.quoteName("Photo"), db.quoteName("Staff"),
                                      db.quoteName("Id")),
                             {id});
        return row.query.next() ? row.query.value(0).toString() : QStringLiteral("(no row)");
    }
};

} // namespace

class tst_PhotoStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cropPutsTheFaceWhereTheFrameExpectsIt_data();
    void cropPutsTheFaceWhereTheFrameExpectsIt();
    void findsTheFaceOfARealPhotograph();
    void keepsThePreviousPhotograph();
    void namesAnEmptyValueAfterTheKey_data() { addEngineRows(); }
    void namesAnEmptyValueAfterTheKey();
    void refusesNamesThatReachAnotherPhotograph_data();
    void refusesNamesThatReachAnotherPhotograph();
    void aFailedWriteKeepsTheShownPhotograph();
};

void tst_PhotoStore::cropPutsTheFaceWhereTheFrameExpectsIt_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<std::optional<QRectF>>("face");
    QTest::addColumn<QRect>("crop");
    // 0.75: a portrait frame. Face 120 high -> crop 200 x 150, eyes (y 145.6) at 80 from its top.
    QTest::newRow("face in the open")
        << QSize(1000, 800) << std::optional<QRectF>({440, 100, 120, 120})
        << QRect(425, 66, 150, 200);
    QTest::newRow("face at the left edge")
        << QSize(1000, 800) << std::optional<QRectF>({0, 100, 120, 120}) << QRect(0, 66, 150, 200);
    QTest::newRow("face at the bottom")
        << QSize(1000, 800) << std::optional<QRectF>({440, 660, 120, 120})
        << QRect(425, 600, 150, 200);
    QTest::newRow("face larger than the picture allows")
        << QSize(300, 300) << std::optional<QRectF>({50, 20, 200, 250}) << QRect(38, 0, 225, 300);
    QTest::newRow("no face: the largest centred crop")
        << QSize(1000, 800) << std::optional<QRectF>() << QRect(200, 0, 600, 800);
    QTest::newRow("no face, tall picture")
        << QSize(300, 1000) << std::optional<QRectF>() << QRect(0, 300, 300, 400);
}

void tst_PhotoStore::cropPutsTheFaceWhereTheFrameExpectsIt()
{
    QFETCH(QSize, picture);
    QFETCH(std::optional<QRectF>, face);
    QFETCH(QRect, crop);
    QCOMPARE(cropForFace(picture, 0.75, face), crop);
}

void tst_PhotoStore::findsTheFaceOfARealPhotograph()
{
    VM_SKIP_IF(noFacePhotoReason());
    FaceFinder finder;
    QVERIFY2(finder.ok(), qPrintable(finder.error()));
    const QImage stadium(facePhotoFile());
    // The face is 37 pixels of a 548 x 342 crowd scene: only a search for small faces finds it,
    // and the one a badge photograph gets does not mistake the crowd for one.
    QVERIFY(!finder.find(stadium, BadgePhotoSearch));
    const std::optional<QRectF> face = finder.find(stadium, BroughtPhotoSearch);
    QVERIFY(face);
    QVERIFY2(face->intersects(QRectF(225, 90, 40, 40)) && face->width() < 60,
             qPrintable(QStringLiteral("face at %1,%2 size %3")
                            .arg(face->x())
                            .arg(face->y())
                            .arg(face->width())));
    // Cropped around it, the badge photograph shows the face where the frame wants it, found
    // again by the badge photograph's search.
    const QRect crop = cropForFace(stadium.size(), 0.75, face);
    const std::optional<QRectF> again = finder.find(stadium.copy(crop), BadgePhotoSearch);
    QVERIFY(again);
    QVERIFY(qAbs(again->center().x() - crop.width() / 2.0) < crop.width() * 0.1);
    QVERIFY(qAbs(again->height() / crop.height() - FaceShareOfHeight) < 0.1);
}

void tst_PhotoStore::keepsThePreviousPhotograph()
{
    Project project({QStringLiteral("17, 'emp17'")});
    const QString file = project.photo(QStringLiteral("emp17.jpg"));
    const QString previous = project.photo(QStringLiteral("emp17.previous.jpg"));
    // A 2000-pixel crop is kept at 300 ppi in the frame (313 x 417), as JPEG.
    Result<SavedPhoto> first = project.save(17, picture(1500, 2000, Qt::red));
    QVERIFY2(first, qPrintable(first.error()));
    QCOMPARE(first->file, file);
    QVERIFY(first->previous.isEmpty());
    QCOMPARE(QImageReader(file).size(), QSize(313, 417));
    QCOMPARE(QImageReader(file).format(), QByteArray("jpeg"));
    // A small crop keeps its own pixels: enlarging adds nothing.
    const QByteArray firstBytes = digest(file);
    Result<SavedPhoto> second = project.save(17, picture(90, 120, Qt::blue));
    QVERIFY2(second, qPrintable(second.error()));
    QCOMPARE(second->previous, previous);
    QCOMPARE(digest(previous), firstBytes);
    QCOMPARE(QImageReader(file).size(), QSize(90, 120));
    const QByteArray secondBytes = digest(file);
    QVERIFY(project.save(17, picture(90, 120, Qt::green)));
    QCOMPARE(digest(previous), secondBytes);

    // A photograph kept as BMP becomes the previous JPEG and gives way to the new file.
    QFile::remove(file);
    QVERIFY(picture(30, 40, Qt::yellow).save(project.photo(QStringLiteral("emp17.bmp"))));
    QVERIFY(project.save(17, picture(90, 120, Qt::blue)));
    QVERIFY(!QFile::exists(project.photo(QStringLiteral("emp17.bmp"))));
    QCOMPARE(QImageReader(previous).format(), QByteArray("jpeg"));
    const Result<FoundPicture> found = findPicture(project.settings.PhotoDir, "emp17");
    QVERIFY(found && found->path == file);
    QCOMPARE(project.value(17), QStringLiteral("emp17"));
}

void tst_PhotoStore::namesAnEmptyValueAfterTheKey()
{
    QFETCH(DatabaseEngine, engine);
    VM_SKIP_IF(engineUnavailable(engine));
    Project project({QStringLiteral("17, null"), QStringLiteral("18, ''")}, engine);
    for (const int id : {17, 18}) {
        Result<SavedPhoto> saved = project.save(id, picture(90, 120, Qt::red));
        QVERIFY2(saved, qPrintable(saved.error()));
        QVERIFY(saved->valueWritten);
        QCOMPARE(project.value(id), QString::number(id));
        QVERIFY(QFile::exists(project.photo(QString::number(id) + QStringLiteral(".jpg"))));
    }
}

void tst_PhotoStore::refusesNamesThatReachAnotherPhotograph_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("the key is another record's photo name")
        << QStringList{"17, null", "18, '17'"} << "also the photo name of another record";
    QTest::newRow("a name two records share")
        << QStringList{"17, 'visitor'", "18, 'visitor'"} << "also the photo name of another record";
    QTest::newRow("a name leading out of the folder")
        << QStringList{"17, '../17'"} << "outside the folder";
    QTest::newRow("an absolute name") << QStringList{"17, '/tmp/17'"} << "outside the folder";
    QTest::newRow("no such record") << QStringList{"18, '18'"} << "no record whose Id is";
}

void tst_PhotoStore::refusesNamesThatReachAnotherPhotograph()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, refusal);
    Project project(rows);
    const QStringList before = QDir(project.settings.PhotoDir).entryList(QDir::Files);
    const Result<SavedPhoto> saved = project.save(17, picture(90, 120, Qt::red));
    QVERIFY(!saved);
    QVERIFY2(saved.error().contains(refusal), qPrintable(saved.error()));
    QCOMPARE(QDir(project.settings.PhotoDir).entryList(QDir::Files), before);
    QVERIFY(!QFile::exists(project.dir.filePath(QStringLiteral("17.jpg"))));
}

void tst_PhotoStore::aFailedWriteKeepsTheShownPhotograph()
{
    Project project({QStringLiteral("17, 'emp17'")});
    QVERIFY(project.save(17, picture(90, 120, Qt::red)));
    const QString file = project.photo(QStringLiteral("emp17.jpg"));
    const QByteArray shown = digest(file);
    simulateWriteFault(WriteFault{100, 0});
    const Result<SavedPhoto> saved = project.save(17, picture(90, 120, Qt::blue));
    simulateWriteFault(std::nullopt);
    QVERIFY(!saved);
    QVERIFY2(saved.error().contains(QStringLiteral("disk is full")), qPrintable(saved.error()));
    QCOMPARE(digest(file), shown);
}

QTEST_GUILESS_MAIN(tst_PhotoStore)
#include "tst_PhotoStore.moc"
