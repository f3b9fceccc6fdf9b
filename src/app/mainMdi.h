#pragma once

#include "app/CommonDialog.h"
#include "app/Dialogs.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace vm {

class RenderingWindow;
class frmProgress;

// The main window: menus, the project's life cycle, and the frame all other windows open in.
// It holds one instance of each window, created on first use.
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

    // The progress window, created (and centred) on first use; unloadProgress deletes it.
    frmProgress* progressWindow();
    void unloadProgress();

    // Windows created on first use (some are still placeholders); null until then.
    QMdiSubWindow* loadedWindow(const QString& name) const;

Q_SIGNALS:
    // Exit was confirmed: the program should end now.
    void exitRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption,
                     const QKeySequence& shortcut = {});
    void setProjectMenusEnabled(bool enabled);
    void placeRenderingWindows();
    QMdiSubWindow* showWindow(const QString& name);
    void unloadWindow(const QString& name);

    void onOpen();
    void onExit();
    void onDatabaseConfiguration();
    void onCreateLayout();
    void onOpenExistingLayout();
    void onChangeLayout();

    Dialogs& m_dialogs;
    QMdiArea* m_mdi;
    RenderingWindow* m_front;
    RenderingWindow* m_back;
    QPointer<frmProgress> m_progress;
    QMap<QString, QPointer<QMdiSubWindow>> m_windows;
    bool m_placedAtStart = false;

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
    QMenu* mnuPrint;
    QAction* mnuPrintSetup;
    QAction* mnuPrinterSetup;
    QAction* mnuPrintFront;
    QAction* mnuPrintBack;
    QAction* mnuPrintPage;
};

} // namespace vm
