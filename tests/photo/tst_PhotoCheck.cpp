// Invariant: the pre-print check judges each photograph as it prints in its frame and names the
// person, the file and the figure for each thing that would print badly: too few pixels, no face,
// a face off the middle or cut off, blur, bad exposure, damaged data. A good photograph passes.
#include "render/PhotoCheck.h"

#include "FacePhoto.h"
#include "photo/CropPlacement.h"
#include "photo/FaceFinder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

// Each pixel's channels through `f`.
template <class F> QImage mapped(QImage image, F f)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb(f(qRed(line[x])), f(qGreen(line[x])), f(qBlue(line[x])));
    }
    return image;
}

} // namespace

class tst_PhotoCheck : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void judgesRealPhotographs_data();
    void judgesRealPhotographs();

private:
    QTemporaryDir m_dir;
    QImage m_stadium;
    QRect m_crop; // the badge photograph cropped around the face
};

void tst_PhotoCheck::initTestCase()
{
    VM_SKIP_IF(noFacePhotoReason());
    m_stadium = QImage(facePhotoFile());
    FaceFinder finder;
    QVERIFY2(finder.ok(), qPrintable(finder.error()));
    const std::optional<QRectF> face = finder.find(m_stadium, BroughtPhotoSearch);
    QVERIFY(face);
    m_crop = cropForFace(m_stadium.size(), 0.75, face);
}

void tst_PhotoCheck::judgesRealPhotographs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSizeF>("frame");
    QTest::addColumn<QStringList>("problems"); // words each line says, one line a problem

    // The crop is 49 x 65 pixels: in a frame 0.22 inch wide it prints at 220 ppi.
    const QSizeF small(320, 427), large(1500, 2000);
    QTest::newRow("cropped around the face") << "good" << small << QStringList();
    QTest::newRow("in a large frame") << "good" << large << QStringList{"resolution", "47 ppi"};
    QTest::newRow("shrunk") << "shrunk" << small << QStringList{"resolution", "111 ppi"};
    QTest::newRow("blurred") << "blurred" << small << QStringList{"blurred", "sharpness"};
    QTest::newRow("darkened") << "dark" << small << QStringList{"exposure", "under-exposed"};
    QTest::newRow("bleached") << "bright" << small << QStringList{"exposure", "over-exposed"};
    QTest::newRow("a crowd scene") << "stadium" << large << QStringList{"no face"};
    QTest::newRow("face to one side") << "aside" << small << QStringList{"off the middle"};
    QTest::newRow("forehead cut off") << "cut" << small << QStringList{"cut by the frame's top edge"};
    QTest::newRow("damaged data") << "damaged" << large
                                  << QStringList{"decodes with errors", "no face"};
}

void tst_PhotoCheck::judgesRealPhotographs()
{
    QFETCH(QString, name);
    QFETCH(QSizeF, frame);
    QFETCH(QStringList, problems);
    const QImage good = m_stadium.copy(m_crop);
    QImage picture;
    if (name == QLatin1String("good"))
        picture = good;
    else if (name == QLatin1String("shrunk"))
        picture = good.scaled(good.size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else if (name == QLatin1String("blurred"))
        picture = good.scaled(good.size() / 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                      .scaled(good.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    else if (name == QLatin1String("dark"))
        picture = mapped(good, [](int v) { return v / 4; });
    else if (name == QLatin1String("bright"))
        picture = mapped(good, [](int v) { return 255 - (255 - v) / 5; });
    else if (name == QLatin1String("stadium"))
        picture = m_stadium;
    else if (name == QLatin1String("aside")) {
        // A looser crop with the face a fifth of the width left of the middle.
        QRect loose(0, 0, m_crop.width() * 8 / 5, m_crop.height() * 8 / 5);
        loose.moveCenter(m_crop.center() + QPoint(loose.width() / 5, 0));
        picture = m_stadium.copy(loose);
    } else if (name == QLatin1String("cut")) {
        // The same crop moved down a sixth: its top edge runs through the brows.
        picture = m_stadium.copy(m_crop.translated(0, m_crop.height() / 6));
    }
    QString file = m_dir.filePath(name + QStringLiteral(".jpg"));
    if (name == QLatin1String("damaged")) {
        QFile original(facePhotoFile());
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        // Coded data overwritten in the middle: the file ends as it should, the picture does not.
        for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 400; i += 7)
            bytes[i] = 0;
        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(bytes);
    } else {
        QVERIFY(picture.save(file, "JPEG", 95));
    }
    const QStringList lines = photoProblems(QStringLiteral("record \u201c17\u201d"), file, frame);
    const auto says = [&](const QString& words) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return line.contains(words); });
    };
    for (const QString& words : problems)
        QVERIFY2(says(words), qPrintable(lines.join(QLatin1Char('\n'))));
    if (problems.isEmpty())
        QVERIFY2(lines.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
    for (const QString& line : lines) {
        QVERIFY2(line.contains(QStringLiteral("record \u201c17\u201d")) && line.contains(file),
                 qPrintable(line));
    }
}

QTEST_GUILESS_MAIN(tst_PhotoCheck)
#include "tst_PhotoCheck.moc"
