#include "designer/frmDesigner.h"

#include "badge/BadgeNames.h"
#include "badge/BadgeStore.h"
#include "common/FileNames.h"
#include "common/LegacyNumbers.h"
#include "common/QuotedLines.h"
#include "common/SaveFile.h"
#include "designer/BarcodePanel.h"
#include "designer/DesignerCanvas.h"
#include "designer/DesignerIcons.h"
#include "designer/DesignerView.h"
#include "designer/FieldPalette.h"
#include "designer/FitFormatRows.h"
#include "designer/SettingsPanel.h"
#include "project/ProjectSettings.h"
#include "records/RecordLink.h"
#include "records/RecordListModel.h"
#include "widgets/AccessibleNames.h"
#include "widgets/Dialogs.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vm {
namespace {

// Ctrl + arrow moves the selected element this far.
constexpr int NudgeTwips = 20;

// The wheel over the settings scrolls them. A box changes its value by the wheel only once it
// has been clicked or tabbed into, so scrolling past a box never edits the badge.
class WheelScrollsSettings : public QObject {
public:
    explicit WheelScrollsSettings(QScrollArea* area) : QObject(area), m_area(area)
    {
        QWidget* panels = area->widget();
        QList<QWidget*> boxes;
        for (QComboBox* box : panels->findChildren<QComboBox*>())
            boxes << box;
        for (QAbstractSpinBox* box : panels->findChildren<QAbstractSpinBox*>())
            boxes << box;
        for (QWidget* box : boxes) {
            box->setFocusPolicy(Qt::StrongFocus); // not given focus by the wheel
            box->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        QCoreApplication::sendEvent(m_area->verticalScrollBar(), event);
        return true;
    }

private:
    QScrollArea* m_area;
};
// Pasted and duplicated elements step aside from one they would cover exactly.
constexpr float PasteStep = 120;
constexpr double TwipsPerMm = TwipsPerInch / 25.4;

const QString ElementsMime = QStringLiteral("application/x-vellumark-elements");
const QString InvalidNameCharacters = QStringLiteral("/\\:*?\"<>|");

const QString SideChangeNote =
    QStringLiteral("Changing side saves the badge first, under the name in Badge Name.");

void centreOnCard(ElementGeometry& element, QSizeF card)
{
    element.Left = float(std::round(card.width() / 2 - element.Width / 2));
    element.Top = float(std::round(card.height() / 2 - element.Height / 2));
}

bool isFrame(ElementRef element)
{
    return element.kind == ElementKind::Photo || element.kind == ElementKind::Sign;
}

QString elementText(const Element& value)
{
    return std::visit(
        [](const auto& e) -> QString {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_base_of_v<Comment, T>)
                return e.Caption;
            else if constexpr (std::is_same_v<T, Logo>)
                return e.Tag;
            else
                return {};
        },
        value);
}

QPointF topLeftOf(const Element& value)
{
    return std::visit([](const auto& e) { return QPointF(e.Left, e.Top); }, value);
}

void shift(Element& value, float by)
{
    std::visit(
        [by](auto& e) {
            e.Left += by;
            e.Top += by;
        },
        value);
}

// Two toolbars side by side while both fit, one above the other when the window is narrower, so
// no tool ends in an overflow menu (which does not show the boxes among them).
class ToolbarRow : public QWidget {
public:
    ToolbarRow(QToolBar* first, QToolBar* second)
        : m_first(first)
        , m_second(second)
        , m_layout(new QBoxLayout(QBoxLayout::LeftToRight, this))
    {
        m_layout->setContentsMargins(0, 0, 0, 0);
        m_layout->addWidget(first);
        m_layout->addWidget(second, 1);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        const int needed =
            m_first->sizeHint().width() + m_layout->spacing() + m_second->sizeHint().width();
        m_layout->setDirection(event->size().width() >= needed ? QBoxLayout::LeftToRight
                                                                : QBoxLayout::TopToBottom);
        QWidget::resizeEvent(event);
    }

private:
    QToolBar* m_first;
    QToolBar* m_second;
    QBoxLayout* m_layout;
};

} // namespace

frmDesigner::frmDesigner(Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , cdlgSettings(dialogs, this)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmDesigner"));
    const ProjectSettings& settings = ProjectSettings::instance();
    // Opening: the window's own connection, caption, fonts, a proposed name, the comment
    // template as selection, the field palette, landscape.
    const bool connected = m_connection.OpenProjectDatabase(settings.DatabasePath);
    setWindowTitle(QStringLiteral("Vellumark ") + QStringLiteral("  -  ") + settings.ProjectName);
    build();
    connectDocument();
    startNewBadge();
    if (!connected)
        StatusBar1->showMessage(QStringLiteral("The database could not be opened: ") +
                                m_connection.errorText());
    Fill_MasterFields();
    Fill_ChildFields();

    // Keys reach the window before its controls, as Ctrl + arrows and Ctrl + Delete need.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    nameInnerParts(this);
}

frmDesigner::~frmDesigner()
{
    // The controls go first, while the window they report to is still whole.
    m_document.disconnect(this);
    delete widget();
}

// ---- building ----------------------------------------------------------------------------

