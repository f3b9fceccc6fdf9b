#pragma once

#include "common/TextCodePage.h"

#include <QMdiSubWindow>

class QLineEdit;
class QPushButton;

namespace vm {

class CodePageBox;
class Dialogs;

// What Ok chose for the new project: its name, project file and folders, each folder existing.
struct NewProject {
    QString name;
    QString projectFile;
    QString projectDir;
    QString badgeDir;
    QString logoDir;
    QString photoDir;
    QString signDir;
    QStringList createdFolders; // what Ok made, parents first; folders there before are not here
    TextCodePage codePage;
};

// Makes `project` the project being created; whatever was open must be closed before.
void StartNewProject(const NewProject& project);
// The project being created was given up before its file was written: the folders Ok made for
// it go again, as long as they are empty. Once its file is written they are its own.
void AbandonNewProject();
void KeepNewProject();

// "New Project": names the project and proposes its folder tree under a folder the operator
// picks; Ok creates the folders, aims the project file and hands over to the wizard.
class frmNewProj : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmNewProj(Dialogs& dialogs, QWidget* parent = nullptr);

    QLineEdit* txtProjName;
    QLineEdit* txtProjectDir;
    QLineEdit* txtBadgeDir;
    QLineEdit* txtLogoDir;
    QLineEdit* txtPhotoDir;
    QLineEdit* txtSignDir;
    QPushButton* cmdProject;
    QPushButton* cmdBadge;
    QPushButton* cmdLogo;
    QPushButton* cmdPhoto;
    QPushButton* cmdSign;
    CodePageBox* cmbTextCodePage;
    QPushButton* cmdOk;
    QPushButton* cmdCancel;

    // The folder buttons and Ok, for callers without a mouse (menus, tests).
    void chooseFolder(QPushButton* button);
    void ok();
    void cancel();

Q_SIGNALS:
    // Ok made the folders. The open project is not touched here: the receiver closes it (after
    // offering to save it) and starts `project` once this window is gone.
    void configureWanted(const vm::NewProject& project);

private:
    QString checkedFolder(QLineEdit* box, const QString& what);

    Dialogs& m_dialogs;
};

} // namespace vm
