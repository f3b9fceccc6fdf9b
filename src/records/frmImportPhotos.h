#pragma once

#include <QMdiSubWindow>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace vm {

class Dialogs;
struct PhotoImportReport;

// Data > Import Photos: a folder of photographs brought into the open project, each cropped
// around the face to the badge's photo frame (importPhotos does the work; the command
// vellumark-photos does the same). "Check Only" says what would happen and writes nothing.
// The import runs on a thread of its own, so the window stays drawn and Cancel is heard;
// cancelled, the photographs written so far stay and the report names the files left.
class frmImportPhotos : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmImportPhotos(Dialogs& dialogs, QWidget* parent = nullptr);
    ~frmImportPhotos() override;

    bool isImporting() const { return m_thread != nullptr; }

    QLineEdit* txtFolder = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QComboBox* cmbBadge = nullptr;
    QCheckBox* chkReplace = nullptr;
    QPushButton* cmdDryRun = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdClose = nullptr;
    QProgressBar* prgImport = nullptr;
    QPushButton* cmdCancel = nullptr;
    QLabel* lblSummary = nullptr;
    QPlainTextEdit* txtReport = nullptr;

Q_SIGNALS:
    // Photographs were written: badges showing them are out of date.
    void photosImported();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Running;

    void browse();
    void run(bool dryRun);
    void cancel();
    void showProgress(int done, int total);
    void finish();
    void showReport(const PhotoImportReport& report, bool dryRun);
    void setImporting(bool importing);

    Dialogs& m_dialogs;
    std::shared_ptr<Running> m_running;
    std::unique_ptr<QThread> m_thread; // the import under way; null when none
};

} // namespace vm
