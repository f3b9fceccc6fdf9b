#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVideoSink>

#include <functional>
#include <memory>

namespace vm {

// Pictures arriving one after another, from a camera or anything else that plays into a video
// sink. The capture window shows them and takes a still; what it is told when they stop comes
// as one message in the operator's words.
class FrameSource : public QObject {
    Q_OBJECT
public:
    explicit FrameSource(QString name, QObject* parent = nullptr);

    // What the operator calls it: the camera's description.
    const QString& name() const { return m_name; }
    // Where the pictures are played to.
    QVideoSink* sink() { return &m_sink; }
    // The last picture that arrived; null before the first.
    const QImage& latest() const { return m_latest; }

    virtual void start() = 0;
    virtual void stop() = 0;
    // Takes a still: `captured` follows, or `failed`. Here the picture shown last.
    virtual void capture();

Q_SIGNALS:
    void frameArrived(const QImage& frame);
    void captured(const QImage& still);
    // The source cannot go on; said once.
    void failed(const QString& message);

protected:
    void fail(const QString& message);

private:
    QString m_name;
    QVideoSink m_sink;
    QImage m_latest;
    bool m_failed = false;
};

// A camera of the system, as the capture window lists it.
struct CameraChoice {
    QByteArray id;
    QString name;
};

// The cameras the capture window offers and how one is opened; the system's cameras in the
// program, pictures from a file in tests.
struct Cameras {
    std::function<QList<CameraChoice>()> list;
    std::function<std::unique_ptr<FrameSource>(const CameraChoice&)> open;
};

// The cameras Qt Multimedia finds, each opened with its still capture.
Cameras systemCameras();

// What the operator is told when the camera `name` will not start or stops with `detail`
// (the platform's words, kept at the end for whoever helps).
QString cameraProblem(const QString& name, const QString& detail);
// ... and when it is no longer there.
QString cameraGone(const QString& name);

} // namespace vm
