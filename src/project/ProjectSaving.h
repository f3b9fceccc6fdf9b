#pragma once

#include "project/ProjectSettings.h"

#include <functional>

class QWidget;

namespace vm {

class Dialogs;

// Writes a project file and tells the operator: "Project Saved" (the project state becomes
// Written) or why the file could not be written, in which case nothing else changes. `commit`
// runs between a good write and the message; the wizard makes its settings the open project
// there, so the project changes only once its file holds it.
bool saveProjectFile(Dialogs& dialogs, QWidget* parent, const StoredSettings& settings,
                     const QString& path, const std::function<void()>& commit = {});

} // namespace vm
