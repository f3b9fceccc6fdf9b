#pragma once

#include "badge/BadgeSide.h"
#include "records/LinkedRecord.h"

#include <QMdiSubWindow>
#include <QSizeF>

#include <optional>

namespace vm {

class BadgeCanvas;
class Dialogs;
struct BadgeLayoutRead;

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

    // The side as loaded, with its field references; linking never changes it.
    const BadgeSide& layout() const { return m_layout; }
    // The record shown, if one is.
    const std::optional<LinkedRecord>& record() const { return m_record; }
    // Exactly what is drawn and printed: the layout as designed until a record is linked, then
    // filled with that record, and after a link that did not complete, emptied of every value
    // and picture.
    BadgeSide shownSide() const { return m_shown; }
    const BadgeSide& badgeSide() const { return m_shown; }

    // Fills the side with a linked record.
    void showRecord(const LinkedRecord& record);
    // After a link that did not complete: nothing of the previous record stays.
    void showNoRecord();
    // While the next record is read: the previous one is dropped at once (record() and what
    // prints are empty), but the canvas is repainted only by repaintAwaited(), so a quick read
    // paints once, with the new person, instead of flashing an empty card before him.
    void awaitRecord();
    void repaintAwaited();

    // Builds the side from a badge file (empty: the project's current badge). The canvas is
    // emptied first and stays empty when the badge belongs to another project or database.
    void Load_Card(const QString& Badpath = {});
    // The same from a badge file already read, so both views are built from one reading.
    void Load_Card(const BadgeLayoutRead& read);

    // Removes every element; the window stays open with an empty canvas.
    void UnloadBadgeElements();

Q_SIGNALS:
    // The badge file's orientation code (1 landscape, 2 portrait, anything else: no change).
    void orientationRead(int code);
    // A badge was built in this window.
    void badgeLoaded();

private:
    void setShown(BadgeSide side);

    Side m_which;
    Dialogs& m_dialogs;
    BadgeSide m_layout;
    std::optional<LinkedRecord> m_record;
    BadgeSide m_shown; // what the canvas draws
    BadgeCanvas* Picture1;
};

} // namespace vm
