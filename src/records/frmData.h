#pragma once

#include "project/Database.h"
#include "records/RecordKey.h"
#include "render/PrintSlot.h"
#include "widgets/CommonDialog.h"

#include <QMdiSubWindow>
#include <QTimer>

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
class RecordChangeWatch;
class RecordIssuance;
class RecordLinkWorker;
struct LinkResult;
class RecordListModel;
class RenderingWindow;

// The record browser "Records": the master table's people in a list that fills while it is read
// and finds people as their name is typed, the badge to print, both sides filled with the person
// chosen, and the print page fed from them.
//
// Linking runs on a thread of its own (a slow server never holds up the window; the row chosen
// last wins) and its result goes through the main window (both views are filled or both emptied,
// and the operator is told why); the print page is fed through signals, so this window never
// includes it. Rows changed at other stations are learnt of as they change where the server
// announces them, else when the window comes back to the front.
class frmData : public QMdiSubWindow {
    Q_OBJECT
public:
    // Fills both views with the record linked, or empties them and tells the operator why; with
    // a text to fill, the reason goes there instead of a message box. False when it did not link.
    using LinkToViews = std::function<bool(const LinkResult&, QString*)>;

    frmData(Dialogs& dialogs, RenderingWindow* front, RenderingWindow* back, LinkToViews link,
            QWidget* parent = nullptr);
    ~frmData() override;

    // Reads the master table again; the person selected stays selected when still there.
    void ReloadData();
    // Starts linking the person of the list's current row to both sides; both are emptied until
    // the person is read. Quiet: a failed link is said in the status line, not in a message box
    // (the search as you type: a box would take the next keystrokes).
    void LinkSelectedRecord(bool quiet = false);
    // A person is being read for the views; "+" pressed meanwhile waits for him.
    bool isLinking() const;
    // Looks whether rows changed at another station where the server does not announce it; the
    // person shown is read again when so. Done when the window comes back to the front.
    void checkForChanges();
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
    // The person's pictures were replaced: linked again when the views show him, so they show
    // the new ones; a view showing someone else is left alone.
    void pictureChanged(const RecordKey& key);
    // The filter bar, the list's print columns and the prints of the person shown.
    RecordIssuance* issuance() const { return m_issuance; }

    QLabel* lblFind = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* prgLoad = nullptr;
    QTableView* Lst = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QPushButton* cmdTakePhoto = nullptr;
    QPushButton* cmdTakeSign = nullptr; // shown where the project has a signature column
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
    // Take a photograph or signature of the person shown.
    void takePhotoRequested();
    void takeSignatureRequested();

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
    void goTo(int position, bool quiet);
    // "1,000 records"; while the filter bar narrows the list, "12 of 1,000 records".
    QString countText() const;
    // Says the count in the status line (`withWatch`: and why changes elsewhere show only when
    // looked for); countChanged() keeps a count shown up to date.
    void showCount(bool withWatch = false);
    void countChanged();
    RecordKey keyAt(int position) const;
    Result<RecordKey> keyFromText(const QString& text) const;
    // Every link of the browser: previews emptied, views linked, previews of who is shown now.
    void linkKey(const RecordKey& key, bool quiet, int position = -1);
    void onLinked(const LinkResult& result);
    void paintAwaited();
    void showNobody();
    void onFed(const LinkResult& linked);
    void watchChanges();
    void onRowChanged(const QString& key, bool deleted);
    void sayFound(const QString& said);
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
    std::unique_ptr<RecordLinkWorker> m_linkWorker;
    std::unique_ptr<RecordLinkWorker> m_feedWorker; // the people "+" puts on the page
    std::unique_ptr<RecordChangeWatch> m_watch;
    bool m_linkQuiet = false;
    int m_linkPosition = -1; // the row the person being linked was chosen in; -1: none
    bool m_plusWaiting = false;
    QTimer m_awaitedPaint; // paints the emptied views of a read that takes a while
    QStringList m_changedKeys; // announced by the server, not looked at yet
    QString m_watchSaid;       // why changes elsewhere show only when looked for; empty: live
    std::unique_ptr<RecordListModel> m_records;
    RecordIssuance* m_issuance = nullptr;
    int m_pageCount = 0;
    QStringList m_onPage; // pageEntry of each badge on the page; empty: not known or nobody
    bool m_placed = false;
    QString m_countSaid; // the status line as showCount() left it
    bool m_countWithWatch = false;
    bool m_searchSaid = false; // the status line holds what the last search said
    bool m_changeSaid = false; // the status line says a row took the values linked
    bool m_linkQuietly = false; // a search moves the row: failures go to the status line
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
        bool full = false;    // the page took no more
        bool waiting = false; // for keys[next - 1]
        bool back = false; // the side put on the page is the badge's back
    };
    std::optional<PageFeed> m_feed;
};

} // namespace vm
