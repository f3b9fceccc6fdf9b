#include "render/PrintSlot.h"

#include "records/RecordLink.h"

#include <algorithm>
#include <cmath>

namespace vm {

namespace {

// Pictures on the print page are decoded when drawn, at this resolution: sharp in print, and a
// thousand badges hold their files' names rather than gigabytes of pixels.
constexpr double PictureDpi = 600;

QSize printPixels(const PictureFrame& front, const PictureFrame& back)
{
    auto pixels = [](float twips) { return int(std::ceil(double(twips) / 1440 * PictureDpi)); };
    return {std::max({pixels(front.Width), pixels(back.Width), 1}),
            std::max({pixels(front.Height), pixels(back.Height), 1})};
}

} // namespace

LinkedRecord PrintSlot::drawnRecord(QSize size) const
{
    LinkedRecord drawn = *record;
    if (photoDecode.isValid() && !drawn.photoPath.isEmpty()) {
        QString path = drawn.photoPath;
        OpenImage(drawn.photo, path, size.isValid() ? size : photoDecode);
    }
    if (signDecode.isValid() && !drawn.signPath.isEmpty()) {
        QString path = drawn.signPath;
        OpenImage(drawn.sign, path, size.isValid() ? size : signDecode);
    }
    return drawn;
}

void PrintSlot::keepPicturesAsFiles(QSize photo, QSize sign)
{
    if (!record)
        return;
    // A picture that was not found stays none: its file is not looked for again.
    if (!record->photo.isNull() && !record->photoPath.isEmpty()) {
        record->photo = QImage();
        photoDecode = photo;
    }
    if (!record->sign.isNull() && !record->signPath.isEmpty()) {
        record->sign = QImage();
        signDecode = sign;
    }
}

void PrintSlot::keepPicturesForPrint()
{
    const BadgeSide& other = reverse ? *reverse : layout;
    keepPicturesAsFiles(printPixels(layout.imgPhoto, other.imgPhoto),
                        printPixels(layout.imgSign, other.imgSign));
}

} // namespace vm
