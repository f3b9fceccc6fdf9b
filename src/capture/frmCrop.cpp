#include "capture/frmCrop.h"

#include "capture/CropView.h"
#include "capture/WindowParts.h"
#include "common/PictureFiles.h"
#include "common/Units.h"
#include "photo/PhotoStore.h"
#include "project/DatabaseWaiting.h"
#include "widgets/Dialogs.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vm {
namespace {

QRect cropRectOf(const CropBox& box)
{
    const QRectF rect = box.rect();
    return QRect(QPoint(int(std::lround(rect.left())), int(std::lround(rect.top()))),
                 QSize(int(std::lround(rect.width())), int(std::lround(rect.height()))))
        .intersected(QRect(QPoint(0, 0), box.picture().toSize()));
}

} // namespace

frmCrop::frmCrop(Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmCrop"));
    setWindowTitle(QStringLiteral("Crop"));
    buildControls();
}

void frmCrop::buildControls()
{
    auto* body = new QWidget(this);
    setWidget(body);
    auto* column = new QVBoxLayout(body);
    lblWho = new QLabel(body);
    lblWho->setObjectName(QStringLiteral("lblWho"));
    column->addWidget(lblWho);

    picCrop = new CropView(body);
    picCrop->setObjectName(QStringLiteral("picCrop"));
    picCrop->setAccessibleName(QStringLiteral("Crop"));
    picCrop->setAccessibleDescription(
        QStringLiteral("The picture with the crop marked. Arrow keys move the crop, Shift with "
                       "an arrow moves it further, plus and minus make it larger or smaller."));
    column->addWidget(picCrop, 1);

    lblResolution =
        sayingLabel(body, QStringLiteral("lblResolution"), QStringLiteral("About the crop"));
    column->addWidget(lblResolution);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& name, const QString& caption, const QString& tip) {
        return rowButton(body, buttons, name, caption, tip);
    };
    cmdFace = button(QStringLiteral("cmdFace"), QStringLiteral("Crop to the &face"),
                     QStringLiteral("Place the crop so the face sits where the badge frame "
                                    "expects it"));
    cmdFromFile = button(QStringLiteral("cmdFromFile"), QStringLiteral("From &file\u2026"),
                         QStringLiteral("Open a picture file to crop instead"));
    buttons->addStretch(1);
    cmdSave = button(QStringLiteral("cmdSave"), QStringLiteral("&Save"),
                     QStringLiteral("Save the crop as the person's picture"));
    cmdClose = button(QStringLiteral("cmdClose"), QStringLiteral("Close"),
                      QStringLiteral("Close without saving"));
    column->addLayout(buttons);
    cmdSave->setDefault(true);

    connect(picCrop, &CropView::cropChanged, this, &frmCrop::describeCrop);
    connect(cmdFace, &QPushButton::clicked, this, &frmCrop::cropToFace);
    connect(cmdFromFile, &QPushButton::clicked, this, &frmCrop::chooseFile);
    connect(cmdSave, &QPushButton::clicked, this, &frmCrop::save);
    connect(cmdClose, &QPushButton::clicked, this, &QMdiSubWindow::close);
    resize(600, 560);
}

void frmCrop::cropFor(const PictureTarget& target, const QImage& picture)
{
    m_target = target;
    const bool photo = target.kind == PictureKind::Photo;
    setWindowTitle(QStringLiteral("Crop: %1").arg(target.what()));
    lblWho->setText(QStringLiteral("Cropping %1 to the badge's %2 frame.")
                        .arg(target.what(),
                             photo ? QStringLiteral("photograph") : QStringLiteral("signature")));
    // A signature is cropped by hand: there is no face to place.
    cmdFace->setVisible(photo);
    showPicture(picture);
}

void frmCrop::showPicture(const QImage& picture)
{
    m_note.clear();
    picCrop->setPicture(picture, m_target.aspect());
    if (!picture.isNull() && m_target.kind == PictureKind::Photo)
        cropToFace();
    describeCrop();
}

bool frmCrop::chooseFile()
{
    FileRequest request;
    request.title = QStringLiteral("From File");
    request.filter = QStringLiteral("Pictures (*.jpg *.jpeg *.png *.bmp *.JPG *.JPEG *.PNG *.BMP);;"
                                    "All Files (*)");
    request.initialFolder = m_folder;
    const QString path = m_dialogs.openFileName(this, request);
    if (path.isEmpty())
        return false;
    m_folder = QFileInfo(path).absolutePath();
    return openFile(path);
}

bool frmCrop::openFile(const QString& path)
{
    const Result<QImage> read = readPicture(path);
    if (!read) {
        m_dialogs.message(this, {QStringLiteral("The picture was not opened."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 read.error()});
        return false;
    }
    showPicture(*read);
    return true;
}

bool frmCrop::cropToFace()
{
    if (picCrop->picture().isNull())
        return false;
    const Result<std::optional<QRectF>> crop = faceCrop(picCrop->picture(), m_target.aspect());
    if (!crop)
        m_note = QStringLiteral("Faces cannot be looked for: %1. Place the crop by hand. ")
                     .arg(crop.error());
    else if (!*crop)
        m_note = QStringLiteral("No face was found in the picture: place the crop by hand. ");
    else
        m_note.clear();
    if (crop && *crop)
        picCrop->setCrop(**crop);
    describeCrop();
    return crop && *crop;
}

QRect frmCrop::cropRect() const
{
    return cropRectOf(picCrop->box());
}

void frmCrop::describeCrop()
{
    const QRect crop = cropRect();
    cmdSave->setEnabled(!crop.isEmpty());
    if (crop.isEmpty()) {
        lblResolution->setText(QStringLiteral("No picture yet: take one with the camera, or open "
                                              "a picture file with \u201cFrom file\u2026\u201d."));
        return;
    }
    QString said = QStringLiteral("Crop %1 \u00d7 %2 pixels.").arg(crop.width()).arg(crop.height());
    if (m_target.frameTwips.height() > 0) {
        const double ppi = crop.height() / (m_target.frameTwips.height() / TwipsPerInch);
        said += QStringLiteral(" It prints at %1 ppi in the badge frame").arg(std::lround(ppi));
        said += ppi < StoredPhotoDpi
                    ? QStringLiteral(", less than the %1 ppi a sharp card needs: take the picture "
                                     "closer, or take a picture with more pixels.")
                          .arg(StoredPhotoDpi)
                    : QStringLiteral(".");
    }
    lblResolution->setText(m_note + said);
}

bool frmCrop::save()
{
    const QRect crop = cropRect();
    if (crop.isEmpty())
        return false;
    DatabaseConnection db;
    if (!openWhileWaiting(mdiArea(), db, m_target.project.DatabasePath)) {
        m_dialogs.message(this, {m_target.what(true) + QStringLiteral(" was not saved."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 QStringLiteral("The database %1 cannot be opened: %2")
                                     .arg(m_target.project.DatabasePath, db.errorText())});
        return false;
    }
    const Result<QString> written = savePicture(db, m_target, picCrop->picture().copy(crop));
    if (!written) {
        m_dialogs.message(this, {m_target.what(true) + QStringLiteral(" was not saved."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 written.error()});
        return false;
    }
    Q_EMIT saved(m_target, *written);
    close();
    return true;
}

} // namespace vm
