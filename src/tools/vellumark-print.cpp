// vellumark-print: renders a badge of a project for records of its database to PDF or PNG,
// without showing a window.
#include "common/CommandLine.h"
#include "render/BadgeBatch.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>

namespace {

const char Usage[] =
    "usage: vellumark-print PROJECT.Prj --badge NAME|FILE [--key VALUE]... [--all]\n"
    "                       [--side front|back|both] [--dpi N] -o OUT.pdf|OUT.png\n"
    "\n"
    "  --badge NAME|FILE  a badge of the project's badge folder, or a badge file\n"
    "  --key VALUE        a value of the unique field; repeat for more records\n"
    "  --all              every record of the master table, in table order\n"
    "                     (neither: the badge with its field references)\n"
    "  --side SIDE        front, back or both (default both)\n"
    "  --dpi N            PNG resolution, and the resolution photographs keep in a PDF (300)\n"
    "  -o OUT             a PDF (one card-sized page per side) or PNG files (one per side)\n"
    "  --help, --version  this text, the version\n"
    "\n"
    "Every file written is named on standard output. Exit status: 0 done; 1 the project, badge,\n"
    "database or output cannot be used, a record could not be rendered or the badge file ends\n"
    "early (each reason on standard error); 2 bad arguments. A run that renders no badge writes\n"
    "no file.\n";

int usageError(const QString& why)
{
    std::fprintf(stderr, "vellumark-print: %s\n\n%s", qPrintable(why), Usage);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered =
            vm::answerHelpOrVersion(argc, argv, "vellumark-print", Usage))
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
    parser.addOptions({badge, key, all, side, dpi, output});
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
    request.output = parser.value(output);
    if (!request.output.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive) &&
        !request.output.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return usageError(QStringLiteral("-o must name a .pdf or .png file"));

    const vm::BadgeBatchResult result = vm::renderBadgeBatch(request, [](const QString& line) {
        if (!line.isEmpty())
            std::fprintf(stderr, "vellumark-print: %s\n", qPrintable(line));
    });
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
