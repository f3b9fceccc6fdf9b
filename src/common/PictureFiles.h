#pragma once

#include "common/Status.h"
#include "common/Units.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace vm {

// Printers and PDF files print at this resolution; no picture needs more pixels than a card has
// there, so none is decoded larger (a 40-megapixel photograph or a 16-bit poster-sized logo
// would not even fit Qt's allocation limit at full size).
inline constexpr double PicturePrintDpi = 1200;
inline constexpr int LargestPictureSide = int(twipsToPixels(CardLongSide, PicturePrintDpi)) + 1;

// How closely a decode keeps to the size asked for. On paper a picture is stored as decoded, so
// it keeps to the size; on the screen the painter scales it anyway, and a JPEG may come out up to
// twice as large when that spares the decoder a pass of resampling (a third of its time).
enum class DecodeFit { Exact, Screen };

// Decodes a picture file, which must be a regular file of a picture's size. With a valid
// `decodeSize` a large picture decodes at least that large (a JPEG at the half, quarter or eighth
// of its size that falls short of it by 5% at most, which decodes fastest); without one, no side
// larger than LargestPictureSide (a JPEG at least half as large, taken at such a fraction).
// Pictures of 16 bits a channel come back with 8. A file that ends before its picture does (a JPEG
// or BMP cut short, which decodes with the rest grey) is an error, as is one that does not decode;
// the message names the file.
Result<QImage> readPicture(const QString& file, QSize decodeSize = {},
                           DecodeFit fit = DecodeFit::Exact);

// As a decode size: the file's header is read and the file checked whole, but nothing decoded
// (a JPEG's data would take as long at an eighth of its size); the picture comes back as one
// pixel. For a picture kept as its file and decoded when it is drawn.
inline constexpr QSize PictureHeaderOnly(0, 0);

// A picture found for a record, or none.
struct FoundPicture {
    QImage picture;        // null: no file under any ending
    QString path;          // the file read, else the last name tried
    bool firstTry = false; // found under the first ending
};

// A record's picture: folder + value + ".jpg", else ".jpeg", else ".bmp". Only the ending's
// letter case may differ (".JPG"): a name in other letters belongs to another person. Each name
// is looked up directly, never by listing the folder. Refused, naming the value, when the name
// leads out of the folder (through "..", as an absolute path or by a symbolic link); an error
// when the file found cannot be decoded whole.
Result<FoundPicture> findPicture(const QString& folder, const QString& value,
                                 QSize decodeSize = {}, DecodeFit fit = DecodeFit::Exact);

// The file findPicture would read for the value: the first of its names that exists, or an
// empty text when none does. Refused as findPicture refuses a name leading out of the folder.
Result<QString> existingPictureFile(const QString& folder, const QString& value);

// Where a new picture of the value is written: folder + value + ".jpg". Refused when the name or
// a link of its folder leads out of the folder, when the folder it goes into does not exist, and
// when the name is taken by a link or by something other than a file.
Result<QString> newPictureFile(const QString& folder, const QString& value);

// Loads a picture file, looking for a missing name.jpg as name.jpeg and a missing name.jpeg as
// name.bmp, the ending in any letter case; when nothing loads the picture is cleared. `path`
// ends as the file read or the last name tried. True only when the first name loaded.
bool OpenImage(QImage& picture, QString& path, QSize decodeSize = {});

} // namespace vm
