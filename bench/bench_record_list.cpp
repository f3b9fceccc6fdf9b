// The record browser on a million people: builds the demo project with an Employee table of
// 1,000,000 rows x 10 columns (SQLite, and with --pg URL the same rows on PostgreSQL), opens
// Data > Show Records in a headless main window and prints one line per engine:
//   rows=... first_rows_ms=... usable_ms=... full_ms=... search_ms=... link_ms=... sort_ms=...
//   max_stall_ms=... peak_mb=...
// first_rows_ms: from the menu command to the first rows in the list; usable_ms: to the first
// person linked (clicked while the table is still being read); full_ms: to the last row read;
// search_ms: the slowest of three searches typed after reading (a name, a person near the end,
// a text in no row) until the match is selected and linked, or until nothing is found;
// link_ms: median of 20 clicks until both sides show the person; sort_ms: a header click until
// the rows have moved; max_stall_ms: the longest the event loop was held up (a 5 ms timer),
// from the menu command to the end; peak_mb: the process's peak resident memory from the menu
// command on. Build in Release for figures worth quoting.
//   bench_record_list [--rows N] [--pg postgresql://user@host:port/db]
#include "app/mainMdi.h"
#include "demo/DemoBadges.h"
#include "demo/DemoProject.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"
#include "render/RenderingWindow.h"
#include "widgets/Dialogs.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace vm;
using namespace vm::bench;

