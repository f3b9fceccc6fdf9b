#pragma once

#include <QMdiSubWindow>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace vm {

class Dialogs;

// Data > Import Photos: a folder of photographs brought into the open project, each cropped
// around the face to the badge's photo frame (importPhotos does the work; the command
// vellumark-photos does the same). "Check Only" says what would happen and writes nothing.
class frmImportPhotos : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmImportPhotos(Dialogs& dialogs, QWidget* parent = nullptr);

    QLineEdit* txtFolder = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QComboBox* cmbBadge = nullptr;
    QCheckBox* chkReplace = nullptr;
    QPushButton* cmdDryRun = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdClose = nullptr;
    QProgressBar* prgImport = nullptr;
    QLabel* lblSummary = nullptr;
    QPlainTextEdit* txtReport = nullptr;

Q_SIGNALS:
    // Photographs were written: badges showing them are out of date.
    void photosImported();

private:
    void browse();
    void run(bool dryRun);

    Dialogs& m_dialogs;
};

} // namespace vm
