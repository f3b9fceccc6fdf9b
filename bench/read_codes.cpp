// Reads the codes on pictures of printed pages, for the comparison script to prove that both
// programs' codes scan: one line a picture, its name and each text read, or "-" for none.
//   bench_read_codes PICTURE...
#include "render/BarcodeReading.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    int unreadable = 0;
    for (const QString& name : app.arguments().mid(1)) {
        const QImage page(name);
        if (page.isNull()) {
            std::fprintf(stderr, "%s: not a picture\n", qPrintable(name));
            ++unreadable;
            continue;
        }
        QString line = name;
        const QList<vm::ReadCode> codes = vm::readBarcodes(page);
        for (const vm::ReadCode& code : codes)
            line += QLatin1Char('\t') + code.text;
        if (codes.isEmpty()) {
            line += QStringLiteral("\t-");
            ++unreadable;
        }
        std::printf("%s\n", qPrintable(line));
    }
    return unreadable == 0 ? 0 : 1;
}
