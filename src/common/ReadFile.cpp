#include "common/ReadFile.h"

#include <QDir>
#include <QLocale>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vm {
namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

Status cannotRead(const QString& path, const QString& why)
{
    return Status::failure(QStringLiteral("Cannot read %1: %2").arg(shown(path), why));
}

// Why a file of this kind and size is not read; empty when it is read.
QString refusal(const QString& path, const struct stat& info, qint64 limit)
{
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is a folder, not a file").arg(shown(path));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a file but a device, pipe or socket, which is not read")
            .arg(shown(path));
    if (info.st_size > limit) {
        const QLocale c = QLocale::c();
        return QStringLiteral("%1 is %2 MB, more than the %3 MB such a file can have")
            .arg(shown(path), c.toString(double(info.st_size) / (1 << 20), 'f', 0),
                 c.toString(limit >> 20));
    }
    return {};
}

} // namespace

Result<std::unique_ptr<QFile>> openRegularFile(const QString& path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    // Looked at before opening: opening a FIFO waits for a writer, opening a device may act.
    if (::stat(name.constData(), &info) != 0)
        return cannotRead(path, qt_error_string(errno));
    if (QString why = refusal(path, info, limit); !why.isEmpty())
        return Status::failure(why);
    // Non-blocking, and looked at again once open, in case the name changed hands meanwhile.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return cannotRead(path, qt_error_string(errno));
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return cannotRead(path, qt_error_string(error));
    }
    if (QString why = refusal(path, info, limit); !why.isEmpty()) {
        ::close(fd);
        return Status::failure(why);
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return cannotRead(path, file->errorString());
    }
    return file;
}

Result<QByteArray> readWholeFile(const QString& path, qint64 limit)
{
    Result<std::unique_ptr<QFile>> file = openRegularFile(path, limit);
    if (!file)
        return file.status();
    return readRest(**file, limit);
}

Result<QByteArray> readRest(QFile& file, qint64 limit)
{
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        return cannotRead(file.fileName(), file.errorString());
    if (bytes.size() > limit)
        return Status::failure(
            QStringLiteral("%1 grew past the %2 MB such a file can have while it was read")
                .arg(shown(file.fileName()), QLocale::c().toString(limit >> 20)));
    return bytes;
}

} // namespace vm
