#include "render/PrintSlot.h"

#include "records/RecordLink.h"

namespace vm {

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

} // namespace vm
