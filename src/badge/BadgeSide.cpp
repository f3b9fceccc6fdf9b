#include "badge/BadgeSide.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

// Calls f with the array of the kind; false for the photograph and signature, which have none.
template <class Side, class F> bool withArray(Side& side, ElementKind kind, F&& f)
{
    switch (kind) {
    case ElementKind::Comment:
        return f(side.Label1);
    case ElementKind::Field:
        return f(side.lblField);
    case ElementKind::Logo:
        return f(side.Image1);
    case ElementKind::Shape:
        return f(side.myShape1);
    case ElementKind::Photo:
    case ElementKind::Sign:
        break;
    }
    return false;
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

std::optional<ElementKind> arrayKindOf(const Element& value)
{
    return std::visit(
        [](const auto& v) -> std::optional<ElementKind> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Comment>)
                return ElementKind::Comment;
            else if constexpr (std::is_same_v<T, Field>)
                return ElementKind::Field;
            else if constexpr (std::is_same_v<T, Logo>)
                return ElementKind::Logo;
            else if constexpr (std::is_same_v<T, Shape>)
                return ElementKind::Shape;
            else
                return std::nullopt;
        },
        value);
}

ElementRef BadgeSide::add(const Element& value)
{
    const std::optional<ElementKind> kind = arrayKindOf(value);
    if (!kind)
        return {};
    int index = 0;
    withArray(*this, *kind, [&](auto& array) {
        using T = typename std::decay_t<decltype(array)>::value_type;
        index = array.highestIndex() + 1;
        return array.insert(index, std::get<T>(value));
    });
    return {*kind, onTop(*kind, index)};
}

bool BadgeSide::insert(ElementRef element, const Element& value, int stackPosition)
{
    if (arrayKindOf(value) != element.kind)
        return false;
    const bool inserted = withArray(*this, element.kind, [&](auto& array) {
        using T = typename std::decay_t<decltype(array)>::value_type;
        return array.insert(element.index, std::get<T>(value));
    });
    if (inserted)
        moveInStack(element, stackPosition);
    return inserted;
}

bool BadgeSide::remove(ElementRef element)
{
    const bool removed =
        withArray(*this, element.kind, [&](auto& array) { return array.remove(element.index); });
    if (removed)
        m_order.removeAll(element);
    return removed;
}

bool BadgeSide::contains(ElementRef element) const
{
    if (element.kind == ElementKind::Photo || element.kind == ElementKind::Sign)
        return true;
    return element.index > 0 && withArray(*this, element.kind, [&](const auto& array) {
               return array.contains(element.index);
           });
}

const ElementGeometry* BadgeSide::geometry(ElementRef element) const
{
    return const_cast<BadgeSide*>(this)->geometry(element);
}

ElementGeometry* BadgeSide::geometry(ElementRef element)
{
    if (!contains(element))
        return nullptr;
    return visit(element, [](auto& e) -> ElementGeometry* { return &e; });
}

std::optional<Element> BadgeSide::element(ElementRef element) const
{
    if (!contains(element))
        return std::nullopt;
    return visit(element, [](const auto& e) {
        return Element(std::in_place_type<std::decay_t<decltype(e)>>, e);
    });
}

bool BadgeSide::setElement(ElementRef element, const Element& value)
{
    if (!contains(element))
        return false;
    return visit(element, [&](auto& e) {
        using T = std::decay_t<decltype(e)>;
        const T* typed = std::get_if<T>(&value);
        if (typed)
            e = *typed;
        return typed != nullptr;
    });
}

QList<ElementRef> BadgeSide::stackingOrder() const
{
    return orderFrom(m_order);
}

bool BadgeSide::hasLoadOrder() const
{
    return stackingOrder() == orderFrom({});
}

void BadgeSide::setStackingOrder(const QList<ElementRef>& order)
{
    m_order = orderFrom(order);
}

QList<ElementRef> BadgeSide::orderFrom(const QList<ElementRef>& explicitOrder) const
{
    QList<ElementRef> order;
    order.reserve(2 + Label1.count() + lblField.count() + Image1.count() + myShape1.count());
    for (const ElementRef& element : explicitOrder) {
        if (contains(element) && !order.contains(element))
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

int BadgeSide::stackPosition(ElementRef element) const
{
    return contains(element) ? int(stackingOrder().indexOf(element)) : -1;
}

void BadgeSide::moveInStack(ElementRef element, int position)
{
    if (!contains(element))
        return;
    fixStackingOrder();
    m_order.removeAll(element);
    m_order.insert(std::clamp<qsizetype>(position, 0, m_order.size()), element);
}

void BadgeSide::bringToFront(ElementRef element)
{
    moveInStack(element, std::numeric_limits<int>::max());
}

void BadgeSide::sendToBack(ElementRef element)
{
    moveInStack(element, 0);
}

bool operator==(const BadgeSide& a, const BadgeSide& b)
{
    return a.Label1 == b.Label1 && a.lblField == b.lblField && a.Image1 == b.Image1 &&
           a.myShape1 == b.myShape1 && a.imgPhoto == b.imgPhoto && a.imgSign == b.imgSign &&
           a.stackingOrder() == b.stackingOrder();
}

void BadgeSide::UnloadBadgeElements()
{
    removeFromHighest(Image1);
    removeFromHighest(Label1);
    removeFromHighest(lblField);
    removeFromHighest(myShape1);
    m_order.clear();
}

Element clamped(Element value)
{
    std::visit(
        [](auto& e) {
            clampGeometry(e);
            for (float* twips : {&e.Left, &e.Top, &e.Width, &e.Height})
                *twips = std::round(*twips);
            if constexpr (std::is_base_of_v<Comment, std::decay_t<decltype(e)>>) {
                e.FontSize = std::clamp(e.FontSize, 0.f, LargestFontSize);
                e.fit.minimumSize = std::clamp(e.fit.minimumSize, 1.f, LargestFontSize);
                e.fit.maximumLines = std::clamp(e.fit.maximumLines, 0, 99);
            }
            if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Field>)
                e.format.decimals = std::clamp(e.format.decimals, -1, 10);
        },
        value);
    return value;
}

QString refusedValues(const Element& value)
{
    return std::visit(
        [](const auto& e) {
            QString why;
            if (e.Width < 0 || e.Height < 0)
                why = QStringLiteral("A width or height below 0 twips (%1 x %2) is refused: the "
                                     "element would vanish.")
                          .arg(double(e.Width))
                          .arg(double(e.Height));
            if constexpr (std::is_base_of_v<Comment, std::decay_t<decltype(e)>>) {
                if (!(e.FontSize > 0))
                    why = QStringLiteral("A font size of %1 is refused: the text would vanish. "
                                         "Give a size above 0 points.")
                              .arg(double(e.FontSize));
            }
            return why;
        },
        value);
}

QString referencedColumn(const QString& caption)
{
    if (caption.size() < 3 || !caption.startsWith(QLatin1Char('<')) ||
        !caption.endsWith(QLatin1Char('>')))
        return {};
    return caption.mid(1, caption.size() - 2);
}

} // namespace vm
