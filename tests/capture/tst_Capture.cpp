// Invariant: a picture taken for a person (camera or file) is cropped to the badge frame's
// aspect, saved as that person's picture with the old one kept, and shown at once for that
// person only; whatever goes wrong with a camera is said in the operator's words and a picture
// file can still be taken.
#include "capture/CropView.h"
#include "capture/LiveView.h"
#include "capture/frmCapture.h"
#include "capture/frmCrop.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"
#include "render/RenderingWindow.h"
#include "support/Controls.h"
#include "support/DemoWindow.h"
#include "support/RecordedCamera.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace vm;
using namespace vm::test;

namespace {

// A real face photograph shipped with Debian's OpenCV documentation.
const QString FacePhoto = QStringLiteral("/usr/share/doc/opencv-doc/examples/data/messi5.jpg");
// The player's face in that photograph (brows to chin), and the part a camera at the desk would
// see of him, in full HD frames.
const QRect FaceInPhoto(228, 92, 34, 38);
const QRect Shot(130, 30, 240, 135);
const QSize FrameSize(1920, 1080);

// Two pictures of one scene at any sizes: alike at 16 × 16 pixels.
bool looksAlike(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull())
        return false;
    const QImage x = a.scaled(16, 16).convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(16, 16).convertToFormat(QImage::Format_RGB32);
    int difference = 0;
    for (int row = 0; row < 16; ++row) {
        for (int column = 0; column < 16; ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            difference +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return difference / (16 * 16 * 3) < 12;
}

} // namespace

class tst_Capture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cropKeepsItsAspectInsideThePicture_data();
    void cropKeepsItsAspectInsideThePicture();
    void cameraTroubleInTheOperatorsWords();
    void takenCroppedSavedAndShownForThatPersonOnly_data();
    void takenCroppedSavedAndShownForThatPersonOnly();
    void noCameraOrOneThatVanishesLeavesFromFile_data();
    void noCameraOrOneThatVanishesLeavesFromFile();

private:
    void choosePerson(int position);
    template <class Window> Window* shown(const char* name) const;

    QTemporaryDir m_dir;
    QString m_project;
    QString m_video;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<mainMdi> m_window;
    frmData* m_browser = nullptr;
    RecordedCamera* m_camera = nullptr; // the one the capture window opened last
};

void tst_Capture::initTestCase()
{
    if (!QFile::exists(FacePhoto))
        QSKIP("opencv-doc is not installed: no face photograph to take");
    DemoOptions options;
    options.people = 6;
    options.photoSize = {120, 160};
    m_project = demoProject(m_dir.filePath(QStringLiteral("demo")), options);
    QVERIFY(!m_project.isEmpty());
    // A camera's view of the player: the same shot three times, seconds apart (longer than a
    // case keeps the camera), so whichever frame is captured the picture is the same.
    const QImage shot = QImage(FacePhoto).copy(Shot).scaled(FrameSize, Qt::IgnoreAspectRatio,
                                                            Qt::SmoothTransformation);
    m_video = m_dir.filePath(QStringLiteral("camera.avi"));
    QFile video(m_video);
    QVERIFY(video.open(QIODevice::WriteOnly));
    video.write(motionJpegAvi({shot, shot, shot}, 10000));
}

void tst_Capture::init()
{
    m_window = openMainWindow(m_dialogs, m_project);
    QVERIFY(m_window);
    m_window->setCameras({[] {
                              return QList<CameraChoice>{{"test", "Test camera"}};
                          },
                          [this](const CameraChoice&) {
                              auto camera = std::make_unique<RecordedCamera>(m_video);
                              m_camera = camera.get();
                              return camera;
                          }});
    m_window->openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    m_window->mnuReclist->trigger();
    m_browser = m_window->findChild<frmData*>(QStringLiteral("frmData"));
    QVERIFY(m_browser);
    QSignalSpy finished(m_browser->records(), &RecordListModel::loadFinished);
    QVERIFY(!m_browser->records()->isLoading() || finished.wait(30000));
}

