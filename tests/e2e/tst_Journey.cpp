// Invariant: with nothing but a database, an operator gets through the windows alone from
// Project > New to a printed page: the wizard binds the database, the designer makes a badge,
// the record browser finds two people and the page prints each with their own values and
// photograph where the badge puts them. The same path holds on every engine.
#include "app/mainMdi.h"
#include "designer/DesignerCanvas.h"
#include "designer/FieldPalette.h"
#include "designer/SettingsPanel.h"
#include "designer/frmDesigner.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"
#include "project/frmConfigure.h"
#include "project/frmDirChooser.h"
#include "project/frmNewProj.h"
#include "records/RecordListModel.h"
#include "records/frmData.h"
#include "render/RenderingWindow.h"
#include "render/frmPreview.h"
#include "support/Controls.h"
#include "support/EngineRows.h"
#include "support/PdfText.h"
#include "support/Samples.h"
#include "support/ScriptedDialogs.h"
#include "support/Skip.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace vm;
using namespace vm::test;

namespace {

// The print dialog of an installed printer is answered with "print to this file".
class JourneyDialogs : public ScriptedDialogs {
public:
    QString printFile;
    bool printerSetup(QWidget*, QPrinter* printer) override
    {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printFile);
        return true;
    }
};

const QStringList StaffTables = {
    R"(create table "Staff" ("StaffID" integer primary key, "FirstName" varchar(40),
        "LastName" varchar(40), "DeptID" integer))",
    R"(create table "Dept" ("DeptID" integer, "DeptName" varchar(40)))",
    R"(insert into "Dept" values (10, 'Research'), (20, 'Front Desk'))",
    R"(insert into "Staff" values (1, 'Ada', 'Lovelace', 10), (2, 'Jürgen', 'Müller', 20),
        (3, 'Grace', 'Hopper', 10), (4, 'Alan', 'Turing', 20), (5, 'Hedy', 'Lamarr', 10))",
};

// Where the operator puts things on the front, in twips.
const QRectF Band(0, 0, 4876, 700);
const QRectF LogoFrame(150, 100, 500, 500);
const QRectF PhotoFrame(200, 900, 1200, 1600);
const QPointF CommentAt(1800, 2600);
const QPointF FieldDrop(1800, 1000);
const QRgb BandColor = qRgb(0, 48, 128);
const QRgb LogoColor = qRgb(250, 200, 0);
// Each person's photograph: its own colour and size, to tell them apart on the page.
const QRgb PhotoColors[] = {qRgb(200, 40, 40), qRgb(40, 160, 60)};
const QSize PhotoSizes[] = {{300, 400}, {240, 320}};

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 30 && qAbs(qGreen(a) - qGreen(b)) < 30 &&
           qAbs(qBlue(a) - qBlue(b)) < 30;
}

// Types into a box of the designer's settings and confirms with Enter.
void enter(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
}

void placeSelected(frmDesigner* designer, const QRectF& frame)
{
    SettingsPanel* panel = designer->frameSettings;
    enter(panel->txtLeft, QString::number(frame.left()));
    enter(panel->txtTop, QString::number(frame.top()));
    if (frame.width() > 0) {
        enter(panel->txtWidth, QString::number(frame.width()));
        enter(panel->txtHeight, QString::number(frame.height()));
    }
}

bool writeImage(const QString& path, QSize size, QRgb color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return QDir().mkpath(QFileInfo(path).path()) && image.save(path);
}

} // namespace

class tst_Journey : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void journey_data();
    void journey();
};

void tst_Journey::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Vellumark"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_Journey"));
}

void tst_Journey::journey_data()
{
    QTest::addColumn<DatabaseEngine>("engine");
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("unique");
    QTest::addColumn<QString>("child");
    QTest::addColumn<QString>("link");      // the column joining master and child
    QTest::addColumn<QStringList>("typed"); // what the operator types into Find
    QTest::addColumn<QStringList>("keys");  // the people it finds
    QTest::addColumn<QStringList>("shown"); // their last names
    const auto row = [](const char* name, DatabaseEngine engine, const char* tables,
                        const char* people) {
        const QStringList t = QString(tables).split(u' '), p = QString(people).split(u' ');
        QTest::newRow(name) << engine << t[0] << t[1] << t[2] << t[3] << p.mid(0, 2) << p.mid(2, 2)
                            << p.mid(4, 2);
    };
    row("SQLite", DatabaseEngine::SQLite, "Staff StaffID Dept DeptID",
        "muller HOPP 2 3 Müller Hopper");
    row("Access", DatabaseEngine::Access, "Employees EmployeeID Orders EmployeeID",
        "peacock Suyama 4 6 Peacock Suyama");
    row("PostgreSQL", DatabaseEngine::PostgreSQL, "Staff StaffID Dept DeptID",
        "lamarr turing 5 4 Lamarr Turing");
}

