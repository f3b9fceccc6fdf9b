// "+" for many people and the print page that holds them: time to put N people on the page
// (all selected, "+"), and the peak memory of the process with them on it.
//     bench_print_page [--people 1000]
#include "app/mainMdi.h"
#include "demo/DemoProject.h"
#include "project/ProjectSettings.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"
#include "render/PrintPage.h"
#include "render/frmPreview.h"
#include "widgets/Dialogs.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace vm;
using namespace vm::bench;

namespace {

bool waitFor(const std::function<bool()>& condition, int ms = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int people = 1000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--people"))
            people = args[i + 1].toInt();
    }
    QTemporaryDir dir;
    QString error;
    DemoOptions options;
    options.people = people;
    options.everyPicture = true;
    const QString project = createDemoProject(dir.filePath(QStringLiteral("demo")), options, &error);
    if (project.isEmpty()) {
        std::fprintf(stderr, "bench_print_page: %s\n", qPrintable(error));
        return 1;
    }

    QuietDialogs dialogs;
    dialogs.yesNo = MessageAnswer::Yes;
    mainMdi window(dialogs);
    window.resize(1400, 900);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !window.openProjectFile(project))
        return 1;
    window.openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    window.mnuReclist->trigger();
    auto* browser = window.findChild<frmData*>(QStringLiteral("frmData"));
    if (!browser || !waitFor([&] { return !browser->records()->isLoading(); }))
        return 1;
    const double before = peakMb();

    browser->Lst->selectAll();
    QElapsedTimer clock;
    clock.start();
    browser->OsenXPButton1->click();
    waitFor([&] { return browser->OsenXPButton1->isEnabled(); });
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    // The page shown, as the operator looks at it next.
    browser->OsenXPButton2->click();
    QCoreApplication::processEvents();
    std::printf("%d people on the page in %.2f s (%d badges); peak memory %.0f MB before \"+\", "
                "%.0f MB after\n",
                people, seconds, browser->PageCount(), before, peakMb());
    return 0;
}
