// "+" for many people and the print page that holds them: time to put N people on the page
// (all selected, "+"), and the peak memory of the process with them on it.
// With --pdf the first sheet is printed to that file, to look at how sharp its pictures are.
//     bench_print_page [--people 1000] [--pdf first-sheet.pdf]
#include "app/mainMdi.h"
#include "records/frmData.h"
#include "render/PrintPage.h"
#include "render/SheetPrinting.h"
#include "render/frmPreview.h"
#include "widgets/Dialogs.h"

#include "BenchSupport.h"
#include "DemoBrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace vm;
using namespace vm::bench;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int people = 1000;
    QString pdf;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--people"))
            people = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--pdf"))
            pdf = args[i + 1];
    }
    QTemporaryDir dir;
    const QString project = makeDemoProject(dir.filePath(QStringLiteral("demo")), people, "bench_print_page");
    if (project.isEmpty())
        return 1;

    QuietDialogs dialogs;
    dialogs.yesNo = MessageAnswer::Yes;
    mainMdi window(dialogs);
    frmData* browser = openDemoBrowser(window, project);
    if (!browser)
        return 1;
    const double before = peakMb();

    browser->Lst->selectAll();
    QElapsedTimer clock;
    const double cpuStart = cpuSeconds();
    clock.start();
    browser->OsenXPButton1->click();
    waitFor([&] { return browser->OsenXPButton1->isEnabled(); });
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuStart;
    // The page shown, as the operator looks at it next.
    browser->OsenXPButton2->click();
    QCoreApplication::processEvents();
    std::printf("%d people on the page in %.2f s, %.2f s of CPU (%d badges); peak memory %.0f MB "
                "before \"+\", %.0f MB after\n",
                people, seconds, cpu, browser->PageCount(), before, peakMb());
    if (!pdf.isEmpty()) {
        frmPreview* page = window.printPage();
        const SheetPlan plan = page->plan();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        const Status printed = printSheets(
            printer, plan, {0}, [&](int sheet) { return page->page().cards(plan, sheet); }, {});
        if (!printed) {
            std::fprintf(stderr, "bench_print_page: %s\n", qPrintable(printed.error()));
            return 1;
        }
    }
    return 0;
}
