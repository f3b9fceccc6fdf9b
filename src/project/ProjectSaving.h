#pragma once

#include "project/ProjectSettings.h"

#include <functional>

class QWidget;

namespace vm {

class Dialogs;

// Writes a project file and tells the operator: "Project Saved" (the project state becomes
// Written) or why the file could not be written, in which case nothing else changes. Saved over
// the open project's file, the badge list is merged with the one the file holds now (another
// station's badges kept, the operator told which) and becomes the open project's list. `commit`
// runs between a good write and the message with the settings as written; the wizard makes them
// the open project there, so the project changes only once its file holds it.
bool saveProjectFile(Dialogs& dialogs, QWidget* parent, const StoredSettings& settings,
                     const QString& path,
                     const std::function<void(const StoredSettings&)>& commit = {});

} // namespace vm
