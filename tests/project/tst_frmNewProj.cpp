// Invariant: a new project gets one self-contained folder tree under the folder the operator
// picks; Ok creates it and aims the project file into it, an existing project file is replaced
// only when the operator says so, and a cancelled choice changes nothing.
#include "project/ProjectLayout.h"
#include "project/ProjectSettings.h"
#include "project/frmDirChooser.h"
#include "project/frmNewProj.h"
#include "support/ScriptedDialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace vm;
using namespace vm::test;

class tst_frmNewProj : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void pickedFolderGetsTheProjectLayout_data();
    void pickedFolderGetsTheProjectLayout();
    void folderButtonsFillOnlyTheirBox();
    void okCreatesTheFoldersAndAimsTheProjectFile();
    void anExistingProjectIsReplacedOnlyOnYes();
    void okRefusesWhatCannotBecomeAProject_data();
    void okRefusesWhatCannotBecomeAProject();
    void cancelKeepsTheOpenProject();
    void directoryChooserWritesOnlyOnOk();

private:
    frmNewProj* openDialog();

    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    QMdiArea* m_area = nullptr;
};

void tst_frmNewProj::init()
{
    ProjectSettings::instance().reset();
    m_dialogs.clear();
    m_area = new QMdiArea;
    m_area->show();
}

void tst_frmNewProj::cleanup()
{
    delete m_area;
    ProjectSettings::instance().reset();
}

frmNewProj* tst_frmNewProj::openDialog()
{
    auto* dialog = new frmNewProj(m_dialogs);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_area->addSubWindow(dialog);
    dialog->show();
    return dialog;
}

void tst_frmNewProj::pickedFolderGetsTheProjectLayout_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("project");
    QTest::addColumn<QString>("others"); // the folder that holds Badges/, Logo/, ...

    const auto row = [](const char* name, const char* picked, const char* project,
                        const char* others) {
        QTest::newRow(name) << QString(picked) << QString(project) << QString(others);
    };
    row("a folder", "/srv/Cards", "/srv/Cards/data/", "/srv/Cards/");
    row("ends in data", "/srv/Cards/data", "/srv/Cards/data/", "/srv/Cards/");
    row("ends in DATA", "/srv/Cards/DATA/", "/srv/Cards/DATA/", "/srv/Cards/");
    row("named metadata", "/srv/metadata", "/srv/metadata/data/", "/srv/metadata/");
    row("the root", "/", "/data/", "/");
}

void tst_frmNewProj::pickedFolderGetsTheProjectLayout()
{
    QFETCH(QString, picked);
    QFETCH(QString, project);
    QFETCH(QString, others);
    frmNewProj* dialog = openDialog();
    m_dialogs.folderAnswers = {picked};
    dialog->cmdProject->click();
    QCOMPARE(dialog->txtProjectDir->text(), project);
    const QStringList boxes = {dialog->txtBadgeDir->text(), dialog->txtLogoDir->text(),
                               dialog->txtPhotoDir->text(), dialog->txtSignDir->text()};
    QCOMPARE(boxes.join(u' '), QStringLiteral("%1Badges/ %1Logo/ %1Photos/ %1Signs/").arg(others));
    QCOMPARE(projectFolderFor(picked), project);
}

void tst_frmNewProj::folderButtonsFillOnlyTheirBox()
{
    frmNewProj* dialog = openDialog();
    m_dialogs.folderAnswers = {"/srv/Cards", "/mnt/share/faces", "", "/srv/Other"};
    dialog->cmdProject->click();
    dialog->cmdPhoto->click();
    QCOMPARE(dialog->txtPhotoDir->text(), QStringLiteral("/mnt/share/faces/"));
    dialog->cmdSign->click(); // cancelled
    QCOMPARE(dialog->txtSignDir->text(), QStringLiteral("/srv/Cards/Signs/"));
    // Picking the project folder again leaves the filled boxes alone.
    dialog->cmdProject->click();
    QCOMPARE(dialog->txtProjectDir->text(), QStringLiteral("/srv/Other/data/"));
    QCOMPARE(dialog->txtBadgeDir->text(), QStringLiteral("/srv/Cards/Badges/"));
    QCOMPARE(dialog->txtPhotoDir->text(), QStringLiteral("/mnt/share/faces/"));
    QVERIFY(m_dialogs.folderAnswers.isEmpty());
    QVERIFY(m_dialogs.messages.isEmpty());
}

