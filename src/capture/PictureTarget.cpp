#include "capture/PictureTarget.h"

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

// Until the photo core arrives: no face found, nothing saved.
std::optional<QRectF> faceCrop(const QImage&, double)
{
    return std::nullopt;
}

Result<QString> savePicture(const PictureTarget& target, const QImage&)
{
    return Status::failure(QStringLiteral("%1 cannot be saved yet.").arg(target.what()));
}

} // namespace vm
