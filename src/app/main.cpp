#include "app/mainMdi.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellumark"));
    QApplication::setOrganizationName(QStringLiteral("Vellumark"));
    // Lets the desktop match the windows with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumark"));

    vm::QtDialogs dialogs;
    vm::mainMdi window(dialogs);
    QObject::connect(&window, &vm::mainMdi::exitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) {
        const QString project = args.at(1);
        QTimer::singleShot(0, &window, [&window, project] { window.openProjectFile(project); });
    }
    return app.exec();
}
