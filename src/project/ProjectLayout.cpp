#include "project/ProjectLayout.h"
#include <QFileInfo>
#include <QFile>
#include <QDir>

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

QStringList missingFolders(const QString& folder)
{
    QStringList missing;
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo::exists(path)) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).absolutePath();
        if (parent == path)
            break;
        path = parent;
    }
    return missing;
}

void removeEmptyFolders(const QStringList& made)
{
    for (auto it = made.crbegin(); it != made.crend(); ++it)
        QDir().rmdir(*it); // refuses a folder that holds anything
}

bool projectNameFits(const QString& name)
{
    // "NAME.Prj.json" and the ".XXXXXX" of its temporary file beside it.
    constexpr int Longest = 255;
    return QFile::encodeName(name + QStringLiteral(".Prj.json.XXXXXX")).size() <= Longest;
}

} // namespace vm