void tst_Capture::cleanup()
{
    m_camera = nullptr;
    m_window.reset();
}

// Chosen, and read aside until the views show him.
void tst_Capture::choosePerson(int position)
{
    m_browser->Lst->setCurrentIndex(m_browser->records()->index(position, 0));
    QTRY_VERIFY(!m_browser->isLinking() && m_window->frmFront()->record());
}

template <class Window> Window* tst_Capture::shown(const char* name) const
{
    auto* window = qobject_cast<Window*>(m_window->loadedWindow(QString::fromLatin1(name)));
    return window && window->isVisible() ? window : nullptr;
}

void tst_Capture::cropKeepsItsAspectInsideThePicture_data()
{
    QTest::addColumn<double>("aspect");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QRectF>("expected");
    // A 400 × 300 picture; a portrait crop starts as the largest one, centred.
    QTest::newRow("largest, centred") << 0.75 << "" << QRectF(87.5, 0, 225, 300);
    QTest::newRow("wide, centred") << 4.0 << "" << QRectF(0, 100, 400, 100);
    QTest::newRow("moved past the edge stops there") << 0.75 << "move" << QRectF(175, 0, 225, 300);
    QTest::newRow("corner dragged in, opposite stays")
        << 0.75 << "corner in" << QRectF(87.5, 0, 75, 100);
    QTest::newRow("corner dragged out stops at the edge")
        << 0.75 << "corner out" << QRectF(87.5, 0, 225, 300);
    QTest::newRow("corner dragged across stays the smallest")
        << 0.75 << "corner across" << QRectF(87.5, 0, 12, 16);
    QTest::newRow("too large shrinks, then moves inside")
        << 0.75 << "too large" << QRectF(175, 0, 225, 300);
    QTest::newRow("smaller and moved by keys")
        << 0.75 << "keys" << QRectF(96.86, 14.29, 214.29, 285.71);
}

