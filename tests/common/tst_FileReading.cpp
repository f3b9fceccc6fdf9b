// Invariant: every reader (project, badge, logo, photograph, Access file) opens only regular files
// of a plausible size, so a FIFO, a device or a runaway file is refused at once. A record's
// picture is its own file: found by its exact name (only the ending's letter case may differ),
// inside its folder, looked up without listing the folder, decoded whole or refused, and never
// larger than a print needs.
#include "badge/BadgeFile.h"
#include "common/PictureFiles.h"
#include "common/ReadFile.h"
#include "project/Database.h"
#include "project/ProjectFile.h"
#include "support/AllKindsBadge.h"
#include "support/StatusChecks.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(vm::DecodeFit)

using namespace vm;
using namespace vm::test;

namespace {

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QImage filled(QColor color, QSize size = {40, 30})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file of the kind named at `path`: a FIFO, a link to /dev/zero, or a sparse file one byte
// over `limit`.
bool makeOddFile(const QString& kind, const QString& path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo"))
        return ::mkfifo(name.constData(), 0600) == 0;
    if (kind == QLatin1String("zero"))
        return QFile::link(QStringLiteral("/dev/zero"), path);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(limit + 1);
}

bool near(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 &&
           qAbs(a.blue() - b.blue()) <= 8;
}

} // namespace

class tst_FileReading : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void everyReaderRefusesWhatIsNoFile_data();
    void everyReaderRefusesWhatIsNoFile();
    void picturesAreTheirOwnFileInTheirFolder_data();
    void picturesAreTheirOwnFileInTheirFolder();
    void lookingUpNeverListsTheFolder();
    void bigPicturesDecodeAtTheSizeNeeded_data();
    void bigPicturesDecodeAtTheSizeNeeded();

private:
    QTemporaryDir m_dir;
    QString m_photos;
};

void tst_FileReading::initTestCase()
{
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Photos")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Other")));
    m_photos = m_dir.filePath(QStringLiteral("Photos/"));
    const QByteArray jpeg = encoded(filled(Qt::red, {400, 300}), "jpeg");
    const QByteArray bmp = encoded(filled(Qt::red), "bmp");
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"ab.jpg", jpeg},
        {"AB.jpg", encoded(filled(Qt::blue), "jpeg")},
        {"GH.jpg", encoded(filled(Qt::blue), "jpeg")},
        {"SS.jpg", encoded(filled(Qt::blue), "jpeg")},
        {"ss.jpg", encoded(filled(Qt::blue), "jpeg")},
        {"cd.JPG", encoded(filled(Qt::green), "jpeg")},
        {"ef.bmp", encoded(filled(Qt::yellow), "bmp")},
        {"pr.jpg", encoded(filled(Qt::green, {400, 300}), "jpeg", true)},
        {"cut.jpg", jpeg.left(jpeg.size() * 2 / 3)},
        {"cutbmp.bmp", bmp.left(bmp.size() / 2)},
        {"garbage.jpg", "not a picture"},
        {"../Other/2.jpg", encoded(filled(Qt::blue), "jpeg")},
    };
    for (const auto& f : files)
        QVERIFY(write(m_photos + QLatin1String(f.name), f.bytes));
    QVERIFY(QFile::link(QStringLiteral("ab.jpg"), m_photos + QStringLiteral("link-in.jpg")));
    QVERIFY(
        QFile::link(QStringLiteral("../Other/2.jpg"), m_photos + QStringLiteral("link-out.jpg")));
}

void tst_FileReading::everyReaderRefusesWhatIsNoFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("/dev/zero") << "zero";
    QTest::newRow("oversized file") << "huge";
}

