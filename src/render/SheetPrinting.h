#pragma once

#include "common/Status.h"
#include "render/PageComposer.h"

#include <QPageLayout>
#include <QPrinter>

#include <functional>

class QSettings;

namespace vm {

// Gives the printer the paper of a layout: a card or a sheet fills the paper from its corner;
// the slot grid keeps the printer's own paper and starts at the printable area's top-left, as
// the print page always has. Two-sided duplex runs ask the printer to turn over the same edge.
void preparePrinter(QPrinter& printer, const SheetLayout& layout, const SheetOptions& options);

// The printer's settings a print changes, put back afterwards so other prints are not affected.
class PrinterSettingsKeeper {
public:
    explicit PrinterSettingsKeeper(QPrinter& printer);
    ~PrinterSettingsKeeper();
    PrinterSettingsKeeper(const PrinterSettingsKeeper&) = delete;
    PrinterSettingsKeeper& operator=(const PrinterSettingsKeeper&) = delete;

private:
    QPrinter& m_printer;
    QPageLayout m_layout;
    bool m_fullPage;
    QPrinter::DuplexMode m_duplex;
};

// The calibration offset of the printer a print goes to; none for a PDF file.
QPointF printerOffsetFor(const QPrinter& printer, const QSettings& settings);

// The pages of the plan the operator asked for in the printer dialog (all when no range was
// given), numbered from 0.
QList<int> pagesToPrint(const QPrinter& printer, int pageCount);

// Paints on the printer; when it prints to a PDF file, through the checked file writer instead,
// as Qt's PDF printer ignores a full disk and would leave a cut file in place of the old one.
// `paint` draws the pages, starting each after the first with device.newPage(), at `resolution`
// dots an inch. Fails, naming the printer or the file and why.
using PagePainter =
    std::function<Status(QPainter& painter, QPagedPaintDevice& device, int resolution)>;
Status paintOnPrinter(QPrinter& printer, const PagePainter& paint);

// Prints the given pages, each drawn by `cards`, with the offset added. Fails, naming the printer
// or file, when printing cannot start.
Status printSheets(QPrinter& printer, const SheetPlan& plan, const QList<int>& pages,
                   const std::function<QList<SheetCard>(int page)>& cards, QPointF offsetMm);

// What a print goes to, as the operator knows it.
QString printerTitle(const QPrinter& printer);

} // namespace vm
