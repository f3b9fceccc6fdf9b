#pragma once

#include "common/Status.h"
#include "project/StoredSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vm {

// The project file: one quoted line per item, keys in a fixed order, CR LF line ends.

// The line texts (without quotes) in file order.
QStringList projectFileLines(const StoredSettings& settings);

// A value holding a double quote cannot be stored (the format has no escape). Returns the key of
// the first such value ("ProjectName:", "Table:2:", ...) or an empty text when all can be stored.
QString unstorableProjectValue(const StoredSettings& settings);

// Writes the file atomically; a value with a double quote is refused and nothing is written.
Status WriteProjectFile(const StoredSettings& settings, const QString& path);

// The exact inverse of the writer. A file that does not follow the format (a key missing or out
// of order, a count that disagrees with the lines that follow, text after the last badge) is
// rejected as a whole; the failure says where.
Result<StoredSettings> parseProjectFile(const QByteArray& bytes);
Result<StoredSettings> ReadProjectFile(const QString& path);

} // namespace vm
