#include "app/mainMdi.h"
#include "common/CommandLine.h"
#include "common/SettingsFile.h"
#include "common/TextCodePage.h"
#include "project/ProjectFile.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QSettings>
#include <QTimer>

#include <cstdio>

namespace {

const char Usage[] = "usage: vellumark [--codepage NAME] [PROJECT.Prj]\n"
                     "  PROJECT.Prj        a project to open at start\n"
                     "  --codepage NAME    the code page of a project's files when it has no\n"
                     "                     NAME.Prj.json beside it saying so: utf-8,\n"
                     "                     cp1250 ... cp1258 or cp874\n"
                     "  --help, --version  this text, the version\n";

} // namespace

int main(int argc, char* argv[])
{
    if (const std::optional<int> answered = vm::answerHelpOrVersion(argc, argv, "vellumark", Usage))
        return *answered;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumark"));
    QApplication::setOrganizationName(QStringLiteral("Vellumark"));
    QSettings::setDefaultFormat(vm::checkedSettingsFormat());
    // Lets the desktop match the windows with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumark"));

    // Qt has taken its own options (-platform, -style ...) out of the arguments by now.
    QStringList args = QApplication::arguments().mid(1);
    if (!args.isEmpty() && (args.first() == QLatin1String("--codepage") ||
                            args.first().startsWith(QLatin1String("--codepage=")))) {
        const QString first = args.takeFirst();
        const qsizetype equals = first.indexOf(QLatin1Char('='));
        const QString name = equals > 0 ? first.mid(equals + 1)
                             : args.isEmpty() ? QString()
                                              : args.takeFirst();
        const vm::Result<vm::TextCodePage> page = vm::codePageNamed(name);
        if (!page) {
            std::fprintf(stderr, "vellumark: %s\n\n%s", qPrintable(page.error()), Usage);
            return 2;
        }
        vm::setBareProjectCodePage(*page);
    }
    const bool endOfOptions = !args.isEmpty() && args.first() == QLatin1String("--");
    if (endOfOptions)
        args.removeFirst();
    const bool unknownOption =
        !endOfOptions && !args.isEmpty() && args.first().startsWith(QLatin1Char('-'));
    if (unknownOption || args.size() > 1) {
        std::fprintf(stderr, "vellumark: %s: %s\n\n%s",
                     unknownOption ? "unknown option" : "one project at a time",
                     qPrintable(args.join(QLatin1Char(' '))), Usage);
        return 2;
    }

    vm::QtDialogs dialogs;
    vm::mainMdi window(dialogs);
    QObject::connect(&window, &vm::mainMdi::exitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();

    if (!args.isEmpty()) {
        const QString project = args.first();
        QTimer::singleShot(0, &window, [&window, project] { window.openProjectFile(project); });
    }
    return app.exec();
}
