#include "project/ProjectLayout.h"

#include "common/FileNames.h"

namespace vm {
namespace {

const QString DataFolder = QStringLiteral("data/");

// The folder itself is named data: "/x/data/" is, "/x/metadata/" is not.
bool isDataFolder(const QString& folder)
{
    return folder.endsWith(DataFolder, Qt::CaseInsensitive) &&
           (folder.size() == DataFolder.size() ||
            folder[folder.size() - DataFolder.size() - 1] == u'/');
}

} // namespace

QString projectFolderFor(const QString& picked)
{
    const QString folder = withTrailingSlash(picked);
    return isDataFolder(folder) ? folder : folder + DataFolder;
}

ProposedFolders proposedFolders(const QString& projectFolder)
{
    QString base = withTrailingSlash(projectFolder);
    if (isDataFolder(base))
        base.chop(DataFolder.size());
    return {base + QStringLiteral("Badges/"), base + QStringLiteral("Logo/"),
            base + QStringLiteral("Photos/"), base + QStringLiteral("Signs/")};
}

} // namespace vm
