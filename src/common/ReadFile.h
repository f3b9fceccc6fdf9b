#pragma once

#include "common/Status.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

namespace vm {

// The largest files read, far above any real one: a path that names a device or a runaway file
// is refused at once instead of read for minutes into memory.
inline constexpr qint64 TextFileLimit = qint64(64) << 20;     // project, badge and scratch files
inline constexpr qint64 PictureFileLimit = qint64(256) << 20; // photographs, signatures, logos
inline constexpr qint64 DatabaseFileLimit = qint64(4) << 30;  // Access files (Jet stops at 2 GB)

// Opens a regular file of at most `limit` bytes for reading. A FIFO, a device or a socket is
// refused without waiting for a writer or reading it; so is a folder. A failure names the file
// and the reason.
Result<std::unique_ptr<QFile>> openRegularFile(const QString& path, qint64 limit);

// Reads a whole regular file of at most `limit` bytes, as openRegularFile opens it.
Result<QByteArray> readWholeFile(const QString& path, qint64 limit = TextFileLimit);
// The rest of a file opened so, which must not grow past `limit` while it is read.
Result<QByteArray> readRest(QFile& file, qint64 limit);

} // namespace vm