namespace {

constexpr int PicturedPeople = 200; // the people with photograph and signature files

const char* const Cities[] = {"Zürich",     "Genève", "Basel", "Lausanne", "Bern",  "Luzern",
                              "St. Gallen", "Lugano", "Biel",  "Thun",     "Köniz", "Chur"};

// The peak so far is forgotten, so building the data and an engine measured before do not count;
// memory freed by then goes back to the system first.
void resetPeak()
{
    malloc_trim(0);
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

bool fail(const QString& why)
{
    std::fprintf(stderr, "bench_record_list: %s\n", qPrintable(why));
    return false;
}

// Ten columns for every person: the demo's eight and a phone number and a city.
bool fillSQLite(const QString& path, int rows)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return fail(QStringLiteral("cannot open %1").arg(path));
    auto run = [&](const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    };
    run("drop table Employee");
    run("create table Employee (EmpNo INTEGER PRIMARY KEY, FirstName VARCHAR(30), "
        "LastName VARCHAR(30), Title VARCHAR(40), DeptID INTEGER, HireDate DATE, "
        "ValidUntil DATE, Email VARCHAR(80), Phone VARCHAR(20), City VARCHAR(40))");
    run("begin");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into Employee values (?,?,?,?,?,?,?,?,?,?)", -1, &insert,
                       nullptr);
    const QDate start(2005, 1, 10);
    for (int n = 1; n <= rows; ++n) {
        const DemoPerson p = demoPerson(n);
        const QByteArray first = p.firstName.toUtf8();
        const QByteArray last = p.lastName.toUtf8();
        const QByteArray title = p.title.toUtf8();
        const QByteArray hired = start.addDays((n * 97) % 6500).toString(Qt::ISODate).toUtf8();
        const QByteArray email = QStringLiteral("%1.%2.%3@example.org")
                                     .arg(p.firstName.toLower(), p.lastName.toLower())
                                     .arg(n)
                                     .toUtf8();
        const QByteArray phone = QStringLiteral("+41 44 %1").arg(5550000 + n % 9999999).toUtf8();
        const char* city = Cities[n % 12];
        sqlite3_bind_int(insert, 1, n);
        sqlite3_bind_text(insert, 2, first.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, last.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, title.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 5, 10 * (1 + int((quint32(n) * 5 + quint32(n) / 7) % 7)));
        sqlite3_bind_text(insert, 6, hired.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, "2027-12-31", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 8, email.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 9, phone.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 10, city, -1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    const bool done = run("commit") == SQLITE_OK;
    sqlite3_close(db);
    return done || fail(QStringLiteral("cannot fill %1").arg(path));
}

QString copyText(const char* text)
{
    QString value = QString::fromUtf8(text);
    value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\t', QStringLiteral("\\t"));
    return value.replace(u'\n', QStringLiteral("\\n"));
}

// The same tables on a server, in a schema of their own.
bool fillPostgreSQL(const QString& sqlitePath, const QString& url, const QString& schema)
{
    const QUrl address(url);
    QString conninfo = QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
                           .arg(address.host())
                           .arg(address.port(5432))
                           .arg(address.userName(), address.path().mid(1));
    PGconn* pg = PQconnectdb(conninfo.toUtf8().constData());
    if (PQstatus(pg) != CONNECTION_OK)
        return fail(QString::fromUtf8(PQerrorMessage(pg)));
    auto run = [&](const QString& sql) {
        PGresult* r = PQexec(pg, sql.toUtf8().constData());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        if (!ok)
            fail(QString::fromUtf8(PQresultErrorMessage(r)));
        PQclear(r);
        return ok;
    };
    sqlite3* db = nullptr;
    sqlite3_open_v2(sqlitePath.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    bool ok = run(QStringLiteral("create schema %1").arg(schema)) &&
              run(QStringLiteral("set search_path = %1").arg(schema)) &&
              run(R"(create table "Department" ("DeptID" integer primary key,
                     "DeptName" varchar(40), "Site" varchar(60), "Phone" varchar(20)))") &&
              run(R"(create table "Employee" ("EmpNo" integer primary key,
                     "FirstName" varchar(30), "LastName" varchar(30), "Title" varchar(40),
                     "DeptID" integer, "HireDate" date, "ValidUntil" date, "Email" varchar(80),
                     "Phone" varchar(20), "City" varchar(40)))");
    for (const char* table : {"Department", "Employee"}) {
        if (!ok)
            break;
        PGresult* started =
            PQexec(pg, QStringLiteral("copy \"%1\" from stdin").arg(table).toUtf8().constData());
        ok = PQresultStatus(started) == PGRES_COPY_IN;
        PQclear(started);
        sqlite3_stmt* rows = nullptr;
        sqlite3_prepare_v2(db, QStringLiteral("select * from %1").arg(table).toUtf8().constData(),
                           -1, &rows, nullptr);
        const int columns = sqlite3_column_count(rows);
        QByteArray batch;
        while (ok && sqlite3_step(rows) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                if (c)
                    batch += '\t';
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows, c));
                batch += text ? copyText(text).toUtf8() : QByteArray("\\N");
            }
            batch += '\n';
            if (batch.size() > (1 << 20)) {
                ok = PQputCopyData(pg, batch.constData(), int(batch.size())) == 1;
                batch.clear();
            }
        }
        sqlite3_finalize(rows);
        ok = ok && PQputCopyData(pg, batch.constData(), int(batch.size())) == 1 &&
             PQputCopyEnd(pg, nullptr) == 1;
        PGresult* ended = PQgetResult(pg);
        ok = ok && PQresultStatus(ended) == PGRES_COMMAND_OK;
        if (!ok)
            fail(QString::fromUtf8(PQerrorMessage(pg)));
        PQclear(ended);
    }
    ok = ok && run("analyze");
    sqlite3_close(db);
    PQfinish(pg);
    return ok;
}

void dropSchema(const QString& url, const QString& schema)
{
    const QUrl address(url);
    const QString conninfo = QStringLiteral("host=%1 port=%2 user=%3 dbname=%4")
                                 .arg(address.host())
                                 .arg(address.port(5432))
                                 .arg(address.userName(), address.path().mid(1));
    PGconn* pg = PQconnectdb(conninfo.toUtf8().constData());
    PQclear(PQexec(pg, "set client_min_messages = warning"));
    PQclear(PQexec(pg, QStringLiteral("drop schema %1 cascade").arg(schema).toUtf8().constData()));
    PQfinish(pg);
}

