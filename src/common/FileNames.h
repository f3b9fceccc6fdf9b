#pragma once

#include <QString>

namespace vm {

// Files named in projects and badges come from a system that ignored letter case (".Lyt" and
// ".lyt" both occur). Returns the path itself when it exists, else a file in the same folder whose
// name matches without regard to case, else the path unchanged. For projects, badges, scratch
// files and logos only: a person's picture found under another name is another person's
// (findPicture looks those up).
QString resolveFileName(const QString& path);

// The name with its extension, without the folder ("ab.Lyt" for "/x/ab.Lyt").
QString fileTitle(const QString& path);

// The path with the suffix (".Prj") added, unless its name ends with it in any letter case.
QString withSuffix(const QString& path, const QString& suffix);

// Makes a folder text end with "/", as every folder setting does.
QString withTrailingSlash(const QString& folder);

// A file in a project folder. Project files written by hand or elsewhere name folders with or
// without the final "/"; they are kept as written, so every join goes through here.
QString fileInFolder(const QString& folder, const QString& name);

} // namespace vm
