// vellumark-photos: brings a folder of photographs into a project, each cropped around the face
// to the badge's photo frame, without showing a window.
#include "common/CommandLine.h"
#include "common/FileNames.h"
#include "photo/PhotoImport.h"
#include "project/Database.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

const char Usage[] =
    "usage: vellumark-photos import PROJECT.Prj FOLDER [--dry-run] [--replace]\n"
    "                       [--badge NAME] [--jobs N] [--codepage NAME]\n"
    "\n"
    "Takes each picture file of FOLDER (.jpg, .jpeg, .png or .bmp) whose name without its\n"
    "ending is exactly a person's key or photo value, crops it around the face to the shape of\n"
    "the badge's photo frame (eyes at 40 % of the height, the face 60 % of it; the centre when\n"
    "no face is found) and saves it in the project's photo folder as a JPEG that prints at\n"
    "300 ppi in the frame, under the person's photo value (under the key when the value is\n"
    "empty, which is then written into the database). The photograph replaced is kept as\n"
    "NAME.previous.jpg.\n"
    "\n"
    "  --dry-run          say what would be done; write nothing\n"
    "  --replace          replace photographs people have (otherwise they are kept)\n"
    "  --badge NAME|FILE  the badge whose photo frame shapes the crops (default: the first of\n"
    "                     the project's badges that shows a photograph)\n"
    "  --jobs N           threads decoding and cropping (one a core)\n"
    "  --codepage NAME    the code page of a project's files when it has no NAME.Prj.json\n"
    "  --help, --version  this text, the version\n"
    "\n"
    "Reports the files imported, the photographs kept, files that match no one, people with two\n"
    "or more files (none of them taken) and people still without a photograph. Exit status:\n"
    "0 done; 1 the project, database or folder cannot be used, or a photograph could not be\n"
    "read or saved (each reason reported); 2 bad arguments.\n";

int usageError(const QString& why)
{
    std::fprintf(stderr, "vellumark-photos: %s\n\n%s", qPrintable(why), Usage);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered =
            vm::answerHelpOrVersion(argc, argv, "vellumark-photos", Usage))
        return *answered;
    const vm::RuntimeDirForRun runtimeDir;
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption replace(QStringLiteral("replace"));
    const QCommandLineOption badge(QStringLiteral("badge"), {}, QStringLiteral("badge"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), {}, QStringLiteral("n"));
    const QCommandLineOption codePage(QStringLiteral("codepage"), {}, QStringLiteral("name"));
    parser.addOptions({dryRun, replace, badge, jobs, codePage});
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.value(0) != QLatin1String("import"))
        return usageError(positional.isEmpty()
                              ? QStringLiteral("name a command: import")
                              : QStringLiteral("unknown command %1").arg(positional.first()));
    if (positional.size() != 3)
        return usageError(QStringLiteral("import takes a project file and a folder"));

    vm::PhotoImportRequest request;
    request.folder = positional[2];
    request.dryRun = parser.isSet(dryRun);
    request.replace = parser.isSet(replace);
    request.badge = parser.value(badge);
    if (parser.isSet(jobs)) {
        bool ok = false;
        request.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || request.jobs < 1 || request.jobs > 64)
            return usageError(QStringLiteral("--jobs must be a number from 1 to 64"));
    }
    const vm::Result<vm::TextCodePage> pageOfFiles =
        vm::codePageOption(parser, codePage, vm::bareProjectCodePage());
    if (!pageOfFiles)
        return usageError(pageOfFiles.error());

    const QString projectFile = vm::resolveFileName(positional[1]);
    const vm::Result<vm::StoredSettings> project = vm::ReadProjectFile(projectFile, *pageOfFiles);
    if (!project) {
        std::fprintf(stderr, "vellumark-photos: Cannot use the project %s: %s\n",
                     qPrintable(positional[1]), qPrintable(project.error()));
        return 1;
    }
    vm::useCodePagesOf(*project);
    // A database named relatively lies beside the project file.
    vm::DatabaseConnection::setProjectFolder(QFileInfo(projectFile).absolutePath());

    const vm::PhotoImportReport report = vm::importPhotos(*project, request);
    const QStringList lines = vm::describeImport(report, request.dryRun);
    if (!report.unusable.isEmpty()) {
        std::fprintf(stderr, "vellumark-photos: %s\n", qPrintable(lines.join(QLatin1Char('\n'))));
        return 1;
    }
    for (const QString& line : lines)
        std::printf("%s\n", qPrintable(line));
    return report.failed() ? 1 : 0;
}
