// vellumark-print: renders a badge of a project for records of its database to PDF or PNG,
// without showing a window.
#include "common/CommandLine.h"
#include "common/FileNames.h"
#include "project/Database.h"
#include "project/ProjectFile.h"
#include "records/PrintJournal.h"
#include "render/BadgeBatch.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const char Usage[] =
    "usage: vellumark-print PROJECT.Prj --badge NAME|FILE [--key VALUE]... [--all]\n"
    "                       [--side front|back|both] [--dpi N] [--codepage NAME]\n"
    "                       -o OUT.pdf|OUT.png\n"
    "\n"
    "  --badge NAME|FILE  a badge of the project's badge folder, or a badge file\n"
    "  --key VALUE        a value of the unique field; repeat for more records\n"
    "  --all              every record of the master table, in table order\n"
    "                     (neither: the badge with its field references)\n"
    "  --side SIDE        front, back or both (default both)\n"
    "  --dpi N            PNG resolution, and the resolution photographs keep in a PDF (300)\n"
    "  -o OUT             a PDF (one card-sized page per side) or PNG files (one per side)\n"
    "  --codepage NAME    the code page of a project's files when it has no NAME.Prj.json\n"
    "                     beside it saying so: utf-8, cp1250 ... cp1258 or cp874\n"
    "  --help, --version  this text, the version\n"
    "\n"
    "Every file written is named on standard output. Exit status: 0 done; 1 the project, badge,\n"
    "database or output cannot be used, a record could not be rendered or the badge file ends\n"
    "early (each reason on standard error); 2 bad arguments. A run that renders no badge writes\n"
    "no file.\n";

// Sheets, duplex, calibration and the check.
const char SheetUsage[] =
    "\n"
    "Sheets and checking:\n"
    "  --sheet A4|Letter|card  cards in a grid on portrait A4 or Letter paper (centred, 5 mm\n"
    "                     margins, 3 mm apart), or one card a page for card printers\n"
    "  --crop-marks       short lines outside each card's corners, to cut along (sheets)\n"
    "  --duplex long|short  with both sides: each sheet of fronts is followed by a sheet of\n"
    "                     backs placed to land behind them when turned over on that edge;\n"
    "                     without it each back follows its front (fold-over badges)\n"
    "  --offset X,Y       move everything X mm right and Y mm down (printer calibration)\n"
    "  --jobs N           threads linking records and reading pictures (one a core)\n"
    "  --check            render nothing: print what would print wrong, one line a problem,\n"
    "                     KEY<TAB>problem (KEY * for the badge itself; a tab, line break or\n"
    "                     backslash in a key is written \\t, \\n, \\r or \\\\); a key that\n"
    "                     several records share is a problem of its own; exit status 0 when\n"
    "                     there is none, 3 when there are problems, 1 when the database\n"
    "                     cannot be used or its connection is lost\n";

// The issuance record.
const char RecordUsage[] =
    "\n"
    "The issuance record (every badge rendered for a record is recorded as issued):\n"
    "  --reason R         why people printed before are printed again: reprint (default)\n"
    "                     or replacement; a person never printed is a first issue\n"
    "  --no-record        a test print: every card is marked TEST PRINT, nothing recorded\n"
    "  --not-printed      of the records asked for (every record when none are), only\n"
    "                     those never printed\n"
    "  --changed-since-printed  only those whose values or pictures changed since their\n"
    "                     last print\n"
    "  --verify-record    check the record's chain: exit status 0 when it is whole, 4 when\n"
    "                     an entry does not fit (named on standard output)\n"
    "  --record           the project's entries as tab-separated lines with a header;\n"
    "                     with --since DATE (yyyy-mm-dd, UTC) and --key KEY only those;\n"
    "                     tabs, line breaks and backslashes written as by --check\n";

const std::string FullUsage = std::string(Usage) + SheetUsage + RecordUsage;

int usageError(const QString& why)
{
    std::fprintf(stderr, "vellumark-print: %s\n\n%s", qPrintable(why), FullUsage.c_str());
    return 2;
}