void tst_Capture::cropKeepsItsAspectInsideThePicture()
{
    QFETCH(double, aspect);
    QFETCH(QString, change);
    QFETCH(QRectF, expected);
    CropView view;
    view.resize(400, 300);
    QImage picture(400, 300, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    view.setPicture(picture, aspect);
    CropBox& box = view.box();
    if (change == QLatin1String("move"))
        box.moveBy({500, -40});
    else if (change == QLatin1String("corner in"))
        box.dragCorner(Qt::BottomRightCorner, {120, 100});
    else if (change == QLatin1String("corner out"))
        box.dragCorner(Qt::BottomRightCorner, {900, 900});
    else if (change == QLatin1String("corner across"))
        box.dragCorner(Qt::BottomRightCorner, {10, -50});
    else if (change == QLatin1String("too large"))
        box.setRect({-100, -100, 900, 1200});
    else if (change == QLatin1String("keys")) {
        QTest::keyClick(&view, Qt::Key_Minus);
        QTest::keyClick(&view, Qt::Key_Right);
        QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
    }
    const QRectF crop = box.rect();
    QVERIFY2(qAbs(crop.left() - expected.left()) < 1 && qAbs(crop.top() - expected.top()) < 1 &&
                 qAbs(crop.width() - expected.width()) < 1 &&
                 qAbs(crop.height() - expected.height()) < 1,
             qPrintable(QStringLiteral("%1,%2 %3x%4")
                            .arg(crop.left())
                            .arg(crop.top())
                            .arg(crop.width())
                            .arg(crop.height())));
    QVERIFY(QRectF(0, 0, 400, 300).contains(crop));
    QVERIFY(qAbs(crop.width() / crop.height() - aspect) < 1e-9);
}

// A camera in use, one that gives nothing and one unplugged each say what to do, and that a
// file can be taken instead.
void tst_Capture::cameraTroubleInTheOperatorsWords()
{
    const QString busy = cameraProblem(QStringLiteral("Desk"), QStringLiteral("Device is busy"));
    const QString silent = cameraProblem(QStringLiteral("Desk"), QString());
    const QString gone = cameraGone(QStringLiteral("Desk"));
    QVERIFY2(busy.contains(QLatin1String("in use by another program")), qPrintable(busy));
    QVERIFY2(busy.endsWith(QLatin1String("(Device is busy)")), qPrintable(busy));
    QVERIFY2(silent.contains(QLatin1String("gives no picture")), qPrintable(silent));
    QVERIFY2(gone.contains(QLatin1String("no longer there")), qPrintable(gone));
    for (const QString& said : {busy, silent, gone}) {
        QVERIFY(said.contains(QStringLiteral("\u201cDesk\u201d")));
        QVERIFY(said.contains(QStringLiteral("\u201cFrom file\u2026\u201d")));
    }
}

void tst_Capture::takenCroppedSavedAndShownForThatPersonOnly_data()
{
    QTest::addColumn<bool>("photo");
    QTest::newRow("photograph") << true;
    QTest::newRow("signature") << false;
}

// Take → Capture → Crop → Save through the windows, with the camera's pictures played from a
// video: the file written is the person's, the previous one kept, the badge shows the new one
// at once — and when the browser moved on to someone else meanwhile, that person stays shown.
void tst_Capture::takenCroppedSavedAndShownForThatPersonOnly()
{
    QFETCH(bool, photo);
    const int empNo = 3; // has a .jpg photograph and signature
    QCOMPARE(demoPerson(empNo).photoSuffix, QStringLiteral(".jpg"));
    QCOMPARE(demoPerson(empNo).signSuffix, QStringLiteral(".jpg"));
    const StoredSettings project = ProjectSettings::instance().stored();
    const QString folder = photo ? project.PhotoDir : project.SignDir;
    const QString file = folder + QStringLiteral("3.jpg");
    const QByteArray before = [&] {
        QFile old(file);
        return old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray();
    }();
    QVERIFY(!before.isEmpty());

    choosePerson(empNo - 1);
    QCOMPARE(m_window->frmFront()->record()->key.text(), QStringLiteral("3"));
    (photo ? m_browser->cmdTakePhoto : m_browser->cmdTakeSign)->click();
    auto* capture = shown<frmCapture>("frmCapture");
    QVERIFY(capture);
    QVERIFY(capture->windowTitle().endsWith(QLatin1String(": 3")));
    QTRY_VERIFY_WITH_TIMEOUT(capture->cmdCapture->isEnabled(), 20000);
    QVERIFY(capture->lblProblem->isHidden());
    capture->cmdCapture->click();
    QTRY_VERIFY(!capture->still().isNull());
    QCOMPARE(capture->still().size(), FrameSize);
    QVERIFY(capture->cmdRetake->isEnabled());
    capture->cmdCrop->click();

    auto* crop = shown<frmCrop>("frmCrop");
    QVERIFY(crop);
    QVERIFY(!shown<frmCapture>("frmCapture"));                           // the camera is let go
    const QSizeF frame = photo ? QSizeF(1500, 2000) : QSizeF(1800, 450); // the Staff badge's
    const QRect cropped = crop->cropRect();
    QVERIFY(qAbs(double(cropped.width()) / cropped.height() - frame.width() / frame.height()) <
            0.02);
    QCOMPARE(crop->cmdFace->isVisible(), photo);
    if (photo) {
        // Placed around the face: centred on it, the face about 60 % of the height.
        const double scale = double(FrameSize.width()) / Shot.width();
        const QRectF face((FaceInPhoto.topLeft() - Shot.topLeft()) * scale,
                          QSizeF(FaceInPhoto.size()) * scale);
        QVERIFY2(cropped.contains(face.toRect()), qPrintable(crop->lblResolution->text()));
        QVERIFY(qAbs(cropped.center().x() - face.center().x()) < cropped.width() * 0.15);
        QVERIFY(face.height() / cropped.height() > 0.4 && face.height() / cropped.height() < 0.8);
    }
    // A full HD camera gives enough pixels for the frame.
    QVERIFY2(crop->lblResolution->text().contains(QLatin1String(" ppi in the badge frame.")),
             qPrintable(crop->lblResolution->text()));

    // The browser moves on to another person before Save: the badge keeps showing him.
    choosePerson(0);
    QVERIFY(crop->save());
    QCOMPARE(m_window->frmFront()->record()->key.text(), QStringLiteral("1"));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_window->statusBar()->currentMessage().contains(QDir::toNativeSeparators(file)));
    QFile kept(folder + QStringLiteral("3.previous.jpg"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), before);
    const QImage saved(file);
    QVERIFY(!saved.isNull());
    QVERIFY(qAbs(double(saved.width()) / saved.height() - frame.width() / frame.height()) < 0.02);
    QVERIFY2(saved.height() / (frame.height() / 1440) >= 299.5,
             qPrintable(QString::number(saved.height())));

    // Back on him, the badge shows the picture just saved (decoded as small as the screen needs).
    choosePerson(empNo - 1);
    const LinkedRecord& shownNow = *m_window->frmFront()->record();
    QVERIFY(looksAlike(photo ? shownNow.photo : shownNow.sign, saved));
    QVERIFY(!looksAlike(saved, QImage::fromData(before)));
}

