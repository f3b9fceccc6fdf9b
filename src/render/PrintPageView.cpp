#include "render/PrintPageView.h"

#include <QPainter>

#include <cmath>

namespace vm {

PrintPageView::PrintPageView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Print page"));
}

void PrintPageView::setPage(const PrintPage* page)
{
    m_page = page;
    rebuildSlots();
    update();
}

void PrintPageView::setPlan(const SheetPlan& plan, int shownPage)
{
    m_plan = plan;
    m_shown = shownPage;
    updateGeometry();
    rebuildSlots();
    update();
}

void PrintPageView::setScale(double pixelsPerTwip)
{
    m_scale = pixelsPerTwip;
    updateGeometry();
    rebuildSlots();
    update();
}

void PrintPageView::setHighlightedItem(int ino)
{
    m_highlighted = ino;
    update();
}

QRectF PrintPageView::paperRect() const
{
    const SheetLayout& layout = m_plan.layout();
    return {DeskMarginTwips * m_scale, DeskMarginTwips * m_scale, layout.page.width() * m_scale,
            layout.page.height() * m_scale};
}

QRectF PrintPageView::slotRect(int slot) const
{
    const QRectF twips = m_plan.layout().slotRects.value(slot);
    const QPointF origin = paperRect().topLeft();
    return {origin.x() + twips.x() * m_scale, origin.y() + twips.y() * m_scale,
            twips.width() * m_scale, twips.height() * m_scale};
}

QSize PrintPageView::sizeHint() const
{
    const QRectF paper = paperRect();
    return {int(std::ceil(paper.right() + DeskMarginTwips * m_scale)),
            int(std::ceil(paper.bottom() + DeskMarginTwips * m_scale))};
}

QString PrintPageView::slotName(int slot) const
{
    for (const PlacedCard& placed : m_plan.page(m_shown)) {
        if (placed.slot != slot)
            continue;
        const PrintSlot* item = m_page ? m_page->at(placed.item) : nullptr;
        if (!item)
            break;
        const QString who =
            item->record ? tr("record %1").arg(item->record->key.text()) : tr("no record");
        return placed.face == CardFace::Back
                   ? tr("Badge %1, back, %2").arg(placed.item + 1).arg(who)
                   : tr("Badge %1, %2").arg(placed.item + 1).arg(who);
    }
    return tr("Slot %1, empty").arg(slot + 1);
}

void PrintPageView::rebuildSlots()
{
    const int count = m_plan.layout().slotsPerPage();
    while (Pict.size() > count)
        delete Pict.takeLast();
    while (Pict.size() < count) {
        auto* slot = new QWidget(this);
        slot->setObjectName(QStringLiteral("Pict"));
        slot->setFocusPolicy(Qt::NoFocus);
        slot->show();
        Pict << slot;
    }
    for (int k = 0; k < count; ++k) {
        Pict[k]->setProperty("slot", k);
        Pict[k]->setGeometry(slotRect(k).toAlignedRect());
        const QString name = slotName(k);
        Pict[k]->setAccessibleName(name);
        Pict[k]->setToolTip(name);
    }
}

void PrintPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    const QRectF paper = paperRect();
    painter.fillRect(paper.translated(3, 3), QColor(0, 0, 0, 60));
    painter.fillRect(paper, Qt::white);

    painter.save();
    painter.translate(paper.topLeft());
    painter.scale(m_scale, m_scale);
    painter.setClipRect(QRectF(QPointF(), m_plan.layout().page));
    QList<SheetCard> cards;
    if (m_page)
        cards = m_page->cards(m_plan, m_shown);
    paintSheet(painter, m_plan.layout(), cards, m_plan.options(),
               renderOptions(RenderMode::Output, {}));
    painter.restore();

    // Outlines of what is not printed: empty slots, and the badge a problem points at.
    QList<bool> filled(m_plan.layout().slotsPerPage(), false);
    for (const SheetCard& card : std::as_const(cards))
        filled[card.slot] = true;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (int k = 0; k < filled.size(); ++k) {
        if (filled[k])
            continue;
        painter.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1, Qt::DashLine));
        painter.drawRect(slotRect(k).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    if (m_highlighted >= 0) {
        for (const PlacedCard& placed : m_plan.page(m_shown)) {
            if (placed.item != m_highlighted)
                continue;
            painter.setPen(QPen(QColor(0xe0, 0x60, 0x00), 3));
            painter.drawRect(slotRect(placed.slot).adjusted(-2, -2, 2, 2));
        }
    }
}

} // namespace vm
