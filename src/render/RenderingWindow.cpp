#include "render/RenderingWindow.h"

#include "app/ScreenUnits.h"

namespace vm {

RenderingWindow::RenderingWindow(Side side, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_side(side)
{
    const bool front = side == Side::Front;
    setObjectName(front ? QStringLiteral("frmFront") : QStringLiteral("frmBack"));
    setWindowTitle(front ? QStringLiteral("Front View") : QStringLiteral("Back View"));
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_canvas = new QWidget(this);
    m_canvas->setObjectName(QStringLiteral("Picture1"));
    m_canvas->setAutoFillBackground(true);
    QPalette palette = m_canvas->palette();
    palette.setColor(QPalette::Window, Qt::white);
    m_canvas->setPalette(palette);
    setWidget(m_canvas);
    setCardSize(cardSizeTwips(Orientation::Landscape));
}

void RenderingWindow::setCardSize(QSizeF twips)
{
    m_cardTwips = twips;
    m_canvas->setFixedSize(screenSize(this, twips));
    adjustSize();
}

void RenderingWindow::UnloadBadgeElements()
{
    m_canvas->update();
}

} // namespace vm