// Before, each of these read for ever or until memory ran out.
void tst_FileReading::everyReaderRefusesWhatIsNoFile()
{
    QFETCH(QString, kind);
    const QString base = m_photos + kind;
    auto odd = [&](const char* ending, qint64 limit) {
        const QString path = base + QLatin1String(ending);
        return makeOddFile(kind, path, limit) ? path : QString();
    };

    const QString project = odd(".Prj", TextFileLimit);
    QVERIFY(!project.isEmpty());
    const Result<StoredSettings> settings = ReadProjectFile(project);
    QVERIFY(!settings);
    QVERIFY2(settings.error().contains(project), qPrintable(settings.error()));

    const QString badge = odd(".Lyt", TextFileLimit);
    QVERIFY(!badge.isEmpty());
    const BadgeLayoutRead layout = loadBadgeLayout(badge, QStringLiteral("P"), QStringLiteral("d"),
                                                   FieldTagRule::TableAndColumn);
    QCOMPARE(layout.status, LoadStatus::CannotOpen);
    QVERIFY2(layout.errorText.contains(badge), qPrintable(layout.errorText));

    BadgeSide side;
    const QString logo = odd(".png", PictureFileLimit);
    QVERIFY(!logo.isEmpty());
    addLogo(side, logo, {0, 0, 480, 480});
    QCOMPARE(loadLogoPictures(side), QStringList{logo});

    QVERIFY(!odd(".jpg", PictureFileLimit).isEmpty());
    const Result<FoundPicture> photo = findPicture(m_photos, kind);
    QVERIFY(!photo);
    QVERIFY2(photo.error().contains(kind + QStringLiteral(".jpg")), qPrintable(photo.error()));

    const QString access = odd(".mdb", DatabaseFileLimit);
    QVERIFY(!access.isEmpty());
    DatabaseConnection db;
    QVERIFY(!db.OpenProjectDatabase(access));
    QVERIFY2(db.errorText().contains(access), qPrintable(db.errorText()));
}

void tst_FileReading::picturesAreTheirOwnFileInTheirFolder_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("found");   // empty: none
    QTest::addColumn<QString>("refusal"); // a part of the message; empty: not refused
    const auto row = [](const char* name, const QString& value, const char* found,
                        const QString& refusal) {
        QTest::newRow(name) << value << QString::fromLatin1(found) << refusal;
    };
    row("own name", "ab", "ab.jpg", {});
    row("another name in other letters", "gh", "", {});
    row("sharp s is not SS", QStringLiteral("ß"), "", {});
    row("ending in capitals", "cd", "cd.JPG", {});
    row("a later ending", "ef", "ef.bmp", {});
    row("progressive JPEG", "pr", "pr.jpg", {});
    row("link inside the folder", "link-in", "link-in.jpg", {});
    row("parent folder", "../Other/2", "", "\u201c../Other/2\u201d names a file outside");
    const QString elsewhere = m_dir.filePath(QStringLiteral("Other/2"));
    row("absolute path", elsewhere, "", elsewhere + "\u201d names a file outside");
    row("link out of the folder", "link-out", "", "link-out.jpg leads by a link out");
    row("JPEG cut short", "cut", "", "cut.jpg is cut short");
    row("BMP cut short", "cutbmp", "", "cutbmp.bmp is cut short");
    row("not a picture", "garbage", "", "garbage.jpg cannot be decoded");
}

void tst_FileReading::picturesAreTheirOwnFileInTheirFolder()
{
    QFETCH(QString, value);
    QFETCH(QString, found);
    QFETCH(QString, refusal);
    // Reading only the header refuses what a decode refuses.
    for (const QSize decodeSize : {QSize(), PictureHeaderOnly}) {
        const Result<FoundPicture> picture = findPicture(m_photos, value, decodeSize);
        if (!refusal.isEmpty()) {
            QVERIFY(!picture);
            QVERIFY2(picture.error().contains(refusal), qPrintable(picture.error()));
            continue;
        }
        VM_VERIFY_OK(picture);
        if (found.isEmpty()) {
            QVERIFY(picture->picture.isNull());
            QCOMPARE(picture->path, m_photos + value + QStringLiteral(".bmp")); // the last tried
            continue;
        }
        QCOMPARE(picture->path, m_photos + found);
        QVERIFY(!picture->picture.isNull());
        if (decodeSize != PictureHeaderOnly)
            QVERIFY(!near(picture->picture.pixelColor(1, 1), Qt::blue)); // nobody else's
    }
}

