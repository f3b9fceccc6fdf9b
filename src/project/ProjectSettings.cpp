#include "project/ProjectSettings.h"

namespace vm {

ProjectSettings& ProjectSettings::instance()
{
    static ProjectSettings settings;
    return settings;
}

void ProjectSettings::reset()
{
    stored() = StoredSettings{};
    ProjectFile.clear();
    ProjectState = 0;
    DatabaseConfigured = false;
    CurrentBadgePath.clear();
    BadgeOrientation = 0;
}

void SetProjectState(qint16 state)
{
    ProjectSettings& settings = ProjectSettings::instance();
    settings.ProjectState = state;
    if (state == 0)
        Q_EMIT settings.projectMenusEnabledChanged(false);
    else if (state == 1 || state == 3)
        Q_EMIT settings.projectMenusEnabledChanged(true);
}

} // namespace vm
