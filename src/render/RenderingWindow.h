#pragma once

#include "badge/BadgeSide.h"

#include <QMdiSubWindow>
#include <QSizeF>

namespace vm {

class BadgeCanvas;
class Dialogs;

// One side of the chosen badge at card size: the front view "frmFront" or the back view
// "frmBack". What it shows is what prints. Both live as long as the main window.
class RenderingWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    enum class Side { Front, Back };

    RenderingWindow(Side side, Dialogs& dialogs, QWidget* parent = nullptr);

    Side side() const { return m_which; }

    // Gives window and canvas the card size, in twips.
    void setCardSize(QSizeF twips);
    QSizeF cardSize() const;
    BadgeCanvas* canvas() const { return Picture1; }

    // The side as shown; after changing it call sideChanged().
    BadgeSide& badgeSide() { return m_side; }
    const BadgeSide& badgeSide() const { return m_side; }
    void sideChanged();

    // Builds the side from a badge file (empty: the project's current badge). The canvas is
    // emptied first and stays empty when the badge belongs to another project or database.
    void Load_Card(const QString& Badpath = {});

    // Removes every element; the window stays open with an empty canvas.
    void UnloadBadgeElements();

Q_SIGNALS:
    // The badge file's orientation code (1 landscape, 2 portrait, anything else: no change).
    void orientationRead(int code);
    // A badge was built in this window.
    void badgeLoaded();

private:
    Side m_which;
    Dialogs& m_dialogs;
    BadgeSide m_side;
    BadgeCanvas* Picture1;
};

} // namespace vm
