#include "render/frmPreview.h"

#include "common/DatabaseAddress.h"
#include "common/PictureFiles.h"
#include "project/Database.h"
#include "project/DatabaseWaiting.h"
#include "project/ProjectSettings.h"
#include "records/RecordLink.h"
#include "render/PhotoCheck.h"
#include "render/IssuePrompt.h"
#include "render/PrintCheck.h"
#include "render/PrintPageView.h"
#include "render/PrinterCalibration.h"
#include "render/SheetPrinting.h"
#include "render/frmPrinterOffset.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QMdiArea>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace vm {
namespace {

enum class Zoom { WholePage, PageWidth, Actual };

const QString SettingsGroup = QStringLiteral("PrintPage");

QIcon drawnIcon(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

// Icons of their own, so the buttons look the same whatever the desktop's icon theme.
QIcon printIcon()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("document-print"));
    if (!themed.isNull())
        return themed;
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(QColor(60, 60, 60), 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 3, 14, 9));
        p.setBrush(QColor(120, 130, 140));
        p.drawRoundedRect(QRectF(3, 11, 26, 12), 3, 3);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 19, 14, 10));
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.drawLine(QPointF(12, 23), QPointF(20, 23));
        p.drawLine(QPointF(12, 26), QPointF(18, 26));
    });
}

QIcon closeIcon()
{
    const QIcon themed = QIcon::fromTheme(QStringLiteral("window-close"));
    if (!themed.isNull())
        return themed;
    return drawnIcon([](QPainter& p) {
        p.setPen(QPen(QColor(170, 40, 40), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(24, 24));
        p.drawLine(QPointF(24, 8), QPointF(8, 24));
    });
}

QToolButton* iconButton(QWidget* parent, const QString& name, const QString& tip, const QIcon& icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(QSize(24, 24));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    return button;
}

QComboBox* comboBox(QWidget* parent, const QString& name, const QStringList& items)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    return box;
}

QString duplexName(Duplex duplex)
{
    switch (duplex) {
    case Duplex::LongEdge:
        return QStringLiteral("long");
    case Duplex::ShortEdge:
        return QStringLiteral("short");
    case Duplex::None:
        break;
    }
    return QStringLiteral("none");
}

QString badgeName(int ino, const PrintSlot& slot)
{
    return slot.record
               ? QStringLiteral("Badge %1 (record %2)").arg(ino + 1).arg(slot.record->key.text())
               : QStringLiteral("Badge %1").arg(ino + 1);
}

QString badgeList(const QList<int>& items)
{
    constexpr int Named = 5;
    QStringList names;
    for (int i = 0; i < std::min<int>(Named, int(items.size())); ++i)
        names << QString::number(items[i] + 1);
    QString text = names.join(QStringLiteral(", "));
    if (items.size() > Named)
        text += QStringLiteral(" and %1 more").arg(items.size() - Named);
    return text;
}

} // namespace

frmPreview::frmPreview(Dialogs& dialogs, std::function<QPrinter*()> printer, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
    , m_printer(std::move(printer))
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildControls();
    readSheetSettings();
    Picture1->setPage(&m_page);
    layoutChanged();
    resize(960, 720);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QWidget::hide);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    auto* previous =
        new QShortcut(QKeySequence(Qt::Key_PageUp), this, [this] { showPage(m_current - 1); });
    previous->setContext(Qt::WidgetWithChildrenShortcut);
    auto* next =
        new QShortcut(QKeySequence(Qt::Key_PageDown), this, [this] { showPage(m_current + 1); });
    next->setContext(Qt::WidgetWithChildrenShortcut);
}

frmPreview::~frmPreview() = default;