void frmDesigner::build()
{
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(buildToolbars());

    // Left: side, orientation, field palette.
    auto* left = new QVBoxLayout;
    auto* sides = new QGroupBox(QStringLiteral("Side"));
    Option1 = new QRadioButton(QStringLiteral("Front"));
    Option1->setObjectName(QStringLiteral("Option1"));
    Option2 = new QRadioButton(QStringLiteral("Back"));
    Option2->setObjectName(QStringLiteral("Option2"));
    auto* sideRow = new QHBoxLayout(sides);
    sideRow->addWidget(Option1);
    sideRow->addWidget(Option2);
    auto* orientation = new QGroupBox(QStringLiteral("Orientation"));
    opLandscape = new QRadioButton(QStringLiteral("Landscape"));
    opLandscape->setObjectName(QStringLiteral("opLandscape"));
    opPortrait = new QRadioButton(QStringLiteral("Portrait"));
    opPortrait->setObjectName(QStringLiteral("opPortrait"));
    auto* orientationRow = new QHBoxLayout(orientation);
    orientationRow->addWidget(opLandscape);
    orientationRow->addWidget(opPortrait);
    auto* fields = new QGroupBox(QStringLiteral("Fields"));
    fieldPalette = new FieldPalette;
    auto* fieldsLayout = new QVBoxLayout(fields);
    fieldsLayout->setContentsMargins(4, 4, 4, 4);
    fieldsLayout->addWidget(fieldPalette);
    left->addWidget(sides);
    left->addWidget(orientation);
    left->addWidget(fields, 1);
    left->addWidget(buildPersonPicker());
    // Said before it happens: pointing at Front or Back, or reaching them with the keyboard.
    for (QRadioButton* button : {Option1, Option2}) {
        button->setStatusTip(SideChangeNote);
        button->setToolTip(SideChangeNote);
    }

    // Middle: the canvas with its rulers.
    Picture1 = new DesignerCanvas(m_document);
    // A right click selects what is under the pointer and offers what can be done with it.
    Picture1->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    auto* arrangeSeparator = new QAction(this);
    arrangeSeparator->setSeparator(true);
    Picture1->addActions({actCopy, actPaste, actDuplicate, actDelete, separator, actBringToFront,
                          actBringForward, actSendBackward, actSendToBack, arrangeSeparator,
                          btArrange->defaultAction()});
    m_view = new DesignerView(Picture1);

    // Right: settings, badge name and save. A field's fitting, format and code rows are taller
    // than a 768-pixel screen: they scroll, the name and Save stay in view.
    auto* right = new QVBoxLayout;
    frameSettings = new SettingsPanel(m_document, cdlgSettings, m_dialogs);
    connect(actBringToFront, &QAction::triggered, frameSettings->updown1, &StackButtons::up);
    connect(actSendToBack, &QAction::triggered, frameSettings->updown1, &StackButtons::down);
    frameBarcode = new BarcodePanel(m_document);
    auto* panels = new QWidget;
    auto* panelsLayout = new QVBoxLayout(panels);
    panelsLayout->setContentsMargins(0, 0, 0, 0);
    panelsLayout->addWidget(frameSettings);
    panelsLayout->addWidget(frameBarcode);
    panelsLayout->addStretch();
    settingsScroll = new QScrollArea;
    settingsScroll->setObjectName(QStringLiteral("settingsScroll"));
    settingsScroll->setAccessibleName(QStringLiteral("Element settings"));
    settingsScroll->setFrameShape(QFrame::NoFrame);
    settingsScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    settingsScroll->setWidgetResizable(true);
    settingsScroll->setWidget(panels);
    new WheelScrollsSettings(settingsScroll);
    right->addWidget(settingsScroll, 1);
    auto* nameLabel = new QLabel(QStringLiteral("Badge Name:"));
    txtBadgeName = new QLineEdit;
    txtBadgeName->setObjectName(QStringLiteral("txtBadgeName"));
    nameLabel->setBuddy(txtBadgeName);
    cmdSave = new QPushButton(QStringLiteral("Save"));
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setIcon(designerIcon(DesignerIcon::Save));
    right->addWidget(nameLabel);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(txtBadgeName, 1);
    nameRow->addWidget(cmdSave);
    right->addLayout(nameRow);

    auto* leftPane = new QWidget;
    leftPane->setLayout(left);
    leftPane->setFixedWidth(220);
    auto* rightPane = new QWidget;
    rightPane->setLayout(right);
    // As wide as the panels' rows need beside the scroll bar: none is cut off on the right.
    rightPane->setFixedWidth(
        std::max(280, panels->minimumSizeHint().width() +
                          settingsScroll->verticalScrollBar()->sizeHint().width() +
                          right->contentsMargins().left() + right->contentsMargins().right()));
    auto* middle = new QHBoxLayout;
    middle->addWidget(leftPane);
    middle->addWidget(m_view, 1);
    middle->addWidget(rightPane);
    layout->addLayout(middle, 1);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_modifiedLabel = new QLabel;
    m_modifiedLabel->setObjectName(QStringLiteral("lblModified"));
    m_pointerLabel = new QLabel;
    m_pointerLabel->setObjectName(QStringLiteral("lblPointer"));
    m_pointerLabel->setMinimumWidth(330);
    StatusBar1->addPermanentWidget(m_modifiedLabel);
    StatusBar1->addPermanentWidget(m_pointerLabel);
    layout->addWidget(StatusBar1);
    setWidget(body);

    connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            changeSide(BadgeSideId::Front);
    });
    connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            changeSide(BadgeSideId::Back);
    });
    connect(opLandscape, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_document.setOrientation(Orientation::Landscape);
    });
    connect(opPortrait, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            m_document.setOrientation(Orientation::Portrait);
    });
    connect(cmdSave, &QPushButton::clicked, this, [this] {
        if (!txtBadgeName->text().isEmpty())
            Save_Badge();
    });
    connect(txtBadgeName, &QLineEdit::returnPressed, this, [this] {
        if (cmdSave->isDefault())
            cmdSave->click();
    });
    connect(txtBadgeName, &QLineEdit::textEdited, this, [this](const QString& name) {
        m_document.setBadgeName(name);
        m_nameGiven = true;
    });

    // A press on one of several selected elements keeps them selected.
    auto pressed = [this](ElementRef element) {
        if (m_alsoSelected.isEmpty() || !selectedElements().contains(element))
            Select_Control(element);
    };
    connect(Picture1, &DesignerCanvas::elementPressed, this, pressed);
    connect(Picture1, &DesignerCanvas::elementMoved, this, pressed);
    connect(Picture1, &DesignerCanvas::elementToggled, this, &frmDesigner::toggleSelected);
    connect(Picture1, &DesignerCanvas::elementChosen, this, [this](ElementRef element) {
        const QScopedValueRollback keep(m_captionTakesFocus, false);
        Select_Control(element);
    });
    connect(Picture1, &DesignerCanvas::canvasPressed, this, [this] {
        dropEmptyComment();
        Lock_All();
        m_selectionActive = false;
    });
    connect(Picture1, &DesignerCanvas::textDropped, this, &frmDesigner::onTextDropped);
    // Chosen without dragging, a field goes to the middle of the card.
    connect(fieldPalette, &FieldPalette::fieldChosen, this, [this](const QString& reference) {
        const QSizeF card = m_document.cardSize();
        onTextDropped(reference,
                      QPointF(std::round(card.width() / 3), std::round(card.height() / 2)));
    });
    connect(Picture1, &DesignerCanvas::pointerMoved, this,
            [this](QPointF twips) { onPointer(twips); });
    connect(Picture1, &DesignerCanvas::pointerLeft, this, [this] { onPointer(std::nullopt); });
    connect(m_view, &DesignerView::zoomChanged, this, &frmDesigner::onZoomChanged);

    connect(frameSettings, &SettingsPanel::reselect, this, [this] {
        if (m_selectionActive)
            Select_Control(m_selected);
    });
    connect(frameBarcode, &BarcodePanel::reselect, this, [this] {
        if (m_selectionActive)
            Select_Control(m_selected);
    });
    // One step up or down the stacking order.
    auto restack = [this](int by, const QString& text) {
        if (!m_selectionActive)
            return;
        const int at = m_document.side(m_displayed).stackPosition(m_selected);
        if (at >= 0 && at + by >= 0)
            m_document.moveInStack(m_displayed, m_selected, at + by, text);
    };
    connect(actBringForward, &QAction::triggered, this,
            [restack] { restack(1, QStringLiteral("Bring Forward")); });
    connect(actSendBackward, &QAction::triggered, this,
            [restack] { restack(-1, QStringLiteral("Send Backward")); });
}

