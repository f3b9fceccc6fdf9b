#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vm::test {

// The whole file; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vm::test
