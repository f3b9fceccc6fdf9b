#pragma once

#include "project/Database.h"
#include "records/RecordKey.h"
#include "render/PrintSlot.h"
#include "widgets/CommonDialog.h"

#include <QMdiSubWindow>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableView;

namespace vm {

class Dialogs;
class RecordIssuance;
class RecordLinker;
class RecordListModel;
class RenderingWindow;

// The record browser "Records": the master table's people in a list that fills while it is read
// and finds people as their name is typed, the badge to print, both sides filled with the person
// chosen, and the print page fed from them.
//
// Linking goes through the main window (both views are filled or both emptied, and the operator
// is told why); the print page is fed through signals, so this window never includes it.
class frmData : public QMdiSubWindow {
    Q_OBJECT
public:
    // Fills both rendering windows with one record; false when it did not link.
    // Fills both views with the record, or empties them and tells the operator why; with a
    // text to fill, the reason goes there instead of a message box.
    using LinkToViews = std::function<bool(RecordLinker&, const RecordKey&, QString*)>;

    frmData(Dialogs& dialogs, RenderingWindow* front, RenderingWindow* back, LinkToViews link,
            QWidget* parent = nullptr);
    ~frmData() override;

    // Reads the master table again; the person selected stays selected when still there.
    void ReloadData();
    // Links the person of the list's current row to both sides and shows the pictures.
    // With reasonInstead, a failed link is not announced in a message box but said there (the
    // search as you type: a box would take the next keystrokes).
    void LinkSelectedRecord(QString* reasonInstead = nullptr);
    // Loads a picture file into a preview, trying .jpg, .jpeg and .bmp; true when the first
    // attempt loaded. The preview is emptied when nothing loads.
    bool OpenImage(QLabel* Cnt, QString& ptH);

    // Badges this window has put on the print page; the page may hold some from before.
    int PageCount() const { return m_pageCount; }
    void setPageCount(int count);
    // "+" refuses once PageCount has reached this.
    static constexpr int PageLimit = PrintPageLimit;

    // The list's rows as shown, and the person of each.
    RecordListModel* records() const { return m_records.get(); }
    // Tells the operator the table was changed elsewhere and offers to read it again.
    void offerRefresh();
    // The filter bar, the list's print columns and the prints of the person shown.
    RecordIssuance* issuance() const { return m_issuance; }

    QLabel* lblFind = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* prgLoad = nullptr;
    QTableView* Lst = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QComboBox* cmbBadges = nullptr;
    QPushButton* cmdImportBadge = nullptr;
    QPushButton* cmdChange = nullptr;
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdEditRec = nullptr;
    QGroupBox* Frame3 = nullptr;
    QRadioButton* opFront = nullptr;
    QRadioButton* opBack = nullptr;
    QPushButton* OsenXPButton1 = nullptr; // "+"
    QPushButton* OsenXPButton3 = nullptr; // "-"
    QPushButton* OsenXPButton2 = nullptr; // "Preview"
    QLabel* Label2 = nullptr;             // "Close"
    QFrame* Shape1 = nullptr;
    CommonDialog cdlgImportBadge;

Q_SIGNALS:
    // Badge `ino` (0 for the first added) goes on the print page.
    void addToPrintPage(int ino, const vm::PrintSlot& slot);
    void removeFromPrintPage(int ino);
    // Show the print page laid out for the badge's orientation (1 landscape, 2 portrait).
    void previewRequested(int orientation);
    // Open the current badge in the designer.
    void changeLayoutRequested();
    // Open the table editor.
    void editRecordsRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void reload(bool keepPerson);
    void layoutControls();
    void keepViewsInFront();
    void chooseBadge(int index);
    void importBadge();
    QString adoptBadge(const QString& path);
    void putOnPage();
    void feedPage();
    void takeOffPage();
    void preview();
    void find(bool next);
    void onFound(const QString& typed, int position);
    void onRowsArrived(int first, int last);
    void onLoadProgress(int rows, qint64 expected);
    void onLoadFinished(const QString& error);
    void selectPosition(int position);
    // Makes the row at position current and links its person, also when it already was.
    void goTo(int position, QString* reasonInstead);
    QString countText() const;
    RecordKey keyAt(int position);
    // Every link of the browser: previews emptied, views linked, previews of who is shown now.
    void linkKey(const RecordKey& key, QString* reasonInstead);
    void showPreviews(const std::optional<LinkedRecord>& record);
    RenderingWindow* chosenView() const;
    bool addSlot(PrintSlot slot);
    void sayAdded();
    // A person and side as the print page holds them, to ask before a second copy.
    QString pageEntry(const RecordKey& key) const;

    Dialogs& m_dialogs;
    RenderingWindow* m_front;
    RenderingWindow* m_back;
    LinkToViews m_link;
    DatabaseConnection m_db;
    std::unique_ptr<RecordLinker> m_linker;
    std::unique_ptr<RecordListModel> m_records;
    RecordIssuance* m_issuance = nullptr;
    int m_pageCount = 0;
    QStringList m_onPage; // pageEntry of each badge on the page; empty: not known or nobody
    bool m_placed = false;
    bool m_searchSaid = false; // the status line holds what the last search said
    bool m_changeSaid = false; // the status line says a row took the values linked
    QString* m_linkReason = nullptr; // where a link's failure is said while a search moves
    bool m_columnsSized = false;
    std::optional<QString> m_keepKey; // the person to select again once the list has him
    // People selected for the print page and not linked yet; the side as it was when "+" was
    // pressed, so a badge chosen meanwhile changes nothing of them.
    struct PageFeed {
        BadgeSide layout;
        BadgeSide reverse; // the other side, printed with the same person on a back page
        QSizeF cardTwips;
        QList<RecordKey> keys;
        qsizetype next = 0;
        QStringList missing;
        bool back = false; // the side put on the page is the badge's back
    };
    std::optional<PageFeed> m_feed;
};

} // namespace vm
