// Invariant: the main window's menus follow the project's life cycle (start, being created,
// written, closed), no project command leaves the open project half changed, and the operator
// is told what went wrong or where a print went.
#include "app/mainMdi.h"
#include "badge/BadgeFile.h"
#include "common/SaveFile.h"
#include "demo/DemoProject.h"
#include "project/Database.h"
#include "project/ProjectFile.h"
#include "project/ProjectSettings.h"
#include "project/frmConfigure.h"
#include "project/frmNewProj.h"
#include "records/FrmAddRec.h"
#include "records/MasterTableModel.h"
#include "records/frmData.h"
#include "render/BadgeCanvas.h"
#include "render/RenderingWindow.h"
#include "render/frmPrinterOffset.h"
#include "support/Accessibility.h"
#include "support/AllKindsBadge.h"
#include "support/DemoWindow.h"
#include "support/FileBytes.h"
#include "support/ScratchDatabase.h"
#include "support/ScriptedDialogs.h"
#include "support/Skip.h"
#include "support/StatusChecks.h"
#include "widgets/ScreenUnits.h"
#include "widgets/frmProgress.h"

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTableView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vm;
using namespace vm::test;

namespace {

StoredSettings sampleProject(const QString& folder)
{
    StoredSettings s;
    s.ProjectName = QStringLiteral("Staff");
    s.DatabasePath = folder + QStringLiteral("/data/staff.sqlite");
    s.MasterTable = QStringLiteral("Employee");
    s.UniqueField = QStringLiteral("EmpNo");
    s.PhotoField = s.SignField = NoneField;
    s.ProjectDir = folder + QStringLiteral("/data/");
    s.BadgeDir = folder + QStringLiteral("/Badges/");
    s.Badges = {QStringLiteral("Visitor")};
    return s;
}

// The sample project's database: a master table and a child table.
QString createStaffDatabase(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile(path).open(QIODevice::WriteOnly);
    DatabaseConnection db;
    if (!db.OpenProjectDatabase(path))
        return db.errorText();
    for (const char* sql : {"create table Employee (EmpNo integer, Name text)",
                            "create table Dept (DeptNo integer, Name text)"}) {
        if (const auto done = db.execute(QString::fromLatin1(sql)); !done.error.isEmpty())
            return done.error;
    }
    return {};
}

bool projectMenusEnabled(const mainMdi& w)
{
    const bool save = w.mnuSaveProject->isEnabled();
    for (const QAction* a : {w.mnuSaveAsProject, w.mnuClose, w.mnuCards->menuAction(),
                             w.mnuData->menuAction(), w.mnuPrint->menuAction()})
        if (a->isEnabled() != save)
            qFatal("project menus disagree: %s", qPrintable(a->objectName()));
    return save;
}

} // namespace

class tst_mainMdi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void startsWithProjectMenusOffAndEmptyViewsAtTheRightEdge();
    void projectLifeCycleSwitchesTheMenus();
    void closingTheProjectAsksAboutTableEdits();
    void openingABadFileKeepsTheOpenProject();
    void saveAsWritesANewFileAndKeepsTheName();
    void createNewNeedsAConfiguredDatabase();
    void newProjectClosesTheOpenOneOrNothing();
    void aDatabasePasswordIsAskedForAndNeverSaved();
    void menuKeysWorkFromATextBox_data();
    void menuKeysWorkFromATextBox();
    void titleIconAndAboutSayWhatRuns();
    void openingAProjectNamesWhatItsDatabaseLacks_data();
    void openingAProjectNamesWhatItsDatabaseLacks();
    void printingSaysWhatItDidAndAsksBeforeEveryFile();
    void everyWindowNamesEveryControlForAScreenReader();
    void aLongReadSaysWhatItReadsAndAQuickOneNothing();

private:
    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    mainMdi* m_window = nullptr;
    QString m_projectPath;
};

