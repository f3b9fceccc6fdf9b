#pragma once

#include "common/Status.h"
#include "project/Database.h"
#include "project/StoredSettings.h"
#include "records/RecordKey.h"

#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace vm {

// Photographs are kept with enough pixels to print at this resolution in their frame, as JPEG of
// this quality (no visible loss at that size; a fifth of the bytes of quality 100).
inline constexpr double StoredPhotoDpi = 300;
inline constexpr int StoredPhotoQuality = 92;

// The pixels a crop is kept at: fitted into the frame (as the badge fits it), as many as
// StoredPhotoDpi needs there; a smaller crop keeps its own, as enlarging adds no detail.
QSize storedPhotoSize(QSize crop, QSizeF frameTwips);

// The record's photo value, read through the statement that links it (a column of a child table
// comes from the row the badge shows). Refused, naming the record, when it has no row.
Result<QString> photoValueOf(DatabaseConnection& db, const StoredSettings& project,
                             const RecordKey& key);

// Where a person's photograph goes.
struct PhotoTarget {
    QString name;             // the photo value, or the key when the value is empty
    QString file;             // photo folder + name + ".jpg"
    QString existing;         // the file the badge shows now; empty when there is none
    bool writesValue = false; // the value is empty: the key is written into it with the photo
};

// Finds where the photograph of the record goes. Refused, naming the record, when the project
// places no photographs, the record is not found, the value is empty and the column cannot be
// written (an Access copy, a column of a child table), the name leads out of the photo folder,
// or another record's photograph has the same name (saving would change that badge too).
Result<PhotoTarget> photoTarget(DatabaseConnection& db, const StoredSettings& project,
                                const RecordKey& key);

struct SavedPhoto {
    QString file;
    QString previous; // where the photograph it replaced is kept; empty when there was none
    QSize pixels;
    bool valueWritten = false;
};

// Saves a cropped photograph of the record into the photo folder as `target` says, sized for a
// frame of `frameTwips` (storedPhotoSize). The photograph shown until now is kept as
// NAME.previous.jpg (replacing the one kept before), then the new file replaces it whole or not
// at all; then the key is written into an empty photo value, as a bound value. A failure at any
// step leaves the photograph the badge showed in place and says what failed.
Result<SavedPhoto> storePhoto(DatabaseConnection& db, const StoredSettings& project,
                              const RecordKey& key, const PhotoTarget& target,
                              const QImage& cropped, QSizeF frameTwips);

// The name the photograph shown until now is kept under, beside `file` (NAME.jpg).
QString previousPhotoFile(const QString& file);

} // namespace vm
