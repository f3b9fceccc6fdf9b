#pragma once

#include "support/Skip.h"

#include <QImage>
#include <QString>

namespace vm::test {

// The real face photograph the photo tests judge (a footballer in a stadium); empty when the
// package that ships it is not installed.
inline QString facePhotoFile()
{
    return QStringLiteral(VELLUMARK_FACE_PHOTO);
}

inline QString noFacePhotoReason()
{
    return facePhotoFile().isEmpty() || QImage(facePhotoFile()).isNull()
               ? QStringLiteral("no face photograph: install opencv-doc (messi5.jpg)")
               : QString();
}

} // namespace vm::test
