#include "project/ProjectLayout.h"

#include "common/FileNames.h"

namespace vm {
namespace {

const QString DataFolder = QStringLiteral("data/");

} // namespace

QString projectFolderFor(const QString& picked)
{
    const QString folder = withTrailingSlash(picked);
    return folder.endsWith(DataFolder, Qt::CaseInsensitive) ? folder : folder + DataFolder;
}

ProposedFolders proposedFolders(const QString& projectFolder)
{
    QString base = withTrailingSlash(projectFolder);
    if (base.endsWith(DataFolder, Qt::CaseInsensitive))
        base.chop(DataFolder.size());
    return {base + QStringLiteral("Badges/"), base + QStringLiteral("Logo/"),
            base + QStringLiteral("Photos/"), base + QStringLiteral("Signs/")};
}

} // namespace vm