void tst_mainMdi::init()
{
    ProjectSettings::instance().reset();
    m_dialogs.clear();
    m_window = new mainMdi(m_dialogs);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_projectPath = m_dir.filePath(QStringLiteral("Staff.Prj"));
    VM_VERIFY_OK(WriteProjectFile(sampleProject(m_dir.path()), m_projectPath));
    const QString database = sampleProject(m_dir.path()).DatabasePath;
    if (!QFile::exists(database))
        QCOMPARE(createStaffDatabase(database), QString());
}

void tst_mainMdi::cleanup()
{
    delete m_window;
    m_window = nullptr;
}

void tst_mainMdi::startsWithProjectMenusOffAndEmptyViewsAtTheRightEdge()
{
    QVERIFY(!projectMenusEnabled(*m_window));
    QVERIFY(!m_window->mnuEditCard->isEnabled());
    QVERIFY(m_window->mnuOpen->isEnabled());

    RenderingWindow* front = m_window->frmFront();
    RenderingWindow* back = m_window->frmBack();
    QVERIFY(front->isVisible() && back->isVisible());
    QCOMPARE(front->canvas()->size(), screenSize(front, {4876, 3090}));
    QCOMPARE(back->canvas()->size(), screenSize(back, {4876, 3090}));

    const int area = m_window->mdiArea()->contentsRect().width();
    const int gap = screenPixels(m_window, 240);
    QCOMPARE(front->geometry().right() + 1, area - gap);
    QCOMPARE(front->y(), screenPixels(m_window, 120));
    QCOMPARE(back->x(), front->x());
    QCOMPARE(back->y(), front->height() + gap);

    const QMdiSubWindow* preview = m_window->loadedWindow(QStringLiteral("frmPreview"));
    QVERIFY(preview && !preview->isVisible());
}

void tst_mainMdi::projectLifeCycleSwitchesTheMenus()
{
    ProjectSettings& settings = ProjectSettings::instance();
    SetProjectState(ProjectState::Configuring); // new-project dialog confirmed
    QVERIFY(projectMenusEnabled(*m_window));
    SetProjectState(ProjectState::None); // wizard closed without Finish
    QVERIFY(!projectMenusEnabled(*m_window));
    SetProjectState(ProjectState::Written); // state 2 leaves the menus as they are
    QVERIFY(!projectMenusEnabled(*m_window));
    SetProjectState(ProjectState::Open);
    QVERIFY(projectMenusEnabled(*m_window));

    SetProjectState(ProjectState::None);
    QVERIFY(m_window->openProjectFile(m_projectPath));
    QCOMPARE(settings.ProjectState, ProjectState::Written);
    QVERIFY(settings.DatabaseConfigured);
    QCOMPARE(settings.ProjectFile, m_projectPath);
    QCOMPARE(settings.stored(), sampleProject(m_dir.path()));
    QVERIFY(projectMenusEnabled(*m_window));
    QVERIFY(m_dialogs.messages.isEmpty());
    // Database Configuration opens the wizard filled with the project.
    m_window->mnuDBConfig->trigger();
    auto* wizard =
        qobject_cast<frmConfigure*>(m_window->loadedWindow(QStringLiteral("frmConfigure")));
    QVERIFY(wizard);
    QCOMPARE(wizard->txtDBPath->text(), settings.DatabasePath);

    // Save keeps the menus and writes the same bytes back.
    const QByteArray before = fileBytes(m_projectPath);
    m_window->mnuSaveProject->trigger();
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Project Saved")});
    QCOMPARE(fileBytes(m_projectPath), before);
    QVERIFY(projectMenusEnabled(*m_window));

    // Another station listed a badge since: saved here, it is kept, said, and listed here too.
    StoredSettings elsewhere = *ReadProjectFile(m_projectPath);
    elsewhere.Badges << QStringLiteral("Contractor");
    VM_VERIFY_OK(WriteProjectFile(elsewhere, m_projectPath));
    m_dialogs.clear();
    settings.addBadge(QStringLiteral("Guest"));
    QVERIFY(m_window->saveProject());
    QVERIFY2(m_dialogs.messages.value(0).detail.contains(QStringLiteral("Contractor")),
             qPrintable(m_dialogs.messages.value(0).detail));
    const QStringList merged = {"Visitor", "Guest", "Contractor"};
    QCOMPARE(ReadProjectFile(m_projectPath)->Badges, merged);
    QCOMPARE(settings.badges(), merged);
    const QByteArray saved = fileBytes(m_projectPath);

    // A value with a double quote cannot be saved: the file and the state stay.
    m_dialogs.clear();
    settings.addBadge(QStringLiteral("say \"cheese\""));
    QVERIFY(!m_window->saveProject());
    QVERIFY(m_dialogs.messages.value(0).detail.contains(QStringLiteral("BadgeName:")));
    QCOMPARE(fileBytes(m_projectPath), saved);

    m_dialogs.answers = {MessageAnswer::No}; // closed without saving
    m_window->mnuClose->trigger();
    QCOMPARE(settings.ProjectState, ProjectState::None);
    QVERIFY(!settings.DatabaseConfigured);
    QVERIFY(settings.ProjectName.isEmpty() && settings.DatabasePath.isEmpty() &&
            settings.ProjectFile.isEmpty());
    QVERIFY(!projectMenusEnabled(*m_window));
    QVERIFY(m_window->frmFront()->isVisible() && m_window->frmBack()->isVisible());

    // Database Configuration does nothing without a project.
    m_window->mnuDBConfig->trigger();
    QVERIFY(!m_window->loadedWindow(QStringLiteral("frmConfigure")));
}

