// Invariant: the designer edits one badge through its controls exactly as the operator would,
// every change is one undo step, and what it saves is what it showed: reopened, the badge looks
// and writes the same, and undoing back to the start and redoing to the end write the same files
// at each step.
#include "app/mainMdi.h"
#include "badge/BadgeFile.h"
#include "common/QuotedLines.h"
#include "common/SaveFile.h"
#include "designer/BarcodePanel.h"
#include "designer/DesignerCanvas.h"
#include "designer/DesignerView.h"
#include "designer/FieldPalette.h"
#include "designer/FitFormatRows.h"
#include "designer/SettingsPanel.h"
#include "designer/frmDesigner.h"
#include "project/ProjectSettings.h"
#include "records/RecordLink.h"
#include "render/BadgeCanvas.h"
#include "render/BadgeRenderer.h"
#include "render/RenderingWindow.h"
#include "render/TextFitting.h"
#include "support/Accessibility.h"
#include "support/Controls.h"
#include "support/FileBytes.h"
#include "support/ScratchDatabase.h"
#include "support/ScriptedDialogs.h"
#include "support/StatusChecks.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

using namespace vm;
using namespace vm::test;

namespace {

constexpr auto Front = BadgeSideId::Front;
constexpr auto Back = BadgeSideId::Back;

ElementRef ref(ElementKind kind, int index)
{
    return {kind, index};
}

// A text's size with automatic sizing: its text's, in whole twips.
QSizeF fitted(const Comment& text)
{
    const QSizeF size = drawnRect(text).size();
    return {std::ceil(size.width()), std::ceil(size.height())};
}

QStringList childNames(QAccessibleInterface* parent)
{
    QStringList names;
    for (int i = 0; i < parent->childCount(); ++i)
        names << accessibleName(parent->child(i));
    return names;
}

int elementCount(const BadgeSide& side)
{
    return side.Label1.count() + side.lblField.count() + side.Image1.count() +
           side.myShape1.count();
}

} // namespace

class tst_frmDesigner : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void everyControlCanBeFoundByAScreenReader();
    void opensWithTheProjectsFieldsAndANewBadge();
    void addsEachKindWithItsStartingValues();
    void settingsRowsEditTheSelectedElement();
    void movesWithTheMouseAndTheKeyboard();
    void aScreenReaderReadsWalksAndMovesTheElements();
    void snappingPutsADraggedElementOnTheGuide();
    void paletteReferencesAndDroppedTextBecomeFields();
    void changingSideSavesAndComesBack();
    void orientationSwapsTheCardAndKeepsElements();
    void copyPasteAndDuplicateAlsoAcrossSides();
    void savedBadgeReopensAsItWasShown();
    void undoToTheStartAndRedoToTheEndWriteTheSameFiles();
    void handWrittenBadgeOpensAsRenderedAndSavesBack();
    void refusedOrCutBadgesShowOnlyWhatWasReadWhole();
    void unsavedChangesAreNotLostWithoutAQuestion();
    void zoomKeepsTheBadgeInTwips();
    void mainWindowOpensNewAndCurrentBadges();
    void everyBoxAppliesWhatItShowsAndRefusesWhatWouldVanish();
    void showsAPersonThroughTheBrowsersLinkingWithoutChangingTheBadge();
    void arrangesSeveralElementsAsOneStep();
    void resizingKeepsProportionsWithShift();
    void newBadgesAreNamedAndNamesIgnoreLetterCase();
    void fitAndFormatRowsAreUndoableAndShowThePerson();
    void settingsScrollOnASmallScreenAndTheWheelEditsNothing();

private:
    BadgeSide& side(BadgeSideId which) const
    {
        return const_cast<BadgeSide&>(m_w->document().side(which));
    }
    QString badgePath(const QString& name) const
    {
        return ProjectSettings::instance().BadgeDir + name + QStringLiteral(".Lyt");
    }
    QPointF pixels(QPointF twips) const { return m_w->Picture1->toPixels(twips); }
    void mouse(QEvent::Type type, QPointF twips, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButton pressed = Qt::LeftButton);
    // Press at one point, move there in steps, release.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void dropText(const QString& text, QPointF twips);
    frmDesigner* newDesigner();

    QTemporaryDir m_dir;
    ScratchDatabase m_database{DatabaseEngine::SQLite};
    QString m_databasePath;
    QString m_logo;
    ScriptedDialogs m_dialogs;
    frmDesigner* m_w = nullptr;
};

void tst_frmDesigner::initTestCase()
{
    m_databasePath = m_database.build(
        {QStringLiteral("create table Employee (EmpNo integer primary key, FirstName text, "
                        "LastName text, Photo text)"),
         QStringLiteral("insert into Employee values (1, 'Maximiliane-Josephine', "
                        "'Wittgenstein-Oberhauser-Habsburg', 'e1'), (2, 'Al', 'Li', 'e2')"),
         QStringLiteral("create table Department (DeptID integer, DeptName text)"),
         QStringLiteral("create table Site (SiteID integer, City text)")});
    QVERIFY2(!m_databasePath.isEmpty(), qPrintable(m_database.error));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("Logo"))));
    m_logo = m_dir.filePath(QStringLiteral("Logo/logo.png"));
    QImage logo(60, 40, QImage::Format_RGB32);
    logo.fill(QColor(0x20, 0x60, 0xa0));
    QVERIFY(logo.save(m_logo));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("Photos"))));
    QVERIFY(logo.save(m_dir.filePath(QStringLiteral("Photos/e1.jpg"))));
}

frmDesigner* tst_frmDesigner::newDesigner()
{
    auto* w = new frmDesigner(m_dialogs);
    w->resize(1200, 800);
    w->show();
    return w;
}

void tst_frmDesigner::init()
{
    ProjectSettings& settings = ProjectSettings::instance();
    settings.reset();
    settings.ProjectName = QStringLiteral("Staff");
    settings.DatabasePath = m_databasePath;
    settings.MasterTable = QStringLiteral("Employee");
    settings.UniqueField = QStringLiteral("EmpNo");
    settings.DataTables = {QStringLiteral("Department"), QStringLiteral("Site")};
    settings.PhotoField = QStringLiteral("Employee.Photo");
    settings.SignField = NoneField;
    settings.BadgeDir = m_dir.filePath(QStringLiteral("Badges")) + QLatin1Char('/');
    settings.LogoDir = m_dir.filePath(QStringLiteral("Logo")) + QLatin1Char('/');
    settings.PhotoDir = m_dir.filePath(QStringLiteral("Photos")) + QLatin1Char('/');
    settings.PlaceImages = 1;
    settings.setBadges({QStringLiteral("Visitor"), QStringLiteral("Guest")});
    settings.DatabaseConfigured = true;
    QDir(settings.BadgeDir).removeRecursively();
    QVERIFY(QDir().mkpath(settings.BadgeDir));
    m_dialogs.clear();
    m_w = newDesigner();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    m_w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w));
    // Card size on screen, so pixels and twips convert plainly.
    m_w->view()->setZoom(1);
}

void tst_frmDesigner::cleanup()
{
    delete m_w;
    m_w = nullptr;
}

void tst_frmDesigner::mouse(QEvent::Type type, QPointF twips, Qt::MouseButtons buttons,
                            Qt::KeyboardModifiers modifiers, Qt::MouseButton pressed)
{
    DesignerCanvas* canvas = m_w->Picture1;
    const QPointF at = pixels(twips);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : pressed;
    QMouseEvent event(type, at, canvas->mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(canvas, &event);
}

void tst_frmDesigner::drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers)
{
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, modifiers);
    for (int step = 1; step <= 4; ++step)
        mouse(QEvent::MouseMove, from + (to - from) * step / 4, Qt::LeftButton, modifiers);
    mouse(QEvent::MouseButtonRelease, to, Qt::NoButton, modifiers);
}

void tst_frmDesigner::dropText(const QString& text, QPointF twips)
{
    QMimeData data;
    data.setText(text);
    const QPointF at = pixels(twips);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_w->Picture1, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_w->Picture1, &drop);
}

// Screen readers find every input by its label or name, and every button without text by its name.
void tst_frmDesigner::everyControlCanBeFoundByAScreenReader()
{
    const QStringList nameless = namelessControls(m_w);
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(u',')));
}