QWidget* frmDesigner::buildToolbars()
{
    auto action = [](QToolBar* bar, const char* name, const QString& text, const QString& tip,
                     DesignerIcon icon) {
        QAction* a = bar->addAction(designerIcon(icon), text);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(tip);
        return a;
    };

    Toolbar1 = new QToolBar;
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1->setIconSize(QSize(24, 24));
    btNewComment = action(Toolbar1, "NewComment", QStringLiteral("Comment"),
                          QStringLiteral("New Comment"), DesignerIcon::Comment);
    auto* shapes = new QMenu(this);
    shapes->setObjectName(QStringLiteral("mnuShapes"));
    const std::pair<const char*, DesignerIcon> entries[] = {
        {"Rectangle", DesignerIcon::Rectangle},
        {"Rounded Rectangle", DesignerIcon::RoundedRectangle},
        {"Oval", DesignerIcon::Oval}};
    for (const auto& [text, icon] : entries) {
        QAction* entry = shapes->addAction(designerIcon(icon), QString::fromLatin1(text));
        entry->setObjectName(QString::fromLatin1(text).remove(QLatin1Char(' ')));
    }
    btShape = new QAction(designerIcon(DesignerIcon::Shapes), QStringLiteral("Shape"), this);
    btShape->setObjectName(QStringLiteral("btShape"));
    btShape->setToolTip(QStringLiteral("Insert Shape"));
    btShape->setMenu(shapes);
    Toolbar1->addAction(btShape);
    if (auto* button = qobject_cast<QToolButton*>(Toolbar1->widgetForAction(btShape)))
        button->setPopupMode(QToolButton::InstantPopup);
    btLogo = action(Toolbar1, "btLogo", QStringLiteral("Logo"), QStringLiteral("Inser Logo"),
                    DesignerIcon::Logo);
    btBarcode = action(Toolbar1, "btBarcode", QStringLiteral("Barcode"),
                       QStringLiteral("New Barcode"), DesignerIcon::Barcode);
    btPhoto = action(Toolbar1, "btPhoto", QStringLiteral("Photo"), QStringLiteral("Show Photo"),
                     DesignerIcon::Photo);
    btPhoto->setCheckable(true);
    btSign = action(Toolbar1, "btSign", QStringLiteral("Signature"),
                    QStringLiteral("Show Signature"), DesignerIcon::Signature);
    btSign->setCheckable(true);
    Toolbar1->addSeparator();
    btSave = action(Toolbar1, "btSave", QStringLiteral("Save"), QStringLiteral("Save Badge"),
                    DesignerIcon::Save);
    btClose = action(Toolbar1, "btClose", QStringLiteral("Close"), QStringLiteral("Close"),
                     DesignerIcon::Close);
    for (QAction* a : Toolbar1->actions()) {
        if (QWidget* button = Toolbar1->widgetForAction(a))
            button->setAccessibleName(a->toolTip());
    }

    connect(btNewComment, &QAction::triggered, this, &frmDesigner::addComment);
    connect(shapes, &QMenu::triggered, this, [this](QAction* entry) {
        const QString text = entry->text();
        addShape(text == QLatin1String("Oval")                ? 2
                 : text == QLatin1String("Rounded Rectangle") ? 4
                                                              : 0);
    });
    connect(btLogo, &QAction::triggered, this, &frmDesigner::addLogo);
    connect(btBarcode, &QAction::triggered, this, &frmDesigner::addBarcode);
    connect(btPhoto, &QAction::triggered, this,
            [this](bool on) { setFrameShown(ElementKind::Photo, on); });
    connect(btSign, &QAction::triggered, this,
            [this](bool on) { setFrameShown(ElementKind::Sign, on); });
    connect(btSave, &QAction::triggered, this, [this] { cmdSave->click(); });
    connect(btClose, &QAction::triggered, this, &frmDesigner::close);

    toolEdit = new QToolBar;
    toolEdit->setObjectName(QStringLiteral("toolEdit"));
    toolEdit->setIconSize(QSize(20, 20));
    QUndoStack* undo = m_document.undoStack();
    actUndo = undo->createUndoAction(this, QStringLiteral("Undo"));
    actUndo->setObjectName(QStringLiteral("actUndo"));
    actUndo->setIcon(designerIcon(DesignerIcon::Undo));
    actUndo->setShortcuts(QKeySequence::Undo);
    actRedo = undo->createRedoAction(this, QStringLiteral("Redo"));
    actRedo->setObjectName(QStringLiteral("actRedo"));
    actRedo->setIcon(designerIcon(DesignerIcon::Redo));
    actRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    toolEdit->addAction(actUndo);
    toolEdit->addAction(actRedo);
    toolEdit->addSeparator();
    actCopy = action(toolEdit, "actCopy", QStringLiteral("Copy"), QStringLiteral("Copy (Ctrl+C)"),
                     DesignerIcon::Copy);
    actCopy->setShortcut(QKeySequence::Copy);
    actPaste = action(toolEdit, "actPaste", QStringLiteral("Paste"),
                      QStringLiteral("Paste (Ctrl+V)"), DesignerIcon::Paste);
    actPaste->setShortcut(QKeySequence::Paste);
    actDuplicate = action(toolEdit, "actDuplicate", QStringLiteral("Duplicate"),
                          QStringLiteral("Duplicate (Ctrl+D)"), DesignerIcon::Duplicate);
    actDuplicate->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    actDelete = action(toolEdit, "actDelete", QStringLiteral("Delete"),
                       QStringLiteral("Delete (Ctrl+Delete)"), DesignerIcon::Delete);
    // Delete alone deletes only where no text box wants the key: on the canvas.
    actDelete->setShortcut(QKeySequence::Delete);
    actDelete->setShortcutContext(Qt::WidgetShortcut);
    buildArrangeMenu();
    toolEdit->addWidget(btArrange);
    toolEdit->addSeparator();
    actZoomOut = action(toolEdit, "actZoomOut", QStringLiteral("Zoom Out"),
                        QStringLiteral("Zoom Out (Ctrl+-)"), DesignerIcon::ZoomOut);
    actZoomOut->setShortcuts(QKeySequence::ZoomOut);
    cmbZoom = new QComboBox;
    cmbZoom->setObjectName(QStringLiteral("cmbZoom"));
    cmbZoom->setAccessibleName(QStringLiteral("Zoom"));
    cmbZoom->setToolTip(QStringLiteral("Zoom (Ctrl + wheel)"));
    cmbZoom->setEditable(true);
    cmbZoom->setInsertPolicy(QComboBox::NoInsert);
    for (int percent : {25, 33, 50, 67, 75, 100, 125, 150, 200, 300, 400})
        cmbZoom->addItem(QStringLiteral("%1 %").arg(percent));
    toolEdit->addWidget(cmbZoom);
    actZoomIn = action(toolEdit, "actZoomIn", QStringLiteral("Zoom In"),
                       QStringLiteral("Zoom In (Ctrl++)"), DesignerIcon::ZoomIn);
    actZoomIn->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    actZoomFit = action(toolEdit, "actZoomFit", QStringLiteral("Fit"),
                        QStringLiteral("Zoom to Fit"), DesignerIcon::ZoomFit);
    toolEdit->addSeparator();
    actSnap = action(toolEdit, "actSnap", QStringLiteral("Guides"),
                     QStringLiteral("Snap to the card's centre lines and other elements"),
                     DesignerIcon::Snap);
    actSnap->setCheckable(true);
    actSnap->setChecked(true);
    actGrid = action(toolEdit, "actGrid", QStringLiteral("Grid"), QStringLiteral("Snap to Grid"),
                     DesignerIcon::Grid);
    actGrid->setCheckable(true);
    spnGrid = new QDoubleSpinBox;
    spnGrid->setObjectName(QStringLiteral("spnGrid"));
    spnGrid->setAccessibleName(QStringLiteral("Grid size (mm)"));
    spnGrid->setToolTip(spnGrid->accessibleName());
    spnGrid->setRange(0.5, 20);
    spnGrid->setSingleStep(0.5);
    spnGrid->setDecimals(1);
    spnGrid->setSuffix(QStringLiteral(" mm"));
    spnGrid->setValue(2);
    toolEdit->addWidget(spnGrid);
    for (QAction* a : toolEdit->actions()) {
        if (QWidget* button = toolEdit->widgetForAction(a); button && !a->text().isEmpty())
            button->setAccessibleName(a->text());
    }
    for (QAction* a : {actUndo, actRedo, actCopy, actPaste, actDuplicate, actZoomIn, actZoomOut}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }

    connect(actCopy, &QAction::triggered, this, &frmDesigner::copySelection);
    connect(actPaste, &QAction::triggered, this, &frmDesigner::paste);
    connect(actDuplicate, &QAction::triggered, this, &frmDesigner::duplicate);
    connect(actDelete, &QAction::triggered, this, &frmDesigner::deleteSelection);
    actBringToFront = new QAction(QStringLiteral("Bring to Front"), this);
    actBringToFront->setObjectName(QStringLiteral("actBringToFront"));
    actSendToBack = new QAction(QStringLiteral("Send to Back"), this);
    actSendToBack->setObjectName(QStringLiteral("actSendToBack"));
    actBringForward = new QAction(QStringLiteral("Bring Forward"), this);
    actBringForward->setObjectName(QStringLiteral("actBringForward"));
    actBringForward->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketRight));
    actSendBackward = new QAction(QStringLiteral("Send Backward"), this);
    actSendBackward->setObjectName(QStringLiteral("actSendBackward"));
    actSendBackward->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
    for (QAction* a : {actBringForward, actSendBackward}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }

    connect(actZoomIn, &QAction::triggered, this, [this] { m_view->zoomIn(); });
    connect(actZoomOut, &QAction::triggered, this, [this] { m_view->zoomOut(); });
    connect(actZoomFit, &QAction::triggered, this, [this] { m_view->zoomToFit(); });
    auto zoomFromBox = [this] {
        const double percent = leadingNumber(cmbZoom->currentText());
        if (percent > 0)
            m_view->setZoom(percent / 100);
        onZoomChanged(m_view->zoom());
    };
    connect(cmbZoom, &QComboBox::activated, this, zoomFromBox);
    connect(cmbZoom->lineEdit(), &QLineEdit::returnPressed, this, zoomFromBox);
    connect(actSnap, &QAction::toggled, this, &frmDesigner::applySnapOptions);
    connect(actGrid, &QAction::toggled, this, &frmDesigner::applySnapOptions);
    connect(spnGrid, &QDoubleSpinBox::valueChanged, this, &frmDesigner::applySnapOptions);

    return new ToolbarRow(Toolbar1, toolEdit);
}

