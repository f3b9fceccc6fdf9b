#include "render/SheetPrinting.h"

#include "common/AtomicFile.h"
#include "common/SaveFile.h"
#include "render/PrinterCalibration.h"

#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>

namespace vm {

void preparePrinter(QPrinter& printer, const SheetLayout& layout, const SheetOptions& options)
{
    if (layout.kind != SheetKind::SlotGrid) {
        printer.setFullPage(true);
        printer.setPageLayout(QPageLayout(layout.pageSize(),
                                          layout.page.width() > layout.page.height()
                                              ? QPageLayout::Landscape
                                              : QPageLayout::Portrait,
                                          QMarginsF(0, 0, 0, 0)));
    }
    QPrinter::DuplexMode duplex = QPrinter::DuplexNone;
    if (options.bothSides && options.duplex == Duplex::LongEdge)
        duplex = QPrinter::DuplexLongSide;
    else if (options.bothSides && options.duplex == Duplex::ShortEdge)
        duplex = QPrinter::DuplexShortSide;
    printer.setDuplex(duplex);
}

PrinterSettingsKeeper::PrinterSettingsKeeper(QPrinter& printer)
    : m_printer(printer)
    , m_layout(printer.pageLayout())
    , m_fullPage(printer.fullPage())
    , m_duplex(printer.duplex())
{
}

PrinterSettingsKeeper::~PrinterSettingsKeeper()
{
    m_printer.setFullPage(m_fullPage);
    m_printer.setPageLayout(m_layout);
    m_printer.setDuplex(m_duplex);
}

QPointF printerOffsetFor(const QPrinter& printer, const QSettings& settings)
{
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName().isEmpty())
        return {};
    return printerOffsetMm(settings, printer.printerName());
}

QList<int> pagesToPrint(const QPrinter& printer, int pageCount)
{
    const QPageRanges ranges = printer.pageRanges();
    QList<int> pages;
    for (int page = 0; page < pageCount; ++page) {
        if (ranges.isEmpty() || ranges.contains(page + 1))
            pages << page;
    }
    return pages;
}

Status paintOnPrinter(QPrinter& printer, const PagePainter& paint)
{
    const QString file =
        printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    QPainter painter;
    if (file.isEmpty()) {
        if (!painter.begin(&printer))
            return Status::failure(
                QStringLiteral("The printer %1 could not be started.").arg(printerTitle(printer)));
        const Status painted = paint(painter, printer, printer.resolution());
        if (!painter.end() && painted)
            return Status::failure(
                QStringLiteral("The print to %1 did not complete.").arg(printerTitle(printer)));
        return painted;
    }
    AtomicFile out(file);
    if (Status opened = out.open(); !opened)
        return opened;
    QPdfWriter pdf(out.device());
    pdf.setCreator(QStringLiteral("Vellumark"));
    pdf.setTitle(printer.docName());
    pdf.setResolution(printer.resolution());
    pdf.setPageLayout(printer.pageLayout());
    if (!painter.begin(&pdf))
        return cannotWrite(file, QStringLiteral("the PDF could not be started"));
    const Status painted = paint(painter, pdf, printer.resolution());
    painter.end();
    if (!painted)
        return painted;
    return out.commit();
}

Status printSheets(QPrinter& printer, const SheetPlan& plan, const QList<int>& pages,
                   const std::function<QList<SheetCard>(int page)>& cards, QPointF offsetMm)
{
    SheetOptions options = plan.options();
    options.offsetMm = offsetMm;
    const RenderOptions render = renderOptions(RenderMode::Output, {});
    return paintOnPrinter(printer, [&](QPainter& painter, QPagedPaintDevice& device,
                                       int resolution) {
        bool first = true;
        for (int page : pages) {
            if (!first && !device.newPage())
                return Status::failure(QStringLiteral("The printer %1 stopped after %2 pages.")
                                           .arg(printerTitle(printer))
                                           .arg(pages.indexOf(page)));
            first = false;
            painter.save();
            setTwipsTransform(painter, resolution, resolution);
            paintSheet(painter, plan.layout(), cards(page), options, render);
            painter.restore();
        }
        return Status();
    });
}

QString printerTitle(const QPrinter& printer)
{
    if (printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty())
        return printer.outputFileName();
    return printer.printerName();
}

} // namespace vm