void frmPreview::buildControls()
{
    auto* body = new QWidget(this);
    auto* row = new QHBoxLayout(body);
    row->setContentsMargins(0, 0, 0, 0);

    m_pageArea = new QScrollArea(body);
    m_pageArea->setObjectName(QStringLiteral("pageArea"));
    m_pageArea->setAccessibleName(QStringLiteral("Print page preview"));
    m_pageArea->setWidgetResizable(true);
    m_pageArea->setFrameShape(QFrame::NoFrame);
    Picture1 = new PrintPageView(m_pageArea);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    m_pageArea->setWidget(Picture1);
    row->addWidget(m_pageArea, 1);

    auto* panel = new QWidget(body);
    panel->setObjectName(QStringLiteral("fraPanel"));
    panel->setFixedWidth(250);
    auto* column = new QVBoxLayout(panel);
    row->addWidget(panel);

    Frame1 = new QFrame(panel);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    auto* buttons = new QHBoxLayout(Frame1);
    cmdPrint = iconButton(Frame1, QStringLiteral("cmdPrint"), QStringLiteral("Print"), printIcon());
    cmdClose = iconButton(Frame1, QStringLiteral("cmdClose"), QStringLiteral("Close"), closeIcon());
    buttons->addWidget(cmdPrint);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    column->addWidget(Frame1);

    auto* paging = new QHBoxLayout;
    cmdPrevPage = new QToolButton(panel);
    cmdPrevPage->setObjectName(QStringLiteral("cmdPrevPage"));
    cmdPrevPage->setArrowType(Qt::LeftArrow);
    cmdPrevPage->setToolTip(tr("Previous page (Page Up)"));
    cmdPrevPage->setAccessibleName(tr("Previous page"));
    cmdNextPage = new QToolButton(panel);
    cmdNextPage->setObjectName(QStringLiteral("cmdNextPage"));
    cmdNextPage->setArrowType(Qt::RightArrow);
    cmdNextPage->setToolTip(tr("Next page (Page Down)"));
    cmdNextPage->setAccessibleName(tr("Next page"));
    lblPage = new QLabel(panel);
    lblPage->setObjectName(QStringLiteral("lblPage"));
    lblPage->setAlignment(Qt::AlignCenter);
    paging->addWidget(cmdPrevPage);
    paging->addWidget(lblPage, 1);
    paging->addWidget(cmdNextPage);
    column->addLayout(paging);

    auto* sheet = new QGroupBox(tr("Sheet"), panel);
    sheet->setObjectName(QStringLiteral("fraSheet"));
    auto* form = new QFormLayout(sheet);
    cmbSheet = comboBox(sheet, QStringLiteral("cmbSheet"),
                        {tr("Slot grid"), tr("A4 sheet"), tr("Letter sheet"), tr("Card printer")});
    cmbSheet->setItemData(0, int(SheetKind::SlotGrid));
    cmbSheet->setItemData(1, int(SheetKind::A4));
    cmbSheet->setItemData(2, int(SheetKind::Letter));
    cmbSheet->setItemData(3, int(SheetKind::Card));
    cmbSides = comboBox(sheet, QStringLiteral("cmbSides"), {tr("Added side"), tr("Both sides")});
    cmbDuplex = comboBox(sheet, QStringLiteral("cmbDuplex"),
                         {tr("Off"), tr("Long edge"), tr("Short edge")});
    chkCropMarks = new QCheckBox(tr("Crop marks"), sheet);
    chkCropMarks->setObjectName(QStringLiteral("chkCropMarks"));
    cmbZoom = comboBox(sheet, QStringLiteral("cmbZoom"),
                       {tr("Whole page"), tr("Page width"), tr("100%")});
    form->addRow(tr("&Paper:"), cmbSheet);
    form->addRow(tr("&Sides:"), cmbSides);
    form->addRow(tr("&Duplex:"), cmbDuplex);
    form->addRow(QString(), chkCropMarks);
    form->addRow(tr("&Zoom:"), cmbZoom);
    column->addWidget(sheet);

    cmdCheck = new QPushButton(tr("Chec&k badges"), panel);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    cmdCheck->setToolTip(tr("List what would print wrong on each badge"));
    cmdPrinterOffset = new QPushButton(tr("Printer &offset..."), panel);
    cmdPrinterOffset->setObjectName(QStringLiteral("cmdPrinterOffset"));
    cmdPrinterOffset->setToolTip(
        tr("Measure and correct where this printer puts the page, in millimetres"));
    column->addWidget(cmdCheck);
    column->addWidget(cmdPrinterOffset);

    lblProblems = new QLabel(panel);
    lblProblems->setObjectName(QStringLiteral("lblProblems"));
    lblProblems->setWordWrap(true);
    lstProblems = new QListWidget(panel);
    lstProblems->setObjectName(QStringLiteral("lstProblems"));
    lstProblems->setWordWrap(true);
    lstProblems->setAccessibleName(tr("Problems"));
    lblProblems->setBuddy(lstProblems);
    column->addWidget(lblProblems);
    column->addWidget(lstProblems, 1);
    lblProblems->hide();
    lstProblems->hide();
    column->addStretch();
    setWidget(body);

    connect(cmdPrint, &QToolButton::clicked, this, [this] { printPage(); });
    connect(cmdClose, &QToolButton::clicked, this, &QWidget::hide);
    connect(cmdPrevPage, &QToolButton::clicked, this, [this] { showPage(m_current - 1); });
    connect(cmdNextPage, &QToolButton::clicked, this, [this] { showPage(m_current + 1); });
    auto optionsChanged = [this] {
        layoutChanged();
        writeSheetSettings();
    };
    connect(cmbSheet, &QComboBox::currentIndexChanged, this, [this, optionsChanged] {
        m_kind = SheetKind(cmbSheet->currentData().toInt());
        optionsChanged();
    });
    connect(cmbSides, &QComboBox::currentIndexChanged, this, optionsChanged);
    connect(cmbDuplex, &QComboBox::currentIndexChanged, this, optionsChanged);
    connect(chkCropMarks, &QCheckBox::toggled, this, optionsChanged);
    connect(cmbZoom, &QComboBox::currentIndexChanged, this, [this] {
        fitZoom();
        writeSheetSettings();
    });
    connect(cmdCheck, &QPushButton::clicked, this, [this] { checkPage(); });
    connect(cmdPrinterOffset, &QPushButton::clicked, this, &frmPreview::editPrinterOffset);
    connect(lstProblems, &QListWidget::currentRowChanged, this, [this](int row) {
        QListWidgetItem* item = lstProblems->item(row);
        if (!item)
            return;
        const int ino = item->data(Qt::UserRole).toInt();
        Picture1->setHighlightedItem(ino);
        showPage(plan().pageOf(ino));
    });
}

