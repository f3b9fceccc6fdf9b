#pragma once

#include "render/PrintPage.h"

#include <QMdiSubWindow>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;
class QScrollArea;
class QToolButton;

namespace vm {

class DatabaseConnection;
class Dialogs;
class PrintJournal;
class PrintPageView;

// The print page "Preview": the badges the operator collected, laid out on sheets exactly as
// they print, printed through the printer dialog (to a PDF when no printer is installed).
//
// Badge numbers. The record browser counts the badges it has put on the page (PageCount) and
// passes PageCount - 1 to AddItem, so badge numbers run on from sheet to sheet: 0-5 fill the
// first page of the slot grid, 6-11 the second, and so on; the page grows to as many pages as
// the numbers need and nothing added is ever dropped. "+" refuses with "Sorry, Out of page's
// limit!" only when PageCount has reached PrintPageLimit (1,000); "-" calls RemoveItem with
// PageCount - 1 and then lowers PageCount, so it always takes off the badge added last, on
// whatever page it is. The page keeps its badges when the browser closes: a browser opened again
// starts PageCount at itemCount(), so new badges follow those still on the page.
//
// A slot keeps the side as designed and the record it was filled with (PrintSlot), never pixels
// of the screen, so a covered window changes nothing and the print is as sharp as the printer.
// One instance lives as long as the main window; hiding it (Escape, Close) keeps the page.
class frmPreview : public QMdiSubWindow {
    Q_OBJECT
public:
    // `printer` gives the main window's printer, made on first use.
    frmPreview(Dialogs& dialogs, std::function<QPrinter*()> printer, QWidget* parent = nullptr);
    ~frmPreview() override;

    // Lay the page out for the badge's orientation.
    void SetPortrait();
    void SetLandscape();
    Orientation orientation() const { return m_orientation; }

    // Puts a badge in place `ino`, replacing what was there; false (nothing changes) outside
    // 0 .. PrintPageLimit - 1. The page shown moves to the one holding the badge.
    bool AddItem(int ino, const PrintSlot& slot);
    // Empties place `ino`; the other badges keep their places.
    void RemoveItem(int ino);

    const PrintPage& page() const { return m_page; }
    int itemCount() const { return m_page.itemCount(); }

    // The sheet the page is laid out on and how.
    SheetKind sheetKind() const { return m_kind; }
    void setSheetKind(SheetKind kind);
    SheetOptions sheetOptions() const;
    void setSheetOptions(const SheetOptions& options);
    SheetLayout sheetLayout() const;
    SheetPlan plan() const;

    int pageCount() const;
    int currentPage() const { return m_current; }
    void showPage(int page);

    // Everything that would print wrong, one line a problem naming the badge; also shown in the
    // window's problem list. The records are linked again to see that they still are.
    QStringList checkPage();
    // The Print button: checks first (the operator may print anyway or go back), then prints
    // through the printer dialog. False when nothing was printed.
    bool printPage();
    // Where prints are recorded as issued (none: nowhere), and whether the operator chose test
    // prints, which are marked and not recorded.
    void setIssuance(std::function<PrintJournal*()> journal, std::function<bool()> testPrints);

    // One calibration sheet for the printer, without its offset.
    bool printCalibrationSheet();
    // Asks for the printer's offset (millimetres) and keeps it in the user's settings.
    void editPrinterOffset();

    PrintPageView* Picture1;
    QFrame* Frame1;
    QToolButton* cmdPrint;
    QToolButton* cmdClose;
    QToolButton* cmdPrevPage;
    QToolButton* cmdNextPage;
    QLabel* lblPage;
    QComboBox* cmbSheet;
    QComboBox* cmbSides;
    QComboBox* cmbDuplex;
    QCheckBox* chkCropMarks;
    QComboBox* cmbZoom;
    QPushButton* cmdCheck;
    QPushButton* cmdPrinterOffset;
    QLabel* lblProblems;
    QListWidget* lstProblems;

Q_SIGNALS:
    // Where a print went, for the main window's status bar.
    void printed(const QString& what);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void readSheetSettings();
    void writeSheetSettings() const;
    void layoutChanged();
    void refresh();
    void fitZoom();
    void showProblems(const QStringList& lines, const QList<int>& items);
    void checkOutdated();
    QStringList relinkProblems(QList<int>* items);
    bool choosePrinterOutput(QPrinter& printer, const QString& suggestedName);

    Dialogs& m_dialogs;
    std::function<QPrinter*()> m_printer;
    std::function<PrintJournal*()> m_journal;
    std::function<bool()> m_testPrints;
    PrintPage m_page;
    Orientation m_orientation = Orientation::Landscape;
    SheetKind m_kind = SheetKind::SlotGrid;
    int m_current = 0;
    bool m_placed = false;
    QScrollArea* m_pageArea;
    std::unique_ptr<DatabaseConnection> m_db; // opened for the check, kept while loaded
    QString m_dbPath;
};

} // namespace vm
