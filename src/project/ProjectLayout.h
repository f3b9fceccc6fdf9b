#pragma once

#include <QString>
#include <QStringList>

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

// The folders that creating `folder` with its parents would make, parents first.
QStringList missingFolders(const QString& folder);

// Removes folders made for a project that was then given up, children first; a folder that is
// no longer empty stays, so nothing the operator put there is lost.
void removeEmptyFolders(const QStringList& made);

// Whether a project name gives file names this system can hold: the project file, its
// companion and their temporary files must stay within 255 bytes.
bool projectNameFits(const QString& name);

} // namespace vm
