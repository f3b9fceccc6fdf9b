#include "project/frmNewProj.h"

#include "common/FileNames.h"
#include "project/Database.h"
#include "project/ProjectFile.h"
#include "project/ProjectLayout.h"
#include "project/ProjectSettings.h"
#include "widgets/CodePageBox.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>
#include <utility>

namespace vm {
namespace {

// Folder boxes and their buttons, with the title of each button's folder dialog.
struct FolderRow {
    const char* label;
    const char* box;
    const char* button;
    const char* dialogTitle;
};

constexpr FolderRow FolderRows[] = {
    {"Project Directory", "txtProjectDir", "cmdProject", "Browse"},
    {"Badge Directory", "txtBadgeDir", "cmdBadge", "Badge Directory"},
    {"Logo Directory", "txtLogoDir", "cmdLogo", "Logo Directory"},
    {"Photo Directory", "txtPhotoDir", "cmdPhoto", "Photo Directory"},
    {"Sign. Directory", "txtSignDir", "cmdSign", "Sign. Directory"},
};

QStringList& foldersOfTheNewProject()
{
    static QStringList folders;
    return folders;
}

} // namespace

void AbandonNewProject()
{
    removeEmptyFolders(std::exchange(foldersOfTheNewProject(), {}));
}

void KeepNewProject()
{
    foldersOfTheNewProject().clear();
}

void StartNewProject(const NewProject& project)
{
    foldersOfTheNewProject() = project.createdFolders;
    ProjectSettings& settings = ProjectSettings::instance();
    SetProjectState(ProjectState::Configuring);
    settings.PhotoDir = project.photoDir;
    settings.SignDir = project.signDir;
    settings.ProjectDir = project.projectDir;
    settings.BadgeDir = project.badgeDir;
    settings.LogoDir = project.logoDir;
    settings.ProjectName = project.name;
    settings.ProjectFile = project.projectFile;
    DatabaseConnection::setProjectFolder(project.projectDir);
    settings.CodePage = project.codePage;
    settings.AccessCodePage.clear();
    useCodePagesOf(settings);
}

frmNewProj::frmNewProj(Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmNewProj"));
    setWindowTitle(QStringLiteral("New Project"));
    auto* body = new QWidget(this);
    auto* grid = new QGridLayout;

    txtProjName = new QLineEdit(QStringLiteral("New Project"), body);
    txtProjName->setObjectName(QStringLiteral("txtProjName"));
    auto* nameLabel = new QLabel(QStringLiteral("Project Name:"), body);
    nameLabel->setBuddy(txtProjName);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(txtProjName, 0, 1, 1, 2);

    QLineEdit** boxes[] = {&txtProjectDir, &txtBadgeDir, &txtLogoDir, &txtPhotoDir, &txtSignDir};
    QPushButton** buttons[] = {&cmdProject, &cmdBadge, &cmdLogo, &cmdPhoto, &cmdSign};
    int row = 1;
    for (const FolderRow& folder : FolderRows) {
        auto* box = new QLineEdit(body);
        box->setObjectName(QString::fromLatin1(folder.box));
        auto* label = new QLabel(QString::fromLatin1(folder.label), body);
        label->setBuddy(box);
        auto* button = new QPushButton(QStringLiteral("..."), body);
        button->setObjectName(QString::fromLatin1(folder.button));
        button->setToolTip(tr("Choose the %1").arg(QString::fromLatin1(folder.label).toLower()));
        button->setAccessibleName(button->toolTip());
        button->setProperty("dialogTitle", QString::fromLatin1(folder.dialogTitle));
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) * 3);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        grid->addWidget(button, row, 2);
        *boxes[row - 1] = box;
        *buttons[row - 1] = button;
        connect(button, &QPushButton::clicked, this, [this, button] { chooseFolder(button); });
        ++row;
    }
    cmbTextCodePage = new CodePageBox(body);
    cmbTextCodePage->setCodePage(bareProjectCodePage());
    grid->addWidget(cmbTextCodePage->label(), row, 0);
    grid->addWidget(cmbTextCodePage, row, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    cmdOk = new QPushButton(QStringLiteral("&Ok"), body);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), body);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    buttonRow->addWidget(cmdOk);
    buttonRow->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(body);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(buttonRow);
    setWidget(body);
    resize(560, 290);

    connect(cmdOk, &QPushButton::clicked, this, &frmNewProj::ok);
    connect(cmdCancel, &QPushButton::clicked, this, &frmNewProj::cancel);
    // A sub-window has no default button of its own: Enter in a box is Ok, as the button shows.
    for (QLineEdit* box :
         {txtProjName, txtProjectDir, txtBadgeDir, txtLogoDir, txtPhotoDir, txtSignDir})
        connect(box, &QLineEdit::returnPressed, this, &frmNewProj::ok);
}

