#pragma once

#include "project/ProjectSettings.h"

#include <QStringList>

namespace vm {

// Writes the demo's badge files into the project's badge folder, using the pictures of its logo
// folder; returns their names, or an empty list with *error set.
QStringList writeDemoBadges(const StoredSettings& project, QString* error);

} // namespace vm
