#pragma once

#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

namespace vm {

// "Choose Direcory": a folder tree with a path box. Ok writes the chosen folder, ending in "/",
// into TargetBox; Cancel leaves TargetBox as it was.
class frmDirChooser : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmDirChooser(QWidget* parent = nullptr);

    // Set by whoever shows the chooser; may vanish while it is open.
    QPointer<QLineEdit> TargetBox;

    // Shows `folder` in the tree and the path box (a drive of the list when it holds it).
    void showFolder(const QString& folder);

    QComboBox* Drive1;
    QTreeView* Dir1;
    QLineEdit* txtPath;
    QPushButton* cmdOk;
    QPushButton* Command2;

private:
    void onDriveChanged(int index);
    void onOk();
    void onCancel();

    QFileSystemModel* m_folders;
    // The folder kept in view while the tree is still being read.
    QString m_followed;
};

} // namespace vm