// Rows typed into Edit Table are not dropped unasked when the project closes or the program ends.
void tst_mainMdi::closingTheProjectAsksAboutTableEdits()
{
    QVERIFY(m_window->openProjectFile(m_projectPath));
    m_window->mnuUpdateRecs->trigger();
    auto* editor = qobject_cast<FrmAddRec*>(m_window->loadedWindow(QStringLiteral("FrmAddRec")));
    QVERIFY(editor && editor->tableModel());
    MasterTableModel* model = editor->tableModel();
    editor->cmdAdd->click();
    QVERIFY(model->setData(model->index(model->rowCount() - 1, 1), QStringLiteral("Typed")));

    m_dialogs.answers = {MessageAnswer::Cancel};
    m_window->mnuClose->trigger();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages[0].buttons, MessageButtons::YesNoCancel);
    QCOMPARE(ProjectSettings::instance().ProjectState, ProjectState::Written);
    QVERIFY(m_window->loadedWindow(QStringLiteral("FrmAddRec")) && model->isDirty());

    m_dialogs.answers = {MessageAnswer::Cancel};
    QVERIFY(!m_window->close());
    QCOMPARE(m_dialogs.messages.size(), 2);
    QVERIFY(m_window->isVisible() && model->isDirty());
}

void tst_mainMdi::openingABadFileKeepsTheOpenProject()
{
    QVERIFY(m_window->openProjectFile(m_projectPath));
    ProjectSettings& settings = ProjectSettings::instance();
    const StoredSettings before = settings.stored();

    // Which files are no project tst_ProjectFile pins; here the open project must survive them.
    const QByteArray good = fileBytes(m_projectPath);
    const QString bad = m_dir.filePath(QStringLiteral("bad.Prj"));
    for (const QByteArray& bytes : {QByteArray(), good.left(good.size() - 30)}) {
        VM_VERIFY_OK(saveFileAtomically(bad, bytes));
        QVERIFY(!m_window->openProjectFile(bad));
    }
    QVERIFY(!m_window->openProjectFile(m_dir.filePath(QStringLiteral("nowhere.Prj"))));
    QCOMPARE(m_dialogs.messages.size(), 3);
    // Each says which file, whatever is wrong with it.
    for (const OperatorMessage& message : m_dialogs.messages)
        QVERIFY2(message.detail.contains(QLatin1String(".Prj")), qPrintable(message.detail));
    QCOMPARE(settings.stored(), before);
    QCOMPARE(settings.ProjectFile, m_projectPath);
    QCOMPARE(settings.ProjectState, ProjectState::Written);
    QVERIFY(settings.DatabaseConfigured);
}