void tst_frmDesigner::opensWithTheProjectsFieldsAndANewBadge()
{
    // The next free name after the project's two badges.
    QCOMPARE(m_w->txtBadgeName->text(), QStringLiteral("Badge3"));
    FieldPalette* palette = m_w->fieldPalette;
    QCOMPARE(itemTexts(palette->lstMasterFields()),
             (QStringList{"<Employee.EmpNo>", "<Employee.FirstName>", "<Employee.LastName>",
                          "<Employee.Photo>"}));
    QCOMPARE(itemTexts(palette->lstChildFields()),
             (QStringList{"<Department.DeptID>", "<Department.DeptName>", "<Site.SiteID>",
                          "<Site.City>"}));

    // Nothing selected: the panel edits nothing.
    QVERIFY(m_w->frameSettings->txtLeft->isReadOnly());
    QVERIFY(!m_w->frameSettings->cmbFontName->isEnabled());

    // On a small screen the toolbars stack rather than hide tools in an overflow.
    m_w->resize(1000, 740);
    QTRY_VERIFY(m_w->spnGrid->isVisible() && m_w->btArrange->isVisible());

    ProjectSettings::instance().setBadges({});
    QVERIFY(m_w->newBadge());
    QCOMPARE(m_w->txtBadgeName->text(), QStringLiteral("Badge1"));
}

void tst_frmDesigner::addsEachKindWithItsStartingValues()
{
    m_w->btNewComment->trigger();
    const Comment& comment = side(Front).Label1.at(1);
    QCOMPARE(comment.Caption, QStringLiteral("New Comment"));
    QVERIFY(comment.Visible && comment.AutoSize && comment.BackStyle == 0);
    QCOMPARE(QSizeF(comment.Width, comment.Height), fitted(comment));
    QCOMPARE(m_w->selection(), ref(ElementKind::Comment, 1));
    QCOMPARE(QApplication::focusWidget(), m_w->frameSettings->txtSpecialField);

    // The menu's shapes in its order: rectangle, rounded rectangle, ellipse.
    const QList<QAction*> shapes = m_w->btShape->menu()->actions();
    for (int i = 0; i < 3; ++i) {
        shapes[i]->trigger();
        QCOMPARE(side(Front).myShape1.at(i + 1).ShpType, (QList<qint16>{0, 4, 2}[i]));
    }

    // A logo asks for its picture at once; logo and picture are one step.
    const int steps = m_w->document().undoStack()->count();
    m_dialogs.fileAnswers = {m_logo};
    m_w->btLogo->trigger();
    QCOMPARE(m_dialogs.fileRequests.value(0).initialFolder, ProjectSettings::instance().LogoDir);
    const Logo& logo = side(Front).Image1.at(1);
    QCOMPARE(logo.Tag, m_logo);
    QCOMPARE(logo.Picture.size(), QSize(60, 40));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 1);

    // The photograph needs a photograph field; the project has no signature field.
    m_w->btPhoto->trigger();
    QVERIFY(side(Front).imgPhoto.Visible && m_w->btPhoto->isChecked());
    m_w->btSign->trigger();
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Sign field is not specified")});
    QVERIFY(!side(Front).imgSign.Visible && !m_w->btSign->isChecked());
}

void tst_frmDesigner::settingsRowsEditTheSelectedElement()
{
    SettingsPanel* panel = m_w->frameSettings;
    const ElementRef comment = m_w->addComment();
    const Comment& c = side(Front).Label1.at(comment.index);

    auto enter = [](QLineEdit* box, const QString& text) {
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    };
    enter(panel->txtLeft, QStringLiteral("abc"));
    QCOMPARE(c.Left, 0.0f);
    // Positions are whole twips.
    enter(panel->txtTop, QStringLiteral("1234.5 twips"));
    QCOMPARE(c.Top, 1235.0f);
    QCOMPARE(panel->txtTop->text(), QStringLiteral("1235"));
    // Beyond any card: held within reach, and the canvas repaints it without overflow.
    enter(panel->txtWidth, QStringLiteral("99999999999"));
    QCOMPARE(c.Width, LargestTwips);
    QCOMPARE(panel->txtWidth->text(), QString::number(LargestTwips));

    // The caption follows the typing, letter by letter, as one step.
    const int steps = m_w->document().undoStack()->count();
    panel->txtSpecialField->selectAll();
    QTest::keyClicks(panel->txtSpecialField, QStringLiteral("Name: Doe, J."));
    QCOMPARE(c.Caption, QStringLiteral("Name: Doe, J."));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 1);

    panel->cmbFontSize->setCurrentText(QStringLiteral("8.25"));
    QTest::keyClick(panel->cmbFontSize->lineEdit(), Qt::Key_Return);
    QCOMPARE(c.FontSize, 8.25f);
    QCOMPARE(QSizeF(c.Width, c.Height), fitted(c)); // refitted
    chooseEntry(panel->cmbFontName, QStringLiteral("DejaVu Serif"));
    QCOMPARE(c.FontName, QStringLiteral("DejaVu Serif"));
    for (QCheckBox* box : {panel->chkBold, panel->chkItalic, panel->chkUnderline})
        QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(c.FontBold && c.FontItalic && c.FontUnderline);

    // Colours through the dialog; the back colour only while opaque.
    m_dialogs.colorAnswers = {qRgb(0x11, 0x22, 0x33), qRgb(0xff, 0, 0)};
    QTest::mouseClick(panel->lblFontColor, Qt::LeftButton);
    QCOMPARE(c.ForeColor, qint32(0x332211));
    QTest::mouseClick(panel->lblBackColor, Qt::LeftButton);
    QCOMPARE(m_dialogs.colorAnswers.size(), 1); // transparent: no dialog
    panel->cmbBackStyle->setCurrentIndex(1);
    Q_EMIT panel->cmbBackStyle->activated(1);
    QCOMPARE(c.BackStyle, qint16(1));
    QTest::mouseClick(panel->lblBackColor, Qt::LeftButton);
    QCOMPARE(c.BackColor, qint32(0x0000ff));

    // A shape has no font; a field's reference is locked.
    const ElementRef shape = m_w->addShape(2);
    QVERIFY(!panel->cmbFontName->isEnabled());
    panel->cmbBorderWidth->setCurrentIndex(4);
    Q_EMIT panel->cmbBorderWidth->activated(4);
    m_dialogs.colorAnswers = {qRgb(0, 0x80, 0)};
    QTest::mouseClick(panel->lblBorderColor, Qt::LeftButton);
    QCOMPARE(side(Front).myShape1.at(shape.index).BorderWidth, qint16(4));
    QCOMPARE(side(Front).myShape1.at(shape.index).BorderColor, qint32(0x008000));
    dropText(QStringLiteral("<Employee.FirstName>"), {300, 300});
    m_w->Select_Control(ref(ElementKind::Field, 1));
    QVERIFY(panel->txtSpecialField->isReadOnly() && panel->cmbFontName->isEnabled());

    // Stacking: to the back, to the front, one step down.
    m_w->Select_Control(shape);
    QTest::mouseClick(panel->updown1->downButton(), Qt::LeftButton);
    QCOMPARE(side(Front).stackPosition(shape), 0);
    QTest::mouseClick(panel->updown1->upButton(), Qt::LeftButton);
    const int top = int(side(Front).stackingOrder().size()) - 1;
    QCOMPARE(side(Front).stackPosition(shape), top);
    m_w->actSendBackward->trigger();
    QCOMPARE(side(Front).stackPosition(shape), top - 1);

    // A right click selects for the canvas's menu, which offers the same.
    m_w->Select_Control(comment);
    mouse(QEvent::MouseButtonPress, {100, 650}, Qt::RightButton, {}, Qt::RightButton);
    QCOMPARE(m_w->selection(), shape);
    m_w->actSendToBack->trigger();
    QCOMPARE(side(Front).stackPosition(shape), 0);

    // A comment whose caption is emptied draws nothing: it goes once the selection leaves it.
    m_w->Select_Control(comment);
    panel->txtSpecialField->selectAll();
    QTest::keyClick(panel->txtSpecialField, Qt::Key_Backspace);
    QVERIFY(side(Front).Label1.contains(comment.index));
    mouse(QEvent::MouseButtonPress, {4800, 3000}, Qt::LeftButton);
    QVERIFY(!side(Front).Label1.contains(comment.index));

    // A border width the list lacks shows too, never the width of the shape shown before.
    Shape wide = side(Front).myShape1.at(shape.index);
    wide.BorderWidth = 12;
    const ElementRef other = m_w->document().addElement(Front, wide, QStringLiteral("New"));
    for (const auto& [element, width] : {std::pair{other, "12"}, std::pair{shape, "4"}}) {
        m_w->Select_Control(element);
        QCOMPARE(panel->cmbBorderWidth->currentText(), QString::fromLatin1(width));
    }
}

