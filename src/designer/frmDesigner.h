#pragma once

#include "badge/Arrange.h"
#include "badge/BadgeDocument.h"
#include "common/Status.h"
#include "project/Database.h"
#include "widgets/CommonDialog.h"

#include <QMdiSubWindow>

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace vm {

class DesignerCanvas;
class DesignerView;
class Dialogs;
class FieldPalette;
class RecordListModel;
class SettingsPanel;
class BarcodePanel;

// The badge designer: one side of the badge on a card-sized canvas, the field palette, the
// settings of the selected element, front and back, landscape and portrait, saving through the
// scratch files of the badge folder. The badge itself is a BadgeDocument; every change is a step
// on its undo stack, and the window keeps only what is selected and how it is viewed.
class frmDesigner : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmDesigner(Dialogs& dialogs, QWidget* parent = nullptr);
    ~frmDesigner() override;

    // --- The window's operations ---
    void Fill_MasterFields();
    void Fill_ChildFields();
    // Selects the element of the displayed side and shows it in the settings panel.
    void Select_Control(ElementRef element);
    // Deselects: hides the marker and locks the settings panel.
    void Lock_All();
    void UnLock_All();
    // Saves to the badge folder under the badge name; false when nothing was saved.
    bool Save_Badge();
    // Reads the badge file (empty: the project's current badge) once, writes the three scratch
    // files from it and shows side 0 (front) or 1 (back). False when the operator kept the
    // badge being edited or the file could not be used.
    bool Load_Card(int side, const QString& Badpath = {});

    // Starts a new badge in the open window, as Create New does; false when the operator kept
    // the badge being edited.
    bool newBadge();

    BadgeDocument& document() { return m_document; }
    BadgeSideId displayedSide() const { return m_displayed; }
    // The selected element while a selection is active: the one selected first, which the
    // settings panel shows.
    std::optional<ElementRef> selection() const;
    // Every selected element, the first first; Shift + click adds and removes elements.
    QList<ElementRef> selectedElements() const;
    void toggleSelected(ElementRef element);
    bool isLoaded() const { return m_loaded; }
    DesignerView* view() const { return m_view; }

    // --- Commands of the toolbars and keys, also for scripts and tests ---
    ElementRef addComment();
    // A Code 128 of the master table's key, fitted to a frame of 2 by 0.5 inches.
    ElementRef addBarcode();
    ElementRef addShape(qint16 type);
    ElementRef addLogo();
    void changeSide(BadgeSideId side);
    void copySelection();
    void paste();
    void duplicate();
    void deleteSelection();
    void nudge(int dx, int dy);
    // Lines up, spaces or sizes the selected elements as one undo step; sizes follow the element
    // selected first. Texts that size themselves keep their size.
    void arrange(Arrangement how);

    // Shows the record with this key in the fields and frames while designing (see
    // DesignerCanvas::setRecord); false, saying why in the status line, when it cannot be linked.
    bool showPerson(const QString& keyText);
    void hidePerson();
    // Controls, by their names.
    DesignerCanvas* Picture1;
    QToolBar* Toolbar1;
    QToolBar* toolEdit;
    QStatusBar* StatusBar1;
    QRadioButton* opLandscape;
    QRadioButton* opPortrait;
    QRadioButton* Option1;
    QRadioButton* Option2;
    FieldPalette* fieldPalette;
    SettingsPanel* frameSettings;
    BarcodePanel* frameBarcode;
    QScrollArea* settingsScroll; // both panels above
    QLineEdit* txtBadgeName;
    QPushButton* cmdSave;
    CommonDialog cdlgSettings;

    QAction* btNewComment;
    QAction* btShape;
    QAction* btLogo;
    QAction* btPhoto;
    QAction* btSign;
    QAction* btSave;
    QAction* btClose;
    QAction* actUndo;
    QAction* actRedo;
    QAction* actCopy;
    QAction* actPaste;
    QAction* actDuplicate;
    QAction* actDelete;
    QAction* actBringToFront;
    QAction* actSendToBack;
    QAction* actBringForward;
    QAction* actSendBackward;
    QAction* btBarcode;
    QAction* actZoomIn;
    QAction* actZoomOut;
    QAction* actZoomFit;
    QAction* actSnap;
    QAction* actGrid;
    QComboBox* cmbZoom;
    QDoubleSpinBox* spnGrid;
    QToolButton* btArrange;
    QList<QAction*> arrangeActions; // in the order of Arrangement
    QCheckBox* chkShowPerson;
    QComboBox* cmbPerson;

Q_SIGNALS:
    // The badge file was written.
    void badgeSaved(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    QWidget* buildToolbars();
    QWidget* buildPersonPicker();
    void buildArrangeMenu();
    void updateArrangeActions();
    // A comment whose caption was emptied draws nothing and cannot be clicked again: it goes
    // when the selection leaves it.
    void dropEmptyComment();
    void onPersonToggled(bool on);
    void onPersonChosen(int position);
    // The name a badge never saved gets before its first save; false when cancelled.
    bool nameNewBadge(const QString& why);
    void connectDocument();
    void startNewBadge();
    // Shows a side of the document without saving (changing side saves first).
    void showSide(BadgeSideId side);
    void syncControls();
    void setFrameShown(ElementKind frame, bool shown);
    void refreshSelection();
    ElementRef onTextDropped(const QString& text, QPointF twips);
    void onPointer(std::optional<QPointF> twips);
    void onZoomChanged(double zoom);
    void applySnapOptions();
    // The unsaved-changes question; false when the operator cancels.
    bool confirmDiscard();
    bool keyPreview(QKeyEvent* event);
    bool shortcutOverride(QObject* watched, QKeyEvent* event);
    void report(const Status& status);
    QString proposedName() const;

    Dialogs& m_dialogs;
    DatabaseConnection m_connection;
    BadgeDocument m_document;
    DesignerView* m_view = nullptr;
    QLabel* m_pointerLabel = nullptr;
    QLabel* m_modifiedLabel = nullptr;

    BadgeSideId m_displayed = BadgeSideId::Front;
    ElementRef m_selected;
    QList<ElementRef> m_alsoSelected;
    bool m_selectionActive = false;
    bool m_nameGiven = false; // typed, confirmed, loaded or saved: no longer only proposed
    RecordListModel* m_people = nullptr;
    bool m_personPending = false; // the first person read is shown
    bool m_captionTakesFocus = true; // not while the keyboard walks the canvas
    bool m_loaded = false;
    bool m_placed = false;
    QString m_savedPath; // the badge file this document came from or went to
    quint64 m_nudgeKey = 0;
    QList<Element> m_clipboard;
};

} // namespace vm