void tst_mainMdi::saveAsWritesANewFileAndKeepsTheName()
{
    QVERIFY(m_window->openProjectFile(m_projectPath));
    // A name typed without its extension gets it.
    const QString copy = m_dir.filePath(QStringLiteral("Copy.Prj"));
    m_dialogs.fileAnswers = {m_dir.filePath(QStringLiteral("Copy"))};
    m_window->mnuSaveAsProject->trigger();

    QCOMPARE(m_dialogs.fileRequests.size(), 1);
    QCOMPARE(m_dialogs.fileRequests[0].initialFolder, ProjectSettings::instance().ProjectDir);
    QCOMPARE(ProjectSettings::instance().ProjectFile, copy);
    QCOMPARE(ProjectSettings::instance().ProjectName, QStringLiteral("Staff"));
    QCOMPARE(fileBytes(copy), fileBytes(m_projectPath));
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Project Saved")});

    // A cancelled dialog changes nothing.
    m_dialogs.clear();
    m_window->mnuSaveAsProject->trigger();
    QCOMPARE(ProjectSettings::instance().ProjectFile, copy);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void tst_mainMdi::createNewNeedsAConfiguredDatabase()
{
    SetProjectState(ProjectState::Configuring);
    m_window->mnuCreate->trigger();
    QCOMPARE(m_dialogs.messageTexts(), QStringList{QStringLiteral("Database not found.")});
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmConfigure")));
    QVERIFY(!m_window->loadedWindow(QStringLiteral("frmDesigner")));

    // Close unloads the project's windows.
    m_window->closeProject();
    QVERIFY(!m_window->loadedWindow(QStringLiteral("frmConfigure")));

    m_dialogs.clear();
    QVERIFY(m_window->openProjectFile(m_projectPath));
    m_window->mnuCreate->trigger();
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmDesigner")));
}

// A New over the demo with a badge shown: Cancel at the save question keeps everything; Ok
// without saving starts an empty project with none of the demo's badges, views or windows.
void tst_mainMdi::newProjectClosesTheOpenOneOrNothing()
{
    const QString demo =
        demoProject(m_dir.filePath(QStringLiteral("demo")), {.people = 3, .pictures = false});
    QVERIFY(!demo.isEmpty());
    QVERIFY(m_window->openProjectFile(demo));
    ProjectSettings& settings = ProjectSettings::instance();
    m_window->openBadgeLayout(settings.BadgeDir + QStringLiteral("Staff.Lyt"));
    settings.addBadge(QStringLiteral("Unsaved"));
    m_window->mnuReclist->trigger();
    const StoredSettings open = settings.stored();
    const BadgeSide front = m_window->frmFront()->shownSide();
    QVERIFY(!(front == BadgeSide{}));
    const QPointer<QMdiSubWindow> printPage = m_window->loadedWindow(QStringLiteral("frmPreview"));

    const auto newProject = [&](MessageAnswer atSaveQuestion) {
        m_dialogs.clear();
        m_window->mnuNew->trigger();
        auto* dialog =
            qobject_cast<frmNewProj*>(m_window->loadedWindow(QStringLiteral("frmNewProj")));
        QVERIFY(dialog);
        dialog->txtProjName->setText(QStringLiteral("Next"));
        dialog->txtProjectDir->setText(m_dir.filePath(QStringLiteral("next/data")));
        m_dialogs.answers = {atSaveQuestion};
        dialog->ok();
        QTRY_COMPARE(m_dialogs.messages.size(), 1);
        QCOMPARE(m_dialogs.messages[0].buttons, MessageButtons::YesNoCancel);
    };
    newProject(MessageAnswer::Cancel);
    QCOMPARE(settings.stored(), open);
    QCOMPARE(settings.ProjectFile, demo);
    QVERIFY(m_window->frmFront()->shownSide() == front);
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmData")) && printPage);

    newProject(MessageAnswer::No);
    QCOMPARE(settings.ProjectState, ProjectState::Configuring);
    QCOMPARE(settings.ProjectFile, m_dir.filePath(QStringLiteral("next/data/Next.Prj")));
    QVERIFY(settings.badges().isEmpty() && settings.DatabasePath.isEmpty());
    QVERIFY(m_window->frmFront()->shownSide() == BadgeSide{});
    QVERIFY(m_window->frmBack()->shownSide() == BadgeSide{});
    QVERIFY(!m_window->loadedWindow(QStringLiteral("frmData")) && !printPage);
    QVERIFY(m_window->loadedWindow(QStringLiteral("frmConfigure")));
    QVERIFY(ReadProjectFile(demo)->Badges.size() == 2); // discarded, not written
}

// The password the server wants is asked for through the program's dialogs, once a session, and
// the project file is written without it.
void tst_mainMdi::aDatabasePasswordIsAskedForAndNeverSaved()
{
    VM_SKIP_IF(postgresUrl().isEmpty() ? noPostgresReason() : QString());
    qputenv("PGPASSFILE", QFile::encodeName(m_dir.filePath(QStringLiteral("no-pass-file"))));
    const auto restore = qScopeGuard([] { qunsetenv("PGPASSFILE"); });
    StoredSettings project = sampleProject(m_dir.path());
    project.DatabasePath = passwordRoleAddress();
    VM_VERIFY_OK(WriteProjectFile(project, m_projectPath));
    m_dialogs.passwordAnswers = {PasswordRoleSecret};
    QVERIFY(m_window->openProjectFile(m_projectPath));
    QCOMPARE(m_dialogs.passwordPrompts.size(), 1);
    QVERIFY(m_dialogs.passwordPrompts[0].contains(QLatin1String("vellumark_pw")));
    for (const OperatorMessage& said : m_dialogs.messages) // the check goes on to the tables
        QVERIFY2(!said.text.contains(QLatin1String("Cannot connect")), qPrintable(said.text));
    QVERIFY(m_window->saveProject());
    QVERIFY(!fileBytes(m_projectPath).contains("tests"));
}

void tst_mainMdi::menuKeysWorkFromATextBox_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("window"); // none: the badge file dialog
    QTest::addColumn<bool>("textKeeps"); // a text box copies or pastes with it instead
    QTest::newRow("Create New") << QKeySequence(Qt::CTRL | Qt::Key_Insert) << "frmDesigner"
                                << true;
    QTest::newRow("Open Existing") << QKeySequence(Qt::SHIFT | Qt::Key_Insert) << QString()
                                   << true;
    QTest::newRow("Edit Records") << QKeySequence(Qt::CTRL | Qt::Key_E) << "FrmAddRec" << false;
}

