#include "project/ProjectSettings.h"

#include "badge/BadgeNames.h"
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
    m_badgesOnDisk.clear();
    setCurrentBadgePath({});
    setBadgeOrientation(0);
    useCodePagesOf(stored());
    Q_EMIT badgesChanged();
}

QString ProjectSettings::addBadge(const QString& name)
{
    const qsizetype before = Badges.size();
    const QString listed = listBadge(Badges, name);
    if (Badges.size() != before)
        Q_EMIT badgesChanged();
    return listed;
}

void ProjectSettings::setBadges(const QStringList& names)
{
    if (names == Badges)
        return;
    Badges = names;
    Q_EMIT badgesChanged();
}

void ProjectSettings::setCurrentBadgePath(const QString& path)
{
    if (path == m_currentBadgePath)
        return;
    m_currentBadgePath = path;
    Q_EMIT currentBadgeChanged(path);
}

void ProjectSettings::setBadgeOrientation(qint16 orientation)
{
    if (orientation == m_badgeOrientation)
        return;
    m_badgeOrientation = orientation;
    Q_EMIT badgeOrientationChanged(orientation);
}

void ProjectSettings::replace(const StoredSettings& settings, const QString& file)
{
    stored() = settings;
    m_badgesOnDisk = file.isEmpty() ? QStringList() : settings.Badges;
    ProjectFile = file;
    DatabaseConnection::setProjectFolder(file.isEmpty() ? QString()
                                                        : QFileInfo(file).absolutePath());
    useCodePagesOf(settings);
    Q_EMIT badgesChanged();
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
