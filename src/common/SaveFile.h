#pragma once

#include "common/Status.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vm {

// Writes the whole file through a temporary file that replaces the old one only when every byte
// has been written, so a crash or a full disk never leaves a half-written file. A failure names
// the file and the reason.
Status saveFileAtomically(const QString& path, const QByteArray& bytes);

// A file and the companion file beside it, written as one: both are written in full to temporary
// files before either replaces its old one, and should the file still fail to take its place
// after its companion has, the old companion is put back. Without companion bytes an existing
// companion is removed once the file is in place.
Status saveFilePair(const QString& path, const QByteArray& bytes, const QString& companionPath,
                    const std::optional<QByteArray>& companion);

// "Cannot write <file>: <reason>", the words every writer uses.
Status cannotWrite(const QString& path, const QString& reason);

} // namespace vm