void frmPreview::readSheetSettings()
{
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    const QSignalBlocker b1(cmbSheet), b2(cmbSides), b3(cmbDuplex), b4(chkCropMarks), b5(cmbZoom);
    m_kind = sheetKindFromName(settings.value(QStringLiteral("sheet")).toString())
                 .value_or(SheetKind::SlotGrid);
    cmbSheet->setCurrentIndex(std::max(0, cmbSheet->findData(int(m_kind))));
    cmbSides->setCurrentIndex(settings.value(QStringLiteral("bothSides"), false).toBool() ? 1 : 0);
    const QString duplex = settings.value(QStringLiteral("duplex")).toString();
    cmbDuplex->setCurrentIndex(duplex == duplexName(Duplex::LongEdge)    ? 1
                               : duplex == duplexName(Duplex::ShortEdge) ? 2
                                                                         : 0);
    chkCropMarks->setChecked(settings.value(QStringLiteral("cropMarks"), false).toBool());
    cmbZoom->setCurrentIndex(std::clamp(settings.value(QStringLiteral("zoom"), 0).toInt(), 0, 2));
}

void frmPreview::writeSheetSettings() const
{
    QSettings settings;
    settings.beginGroup(SettingsGroup);
    const SheetOptions options = sheetOptions();
    settings.setValue(QStringLiteral("sheet"), sheetKindName(m_kind));
    settings.setValue(QStringLiteral("bothSides"), options.bothSides);
    settings.setValue(QStringLiteral("duplex"), duplexName(Duplex(cmbDuplex->currentIndex())));
    settings.setValue(QStringLiteral("cropMarks"), chkCropMarks->isChecked());
    settings.setValue(QStringLiteral("zoom"), cmbZoom->currentIndex());
}

void frmPreview::SetPortrait()
{
    if (std::exchange(m_orientation, Orientation::Portrait) != Orientation::Portrait)
        layoutChanged();
}

void frmPreview::SetLandscape()
{
    if (std::exchange(m_orientation, Orientation::Landscape) != Orientation::Landscape)
        layoutChanged();
}

