#include "capture/frmCapture.h"

#include "capture/LiveView.h"
#include "capture/WindowParts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vm {

frmCapture::frmCapture(Cameras cameras, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_cameras(std::move(cameras))
{
    setObjectName(QStringLiteral("frmCapture"));
    setWindowTitle(QStringLiteral("Take Photo"));
    buildControls();
    m_silence = new QTimer(this);
    m_silence->setSingleShot(true);
    m_silence->setInterval(SilentCameraMs);
    connect(m_silence, &QTimer::timeout, this, [this] {
        if (m_source && m_source->latest().isNull())
            onFailed(cameraProblem(m_source->name(), QString()));
    });
    // A camera plugged in or taken away: the list follows. The one in use says so itself.
    connect(&m_devices, &QMediaDevices::videoInputsChanged, this, [this] {
        listCameras();
        if (!m_source && isVisible() && !m_listed.isEmpty() && m_still.isNull())
            startCamera();
    });
}

frmCapture::~frmCapture()
{
    stopCamera();
}

void frmCapture::buildControls()
{
    auto* body = new QWidget(this);
    setWidget(body);
    auto* column = new QVBoxLayout(body);

    auto* cameraRow = new QHBoxLayout;
    lblCamera = new QLabel(QStringLiteral("&Camera:"), body);
    lblCamera->setObjectName(QStringLiteral("lblCamera"));
    cmbCamera = new QComboBox(body);
    cmbCamera->setObjectName(QStringLiteral("cmbCamera"));
    cmbCamera->setAccessibleName(QStringLiteral("Camera"));
    cmbCamera->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblCamera->setBuddy(cmbCamera);
    cameraRow->addWidget(lblCamera);
    cameraRow->addWidget(cmbCamera, 1);
    column->addLayout(cameraRow);

    picLive = new LiveView(body);
    picLive->setObjectName(QStringLiteral("picLive"));
    picLive->setAccessibleName(QStringLiteral("Camera picture"));
    picLive->setAccessibleDescription(
        QStringLiteral("The camera's picture with the badge frame drawn over it"));
    column->addWidget(picLive, 1);

    lblProblem = sayingLabel(body, QStringLiteral("lblProblem"), QStringLiteral("Camera problem"));
    lblProblem->hide();
    column->addWidget(lblProblem);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& name, const QString& caption, const QString& tip) {
        return rowButton(body, buttons, name, caption, tip);
    };
    cmdCapture = button(QStringLiteral("cmdCapture"), QStringLiteral("C&apture"),
                        QStringLiteral("Take the picture shown"));
    cmdRetake = button(QStringLiteral("cmdRetake"), QStringLiteral("&Retake"),
                       QStringLiteral("Show the camera's picture again"));
    cmdCrop = button(QStringLiteral("cmdCrop"), QStringLiteral("C&rop\u2026"),
                     QStringLiteral("Crop the picture taken to the badge frame and save it"));
    cmdFromFile = button(QStringLiteral("cmdFromFile"), QStringLiteral("From &file\u2026"),
                         QStringLiteral("Take a picture file instead of the camera's picture"));
    buttons->addStretch(1);
    cmdClose = button(QStringLiteral("cmdClose"), QStringLiteral("Close"),
                      QStringLiteral("Close without saving"));
    column->addLayout(buttons);
    cmdCapture->setDefault(true);

    connect(cmbCamera, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_listed.size())
            return;
        m_chosen = m_listed[index].id;
        retake();
    });
    connect(cmdCapture, &QPushButton::clicked, this, [this] {
        if (!m_source || m_source->latest().isNull())
            return;
        m_capturing = true;
        updateButtons();
        m_source->capture();
    });
    connect(cmdRetake, &QPushButton::clicked, this, &frmCapture::retake);
    connect(cmdCrop, &QPushButton::clicked, this, [this] {
        if (m_still.isNull())
            return;
        Q_EMIT cropWanted(m_target, m_still);
        close();
    });
    connect(cmdFromFile, &QPushButton::clicked, this, [this] {
        Q_EMIT fileWanted(m_target);
        close();
    });
    connect(cmdClose, &QPushButton::clicked, this, &QMdiSubWindow::close);
    resize(640, 560);
}

