#include "common/SaveFile.h"

#include "common/AtomicFile.h"
#include "common/ReadFile.h"

#include <QDir>
#include <QFile>

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

Status saveFilePair(const QString& path, const QByteArray& bytes, const QString& companionPath,
                    const std::optional<QByteArray>& companion)
{
    AtomicFile file(path);
    AtomicFile companionFile(companionPath);
    if (Status opened = file.open(); !opened)
        return opened;
    if (!file.write(bytes))
        return file.status();
    const bool hadCompanion = QFile::exists(companionPath);
    const Result<QByteArray> oldCompanion =
        hadCompanion ? readWholeFile(companionPath) : Result<QByteArray>(QByteArray());
    if (companion) {
        if (!oldCompanion)
            return oldCompanion.status();
        if (Status opened = companionFile.open(); !opened)
            return opened;
        if (!companionFile.write(*companion))
            return companionFile.status();
        if (Status written = companionFile.commit(); !written)
            return written;
    }
    if (Status written = file.commit(); !written) {
        if (companion && hadCompanion)
            static_cast<void>(saveFileAtomically(companionPath, *oldCompanion));
        else if (companion)
            QFile::remove(companionPath);
        return written;
    }
    if (!companion && hadCompanion && !QFile::remove(companionPath))
        return cannotWrite(companionPath, QStringLiteral("it could not be removed"));
    return {};
}

} // namespace vm
