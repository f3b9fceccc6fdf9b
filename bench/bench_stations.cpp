// Many stations on one PostgreSQL database: N station processes (1, 2, 4, 8 by default) each
// link 1,000 random people of a table of 1,000,000 through the record browser's link worker and
// print every tenth person's badge to a PDF file, while another process edits 1 % of the rows.
// Per N it prints one line:
//   stations=N link_p50_ms=... link_p95_ms=... badges=... badges_per_s=... stale=... edits=...
//   notified=...
// link_*: from asking for a person to both sides' values delivered (every station's links);
// badges_per_s: badges printed by all stations over the run's wall time; stale: badges whose
// values differ from the row as the database holds it just after the badge was drawn (a hard
// check: must be 0); edits: rows the editor changed, 1 % of the table, which it starts with the
// stations (stations_s and edits_s: how long the stations and the editor took); notified: change
// notifications the stations received (each station listens, as the record browser does);
// record: the issuance record every station appends each badge to, which must hold exactly the
// badges printed in a chain that verifies (a hard check).
//   bench_stations --pg postgresql://user@host:port/db [--people N] [--stations 1,2,4,8]
//                  [--links 1000] [--badges 100] [--keep]
// The table is built once in the schema bench_stations and kept with --keep. Build in Release.
#include "badge/BadgeSide.h"
#include "project/Database.h"
#include "records/LinkedRecord.h"
#include "records/PrintJournal.h"
#include "records/RecordChangeWatch.h"
#include "records/RecordLinkWorker.h"
#include "render/BadgeRenderer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vm;

namespace {

const QString Schema = QStringLiteral("bench_stations");
// The stations' issuance record, made afresh for each round.
const QString RecordSchema = QStringLiteral("bench_stations_issued");
const QStringList Columns = {"FirstName", "LastName", "Department", "Version"};

QString argument(const QStringList& args, const QString& name, const QString& fallback = {})
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : fallback;
}

QString schemaUrl(const QString& url)
{
    QUrl address(url);
    address.setQuery(QStringLiteral("options=-c search_path%3D") + Schema);
    return address.toString();
}

StoredSettings project(const QString& url)
{
    StoredSettings s;
    s.ProjectName = QStringLiteral("Stations");
    s.DatabasePath = url;
    s.MasterTable = QStringLiteral("People");
    s.UniqueField = QStringLiteral("ID");
    return s;
}

int fail(const QString& why)
{
    std::fprintf(stderr, "bench_stations: %s\n", qPrintable(why));
    return 1;
}

bool buildTable(const QString& url, qint64 people, bool keep)
{
    DatabaseConnection db;
    if (!db.OpenProjectDatabase(url))
        return fail(db.errorText()) == 0;
    if (keep) {
        auto count = db.select(QStringLiteral("select count(*) from %1.\"People\"").arg(Schema));
        if (count.outcome == DatabaseConnection::Outcome::Ok && count.query.next() &&
            count.query.value(0).toLongLong() == people)
            return true;
    }
    for (const QString& sql :
         {QStringLiteral("set client_min_messages = warning"),
          QStringLiteral("drop schema if exists %1 cascade").arg(Schema),
          QStringLiteral("create schema %1").arg(Schema),
          QStringLiteral("create table %1.\"People\" (\"ID\" integer primary key, \"FirstName\" "
                         "varchar(30), \"LastName\" varchar(30), \"Department\" varchar(30), "
                         "\"Version\" integer not null default 0)")
              .arg(Schema),
          QStringLiteral("insert into %1.\"People\" select g, 'First' || g, 'Last' || (g %% 9973), "
                         "'Dept' || (g %% 97), 0 from generate_series(1, %2) g")
              .arg(Schema)
              .arg(people)
              .replace(QStringLiteral("%%"), QStringLiteral("%")),
          QStringLiteral("analyze %1.\"People\"").arg(Schema)}) {
        if (const auto done = db.execute(sql); done.outcome != DatabaseConnection::Outcome::Ok)
            return fail(sql + QStringLiteral(": ") + done.error) == 0;
    }
    return true;
}

BadgeSide badgeLayout()
{
    BadgeSide side;
    float top = 200;
    for (const QString& column : Columns) {
        Field& field = side.lblField.at(side.addField());
        field.Tag = QStringLiteral("People.") + column;
        field.Caption = QLatin1Char('<') + field.Tag + QLatin1Char('>');
        field.FontName = QStringLiteral("DejaVu Sans");
        field.Left = 200;
        field.Top = top;
        top += 400;
    }
    return side;
}