void frmDesigner::connectDocument()
{
    // Undo and redo may reach the side that is not shown: show it, as the change happens there.
    connect(&m_document, &BadgeDocument::elementChanged, this,
            [this](BadgeSideId side, ElementRef element, const Element&) {
                if (side != m_displayed)
                    showSide(side);
                if (m_selectionActive && element == m_selected)
                    refreshSelection();
                if (isFrame(element))
                    syncControls();
            });
    connect(&m_document, &BadgeDocument::sideChanged, this, [this](BadgeSideId side) {
        if (side != m_displayed)
            showSide(side);
        if (m_selectionActive && !m_document.side(m_displayed).contains(m_selected)) {
            Lock_All();
            m_selectionActive = false;
        }
    });
    connect(&m_document, &BadgeDocument::orientationChanged, this, &frmDesigner::syncControls);
    connect(&m_document, &BadgeDocument::modifiedChanged, this, [this](bool modified) {
        m_modifiedLabel->setText(modified ? QStringLiteral("Not saved") : QString());
    });
    applySnapOptions();
}

// ---- opening, selecting ------------------------------------------------------------------

QString frmDesigner::proposedName() const
{
    return QStringLiteral("Badge") +
           QString::number(ProjectSettings::instance().badges().size() + 1);
}

void frmDesigner::startNewBadge()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    BadgeLayout layout;
    layout.badgeName = proposedName();
    layout.projectName = settings.ProjectName;
    layout.databasePath = settings.DatabasePath;
    layout.orientation = qint16(Orientation::Landscape);
    m_document.reset(layout, true);
    m_savedPath.clear();
    m_loaded = false;
    m_nameGiven = false;
    txtBadgeName->setText(layout.badgeName);
    m_selected = {ElementKind::Comment, 0};
    m_selectionActive = false;
    showSide(BadgeSideId::Front);
}

bool frmDesigner::newBadge()
{
    if (!confirmDiscard())
        return false;
    const ProjectSettings& settings = ProjectSettings::instance();
    // The project may have changed since the window opened.
    if (m_connection.databasePath() != settings.DatabasePath || !m_connection.isOpen()) {
        chkShowPerson->setChecked(false); // a person of another database
        if (!m_connection.OpenProjectDatabase(settings.DatabasePath))
            StatusBar1->showMessage(QStringLiteral("The database could not be opened: ") +
                                    m_connection.errorText());
    }
    setWindowTitle(QStringLiteral("Vellumark ") + QStringLiteral("  -  ") + settings.ProjectName);
    startNewBadge();
    Fill_MasterFields();
    Fill_ChildFields();
    return true;
}

void frmDesigner::Fill_MasterFields()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    if (settings.MasterTable.isEmpty()) {
        fieldPalette->lstMasterFields()->clear();
        return;
    }
    const QString error = fieldPalette->Fill_MasterFields(m_connection, settings.MasterTable);
    if (!error.isEmpty())
        StatusBar1->showMessage(error);
}

void frmDesigner::Fill_ChildFields()
{
    const QString error =
        fieldPalette->Fill_ChildFields(m_connection, ProjectSettings::instance().DataTables);
    if (!error.isEmpty())
        StatusBar1->showMessage(error);
    // The columns a field's hide condition can name.
    QStringList columns;
    for (const FieldList* list : {fieldPalette->lstMasterFields(), fieldPalette->lstChildFields()})
        for (int i = 0; i < list->count(); ++i)
            columns << referencedColumn(list->item(i)->text());
    frameSettings->fitFormat->setColumns(columns);
}

std::optional<ElementRef> frmDesigner::selection() const
{
    if (!m_selectionActive)
        return std::nullopt;
    return m_selected;
}

QList<ElementRef> frmDesigner::selectedElements() const
{
    if (!m_selectionActive)
        return {};
    return QList<ElementRef>{m_selected} + m_alsoSelected;
}

void frmDesigner::Select_Control(ElementRef element)
{
    if (element != m_selected || !m_selectionActive) {
        m_nudgeKey = 0;
        dropEmptyComment();
        m_alsoSelected.clear();
    }
    m_selected = element;
    m_selectionActive = true;
    UnLock_All();
    frameSettings->showElement(m_displayed, element, m_captionTakesFocus);
    frameBarcode->showElement(m_displayed, element);
}

void frmDesigner::toggleSelected(ElementRef element)
{
    if (!m_selectionActive) {
        Select_Control(element);
    } else if (element == m_selected) {
        if (m_alsoSelected.isEmpty()) {
            dropEmptyComment();
            Lock_All();
            m_selectionActive = false;
            return;
        }
        // The next one selected takes the first one's place.
        const QList<ElementRef> rest = m_alsoSelected.mid(1);
        Select_Control(m_alsoSelected.first());
        m_alsoSelected = rest;
    } else if (!m_alsoSelected.removeOne(element)) {
        m_alsoSelected << element;
    }
    Picture1->setOtherMarkers(m_alsoSelected);
    updateArrangeActions();
}

