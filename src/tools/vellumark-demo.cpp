// vellumark-demo: creates a ready demo project in a folder.
#include "common/CommandLine.h"
#include "demo/DemoProject.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

const char Usage[] = "usage: vellumark-demo FOLDER [--people N] [--every-picture] [--csv FILE]\n"
                     "  --people N       how many people the Employee table gets (200)\n"
                     "  --every-picture  every person gets a .jpg photograph and signature\n"
                     "  --csv FILE       also write the people as CSV, with their picture paths\n"
                     "  --help, --version  this text, the version\n"
                     "Prints the path of the project file it made.\n";

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered =
            vm::answerHelpOrVersion(argc, argv, "vellumark-demo", Usage))
        return *answered;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // pictures are drawn, nothing is shown
    const vm::RuntimeDirForRun runtimeDir;
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    vm::DemoOptions options;
    QString folder, csv;
    bool usage = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--people") && i + 1 < args.size())
            options.people = args[++i].toInt();
        else if (arg == QLatin1String("--every-picture"))
            options.everyPicture = true;
        else if (arg == QLatin1String("--csv") && i + 1 < args.size())
            csv = args[++i];
        else if (folder.isEmpty() && !arg.startsWith(QLatin1Char('-')))
            folder = arg;
        else
            usage = true;
    }
    if (usage || folder.isEmpty() || options.people < 1) {
        std::fputs(Usage, stderr);
        return 2;
    }
    QString error;
    const QString project = vm::createDemoProject(folder, options, &error);
    if (project.isEmpty()) {
        std::fprintf(stderr, "vellumark-demo: %s\n", qPrintable(error));
        return 1;
    }
    if (!csv.isEmpty()) {
        if (const vm::Status written = vm::writeDemoCsv(folder, options.people, csv); !written) {
            std::fprintf(stderr, "vellumark-demo: %s\n", qPrintable(written.error()));
            return 1;
        }
    }
    std::printf("%s\n", qPrintable(project));
    return 0;
}