void tst_Capture::noCameraOrOneThatVanishesLeavesFromFile_data()
{
    QTest::addColumn<bool>("camera");
    QTest::newRow("no camera") << false;
    QTest::newRow("unplugged while shown") << true;
}

void tst_Capture::noCameraOrOneThatVanishesLeavesFromFile()
{
    QFETCH(bool, camera);
    if (!camera)
        m_window->setCameras({[] { return QList<CameraChoice>(); }, nullptr});
    // Nobody shown yet: nobody to take a picture of.
    m_window->mnuTakePhoto->trigger();
    QVERIFY(!shown<frmCapture>("frmCapture"));
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY(m_dialogs.messages[0].text.startsWith(QLatin1String("Choose a person")));
    m_dialogs.messages.clear();

    choosePerson(1);
    m_window->mnuTakePhoto->trigger();
    auto* capture = shown<frmCapture>("frmCapture");
    QVERIFY(capture);
    if (camera) {
        QTRY_VERIFY_WITH_TIMEOUT(capture->cmdCapture->isEnabled(), 20000);
        m_camera->breakDown(cameraGone(m_camera->name()));
        QTRY_VERIFY(!capture->lblProblem->isHidden());
        QVERIFY(capture->lblProblem->text().contains(QLatin1String("no longer there")));
    } else {
        QVERIFY(!capture->lblProblem->isHidden());
        QVERIFY(capture->lblProblem->text().startsWith(QLatin1String("No camera was found.")));
        QVERIFY(!capture->cmbCamera->isEnabled());
    }
    QVERIFY(!capture->cmdCapture->isEnabled());
    QVERIFY(!capture->cmdCrop->isEnabled());
    QVERIFY(m_dialogs.messages.isEmpty()); // said in the window, no box in the way

    m_dialogs.fileAnswers = {FacePhoto};
    QVERIFY(capture->cmdFromFile->isEnabled());
    capture->cmdFromFile->click();
    auto* crop = shown<frmCrop>("frmCrop");
    QVERIFY(crop);
    QCOMPARE(crop->target().person.key.text(), QStringLiteral("2"));
    QCOMPARE(crop->picCrop->picture().size(), QSize(548, 342));
    QVERIFY(crop->cmdSave->isEnabled());
}

QTEST_MAIN(tst_Capture)
#include "tst_Capture.moc"