// One station: links people one after another as an operator clicks them, prints every
// (links / badges)-th to a PDF, records it as issued, and checks each badge printed against the
// database.
int station(const QString& url, qint64 people, int links, int badges, const QString& pdf,
            const QString& projectFile)
{
    const StoredSettings settings = project(url);
    IssuanceJournal journal(projectFile, settings, RecordSchema);
    if (const Status ready = journal.ready(); !ready)
        return fail(ready.error());
    RecordLinkWorker worker(url, settings);
    DatabaseConnection db; // the browser's own connection: listens, and checks printed badges
    if (!db.OpenProjectDatabase(url))
        return fail(db.errorText());
    RecordChangeWatch watch(db, settings.MasterTable, settings.UniqueField);
    const QString watchSaid = watch.start();
    int notified = 0;
    QObject::connect(&watch, &RecordChangeWatch::rowChanged, [&] { ++notified; });

    QPdfWriter writer(pdf);
    const QSizeF card(4860, 3060); // twips
    writer.setPageSize(QPageSize(card / 20, QPageSize::Point));
    writer.setPageMargins({});
    writer.setResolution(300);
    QPainter painter(&writer);
    const BadgeSide layout = badgeLayout();
    const RenderOptions options = renderOptions(RenderMode::Output, card);

    QJsonArray latencies;
    int printed = 0, stale = 0, failed = 0;
    std::optional<LinkResult> result;
    QObject::connect(&worker, &RecordLinkWorker::linked,
                     [&](int, const LinkResult& linked) { result = linked; });
    const int every = std::max(1, links / std::max(1, badges));
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < links; ++i) {
        const qint64 id = 1 + QRandomGenerator::global()->bounded(people);
        result.reset();
        QElapsedTimer linking;
        linking.start();
        worker.link(RecordKey::fromValue(id, ColumnKind::Numeric));
        while (!result)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        latencies.append(double(linking.nsecsElapsed()) / 1e6);
        if (!result->record) {
            ++failed;
            continue;
        }
        if (i % every != 0 || printed >= badges)
            continue;
        if (printed > 0)
            writer.newPage();
        renderCard(painter, filledSide(layout, *result->record), 300, 300, options);
        ++printed;
        PrintJob job;
        job.output = pdf;
        job.badges << PrintedBadge{QStringLiteral("Bench"), printedSidesName(true, false),
                                   result->record->key.text(),
                                   printedFingerprint({&layout}, *result->record)};
        if (const Status recorded = journal.record(job); !recorded)
            return fail(recorded.error());
        auto now = db.select(QStringLiteral("select \"FirstName\", \"LastName\", "
                                            "\"Department\", \"Version\" from \"People\" "
                                            "where \"ID\" = ?"),
                             {id});
        bool same = now.outcome == DatabaseConnection::Outcome::Ok && now.query.next();
        for (int c = 0; same && c < Columns.size(); ++c)
            same = now.query.value(c).toString() ==
                   result->record->values.value(Columns[c]).toString();
        stale += same ? 0 : 1;
    }
    painter.end();
    QCoreApplication::processEvents(); // notifications still queued
    const QJsonObject out{{"latencies", latencies}, {"printed", printed},
                          {"stale", stale},         {"failed", failed},
                          {"notified", notified},   {"wall_ms", double(wall.elapsed())},
                          {"watch", watchSaid}};
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
    return 0;
}

