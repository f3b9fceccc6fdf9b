#include "capture/PictureTarget.h"

#include "photo/CropPlacement.h"
#include "photo/FaceFinder.h"
#include "photo/PhotoStore.h"

namespace vm {

double PictureTarget::aspect() const
{
    if (frameTwips.width() > 0 && frameTwips.height() > 0)
        return frameTwips.width() / frameTwips.height();
    // No frame on the badge: a passport-like portrait, a signature three times as wide as high.
    return kind == PictureKind::Photo ? 3.0 / 4.0 : 3.0;
}

QString PictureTarget::what(bool capital) const
{
    const QString the = capital ? QStringLiteral("The") : QStringLiteral("the");
    return (kind == PictureKind::Photo ? QStringLiteral("%1 photograph of %2")
                                       : QStringLiteral("%1 signature of %2"))
        .arg(the, person.key.text());
}

Result<std::optional<QRectF>> faceCrop(const QImage& picture, double aspect)
{
    FaceFinder& finder = threadFaceFinder();
    if (!finder.ok())
        return Status::failure(finder.error());
    // Faces as small as a brought photograph's are looked for, not only a camera portrait's.
    const std::optional<QRectF> face = finder.find(picture, BroughtPhotoSearch);
    if (!face)
        return std::optional<QRectF>();
    return std::optional<QRectF>(QRectF(cropForFace(picture.size(), aspect, face)));
}

Result<QString> savePicture(DatabaseConnection& db, const PictureTarget& target,
                            const QImage& cropped)
{
    // A signature is kept as a photograph is, under the signature column and folder.
    StoredSettings project = target.project;
    const bool sign = target.kind == PictureKind::Signature;
    if (sign) {
        project.PhotoField = project.SignField;
        project.PhotoDir = project.SignDir;
    }
    auto said = [sign](QString text) {
        if (sign) {
            text.replace(QLatin1String("photograph"), QLatin1String("signature"));
            text.replace(QLatin1String("photo "), QLatin1String("signature "));
        }
        return text;
    };
    const Result<PhotoTarget> where = photoTarget(db, project, target.person.key);
    if (!where)
        return Status::failure(said(where.error()));
    const Result<SavedPhoto> saved =
        storePhoto(db, project, target.person.key, *where, cropped, target.frameTwips);
    if (!saved)
        return Status::failure(said(saved.error()));
    return saved->file;
}

} // namespace vm