void frmDesigner::Lock_All()
{
    m_alsoSelected.clear();
    Picture1->setMarker(std::nullopt);
    Picture1->setOtherMarkers({});
    frameSettings->lockAll();
    frameBarcode->showElement(m_displayed, std::nullopt);
    updateArrangeActions();
}

void frmDesigner::UnLock_All()
{
    Picture1->setMarker(m_selected);
    Picture1->setOtherMarkers(m_alsoSelected);
    frameSettings->unlockAll();
    updateArrangeActions();
}

void frmDesigner::dropEmptyComment()
{
    if (!m_selectionActive || m_selected.kind != ElementKind::Comment)
        return;
    const BadgeSide& side = m_document.side(m_displayed);
    if (side.contains(m_selected) && side.Label1.at(m_selected.index).Caption.isEmpty()) {
        const ElementRef empty = m_selected;
        m_selectionActive = false; // no second visit while it goes
        m_document.removeElement(m_displayed, empty);
        m_selectionActive = true;
        StatusBar1->showMessage(
            QStringLiteral("The comment without text was removed (Undo brings it back)."), 8000);
    }
}

void frmDesigner::refreshSelection()
{
    frameSettings->refresh();
    frameBarcode->refresh();
}

void frmDesigner::showSide(BadgeSideId side)
{
    m_displayed = side;
    Lock_All();
    m_selectionActive = false;
    Picture1->showSide(side);
    syncControls();
}

void frmDesigner::syncControls()
{
    const bool front = m_displayed == BadgeSideId::Front;
    const bool landscape = m_document.orientation() == Orientation::Landscape;
    const BadgeSide& side = m_document.side(m_displayed);
    const QSignalBlocker b1(Option1), b2(Option2), b3(opLandscape), b4(opPortrait), b5(btPhoto),
        b6(btSign);
    Option1->setChecked(front);
    Option2->setChecked(!front);
    opLandscape->setChecked(landscape);
    opPortrait->setChecked(!landscape);
    btPhoto->setChecked(side.imgPhoto.Visible);
    btSign->setChecked(side.imgSign.Visible);
}

// ---- adding --------------------------------------------------------------------------------

ElementRef frmDesigner::addComment()
{
    Comment comment = m_document.side(m_displayed).Label1.templateElement();
    comment.Caption = QStringLiteral("New Comment");
    comment.BorderStyle = 0;
    comment.BackStyle = 0;
    comment.Visible = true;
    comment.AutoSize = true;
    fitToText(comment);
    centreOnCard(comment, m_document.cardSize());
    const ElementRef added =
        m_document.addElement(m_displayed, comment, QStringLiteral("New Comment"));
    Select_Control(added);
    return added;
}

ElementRef frmDesigner::addBarcode()
{
    const ProjectSettings& settings = ProjectSettings::instance();
    Field field = m_document.side(m_displayed).lblField.templateElement();
    field.Caption = settings.MasterTable.isEmpty() || settings.UniqueField.isEmpty()
                        ? QStringLiteral("<Table.Column>")
                        : QStringLiteral("<%1.%2>").arg(settings.MasterTable, settings.UniqueField);
    field.Tag.clear();
    field.barcode = Barcode();
    field.AutoSize = false;
    field.BackStyle = 0;
    field.BorderStyle = 0;
    field.Visible = true;
    field.Width = 2880;
    field.Height = 720;
    centreOnCard(field, m_document.cardSize());
    const ElementRef added =
        m_document.addElement(m_displayed, field, QStringLiteral("New Barcode"));
    Select_Control(added);
    return added;
}

ElementRef frmDesigner::addShape(qint16 type)
{
    Shape shape = m_document.side(m_displayed).myShape1.templateElement();
    shape.ShpType = type;
    shape.Left = 0;
    shape.Top = 0;
    shape.Visible = true;
    const ElementRef added = m_document.addElement(m_displayed, shape, QStringLiteral("New Shape"));
    Select_Control(added);
    return added;
}

ElementRef frmDesigner::addLogo()
{
    Logo logo = m_document.side(m_displayed).Image1.templateElement();
    logo.Visible = true;
    // The logo and its picture are one step.
    QUndoStack* undo = m_document.undoStack();
    undo->beginMacro(QStringLiteral("Insert Logo"));
    const ElementRef added =
        m_document.addElement(m_displayed, logo, QStringLiteral("Insert Logo"));
    Select_Control(added);
    if (frameSettings->browseImage()) {
        // The frame takes the picture's proportions, within the size a new logo has.
        Logo chosen = m_document.side(m_displayed).Image1.at(added.index);
        const QSizeF picture = chosen.Picture.size();
        if (!picture.isEmpty()) {
            const QSizeF fitted =
                picture.scaled(QSizeF(logo.Width, logo.Height), Qt::KeepAspectRatio);
            chosen.Width = float(std::max(1.0, std::round(fitted.width())));
            chosen.Height = float(std::max(1.0, std::round(fitted.height())));
            m_document.changeElement(m_displayed, added, chosen, QStringLiteral("Insert Logo"));
        }
    }
    undo->endMacro();
    return added;
}

ElementRef frmDesigner::onTextDropped(const QString& text, QPointF twips)
{
    Field field = m_document.side(m_displayed).lblField.templateElement();
    field.Caption = text;
    field.Tag.clear();
    field.BorderStyle = 0;
    field.BackStyle = 0;
    field.Visible = true;
    field.AutoSize = true;
    field.Left = float(twips.x());
    field.Top = float(twips.y());
    fitToText(field);
    // Selected, so its settings are at hand at once.
    const ElementRef added = m_document.addElement(m_displayed, field, QStringLiteral("New Field"));
    if (added.index > 0)
        Select_Control(added);
    return added;
}

void frmDesigner::setFrameShown(ElementKind kind, bool shown)
{
    const ProjectSettings& settings = ProjectSettings::instance();
    const bool photo = kind == ElementKind::Photo;
    const QString& column = photo ? settings.PhotoField : settings.SignField;
    if (column.isEmpty() || column == NoneField) {
        MsgBox(m_dialogs, this,
               photo ? QStringLiteral("Image Field is not specified")
                     : QStringLiteral("Sign field is not specified"),
               MessageButtons::Ok, MessageIcon::Exclamation);
        shown = false;
    }
    const BadgeSide& side = m_document.side(m_displayed);
    PictureFrame frame = photo ? side.imgPhoto : side.imgSign;
    frame.Visible = shown;
    const QString what = photo ? QStringLiteral("Photo") : QStringLiteral("Signature");
    m_document.changeElement(m_displayed, {kind, 0}, frame,
                             (shown ? QStringLiteral("Show ") : QStringLiteral("Hide ")) + what);
    syncControls();
}

// ---- editing -------------------------------------------------------------------------------

void frmDesigner::nudge(int dx, int dy)
{
    if (!m_selectionActive)
        return;
    std::optional<Element> value = m_document.side(m_displayed).element(m_selected);
    if (!value)
        return;
    std::visit(
        [&](auto& e) {
            e.Left += float(dx);
            e.Top += float(dy);
        },
        *value);
    // Nudges of one element in a row are one step.
    if (m_nudgeKey == 0)
        m_nudgeKey = m_document.newMergeKey();
    m_document.changeElement(m_displayed, m_selected, *value, QStringLiteral("Move"), m_nudgeKey);
    Select_Control(m_selected);
    frameSettings->txtLeft->setFocus();
}

