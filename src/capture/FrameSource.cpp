#include "capture/FrameSource.h"

#include <QCamera>
#include <QCameraDevice>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QVideoFrame>

namespace vm {
namespace {

// A camera of the system with its still capture. The stills come from the camera's own capture
// where it offers one (often sharper than the preview), else the picture shown.
class CameraSource final : public FrameSource {
public:
    explicit CameraSource(const QCameraDevice& device)
        : FrameSource(device.description())
        , m_device(device)
        , m_camera(device)
    {
        m_session.setCamera(&m_camera);
        m_session.setImageCapture(&m_still);
        m_session.setVideoSink(sink());
        connect(
            &m_camera, &QCamera::errorOccurred, this,
            [this](QCamera::Error, const QString& detail) { fail(cameraProblem(name(), detail)); });
        connect(&m_still, &QImageCapture::imageCaptured, this,
                [this](int, const QImage& still) { Q_EMIT captured(still); });
        connect(&m_still, &QImageCapture::errorOccurred, this,
                [this](int, QImageCapture::Error, const QString&) { FrameSource::capture(); });
        // Unplugged while in use: said now, rather than a picture that silently stops.
        connect(&m_devices, &QMediaDevices::videoInputsChanged, this, [this] {
            if (!QMediaDevices::videoInputs().contains(m_device))
                fail(cameraGone(name()));
        });
    }

    void start() override { m_camera.start(); }
    void stop() override { m_camera.stop(); }
    void capture() override
    {
        if (m_still.isReadyForCapture())
            m_still.capture();
        else
            FrameSource::capture();
    }

private:
    QCameraDevice m_device;
    QCamera m_camera;
    QImageCapture m_still;
    QMediaCaptureSession m_session;
    QMediaDevices m_devices;
};

} // namespace

FrameSource::FrameSource(QString name, QObject* parent)
    : QObject(parent)
    , m_name(std::move(name))
{
    connect(&m_sink, &QVideoSink::videoFrameChanged, this, [this](const QVideoFrame& frame) {
        QImage picture = frame.toImage();
        if (picture.isNull() || m_failed)
            return; // the end of a stream comes as an empty frame: the last picture stays
        m_latest = std::move(picture);
        Q_EMIT frameArrived(m_latest);
    });
}

void FrameSource::capture()
{
    if (m_latest.isNull())
        fail(cameraProblem(m_name, QStringLiteral("no picture has arrived yet")));
    else
        Q_EMIT captured(m_latest);
}

void FrameSource::fail(const QString& message)
{
    if (m_failed)
        return;
    m_failed = true;
    stop();
    Q_EMIT failed(message);
}

Cameras systemCameras()
{
    Cameras cameras;
    cameras.list = [] {
        QList<CameraChoice> found;
        for (const QCameraDevice& device : QMediaDevices::videoInputs())
            found.append({device.id(), device.description()});
        return found;
    };
    cameras.open = [](const CameraChoice& choice) -> std::unique_ptr<FrameSource> {
        for (const QCameraDevice& device : QMediaDevices::videoInputs()) {
            if (device.id() == choice.id)
                return std::make_unique<CameraSource>(device);
        }
        return nullptr;
    };
    return cameras;
}

QString cameraProblem(const QString& name, const QString& detail)
{
    const bool inUse = detail.contains(QLatin1String("busy"), Qt::CaseInsensitive) ||
                       detail.contains(QLatin1String("in use"), Qt::CaseInsensitive);
    const QString said =
        inUse ? QStringLiteral("The camera \u201c%1\u201d is in use by another program. Close that "
                               "program, or choose another camera.")
              : QStringLiteral("The camera \u201c%1\u201d gives no picture. Check that it is "
                               "plugged in and switched on, or choose another camera.");
    return said.arg(name) +
           QStringLiteral(
               " A picture file can be taken instead with \u201cFrom file\u2026\u201d.") +
           (detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail));
}

QString cameraGone(const QString& name)
{
    return QStringLiteral("The camera \u201c%1\u201d is no longer there: it was unplugged or "
                          "switched off. Plug it in again, or choose another camera; a picture "
                          "file can be taken instead with \u201cFrom file\u2026\u201d.")
        .arg(name);
}

} // namespace vm