// The record browser opens with the focus in its find box: Ctrl+E must still reach the menu
// there, while Ctrl+Ins and Shift+Ins copy and paste as in any text box, and reach the menus from
// everywhere else.
void tst_mainMdi::menuKeysWorkFromATextBox()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, window);
    QFETCH(bool, textKeeps);
    QVERIFY(m_window->openProjectFile(m_projectPath));
    auto* browser = static_cast<frmData*>(m_window->showWindow(QStringLiteral("frmData")));
    QApplication::setActiveWindow(m_window);
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    const auto answered = [&] {
        return window.isEmpty() ? m_dialogs.fileRequests.size() == 1
                                : m_window->loadedWindow(window) != nullptr;
    };
    browser->txtFind->setFocus();
    QVERIFY(browser->txtFind->hasFocus());
    browser->txtFind->setText(QStringLiteral("Ann"));
    browser->txtFind->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("Bob"));

    QTest::keyClick(browser->txtFind, keys[0].key(), keys[0].keyboardModifiers());
    QCOMPARE(answered(), !textKeeps);
    if (!textKeeps)
        return;
    const bool copies = keys[0].keyboardModifiers() == Qt::ControlModifier;
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(copies ? "Ann" : "Bob"));
    QCOMPARE(browser->txtFind->text(), QString(copies ? "Ann" : "Bob"));

    browser->Lst->setFocus();
    QTest::keyClick(browser->Lst, keys[0].key(), keys[0].keyboardModifiers());
    QVERIFY(answered());
}

