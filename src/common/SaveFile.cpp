#include "common/SaveFile.h"

#include <QDir>
#include <QSaveFile>

namespace vm {

Status cannotWrite(const QString& path, const QString& reason)
{
    return Status::failure(
        QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

Status saveFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return cannotWrite(path, why);
    }
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return {};
}

} // namespace vm