void frmDesigner::deleteSelection()
{
    if (!m_selectionActive || isFrame(m_selected))
        return;
    m_document.removeElement(m_displayed, m_selected);
    Lock_All();
    m_selectionActive = false;
}

void frmDesigner::copySelection()
{
    if (!m_selectionActive || isFrame(m_selected))
        return;
    const std::optional<Element> value = m_document.side(m_displayed).element(m_selected);
    if (!value)
        return;
    m_clipboard = {*value};
    // The clipboard says an element was copied, so a text box knows not to paste it as text.
    auto* data = new QMimeData;
    data->setData(ElementsMime, QByteArray::number(QCoreApplication::applicationPid()));
    data->setText(elementText(*value));
    QGuiApplication::clipboard()->setMimeData(data);
}

void frmDesigner::paste()
{
    if (m_clipboard.isEmpty())
        return;
    const BadgeSide& side = m_document.side(m_displayed);
    QList<Element> values = m_clipboard;
    for (Element& value : values) {
        // Step aside while an element of the kind stands exactly there.
        for (int i = 0; i < 20; ++i) {
            const QPointF at = topLeftOf(value);
            bool covered = false;
            for (const ElementRef& other : side.stackingOrder()) {
                const std::optional<Element> o = side.element(other);
                covered = covered || (o->index() == value.index() && topLeftOf(*o) == at);
            }
            if (!covered)
                break;
            shift(value, PasteStep);
        }
    }
    const QList<ElementRef> added =
        m_document.addElements(m_displayed, values, QStringLiteral("Paste"));
    if (!added.isEmpty())
        Select_Control(added.last());
}

void frmDesigner::duplicate()
{
    if (!m_selectionActive || isFrame(m_selected))
        return;
    std::optional<Element> value = m_document.side(m_displayed).element(m_selected);
    if (!value)
        return;
    shift(*value, PasteStep);
    const QList<ElementRef> added =
        m_document.addElements(m_displayed, {*value}, QStringLiteral("Duplicate"));
    if (!added.isEmpty())
        Select_Control(added.last());
}

void frmDesigner::arrange(Arrangement how)
{
    const BadgeSide& side = m_document.side(m_displayed);
    QList<ElementRef> elements;
    QList<QRectF> rects;
    for (const ElementRef& element : selectedElements()) {
        if (side.contains(element)) {
            elements << element;
            rects << drawnRect(Picture1->shownSide(), element);
        }
    }
    const QList<QRectF> placed = arranged(rects, how, 0);
    QList<std::pair<ElementRef, Element>> values;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        Element value = *side.element(elements[i]);
        const QPointF by = placed[i].topLeft() - rects[i].topLeft();
        std::visit(
            [&](auto& e) {
                e.Left += float(by.x());
                e.Top += float(by.y());
                bool sizesItself = false;
                if constexpr (std::is_base_of_v<Comment, std::decay_t<decltype(e)>>)
                    sizesItself = e.sizesItself();
                if (!sizesItself) {
                    e.Width += float(placed[i].width() - rects[i].width());
                    e.Height += float(placed[i].height() - rects[i].height());
                }
            },
            value);
        values.append({elements[i], value});
    }
    const QAction* action = arrangeActions.value(int(how));
    m_document.changeElements(m_displayed, values,
                              action ? action->text().remove(QLatin1Char('&')) : QString());
}

void frmDesigner::buildArrangeMenu()
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuArrange"));
    const std::pair<const char*, const char*> entries[] = {
        {"actAlignLeft", "Align &Left"},
        {"actAlignCentre", "Align &Centre"},
        {"actAlignRight", "Align &Right"},
        {"actAlignTop", "Align &Top"},
        {"actAlignMiddle", "Align &Middle"},
        {"actAlignBottom", "Align &Bottom"},
        {"actDistributeHorizontally", "Distribute &Horizontally"},
        {"actDistributeVertically", "Distribute &Vertically"},
        {"actSameWidth", "Same &Width"},
        {"actSameHeight", "Same H&eight"},
    };
    for (int i = 0; i < int(std::size(entries)); ++i) {
        if (i == 6 || i == 8)
            menu->addSeparator();
        QAction* a = menu->addAction(QString::fromLatin1(entries[i].second));
        a->setObjectName(QString::fromLatin1(entries[i].first));
        connect(a, &QAction::triggered, this, [this, i] { arrange(Arrangement(i)); });
        arrangeActions << a;
    }
    auto* open = new QAction(designerIcon(DesignerIcon::Arrange), QStringLiteral("Arrange"), this);
    open->setObjectName(QStringLiteral("actArrange"));
    open->setToolTip(QStringLiteral("Align, distribute or size the selected elements alike "
                                    "(Shift + click selects several)"));
    open->setMenu(menu);
    btArrange = new QToolButton;
    btArrange->setObjectName(QStringLiteral("btArrange"));
    btArrange->setDefaultAction(open);
    btArrange->setPopupMode(QToolButton::InstantPopup);
    btArrange->setAccessibleName(QStringLiteral("Arrange the selected elements"));
    updateArrangeActions();
}

void frmDesigner::updateArrangeActions()
{
    if (arrangeActions.isEmpty())
        return;
    const qsizetype selected = selectedElements().size();
    for (int i = 0; i < int(arrangeActions.size()); ++i) {
        const auto how = Arrangement(i);
        const bool spacing = how == Arrangement::DistributeHorizontally ||
                             how == Arrangement::DistributeVertically;
        arrangeActions[i]->setEnabled(selected >= (spacing ? 3 : 2));
    }
}

QWidget* frmDesigner::buildPersonPicker()
{
    auto* box = new QGroupBox(QStringLiteral("Person"));
    chkShowPerson = new QCheckBox(QStringLiteral("Show a person"));
    chkShowPerson->setObjectName(QStringLiteral("chkShowPerson"));
    chkShowPerson->setToolTip(
        QStringLiteral("Fills the fields, photograph and signature with a record's values while "
                       "you design; the badge keeps its field references."));
    cmbPerson = new QComboBox;
    cmbPerson->setObjectName(QStringLiteral("cmbPerson"));
    cmbPerson->setAccessibleName(QStringLiteral("Person shown"));
    cmbPerson->setEnabled(false);
    // Not measured over every row: a table can hold a million.
    cmbPerson->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbPerson->setMinimumContentsLength(8);
    m_people = new RecordListModel(this);
    cmbPerson->setModel(m_people);
    // The list shows whole rows, so a person is found by name rather than by key alone.
    auto* rows = new QTableView;
    rows->setObjectName(QStringLiteral("lstPeople"));
    rows->setAccessibleName(QStringLiteral("People"));
    rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows->verticalHeader()->hide();
    rows->verticalHeader()->setDefaultSectionSize(rows->fontMetrics().height() + 6);
    rows->setCornerButtonEnabled(false);
    if (auto* corner = rows->findChild<QAbstractButton*>())
        corner->setAccessibleName(QStringLiteral("Select all"));
    rows->setMinimumWidth(520);
    cmbPerson->setView(rows);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(chkShowPerson);
    layout->addWidget(cmbPerson);
    connect(chkShowPerson, &QCheckBox::toggled, this, &frmDesigner::onPersonToggled);
    connect(cmbPerson, &QComboBox::activated, this, &frmDesigner::onPersonChosen);
    // The first person shows as soon as the table's first rows are there.
    connect(m_people, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_personPending && chkShowPerson->isChecked() && m_people->rowCount() > 0) {
            m_personPending = false;
            cmbPerson->setCurrentIndex(0);
            onPersonChosen(0);
        }
    });
    connect(m_people, &RecordListModel::loadFinished, this, [this](const QString& error) {
        if (!error.isEmpty() && chkShowPerson->isChecked())
            StatusBar1->showMessage(QStringLiteral("The people of %1 cannot be listed: %2")
                                        .arg(ProjectSettings::instance().MasterTable, error));
    });
    return box;
}

