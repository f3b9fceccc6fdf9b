#pragma once

#include "common/Status.h"

#include <QByteArray>
#include <QString>

namespace vm {

// Writes the whole file through a temporary file that replaces the old one only when every byte
// has been written, so a crash or a full disk never leaves a half-written file. A failure names
// the file and the reason.
Status saveFileAtomically(const QString& path, const QByteArray& bytes);

// "Cannot write <file>: <reason>", the words every writer uses.
Status cannotWrite(const QString& path, const QString& reason);

} // namespace vm