void tst_mainMdi::titleIconAndAboutSayWhatRuns()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Vellumark"));
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(!m_window->frmFront()->windowIcon().isNull());
    QVERIFY(m_window->openProjectFile(m_projectPath));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Vellumark - Staff"));
    m_window->closeProject();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Vellumark"));

    m_window->mnuAbout->trigger();
    auto* about = m_window->findChild<QDialog*>(QStringLiteral("frmAbout"));
    QVERIFY(about && about->isVisible());
    const QString text = about->findChild<QLabel*>(QStringLiteral("lblAbout"))->text();
    for (const char* part : {"Vellumark 0.", "Qt", "GNU Lesser General Public License version 3",
                             "libmdb", "public domain", "PostgreSQL Licence"})
        QVERIFY2(text.contains(QLatin1String(part)), part);
    m_window->mnuAbout->trigger(); // one box at a time
    QCOMPARE(m_window->findChildren<QDialog*>(QStringLiteral("frmAbout")).size(), 1);
}

void tst_mainMdi::openingAProjectNamesWhatItsDatabaseLacks_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("named"); // what the message must name
    const auto row = [](const char* item, const char* value, const char* named) {
        QTest::newRow(named) << QString(item) << QString(value) << QString(named);
    };
    row("database", "data/gone.sqlite", "gone.sqlite");
    row("master", "Staffers", "master table Staffers");
    row("unique", "BadgeNo", "unique field BadgeNo");
    row("child", "Shifts", "child table Shifts");
}

void tst_mainMdi::openingAProjectNamesWhatItsDatabaseLacks()
{
    QFETCH(QString, item);
    QFETCH(QString, value);
    QFETCH(QString, named);
    StoredSettings project = sampleProject(m_dir.path());
    if (item == QLatin1String("database"))
        project.DatabasePath = m_dir.filePath(value);
    else if (item == QLatin1String("master"))
        project.MasterTable = value;
    else if (item == QLatin1String("unique"))
        project.UniqueField = value;
    else {
        project.DataTables = {value};
        project.Relations = QStringList{} << project.MasterTable + QStringLiteral(".[ID]=") +
                                                 value + QStringLiteral(".[ID]");
    }
    const QString path = m_dir.filePath(QStringLiteral("Broken.Prj"));
    VM_VERIFY_OK(WriteProjectFile(project, path));

    QVERIFY(m_window->openProjectFile(path));
    QCOMPARE(m_dialogs.messages.size(), 1);
    const OperatorMessage& message = m_dialogs.messages[0];
    QVERIFY2(message.text.contains(named), qPrintable(message.text));
    QCOMPARE(message.icon, MessageIcon::Exclamation);
    if (item == QLatin1String("child"))
        QVERIFY2(!message.text.contains(QStringLiteral("Dept")), qPrintable(message.text));
    // The project stays open, so it can be repaired.
    ProjectSettings& settings = ProjectSettings::instance();
    QCOMPARE(settings.stored(), project);
    QCOMPARE(settings.ProjectFile, path);
    QCOMPARE(settings.ProjectState, ProjectState::Written);
    QVERIFY(projectMenusEnabled(*m_window));
}

