#include "badge/BadgeSide.h"

namespace vm {
namespace {

// Starting values of new elements: a font every installation has, 10 points, black on white,
// sizes that read well on a card of 4876 x 3090 twips.
const QString TemplateFont = QStringLiteral("DejaVu Sans");
constexpr qint32 Black = 0x000000;
constexpr qint32 White = 0xffffff;

Comment templateComment()
{
    Comment c;
    c.Width = 1440;
    c.Height = 285;
    c.FontName = TemplateFont;
    c.FontSize = 10;
    c.ForeColor = Black;
    c.BackColor = White;
    return c;
}

Field templateField()
{
    Field f;
    static_cast<Comment&>(f) = templateComment();
    return f;
}

Logo templateLogo()
{
    Logo logo;
    logo.Width = 1440;
    logo.Height = 1440;
    return logo;
}

Shape templateShape()
{
    Shape shape;
    shape.Width = 1440;
    shape.Height = 720;
    shape.BorderWidth = 1;
    shape.BorderColor = Black;
    shape.BackColor = White;
    return shape;
}

PictureFrame frameAt(float left, float top, float width, float height)
{
    PictureFrame frame;
    frame.Left = left;
    frame.Top = top;
    frame.Width = width;
    frame.Height = height;
    return frame;
}

// The template at index 0 is no element of the side.
template <class T> T* present(ElementArray<T>& array, int index)
{
    return index > 0 && array.contains(index) ? &array.at(index) : nullptr;
}

template <class T> void removeFromHighest(ElementArray<T>& array)
{
    while (array.highestIndex() > 0)
        array.remove(array.highestIndex());
}

} // namespace

BadgeSide::BadgeSide()
    : Label1(templateComment())
    , lblField(templateField())
    , Image1(templateLogo())
    , myShape1(templateShape())
    , imgPhoto(frameAt(120, 120, 1215, 1455))
    , imgSign(frameAt(120, 1680, 1215, 375))
{
}

bool BadgeSide::remove(ElementRef element)
{
    bool removed = false;
    switch (element.kind) {
    case ElementKind::Comment:
        removed = Label1.remove(element.index);
        break;
    case ElementKind::Field:
        removed = lblField.remove(element.index);
        break;
    case ElementKind::Logo:
        removed = Image1.remove(element.index);
        break;
    case ElementKind::Shape:
        removed = myShape1.remove(element.index);
        break;
    case ElementKind::Photo:
    case ElementKind::Sign:
        break;
    }
    if (removed)
        m_order.removeAll(element);
    return removed;
}

bool BadgeSide::contains(ElementRef element) const
{
    return geometry(element) != nullptr;
}

const ElementGeometry* BadgeSide::geometry(ElementRef element) const
{
    return const_cast<BadgeSide*>(this)->geometry(element);
}

ElementGeometry* BadgeSide::geometry(ElementRef element)
{
    switch (element.kind) {
    case ElementKind::Comment:
        return present(Label1, element.index);
    case ElementKind::Field:
        return present(lblField, element.index);
    case ElementKind::Logo:
        return present(Image1, element.index);
    case ElementKind::Shape:
        return present(myShape1, element.index);
    case ElementKind::Photo:
        return &imgPhoto;
    case ElementKind::Sign:
        return &imgSign;
    }
    return nullptr;
}

QList<ElementRef> BadgeSide::stackingOrder() const
{
    QList<ElementRef> order;
    order.reserve(2 + Label1.count() + lblField.count() + Image1.count() + myShape1.count());
    for (const ElementRef& element : m_order) {
        if (contains(element))
            order << element;
    }
    const bool moved = !order.isEmpty();
    auto add = [&](ElementKind kind, int index) {
        const ElementRef element{kind, index};
        if (!moved || !order.contains(element))
            order << element;
    };
    // Shapes are backgrounds: a filled band must not hide the logo and name placed on it.
    for (const auto& entry : myShape1)
        add(ElementKind::Shape, entry.first);
    add(ElementKind::Photo, 0);
    add(ElementKind::Sign, 0);
    for (const auto& entry : Image1)
        add(ElementKind::Logo, entry.first);
    for (const auto& entry : Label1)
        add(ElementKind::Comment, entry.first);
    for (const auto& entry : lblField)
        add(ElementKind::Field, entry.first);
    return order;
}

void BadgeSide::fixStackingOrder()
{
    m_order = stackingOrder();
}

int BadgeSide::onTop(ElementKind kind, int index)
{
    bringToFront({kind, index});
    return index;
}

void BadgeSide::bringToFront(ElementRef element)
{
    if (!contains(element))
        return;
    fixStackingOrder();
    m_order.removeAll(element);
    m_order.append(element);
}

void BadgeSide::sendToBack(ElementRef element)
{
    if (!contains(element))
        return;
    fixStackingOrder();
    m_order.removeAll(element);
    m_order.prepend(element);
}

void BadgeSide::UnloadBadgeElements()
{
    removeFromHighest(Image1);
    removeFromHighest(Label1);
    removeFromHighest(lblField);
    removeFromHighest(myShape1);
    m_order.clear();
}

} // namespace vm