bool frmPreview::AddItem(int ino, const PrintSlot& slot)
{
    if (!m_page.set(ino, slot))
        return false;
    m_current = plan().pageOf(ino);
    checkOutdated();
    refresh();
    return true;
}

void frmPreview::RemoveItem(int ino)
{
    if (!m_page.remove(ino))
        return;
    checkOutdated();
    refresh();
}

void frmPreview::checkOutdated()
{
    // A list of problems for another page would mislead.
    if (lblProblems->isHidden())
        return;
    lstProblems->clear();
    lstProblems->hide();
    Picture1->setHighlightedItem(-1);
    lblProblems->setText(tr("The page has changed since it was checked."));
}

void frmPreview::setSheetKind(SheetKind kind)
{
    cmbSheet->setCurrentIndex(std::max(0, cmbSheet->findData(int(kind))));
}

SheetOptions frmPreview::sheetOptions() const
{
    SheetOptions options;
    options.bothSides = cmbSides->currentIndex() == 1;
    // A grid anchored at the printable area's corner cannot be turned over onto itself.
    if (options.bothSides && m_kind != SheetKind::SlotGrid)
        options.duplex = Duplex(cmbDuplex->currentIndex());
    options.cropMarks = chkCropMarks->isChecked() && m_kind != SheetKind::Card;
    return options;
}

void frmPreview::setSheetOptions(const SheetOptions& options)
{
    cmbSides->setCurrentIndex(options.bothSides ? 1 : 0);
    cmbDuplex->setCurrentIndex(int(options.duplex));
    chkCropMarks->setChecked(options.cropMarks);
}

SheetLayout frmPreview::sheetLayout() const
{
    return vm::sheetLayout(m_kind, cardSizeTwips(m_orientation));
}

SheetPlan frmPreview::plan() const
{
    return SheetPlan(sheetLayout(), sheetOptions(), m_page.itemCount());
}

int frmPreview::pageCount() const
{
    return std::max(1, plan().pageCount());
}

void frmPreview::showPage(int page)
{
    const int clamped = std::clamp(page, 0, pageCount() - 1);
    if (clamped == m_current && Picture1->shownPage() == clamped)
        return;
    m_current = clamped;
    refresh();
}

void frmPreview::layoutChanged()
{
    const bool both = cmbSides->currentIndex() == 1;
    cmbDuplex->setEnabled(both && m_kind != SheetKind::SlotGrid);
    cmbDuplex->setToolTip(m_kind == SheetKind::SlotGrid
                              ? tr("The slot grid starts at the printable area's corner, so its "
                                   "backs cannot land behind their fronts: choose a sheet or the "
                                   "card printer for duplex.")
                              : tr("Off: each back follows its front on the sheet, for fold-over "
                                   "badges. Long or short edge: a sheet of backs follows each "
                                   "sheet of fronts, to turn over on that edge."));
    chkCropMarks->setEnabled(m_kind != SheetKind::Card);
    checkOutdated();
    fitZoom();
}

void frmPreview::refresh()
{
    const SheetPlan current = plan();
    m_current = std::clamp(m_current, 0, std::max(0, current.pageCount() - 1));
    Picture1->setPlan(current, m_current);
    Picture1->setMinimumSize(Picture1->sizeHint());
    const int pages = std::max(1, current.pageCount());
    QString text = tr("Page %1 of %2").arg(m_current + 1).arg(pages);
    if (current.isBackSheet(m_current))
        text += tr(", backs");
    lblPage->setText(text);
    cmdPrevPage->setEnabled(m_current > 0);
    cmdNextPage->setEnabled(m_current < pages - 1);
}

void frmPreview::fitZoom()
{
    const SheetLayout layout = sheetLayout();
    const double margin = 2 * PrintPageView::DeskMarginTwips;
    const QSize room = m_pageArea->maximumViewportSize();
    double scale = logicalDpiX() / TwipsPerInch;
    switch (Zoom(cmbZoom->currentIndex())) {
    case Zoom::WholePage:
        scale = std::min((room.width() - 1) / (layout.page.width() + margin),
                         (room.height() - 1) / (layout.page.height() + margin));
        break;
    case Zoom::PageWidth:
        scale = (room.width() - m_pageArea->verticalScrollBar()->sizeHint().width() - 1) /
                (layout.page.width() + margin);
        break;
    case Zoom::Actual:
        break;
    }
    Picture1->setScale(std::max(scale, 0.005));
    refresh();
}