struct SheetArguments {
    QCommandLineOption sheet{QStringLiteral("sheet"), {}, QStringLiteral("paper")};
    QCommandLineOption cropMarks{QStringLiteral("crop-marks")};
    QCommandLineOption duplex{QStringLiteral("duplex"), {}, QStringLiteral("edge")};
    QCommandLineOption offset{QStringLiteral("offset"), {}, QStringLiteral("x,y")};
    QCommandLineOption jobs{QStringLiteral("jobs"), {}, QStringLiteral("n")};
    QCommandLineOption check{QStringLiteral("check")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({sheet, cropMarks, duplex, offset, jobs, check});
    }

    // An empty text when the options are right.
    QString read(const QCommandLineParser& parser, vm::BadgeBatchRequest& request) const
    {
        if (parser.isSet(sheet)) {
            request.sheet = vm::sheetKindFromName(parser.value(sheet));
            if (!request.sheet || *request.sheet == vm::SheetKind::SlotGrid)
                return QStringLiteral("--sheet must be A4, Letter or card");
        }
        request.cropMarks = parser.isSet(cropMarks);
        if (request.cropMarks && (!request.sheet || *request.sheet == vm::SheetKind::Card))
            return QStringLiteral("--crop-marks needs --sheet A4 or Letter");
        if (parser.isSet(duplex)) {
            const QString edge = parser.value(duplex);
            if (edge == QLatin1String("long"))
                request.duplex = vm::Duplex::LongEdge;
            else if (edge == QLatin1String("short"))
                request.duplex = vm::Duplex::ShortEdge;
            else
                return QStringLiteral("--duplex must be long or short");
            if (request.sides != vm::BadgeBatchRequest::Sides::Both)
                return QStringLiteral("--duplex needs both sides");
            // Card-size pages already alternate front and back; taking it silently would hide a
            // forgotten --sheet.
            if (!request.sheet)
                return QStringLiteral("--duplex needs --sheet A4, Letter or card");
        }
        if (parser.isSet(offset)) {
            const QStringList xy = parser.value(offset).split(QLatin1Char(','));
            bool okX = false, okY = false;
            const double x = xy.size() == 2 ? xy[0].trimmed().toDouble(&okX) : 0;
            const double y = xy.size() == 2 ? xy[1].trimmed().toDouble(&okY) : 0;
            if (!okX || !okY || std::abs(x) > 100 || std::abs(y) > 100)
                return QStringLiteral("--offset must be X,Y in millimetres, as 1.5,-0.5");
            request.offsetMm = QPointF(x, y);
        }
        if (parser.isSet(jobs)) {
            bool ok = false;
            request.jobs = parser.value(jobs).toInt(&ok);
            if (!ok || request.jobs < 1 || request.jobs > 64)
                return QStringLiteral("--jobs must be a number from 1 to 64");
        }
        return {};
    }
};

struct RecordArguments {
    QCommandLineOption reason{QStringLiteral("reason"), {}, QStringLiteral("reason")};
    QCommandLineOption noRecord{QStringLiteral("no-record")};
    QCommandLineOption notPrinted{QStringLiteral("not-printed")};
    QCommandLineOption changed{QStringLiteral("changed-since-printed")};
    QCommandLineOption verify{QStringLiteral("verify-record")};
    QCommandLineOption list{QStringLiteral("record")};
    QCommandLineOption since{QStringLiteral("since"), {}, QStringLiteral("date")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.addOptions({reason, noRecord, notPrinted, changed, verify, list, since});
    }

    bool readsRecord(const QCommandLineParser& parser) const
    {
        return parser.isSet(verify) || parser.isSet(list);
    }

    // An empty text when the options are right.
    QString read(const QCommandLineParser& parser, vm::BadgeBatchRequest& request) const
    {
        if (parser.isSet(reason)) {
            const std::optional<vm::IssueReason> named = vm::issueReasonNamed(parser.value(reason));
            if (!named || *named == vm::IssueReason::FirstIssue)
                return QStringLiteral("--reason must be reprint or replacement (a person never "
                                      "printed is always a first issue)");
            request.again = *named;
        }
        request.testPrint = parser.isSet(noRecord);
        if (parser.isSet(notPrinted) && parser.isSet(changed))
            return QStringLiteral("--not-printed and --changed-since-printed cannot be combined");
        if (parser.isSet(notPrinted) || parser.isSet(changed)) {
            request.select = parser.isSet(notPrinted)
                                 ? vm::BadgeBatchRequest::Selection::NotPrinted
                                 : vm::BadgeBatchRequest::Selection::ChangedSincePrinted;
            if (request.keys.isEmpty())
                request.allRecords = true;
        }
        if (parser.isSet(since) && !parser.isSet(list))
            return QStringLiteral("--since goes with --record");
        return {};
    }
};

