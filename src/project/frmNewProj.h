#pragma once

#include <QMdiSubWindow>

class QLineEdit;
class QPushButton;

namespace vm {

class Dialogs;

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
    QPushButton* cmdOk;
    QPushButton* cmdCancel;

    // The folder buttons and Ok, for callers without a mouse (menus, tests).
    void chooseFolder(QPushButton* button);
    void ok();
    void cancel();

Q_SIGNALS:
    // Ok made the project: the wizard is to configure its database now.
    void configureWanted();

private:
    QString checkedFolder(QLineEdit* box, const QString& what);

    Dialogs& m_dialogs;
};

} // namespace vm