// Lets the event loop run for a while, as between two actions of an operator.
void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() >= ms; });
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    int rows = 0;
    double firstRows = -1, usable = -1, full = -1, search = -1, link = -1, sort = -1;
    double stall = 0, peak = -1;
    QStringList problems;
};

Figures measure(const QString& projectFile, int expectedRows)
{
    Figures f;
    QuietDialogs dialogs;
    mainMdi window(dialogs);
    window.resize(1400, 900);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !window.openProjectFile(projectFile)) {
        f.problems << QStringLiteral("the project did not open");
        return f;
    }
    QCoreApplication::processEvents();
    resetPeak();

    QElapsedTimer clock;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        f.stall = std::max(f.stall, double(now - lastTick - ticker.interval()));
        lastTick = now;
    });

    frmData* browser = nullptr;
    RecordListModel* records = nullptr;
    auto linkedKey = [&] {
        const auto& record = window.frmFront()->record();
        return record && window.frmBack()->record() ? record->key.text() : QString();
    };
    auto clickRow = [&](int position) {
        const QModelIndex index = records->index(position, 1);
        browser->Lst->scrollTo(index);
        QTest::mouseClick(browser->Lst->viewport(), Qt::LeftButton, {},
                          browser->Lst->visualRect(index).center());
    };

    // The badge first, as the operator's last session left it; then Show Records.
    window.openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    settle(100);
    clock.start();
    ticker.start();
    window.mnuReclist->trigger();
    browser = window.findChild<frmData*>(QStringLiteral("frmData"));
    records = browser->records();
    bool finished = false;
    QObject::connect(records, &RecordListModel::loadFinished, [&] {
        finished = true;
        f.full = double(clock.nsecsElapsed()) / 1e6;
    });
    waitFor([&] { return records->rowCount() > 0; });
    f.firstRows = double(clock.nsecsElapsed()) / 1e6;
    // A person clicked as soon as the list shows rows, while the rest is still being read.
    settle(20);
    clickRow(0);
    if (linkedKey() == QLatin1String("1"))
        f.usable = double(clock.nsecsElapsed()) / 1e6;
    if (!waitFor([&] { return finished; }))
        f.problems << QStringLiteral("the list was not read within a minute");
    f.rows = records->rowCount();
    if (f.rows != expectedRows)
        f.problems << QStringLiteral("%1 rows listed, %2 expected").arg(f.rows).arg(expectedRows);

    // Clicks on people with pictures, until both sides show them.
    std::vector<double> links;
    for (int i = 0; i < 20; ++i) {
        const int position = 10 + i * (PicturedPeople - 20) / 20;
        QElapsedTimer link;
        link.start();
        clickRow(position);
        links.push_back(double(link.nsecsElapsed()) / 1e6);
        settle(30);
        if (linkedKey() != *records->keyText(position))
            f.problems << QStringLiteral("row %1 did not link").arg(position);
    }
    f.link = median(links);

    // Typed searches: a common name, a person near the end, something nobody has.
    const int late = expectedRows - 1;
    const DemoPerson latePerson = demoPerson(late);
    const QString lateEmail =
        QStringLiteral("%1.%2.%3@example.org")
            .arg(latePerson.firstName.toLower(), latePerson.lastName.toLower())
            .arg(late);
    struct Search {
        QString typed;
        QString key; // the person it must link; empty: nobody matches
    };
    const QList<Search> searches = {{QStringLiteral("MÜLLER"), QString()},
                                    {lateEmail.toUpper(), QString::number(late)},
                                    {QStringLiteral("nobody has this"), QString()}};
    for (const Search& search : searches) {
        int answered = -2;
        const auto connection =
            QObject::connect(records, &RecordListModel::found,
                             [&](const QString&, int position) { answered = position; });
        QElapsedTimer timer;
        timer.start();
        browser->txtFind->setText(search.typed);
        Q_EMIT browser->txtFind->textEdited(search.typed);
        waitFor([&] { return answered != -2; });
        f.search = std::max(f.search, double(timer.nsecsElapsed()) / 1e6);
        QObject::disconnect(connection);
        settle(30);
        if (!search.key.isEmpty() && linkedKey() != search.key)
            f.problems << QStringLiteral("searching %1 linked %2").arg(search.typed, linkedKey());
        if (search.typed.startsWith(QLatin1String("nobody")) && answered != -1)
            f.problems << QStringLiteral("a search for nothing found row %1").arg(answered);
    }

    bool sorted = false;
    const auto sortConnection =
        QObject::connect(records, &RecordListModel::sortFinished, [&] { sorted = true; });
    QElapsedTimer sortTimer;
    sortTimer.start();
    browser->Lst->sortByColumn(2, Qt::AscendingOrder);
    waitFor([&] { return sorted; });
    f.sort = double(sortTimer.nsecsElapsed()) / 1e6;
    QObject::disconnect(sortConnection);

    ticker.stop();
    f.peak = peakMb();
    if (!dialogs.said.isEmpty())
        f.problems << QStringLiteral("said: ") + dialogs.said.join(QStringLiteral(" | "));
    return f;
}

