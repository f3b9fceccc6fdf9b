#include "common/PictureFiles.h"

#include "common/FileNames.h"
#include "common/ReadFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace vm {
namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

// Qt refuses to decode anything above 128 MB, which a 16-bit logo of 5000 x 5000 pixels needs
// before it is scaled down. Set once, before the first picture, for every thread.
void allowLargePictures()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(512); });
}

// A JPEG decodes fastest at an eighth, a quarter, three eighths ... of its size, scaled while it
// is decoded; resampling it to the exact size asked for costs a third more time than the whole
// decoding for pixels nobody sees. So such a size is taken when it falls short by 5% at most, or,
// for the screen, when it is at most twice the size asked for.
// Without a size wanted, a JPEG takes the smallest such size that keeps 600 dpi over a card
// (a 35-megapixel photograph decodes in a fifth of the time); anything else is fitted to the card
// at 1200 dpi.
QSize decodedSize(QSize full, QSize wanted, bool jpeg, DecodeFit fit)
{
    if (!wanted.isValid()) {
        const QSize bound(LargestPictureSide, LargestPictureSide);
        if (full.width() <= bound.width() && full.height() <= bound.height())
            return full;
        QSize halved = full;
        while (jpeg && halved.width() % 2 == 0 && halved.height() % 2 == 0 &&
               std::max(halved.width(), halved.height()) / 2 >= LargestPictureSide / 2)
            halved /= 2;
        return halved.boundedTo(bound) == halved ? halved : full.scaled(bound, Qt::KeepAspectRatio);
    }
    wanted = full.scaled(wanted, Qt::KeepAspectRatioByExpanding);
    if (!jpeg)
        return wanted;
    // The decoder's own sizes, an eighth of each side at a time. Qt resamples whatever the
    // decoder rounds, so only a size that divides evenly is taken.
    const double allowed = fit == DecodeFit::Screen ? 2.0 : 1.05;
    for (int eighths = 1; eighths < 8; ++eighths) {
        if (full.width() * eighths % 8 != 0 || full.height() * eighths % 8 != 0)
            continue;
        const QSize scaled = full * eighths / 8;
        if (scaled.width() < wanted.width() * 0.95 || scaled.height() < wanted.height() * 0.95)
            continue;
        return scaled.width() <= wanted.width() * allowed ? scaled : wanted;
    }
    return wanted;
}

// Qt's allocation limit is raised for the whole program, so each decode keeps its own: no
// picture comes out larger than Qt's usual 128 MB, whatever size a frame asks for.
constexpr qint64 DecodedPixelBudget = (qint64(128) << 20) / 4;

QSize withinBudget(QSize size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels <= DecodedPixelBudget)
        return size;
    const double shrink = std::sqrt(double(DecodedPixelBudget) / double(pixels));
    return {std::max(1, int(size.width() * shrink)), std::max(1, int(size.height() * shrink))};
}

// Whether a JPEG's segments run to its end-of-image marker. Qt decodes a file cut short without
// an error and paints the missing part grey.
bool jpegComplete(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype at = 2; // after the start-of-image marker
    while (at < size) {
        // Bytes before a marker are skipped, as the decoder skips them.
        const void* next = std::memchr(data + at, 0xFF, size_t(size - at));
        if (!next)
            return false;
        at = static_cast<const uchar*>(next) - data;
        while (at < size && data[at] == 0xFF)
            ++at;
        if (at >= size)
            return false;
        const uchar marker = data[at++];
        if (marker == 0xD9) // end of image
            return true;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length follows
        if (size - at < 2)
            return false;
        const int length = (data[at] << 8) | data[at + 1];
        if (length < 2 || size - at < length)
            return false;
        at += length;
        if (marker != 0xDA) // start of scan: coded data follows up to the next marker
            continue;
        while (true) {
            const void* ff = std::memchr(data + at, 0xFF, size_t(size - at));
            if (!ff)
                return false;
            at = static_cast<const uchar*>(ff) - data;
            if (at + 1 >= size)
                return false;
            const uchar after = data[at + 1];
            if (after == 0x00 || (after >= 0xD0 && after <= 0xD7))
                at += 2; // a stuffed byte or a restart marker belongs to the data
            else if (after == 0xFF)
                ++at; // fill before a marker
            else
                break;
        }
    }
    return false;
}