// A missing picture beside 100,000 files once cost seconds a person: the folder was listed to
// find the name in other letters.
void tst_FileReading::lookingUpNeverListsTheFolder()
{
    const int watcher = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watcher >= 0);
    const int watch = inotify_add_watch(watcher, QFile::encodeName(m_photos).constData(), IN_OPEN);
    QVERIFY(watch >= 0);
    for (const char* value : {"nobody", "cd", "ef"})
        VM_VERIFY_OK(findPicture(m_photos, QString::fromLatin1(value)));
    QImage picture;
    QString path = m_photos + QStringLiteral("nobody.jpg");
    QVERIFY(!OpenImage(picture, path));

    alignas(inotify_event) char events[4096];
    const ssize_t got = ::read(watcher, events, sizeof events);
    int folderOpened = 0;
    for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        if (event->len == 0 && (event->mask & IN_ISDIR)) // the folder itself, not a file in it
            ++folderOpened;
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    ::close(watcher);
    QCOMPARE(folderOpened, 0);
}

void tst_FileReading::bigPicturesDecodeAtTheSizeNeeded_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("frame"); // pixels a print needs; none: as the window reads it
    QTest::addColumn<DecodeFit>("fit");
    // Each needs more than Qt's 128 MB to decode whole.
    const QString photo = m_dir.filePath(QStringLiteral("Other/big.jpg"));
    const QString logo = m_dir.filePath(QStringLiteral("Other/big16.png"));
    if (!QFile::exists(photo)) {
        QVERIFY(write(photo, encoded(filled(Qt::red, {7000, 5000}), "jpeg")));
        QImage deep(5000, 5000, QImage::Format_RGBA64);
        deep.fill(Qt::red);
        QVERIFY(write(logo, encoded(deep, "png")));
    }
    const QString small = m_dir.filePath(QStringLiteral("Other/600x800.jpg"));
    if (!QFile::exists(small))
        QVERIFY(write(small, encoded(filled(Qt::red, {600, 800}), "jpeg")));
    const auto exact = DecodeFit::Exact;
    QTest::newRow("35-megapixel photograph, window") << photo << QSize() << exact;
    QTest::newRow("35-megapixel photograph, print") << photo << QSize(1000, 700) << exact;
    QTest::newRow("16-bit logo 5000 x 5000") << logo << QSize() << exact;
    QTest::newRow("35-megapixel photograph, a frame beyond any card")
        << photo << QSize(65536, 65536) << exact;
    QTest::newRow("photograph in a frame, print") << small << QSize(100, 134) << exact;
    QTest::newRow("photograph in a frame, screen") << small << QSize(100, 134) << DecodeFit::Screen;
}

void tst_FileReading::bigPicturesDecodeAtTheSizeNeeded()
{
    QFETCH(QString, file);
    QFETCH(QSize, frame);
    QFETCH(DecodeFit, fit);
    const Result<QImage> picture = readPicture(file, frame, fit);
    VM_VERIFY_OK(picture);
    QVERIFY(picture->depth() <= 32);
    QVERIFY(near(picture->pixelColor(10, 10), Qt::red));
    const QSize size = picture->size();
    if (!frame.isValid()) { // sharp on any frame of the card, at 600 to 1200 dpi
        const int longest = std::max(size.width(), size.height());
        QVERIFY2(longest <= LargestPictureSide && longest >= LargestPictureSide / 2,
                 qPrintable(QString::number(longest)));
        return;
    }
    // Qt's allocation limit is raised for the program: no decode grows past its usual 128 MB.
    if (frame.width() > 20000) {
        QVERIFY(qint64(size.width()) * size.height() * 4 <= qint64(128) << 20);
        return;
    }
    // At least as sharp as the frame prints; on paper no larger (a PDF keeps every pixel), on the
    // screen at a size the decoder makes without resampling.
    const QString got = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
    QVERIFY2(size.width() >= frame.width() * 0.95, qPrintable(got));
    if (fit == DecodeFit::Exact) {
        QVERIFY2(size.width() <= frame.width() * 1.05, qPrintable(got));
    } else {
        const QSize full = QImageReader(file).size();
        QVERIFY2(size.width() * 8 % full.width() == 0 && size.width() <= frame.width() * 2,
                 qPrintable(got));
    }
}

QTEST_GUILESS_MAIN(tst_FileReading)
#include "tst_FileReading.moc"