void frmPreview::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (m_placed || !parentWidget())
        return;
    // The first time, at the area's top-left and as high as it, beside the rendering windows.
    m_placed = true;
    const QSize area = parentWidget()->size();
    setGeometry(0, 0, std::min(area.width(), std::max(640, area.width() * 2 / 3)), area.height());
}

void frmPreview::closeEvent(QCloseEvent* event)
{
    // Closing only hides: the page stays for the next preview.
    event->ignore();
    hide();
}

void frmPreview::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    if (y() != 0)
        move(x(), 0);
    if (m_pageArea)
        fitZoom();
}

void frmPreview::showProblems(const QStringList& lines, const QList<int>& items)
{
    lstProblems->clear();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(lines[i], lstProblems);
        item->setData(Qt::UserRole, items.value(i));
    }
    lblProblems->setText(lines.isEmpty() ? tr("No problems found.")
                                         : tr("Problems found (%1):").arg(lines.size()));
    lblProblems->show();
    lstProblems->setVisible(!lines.isEmpty());
    if (lines.isEmpty())
        Picture1->setHighlightedItem(-1);
}

QStringList frmPreview::relinkProblems(QList<int>* items)
{
    QStringList lines;
    const ProjectSettings& settings = ProjectSettings::instance();
    const bool anyRecord = std::any_of(m_page.entries().begin(), m_page.entries().end(),
                                       [](const auto& entry) { return entry.second.record; });
    if (!anyRecord || !settings.DatabaseConfigured || settings.DatabasePath.isEmpty())
        return lines;
    QMdiArea* area = nullptr;
    for (QWidget* above = parentWidget(); above && !area; above = above->parentWidget())
        area = qobject_cast<QMdiArea*>(above);
    if (!m_db || m_dbPath != settings.DatabasePath || !m_db->isOpen()) {
        m_db = std::make_unique<DatabaseConnection>();
        if (!openWhileWaiting(area, *m_db, settings.DatabasePath)) {
            lines << tr("The database %1 could not be opened to check the records: %2")
                         .arg(WithoutPassword(settings.DatabasePath), m_db->errorText());
            *items << m_page.entries().begin()->first;
            m_db.reset();
            return lines;
        }
        m_dbPath = settings.DatabasePath;
    }
    // A slow server or a long page: linked aside while "Please wait" says so.
    using Found = QList<QPair<int, QString>>;
    const std::function<Found(DatabaseConnection&)> relink = [&](DatabaseConnection& db) {
        Found found;
        RecordLinker linker(db, settings.stored());
        // Only whether they are still whole matters here, not how they look.
        linker.setPictureDecodeSize(PictureHeaderOnly, PictureHeaderOnly);
        for (const auto& [ino, slot] : m_page.entries()) {
            if (!slot.record)
                continue;
            const QString problem = relinkProblem(linker.link(slot.record->key), *slot.record);
            if (!problem.isEmpty())
                found << qMakePair(ino, badgeName(ino, slot) + QStringLiteral(": ") + problem);
        }
        return found;
    };
    const Found found =
        readAside(area, *m_db, tr("Checking the records on the print page"), relink);
    for (const auto& [ino, line] : found) {
        lines << line;
        *items << ino;
    }
    return lines;
}

