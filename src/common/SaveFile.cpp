#include "common/SaveFile.h"

#include "common/AtomicFile.h"

#include <QDir>

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

} // namespace vm