void tst_Journey::journey()
{
    QFETCH(DatabaseEngine, engine);
    QFETCH(QString, master);
    QFETCH(QString, unique);
    QFETCH(QString, child);
    QFETCH(QString, link);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, shown);
    VM_SKIP_IF(pdfToolsMissing());
    VM_SKIP_IF(engineUnavailable(engine));
    const QString sample = samplePath(QStringLiteral("northwind-jet4.mdb"));
    if (engine == DatabaseEngine::Access)
        VM_SKIP_IF(missingSample(QStringLiteral("northwind-jet4.mdb")));

    ScratchDatabase scratch(engine);
    const QString database = engine == DatabaseEngine::Access ? sample : scratch.build(StaffTables);
    QVERIFY2(!database.isEmpty(), qPrintable(scratch.error));
    QTemporaryDir dir;
    const QString photos = dir.filePath(QStringLiteral("pictures/photos/"));
    const QString signs = dir.filePath(QStringLiteral("pictures/signs/"));
    for (int i = 0; i < 2; ++i)
        QVERIFY(
            writeImage(photos + keys[i] + QStringLiteral(".jpg"), PhotoSizes[i], PhotoColors[i]));
    QVERIFY(QDir().mkpath(signs));

    QSettings().clear();
    ProjectSettings::instance().reset();
    JourneyDialogs dialogs;
    mainMdi window(dialogs);
    window.resize(1500, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // Project > New: a name and a folder; Ok makes the folders and opens the wizard.
    window.mnuNew->trigger();
    auto* newProject = window.findChild<frmNewProj*>(QStringLiteral("frmNewProj"));
    QVERIFY(newProject);
    dialogs.folderAnswers = {dir.filePath(QStringLiteral("Front Desk"))};
    newProject->cmdProject->click();
    newProject->txtProjName->setText(QStringLiteral("Front Desk"));
    newProject->cmdOk->click();
    QTRY_VERIFY(window.findChild<frmConfigure*>(QStringLiteral("frmConfigure")));
    auto* wizard = window.findChild<frmConfigure*>(QStringLiteral("frmConfigure"));
    QVERIFY(wizard->isVisible());

    // The wizard: database, tables, master table and relation, pictures.
    if (engine == DatabaseEngine::Access) {
        dialogs.fileAnswers = {database};
        wizard->cmdBrowse->click();
    } else {
        wizard->txtDBPath->setText(database);
        wizard->cmdTestConnection->click();
    }
    QVERIFY2(wizard->lblConnection->text().startsWith(QLatin1String("Connected")),
             qPrintable(wizard->lblConnection->text()));
    wizard->cmdNext->click();
    for (const QString& table : {master, child}) {
        chooseItem(wizard->lstAllTables, table);
        wizard->cmdAddTable->click();
    }
    wizard->cmdNext->click();
    chooseEntry(wizard->cmbMasterTable, master);
    chooseEntry(wizard->cmbUniqueField, unique);
    chooseEntry(wizard->cmbMasterField, link);
    chooseEntry(wizard->cmbChild, child);
    chooseEntry(wizard->cmbLinkingField, link);
    wizard->Command1->click();
    QCOMPARE(wizard->cmbRelations->count(), 1);
    wizard->cmdNext->click();
    wizard->chkPlaceImages->click();
    const QString pictureField = master + QLatin1Char('.') + unique;
    chooseEntry(wizard->cmbImageField, pictureField);
    chooseEntry(wizard->cmbSignField, pictureField);
    for (const auto& [button, folder] :
         {std::pair{wizard->Command3, photos}, std::pair{wizard->cmdSignFolder, signs}}) {
        button->click();
        auto* chooser = window.findChild<frmDirChooser*>(QStringLiteral("frmDirChooser"));
        QVERIFY(chooser);
        chooser->txtPath->setText(folder);
        chooser->cmdOk->click();
    }
    QCOMPARE(wizard->txtImgPath->text(), photos);
    QCOMPARE(wizard->txtSignPath->text(), signs);
    wizard->cmdNext->click();
    QCOMPARE(wizard->CurrentStep, qint16(4));
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messageTexts().join(u'|')));

    const QString projectFile = dir.filePath(QStringLiteral("Front Desk/data/Front Desk.Prj"));
    if (engine != DatabaseEngine::Access) {
        // Someone renames the unique field meanwhile: Finish says so and writes nothing.
        const QString rename = QStringLiteral(R"(alter table "Staff" rename column "%1" to "%2")");
        QCOMPARE(scratch.connection().execute(rename.arg(unique, "Badge")).error, QString());
        wizard->cmdFinish->click();
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY2(dialogs.messages[0].text.contains(QStringLiteral("unique field ") + unique),
                 qPrintable(dialogs.messages[0].text));
        QVERIFY(!QFile::exists(projectFile));
        QVERIFY(wizard->isVisible());
        QCOMPARE(scratch.connection().execute(rename.arg("Badge", unique)).error, QString());
        dialogs.clear();
    }
    wizard->cmdFinish->click();
    QCOMPARE(dialogs.messageTexts(), QStringList{QStringLiteral("Project Saved")});
    dialogs.clear();
    const Result<StoredSettings> written = ReadProjectFile(projectFile);
    QVERIFY2(written, qPrintable(written.error()));
    QCOMPARE(written->MasterTable, master);
    QCOMPARE(written->PhotoDir, photos);
    QVERIFY(window.findChild<frmData*>(QStringLiteral("frmData")));

    // The designer: a filled band behind a logo, a comment, a field from the palette, the photo.
    QVERIFY(writeImage(ProjectSettings::instance().LogoDir + QStringLiteral("logo.png"), {64, 64},
                       LogoColor));
    window.mnuCreate->trigger();
    auto* designer = window.findChild<frmDesigner*>(QStringLiteral("frmDesigner"));
    QVERIFY(designer && designer->isVisible());
    SettingsPanel* panel = designer->frameSettings;

    designer->btShape->menu()->findChild<QAction*>(QStringLiteral("Rectangle"))->trigger();
    placeSelected(designer, Band);
    chooseEntry(panel->cmbBackStyle, QStringLiteral("Opaque"));
    dialogs.colorAnswers = {BandColor};
    QTest::mouseClick(panel->lblBackColor, Qt::LeftButton);

    dialogs.fileAnswers = {ProjectSettings::instance().LogoDir + QStringLiteral("logo.png")};
    designer->btLogo->trigger();
    placeSelected(designer, LogoFrame);

    designer->btNewComment->trigger();
    panel->txtSpecialField->selectAll();
    QTest::keyClicks(panel->txtSpecialField, QStringLiteral("Authorised"));
    placeSelected(designer, QRectF(CommentAt, QSizeF()));

    FieldList* fields = designer->fieldPalette->lstMasterFields();
    const QString reference = QStringLiteral("<%1.LastName>").arg(master);
    chooseItem(fields, reference);
    std::unique_ptr<QMimeData> dragged(fields->model()->mimeData({fields->currentIndex()}));
    const QPoint dropAt = designer->Picture1->toPixels(FieldDrop).toPoint();
    QDragEnterEvent enterEvent(dropAt, Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
    QApplication::sendEvent(designer->Picture1, &enterEvent);
    QVERIFY(enterEvent.isAccepted());
    QDropEvent dropEvent(dropAt, Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
    QApplication::sendEvent(designer->Picture1, &dropEvent);

    designer->btPhoto->trigger();
    const BadgeSide& front = designer->document().side(BadgeSideId::Front);
    const QPointF photoCentre(front.imgPhoto.Left + front.imgPhoto.Width / 2,
                              front.imgPhoto.Top + front.imgPhoto.Height / 2);
    QTest::mouseClick(designer->Picture1, Qt::LeftButton, {},
                      designer->Picture1->toPixels(photoCentre).toPoint());
    QVERIFY(designer->selection() && designer->selection()->kind == ElementKind::Photo);
    placeSelected(designer, PhotoFrame);

    QCOMPARE(front.lblField.count(), 1);
    const Field& field = front.lblField.begin()->second;
    QCOMPARE(field.Caption, reference);
    const double pixel =
        designer->Picture1->toTwips({1, 0}).x() - designer->Picture1->toTwips({}).x();
    QVERIFY(qAbs(field.Left - FieldDrop.x()) <= pixel && qAbs(field.Top - FieldDrop.y()) <= pixel);
    const QPointF fieldAt(field.Left, field.Top);
    QCOMPARE(front.Label1.count(), 1);
    QCOMPARE(front.Label1.begin()->second.Caption, QStringLiteral("Authorised"));
    designer->txtBadgeName->setText(QStringLiteral("Desk"));
    designer->cmdSave->click();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messageTexts().join(u'|')));
    QVERIFY(QFile::exists(ProjectSettings::instance().BadgeDir + QStringLiteral("Desk.Lyt")));
    designer->btClose->trigger();

    // The record browser: the badge, two people found by typing, each put on the page.
    window.mnuReclist->trigger();
    auto* browser = window.findChild<frmData*>(QStringLiteral("frmData"));
    QVERIFY(browser);
    QSignalSpy loaded(browser->records(), &RecordListModel::loadFinished);
    if (browser->records()->isLoading())
        QVERIFY(loaded.wait(30000));
    chooseEntry(browser->cmbBadges, QStringLiteral("Desk"));
    for (int i = 0; i < 2; ++i) {
        browser->txtFind->setFocus();
        browser->txtFind->selectAll();
        QTest::keyClicks(browser->txtFind, typed[i]);
        QTRY_VERIFY(window.frmFront()->record() &&
                    window.frmFront()->record()->key.text() == keys[i]);
        browser->OsenXPButton1->click();
    }
    QTRY_COMPARE(browser->PageCount(), 2);
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messageTexts().join(u'|')));

    // Preview, then Print to a PDF file.
    browser->OsenXPButton2->click();
    auto* preview = window.findChild<frmPreview*>(QStringLiteral("frmPreview"));
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->itemCount(), 2);
    const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
    dialogs.printFile = pdf;
    dialogs.fileAnswers = {pdf};
    // The photographs are plain colours: the check finds no face in either, and the operator
    // prints anyway.
    dialogs.answers = {MessageAnswer::Yes};
    preview->cmdPrint->click();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(preview->lstProblems->findItems(QStringLiteral("shows no face"), Qt::MatchContains)
                 .size(),
             2);
    QVERIFY(QFile::exists(pdf));
    dialogs.messages.clear();

    // Each person's value and photograph in their slot, the logo over the band.
    const QPointF origin =
        window.printer()->pageLayout().paintRect(QPageLayout::Point).topLeft() * 20;
    const SheetLayout grid = preview->sheetLayout();
    const PdfPage page = pdfPage(pdf, 1);
    const QImage picture = pdfPageImage(pdf, 1, 72);
    auto pixelAt = [&](QPointF twips) {
        return picture.pixel((twips / 20).toPoint());
    };
    for (int i = 0; i < 2; ++i) {
        const QPointF slot = origin + grid.slotRects[i].topLeft();
        QVERIFY2(page.hasWordAt(shown[i], slot + fieldAt), qPrintable(shown[i]));
        QVERIFY2(page.hasWordAt("Authorised", slot + CommentAt), qPrintable(keys[i]));
        QVERIFY2(near(pixelAt(slot + PhotoFrame.center()), PhotoColors[i]), qPrintable(keys[i]));
        QVERIFY(near(pixelAt(slot + LogoFrame.center()), LogoColor));
        QVERIFY(near(pixelAt(slot + QPointF(3000, 350)), BandColor));
    }
    QCOMPARE(std::count_if(page.words.begin(), page.words.end(),
                           [](const PdfWord& word) { return word.text == "Authorised"; }),
             2);
    // Photographs as the files hold them, not a picture of the screen.
    QList<QSize> jpegs;
    for (const PdfImage& image : pdfImages(pdf))
        if (image.encoding == QLatin1String("jpeg"))
            jpegs << image.size;
    QCOMPARE(jpegs.size(), 2);
    QVERIFY(jpegs.contains(PhotoSizes[0]) && jpegs.contains(PhotoSizes[1]));

    // Closing offers to keep the new badge in the project's list.
    dialogs.clear();
    dialogs.answers = {MessageAnswer::Yes};
    window.mnuClose->trigger();
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::YesNoCancel);
    QCOMPARE(ProjectSettings::instance().ProjectState, ProjectState::None);
    QCOMPARE(ReadProjectFile(projectFile)->Badges, QStringList{QStringLiteral("Desk")});
}

QTEST_MAIN(tst_Journey)
#include "tst_Journey.moc"
