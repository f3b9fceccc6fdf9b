#include "project/ProjectSaving.h"

#include "project/ProjectFile.h"
#include "widgets/Dialogs.h"

namespace vm {

bool saveProjectFile(Dialogs& dialogs, QWidget* parent, const StoredSettings& settings,
                     const QString& path, const std::function<void(const StoredSettings&)>& commit)
{
    ProjectSettings& project = ProjectSettings::instance();
    const bool openFile = !path.isEmpty() && path == project.ProjectFile;
    const Result<BadgeListMerge> written = WriteProjectFileMerged(
        settings, path, openFile ? std::optional(project.badgesOnDisk()) : std::nullopt);
    if (!written) {
        dialogs.message(parent, {QStringLiteral("The project was not saved."),
                                 MessageButtons::Ok,
                                 MessageIcon::Critical,
                                 {},
                                 written.error()});
        return false;
    }
    StoredSettings saved = settings;
    saved.Badges = written->badges;
    if (openFile) {
        project.setBadges(saved.Badges);
        project.setBadgesOnDisk(saved.Badges);
    }
    if (commit)
        commit(saved);
    SetProjectState(ProjectState::Written);
    QStringList merged;
    if (!written->keptFromDisk.isEmpty())
        merged << QStringLiteral("Badges listed at another station since the project was read "
                                 "here are kept: %1.")
                      .arg(written->keptFromDisk.join(QStringLiteral(", ")));
    if (!written->droppedFromDisk.isEmpty())
        merged << QStringLiteral("Badges taken off the list at another station stay off it: %1.")
                      .arg(written->droppedFromDisk.join(QStringLiteral(", ")));
    dialogs.message(parent,
                    {QStringLiteral("Project Saved"), MessageButtons::Ok, MessageIcon::Information,
                     QStringLiteral("Save"), merged.join(QLatin1Char('\n'))});
    return true;
}

} // namespace vm