QStringList frmPreview::checkPage()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QList<QPair<int, QString>> found;
    QMap<QString, QList<int>> shared; // a layout's problem, once for all its badges
    const bool both = sheetOptions().bothSides;
    // Codes are read back as the printer's dots lay them down; a PDF goes to whatever printer
    // prints it, taken as an office printer of 300 dpi.
    const QPrinter* printer = m_printer();
    const double codeDpi =
        !printer || printer->outputFormat() == QPrinter::PdfFormat ? 300 : printer->resolution();
    for (const auto& [ino, slot] : m_page.entries()) {
        const QString badge = badgeName(ino, slot);
        // Pictures kept as files are checked by their headers: whether they are still whole.
        const std::optional<LinkedRecord> record =
            slot.record ? std::optional(slot.drawnRecord(PictureHeaderOnly)) : std::nullopt;
        for (const QString& problem : layoutProblems(slot.layout))
            shared[problem] << ino;
        for (const QString& problem : sideProblems(slot.layout, record, slot.cardTwips))
            found << qMakePair(ino, badge + QStringLiteral(": ") + problem);
        for (const QString& problem : barcodeProblems(slot.layout, record, codeDpi))
            found << qMakePair(ino, badge + QStringLiteral(": ") + problem);
        const std::optional<QSizeF> photoFrame =
            printedPhotoFrame(slot.layout, both && slot.reverse ? &*slot.reverse : nullptr);
        if (record && photoFrame && !record->photo.isNull())
            for (const QString& problem :
                 photoProblems(tr("record \u201c%1\u201d").arg(record->key.text()),
                               record->photoPath, *photoFrame))
                found << qMakePair(ino, badge + QStringLiteral(": ") + problem);
        if (!both)
            continue;
        if (!slot.reverse) {
            found << qMakePair(ino, badge + tr(": only one side was added, so its back prints "
                                               "blank"));
            continue;
        }
        for (const QString& problem : layoutProblems(*slot.reverse))
            shared[problem] << ino;
        for (const QString& problem : sideProblems(*slot.reverse, record, slot.cardTwips))
            found << qMakePair(ino, badge + tr(", back: ") + problem);
        for (const QString& problem : barcodeProblems(*slot.reverse, record, codeDpi))
            found << qMakePair(ino, badge + tr(", back: ") + problem);
    }
    QList<int> relinked;
    const QStringList relinkLines = relinkProblems(&relinked);
    for (qsizetype i = 0; i < relinkLines.size(); ++i)
        found << qMakePair(relinked[i], relinkLines[i]);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    QStringList lines;
    QList<int> items;
    for (auto it = shared.cbegin(); it != shared.cend(); ++it) {
        QList<int> badges = it.value();
        badges.erase(std::unique(badges.begin(), badges.end()), badges.end());
        lines << tr("%1 (badge %2)").arg(it.key(), badgeList(badges));
        items << badges.first();
    }
    for (const auto& [ino, line] : std::as_const(found)) {
        lines << line;
        items << ino;
    }
    showProblems(lines, items);
    QApplication::restoreOverrideCursor();
    return lines;
}