void tst_frmDesigner::movesWithTheMouseAndTheKeyboard()
{
    m_w->actSnap->setChecked(false);
    const ElementRef shape = m_w->addShape(0);
    const ElementRef comment = m_w->addComment();
    const Comment& c = side(Front).Label1.at(comment.index);
    const QPointF start(c.Left, c.Top);

    // Shapes move without Ctrl, from where they were grabbed, as one step.
    const int steps = m_w->document().undoStack()->count();
    drag({100, 200}, {1300, 1700});
    QCOMPARE(side(Front).myShape1.at(shape.index).frame().topLeft(), QPointF(1200, 1500));
    QCOMPARE(m_w->selection(), shape);
    QCOMPARE(m_w->frameSettings->txtLeft->text(), QStringLiteral("1200"));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 1);

    // The marker's corner squares resize it, the opposite corner staying, as one step.
    drag({2640 + 60, 2220 + 60}, {3060, 2580});
    QCOMPARE(side(Front).myShape1.at(shape.index).frame(), QRectF(1200, 1500, 1860, 1080));
    drag({1200 - 60, 1500 - 60}, {3160, 2680}); // the top left corner past the other one
    QCOMPARE(side(Front).myShape1.at(shape.index).frame(), QRectF(3060, 2580, 100, 100));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 3);
    m_w->actUndo->trigger();
    m_w->actUndo->trigger();
    QCOMPARE(side(Front).myShape1.at(shape.index).frame(), QRectF(1200, 1500, 1440, 720));

    // A comment only selects without Ctrl, and moves with it.
    drag(start + QPointF(30, 20), start + QPointF(530, 420));
    QCOMPARE(QPointF(c.Left, c.Top), start);
    QCOMPARE(m_w->selection(), comment);
    drag(start + QPointF(30, 20), start + QPointF(530, 420), Qt::ControlModifier);
    QCOMPARE(QPointF(c.Left, c.Top), start + QPointF(500, 400));

    // A click on the empty card deselects.
    mouse(QEvent::MouseButtonPress, {4800, 3000}, Qt::LeftButton);
    QVERIFY(!m_w->selection() && !m_w->Picture1->marker());

    // Ctrl + arrows move by 20 twips and leave the focus in the Left box.
    m_w->Select_Control(comment);
    const float left = c.Left;
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(c.Left, left + 60);
    QCOMPARE(QApplication::focusWidget(), m_w->frameSettings->txtLeft);
    QCOMPARE(m_w->frameSettings->txtLeft->text(), QString::number(left + 60));
    m_w->document().undoStack()->undo(); // the nudges in a row are one step
    QCOMPARE(c.Left, left);

    // Ctrl + Delete: never the photograph; a comment goes.
    m_w->btPhoto->trigger();
    m_w->Select_Control(ref(ElementKind::Photo, 0));
    QTest::keyClick(m_w->frameSettings->txtLeft, Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(side(Front).imgPhoto.Visible);
    QCOMPARE(m_w->selection(), ref(ElementKind::Photo, 0));
    m_w->Select_Control(comment);
    QTest::keyClick(m_w->frameSettings->txtLeft, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(side(Front).Label1.count(), 0);
    QVERIFY(!m_w->selection());
}

// The side's elements are the canvas's children to a screen reader, bottom to top, named and
// placed; Tab walks the selection through them without leaving the canvas until the last, and
// the arrow keys move the selected one by whole millimetres or grid steps, as one undo step.
void tst_frmDesigner::aScreenReaderReadsWalksAndMovesTheElements()
{
    m_w->actSnap->setChecked(false);
    const ElementRef shape = m_w->addShape(2);
    m_w->btPhoto->trigger();
    Logo logo;
    logo.Tag = m_logo;
    logo.Visible = true;
    logo.Left = logo.Top = 2000;
    logo.Width = logo.Height = 400;
    m_w->document().addElement(Front, logo, QStringLiteral("Logo"));
    const ElementRef comment = m_w->addComment();
    dropText(QStringLiteral("<Employee.FirstName>"), {300, 2400});
    const ElementRef field = ref(ElementKind::Field, 1);

    DesignerCanvas* canvas = m_w->Picture1;
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(canvas);
    QCOMPARE(reader->role(), QAccessible::Canvas);
    QCOMPARE(childNames(reader), (QStringList{"Photograph", "Oval", "logo.png", "New Comment",
                                              "<Employee.FirstName>"}));
    QAccessibleInterface* fieldChild = reader->child(4);
    QCOMPARE(fieldChild->role(), QAccessible::StaticText);
    QCOMPARE(reader->child(2)->role(), QAccessible::Graphic);
    QCOMPARE(reader->indexOfChild(fieldChild), 4);
    QCOMPARE(fieldChild->parent(), reader);
    QVERIFY2(fieldChild->text(QAccessible::Description)
                 .startsWith(QStringLiteral("Field; left 5.3 mm, top 42.3 mm, width ")),
             qPrintable(fieldChild->text(QAccessible::Description)));
    QCOMPARE(reader->childAt(fieldChild->rect().center().x(), fieldChild->rect().center().y()),
             fieldChild);

    // With nothing selected, Tab in starts at the bottom; a comment chosen so keeps the focus
    // on the canvas.
    mouse(QEvent::MouseButtonPress, {4800, 3000}, Qt::LeftButton);
    canvas->setFocus(Qt::TabFocusReason);
    QCOMPARE(m_w->selection(), ref(ElementKind::Photo, 0));
    QTest::keyClick(canvas, Qt::Key_Tab);
    QCOMPARE(m_w->selection(), shape);
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(canvas, Qt::Key_Tab);
    QCOMPARE(m_w->selection(), comment);
    QVERIFY(canvas->hasFocus());
    QCOMPARE(accessibleName(reader->focusChild()), QStringLiteral("New Comment"));
    QVERIFY(reader->child(3)->state().selected && reader->child(3)->state().focused);
    QVERIFY(!reader->child(0)->state().selected);
    QTest::keyClick(canvas, Qt::Key_Backtab);
    QCOMPARE(m_w->selection(), ref(ElementKind::Logo, 1));
    QTest::keyClick(canvas, Qt::Key_Tab);
    QTest::keyClick(canvas, Qt::Key_Tab);
    QCOMPARE(m_w->selection(), field);
    QTest::keyClick(canvas, Qt::Key_Tab); // past the top: on to the next control
    QVERIFY(!canvas->hasFocus());
    QCOMPARE(m_w->selection(), field);

    // Arrows: 1 mm in whole twips, Shift five; the presses in a row are one step.
    canvas->setFocus(Qt::BacktabFocusReason);
    const Field& f = side(Front).lblField.at(field.index);
    const int steps = m_w->document().undoStack()->count();
    QTest::keyClick(canvas, Qt::Key_Right);
    QTest::keyClick(canvas, Qt::Key_Right);
    QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(QPointF(f.Left, f.Top), QPointF(414, 2683));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 1);
    QCOMPARE(m_w->frameSettings->txtLeft->text(), QStringLiteral("414"));
    QVERIFY2(fieldChild->text(QAccessible::Description).contains("left 7.3 mm, top 47.3 mm"),
             qPrintable(fieldChild->text(QAccessible::Description)));
    m_w->actUndo->trigger();
    QCOMPARE(QPointF(f.Left, f.Top), QPointF(300, 2400));
    // On the grid, from grid point to grid point (2 mm is 113.4 twips).
    m_w->actGrid->setChecked(true);
    QTest::keyClick(canvas, Qt::Key_Right);
    QCOMPARE(f.Left, 340.f);
    QTest::keyClick(canvas, Qt::Key_Left);
    QTest::keyClick(canvas, Qt::Key_Left);
    QCOMPARE(f.Left, 113.f);

    // An element that goes is gone for the reader too.
    m_w->deleteSelection();
    QCOMPARE(reader->childCount(), 4);
    QVERIFY(!fieldChild->isValid());
}