void frmDesigner::onPersonToggled(bool on)
{
    cmbPerson->setEnabled(on);
    if (!on) {
        hidePerson();
        return;
    }
    const ProjectSettings& settings = ProjectSettings::instance();
    const RecordListSource source{settings.DatabasePath, settings.MasterTable,
                                  settings.UniqueField};
    if (m_people->source().databasePath != source.databasePath ||
        m_people->source().table != source.table ||
        m_people->source().keyColumn != source.keyColumn || m_people->rowCount() == 0) {
        cmbPerson->setModelColumn(0);
        m_personPending = true; // the first rows choose the first person
        m_people->reload(source);
        return;
    }
    onPersonChosen(std::max(cmbPerson->currentIndex(), 0));
}

void frmDesigner::onPersonChosen(int position)
{
    if (m_people->keyColumn() >= 0 && cmbPerson->modelColumn() != m_people->keyColumn()) {
        const QSignalBlocker blocker(cmbPerson);
        cmbPerson->setModelColumn(m_people->keyColumn());
        cmbPerson->setCurrentIndex(position);
    }
    const std::optional<QString> key = m_people->keyText(position);
    if (!key) {
        hidePerson();
        StatusBar1->showMessage(QStringLiteral("That row of %1 has no %2 to find it by.")
                                    .arg(ProjectSettings::instance().MasterTable,
                                         ProjectSettings::instance().UniqueField));
        return;
    }
    showPerson(*key);
}

bool frmDesigner::showPerson(const QString& keyText)
{
    const ProjectSettings& settings = ProjectSettings::instance();
    if (!m_connection.isOpen() || m_connection.databasePath() != settings.DatabasePath)
        m_connection.OpenProjectDatabase(settings.DatabasePath);
    // The browser's own linking: values and pictures come together or not at all.
    RecordLinker linker(m_connection, settings.stored());
    const Result<RecordKey> key = linker.keyFromText(keyText);
    const LinkResult linked = key ? linker.link(*key) : LinkResult{};
    if (!linked.record) {
        // Nothing of the person shown before stays: the fields show their references again.
        Picture1->setRecord(std::nullopt);
        StatusBar1->showMessage(key ? linked.message : key.error());
        return false;
    }
    Picture1->setRecord(linked.record);
    StatusBar1->showMessage(QStringLiteral("Showing %1 %2 while designing; the badge keeps its "
                                           "field references.")
                                .arg(settings.UniqueField, keyText));
    return true;
}

void frmDesigner::hidePerson()
{
    Picture1->setRecord(std::nullopt);
}

bool frmDesigner::nameNewBadge(const QString& why)
{
    const std::optional<QString> name =
        m_dialogs.askText(this, why + QStringLiteral("\nName of the badge:"), txtBadgeName->text());
    if (!name)
        return false;
    txtBadgeName->setText(name->trimmed());
    m_document.setBadgeName(name->trimmed());
    m_nameGiven = true;
    return true;
}

void frmDesigner::changeSide(BadgeSideId side)
{
    if (side == m_displayed) {
        syncControls();
        return;
    }
    dropEmptyComment();
    StatusBar1->showMessage(SideChangeNote);
    const bool saved = Save_Badge();
    showSide(side);
    if (saved)
        StatusBar1->showMessage(QStringLiteral("Saved to %1 before changing side.")
                                    .arg(QDir::toNativeSeparators(m_savedPath)),
                                8000);
}

// ---- saving and loading --------------------------------------------------------------------

void frmDesigner::report(const Status& status)
{
    MsgBox(m_dialogs, this, status.error());
}

