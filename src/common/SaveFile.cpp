#include "common/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vm {

QString saveFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why);
    }
    if (!file.commit())
        return QStringLiteral("Cannot write %1: %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    return {};
}

bool readWholeFile(const QString& path, QByteArray* bytes, QString* error)
{
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("%1 is a folder, not a file").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    *bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        *error = QStringLiteral("Cannot read %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace vm
