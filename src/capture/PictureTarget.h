#pragma once

#include "common/Status.h"
#include "project/Database.h"
#include "project/StoredSettings.h"
#include "records/LinkedRecord.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace vm {

enum class PictureKind { Photo, Signature };

// Whose picture is taken and for which frame. Fixed when the capture opens, so a person chosen
// in the browser meanwhile never receives it.
struct PictureTarget {
    PictureKind kind = PictureKind::Photo;
    LinkedRecord person;
    QSizeF frameTwips; // the badge's frame; empty when the badge has none
    StoredSettings project;

    // Width over height of the crop: the frame's, or a usual one when the badge has no frame.
    double aspect() const;
    // "the photograph of 1042", as messages and captions name it; "The …" to start a sentence.
    QString what(bool capital = false) const;
};

// The crop that puts the face where the frame expects it; nothing when no face is found, an
// error when faces cannot be looked for (the cascade file is missing).
Result<std::optional<QRectF>> faceCrop(const QImage& picture, double aspect);

// Saves the cropped picture for the target through the photo store, as the badge prints it,
// keeping the one it replaces as NAME.previous.jpg; the file written, or why not.
Result<QString> savePicture(DatabaseConnection& db, const PictureTarget& target,
                            const QImage& cropped);

} // namespace vm