void frmCapture::takeFor(const PictureTarget& target)
{
    m_target = target;
    const bool photo = target.kind == PictureKind::Photo;
    setWindowTitle(photo ? QStringLiteral("Take Photo: %1").arg(target.person.key.text())
                         : QStringLiteral("Take Signature: %1").arg(target.person.key.text()));
    picLive->setFrame(target.aspect(), photo);
    listCameras();
    retake();
}

void frmCapture::listCameras()
{
    m_listed = m_cameras.list ? m_cameras.list() : QList<CameraChoice>();
    const QSignalBlocker quiet(cmbCamera);
    cmbCamera->clear();
    int chosen = 0;
    for (const CameraChoice& camera : std::as_const(m_listed)) {
        if (camera.id == m_chosen)
            chosen = cmbCamera->count();
        cmbCamera->addItem(camera.name);
    }
    cmbCamera->setCurrentIndex(m_listed.isEmpty() ? -1 : chosen);
    cmbCamera->setEnabled(!m_listed.isEmpty());
}

void frmCapture::retake()
{
    m_still = QImage();
    m_capturing = false;
    startCamera();
}

void frmCapture::startCamera()
{
    stopCamera();
    say(QString());
    picLive->setPicture(QImage());
    const int index = cmbCamera->currentIndex();
    if (index < 0 || index >= m_listed.size()) {
        say(QStringLiteral("No camera was found. Plug one in and it is listed here; a picture "
                           "file can be taken instead with \u201cFrom file\u2026\u201d."));
        picLive->setPlaceholder(QStringLiteral("No camera"));
        updateButtons();
        return;
    }
    const CameraChoice camera = m_listed[index];
    m_chosen = camera.id;
    m_source = m_cameras.open ? m_cameras.open(camera) : nullptr;
    if (!m_source) {
        onFailed(cameraGone(camera.name));
        return;
    }
    picLive->setPlaceholder(
        QStringLiteral("Starting the camera \u201c%1\u201d\u2026").arg(camera.name));
    connect(m_source.get(), &FrameSource::frameArrived, this, [this](const QImage& frame) {
        if (m_still.isNull() && !m_capturing)
            picLive->setPicture(frame);
        updateButtons();
    });
    connect(m_source.get(), &FrameSource::captured, this, &frmCapture::onCaptured);
    connect(m_source.get(), &FrameSource::failed, this, &frmCapture::onFailed);
    m_source->start();
    m_silence->start();
    updateButtons();
}

void frmCapture::stopCamera()
{
    if (m_silence)
        m_silence->stop();
    if (!m_source)
        return;
    m_source->disconnect(this);
    m_source->stop();
    // Possibly stopped from one of its own signals: deleted once that has returned, or with
    // the window, whichever comes first.
    FrameSource* source = m_source.release();
    source->setParent(this);
    source->deleteLater();
}

void frmCapture::onCaptured(const QImage& still)
{
    if (!m_capturing)
        return;
    m_capturing = false;
    m_still = still;
    picLive->setPicture(still);
    // Taken: the camera is let go until Retake, so another program may use it meanwhile.
    stopCamera();
    updateButtons();
    cmdCrop->setFocus();
}

void frmCapture::onFailed(const QString& message)
{
    stopCamera();
    m_capturing = false;
    if (m_still.isNull()) {
        picLive->setPicture(QImage());
        picLive->setPlaceholder(QStringLiteral("No picture"));
    }
    say(message);
    updateButtons();
    cmdFromFile->setFocus();
}

void frmCapture::say(const QString& problem)
{
    lblProblem->setText(problem);
    lblProblem->setVisible(!problem.isEmpty());
}

void frmCapture::updateButtons()
{
    const bool live = m_source && !m_source->latest().isNull() && m_still.isNull();
    cmdCapture->setEnabled(live && !m_capturing);
    cmdRetake->setEnabled(!m_still.isNull() && !m_listed.isEmpty());
    cmdCrop->setEnabled(!m_still.isNull());
}

void frmCapture::closeEvent(QCloseEvent* event)
{
    stopCamera();
    QMdiSubWindow::closeEvent(event);
}

void frmCapture::hideEvent(QHideEvent* event)
{
    // A hidden window does not hold the camera.
    stopCamera();
    QMdiSubWindow::hideEvent(event);
}

} // namespace vm
