#pragma once

#include <QByteArray>
#include <QString>

namespace vm {

// A database path with any password taken out (postgresql://user:pw@... and ?password=...), as
// it is shown in messages and written into files. Other paths come back as they are.
QString WithoutPassword(const QString& databasePath);

// .mdb and .accdb files are Access databases.
bool isAccessFileName(const QString& path);

// Older projects kept the code page of a Jet 3 file after its name in DatabasePath
// ("/data/students.mdb;charset=CP1256"); a project now keeps it in its companion file. Reading
// such a path still works.
struct AccessLocation {
    QString file;
    QByteArray charset; // empty: none named
};
AccessLocation splitAccessPath(const QString& databasePath);
// The file alone when `charset` is empty.
QString accessPathWithCharset(const QString& file, const QByteArray& charset);

} // namespace vm
