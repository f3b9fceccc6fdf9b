// Looking pictures up beside a crowded folder, and decoding a large photograph, as a click in
// the record browser does. Prints its figures; asserts nothing.
//   bench_pictures [--files N] [--people N]
#include "common/FileNames.h"
#include "common/PictureFiles.h"

#include "BenchArguments.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>

using namespace vm;
using vm::bench::loadAverage;
using vm::bench::option;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int files = option(arguments, "--files", 100000);
    const int people = option(arguments, "--people", 20);

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Photos/"));
    QDir().mkpath(folder);
    for (int i = 0; i < files; ++i) {
        QFile file(folder + QStringLiteral("other%1.jpg").arg(i));
        file.open(QIODevice::WriteOnly);
    }
    std::printf("load average %.2f\n", loadAverage());

    // People whose pictures are missing: each ending looked for in turn.
    QElapsedTimer timer;
    timer.start();
    for (int p = 0; p < people; ++p)
        for (const char* ending : {".jpg", ".jpeg", ".bmp"})
            resolveFileName(folder + QStringLiteral("missing%1").arg(p) + QLatin1String(ending));
    std::printf("%d missing pictures beside %d files, listing the folder (before): %.1f ms\n",
                people, files, timer.nsecsElapsed() / 1e6);
    timer.restart();
    for (int p = 0; p < people; ++p)
        (void)findPicture(folder, QStringLiteral("missing%1").arg(p));
    std::printf("%d missing pictures beside %d files, by name (now): %.3f ms\n", people, files,
                timer.nsecsElapsed() / 1e6);

    // A 35-megapixel photograph: Qt refused it whole; now decoded as large as a card prints.
    QImage big(7000, 5000, QImage::Format_RGB32);
    big.fill(Qt::darkCyan);
    const QString photo = folder + QStringLiteral("big.jpg");
    big.save(photo);
    for (const QSize wanted : {QSize(), QSize(1250, 1670)}) {
        timer.restart();
        const Result<QImage> read = readPicture(photo, wanted);
        std::printf("35-megapixel JPEG decoded %s: %d x %d in %.0f ms\n",
                    wanted.isValid() ? "for a 1250 x 1670 frame" : "for the window",
                    read ? read->width() : 0, read ? read->height() : 0,
                    timer.nsecsElapsed() / 1e6);
    }
    return 0;
}
