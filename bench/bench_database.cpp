// Times the database layer: copying the Access samples (rows per second, and opening the largest
// one as a window would) and ListQualifiedFields over 50 tables of 40 columns on SQLite and, when
// VELLUMARK_TEST_PG_URL names a server, PostgreSQL. Build in Release for figures worth quoting.
//   bench_database [ACCESS_FILE...]   (default: every .mdb in the samples folder)
#include "project/AccessImport.h"
#include "project/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace vm;

namespace {

constexpr int Repeats = 15;
constexpr int TableCount = 50;
constexpr int ColumnCount = 40;
constexpr int RowsPerTable = 100;

// Median wall time in milliseconds of `repeats` runs.
double medianMs(int repeats, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchAccessImport(const QStringList& files)
{
    std::printf("Access import (median of %d)\n", Repeats);
    QString largest;
    qint64 allRows = 0;
    double allMs = 0;
    for (const QString& path : files) {
        qint64 rows = 0;
        QString error;
        const double ms = medianMs(Repeats, [&] {
            QSqlDatabase copy = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "bench");
            copy.setDatabaseName(QStringLiteral(":memory:"));
            copy.open();
            AccessCopy result;
            error = copyAccessFile(path, {}, copy, &result);
            rows = result.rows;
            copy.close();
            copy = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("bench"));
        });
        if (!error.isEmpty()) {
            std::printf("  %s: %s\n", qPrintable(QFileInfo(path).fileName()), qPrintable(error));
            continue;
        }
        std::printf("  %-28s %8lld rows %8.2f ms %10.0f rows/s\n",
                    qPrintable(QFileInfo(path).fileName()), static_cast<long long>(rows), ms,
                    rows / (ms / 1000));
        allRows += rows;
        allMs += ms;
        if (largest.isEmpty() || QFileInfo(path).size() > QFileInfo(largest).size())
            largest = path;
    }
    if (allMs > 0)
        std::printf("  %-28s %8lld rows %8.2f ms %10.0f rows/s\n", "all samples",
                    static_cast<long long>(allRows), allMs, allRows / (allMs / 1000));
    if (!largest.isEmpty()) {
        const double ms = medianMs(Repeats, [&] {
            DatabaseConnection connection;
            connection.OpenProjectDatabase(largest);
        });
        std::printf("  OpenProjectDatabase(%s, %.1f MB): %.2f ms\n",
                    qPrintable(QFileInfo(largest).fileName()),
                    QFileInfo(largest).size() / 1048576.0, ms);
    }
}

// Fills an open connection with TableCount tables of ColumnCount columns and a few rows.
bool fillWideTables(DatabaseConnection& connection, QStringList* tables)
{
    for (int t = 0; t < TableCount; ++t) {
        const QString table = QStringLiteral("Table%1").arg(t);
        QStringList columns;
        QStringList values;
        for (int c = 0; c < ColumnCount; ++c) {
            columns << QStringLiteral("\"Column%1\" %2").arg(c).arg(c % 2 ? "integer" : "text");
            values << (c % 2 ? QStringLiteral("%1") : QStringLiteral("'v%1'"));
        }
        if (connection
                .execute(QStringLiteral("create table \"%1\" (%2)").arg(table, columns.join(u',')))
                .outcome != DatabaseConnection::Outcome::Ok)
            return false;
        QStringList rows;
        for (int r = 0; r < RowsPerTable; ++r)
            rows << u'(' + values.join(u',').arg(r) + u')';
        connection.execute(
            QStringLiteral("insert into \"%1\" values %2").arg(table, rows.join(u',')));
        *tables << table;
    }
    return true;
}

void benchQualifiedFields(const char* engine, const QString& path)
{
    DatabaseConnection connection;
    QStringList tables;
    if (!connection.OpenProjectDatabase(path) || !fillWideTables(connection, &tables)) {
        std::printf("  %s: %s\n", engine, qPrintable(connection.errorText()));
        return;
    }
    qsizetype fields = 0;
    const double ms =
        medianMs(Repeats, [&] { fields = ListQualifiedFields(connection, tables).size(); });
    std::printf("  %-12s %d tables x %d columns: %lld entries in %.2f ms\n", engine, TableCount,
                ColumnCount, static_cast<long long>(fields), ms);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        const QDir samples(QStringLiteral(VELLUMARK_SAMPLES_DIR));
        for (const QString& name : samples.entryList({QStringLiteral("*.mdb")}, QDir::Files))
            files << samples.filePath(name);
    }
    benchAccessImport(files);

    std::printf("ListQualifiedFields (median of %d)\n", Repeats);
    QTemporaryDir dir;
    const QString sqlite = dir.filePath(QStringLiteral("wide.sqlite"));
    QFile(sqlite).open(QIODevice::WriteOnly);
    benchQualifiedFields("SQLite", sqlite);

    const QString server = qEnvironmentVariable("VELLUMARK_TEST_PG_URL");
    if (server.isEmpty()) {
        std::printf("  PostgreSQL   skipped: VELLUMARK_TEST_PG_URL is not set\n");
        return 0;
    }
    DatabaseConnection admin;
    const QString schema =
        QStringLiteral("vm_bench_%1").arg(QRandomGenerator::global()->generate());
    if (!admin.OpenProjectDatabase(server) ||
        admin.execute(QStringLiteral("create schema ") + schema).outcome !=
            DatabaseConnection::Outcome::Ok) {
        std::printf("  PostgreSQL   %s\n", qPrintable(admin.errorText()));
        return 1;
    }
    QUrl url(server);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-c search_path=") + schema);
    url.setQuery(query);
    benchQualifiedFields("PostgreSQL", url.toString());
    admin.execute(QStringLiteral("set client_min_messages = warning"));
    admin.execute(QStringLiteral("drop schema %1 cascade").arg(schema));
    return 0;
}
