#include "widgets/frmProgress.h"

#include "widgets/ScreenUnits.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMdiArea>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace vm {

frmProgress::frmProgress(QWidget* parent)
    : QMdiSubWindow(parent)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Please wait ...."));
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_label = new QLabel(QStringLiteral("Please wait while data are being accessed ......."), body);
    m_label->setObjectName(QStringLiteral("Label1"));
    ProgressBar1 = new QProgressBar(body);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    m_reading = new QLabel(body);
    m_reading->setObjectName(QStringLiteral("lblReading"));
    m_reading->hide();
    layout->addWidget(m_label);
    layout->addWidget(m_reading);
    layout->addWidget(ProgressBar1);
    setWidget(body);
    resize(screenSize(this, {4800, 1500}));
}

void frmProgress::centreIn(const QSize& area)
{
    move(int(area.width() / 2.0 - width() / 2.0), int(area.height() / 2.0 - height() / 2.0));
}

void frmProgress::setReading(const QString& what)
{
    m_reading->setText(what);
    m_reading->setVisible(!what.isEmpty());
    // The line in full, with room for the frame.
    resize(size().expandedTo(sizeHint() + QSize(fontMetrics().averageCharWidth() * 4, 0)));
    setAccessibleDescription(what);
}

void readWhileWaiting(QMdiArea* area, const QString& what, const std::function<void()>& work)
{
    // Long enough that a quick read does not flash a window, short enough to answer a click.
    constexpr int ShowAfterMs = 400;
    // A window still being made has no area yet: the main window's serves.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!area && top->isVisible())
            area = top->findChild<QMdiArea*>();
    }
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create(work));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QPointer<frmProgress> window;
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, &loop, [&] {
        window = new frmProgress;
        window->setReading(what);
        window->ProgressBar1->setRange(0, 0); // how much is left is not known
        if (area) {
            area->addSubWindow(window);
            window->centreIn(area->contentsRect().size());
        } else {
            window->setParent(nullptr);
        }
        window->show();
        window->raise();
    });
    thread->start();
    later.start(ShowAfterMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    delete window.data();
}

} // namespace vm