void frmNewProj::chooseFolder(QPushButton* button)
{
    QLineEdit* const boxes[] = {txtProjectDir, txtBadgeDir, txtLogoDir, txtPhotoDir, txtSignDir};
    QPushButton* const buttons[] = {cmdProject, cmdBadge, cmdLogo, cmdPhoto, cmdSign};
    const auto at = std::find(std::begin(buttons), std::end(buttons), button);
    if (at == std::end(buttons))
        return;
    QLineEdit* box = boxes[at - std::begin(buttons)];
    const QString start = box->text().isEmpty() ? txtProjectDir->text() : box->text();
    const QString chosen = m_dialogs.folder(this, button->property("dialogTitle").toString(),
                                            start.isEmpty() ? QDir::homePath() : start);
    if (chosen.isEmpty())
        return;
    box->setText(withTrailingSlash(chosen));
    if (box != txtProjectDir)
        return;

    txtProjectDir->setText(projectFolderFor(txtProjectDir->text()));
    const ProposedFolders proposed = proposedFolders(txtProjectDir->text());
    const std::pair<QLineEdit*, QString> others[] = {{txtBadgeDir, proposed.badges},
                                                     {txtLogoDir, proposed.logos},
                                                     {txtPhotoDir, proposed.photos},
                                                     {txtSignDir, proposed.signs}};
    for (const auto& [other, folder] : others) {
        if (other->text().isEmpty())
            other->setText(folder);
    }
}

// The box's folder as a full path ending in "/", or empty after saying what is wrong with it.
QString frmNewProj::checkedFolder(QLineEdit* box, const QString& what)
{
    QString folder = box->text().trimmed();
    if (folder == u'~' || folder.startsWith(QLatin1String("~/")))
        folder = QDir::homePath() + folder.mid(1);
    if (folder.isEmpty()) {
        MsgBox(m_dialogs, this, QStringLiteral("Please choose the %1.").arg(what));
        box->setFocus();
        return {};
    }
    if (!QDir::isAbsolutePath(folder)) {
        MsgBox(m_dialogs, this,
               QStringLiteral("The %1 must be a full path, such as %2.")
                   .arg(what, QDir::homePath() + QStringLiteral("/Cards/")));
        box->setFocus();
        return {};
    }
    return withTrailingSlash(QDir::cleanPath(folder));
}

void frmNewProj::ok()
{
    const QString name = txtProjName->text().trimmed();
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'"') || name == u"." ||
        name == u"..") {
        MsgBox(m_dialogs, this,
               QStringLiteral("Please enter a project name; it names the project file, so it "
                              "cannot hold \"/\" or a double quote."));
        txtProjName->setFocus();
        return;
    }
    if (!projectNameFits(name)) {
        MsgBox(m_dialogs, this,
               QStringLiteral("The project name is too long for a file name: %1 characters. "
                              "Please shorten it.")
                   .arg(name.size()));
        txtProjName->setFocus();
        return;
    }
    const QString project = checkedFolder(txtProjectDir, QStringLiteral("project directory"));
    if (project.isEmpty())
        return;
    // Folders left empty get the proposal for the project folder.
    const ProposedFolders proposed = proposedFolders(project);
    const std::tuple<QLineEdit*, QString, QString> others[] = {
        {txtBadgeDir, proposed.badges, QStringLiteral("badge directory")},
        {txtLogoDir, proposed.logos, QStringLiteral("logo directory")},
        {txtPhotoDir, proposed.photos, QStringLiteral("photo directory")},
        {txtSignDir, proposed.signs, QStringLiteral("signature directory")}};
    QStringList folders{project};
    for (const auto& [box, folder, what] : others) {
        if (box->text().trimmed().isEmpty())
            box->setText(folder);
        folders << checkedFolder(box, what);
        if (folders.last().isEmpty())
            return;
    }
    txtProjectDir->setText(folders[0]);
    for (qsizetype i = 1; i < folders.size(); ++i)
        std::get<0>(others[i - 1])->setText(folders[i]);

    // The open project is left as it is: the folders are made only once the operator agreed to
    // replace a project file of the same name, and the receiver of configureWanted closes it.
    const QString projectFile = folders[0] + name + QStringLiteral(".Prj");
    if (QFileInfo::exists(projectFile) &&
        MsgBox(m_dialogs, this,
               QStringLiteral("This projectname is already exist on given path! Do you want to "
                              "replace?"),
               MessageButtons::YesNo) != MessageAnswer::Yes)
        return;
    QStringList created;
    for (const QString& folder : folders) {
        for (const QString& missing : missingFolders(folder)) {
            if (!created.contains(missing))
                created << missing;
        }
        if (!QDir().mkpath(folder)) {
            removeEmptyFolders(created);
            m_dialogs.message(this, {QStringLiteral("The folder %1 cannot be created.")
                                         .arg(QStringLiteral("\u201c%1\u201d").arg(folder)),
                                     MessageButtons::Ok,
                                     MessageIcon::Exclamation,
                                     {},
                                     QStringLiteral("Check that the folder above it may be "
                                                    "written, or choose another one.")});
            return;
        }
    }
    Q_EMIT configureWanted({name, projectFile, folders[0], folders[1], folders[2], folders[3],
                            folders[4], created, cmbTextCodePage->codePage()});
    close();
}

void frmNewProj::cancel()
{
    close(); // nothing was changed before Ok succeeded, so the open project stays as it was
}

} // namespace vm