bool frmPreview::choosePrinterOutput(QPrinter& printer, const QString& suggestedName)
{
    const bool toFile =
        printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (toFile || !QPrinterInfo::availablePrinterNames().isEmpty())
        return m_dialogs.printerSetup(this, &printer);
    FileRequest request;
    request.title = tr("No printer is installed: print to a PDF file");
    request.filter = QStringLiteral("PDF file (*.pdf)");
    request.initialFolder = ProjectSettings::instance().ProjectDir;
    request.fileName = suggestedName;
    const QString file = m_dialogs.saveFileName(this, request);
    if (file.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return true;
}

void frmPreview::setIssuance(std::function<PrintJournal*()> journal,
                             std::function<bool()> testPrints)
{
    m_journal = std::move(journal);
    m_testPrints = std::move(testPrints);
}

bool frmPreview::printPage()
{
    if (m_page.isEmpty()) {
        MsgBox(m_dialogs, this, tr("There is no badge on the print page."), MessageButtons::Ok,
               MessageIcon::Exclamation);
        return false;
    }
    const QStringList problems = checkPage();
    if (!problems.isEmpty()) {
        const QString text = problems.size() == 1
                                 ? tr("One problem was found on the print page. Print anyway?")
                                 : tr("%1 problems were found on the print page. Print anyway?")
                                       .arg(problems.size());
        if (m_dialogs.message(this, {text,
                                     MessageButtons::YesNo,
                                     MessageIcon::Exclamation,
                                     {},
                                     problems.join(QLatin1Char('\n'))}) != MessageAnswer::Yes)
            return false;
    }

    QStringList keys;
    for (const auto& [ino, slot] : m_page.entries()) {
        if (slot.record && !keys.contains(slot.record->key.text()))
            keys << slot.record->key.text();
    }
    PrintJournal* journal = m_journal ? m_journal() : nullptr;
    const std::optional<PrintIntent> intent =
        askPrintIntent(m_dialogs, this, journal, m_testPrints && m_testPrints(), keys);
    if (!intent)
        return false;

    QPrinter& printer = *m_printer();
    const bool hadFile = !printer.outputFileName().isEmpty();
    const PrinterSettingsKeeper keep(printer);
    SheetOptions options = sheetOptions();
    options.testPrint = intent->testPrint;
    const SheetPlan plan(sheetLayout(), options, m_page.itemCount());
    preparePrinter(printer, plan.layout(), plan.options());
    if (!choosePrinterOutput(printer, QStringLiteral("Print page.pdf")))
        return false;
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    const QString target = printerTitle(printer);
    const QList<int> pages = pagesToPrint(printer, plan.pageCount());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Status printed = printSheets(
        printer, plan, pages, [&](int page) { return m_page.cards(plan, page); },
        printerOffsetFor(printer, QSettings()));
    QApplication::restoreOverrideCursor();
    if (!hadFile)
        printer.setOutputFileName({}); // the next print without a printer asks again
    if (!printed) {
        m_dialogs.message(this, {tr("The print page could not be printed."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 printed.error()});
        return false;
    }
    PrintJob job;
    job.output = target;
    job.again = intent->again;
    job.testPrint = intent->testPrint;
    job.badges = printedBadges(m_page, plan, pages);
    recordPrint(m_dialogs, this, journal, job);
    const QString badges =
        tr("%1 badge(s) on %2 page(s)").arg(m_page.filledCount()).arg(pages.size()) +
        (intent->testPrint ? tr(", a test print") : QString());
    Q_EMIT this->printed(
        toFile ? tr("The print page, %1, was printed to %2.")
                     .arg(badges, QDir::toNativeSeparators(target))
               : tr("The print page, %1, was sent to the printer %2.").arg(badges, target));
    return true;
}

bool frmPreview::printCalibrationSheet()
{
    QPrinter& printer = *m_printer();
    const bool hadFile = !printer.outputFileName().isEmpty();
    const PrinterSettingsKeeper keep(printer);
    const SheetPlan plan(sheetLayout(), {}, 1);
    preparePrinter(printer, plan.layout(), {});
    if (!choosePrinterOutput(printer, QStringLiteral("Calibration.pdf")))
        return false;
    const QPointF offset = printerOffsetFor(printer, QSettings());
    const Status printed =
        paintOnPrinter(printer, [&](QPainter& painter, QPagedPaintDevice&, int resolution) {
            setTwipsTransform(painter, resolution, resolution);
            paintCalibrationSheet(painter, plan.layout(), printerTitle(printer), offset);
            return Status();
        });
    if (!hadFile)
        printer.setOutputFileName({});
    if (!printed)
        m_dialogs.message(this, {tr("The calibration sheet could not be printed."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 printed.error()});
    return printed.ok();
}

void frmPreview::editPrinterOffset()
{
    QPrinter& printer = *m_printer();
    if (QPrinterInfo::availablePrinterNames().isEmpty() || printer.printerName().isEmpty()) {
        MsgBox(m_dialogs, this,
               tr("No printer is installed: there is no printer to correct. A PDF file is "
                  "printed where it is printed."),
               MessageButtons::Ok, MessageIcon::Information);
        return;
    }
    QSettings settings;
    frmPrinterOffset dialog(printer.printerName(), printerOffsetMm(settings, printer.printerName()),
                            this);
    connect(&dialog, &frmPrinterOffset::calibrationSheetRequested, this,
            &frmPreview::printCalibrationSheet);
    if (dialog.exec() != QDialog::Accepted)
        return;
    setPrinterOffsetMm(settings, printer.printerName(), dialog.offsetMm());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        m_dialogs.message(this, {tr("The printer offset was not saved."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 tr("Cannot write %1: the disk may be full or the folder "
                                    "read-only. The offset holds until the program ends.")
                                     .arg(QDir::toNativeSeparators(settings.fileName()))});
}

} // namespace vm
