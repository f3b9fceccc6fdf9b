#pragma once

#include "project/Database.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

namespace vm::test {

// The server scripts/test.sh starts; empty when the tests run without one.
inline QString postgresUrl()
{
    return qEnvironmentVariable("VELLUMARK_TEST_PG_URL");
}

inline QString noPostgresReason()
{
    return QStringLiteral("VELLUMARK_TEST_PG_URL is not set: no PostgreSQL server to test "
                          "against (scripts/test.sh starts one)");
}

// The test server's role that must give its password (scripts/pg-test-server.sh makes it),
// and the server's address with that role.
inline const QString PasswordRoleSecret = QStringLiteral("pw for 'tests'");
inline QString passwordRoleAddress()
{
    QUrl url(postgresUrl());
    url.setUserName(QStringLiteral("vellumark_pw"));
    return url.toString();
}

// An empty database of a writable engine for one test row, gone when the row ends. SQLite: a
// file whose path has blanks, "#" and "?"; PostgreSQL: a schema of its own, the only one on
// the connection's search path, so the catalogue holds this row's tables alone.
class ScratchDatabase {
public:
    explicit ScratchDatabase(DatabaseEngine engine)
        : m_engine(engine)
    {
    }
    ~ScratchDatabase()
    {
        m_connection.close();
        DatabaseConnection admin;
        if (!m_schema.isEmpty() && admin.OpenProjectDatabase(postgresUrl())) {
            admin.execute(QStringLiteral("set client_min_messages = warning"));
            admin.execute(QStringLiteral("drop schema %1 cascade").arg(m_schema));
        }
    }

    // Builds the database and returns its DatabasePath; empty on failure (see error).
    QString build(const QStringList& statements)
    {
        if (m_engine == DatabaseEngine::SQLite) {
            const QString folder = m_dir.filePath(QStringLiteral("badge data #1"));
            m_path = folder + QStringLiteral("/staff list?.sqlite");
            QFile file(m_path);
            if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly))
                return fail(QStringLiteral("cannot create ") + m_path);
        } else {
            DatabaseConnection admin;
            m_schema = QStringLiteral("vm_test_%1").arg(QRandomGenerator::global()->generate());
            if (!admin.OpenProjectDatabase(postgresUrl()))
                return fail(admin.errorText());
            if (auto made = admin.execute("create schema " + m_schema); !made.error.isEmpty())
                return fail(made.error);
            QUrl url(postgresUrl());
            url.setQuery(QStringLiteral("options=-c search_path%3D") + m_schema);
            m_path = url.toString();
        }
        if (!m_connection.OpenProjectDatabase(m_path))
            return fail(m_connection.errorText());
        for (const QString& statement : statements) {
            if (auto done = m_connection.execute(statement);
                done.outcome != DatabaseConnection::Outcome::Ok)
                return fail(statement + QStringLiteral(": ") + done.error);
        }
        return m_path;
    }

    QString error;
    // Another window's connection to the same database.
    DatabaseConnection& connection() { return m_connection; }

private:
    QString fail(const QString& why)
    {
        error = why;
        return {};
    }

    DatabaseEngine m_engine;
    QTemporaryDir m_dir;
    QString m_schema;
    QString m_path;
    DatabaseConnection m_connection;
};

} // namespace vm::test
