// vellumark-print: renders a badge of a project for records of its database to PDF or PNG,
// without showing a window.
#include "common/CommandLine.h"
#include "render/BadgeBatch.h"

#include <QCommandLineParser>
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

const std::string FullUsage = std::string(Usage) + SheetUsage;

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
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());

    vm::BadgeBatchRequest request;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(QStringLiteral("name one project file"));
    request.projectFile = positional.first();
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
    if (parser.isSet(codePage)) {
        const std::optional<vm::TextCodePage> page =
            vm::TextCodePage::named(parser.value(codePage));
        if (!page)
            return usageError(QStringLiteral("--codepage must be one of %1")
                                  .arg(vm::TextCodePage::optionNames()));
        request.codePage = *page;
    }
    if (const QString why = sheetArguments.read(parser, request); !why.isEmpty())
        return usageError(why);
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