// The journal of the project named on the command line; a failure is said and gives exit 1.
std::unique_ptr<vm::IssuanceJournal> openJournal(const vm::BadgeBatchRequest& request)
{
    const QString project = vm::resolveFileName(request.projectFile);
    const vm::Result<vm::StoredSettings> read = vm::ReadProjectFile(project, request.codePage);
    if (!read) {
        std::fprintf(stderr, "vellumark-print: Cannot use the project %s: %s\n",
                     qPrintable(request.projectFile), qPrintable(read.error()));
        return nullptr;
    }
    vm::DatabaseConnection::setProjectFolder(QFileInfo(project).absolutePath());
    return std::make_unique<vm::IssuanceJournal>(project, *read);
}

QDateTime sinceDate(const QString& text)
{
    const QDate day = QDate::fromString(text, Qt::ISODate);
    if (day.isValid() && text.size() == 10)
        return QDateTime(day, QTime(0, 0), Qt::UTC);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (time.isValid() && time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time;
}

// --verify-record and --record.
int readRecord(const QCommandLineParser& parser, const RecordArguments& arguments,
               const vm::BadgeBatchRequest& request, const QStringList& keys)
{
    QDateTime since;
    if (parser.isSet(arguments.since)) {
        since = sinceDate(parser.value(arguments.since));
        if (!since.isValid())
            return usageError(QStringLiteral("--since must be a date such as 2026-12-01"));
    }
    if (keys.size() > 1)
        return usageError(QStringLiteral("--record takes one --key at most"));
    const std::unique_ptr<vm::IssuanceJournal> journal = openJournal(request);
    if (!journal)
        return 1;
    if (vm::Status opened = journal->ready(); !opened) {
        std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(opened.error()));
        return 1;
    }
    if (const QString notice = journal->takeNotice(); !notice.isEmpty())
        std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(notice));
    vm::IssuanceRecord& record = *journal->issuanceRecord();
    if (parser.isSet(arguments.verify)) {
        const vm::Result<std::optional<vm::ChainBreak>> verified = record.verify();
        if (!verified) {
            std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(verified.error()));
            return 1;
        }
        if (*verified) {
            std::printf("The issuance record in %s does not fit together at entry %lld: %s\n",
                        qPrintable(record.place()), (*verified)->number,
                        qPrintable((*verified)->why));
            return 4;
        }
        std::printf("The issuance record in %s is whole.\n", qPrintable(record.place()));
        return 0;
    }
    const vm::Result<vm::StoredSettings> project =
        vm::ReadProjectFile(vm::resolveFileName(request.projectFile), request.codePage);
    const vm::Result<QList<vm::IssuanceEntry>> entries =
        record.entries(project->ProjectName, since,
                       keys.isEmpty() ? std::nullopt : std::optional<QString>(keys.first()));
    if (!entries) {
        std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(entries.error()));
        return 1;
    }
    std::printf("number\tprinted (UTC)\tkey\tbadge\tsides\treason\toutput\tstation\tuser\t"
                "fingerprint\n");
    for (const vm::IssuanceEntry& e : *entries) {
        QStringList fields{QString::number(e.number),
                           e.printedAtText,
                           e.key,
                           e.layout,
                           e.sides,
                           e.reasonText,
                           e.output,
                           e.station,
                           e.user,
                           e.fingerprint};
        for (QString& field : fields)
            field = vm::escapedCheckKey(field);
        std::printf("%s\n", qPrintable(fields.join(QLatin1Char('\t'))));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered =
            vm::answerHelpOrVersion(argc, argv, "vellumark-print", FullUsage.c_str()))
        return *answered;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // fonts and painting only; no window is shown
    const vm::RuntimeDirForRun runtimeDir;
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption badge(QStringLiteral("badge"), {}, QStringLiteral("badge"));
    const QCommandLineOption key(QStringLiteral("key"), {}, QStringLiteral("value"));
    const QCommandLineOption all(QStringLiteral("all"));
    const QCommandLineOption side(QStringLiteral("side"), {}, QStringLiteral("side"),
                                  QStringLiteral("both"));
    const QCommandLineOption dpi(QStringLiteral("dpi"), {}, QStringLiteral("n"),
                                 QStringLiteral("300"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("file"));
    const QCommandLineOption codePage(QStringLiteral("codepage"), {}, QStringLiteral("name"));
    parser.addOptions({badge, key, all, side, dpi, output, codePage});
    const SheetArguments sheetArguments;
    sheetArguments.addTo(parser);
    const RecordArguments recordArguments;
    recordArguments.addTo(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());

    vm::BadgeBatchRequest request;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(QStringLiteral("name one project file"));
    request.projectFile = positional.first();
    if (recordArguments.readsRecord(parser)) {
        if (parser.isSet(recordArguments.verify) && parser.isSet(recordArguments.list))
            return usageError(QStringLiteral("--verify-record and --record cannot be combined"));
        return readRecord(parser, recordArguments, request, parser.values(key));
    }
    if (!parser.isSet(badge))
        return usageError(QStringLiteral("--badge is required"));
    request.badge = parser.value(badge);
    request.keys = parser.values(key);
    request.allRecords = parser.isSet(all);
    if (request.allRecords && !request.keys.isEmpty())
        return usageError(QStringLiteral("--key and --all cannot be combined"));
    const QString sides = parser.value(side);
    if (sides == QLatin1String("front"))
        request.sides = vm::BadgeBatchRequest::Sides::Front;
    else if (sides == QLatin1String("back"))
        request.sides = vm::BadgeBatchRequest::Sides::Back;
    else if (sides != QLatin1String("both"))
        return usageError(QStringLiteral("--side must be front, back or both"));
    bool ok = false;
    request.dpi = parser.value(dpi).toInt(&ok);
    if (!ok || request.dpi < 30 || request.dpi > 2400)
        return usageError(QStringLiteral("--dpi must be a number from 30 to 2400"));
    const vm::Result<vm::TextCodePage> pageOfFiles =
        vm::codePageOption(parser, codePage, request.codePage);
    if (!pageOfFiles)
        return usageError(pageOfFiles.error());
    request.codePage = *pageOfFiles;
    if (const QString why = sheetArguments.read(parser, request); !why.isEmpty())
        return usageError(why);
    if (const QString why = recordArguments.read(parser, request); !why.isEmpty())
        return usageError(why);
    // A run that renders people is recorded; a check or a test print is not.
    std::unique_ptr<vm::IssuanceJournal> journal;
    const bool forPeople = request.allRecords || !request.keys.isEmpty();
    if (forPeople && !parser.isSet(sheetArguments.check) &&
        (!request.testPrint || request.select != vm::BadgeBatchRequest::Selection::Everyone)) {
        journal = openJournal(request);
        if (!journal)
            return 1;
        request.journal = journal.get();
    }
    auto report = [](const QString& line) {
        if (!line.isEmpty())
            std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(line));
    };
    if (parser.isSet(sheetArguments.check)) {
        const vm::BadgeBatchResult checked =
            vm::checkBadgeBatch(request, report, [](const QString& key, const QString& problem) {
                std::printf("%s\t%s\n", qPrintable(vm::escapedCheckKey(key)), qPrintable(problem));
            });
        if (checked.unusable)
            return 1;
        std::fprintf(stderr, "vellumark-print: %d record(s) checked, %d problem(s)\n",
                     checked.records, checked.problems);
        return checked.problems > 0 ? 3 : 0;
    }
    request.output = parser.value(output);
    if (!request.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) &&
        !request.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return usageError(QStringLiteral("-o must name a .pdf or .png file"));

    const vm::BadgeBatchResult result = vm::renderBadgeBatch(request, report);
    if (journal) {
        if (const QString notice = journal->takeNotice(); !notice.isEmpty())
            report(notice);
    }
    // Standard output names every file written, one a line, for scripts to pick up.
    for (const QString& file : result.files)
        std::printf("%s\n", qPrintable(file));
    if (!result.files.isEmpty())
        std::fprintf(stderr, "vellumark-print: %d record(s), %d page(s) written to %s\n",
                     result.records, result.pages,
                     qPrintable(result.files.size() == 1
                                    ? result.files.first()
                                    : QStringLiteral("%1 files").arg(result.files.size())));
    return result.ok ? 0 : 1;
}
