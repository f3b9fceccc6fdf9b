#pragma once

#include "support/ScratchDatabase.h"

#include <QTest>

Q_DECLARE_METATYPE(vm::DatabaseEngine)

namespace vm::test {

// Why a row of this engine cannot run here (no PostgreSQL server); empty when it can.
inline QString engineUnavailable(DatabaseEngine engine)
{
    return engine == DatabaseEngine::PostgreSQL && postgresUrl().isEmpty() ? noPostgresReason()
                                                                           : QString();
}

// An "engine" column with a row for each writable engine.
inline void addEngineRows()
{
    QTest::addColumn<DatabaseEngine>("engine");
    QTest::newRow("SQLite") << DatabaseEngine::SQLite;
    QTest::newRow("PostgreSQL") << DatabaseEngine::PostgreSQL;
}

} // namespace vm::test