// Edits rows at random, 100 a statement, as fast as the server takes them.
int editor(const QString& url, qint64 people, int edits)
{
    DatabaseConnection db;
    if (!db.OpenProjectDatabase(url))
        return fail(db.errorText());
    int done = 0;
    QElapsedTimer editing;
    editing.start();
    while (done < edits) {
        QStringList ids;
        for (int n = 0; n < 100; ++n)
            ids << QString::number(1 + QRandomGenerator::global()->bounded(people));
        const auto changed = db.execute(
            QStringLiteral("update \"People\" set \"Version\" = \"Version\" + 1, \"FirstName\" = "
                           "'Edited' || (\"Version\" + 1) where \"ID\" in (%1)")
                .arg(ids.join(u',')));
        if (changed.outcome != DatabaseConnection::Outcome::Ok)
            return fail(changed.error);
        done += int(ids.size());
    }
    std::printf("%d %.1f\n", done, double(editing.elapsed()) / 1000);
    return 0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString pg = argument(args, QStringLiteral("--pg"));
    if (pg.isEmpty())
        return fail(QStringLiteral("give the server: --pg postgresql://user@host:port/db"));
    const qint64 people = argument(args, QStringLiteral("--people"), "1000000").toLongLong();
    const int links = argument(args, QStringLiteral("--links"), "1000").toInt();
    const int badges = argument(args, QStringLiteral("--badges"), "100").toInt();
    const QString url = schemaUrl(pg);
    if (args.contains(QStringLiteral("--station")))
        return station(url, people, links, badges, argument(args, QStringLiteral("--pdf")),
                       argument(args, QStringLiteral("--project")));
    if (args.contains(QStringLiteral("--editor")))
        return editor(url, people, argument(args, QStringLiteral("--edits")).toInt());

    QElapsedTimer building;
    building.start();
    if (!buildTable(pg, people, args.contains(QStringLiteral("--keep"))))
        return 1;
    std::printf("people=%lld table_ready_s=%.1f\n", people, double(building.elapsed()) / 1000);
    QTemporaryDir pdfs;
    const QString projectFile = pdfs.filePath(QStringLiteral("Stations.Prj"));
    const QStringList common = {"--pg",     pg,
                                "--people", QString::number(people),
                                "--links",  QString::number(links),
                                "--badges", QString::number(badges)};
    for (const QString& count :
         argument(args, QStringLiteral("--stations"), "1,2,4,8").split(u',')) {
        const int n = count.toInt();
        {
            DatabaseConnection db;
            if (!db.OpenProjectDatabase(pg) ||
                db.execute(QStringLiteral("drop schema if exists %1 cascade").arg(RecordSchema))
                        .outcome != DatabaseConnection::Outcome::Ok)
                return fail(QStringLiteral("the last round's issuance record stays: ") +
                            db.errorText());
            QFile::remove(projectFile + QStringLiteral(".json"));
        }
        QProcess edits;
        edits.start(app.applicationFilePath(),
                    common + QStringList{"--editor", "--edits", QString::number(people / 100)});
        std::vector<std::unique_ptr<QProcess>> stations;
        QElapsedTimer wall;
        wall.start();
        for (int s = 0; s < n; ++s) {
            stations.push_back(std::make_unique<QProcess>());
            stations.back()->start(
                app.applicationFilePath(),
                common + QStringList{"--station", "--project", projectFile, "--pdf",
                                     pdfs.filePath(QStringLiteral("station%1.pdf").arg(s))});
        }
        std::vector<double> latencies;
        int printed = 0, stale = 0, failed = 0, notified = 0;
        QString watchSaid;
        for (auto& process : stations) {
            process->waitForFinished(-1);
            const QJsonObject out =
                QJsonDocument::fromJson(process->readAllStandardOutput().trimmed()).object();
            if (out.isEmpty())
                return fail(QStringLiteral("a station failed: ") +
                            QString::fromUtf8(process->readAllStandardError()));
            for (const QJsonValue& v : out.value(QStringLiteral("latencies")).toArray())
                latencies.push_back(v.toDouble());
            printed += out.value(QStringLiteral("printed")).toInt();
            stale += out.value(QStringLiteral("stale")).toInt();
            failed += out.value(QStringLiteral("failed")).toInt();
            notified += out.value(QStringLiteral("notified")).toInt();
            watchSaid = out.value(QStringLiteral("watch")).toString();
        }
        const double seconds = double(wall.elapsed()) / 1000;
        // The record must hold exactly the badges printed, in one whole chain.
        QString record = QStringLiteral("cannot be read");
        if (Result<IssuanceRecord::Opened> opened =
                IssuanceRecord::open(projectFile, project(url), RecordSchema, false);
            opened && opened->record) {
            const auto entries = opened->record->entries(project(url).ProjectName);
            const auto broken = opened->record->verify();
            if (entries && broken)
                record = QStringLiteral("%1 entries for %2 badges, chain %3")
                             .arg(entries->size())
                             .arg(printed)
                             .arg(*broken ? QStringLiteral("broken at entry %1").arg((*broken)->number)
                                          : QStringLiteral("whole"));
        }
        edits.waitForFinished(-1);
        const QList<QByteArray> edited = edits.readAllStandardOutput().trimmed().split(' ');
        std::printf("stations=%d link_p50_ms=%.1f link_p95_ms=%.1f badges=%d badges_per_s=%.1f "
                    "stale=%d not_linked=%d edits=%s stations_s=%.1f edits_s=%.1f notified=%d record=\"%s\"%s\n",
                    n, percentile(latencies, 0.5), percentile(latencies, 0.95), printed,
                    printed / seconds, stale, failed, edited.first().constData(), seconds,
                    edited.last().toDouble(), notified, qPrintable(record),
                    watchSaid.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + watchSaid + ')'));
        std::fflush(stdout);
    }
    return 0;
}
