#pragma once

#include "render/PrintPage.h"

#include <QWidget>

namespace vm {

// The print page's paper on screen, drawn by the page composer exactly as it prints (without a
// printer's offset), on a grey desk. Each slot of the shown page is a child widget "Pict" a
// screen reader names by its badge; empty slots show a dashed outline that never prints.
class PrintPageView : public QWidget {
    Q_OBJECT
public:
    explicit PrintPageView(QWidget* parent = nullptr);

    // Not owned; the view only reads the page.
    void setPage(const PrintPage* page);
    void setPlan(const SheetPlan& plan, int shownPage);
    int shownPage() const { return m_shown; }

    // Pixels a twip; the paper keeps this margin of desk round it.
    void setScale(double pixelsPerTwip);
    double scale() const { return m_scale; }
    static constexpr double DeskMarginTwips = 120;

    // Where a slot of the shown page is, in this widget's pixels.
    QRectF slotRect(int slot) const;
    QRectF paperRect() const;
    // Draws this badge's slot with a frame, as a problem list points at it; -1: none.
    void setHighlightedItem(int ino);

    QSize sizeHint() const override;

    QList<QWidget*> Pict; // the shown page's slots, by slot index

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildSlots();
    QString slotName(int slot) const;

    const PrintPage* m_page = nullptr;
    SheetPlan m_plan{SheetLayout{}, {}, 0};
    int m_shown = 0;
    double m_scale = 1.0 / 15;
    int m_highlighted = -1;
};

} // namespace vm
