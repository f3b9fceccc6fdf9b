#include "render/PhotoCheck.h"

#include "common/PictureFiles.h"
#include "common/Units.h"
#include "photo/CropPlacement.h"
#include "photo/FaceFinder.h"
#include "photo/PhotoMeasures.h"

#include <QDir>
#include <QImageReader>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace vm {
namespace {

// Qt's picture decoders go on past damaged data (painting what is lost grey) and say so only as
// a warning: while a photograph is judged, this thread's warnings of the decoders are collected.
thread_local QStringList* decoderWarnings = nullptr;
QtMessageHandler passedOn = nullptr;

void collectDecoderWarnings(QtMsgType type, const QMessageLogContext& context,
                            const QString& message)
{
    if (decoderWarnings && context.category &&
        std::strncmp(context.category, "qt.gui.imageio", 14) == 0) {
        decoderWarnings->append(message);
        return;
    }
    if (passedOn)
        passedOn(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

class DecoderWarnings {
public:
    DecoderWarnings()
    {
        static std::once_flag once;
        std::call_once(once, [] { passedOn = qInstallMessageHandler(collectDecoderWarnings); });
        decoderWarnings = &m_warnings;
    }
    ~DecoderWarnings() { decoderWarnings = nullptr; }
    DecoderWarnings(const DecoderWarnings&) = delete;
    DecoderWarnings& operator=(const DecoderWarnings&) = delete;
    const QStringList& warnings() const { return m_warnings; }

private:
    QStringList m_warnings;
};

QString percent(double share)
{
    return QString::number(qRound(share * 100));
}

} // namespace

std::optional<QSizeF> printedPhotoFrame(const BadgeSide& side, const BadgeSide* otherSide)
{
    std::optional<QSizeF> largest;
    for (const BadgeSide* s : {&side, otherSide}) {
        if (!s || !s->imgPhoto.Visible || !(s->imgPhoto.Width > 0) || !(s->imgPhoto.Height > 0))
            continue;
        const QSizeF frame(s->imgPhoto.Width, s->imgPhoto.Height);
        if (!largest || frame.width() * frame.height() > largest->width() * largest->height())
            largest = frame;
    }
    return largest;
}

QStringList photoProblems(const QString& person, const QString& file, QSizeF frameTwips)
{
    QStringList problems;
    if (!(frameTwips.width() > 0) || !(frameTwips.height() > 0))
        return problems;
    QImageReader header(file);
    header.setAutoTransform(true);
    QSize full = header.size();
    if (!full.isValid() || full.isEmpty())
        return problems;
    if (header.transformation().testFlag(QImageIOHandler::TransformationRotate90))
        full.transpose();
    const QString what =
        QStringLiteral("The photograph of %1 (%2)").arg(person, QDir::toNativeSeparators(file));

    // The badge fits the picture into its frame without distorting it.
    const QSizeF printed = QSizeF(full).scaled(frameTwips, Qt::KeepAspectRatio);
    const double ppi = full.width() * TwipsPerInch / printed.width();
    if (ppi < PhotoLimits::LeastPpi)
        problems << QStringLiteral("%1 prints at %2 ppi in its frame: too low a resolution "
                                   "(%3 ppi at least)")
                        .arg(what)
                        .arg(qRound(ppi))
                        .arg(PhotoLimits::LeastPpi);

    // Judged as printed: at the printer's resolution, or the picture's own when that is lower.
    const QSize judged =
        ppi > PhotoLimits::JudgedPpi
            ? QSize(std::max(1, qRound(twipsToPixels(printed.width(), PhotoLimits::JudgedPpi))),
                    std::max(1, qRound(twipsToPixels(printed.height(), PhotoLimits::JudgedPpi))))
            : full;
    QImage picture;
    QStringList warnings;
    {
        const DecoderWarnings collected;
        Result<QImage> read = readPicture(file, judged);
        if (!read)
            return problems; // linking names the file that cannot be read
        picture = std::move(*read);
        warnings = collected.warnings();
    }
    if (!warnings.isEmpty())
        problems << QStringLiteral("%1 decodes with errors, so part of it may print grey: %2")
                        .arg(what, warnings.first());
    if (picture.width() > judged.width() || picture.height() > judged.height())
        picture = picture.scaled(judged, Qt::KeepAspectRatio, Qt::SmoothTransformation);

    const PhotoMeasures measures = measurePhoto(picture, threadFaceFinder());
    const QSizeF size = picture.size();
    if (!measures.face) {
        problems << QStringLiteral("%1 shows no face: none was found of at least %2 % of the "
                                   "picture's narrower side")
                        .arg(what, percent(BadgePhotoSearch.smallestShare));
    } else {
        const QRectF face = *measures.face;
        const double offCentre = std::abs(face.center().x() - size.width() / 2) / size.width();
        const double eyeLine = (face.top() + face.height() * EyesInFaceBox) / size.height();
        const double besides = size.width() * PhotoLimits::EdgeMargin;
        const double above = face.height() * PhotoLimits::HeadRoom;
        QStringList edges;
        if (face.left() < besides)
            edges << QStringLiteral("left");
        if (face.right() > size.width() - besides)
            edges << QStringLiteral("right");
        if (face.top() < above)
            edges << QStringLiteral("top");
        if (face.bottom() > size.height() - above)
            edges << QStringLiteral("bottom");
        if (!edges.isEmpty())
            problems << QStringLiteral("%1: the face is cut by the frame's %2 edge")
                            .arg(what, edges.join(QStringLiteral(" and ")));
        else if (offCentre > PhotoLimits::LargestOffCentre)
            problems << QStringLiteral("%1: the face lies %2 % of the width off the middle "
                                       "(%3 % at most)")
                            .arg(what, percent(offCentre), percent(PhotoLimits::LargestOffCentre));
        else if (std::abs(eyeLine - EyeLineFromTop) > PhotoLimits::LargestEyeLineShift)
            problems << QStringLiteral("%1: the face is off the middle, its eyes at %2 % of the "
                                       "height (%3 % wanted)")
                            .arg(what, percent(eyeLine), percent(EyeLineFromTop));
    }
    if (measures.sharpness < PhotoLimits::LeastSharpness)
        problems << QStringLiteral("%1 is blurred: sharpness %2 (variance of the Laplacian; %3 "
                                   "at least)")
                        .arg(what)
                        .arg(measures.sharpness, 0, 'f', 1)
                        .arg(PhotoLimits::LeastSharpness);
    const bool dark = measures.brightness < PhotoLimits::DarkBelow ||
                      measures.darkShare > PhotoLimits::LargestClippedShare;
    const bool bright = measures.brightness > PhotoLimits::BrightAbove ||
                        measures.brightShare > PhotoLimits::LargestClippedShare;
    if (dark || bright)
        problems << QStringLiteral("%1 is %2-exposed: the %3's brightness is %4 of 255, %5 % of "
                                   "it nearly %6 (exposure wanted: brightness %7 to %8)")
                        .arg(what, dark ? QStringLiteral("under") : QStringLiteral("over"),
                             measures.face ? QStringLiteral("face") : QStringLiteral("picture"))
                        .arg(qRound(measures.brightness))
                        .arg(percent(dark ? measures.darkShare : measures.brightShare),
                             dark ? QStringLiteral("black") : QStringLiteral("white"))
                        .arg(PhotoLimits::DarkBelow)
                        .arg(PhotoLimits::BrightAbove);
    return problems;
}

} // namespace vm