quint32 littleEndian(const uchar* at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

// Whether a BMP holds every row its header promises. Qt decodes a short one without an error.
bool bmpComplete(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < 26)
        return false;
    const qint64 offset = littleEndian(data + 10, 4);
    const quint32 header = littleEndian(data + 14, 4);
    qint64 width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
    if (header == 12) { // the old OS/2 header
        width = littleEndian(data + 18, 2);
        height = littleEndian(data + 20, 2);
        bits = littleEndian(data + 24, 2);
    } else {
        if (size < 38)
            return false;
        width = qint32(littleEndian(data + 18, 4));
        height = qint32(littleEndian(data + 22, 4));
        bits = littleEndian(data + 28, 2);
        compression = littleEndian(data + 30, 4);
        imageSize = littleEndian(data + 34, 4);
    }
    const qint64 available = size - offset;
    if (available < 0)
        return false;
    if (compression == 1 || compression == 2) // run-length coded: only the stated size is known
        return imageSize <= available;
    if (compression != 0 && compression != 3) // other codings: left to the decoder
        return true;
    const qint64 rowBytes = (qAbs(width) * bits + 31) / 32 * 4;
    return rowBytes == 0 || qAbs(height) <= available / rowBytes;
}

// Eight bits a channel are all a print shows, at half the memory.
QImage flattened(const QImage& picture)
{
    if (picture.format() == QImage::Format_Grayscale16)
        return picture.convertToFormat(QImage::Format_Grayscale8);
    if (picture.depth() <= 32)
        return picture;
    return picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);
}

// The endings looked for, in order, each in the spellings a file may carry.
constexpr std::array<const char*, 3> Endings = {"jpg", "jpeg", "bmp"};

QStringList spellings(const char* ending)
{
    const QString lower = QString::fromLatin1(ending);
    const QString upper = lower.toUpper();
    return {lower, upper, upper.left(1) + lower.mid(1)};
}

