#pragma once

#include <QMdiSubWindow>
#include <QSizeF>

namespace vm {

// One side of the chosen badge at card size: the front view "frmFront" or the back view
// "frmBack". Both live as long as the main window.
class RenderingWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    enum class Side { Front, Back };

    RenderingWindow(Side side, QWidget* parent = nullptr);

    Side side() const { return m_side; }

    // Gives window and canvas the card size, in twips.
    void setCardSize(QSizeF twips);
    QSizeF cardSize() const { return m_cardTwips; }
    QWidget* canvas() const { return m_canvas; }

    // Removes every element of the side; the window stays open with an empty canvas.
    void UnloadBadgeElements();

private:
    Side m_side;
    QSizeF m_cardTwips;
    QWidget* m_canvas;
};

} // namespace vm
