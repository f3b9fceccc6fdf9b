#pragma once

#include "capture/FrameSource.h"
#include "capture/PictureTarget.h"
#include "widgets/CommonDialog.h"
#include "widgets/Dialogs.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QMdiArea;
class QPrinter;
class QMdiSubWindow;
class QMenu;

namespace vm {

class PrintJournal;
class RecordKey;
class RecordLinker;
struct LinkResult;
class RenderingWindow;
class frmData;
class frmPreview;
class frmProgress;

// The main window: menus, the project's life cycle, and the frame all other windows open in.
// It holds one instance of each window, created on first use.
struct NewProject;

class mainMdi : public QMainWindow {
    Q_OBJECT
public:
    explicit mainMdi(Dialogs& dialogs, QWidget* parent = nullptr);
    ~mainMdi() override;

    Dialogs& dialogs() const { return m_dialogs; }
    QMdiArea* mdiArea() const { return m_mdi; }

    RenderingWindow* frmFront() const { return m_front; }
    RenderingWindow* frmBack() const { return m_back; }

    // Card size and place of both rendering windows for the badge's orientation.
    void SetPortrait();
    void SetLandscape();

    // Project commands; each returns whether it did its work.
    bool openProjectFile(const QString& path);
    bool saveProject();
    bool saveProjectAs();
    void closeProject();
    // Writes ProjectFile, sets state 2 and says "Project Saved"; false with a message on failure.
    bool WriteProjectFile();
    // Before the open project goes: when it differs from its file (a badge saved, opened or
    // imported since), asks whether to save it. False on Cancel, or when saving was wanted and
    // failed: the project then stays open as it was.
    bool offerToSaveProject();
    // New Project's Ok: offers to save the open project, closes it and starts `project` empty.
    bool startNewProject(const NewProject& project);

    // The progress window, created (and centred) on first use; unloadProgress deletes it.
    frmProgress* progressWindow();
    void unloadProgress();

    // Windows created on first use (some are still placeholders); null until then.
    QMdiSubWindow* loadedWindow(const QString& name) const;
    // Shows a window by its name, creating it on first use.
    QMdiSubWindow* showWindow(const QString& name);
    // The print page window, loaded (not shown) when it is not.
    frmPreview* printPage();

    // Help ▸ About.
    void showAbout();
    // Help ▸ Operator's guide (F1), at the section for the active window.
    void showGuide();

    // Builds both views from a badge file and makes it the current badge, as Open Existing does
    // with the file chosen in its dialog.
    void openBadgeLayout(const QString& path);

    // Fills both views with one record of the master table; what the record browser calls when
    // a row is chosen. When the record does not link completely, both views lose every value and
    // picture of the previous record first, then the operator is told why ("Error in data
    // linking" when the engine rejects the statement), or, given reasonInstead, the reason is
    // put there for the caller to show.
    bool linkRecordToViews(RecordLinker& linker, const RecordKey& key,
                           QString* reasonInstead = nullptr);
    // The same for a record linked already (the record browser links on a thread of its own).
    bool showLinked(const LinkResult& result, QString* reasonInstead = nullptr);

    // Take Photo / Take Signature: the capture window for the person the views show, or a
    // message saying why not (no person shown, no such column in the project).
    void takePicture(PictureKind kind);
    // The cameras the capture window offers; the system's unless a test gives others.
    void setCameras(Cameras cameras) { m_cameras = std::move(cameras); }

    // Prints a view's side at card size at the top-left of the printable area. With no printer
    // installed the operator is asked for a PDF file instead. False when nothing was printed.
    bool printSide(RenderingWindow* view);
    // Made on first use: asking the print system for its printers can take a while.
    QPrinter* printer();

    // Where every print of the windows is recorded as issued: the open project's issuance
    // record, opened on first use; none while the project has never been saved. Tests put a
    // journal of their own in its place.
    PrintJournal* printJournal();
    void setPrintJournal(std::unique_ptr<PrintJournal> journal);
    // Printing ▸ Test Prints: prints are marked as such and not recorded.
    bool testPrints() const;

Q_SIGNALS:
    // Exit was confirmed: the program should end now.
    void exitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                     const QKeySequence& shortcut = {});
    void setProjectMenusEnabled(bool enabled);
    void placeRenderingWindows();
    QMdiSubWindow* createWindow(const QString& name);
    void unloadWindow(const QString& name);
    void watchRecordReading(frmData* browser);
    // "Vellumark - Staff" while a project is open, "Vellumark" otherwise.
    void updateTitle();
    // The record browser's print counts, read again after a print.
    void refreshPrintCounts();

    void onOpen();
    void onExit();
    void onDatabaseConfiguration();
    void onCreateLayout();
    void onOpenExistingLayout();
    void onChangeLayout();
    void onPrinterSetup();
    void onPrintSetup();

    Dialogs& m_dialogs;
    QMdiArea* m_mdi;
    RenderingWindow* m_front;
    RenderingWindow* m_back;
    QPointer<frmProgress> m_progress;
    QMetaObject::Connection m_browserGone; // undone before the windows go with this one
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<PrintJournal> m_journal;
    QString m_journalProject; // the project file m_journal records; empty: a journal set by a test
    QMap<QString, QPointer<QMdiSubWindow>> m_windows;
    bool m_placedAtStart = false;
    Cameras m_cameras = systemCameras();

public:
    CommonDialog Cdlg;
    CommonDialog cdlgPrinting;

    QMenu* mnuProject;
    QAction* mnuNew;
    QAction* mnuOpen;
    QAction* mnuSaveProject;
    QAction* mnuSaveAsProject;
    QAction* mnuClose;
    QAction* mnuDBConfig;
    QAction* mnuExit;
    QMenu* mnuCards;
    QAction* mnuCreate;
    QAction* mnuLoadCard;
    QAction* mnuEditCard;
    QMenu* mnuData;
    QAction* mnuReclist;
    QAction* mnuUpdateRecs;
    QAction* mnuImportPhotos;
    QAction* mnuTakePhoto;
    QAction* mnuTakeSign;
    QMenu* mnuPrint;
    QAction* mnuPrintSetup;
    QAction* mnuPrinterSetup;
    QAction* mnuPrintFront;
    QAction* mnuPrintBack;
    QAction* mnuPrintPage;
    QAction* mnuTestPrint;
    QMenu* mnuHelp;
    QAction* mnuGuide;
    QAction* mnuAbout;
};

} // namespace vm