void tst_frmDesigner::snappingPutsADraggedElementOnTheGuide()
{
    const ElementRef shape = m_w->addShape(4); // 1440 x 720
    const Shape& s = side(Front).myShape1.at(shape.index);
    // Grabbed at its middle and let go a little off the card's centre.
    const QPointF centre(2438, 1545);
    mouse(QEvent::MouseButtonPress, {720, 360}, Qt::LeftButton);
    mouse(QEvent::MouseMove, {1500, 900}, Qt::LeftButton);
    mouse(QEvent::MouseMove, centre + QPointF(40, -30), Qt::LeftButton);
    QCOMPARE(m_w->Picture1->guideX().value_or(-1), 2438.0);
    QCOMPARE(m_w->Picture1->guideY().value_or(-1), 1545.0);
    mouse(QEvent::MouseButtonRelease, centre + QPointF(40, -30), Qt::NoButton);
    QCOMPARE(s.frame().center(), centre);
    QVERIFY(!m_w->Picture1->guideX() && !m_w->Picture1->guideY());

    // Another element's edge pulls too.
    const ElementRef other = m_w->addShape(0);
    drag({700, 300}, {700 + 1688, 300 + 200}); // 30 twips off s's left, centre and right
    const Shape& o = side(Front).myShape1.at(other.index);
    QCOMPARE(o.Left, s.Left);

    // The grid: every drop lands on the whole twip nearest a grid point.
    m_w->actSnap->setChecked(false);
    m_w->actGrid->setChecked(true);
    m_w->spnGrid->setValue(5);
    const double grid = 5 * 1440 / 25.4;
    drag({1818, 300}, {733, 577}); // grabbed 100, 100 inside
    QCOMPARE(o.Left, float(std::round(std::round(633 / grid) * grid)));
    QCOMPARE(o.Top, float(std::round(std::round(477 / grid) * grid)));
}

void tst_frmDesigner::paletteReferencesAndDroppedTextBecomeFields()
{
    // The list gives its item as plain text.
    FieldList* list = m_w->fieldPalette->lstMasterFields();
    std::unique_ptr<QMimeData> dragged(list->model()->mimeData({list->model()->index(1, 0)}));
    QCOMPARE(dragged->text(), QStringLiteral("<Employee.FirstName>"));

    dropText(dragged->text(), {600, 300});
    const Field& field = side(Front).lblField.at(1);
    QCOMPARE(field.Caption, QStringLiteral("<Employee.FirstName>"));
    QCOMPARE(field.frame().topLeft(), QPointF(600, 300));
    QCOMPARE(m_w->selection(), ref(ElementKind::Field, 1)); // at hand in the settings at once

    // Chosen with Enter or a double click, a field goes to the middle, selected.
    FieldList* child = m_w->fieldPalette->lstChildFields();
    Q_EMIT child->itemActivated(child->item(3));
    QCOMPARE(side(Front).lblField.at(2).Caption, QStringLiteral("<Site.City>"));
    QCOMPARE(side(Front).lblField.at(2).frame().topLeft(), QPointF(1625, 1545));
    QCOMPARE(m_w->selection(), ref(ElementKind::Field, 2));
    m_w->deleteSelection();

    // Any plain text becomes a field.
    dropText(QStringLiteral("dropped from elsewhere"), {100, 2000});
    QCOMPARE(side(Front).lblField.at(2).Caption, QStringLiteral("dropped from elsewhere"));
}

void tst_frmDesigner::changingSideSavesAndComesBack()
{
    m_w->addComment();
    QTest::mouseClick(m_w->Option2, Qt::LeftButton);
    QCOMPARE(m_w->displayedSide(), Back);
    QCOMPARE(elementCount(side(Back)), 0);
    const QString path = badgePath(QStringLiteral("Badge3"));
    QCOMPARE(ProjectSettings::instance().currentBadgePath(), path);
    // Only the front was ever shown: the back is written as its marker alone.
    QVERIFY(fileBytes(path).endsWith(
        ("\"" + BackMarker + "\"\r\n\"" + BackMarker + "\"\r\n").toUtf8()));

    m_w->addShape(2);
    QTest::mouseClick(m_w->Option1, Qt::LeftButton);
    QCOMPARE(m_w->displayedSide(), Front);
    QCOMPARE(side(Front).Label1.count(), 1);
    SideReadResult back = loadBadgeSide(path, Back, QStringLiteral("Staff"), m_databasePath,
                                        FieldTagRule::ColumnOnly);
    QCOMPARE(back.side.myShape1.count(), 1);
    QVERIFY(!m_w->document().isModified());

    // Without a name nothing is saved, but the side changes and keeps what was on it.
    m_w->txtBadgeName->clear();
    m_w->addComment();
    QTest::mouseClick(m_w->Option2, Qt::LeftButton);
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Enter name of Badge!")});
    QCOMPARE(m_w->displayedSide(), Back);
    QCOMPARE(side(Front).Label1.count(), 2);
    // Enter in the name box saves under the name typed.
    m_w->txtBadgeName->setFocus();
    QTest::keyClicks(m_w->txtBadgeName, QStringLiteral("Night"));
    QTest::keyClick(m_w->txtBadgeName, Qt::Key_Return);
    QVERIFY(QFile::exists(badgePath(QStringLiteral("Night"))));
}

void tst_frmDesigner::orientationSwapsTheCardAndKeepsElements()
{
    const ElementRef shape = m_w->addShape(0);
    m_w->nudge(300, 400);
    QTest::mouseClick(m_w->opPortrait, Qt::LeftButton);
    QCOMPARE(m_w->Picture1->cardSize(), QSizeF(3090, 4876));
    QCOMPARE(side(Front).myShape1.at(shape.index).frame().topLeft(), QPointF(300, 400));
    QVERIFY(m_w->Save_Badge());
    QVERIFY(fileBytes(badgePath(QStringLiteral("Badge3"))).contains("\"Orientation:2\""));
    m_w->actUndo->trigger();
    QVERIFY(m_w->opLandscape->isChecked());
    QCOMPARE(m_w->Picture1->cardSize(), QSizeF(4876, 3090));
}

