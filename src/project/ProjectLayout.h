#pragma once

#include <QString>

namespace vm {

// The folder tree a new project gets under a folder F the operator picks: the project file in
// F/data/, badges, logos, photographs and signatures beside it. Every folder ends with "/".

// The project folder for the picked folder: "data/" is appended unless the folder is named
// "data" already (in any letter case), so picking F/data gives F/data/ again.
QString projectFolderFor(const QString& picked);

struct ProposedFolders {
    QString badges;
    QString logos;
    QString photos;
    QString signs;
};

// The other folders, under the project folder's parent when it is named "data" and under the
// project folder itself otherwise (a folder typed in rather than picked).
ProposedFolders proposedFolders(const QString& projectFolder);

} // namespace vm