void tst_frmNewProj::okCreatesTheFoldersAndAimsTheProjectFile()
{
    frmNewProj* dialog = openDialog();
    QPointer<frmNewProj> alive(dialog);
    QSignalSpy configure(dialog, &frmNewProj::configureWanted);
    const QString root = m_dir.filePath(QStringLiteral("Front Desk"));
    m_dialogs.folderAnswers = {root};
    dialog->cmdProject->click();
    dialog->txtProjName->setText(QStringLiteral("Visitors"));
    dialog->txtLogoDir->clear();                          // an empty box gets the proposal on Ok
    auto* codePage = dialog->findChild<QComboBox*>(QStringLiteral("cmbTextCodePage"));
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblTextCodePage"))->buddy(), codePage);
    codePage->setCurrentIndex(codePage->findText(QStringLiteral("Cyrillic (Windows-1251)")));
    QTest::keyClick(dialog->txtProjName, Qt::Key_Return); // Enter is Ok, as the button shows

    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(configure.count(), 1);
    StartNewProject(configure[0][0].value<NewProject>());
    const ProjectSettings& s = ProjectSettings::instance();
    QCOMPARE(s.ProjectState, ProjectState::Configuring);
    QCOMPARE(s.ProjectName, QStringLiteral("Visitors"));
    // The project's files, badges among them, are read and written in the code page chosen.
    QCOMPARE(s.CodePage.name(), QStringLiteral("windows-1251"));
    QCOMPARE(legacyCodePage(), s.CodePage);
    const QStringList paths = {s.ProjectFile, s.BadgeDir, s.LogoDir, s.PhotoDir, s.SignDir};
    QCOMPARE(
        paths.join(u' '),
        QStringLiteral("%1/data/Visitors.Prj %1/Badges/ %1/Logo/ %1/Photos/ %1/Signs/").arg(root));
    for (const QString& folder : {s.ProjectDir, s.BadgeDir, s.LogoDir, s.PhotoDir, s.SignDir})
        QVERIFY2(QDir(folder).exists(), qPrintable(folder));
    QVERIFY(!QFile::exists(s.ProjectFile)); // the wizard's Finish writes it
    QTRY_VERIFY(!alive);

    // Given up before its file is written, the project takes the folders it made away again,
    // but none that holds something by now.
    QFile kept(s.PhotoDir + QStringLiteral("kept.jpg"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();
    AbandonNewProject();
    for (const QString& folder : {s.ProjectDir, s.BadgeDir, s.LogoDir, s.SignDir})
        QVERIFY2(!QDir(folder).exists(), qPrintable(folder));
    QVERIFY(kept.exists() && QDir(m_dir.path()).exists());
}

void tst_frmNewProj::anExistingProjectIsReplacedOnlyOnYes()
{
    const QString root = m_dir.filePath(QStringLiteral("Existing"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/data")));
    QFile old(root + QStringLiteral("/data/Staff.Prj"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.close();

    ProjectSettings& open = ProjectSettings::instance(); // the project open before New
    open.ProjectFile = m_dir.filePath(QStringLiteral("Open.Prj"));
    open.ProjectDir = m_dir.path() + u'/';
    SetProjectState(ProjectState::Written);
    const QString openBadges = open.BadgeDir;

    frmNewProj* dialog = openDialog();
    QSignalSpy configure(dialog, &frmNewProj::configureWanted);
    dialog->txtProjName->setText(QStringLiteral("Staff"));
    m_dialogs.folderAnswers = {root};
    dialog->cmdProject->click();
    m_dialogs.answers = {MessageAnswer::No};
    dialog->ok();
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{"This projectname is already exist on given path! Do you want to "
                         "replace?"});
    QCOMPARE(m_dialogs.messages[0].buttons, MessageButtons::YesNo);
    QVERIFY(dialog->isVisible());
    QCOMPARE(configure.count(), 0);
    // No changes nothing of the open project: a Save after it writes the open one, not this.
    QCOMPARE(open.ProjectFile, m_dir.filePath(QStringLiteral("Open.Prj")));
    QCOMPARE(open.ProjectDir, m_dir.path() + u'/');
    QCOMPARE(open.BadgeDir, openBadges);
    QCOMPARE(open.ProjectState, ProjectState::Written);

    m_dialogs.answers = {MessageAnswer::Yes};
    dialog->ok();
    QCOMPARE(configure.count(), 1);
    QCOMPARE(configure[0][0].value<NewProject>().projectFile, old.fileName());
    QCOMPARE(open.ProjectFile,
             m_dir.filePath(QStringLiteral("Open.Prj"))); // closed by the receiver
}

void tst_frmNewProj::okRefusesWhatCannotBecomeAProject_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* tag, const char* name, const char* folder,
                        const char* message) {
        QTest::newRow(tag) << QString(name) << QString(folder) << QString(message);
    };
    row("no name", "", "/tmp/x/", "Please enter a project name");
    row("a slash in the name", "a/b", "/tmp/x/", "Please enter a project name");
    row("a quote in the name", "say \"hi\"", "/tmp/x/", "Please enter a project name");
    row("no folder", "Staff", "", "Please choose the project directory.");
    row("a relative folder", "Staff", "Cards/data/", "must be a full path");
    row("a folder that cannot be made", "Staff", "/proc/vellumark/data/", "cannot be created");
    QTest::newRow("a name too long for a file") << QString(300, u'n') << "/tmp/x/" << "too long";
}

void tst_frmNewProj::okRefusesWhatCannotBecomeAProject()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, message);
    frmNewProj* dialog = openDialog();
    QSignalSpy configure(dialog, &frmNewProj::configureWanted);
    dialog->txtProjName->setText(name);
    dialog->txtProjectDir->setText(folder);
    dialog->ok();
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages[0].text.contains(message), qPrintable(m_dialogs.messages[0].text));
    QCOMPARE(configure.count(), 0);
    QVERIFY(dialog->isVisible());
    QVERIFY(ProjectSettings::instance().ProjectFile.isEmpty());
}

