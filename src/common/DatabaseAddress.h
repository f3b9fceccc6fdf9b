#pragma once

#include <QString>

namespace vm {

// A database path with any password taken out (postgresql://user:pw@... and ?password=...), as
// it is shown in messages and written into files. Other paths come back as they are.
QString WithoutPassword(const QString& databasePath);

} // namespace vm
