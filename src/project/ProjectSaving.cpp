#include "project/ProjectSaving.h"

#include "project/ProjectFile.h"
#include "widgets/Dialogs.h"

namespace vm {

bool saveProjectFile(Dialogs& dialogs, QWidget* parent, const StoredSettings& settings,
                     const QString& path, const std::function<void()>& commit)
{
    const Status written = WriteProjectFile(settings, path);
    if (!written) {
        dialogs.message(parent, {QStringLiteral("The project was not saved."),
                                 MessageButtons::Ok,
                                 MessageIcon::Critical,
                                 {},
                                 written.error()});
        return false;
    }
    if (commit)
        commit();
    SetProjectState(ProjectState::Written);
    MsgBox(dialogs, parent, QStringLiteral("Project Saved"), MessageButtons::Ok,
           MessageIcon::Information, QStringLiteral("Save"));
    return true;
}

} // namespace vm
