// Invariant: a folder import takes each file whose name is exactly one person's key or photo
// value, crops it to the badge's frame and stores it as a saved photograph; it takes nothing that
// could belong to someone else (a name two people answer to, two files for one person), replaces
// nothing unless asked, writes nothing in a dry run, and reports every file and person left over.
#include "photo/PhotoImport.h"

#include "FacePhoto.h"
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "support/Commands.h"
#include "support/ScratchDatabase.h"

#include <QImageReader>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

QStringList keysOf(const QList<PhotoImportReport::Match>& matches)
{
    QStringList keys;
    for (const PhotoImportReport::Match& m : matches)
        keys << m.file + QStringLiteral(">") + m.key;
    return keys;
}

QImage plain(QColor colour)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class tst_PhotoImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void takesOnlyWhatIsPlainlySomeonesPhotograph();
    void commandReportsAndExitsAsPrintDoes();
};

void tst_PhotoImport::takesOnlyWhatIsPlainlySomeonesPhotograph()
{
    VM_SKIP_IF(noFacePhotoReason());
    ScratchDatabase scratch(DatabaseEngine::SQLite);
    QTemporaryDir dir;
    StoredSettings project;
    // 6's photo name is 1's key: a file "1.jpg" could be either's.
    project.DatabasePath = scratch.build(
        {"create table Staff (Id integer, Photo text)",
         "insert into Staff values (1, 'ann'), (2, null), (3, 'cy'), (4, 'dee'), (5, 'eve'), "
         "(6, '1')"});
    QVERIFY2(!project.DatabasePath.isEmpty(), qPrintable(scratch.error));
    project.MasterTable = QStringLiteral("Staff");
    project.UniqueField = QStringLiteral("Id");
    project.PhotoField = QStringLiteral("Staff.Photo");
    project.PlaceImages = 1;
    project.PhotoDir = dir.filePath(QStringLiteral("Photos/"));
    QDir().mkpath(project.PhotoDir);
    QVERIFY(plain(Qt::gray).save(project.PhotoDir + QStringLiteral("eve.jpg")));

    const QString in = dir.filePath(QStringLiteral("in"));
    QDir().mkpath(in);
    QVERIFY(QFile::copy(facePhotoFile(), in + QStringLiteral("/ann.jpg")));
    QVERIFY(plain(Qt::red).save(in + QStringLiteral("/2.png")));
    QVERIFY(plain(Qt::blue).save(in + QStringLiteral("/3.jpg")));
    QVERIFY(plain(Qt::blue).save(in + QStringLiteral("/cy.bmp")));
    QVERIFY(plain(Qt::green).save(in + QStringLiteral("/eve.jpg")));
    QVERIFY(plain(Qt::green).save(in + QStringLiteral("/1.jpg")));
    QVERIFY(plain(Qt::green).save(in + QStringLiteral("/stranger.jpeg")));
    QVERIFY(plain(Qt::green).save(in + QStringLiteral("/Ann.jpg"))); // another name: letters differ
    QFile notes(in + QStringLiteral("/notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));

    PhotoImportRequest request;
    request.folder = in;
    request.dryRun = true;
    const QStringList before = QDir(project.PhotoDir).entryList(QDir::Files);
    const PhotoImportReport dry = importPhotos(project, request);
    QVERIFY2(!dry.failed(), qPrintable(describeImport(dry, true).join('\n')));
    QCOMPARE(QDir(project.PhotoDir).entryList(QDir::Files), before);

    request.dryRun = false;
    const PhotoImportReport done = importPhotos(project, request);
    QVERIFY2(!done.failed(), qPrintable(describeImport(done, false).join('\n')));
    for (const PhotoImportReport* report : {&dry, &done}) {
        QCOMPARE(keysOf(report->imported), (QStringList{"ann.jpg>1", "2.png>2"}));
        QCOMPARE(keysOf(report->kept), QStringList{"eve.jpg>5"});
        QCOMPARE(report->duplicates, QStringList{"\u201c3\u201d: 3.jpg, cy.bmp"});
        QCOMPARE(report->unmatched.size(), 3);
        QVERIFY(report->unmatched.first().startsWith(QStringLiteral("1.jpg: the name belongs to")));
        QCOMPARE(report->unmatched.mid(1), (QStringList{"Ann.jpg", "stranger.jpeg"}));
        QCOMPARE(report->withoutPhoto, (QStringList{"3", "4", "6"}));
    }
    // Cropped to the frame's shape (no badge shows one: 26 x 35 mm) around the face found.
    const QSize ann = QImageReader(project.PhotoDir + QStringLiteral("ann.jpg")).size();
    QVERIFY2(qAbs(double(ann.width()) / ann.height() - 1474.0 / 1984) < 0.02,
             qPrintable(QStringLiteral("%1 x %2").arg(ann.width()).arg(ann.height())));
    QVERIFY(ann.height() < 150);
    QVERIFY(!done.imported[0].note.contains(QStringLiteral("no face found")));
    QVERIFY2(done.imported[0].note.contains(QStringLiteral(" ppi in the frame")),
             qPrintable(done.imported[0].note));
    QVERIFY(done.imported[1].note.contains(QStringLiteral("no face found")));
    QVERIFY(done.imported[1].note.contains(QStringLiteral("written into Staff.Photo")));
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(project.DatabasePath));
    auto value = db.select(QStringLiteral("select Photo from Staff where Id = 2"));
    QVERIFY(value.query.next());
    QCOMPARE(value.query.value(0).toString(), QStringLiteral("2"));

    // Asked to, it replaces what people have, keeping what was there; cancelled after the
    // first, that one is written and the files left are named.
    request.replace = true;
    std::atomic<bool> cancel = false;
    request.cancel = &cancel;
    const PhotoImportReport cancelled = importPhotos(project, request, [&](int done, int) {
        cancel = done == 1;
    });
    QCOMPARE(keysOf(cancelled.imported), QStringList{"ann.jpg>1"});
    QCOMPARE(cancelled.notDone, (QStringList{"2.png", "eve.jpg"}));
    QVERIFY(QFile::exists(project.PhotoDir + QStringLiteral("ann.previous.jpg")));
    QVERIFY(!QFile::exists(project.PhotoDir + QStringLiteral("eve.previous.jpg")));
    QVERIFY(describeImport(cancelled, false)
                .contains(QStringLiteral("Not imported, as the import was cancelled (2):")));
    cancel = false;
    const PhotoImportReport replaced = importPhotos(project, request);
    QVERIFY(keysOf(replaced.imported).contains(QStringLiteral("eve.jpg>5")));
    QVERIFY(!replaced.cancelled());
    QVERIFY(QFile::exists(project.PhotoDir + QStringLiteral("eve.previous.jpg")));
}

void tst_PhotoImport::commandReportsAndExitsAsPrintDoes()
{
    QTemporaryDir dir;
    DemoOptions few;
    few.people = 4;
    few.everyPicture = true;
    QString error;
    const QString project = createDemoProject(dir.filePath(QStringLiteral("demo")), few, &error);
    QVERIFY2(!project.isEmpty(), qPrintable(error));
    const QString in = dir.filePath(QStringLiteral("in"));
    QDir().mkpath(in);
    QVERIFY(plain(Qt::red).save(in + QStringLiteral("/2.jpg")));
    QVERIFY(plain(Qt::red).save(in + QStringLiteral("/9.jpg")));
    const QString photos = QStringLiteral(VELLUMARK_PHOTOS);

    const Run kept = runCommand(photos, {"import", project, in});
    QCOMPARE(kept.exitCode, 0);
    QVERIFY2(kept.output.contains(QStringLiteral("Kept: these people have a photograph already; "
                                                 "replace to overwrite (1):")) &&
                 kept.output.contains(QStringLiteral("  9.jpg")),
             qPrintable(kept.output.join('\n')));
    const Run replaced = runCommand(photos, {"import", project, in, "--replace", "--dry-run"});
    QCOMPARE(replaced.exitCode, 0);
    QVERIFY2(replaced.output.contains(QStringLiteral("Would import (1):")),
             qPrintable(replaced.output.join('\n')));
    const Run noFolder = runCommand(photos, {"import", project, dir.filePath("none")});
    QCOMPARE(noFolder.exitCode, 1);
    QVERIFY2(noFolder.errors.contains(QStringLiteral("is not a folder")),
             qPrintable(noFolder.errors));
    QCOMPARE(runCommand(photos, {"import", project}).exitCode, 2);
    QCOMPARE(runCommand(photos, {"export", project, in}).exitCode, 2);
    QCOMPARE(runCommand(photos, {"import", project, in, "--badge", "Nobody"}).exitCode, 1);
}

QTEST_MAIN(tst_PhotoImport)
#include "tst_PhotoImport.moc"