void tst_frmDesigner::copyPasteAndDuplicateAlsoAcrossSides()
{
    const ElementRef comment = m_w->addComment();
    const Comment original = side(Front).Label1.at(comment.index);
    m_w->Picture1->setFocus();
    QTest::keyClick(m_w->Picture1, Qt::Key_C, Qt::ControlModifier);
    m_w->txtBadgeName->clear(); // no save on the way
    m_w->changeSide(Back);
    m_dialogs.clear();
    m_w->Picture1->setFocus();
    QTest::keyClick(m_w->Picture1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(side(Back).Label1.at(1), original);
    QCOMPARE(m_w->selection(), ref(ElementKind::Comment, 1));
    // Pasted again it steps aside; so does a duplicate.
    QTest::keyClick(m_w->Picture1, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(side(Back).Label1.at(2).Left, original.Left + 120);
    QTest::keyClick(m_w->Picture1, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(side(Back).Label1.at(3).Top, original.Top + 240);
    // Undo takes the paste away again.
    m_w->actUndo->trigger();
    m_w->actUndo->trigger();
    QCOMPARE(side(Back).Label1.count(), 1);

    // In a text box with selected text, Ctrl+C copies the text, not the element.
    m_w->Select_Control(ref(ElementKind::Comment, 1));
    QLineEdit* caption = m_w->frameSettings->txtSpecialField;
    caption->setFocus();
    caption->setSelection(0, 3);
    QTest::keyClick(caption, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("New"));
}

void tst_frmDesigner::savedBadgeReopensAsItWasShown()
{
    // Every kind on both sides, through the controls.
    m_w->addComment();
    m_w->nudge(-1000, -900);
    m_w->addShape(4);
    m_w->nudge(200, 1800);
    dropText(QStringLiteral("<Employee.LastName>"), {2600, 2400});
    m_dialogs.fileAnswers = {m_logo};
    m_w->addLogo();
    m_w->nudge(3500, 100);
    m_w->btPhoto->trigger();
    m_w->changeSide(Back);
    m_w->addShape(2);
    dropText(QStringLiteral("<Site.City>"), {400, 400});
    QVERIFY(m_w->Save_Badge());
    const QString path = badgePath(QStringLiteral("Badge3"));
    QCOMPARE(ProjectSettings::instance().badges().last(), QStringLiteral("Badge3"));

    // What the canvas shows is what the file holds.
    m_w->Lock_All();
    auto shows = [this](BadgeSideId which, const QString& file) {
        SideReadResult read = loadBadgeSide(file, which, QStringLiteral("Staff"), m_databasePath,
                                            FieldTagRule::ColumnOnly);
        const QSizeF card = m_w->Picture1->cardSize();
        const QImage expected = renderSideImage(read.side, card, m_w->Picture1->logicalDpiX(),
                                                renderOptions(RenderMode::Designer, card));
        return m_w->Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32) == expected;
    };
    QVERIFY(shows(Back, path));
    m_w->changeSide(Front);
    QVERIFY(shows(Front, path));

    // Reopened in a fresh designer, both sides write the same lines again.
    const QStringList front = sideSectionLines(side(Front), Front, false);
    const QStringList back = sideSectionLines(side(Back), Back, false);
    const QByteArray bytes = fileBytes(path);
    delete m_w;
    m_w = newDesigner();
    QVERIFY(m_w->Load_Card(0, path));
    QCOMPARE(m_w->displayedSide(), Front);
    QCOMPARE(m_w->txtBadgeName->text(), QStringLiteral("Badge3"));
    QCOMPARE(sideSectionLines(side(Front), Front, false), front);
    QCOMPARE(sideSectionLines(side(Back), Back, false), back);
    QVERIFY(m_w->Save_Badge());
    QCOMPARE(fileBytes(path), bytes);
}

void tst_frmDesigner::undoToTheStartAndRedoToTheEndWriteTheSameFiles()
{
    const QString path = badgePath(QStringLiteral("Badge3"));
    QList<QByteArray> files;
    // The badge file and its companion.
    auto saved = [&] {
        if (!m_w->Save_Badge())
            return QByteArray();
        return fileBytes(path) + "\n--\n" + fileBytes(path + QStringLiteral(".json"));
    };
    files << saved();
    auto step = [&](auto&& action) {
        action();
        files << saved();
    };
    step([&] { m_w->addComment(); });
    step([&] { m_w->nudge(20, 0); });
    step([&] { QTest::keyClicks(m_w->frameSettings->txtSpecialField, QStringLiteral("X")); });
    step([&] { m_w->addShape(2); });
    step([&] { drag({100, 100}, {900, 700}); });
    step([&] { m_w->btPhoto->trigger(); });
    step([&] { m_w->changeSide(Back), dropText(QStringLiteral("<Site.City>"), {500, 500}); });
    step([&] { m_w->addShape(0); });
    step([&] { m_w->opPortrait->click(); });
    step([&] { m_w->deleteSelection(); });
    step([&] { m_w->changeSide(Front), m_w->Select_Control(ref(ElementKind::Comment, 1)); });
    step([&] { m_w->deleteSelection(); });
    // What only the companion holds: a barcode and its properties, rotation, the order.
    step([&] { m_w->btBarcode->trigger(); });
    step([&] { chooseEntry(m_w->frameBarcode->cmbSymbology, QStringLiteral("QR Code")); });
    step([&] { chooseEntry(m_w->frameBarcode->cmbErrorCorrection, QStringLiteral("H (30 %)")); });
    step([&] { m_w->frameBarcode->chkQuietZone->click(); });
    step([&] { chooseEntry(m_w->frameBarcode->cmbModule, QStringLiteral("0.50 mm")); });
    step([&] { QTest::keyClicks(m_w->frameBarcode->txtBarcodeValue, QStringLiteral("-A")); });
    step([&] { chooseEntry(m_w->frameBarcode->cmbRotation, QStringLiteral("270°")); });
    step([&] { m_w->actSendBackward->trigger(); });
    step([&] { m_w->actBringToFront->trigger(); });
    QCOMPARE(m_w->document().side(Front).lblField.at(1).barcode->moduleTwips,
             float(0.5 * 1440 / 25.4));
    QVERIFY(files.last().contains("\"symbology\": \"qr\""));
    QUndoStack* undo = m_w->document().undoStack();
    QCOMPARE(undo->count(), 20); // changing side is no step
    files.removeAt(11);          // the save of the side change wrote the same as step 10

    for (qsizetype i = files.size() - 2; i >= 0; --i) {
        undo->undo();
        QVERIFY2(saved() == files[i], qPrintable(QStringLiteral("undo to step %1").arg(i)));
    }
    QVERIFY(!undo->canUndo());
    for (qsizetype i = 1; i < files.size(); ++i) {
        undo->redo();
        QVERIFY2(saved() == files[i], qPrintable(QStringLiteral("redo to step %1").arg(i)));
    }
}

void tst_frmDesigner::handWrittenBadgeOpensAsRenderedAndSavesBack()
{
    // Written by hand: index gaps, a caption with ":" and ",", font size 8.25, a blank back.
    QStringList lines =
        QStringLiteral(
            "ProjectName:Staff|DatabasePath=%1|Orientation:1|%2|TotalComments:2|"
            "Comment:1|Caption:Valid: 2024, 2025|left:300|top:2500|width:1800|height:240|"
            "fontname:DejaVu Sans|fontsize:8.25|fontcolor:128|bold:False|italic:True|"
            "underline:False|backstyle:0|backcolor:16777215|"
            "Comment:3|Caption:ACME|left:300|top:150|width:900|height:330|fontname:DejaVu Serif|"
            "fontsize:14|fontcolor:0|bold:True|italic:False|underline:False|backstyle:1|"
            "backcolor:-2147483633|"
            "TotalFields:1|Field:2|FieldName:<Employee.FirstName>|left:1900|top:900|width:1600|"
            "height:285|fontname:DejaVu Sans|fontsize:10|fontcolor:0|bold:True|italic:False|"
            "underline:False|backstyle:0|backcolor:16777215|"
            "TotalLogo:1|Logo:4|logopath:%3|left:4000|top:150|width:600|height:400|"
            "TotalShape:1|Type:4|left:60|top:60|width:4756|height:2970|BorderWidth:2|"
            "BorderColor:8388608|BackStyle:0|BackColor:16777215|"
            "Photo:1|left:300|top:700|width:1215|height:1455|"
            "Sign:0|left:120|top:1680|width:1215|height:375|%4|%4")
            .arg(m_databasePath, FrontMarker, QDir::toNativeSeparators(m_logo), BackMarker)
            .split(u'|');
    const QString path = badgePath(QStringLiteral("ByHand"));
    VM_VERIFY_OK(saveFileAtomically(path, encodeQuotedLines(lines)));

    QVERIFY(m_w->Load_Card(1, path));
    QCOMPARE(elementCount(side(Back)), 0);
    QVERIFY(m_w->Load_Card(0, path));
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(side(Front).Label1.at(1).Caption, QStringLiteral("Valid: 2024, 2025"));
    QCOMPARE(side(Front).Label1.at(1).FontSize, 8.25f);
    QCOMPARE(side(Front).lblField.at(1).Tag, QStringLiteral("FirstName"));
    QCOMPARE(fileBytes(ProjectSettings::instance().BadgeDir + QStringLiteral("back.tmp")),
             encodeQuotedLines({BackMarker}));

    // It looks as the front view shows it before any record is linked.
    RenderingWindow view(RenderingWindow::Side::Front, m_dialogs);
    view.Load_Card(path);
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(m_w->Picture1->grab().toImage(), view.canvas()->grab().toImage());

    // Saved with nothing changed: the same bytes, indexes numbered from 1.
    m_w->txtBadgeName->setText(QStringLiteral("ByHand"));
    QVERIFY(m_w->Save_Badge());
    QVERIFY(m_dialogs.messages.isEmpty()); // its own file: no question about replacing it
    lines.replace(lines.indexOf(QStringLiteral("Comment:3")), QStringLiteral("Comment:2"));
    lines.replace(lines.indexOf(QStringLiteral("Field:2")), QStringLiteral("Field:1"));
    lines.replace(lines.indexOf(QStringLiteral("Logo:4")), QStringLiteral("Logo:1"));
    QCOMPARE(fileBytes(path), encodeQuotedLines(lines));
}

// Another project's or database's badge is refused; a cut-off one keeps what was read whole.
void tst_frmDesigner::refusedOrCutBadgesShowOnlyWhatWasReadWhole()
{
    m_w->addComment();
    m_w->addComment();
    QVERIFY(m_w->Save_Badge());
    const QByteArray good = fileBytes(badgePath(QStringLiteral("Badge3")));
    const struct {
        QByteArray file;
        QString message;
        int comments;
    } cases[] = {
        {QByteArray(good).replace("ProjectName:Staff", "ProjectName:Other"), "Badge Not Loaded!",
         0},
        {QByteArray(good).replace("DatabasePath=", "DatabasePath=/elsewhere"),
         "Wrong databse used!", 0},
        {good.left(good.indexOf("\"Comment:2\"") + 40), "ends early", 1}, // inside comment 2
    };
    const QString path = badgePath(QStringLiteral("Other"));
    for (const auto& c : cases) {
        VM_VERIFY_OK(saveFileAtomically(path, c.file));
        m_dialogs.clear();
        m_w->addComment(); // unsaved: discarded when asked
        m_dialogs.answers = {MessageAnswer::No};
        QCOMPARE(m_w->Load_Card(0, path), c.comments > 0);
        QCOMPARE(m_dialogs.messages.size(), 2);
        QVERIFY2(m_dialogs.messages[1].text.contains(c.message),
                 qPrintable(m_dialogs.messages[1].text));
        QCOMPARE(m_dialogs.messages[1].icon, MessageIcon::Exclamation);
        QCOMPARE(elementCount(side(Front)), c.comments);
        // The scratch files were rewritten all the same.
        const SplitBadge split = splitBadgeLines(decodeQuotedLines(c.file));
        QCOMPARE(fileBytes(ProjectSettings::instance().BadgeDir + QStringLiteral("general.tmp")),
                 encodeQuotedLines(split.general));
    }
}

void tst_frmDesigner::unsavedChangesAreNotLostWithoutAQuestion()
{
    m_w->addComment();
    QVERIFY(m_w->Save_Badge());
    const QString path = badgePath(QStringLiteral("Badge3"));
    const QString scratch = ProjectSettings::instance().BadgeDir;
    m_w->addShape(0);

    // Cancel keeps the badge; Yes saves it; No discards it.
    m_dialogs.answers = {MessageAnswer::Cancel};
    QVERIFY(!m_w->newBadge());
    QCOMPARE(side(Front).myShape1.count(), 1);
    QCOMPARE(m_dialogs.messages.value(0).buttons, MessageButtons::YesNoCancel);
    m_dialogs.answers = {MessageAnswer::Cancel};
    QVERIFY(!m_w->close());
    m_dialogs.answers = {MessageAnswer::Yes};
    QVERIFY(m_w->Load_Card(0, path));
    QCOMPARE(side(Front).myShape1.count(), 1);
    m_w->addComment();
    m_dialogs.clear();
    m_dialogs.answers = {MessageAnswer::No};
    QVERIFY(m_w->newBadge());
    QCOMPARE(elementCount(side(Front)), 0);

    // An unmodified badge closes without a question and leaves the side scratch files empty.
    m_dialogs.clear();
    QVERIFY(m_w->close());
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(QFileInfo(scratch + QStringLiteral("front.tmp")).size(), 0);
    QCOMPARE(QFileInfo(scratch + QStringLiteral("back.tmp")).size(), 0);
    QVERIFY(QFileInfo(scratch + QStringLiteral("general.tmp")).size() > 0);
}

void tst_frmDesigner::zoomKeepsTheBadgeInTwips()
{
    const ElementRef shape = m_w->addShape(0);
    const QRectF frame = side(Front).myShape1.at(shape.index).frame();
    DesignerView* view = m_w->view();

    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    QCOMPARE(view->zoom(), 1.25);
    QTest::keyClick(m_w->Picture1, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(view->zoom(), 1.0);
    view->setZoom(100);
    QCOMPARE(view->zoom(), DesignerView::MaxZoom);
    QCOMPARE(side(Front).myShape1.at(shape.index).frame(), frame);

    // At 400 % a drag still moves by twips, and the pointer shows in mm and twips.
    drag({200, 200}, {1640, 920});
    QCOMPARE(side(Front).myShape1.at(shape.index).frame().topLeft(), QPointF(1440, 720));
    mouse(QEvent::MouseMove, {1440, 720}, Qt::NoButton);
    QCOMPARE(m_w->StatusBar1->findChild<QLabel*>(QStringLiteral("lblPointer"))->text(),
             QStringLiteral("X 25.4 mm (1440 twips)   Y 12.7 mm (720 twips)"));
}

void tst_frmDesigner::mainWindowOpensNewAndCurrentBadges()
{
    m_w->addComment();
    // A logo whose picture is gone by the time the badge is opened.
    const QString gone = m_dir.filePath(QStringLiteral("Logo/gone.png"));
    QVERIFY(QFile::copy(m_logo, gone));
    m_dialogs.fileAnswers = {gone};
    m_w->addLogo();
    QVERIFY(m_w->Save_Badge());
    QVERIFY(QFile::remove(gone));
    delete m_w;
    m_w = nullptr;
    ProjectSettings& settings = ProjectSettings::instance();
    const StoredSettings project = settings.stored();
    mainMdi main(m_dialogs);
    main.show();
    // As after opening the project and its badge Badge3.
    settings.stored() = project;
    settings.DatabaseConfigured = true;
    SetProjectState(ProjectState::Configuring);
    settings.setCurrentBadgePath(badgePath(QStringLiteral("Badge3")));
    main.mnuEditCard->setEnabled(true);

    m_dialogs.clear();
    main.mnuEditCard->trigger();
    auto* designer = qobject_cast<frmDesigner*>(main.loadedWindow(QStringLiteral("frmDesigner")));
    QVERIFY(designer);
    // The badge is read once: its logo is missed once.
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{QStringLiteral("A logo picture of the badge could not be loaded.")});
    QCOMPARE(designer->displayedSide(), Front);
    QCOMPARE(designer->document().side(Front).Label1.count(), 1);
    QCOMPARE(designer->txtBadgeName->text(), QStringLiteral("Badge3"));

    // Saving in the designer enables Open Existing.
    main.mnuLoadCard->setEnabled(false);
    QVERIFY(designer->Save_Badge());
    QVERIFY(main.mnuLoadCard->isEnabled());

    // Create New in the open designer starts a new badge once the changes are dealt with.
    designer->addShape(0);
    m_dialogs.answers = {MessageAnswer::No};
    main.mnuCreate->trigger();
    QCOMPARE(main.loadedWindow(QStringLiteral("frmDesigner")), designer);
    QCOMPARE(elementCount(designer->document().side(Front)), 0);
    QCOMPARE(designer->txtBadgeName->text(), QStringLiteral("Badge4"));

    // Ending the program asks about unsaved work in the designer.
    designer->addShape(0);
    m_dialogs.clear();
    m_dialogs.answers = {MessageAnswer::Cancel};
    QVERIFY(!main.close());
    QCOMPARE(m_dialogs.messages.size(), 1);
    m_dialogs.answers = {MessageAnswer::No};
    QVERIFY(main.close());
}

// Each box, typed into for one element and then for another and left without Enter, gives both
// the value it showed. What would make an element vanish is refused; the box shows what stays.
void tst_frmDesigner::everyBoxAppliesWhatItShowsAndRefusesWhatWouldVanish()
{
    SettingsPanel* panel = m_w->frameSettings;
    const ElementRef a = m_w->addComment();
    const ElementRef b = m_w->addComment();
    const struct {
        QLineEdit* box;
        QString typed;
        float Comment::*value;
        float expected; // -1: refused, the element keeps its value
    } rows[] = {
        {panel->txtLeft, "700", &Comment::Left, 700},
        {panel->txtHeight, "400.4", &Comment::Height, 400},
        {panel->cmbFontSize->lineEdit(), "16", &Comment::FontSize, 16},
        {panel->txtWidth, "-5", &Comment::Width, -1},
        {panel->cmbFontSize->lineEdit(), "0", &Comment::FontSize, -1},
    };
    for (const auto& row : rows) {
        for (const ElementRef element : {a, b}) {
            const Comment& c = side(Front).Label1.at(element.index);
            const float before = c.*row.value;
            m_dialogs.clear();
            m_w->Select_Control(element);
            row.box->setFocus();
            row.box->selectAll();
            QTest::keyClicks(row.box, row.typed);
            m_w->txtBadgeName->setFocus();
            const QString what = row.box->objectName() + u' ' + row.typed;
            if (row.expected >= 0) {
                QVERIFY2(c.*row.value == row.expected, qPrintable(what));
                continue;
            }
            QVERIFY2(c.*row.value == before, qPrintable(what));
            QCOMPARE(m_dialogs.messages.size(), 1);
            QVERIFY2(m_dialogs.messages[0].text.contains(u"refused"),
                     qPrintable(m_dialogs.messages[0].text));
            QCOMPARE(row.box->text().toFloat(), std::round(before));
        }
    }
    for (const ElementRef element : {a, b}) {
        m_w->Select_Control(element);
        panel->cmbFontName->lineEdit()->setFocus();
        panel->cmbFontName->lineEdit()->selectAll();
        QTest::keyClicks(panel->cmbFontName->lineEdit(), QStringLiteral("DejaVu Serif"));
        m_w->txtBadgeName->setFocus();
        QCOMPARE(side(Front).Label1.at(element.index).FontName, QStringLiteral("DejaVu Serif"));
    }
}

void tst_frmDesigner::showsAPersonThroughTheBrowsersLinkingWithoutChangingTheBadge()
{
    ProjectSettings::instance().DataTables.clear(); // the master table alone
    dropText(QStringLiteral("<Employee.FirstName>"), {2200, 300});
    dropText(QStringLiteral("<Employee.LastName>"), {2200, 700});
    m_w->btPhoto->trigger();
    QVERIFY(m_w->Save_Badge());
    const QString path = badgePath(QStringLiteral("Badge3"));
    const QByteArray saved = fileBytes(path);
    const BadgeSide designed = side(Front);
    const double cardWidth = m_w->Picture1->cardSize().width();
    const ElementRef lastName = ref(ElementKind::Field, 2);

    m_w->chkShowPerson->click();
    QTRY_VERIFY2(m_w->Picture1->showsRecord(), qPrintable(m_w->StatusBar1->currentMessage()));
    const BadgeSide& shown = m_w->Picture1->shownSide();
    QCOMPARE(shown.lblField.at(1).Caption, QStringLiteral("Maximiliane-Josephine"));
    QVERIFY(!shown.imgPhoto.Picture.isNull());
    // The long name runs off the card; its reference did not.
    QVERIFY(drawnRect(shown, lastName).right() > cardWidth);
    QVERIFY(drawnRect(side(Front), lastName).right() < cardWidth);
    // The badge keeps its references: nothing to save, and the file is as it was.
    QCOMPARE(side(Front), designed);
    QVERIFY(!m_w->document().isModified());
    QVERIFY(m_w->Save_Badge());
    QCOMPARE(fileBytes(path), saved);

    // Drawn exactly as the front view draws that record, linked the browser's way.
    RenderingWindow view(RenderingWindow::Side::Front, m_dialogs);
    view.Load_Card(path);
    DatabaseConnection db;
    QVERIFY(db.OpenProjectDatabase(m_databasePath));
    RecordLinker linker(db, ProjectSettings::instance().stored());
    view.showRecord(*linker.link(*linker.keyFromText(QStringLiteral("1"))).record);
    m_w->Lock_All();
    QCOMPARE(m_w->Picture1->grab().toImage(), view.canvas()->grab().toImage());

    // Edited while shown: the value moves, the reference is what changes in the badge.
    m_w->Select_Control(lastName);
    m_w->nudge(0, -200);
    QCOMPARE(m_w->Picture1->shownSide().lblField.at(2).Top, 500.0f);
    QCOMPARE(side(Front).lblField.at(2).Caption, QStringLiteral("<Employee.LastName>"));

    // A person who cannot be linked leaves nothing of the one before; the status line says why.
    QVERIFY(!m_w->showPerson(QStringLiteral("999")));
    QCOMPARE(m_w->Picture1->shownSide().lblField.at(1).Caption,
             QStringLiteral("<Employee.FirstName>"));
    QVERIFY2(m_w->StatusBar1->currentMessage().contains(u"999"),
             qPrintable(m_w->StatusBar1->currentMessage()));
    QVERIFY(m_w->showPerson(QStringLiteral("1")));
    m_w->chkShowPerson->click();
    QVERIFY(!m_w->Picture1->showsRecord());
    QCOMPARE(m_w->Picture1->shownSide(), side(Front));
}

void tst_frmDesigner::arrangesSeveralElementsAsOneStep()
{
    QList<ElementRef> shapes;
    for (const QRectF& r : {QRectF(100, 100, 1000, 400), QRectF(2000, 900, 600, 300),
                            QRectF(1000, 2000, 400, 800)}) {
        shapes << m_w->addShape(0);
        Shape s = side(Front).myShape1.at(shapes.last().index);
        s.Left = float(r.left()), s.Top = float(r.top());
        s.Width = float(r.width()), s.Height = float(r.height());
        m_w->document().changeElement(Front, shapes.last(), s, QStringLiteral("Place"));
    }
    auto frames = [&] {
        QList<QRectF> list;
        for (const ElementRef& e : shapes)
            list << side(Front).myShape1.at(e.index).frame();
        return list;
    };
    const QList<QRectF> start = frames();
    auto action = [this](const char* name) {
        return m_w->findChild<QAction*>(QString::fromLatin1(name));
    };

    // The first is selected by a click, the others join it with Shift + click.
    mouse(QEvent::MouseButtonPress, {500, 300}, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, {500, 300}, Qt::NoButton);
    mouse(QEvent::MouseButtonPress, {2100, 1000}, Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(action("actAlignLeft")->isEnabled() && !action("actDistributeVertically")->isEnabled());
    mouse(QEvent::MouseButtonPress, {1100, 2100}, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(m_w->selectedElements(), shapes);
    QCOMPARE(m_w->selection(), shapes[0]);

    // Each arrangement is one step (where each goes: tst_BadgeDocument).
    const int steps = m_w->document().undoStack()->count();
    action("actAlignLeft")->trigger();
    action("actSameHeight")->trigger(); // the first one's
    for (const QRectF& frame : frames())
        QCOMPARE(QSizeF(frame.left(), frame.height()), QSizeF(100, 400));
    QCOMPARE(m_w->document().undoStack()->count(), steps + 2);
    m_w->actUndo->trigger();
    m_w->actUndo->trigger();
    QCOMPARE(frames(), start);

    // Shift + click again takes one out; the first one's place goes to the next.
    mouse(QEvent::MouseButtonPress, {500, 300}, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(m_w->selectedElements(), shapes.mid(1));
}

void tst_frmDesigner::resizingKeepsProportionsWithShift()
{
    // A new logo takes its picture's proportions (60 x 40).
    m_dialogs.fileAnswers = {m_logo};
    const ElementRef logo = m_w->addLogo();
    const Logo& l = side(Front).Image1.at(logo.index);
    QCOMPARE(l.frame(), QRectF(0, 0, 1440, 960));
    drag({1440 + 60, 960 + 60}, {2000, 1100}, Qt::ShiftModifier);
    QCOMPARE(l.frame(), QRectF(0, 0, 2000, 1333));
    drag({2000 + 60, 1333 + 60}, {2500, 1500});
    QCOMPARE(l.frame(), QRectF(0, 0, 2500, 1500));
}

void tst_frmDesigner::newBadgesAreNamedAndNamesIgnoreLetterCase()
{
    const QDir badges(ProjectSettings::instance().BadgeDir);
    auto files = [&] { return badges.entryList({QStringLiteral("*.Lyt")}, QDir::Files); };
    // A new badge is named before its first save; cancelled, nothing is written.
    m_w->addComment();
    m_dialogs.textAnswers = {std::nullopt};
    QVERIFY(!m_w->Save_Badge());
    QVERIFY(files().isEmpty());

    // Changing side says first that it saves the badge, then asks for the name.
    QString said;
    m_dialogs.whileAsked = [&] { said = m_w->StatusBar1->currentMessage(); };
    m_dialogs.textAnswers = {QStringLiteral("Staff")};
    m_w->changeSide(Back);
    QVERIFY2(said.contains(u"saves the badge"), qPrintable(said));
    QCOMPARE(files(), QStringList{QStringLiteral("Staff.Lyt")});
    QVERIFY(m_w->StatusBar1->currentMessage().contains(u"before changing side"));
    m_w->changeSide(Front); // named now: no second question
    QCOMPARE(m_dialogs.textPrompts.size(), 2);

    // "staff" is the badge Staff: replaced after the question, never a second file beside it.
    QVERIFY(m_w->newBadge());
    m_w->addShape(0);
    m_w->txtBadgeName->selectAll();
    QTest::keyClicks(m_w->txtBadgeName, QStringLiteral("staff"));
    m_dialogs.clear();
    m_dialogs.answers = {MessageAnswer::Yes};
    QVERIFY(m_w->Save_Badge());
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{QStringLiteral("A badge named staff exists already. Replace it?")});
    QCOMPARE(files(), QStringList{QStringLiteral("Staff.Lyt")});
    QCOMPARE(m_w->txtBadgeName->text(), QStringLiteral("Staff"));
    QCOMPARE(
        ProjectSettings::instance().badges().filter(QStringLiteral("staff"), Qt::CaseInsensitive),
        QStringList{QStringLiteral("Staff")});
    QCOMPARE(loadBadgeSide(badges.filePath(QStringLiteral("Staff.Lyt")), Front,
                           QStringLiteral("Staff"), m_databasePath, FieldTagRule::ColumnOnly)
                 .side.myShape1.count(),
             1);
}

// Each row of fitting and format is one undo step, typing into a box included; with a person
// shown the field is fitted into its frame, formatted, and hidden by its condition.
void tst_frmDesigner::fitAndFormatRowsAreUndoableAndShowThePerson()
{
    ProjectSettings::instance().DataTables.clear(); // the master table alone
    dropText(QStringLiteral("<Employee.LastName>"), {2200, 700});
    const ElementRef name = ref(ElementKind::Field, 1);
    m_w->Select_Control(name);
    FitFormatRows* rows = m_w->frameSettings->fitFormat;
    QVERIFY(!rows->isHidden() && !rows->grpFormat->isHidden());
    QVERIFY(rows->cmbHideColumn->findText(QStringLiteral("Employee.EmpNo")) >= 0);
    auto choose = [](QComboBox* box, int index) {
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    };
    const struct {
        const char* what;
        std::function<void()> act;
    } steps[] = {
        {"fitting",
         [&] {
             choose(rows->cmbFitMode, int(FitMode::Shrink));
         }},
        {"smallest size",
         [&] {
             rows->spnMinSize->setValue(8);
         }},
        {"most lines",
         [&] {
             rows->spnMaxLines->setValue(2);
         }},
        {"ellipsis",
         [&] {
             rows->chkEllipsis->click();
         }},
        {"across",
         [&] {
             choose(rows->cmbAlignH, int(HorizontalAlign::Centre));
         }},
        {"down",
         [&] {
             choose(rows->cmbAlignV, int(VerticalAlign::Middle));
         }},
        {"date",
         [&] {
             rows->cmbDateFormat->setEditText(QStringLiteral("yyyy"));
         }},
        {"decimals",
         [&] {
             rows->spnDecimals->setValue(2);
         }},
        {"thousands",
         [&] {
             rows->chkThousands->click();
         }},
        {"case",
         [&] {
             choose(rows->cmbCase, int(LetterCase::Upper));
         }},
        {"prefix",
         [&] {
             QTest::keyClicks(rows->txtPrefix, QStringLiteral("Mr "));
         }},
        {"suffix",
         [&] {
             QTest::keyClicks(rows->txtSuffix, QStringLiteral(" *"));
         }},
        {"hide column",
         [&] {
             rows->cmbHideColumn->setEditText(QStringLiteral("Employee.EmpNo"));
         }},
        {"hide test",
         [&] {
             choose(rows->cmbHideTest, 1);
         }},
        {"hide value",
         [&] {
             QTest::keyClicks(rows->txtHideValue, QStringLiteral("2"));
         }},
    };
    QUndoStack* undo = m_w->document().undoStack();
    for (const auto& step : steps) {
        const Field before = side(Front).lblField.at(1);
        const int count = undo->count();
        step.act();
        QVERIFY2(undo->count() == count + 1, step.what);
        const Field after = side(Front).lblField.at(1);
        QVERIFY2(after != before, step.what);
        undo->undo();
        QVERIFY2(side(Front).lblField.at(1) == before, step.what);
        undo->redo();
        QVERIFY2(side(Front).lblField.at(1) == after, step.what);
    }
    // Decimals and the date leave text alone; the frame is the reference's size.
    const Field& designed = side(Front).lblField.at(1);
    QCOMPARE(designed.format.prefix, QStringLiteral("Mr "));
    QCOMPARE(conditionText(designed.format.hideWhen), QStringLiteral("Employee.EmpNo = 2"));
    QVERIFY(m_w->showPerson(QStringLiteral("1")));
    const Field& shown = m_w->Picture1->shownSide().lblField.at(1);
    QCOMPARE(shown.Caption, QStringLiteral("Mr WITTGENSTEIN-OBERHAUSER-HABSBURG *"));
    QVERIFY(shown.Visible);
    QCOMPARE(drawnRect(shown), designed.frame());
    const FittedText fitted = fitText(shown, shown.Caption);
    QVERIFY(fitted.shrunk && fitted.pointSize >= 8);
    QVERIFY(m_w->showPerson(QStringLiteral("2")));
    QVERIFY(!m_w->Picture1->shownSide().lblField.at(1).Visible);
}

QTEST_MAIN(tst_frmDesigner)
// On a 1024 x 768 screen every row of a field's settings can be scrolled into view, and the wheel
// turned over a box on the way scrolls past it instead of changing the badge.
void tst_frmDesigner::settingsScrollOnASmallScreenAndTheWheelEditsNothing()
{
    m_w->resize(1024, 700);
    dropText(QStringLiteral("<Employee.LastName>"), {2200, 700});
    m_w->Select_Control(ref(ElementKind::Field, 1));
    QApplication::processEvents(); // the rows shown for a field laid out
    QScrollArea* scroll = m_w->settingsScroll;
    const QRect viewport(scroll->viewport()->mapTo(m_w, QPoint()), scroll->viewport()->size());
    QVERIFY(QRect(QPoint(), m_w->size()).contains(viewport));
    QVERIFY(scroll->verticalScrollBar()->maximum() > 0); // the rows are taller than the window
    // What scrolls: the panels' whole height, no wider than what shows.
    const QRect reachable(0, 0, viewport.width(), scroll->widget()->height());
    for (QWidget* control : scroll->widget()->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(m_w) || control->focusPolicy() == Qt::NoFocus)
            continue;
        const QRect at(control->mapTo(scroll->widget(), QPoint()), control->size());
        QVERIFY2(reachable.contains(at) && at.height() <= viewport.height(),
                 qPrintable(accessibleName(QAccessible::queryAccessibleInterface(control))));
    }

    scroll->verticalScrollBar()->setValue(0);
    m_w->txtBadgeName->setFocus();
    QComboBox* fitting = m_w->frameSettings->fitFormat->cmbFitMode;
    const int chosen = fitting->currentIndex();
    const int steps = m_w->document().undoStack()->count();
    const QPointF inside(5, 5);
    QWheelEvent wheel(inside, fitting->mapToGlobal(inside), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(fitting, &wheel);
    QCOMPARE(fitting->currentIndex(), chosen);
    QCOMPARE(m_w->document().undoStack()->count(), steps);
    QVERIFY(scroll->verticalScrollBar()->value() > 0);
}

#include "tst_frmDesigner.moc"
