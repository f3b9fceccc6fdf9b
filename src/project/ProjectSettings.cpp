#include "project/ProjectSettings.h"

#include "project/Database.h"
#include "project/SqlText.h"

#include <QFileInfo>

namespace vm {

void useCodePagesOf(const StoredSettings& settings)
{
    setLegacyCodePage(settings.CodePage);
    DatabaseConnection::setProjectAccessCharset(settings.AccessCodePage.toLatin1());
}

ProjectSettings& ProjectSettings::instance()
{
    static ProjectSettings settings;
    return settings;
}

void ProjectSettings::reset()
{
    stored() = StoredSettings{};
    ProjectFile.clear();
    DatabaseConnection::setProjectFolder({});
    ProjectState = vm::ProjectState::None;
    DatabaseConfigured = false;
    CurrentBadgePath.clear();
    BadgeOrientation = 0;
    useCodePagesOf(stored());
}

void ProjectSettings::replace(const StoredSettings& settings, const QString& file)
{
    stored() = settings;
    ProjectFile = file;
    DatabaseConnection::setProjectFolder(file.isEmpty() ? QString()
                                                        : QFileInfo(file).absolutePath());
    useCodePagesOf(settings);
    Q_EMIT projectReplaced();
}

QString relationText(const QString& master, const QString& masterField, const QString& child,
                     const QString& linkingField)
{
    return bracketedName(master) + QStringLiteral(".[") + masterField + QStringLiteral("]=") +
           bracketedName(child) + QStringLiteral(".[") + linkingField + u']';
}

void SetProjectState(ProjectState state)
{
    ProjectSettings& settings = ProjectSettings::instance();
    settings.ProjectState = state;
    switch (state) {
    case ProjectState::None:
        Q_EMIT settings.projectMenusEnabledChanged(false);
        break;
    case ProjectState::Configuring:
    case ProjectState::Open:
        Q_EMIT settings.projectMenusEnabledChanged(true);
        break;
    case ProjectState::Written:
        break;
    }
}

} // namespace vm
