#include "widgets/frmProgress.h"

#include "widgets/ScreenUnits.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

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
    layout->addWidget(m_label);
    layout->addWidget(ProgressBar1);
    setWidget(body);
    resize(screenSize(this, {4800, 1500}));
}

void frmProgress::centreIn(const QSize& area)
{
    move(int(area.width() / 2.0 - width() / 2.0), int(area.height() / 2.0 - height() / 2.0));
}

} // namespace vm