void tst_frmNewProj::cancelKeepsTheOpenProject()
{
    SetProjectState(ProjectState::Written); // a project was open
    ProjectSettings::instance().ProjectName = QStringLiteral("Open");
    QPointer<frmNewProj> dialog = openDialog();
    m_dialogs.folderAnswers = {m_dir.filePath(QStringLiteral("Unused"))};
    dialog->cmdProject->click();
    dialog->cmdCancel->click();
    QCOMPARE(ProjectSettings::instance().ProjectState, ProjectState::Written); // menus stay
    QCOMPARE(ProjectSettings::instance().ProjectName, QStringLiteral("Open"));
    QVERIFY(!QDir(m_dir.filePath(QStringLiteral("Unused"))).exists());
    QTRY_VERIFY(!dialog);
}

void tst_frmNewProj::directoryChooserWritesOnlyOnOk()
{
    // The folder shown is scrolled into view once the tree has read its neighbours.
    for (int i = 0; i < 80; ++i)
        QVERIFY(
            QDir(m_dir.path()).mkpath(QStringLiteral("many/f%1").arg(i, 2, 10, QLatin1Char('0'))));
    QLineEdit target(QStringLiteral("/kept/"));
    auto* chooser = new frmDirChooser;
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    m_area->addSubWindow(chooser);
    chooser->show();
    QCOMPARE(chooser->txtPath->text(), QDir::homePath() + u'/');
    chooser->showFolder(m_dir.filePath(QStringLiteral("many/f70")));
    const auto* tree = static_cast<const QFileSystemModel*>(chooser->Dir1->model());
    QTRY_COMPARE(tree->rowCount(tree->index(m_dir.filePath(QStringLiteral("many")))), 80);
    QTRY_VERIFY(chooser->Dir1->viewport()->rect().contains(
        chooser->Dir1->visualRect(chooser->Dir1->currentIndex())));

    // A folder chosen in the tree reaches the path box, and Ok puts it in the target with "/".
    QPointer<frmDirChooser> alive(chooser);
    chooser->TargetBox = &target;
    chooser->showFolder(m_dir.path());
    QCOMPARE(chooser->txtPath->text(), m_dir.path() + u'/');
    chooser->txtPath->setText(m_dir.path());
    chooser->cmdOk->click();
    QCOMPARE(target.text(), m_dir.path() + u'/');
    QTRY_VERIFY(!alive);

    chooser = new frmDirChooser;
    m_area->addSubWindow(chooser);
    chooser->show();
    chooser->TargetBox = &target;
    chooser->showFolder(QDir::rootPath());
    QCOMPARE(chooser->Drive1->currentText(), QDir::rootPath());
    chooser->Command2->click();
    QCOMPARE(target.text(), m_dir.path() + u'/');
    QVERIFY(chooser->txtPath->text().isEmpty());

    // The target may be gone by the time the operator answers.
    chooser = new frmDirChooser;
    m_area->addSubWindow(chooser);
    {
        QLineEdit gone;
        chooser->TargetBox = &gone;
    }
    chooser->cmdOk->click();
}

QTEST_MAIN(tst_frmNewProj)
#include "tst_frmNewProj.moc"
