// The pre-print check of a run of badges with photographs, as vellumark-print --check makes it:
// every record linked, every photograph judged (resolution, face, blur, exposure). Prints its
// figures; asserts nothing.
//   bench_photo_check [--people N] [--jobs N]
#include "common/PictureFiles.h"
#include "demo/DemoProject.h"
#include "photo/FaceFinder.h"
#include "render/BadgeBatch.h"
#include "render/PhotoCheck.h"

#include "BenchArguments.h"
#include "BenchSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace vm;
using vm::bench::loadAverage;
using vm::bench::option;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    DemoOptions options;
    options.people = option(arguments, "--people", 1000);
    options.everyPicture = true;
    const int jobs = option(arguments, "--jobs", 0);

    QTemporaryDir dir;
    QString error;
    const QString project = createDemoProject(dir.path(), options, &error);
    if (project.isEmpty()) {
        std::fprintf(stderr, "bench_photo_check: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d people, photographs %d x %d JPEG, load average %.2f\n", options.people,
                options.photoSize.width(), options.photoSize.height(), loadAverage());

    // One photograph alone, on this thread: what each costs.
    const QString one = QDir(dir.path()).filePath(QStringLiteral("Photos/1.jpg"));
    const QSizeF frame(1500, 2000);
    (void)photoProblems(QStringLiteral("one"), one, frame); // loads the classifier
    QElapsedTimer timer;
    timer.start();
    const int rounds = 50;
    for (int i = 0; i < rounds; ++i)
        (void)photoProblems(QStringLiteral("one"), one, frame);
    std::printf("one photograph judged: %.2f ms\n", timer.nsecsElapsed() / 1e6 / rounds);
    // Its parts: decoding at the size judged, and finding the face there.
    timer.restart();
    QImage judged;
    for (int i = 0; i < rounds; ++i)
        judged = *readPicture(one, QSize(313, 417));
    std::printf("  decoding at %d x %d: %.2f ms\n", judged.width(), judged.height(),
                timer.nsecsElapsed() / 1e6 / rounds);
    timer.restart();
    const double findCpu = bench::cpuSeconds();
    for (int i = 0; i < rounds; ++i)
        (void)threadFaceFinder().find(judged);
    std::printf("  finding the face: %.2f ms (%.2f ms CPU)\n", timer.nsecsElapsed() / 1e6 / rounds,
                (bench::cpuSeconds() - findCpu) * 1e3 / rounds);

    for (const bool photos : {false, true}) {
        BadgeBatchRequest request;
        request.projectFile = project;
        // The staff badge's back has no photograph: the check without judging any.
        request.badge = QStringLiteral("Staff");
        request.allRecords = true;
        request.jobs = jobs;
        if (!photos)
            request.sides = BadgeBatchRequest::Sides::Back;
        int problems = 0;
        const double cpu = bench::cpuSeconds();
        timer.restart();
        const BadgeBatchResult result = checkBadgeBatch(
            request, [](const QString&) {},
            [&](const QString&, const QString& line) {
                if (++problems <= 3)
                    std::printf("  problem: %s\n", qPrintable(line));
            });
        std::printf("check of %d badges %s: %.2f s wall, %.2f s CPU, %d problems, load %.2f\n",
                    result.records, photos ? "judging each photograph" : "without photographs",
                    timer.nsecsElapsed() / 1e9, bench::cpuSeconds() - cpu, problems, loadAverage());
    }
    std::printf("peak memory %.1f MB\n", bench::peakMb());
    return 0;
}
