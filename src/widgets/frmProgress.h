#pragma once

#include <QMdiSubWindow>

class QLabel;
class QProgressBar;

namespace vm {

// "Please wait ...." with a bar, shown while records are read.
class frmProgress : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit frmProgress(QWidget* parent = nullptr);

    QProgressBar* ProgressBar1;

    // Centres the window in the area it is shown in, as it does when loaded.
    void centreIn(const QSize& area);

private:
    QLabel* m_label;
};

} // namespace vm
