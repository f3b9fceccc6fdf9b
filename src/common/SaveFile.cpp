#include "common/SaveFile.h"

#include "common/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vm {

Status cannotWrite(const QString& path, const QString& reason)
{
    return Status::failure(
        QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

Status saveFileAtomically(const QString& path, const QByteArray& bytes)
{
    AtomicFile file(path);
    if (Status opened = file.open(); !opened)
        return opened;
    file.write(bytes);
    return file.commit();
}

Result<QByteArray> readWholeFile(const QString& path)
{
    auto cannotRead = [&](const QString& why) {
        return Status::failure(
            QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), why));
    };
    if (QFileInfo(path).isDir())
        return Status::failure(
            QStringLiteral("%1 is a folder, not a file").arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        return cannotRead(file.errorString());
    return bytes;
}

} // namespace vm