void tst_mainMdi::printingSaysWhatItDidAndAsksBeforeEveryFile()
{
    // Before any layout there is nothing to print, and nothing is asked.
    m_window->printSide(m_window->frmFront());
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{QStringLiteral("Nothing to print: the front view is empty.")});
    QVERIFY(m_dialogs.fileRequests.isEmpty());

    QVERIFY(m_window->openProjectFile(m_projectPath));
    const StoredSettings project = sampleProject(m_dir.path());
    BadgeLayout badge = allKindsBadge(QString());
    badge.projectName = project.ProjectName;
    badge.databasePath = project.DatabasePath;
    const QString badgeFile = m_dir.filePath(QStringLiteral("Card.Lyt"));
    VM_VERIFY_OK(writeBadgeFile(badgeFile, badge));
    m_window->openBadgeLayout(badgeFile);

    // Printer Setup chose printing to a file: each print asks for the file, starting from the
    // last one, and the status bar says where it went.
    const QString setupFile = m_dir.filePath(QStringLiteral("setup.pdf"));
    m_window->printer()->setOutputFormat(QPrinter::PdfFormat);
    m_window->printer()->setOutputFileName(setupFile);
    m_dialogs.clear();
    const QString first = m_dir.filePath(QStringLiteral("first.pdf"));
    const QString second = m_dir.filePath(QStringLiteral("second.pdf"));
    m_dialogs.fileAnswers = {m_dir.filePath(QStringLiteral("first")), second};
    QVERIFY(m_window->printSide(m_window->frmFront()));
    QVERIFY(m_window->printSide(m_window->frmBack()));
    QCOMPARE(m_dialogs.fileRequests.size(), 2);
    QCOMPARE(m_dialogs.fileRequests[0].fileName, setupFile);
    QCOMPARE(m_dialogs.fileRequests[1].fileName, first);
    QVERIFY(fileBytes(first).startsWith("%PDF") && fileBytes(second).startsWith("%PDF"));
    QVERIFY(!QFile::exists(setupFile));
    QCOMPARE(
        m_window->statusBar()->currentMessage(),
        QStringLiteral("The back side was printed to %1.").arg(QDir::toNativeSeparators(second)));
    QVERIFY(m_dialogs.messages.isEmpty());

    // A cancelled file dialog prints nothing and leaves the status as it was.
    m_window->statusBar()->clearMessage();
    QVERIFY(!m_window->printSide(m_window->frmFront()));
    QCOMPARE(m_window->statusBar()->currentMessage(), QString());
}

// A screen reader announces every input, list and icon button of every window by a name.
void tst_mainMdi::everyWindowNamesEveryControlForAScreenReader()
{
    const QString project =
        demoProject(m_dir.filePath(QStringLiteral("demo")), {.people = 3, .pictures = false});
    QVERIFY(!project.isEmpty());
    QVERIFY(m_window->openProjectFile(project));
    m_window->openBadgeLayout(ProjectSettings::instance().BadgeDir + QStringLiteral("Staff.Lyt"));
    const QStringList windows = {"frmNewProj", "frmConfigure", "frmDirChooser", "frmDesigner",
                                 "frmData",    "FrmAddRec",    "frmPreview",    "frmImportPhotos",
                                 "frmCapture", "frmCrop"};
    for (const QString& name : windows)
        QVERIFY2(m_window->showWindow(name), qPrintable(name));
    m_window->progressWindow()->show();
    m_window->showAbout();
    m_window->showGuide();
    frmPrinterOffset offset(QStringLiteral("Office"), {}, m_window);
    offset.show();

    QStringList nameless;
    int windowsWalked = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        ++windowsWalked;
        for (const QString& control : namelessControls(top))
            nameless << top->objectName() + u':' + control;
    }
    QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));
    QVERIFY2(windowsWalked >= 3, qPrintable(QString::number(windowsWalked)));
    m_window->unloadProgress();
}

QTEST_MAIN(tst_mainMdi)
// "Please wait" comes up, saying what is read, only once a read has lasted a moment, and goes
// with it; the windows stay drawn meanwhile.
void tst_mainMdi::aLongReadSaysWhatItReadsAndAQuickOneNothing()
{
    auto* area = m_window->findChild<QMdiArea*>();
    QSignalSpy shown(area, &QMdiArea::subWindowActivated);
    readWhileWaiting(area, QStringLiteral("Reading People"), [] {});
    QCOMPARE(shown.size(), 0);

    QSemaphore looked;
    QStringList seen;
    // Due after the window's moment, so the read is still running when it looks.
    QTimer::singleShot(800, area, [&] {
        for (const frmProgress* window : area->findChildren<frmProgress*>())
            if (window->isVisible())
                seen << window->findChild<QLabel*>(QStringLiteral("lblReading"))->text();
        looked.release();
    });
    readWhileWaiting(area, QStringLiteral("Reading People"),
                     [&] { static_cast<void>(looked.tryAcquire(1, 60000)); });
    QCOMPARE(seen, QStringList({"Reading People"}));
    QVERIFY(area->findChildren<frmProgress*>().isEmpty());
}

#include "tst_mainMdi.moc"