void print(const char* engine, const Figures& f)
{
    std::printf("%s: rows=%d first_rows_ms=%.0f usable_ms=%.0f full_ms=%.0f search_ms=%.1f "
                "link_ms=%.1f sort_ms=%.0f max_stall_ms=%.0f peak_mb=%.0f\n",
                engine, f.rows, f.firstRows, f.usable, f.full, f.search, f.link, f.sort, f.stall,
                f.peak);
    for (const QString& problem : f.problems)
        std::printf("  problem: %s\n", qPrintable(problem));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rows = 1000000;
    QString pg;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--pg"))
            pg = args[i + 1];
    }

    QTemporaryDir dir;
    QString error;
    DemoOptions options;
    options.people = PicturedPeople;
    const QString project =
        createDemoProject(dir.filePath(QStringLiteral("demo")), options, &error);
    if (project.isEmpty())
        return fail(error), 1;
    const QString sqlite = dir.filePath(QStringLiteral("demo/data/demo.sqlite"));
    QElapsedTimer building;
    building.start();
    if (!fillSQLite(sqlite, rows))
        return 1;
    std::printf("built %d rows in %.1f s\n", rows, double(building.elapsed()) / 1000);
    std::fflush(stdout);
    print("SQLite", measure(project, rows));

    if (!pg.isEmpty()) {
        const QString schema =
            QStringLiteral("bench_records_%1").arg(QRandomGenerator::global()->generate());
        building.restart();
        if (!fillPostgreSQL(sqlite, pg, schema)) {
            dropSchema(pg, schema);
            return 1;
        }
        std::printf("copied %d rows to PostgreSQL in %.1f s\n", rows,
                    double(building.elapsed()) / 1000);
        // The same project on the server: its badges name the server's address.
        Result<StoredSettings> settings = ReadProjectFile(project);
        QUrl address(pg);
        address.setQuery(QStringLiteral("options=-c search_path%3D") + schema);
        settings->DatabasePath = address.toString();
        settings->BadgeDir = dir.filePath(QStringLiteral("pg-badges/"));
        QDir().mkpath(settings->BadgeDir);
        const QString pgProject = dir.filePath(QStringLiteral("pg.Prj"));
        if (writeDemoBadges(*settings, &error).isEmpty() ||
            !WriteProjectFile(*settings, pgProject)) {
            dropSchema(pg, schema);
            return fail(error), 1;
        }
        print("PostgreSQL", measure(pgProject, rows));
        dropSchema(pg, schema);
    }
    return 0;
}