bool frmDesigner::Save_Badge()
{
    // A new badge is named before its first save rather than saved under the name proposed.
    if (!m_nameGiven && !txtBadgeName->text().trimmed().isEmpty() &&
        !nameNewBadge(QStringLiteral("The new badge is saved for the first time.")))
        return false;
    const QString name = txtBadgeName->text().trimmed();
    if (name.isEmpty()) {
        MsgBox(m_dialogs, this, QStringLiteral("Enter name of Badge!"), MessageButtons::Ok,
               MessageIcon::Exclamation);
        return false;
    }
    for (QChar c : name) {
        if (InvalidNameCharacters.contains(c)) {
            MsgBox(m_dialogs, this,
                   QStringLiteral("A badge name cannot hold any of the characters %1")
                       .arg(InvalidNameCharacters),
                   MessageButtons::Ok, MessageIcon::Exclamation);
            return false;
        }
    }
    ProjectSettings& settings = ProjectSettings::instance();
    // Without a project the scratch files would land wherever the program was started.
    if (settings.BadgeDir.isEmpty()) {
        MsgBox(m_dialogs, this, QStringLiteral("The badge cannot be saved: no project is open."),
               MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    // A badge file of that name in any letter case is that badge: it is replaced under its own
    // name, never joined by a second file.
    const QString path =
        resolveFileName(fileInFolder(settings.BadgeDir, name + QStringLiteral(".Lyt")));
    // Another badge of that name would be lost without a word.
    if (path != m_savedPath && QFileInfo::exists(path) &&
        MsgBox(m_dialogs, this,
               QStringLiteral("A badge named %1 exists already. Replace it?").arg(name),
               MessageButtons::YesNo, MessageIcon::Question) != MessageAnswer::Yes)
        return false;
    settings.setCurrentBadgePath(path);
    const QString title = fileTitle(path);
    const QString spelled = title.left(title.size() - 4);
    txtBadgeName->setText(spelled);
    m_document.setBadgeName(spelled);

    BadgeLayout layout = m_document.layout();
    layout.projectName = settings.ProjectName;
    layout.databasePath = settings.DatabasePath;
    if (Status saved = saveBadge(settings.BadgeDir, path, layout, m_document.backIsBlank());
        !saved) {
        report(saved);
        return false;
    }
    Q_EMIT badgeSaved(path);
    settings.addBadge(spelled);
    m_document.markSaved();
    m_savedPath = path;
    m_nameGiven = true;
    StatusBar1->showMessage(QStringLiteral("Saved to ") + QDir::toNativeSeparators(path), 5000);
    return true;
}

bool frmDesigner::Load_Card(int side, const QString& Badpath)
{
    if (!confirmDiscard())
        return false;
    ProjectSettings& settings = ProjectSettings::instance();
    if (m_connection.databasePath() != settings.DatabasePath) {
        chkShowPerson->setChecked(false); // a person of another database
        m_connection.OpenProjectDatabase(settings.DatabasePath);
        Fill_MasterFields();
        Fill_ChildFields();
    }
    const QString path = resolveFileName(Badpath.isEmpty() ? settings.currentBadgePath() : Badpath);
    const BadgeSideId which = side == 1 ? BadgeSideId::Back : BadgeSideId::Front;
    const QString title = fileTitle(path);
    txtBadgeName->setText(title.left(title.size() - 4));

    // The scratch files are rewritten first, also when the checks below fail; without a project
    // there is no badge folder to write them to.
    OpenedBadge opened = openBadge(path, settings.ProjectName, settings.DatabasePath,
                                   FieldTagRule::ColumnOnly, settings.BadgeDir);
    BadgeLayoutRead& read = opened.read;
    if (read.status == LoadStatus::CannotOpen) {
        m_dialogs.message(this, {QStringLiteral("The badge file could not be opened."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 read.errorText});
        return false;
    }
    if (!opened.scratchWritten)
        report(opened.scratchWritten);

    BadgeLayout layout;
    layout.badgeName = txtBadgeName->text();
    layout.projectName = settings.ProjectName;
    layout.databasePath = settings.DatabasePath;
    layout.orientation = qint16(m_document.orientation());
    if (read.status != LoadStatus::Loaded) {
        // The canvas is left empty.
        m_document.reset(layout, true);
        m_savedPath.clear();
        showSide(which);
        MsgBox(m_dialogs, this, read.errorText, MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    if (read.orientation == 1 || read.orientation == 2)
        layout.orientation = read.orientation;
    layout.front = std::move(read.front);
    layout.back = std::move(read.back);
    QStringList missing = read.missingLogos;

    m_document.reset(std::move(layout), read.backBlank);
    m_savedPath = path;
    m_loaded = true;
    m_nameGiven = true;
    m_selected = {ElementKind::Comment, 0};
    showSide(which);
    if (const QString early = earlyEndText(read); !early.isEmpty())
        MsgBox(m_dialogs, this, early, MessageButtons::Ok, MessageIcon::Exclamation);
    if (const QString companion = companionText(read); !companion.isEmpty())
        MsgBox(m_dialogs, this, companion, MessageButtons::Ok, MessageIcon::Exclamation);
    if (!missing.isEmpty()) {
        missing.removeDuplicates();
        m_dialogs.message(this, {QStringLiteral("A logo picture of the badge could not be loaded."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 missing.join(QLatin1Char('\n'))});
    }
    show();
    return true;
}

bool frmDesigner::confirmDiscard()
{
    if (!m_document.isModified())
        return true;
    const QString name = txtBadgeName->text().trimmed();
    const MessageAnswer answer = m_dialogs.message(
        this, {QStringLiteral("Save the changes to the badge %1?")
                   .arg(name.isEmpty() ? QStringLiteral("without a name") : name),
               MessageButtons::YesNoCancel,
               MessageIcon::Question,
               {},
               QStringLiteral("Yes saves them, No discards them, Cancel goes back to the badge.")});
    if (answer == MessageAnswer::Yes)
        return Save_Badge();
    return answer == MessageAnswer::No;
}

void frmDesigner::closeEvent(QCloseEvent* event)
{
    if (!confirmDiscard()) {
        event->ignore();
        return;
    }
    // The side scratch files hold nothing once the designer is gone; general.tmp stays.
    const QString& badgeDir = ProjectSettings::instance().BadgeDir;
    if (!badgeDir.isEmpty() && QFileInfo(badgeDir).isDir())
        static_cast<void>(clearScratchFiles(badgeDir));
    QMdiSubWindow::closeEvent(event);
}

void frmDesigner::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    if (QMdiArea* area = mdiArea()) {
        const QSize room = area->contentsRect().size();
        resize(std::min(room.width(), 1240), std::min(room.height(), 820));
        move(0, 0);
    }
    // The largest step at which the card fits, but no more than twice its size.
    const double fit = std::min(m_view->fitZoom(), 2.0);
    m_view->setZoom(1);
    while (m_view->zoom() < fit) {
        const double before = m_view->zoom();
        m_view->zoomIn();
        if (m_view->zoom() > fit + 1e-9) {
            m_view->setZoom(before);
            break;
        }
    }
    onZoomChanged(m_view->zoom());
}

// ---- view ---------------------------------------------------------------------------------

void frmDesigner::onPointer(std::optional<QPointF> twips)
{
    m_view->showPointer(twips);
    if (!twips) {
        m_pointerLabel->clear();
        return;
    }
    m_pointerLabel->setText(QStringLiteral("X %1 mm (%2 twips)   Y %3 mm (%4 twips)")
                                .arg(twips->x() / TwipsPerMm, 0, 'f', 1)
                                .arg(std::lround(twips->x()))
                                .arg(twips->y() / TwipsPerMm, 0, 'f', 1)
                                .arg(std::lround(twips->y())));
}

void frmDesigner::onZoomChanged(double zoom)
{
    const QSignalBlocker blocker(cmbZoom);
    cmbZoom->setCurrentText(QStringLiteral("%1 %").arg(std::lround(zoom * 100)));
    actZoomIn->setEnabled(zoom < DesignerView::MaxZoom - 1e-9);
    actZoomOut->setEnabled(zoom > DesignerView::MinZoom + 1e-9);
}

void frmDesigner::applySnapOptions()
{
    SnapOptions options;
    options.toGuides = actSnap->isChecked();
    options.toGrid = actGrid->isChecked();
    options.gridTwips = spnGrid->value() * TwipsPerMm;
    Picture1->setSnapOptions(options);
}

// ---- keys ---------------------------------------------------------------------------------

bool frmDesigner::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        if (shortcutOverride(watched, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        if (keyPreview(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::FocusIn:
        if (watched == txtBadgeName)
            cmdSave->setDefault(true);
        if (watched == Option1 || watched == Option2)
            StatusBar1->showMessage(SideChangeNote);
        break;
    case QEvent::StatusTip:
        // This window's own status line, not the main window's.
        StatusBar1->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    case QEvent::FocusOut:
        if (watched == txtBadgeName)
            cmdSave->setDefault(false);
        break;
    default:
        break;
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

bool frmDesigner::keyPreview(QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::ControlModifier) || !m_selectionActive)
        return false;
    const int key = event->key();
    if (event->type() == QEvent::KeyRelease) {
        if (key != Qt::Key_Delete || event->isAutoRepeat())
            return false;
        deleteSelection();
        return true;
    }
    switch (key) {
    case Qt::Key_Left:
        nudge(-NudgeTwips, 0);
        return true;
    case Qt::Key_Right:
        nudge(NudgeTwips, 0);
        return true;
    case Qt::Key_Up:
        nudge(0, -NudgeTwips);
        return true;
    case Qt::Key_Down:
        nudge(0, NudgeTwips);
        return true;
    case Qt::Key_Delete:
        return true; // acted on when the key is released
    default:
        return false;
    }
}

// Text boxes claim the editing keys for themselves; the badge's history, element copy and
// paste, and duplicate take them back where the box has nothing to do with them.
bool frmDesigner::shortcutOverride(QObject* watched, QKeyEvent* event)
{
    const auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return false;
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo) ||
        actDuplicate->shortcut().matches(QKeySequence(event->keyCombination())) ==
            QKeySequence::ExactMatch)
        return true;
    if (event->matches(QKeySequence::Copy))
        return !edit->hasSelectedText() && m_selectionActive;
    if (event->matches(QKeySequence::Paste)) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return !m_clipboard.isEmpty() && data && data->hasFormat(ElementsMime);
    }
    return false;
}

} // namespace vm
