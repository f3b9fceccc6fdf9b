#pragma once

#include <QMdiSubWindow>

#include <functional>

class QLabel;
class QMdiArea;
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

    // What is being read, under the waiting line; empty shows the waiting line alone.
    void setReading(const QString& what);

private:
    QLabel* m_label;
    QLabel* m_reading;
};

// Runs a read that may take long (a slow server, a large table, an Access file copied) on a
// thread of its own, so the windows stay drawn. Once it has run for a moment, frmProgress shows
// in `area` (or on its own when there is none) saying what is read; quick reads show nothing.
// Keys and clicks wait until it is done. `work` must touch only what it makes itself, such as a
// database connection of its own: a connection belongs to the thread that opened it.
void readWhileWaiting(QMdiArea* area, const QString& what, const std::function<void()>& work);

} // namespace vm