// Decodes a picture read whole from `file`, as readPicture does.
Result<QImage> decodePicture(QByteArray bytes, const QString& file, QSize decodeSize,
                             DecodeFit fit)
{
    allowLargePictures();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if ((format == "jpeg" && !jpegComplete(bytes)) || (format == "bmp" && !bmpComplete(bytes)))
        return Status::failure(
            QStringLiteral("%1 is cut short: the file ends before its picture does")
                .arg(shown(file)));
    const QSize full = reader.size();
    if (decodeSize == PictureHeaderOnly && full.isValid() && !full.isEmpty()) {
        QImage placeholder(1, 1, QImage::Format_RGB32);
        placeholder.fill(Qt::gray);
        return placeholder;
    }
    if (full.isValid()) {
        QSize wanted = decodeSize;
        // The size wanted is upright; the file may hold the picture on its side.
        if (wanted.isValid() &&
            reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
            wanted.transpose();
        const QSize target = withinBudget(decodedSize(full, wanted, format == "jpeg", fit));
        if (target.width() < full.width() || target.height() < full.height())
            reader.setScaledSize(target);
    }
    const QImage picture = reader.read();
    if (picture.isNull()) {
        const QString pixels =
            full.isValid()
                ? QStringLiteral(" (%1 x %2 pixels)").arg(full.width()).arg(full.height())
                : QString();
        return Status::failure(QStringLiteral("%1%2 cannot be decoded as a picture: %3")
                                   .arg(shown(file), pixels, reader.errorString()));
    }
    return flattened(picture);
}

// Where the file open under `fd` lies now, its links resolved; empty when that cannot be told.
QString openedPath(int fd)
{
    char target[4096];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    if (length <= 0 || size_t(length) >= sizeof target)
        return {};
    return QFile::decodeName(QByteArray(target, length));
}

// Reads a picture that must lie inside `insideOf` (a folder ending in "/", its links resolved).
// The file is opened once and the file opened is the one checked: a link swapped between a check
// of the name and the read cannot bring in a file from elsewhere.
Result<QByteArray> readInside(const QString& path, const QString& insideOf)
{
    Result<std::unique_ptr<QFile>> file = openRegularFile(path, PictureFileLimit);
    if (!file)
        return file.status();
    QString real = openedPath((*file)->handle());
    if (real.isEmpty()) { // no /proc: the name resolved now must still lead to the file opened
        real = QFileInfo(path).canonicalFilePath();
        struct stat opened {}, named {};
        if (::fstat((*file)->handle(), &opened) != 0 ||
            ::stat(QFile::encodeName(real).constData(), &named) != 0 ||
            opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
            real.clear();
    }
    if (!real.startsWith(insideOf))
        return Status::failure(QStringLiteral("%1 leads by a link out of the folder %2")
                                   .arg(shown(path), shown(insideOf)));
    return readRest(**file, PictureFileLimit);
}

// Looks for stem + "." + each ending from `first` on; the first file that exists is read, unless
// it lies outside `insideOf` (a folder ending in "/", with its links resolved).
Result<FoundPicture> lookUp(const QString& stem, qsizetype first, QSize decodeSize, DecodeFit fit,
                            const QString& insideOf = {})
{
    FoundPicture found;
    for (qsizetype e = first; e < qsizetype(Endings.size()); ++e) {
        for (const QString& spelling : spellings(Endings[e])) {
            const QString path = stem + QLatin1Char('.') + spelling;
            const QFileInfo info(path);
            if (!info.exists())
                continue;
            found.path = path;
            found.firstTry = e == first;
            Result<QByteArray> bytes = insideOf.isEmpty()
                                           ? readWholeFile(path, PictureFileLimit)
                                           : readInside(path, insideOf);
            if (!bytes)
                return bytes.status();
            Result<QImage> picture = decodePicture(std::move(*bytes), path, decodeSize, fit);
            if (!picture)
                return picture.status();
            found.picture = *picture;
            return found;
        }
    }
    found.path = stem + QLatin1Char('.') + QLatin1String(Endings.back());
    return found;
}

// The folder with every "." and ".." taken out and a slash at its end.
QString cleanFolder(const QString& folder)
{
    QString clean =
        QDir::cleanPath(QDir(folder.isEmpty() ? QStringLiteral(".") : folder).absolutePath());
    if (!clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

} // namespace

Result<QImage> readPicture(const QString& file, QSize decodeSize, DecodeFit fit)
{
    Result<QByteArray> bytes = readWholeFile(file, PictureFileLimit);
    if (!bytes)
        return bytes.status();
    return decodePicture(std::move(*bytes), file, decodeSize, fit);
}

namespace {

// folder + value, refused when it leads out of the folder by its name.
Result<QString> stemInside(const QString& folder, const QString& value)
{
    const QString stem = withTrailingSlash(folder) + value;
    const QString lexical =
        QDir::cleanPath(QFileInfo(stem + QStringLiteral(".jpg")).absoluteFilePath());
    if (value.startsWith(QLatin1Char('/')) || !lexical.startsWith(cleanFolder(folder)))
        return Status::failure(QStringLiteral("%1 names a file outside the folder %2")
                                   .arg(quoted(value), shown(folder)));
    return stem;
}

} // namespace

Result<FoundPicture> findPicture(const QString& folder, const QString& value, QSize decodeSize,
                                 DecodeFit fit)
{
    const Result<QString> stem = stemInside(folder, value);
    if (!stem)
        return stem.status();
    // A link in the folder may point elsewhere in it, not out of it.
    const QString canonical = QFileInfo(cleanFolder(folder)).canonicalFilePath();
    if (canonical.isEmpty()) // no folder: nothing to find in it
        return FoundPicture{{}, *stem + QStringLiteral(".bmp"), false};
    return lookUp(*stem, 0, decodeSize, fit, withTrailingSlash(canonical));
}

Result<QString> existingPictureFile(const QString& folder, const QString& value)
{
    const Result<QString> stem = stemInside(folder, value);
    if (!stem)
        return stem.status();
    for (const char* ending : Endings) {
        for (const QString& spelling : spellings(ending)) {
            const QString path = *stem + QLatin1Char('.') + spelling;
            if (QFileInfo::exists(path))
                return path;
        }
    }
    return QString();
}

Result<QString> newPictureFile(const QString& folder, const QString& value)
{
    const Result<QString> stem = stemInside(folder, value);
    if (!stem)
        return stem.status();
    const QString path = *stem + QStringLiteral(".jpg");
    // The folder the file goes into, its links resolved, must lie in the folder's.
    const QString canonical = QFileInfo(cleanFolder(folder)).canonicalFilePath();
    const QString into = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    if (canonical.isEmpty() || into.isEmpty())
        return Status::failure(QStringLiteral("The folder of %1 does not exist").arg(shown(path)));
    if (!withTrailingSlash(into).startsWith(withTrailingSlash(canonical)))
        return Status::failure(QStringLiteral("%1 leads by a link out of the folder %2")
                                   .arg(shown(path), shown(folder)));
    const QFileInfo existing(path);
    if (existing.isSymLink() || (existing.exists() && !existing.isFile()))
        return Status::failure(
            QStringLiteral("%1 is not a plain file: it is left alone").arg(shown(path)));
    return path;
}

bool OpenImage(QImage& picture, QString& path, QSize decodeSize)
{
    picture = QImage();
    if (path.isEmpty())
        return false;
    for (qsizetype e = 0; e < qsizetype(Endings.size()); ++e) {
        const QString ending = QLatin1Char('.') + QLatin1String(Endings[e]);
        if (!path.endsWith(ending))
            continue;
        const Result<FoundPicture> found =
            lookUp(path.chopped(ending.size()), e, decodeSize, DecodeFit::Exact);
        if (!found) // found but unreadable: no further name is tried
            return false;
        picture = found->picture;
        path = found->path;
        return found->firstTry && !picture.isNull();
    }
    const Result<QImage> read = readPicture(path, decodeSize);
    if (read)
        picture = *read;
    return read.ok();
}

} // namespace vm
