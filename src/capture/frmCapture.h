#pragma once

#include "capture/FrameSource.h"
#include "capture/PictureTarget.h"

#include <QImage>
#include <QMdiSubWindow>
#include <QMediaDevices>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace vm {

class LiveView;

// "Take Photo" / "Take Signature": the live picture of a camera with the badge's frame over it,
// Capture and Retake, then the still goes to the crop. Without a camera the window says why,
// and a picture file can still be taken ("From file…").
class frmCapture : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmCapture(Cameras cameras, QWidget* parent = nullptr);
    ~frmCapture() override;

    // Starts taking a picture for `target` with the camera chosen last, else the first.
    void takeFor(const PictureTarget& target);
    const PictureTarget& target() const { return m_target; }
    // The still taken; null while the picture is live.
    const QImage& still() const { return m_still; }

    QLabel* lblCamera = nullptr;
    QComboBox* cmbCamera = nullptr;
    LiveView* picLive = nullptr;
    QLabel* lblProblem = nullptr;
    QPushButton* cmdCapture = nullptr;
    QPushButton* cmdRetake = nullptr;
    QPushButton* cmdCrop = nullptr;
    QPushButton* cmdFromFile = nullptr;
    QPushButton* cmdClose = nullptr;

    // Without a picture for this long after starting, a camera is said to give none.
    static constexpr int SilentCameraMs = 8000;

Q_SIGNALS:
    // Crop…: the still, for the crop window.
    void cropWanted(const vm::PictureTarget& target, const QImage& still);
    // From file…: a picture file instead of the camera.
    void fileWanted(const vm::PictureTarget& target);

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void listCameras();
    void startCamera();
    void stopCamera();
    void onFailed(const QString& message);
    void onCaptured(const QImage& still);
    void retake();
    void updateButtons();
    void say(const QString& problem);

    Cameras m_cameras;
    QList<CameraChoice> m_listed;
    QByteArray m_chosen; // the camera chosen last, kept while the window lives
    std::unique_ptr<FrameSource> m_source;
    PictureTarget m_target;
    QImage m_still;
    bool m_capturing = false; // a still was asked for and has not come
    QTimer* m_silence = nullptr;
    QMediaDevices m_devices;
};

} // namespace vm
