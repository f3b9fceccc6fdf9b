#pragma once

#include <QString>
#include <QStringList>

namespace vm {

// A badge's name is the name of its file, and badge files are found without regard to letter
// case: "staff" and "Staff" are one badge, wherever names are compared.
inline bool sameBadgeName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Puts the name on the project's list of badges unless it is there in any letter case; the
// spelling the list holds.
inline QString listBadge(QStringList& badges, const QString& name)
{
    for (const QString& listed : badges) {
        if (sameBadgeName(listed, name))
            return listed;
    }
    badges << name;
    return name;
}

} // namespace vm
