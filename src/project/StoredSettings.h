#pragma once

#include "common/TextCodePage.h"

#include <QString>
#include <QStringList>

namespace vm {

// The fields of a project that the project file stores, in file order. A plain value, so a
// project can be read completely before it replaces the open one, and core code can take one
// without the program-wide settings object.
struct StoredSettings {
    QString ProjectName;
    QString DatabasePath;
    QStringList DataTables; // child tables; entry i is brought in by Relations[i]
    QString MasterTable;
    QString UniqueField;
    QStringList Relations;  // SQL conditions joining the master table with one child table each
    qint16 PlaceImages = 0; // 1: photograph and signature are placed on badges
    QString PhotoField;     // "Table.Column" or "<None>"
    QString SignField;
    QString PhotoDir; // folders end with "/"
    QString SignDir;
    QString ProjectDir;
    QString BadgeDir;
    QString LogoDir;
    QStringList Badges; // badge names, without folder and extension
    // Kept in the companion file NAME.Prj.json, which the legacy reader never sees:
    vm::TextCodePage CodePage; // of the project, badge and scratch files
    QString AccessCodePage;    // of Jet 3 text ("CP1256"); empty: the one the file names

    friend bool operator==(const StoredSettings&, const StoredSettings&) = default;
};

inline const QString NoneField = QStringLiteral("<None>");

// Pictures are placed for PlaceImages 1 only; any other value places none.
inline bool placesPictures(const StoredSettings& settings)
{
    return settings.PlaceImages == 1;
}

} // namespace vm
