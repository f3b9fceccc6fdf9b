#pragma once

#include <QByteArray>
#include <QString>

namespace vm {

// Writes the whole file through a temporary file that replaces the old one only when every byte
// has been written, so a crash or a full disk never leaves a half-written file. Returns an empty
// text on success, else a message that names the file and the reason.
QString saveFileAtomically(const QString& path, const QByteArray& bytes);

// Reads a whole file. Returns false and sets *error (file and reason) when it cannot be read.
bool readWholeFile(const QString& path, QByteArray* bytes, QString* error);

} // namespace vm
