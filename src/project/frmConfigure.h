#pragma once

#include "project/Database.h"
#include "project/ProjectSettings.h"
#include "widgets/CommonDialog.h"

#include <QComboBox>
#include <QList>
#include <QMdiSubWindow>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStackedLayout;

namespace vm {

class CodePageBox;
class Dialogs;

// A combo box whose list is filled anew each time it opens.
class RefillingComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

Q_SIGNALS:
    void aboutToOpen();
};

// "Configure Databse": binds the project to its database in five steps (database, tables,
// master table and relations, photograph and signature, summary). The wizard works on its own
// draft; Finish writes the project file and only then makes the draft the open project.
class frmConfigure : public QMdiSubWindow {
    Q_OBJECT
public:
    // `mainFileDialog` is the main window's, used when Finish must ask for a project file.
    frmConfigure(Dialogs& dialogs, CommonDialog& mainFileDialog, QWidget* parent = nullptr);
    ~frmConfigure() override;

    // Puts frame CurrentStep on the window and takes the others off.
    void ShowFrame();
    // Fills the wizard from the open project's settings.
    void ShowConfig();

    // The project as Finish would store it: the open project's settings with the wizard's
    // choices over them.
    StoredSettings draft() const;

    // What the buttons do, for callers without a mouse.
    void next();
    void back();
    bool finish();
    void browseDatabase();
    // Opens the database named in the path box (a file or a postgresql:// address).
    bool testConnection();
    void addTable();
    void removeTable();
    void createRelation();
    void removeRelation();

    qint16 CurrentStep = 0;
    qint16 LastStep = 4;

    QList<QGroupBox*> Frame1;
    QPushButton* cmdBack;
    QPushButton* cmdNext;
    QPushButton* cmdFinish;

    // Step 0
    QLineEdit* txtDBPath;
    QPushButton* cmdBrowse;
    QPushButton* cmdTestConnection;
    QLabel* lblConnection;
    QComboBox* cmbCodePage;
    CodePageBox* cmbTextCodePage; // of the project's own files, unlike the Access file's above
    QLabel* lblCodePageSample;
    QListWidget* lstTables;
    // Step 1
    QListWidget* lstAllTables;
    QListWidget* lstSelectedTables;
    QPushButton* cmdAddTable;
    QPushButton* cmdRemTable;
    QLabel* lblUnavailable;
    // Step 2
    RefillingComboBox* cmbMasterTable;
    QComboBox* cmbUniqueField;
    QListWidget* lstRelatedTables;
    QComboBox* cmbRelations;
    QPushButton* cmdRemoveRelation;
    QGroupBox* frmRelation;
    QComboBox* cmbMaster;
    QComboBox* cmbMasterField;
    QComboBox* cmbChild;
    QComboBox* cmbLinkingField;
    QPushButton* Command1;
    // Step 3
    QCheckBox* chkPlaceImages;
    QGroupBox* frmImages;
    QLineEdit* txtImgPath;
    QPushButton* Command3;
    RefillingComboBox* cmbImageField;
    RefillingComboBox* cmbSignField;
    QLineEdit* txtSignPath;
    QPushButton* cmdSignFolder;
    // Step 4
    QLabel* lblDatabase;
    QLabel* lblMasterTable;
    QLabel* lblTotalSelTables;
    QLabel* lblTotalRelations;
    QLabel* lblImageField;
    QLabel* lblSignField;
    QLabel* lblImagePath;
    QLabel* lblSignPath;
    QLabel* lblPictureCheck; // what the picture settings find in their folders

Q_SIGNALS:
    // A folder button was pressed: the directory chooser is to fill `box`.
    void folderWanted(QLineEdit* box);
    // Finish stored the project: the record browser is to open.
    void configured();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDatabaseStep(QGroupBox* frame);
    void buildTablesStep(QGroupBox* frame);
    void buildRelationStep(QGroupBox* frame);
    void buildImageStep(QGroupBox* frame);
    void buildSummaryStep(QGroupBox* frame);

    QString databasePath() const;
    bool openDatabase(const QString& path);
    void listTables();
    void showCodePageChoice();
    void setCodePageOffered(bool offered);
    void selectCodePage(const QByteArray& charset);
    void showCodePageSample();
    void clearTableChoices();
    void fillTableItem(QListWidgetItem* item);
    bool checkStep();

    void refillMasterTables();
    void chooseMasterTable(int index);
    void chooseChild(int index);
    void refillPictureFields(QComboBox* combo);
    void updateTotals();
    void showPictureCheck();
    void sayNotConnected();
    void refreshColumnLists();
    void placeImagesClicked(bool ticked);

    Dialogs& m_dialogs;
    CommonDialog& m_mainFileDialog;
    CommonDialog cdlg;
    DatabaseConnection m_connection;
    QString m_openedPath;      // the database the table lists come from
    QString m_relationsMaster; // the master table the relations were made for
    qint16 m_placeImages = 0;
    bool m_offerCodePage = false; // the open file is an old Jet 3 one
    QStackedLayout* m_frames;
    QString m_notConnected; // why the project's database did not open, until it is said
};

} // namespace vm
