#include "badge/BadgeDocument.h"

#include <limits>

namespace vm {

// What every command of the document may do to it; nothing else reaches the layout.
class BadgeCommand : public QUndoCommand {
public:
    BadgeCommand(BadgeDocument& document, const QString& text)
        : QUndoCommand(text)
        , m_document(document)
    {
    }

protected:
    BadgeDocument& document() const { return m_document; }
    BadgeSide& side(BadgeSideId which) const { return m_document.sideRef(which); }

    void changed(BadgeSideId which) const { Q_EMIT m_document.sideChanged(which); }
    void changed(BadgeSideId which, ElementRef element, const Element& before) const
    {
        Q_EMIT m_document.elementChanged(which, element, before);
    }
    void setOrientation(Orientation orientation) const { m_document.applyOrientation(orientation); }

private:
    BadgeDocument& m_document;
};

namespace {

enum CommandId { ChangeId = 1 };

struct Placed {
    ElementRef element;
    Element value;
    int stackPosition = 0;
};

// Elements that come (added, pasted) or go (deleted); undo does the opposite. Each keeps its
// index and its place in the stacking order, so a restored element is the one that was there.
class PlaceCommand : public BadgeCommand {
public:
    PlaceCommand(BadgeDocument& document, const QString& text, BadgeSideId which,
                 QList<Placed> elements, bool adding)
        : BadgeCommand(document, text)
        , m_side(which)
        , m_elements(std::move(elements))
        , m_adding(adding)
    {
    }

    void redo() override { m_adding ? put() : take(); }
    void undo() override { m_adding ? take() : put(); }

private:
    void put()
    {
        BadgeSide& s = side(m_side);
        for (const Placed& p : m_elements)
            s.insert(p.element, p.value, p.stackPosition);
        changed(m_side);
    }
    void take()
    {
        BadgeSide& s = side(m_side);
        for (auto it = m_elements.crbegin(); it != m_elements.crend(); ++it)
            s.remove(it->element);
        changed(m_side);
    }

    BadgeSideId m_side;
    QList<Placed> m_elements;
    bool m_adding;
};

class ChangeCommand : public BadgeCommand {
public:
    ChangeCommand(BadgeDocument& document, const QString& text, BadgeSideId which,
                  ElementRef element, Element before, Element after, quint64 mergeKey,
                  quint64 generation)
        : BadgeCommand(document, text)
        , m_side(which)
        , m_element(element)
        , m_before(std::move(before))
        , m_after(std::move(after))
        , m_mergeKey(mergeKey)
        , m_generation(generation)
    {
    }

    int id() const override { return m_mergeKey != 0 ? ChangeId : -1; }

    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const ChangeCommand*>(other);
        if (next->m_side != m_side || next->m_element != m_element ||
            next->m_mergeKey != m_mergeKey || next->m_generation != m_generation)
            return false;
        m_after = next->m_after;
        // A drag that comes back to where it began is no step at all.
        setObsolete(m_after == m_before);
        return true;
    }

    void redo() override { apply(m_before, m_after); }
    void undo() override { apply(m_after, m_before); }

private:
    void apply(const Element& from, const Element& to)
    {
        side(m_side).setElement(m_element, to);
        changed(m_side, m_element, from);
    }

    BadgeSideId m_side;
    ElementRef m_element;
    Element m_before;
    Element m_after;
    quint64 m_mergeKey;
    quint64 m_generation;
};

class StackCommand : public BadgeCommand {
public:
    StackCommand(BadgeDocument& document, const QString& text, BadgeSideId which,
                 ElementRef element, int from, int to)
        : BadgeCommand(document, text)
        , m_side(which)
        , m_element(element)
        , m_from(from)
        , m_to(to)
    {
    }

    void redo() override { move(m_to); }
    void undo() override { move(m_from); }

private:
    void move(int position)
    {
        side(m_side).moveInStack(m_element, position);
        changed(m_side);
    }

    BadgeSideId m_side;
    ElementRef m_element;
    int m_from;
    int m_to;
};

class OrientationCommand : public BadgeCommand {
public:
    OrientationCommand(BadgeDocument& document, Orientation from, Orientation to)
        : BadgeCommand(document, to == Orientation::Portrait ? QStringLiteral("Portrait")
                                                             : QStringLiteral("Landscape"))
        , m_from(from)
        , m_to(to)
    {
    }

    void redo() override { setOrientation(m_to); }
    void undo() override { setOrientation(m_from); }

private:
    Orientation m_from;
    Orientation m_to;
};

} // namespace

BadgeDocument::BadgeDocument(QObject* parent)
    : QObject(parent)
{
    connect(&m_undo, &QUndoStack::cleanChanged, this,
            [this](bool clean) { Q_EMIT modifiedChanged(!clean); });
}

BadgeDocument::~BadgeDocument()
{
    // The commands refer to the document: they go before it does.
    m_undo.clear();
}

const BadgeSide& BadgeDocument::side(BadgeSideId which) const
{
    return which == BadgeSideId::Back ? m_layout.back : m_layout.front;
}

BadgeSide& BadgeDocument::sideRef(BadgeSideId which)
{
    return which == BadgeSideId::Back ? m_layout.back : m_layout.front;
}

Orientation BadgeDocument::orientation() const
{
    return m_layout.orientation == 2 ? Orientation::Portrait : Orientation::Landscape;
}

QSizeF BadgeDocument::cardSize() const
{
    return cardSizeTwips(orientation());
}

void BadgeDocument::reset(BadgeLayout layout, bool backBlank)
{
    m_undo.clear();
    m_layout = std::move(layout);
    if (m_layout.orientation != 2)
        m_layout.orientation = 1;
    m_backBlankAtStart = backBlank;
    ++m_saveGeneration;
    Q_EMIT layoutReset();
    Q_EMIT orientationChanged(orientation());
}

bool BadgeDocument::backIsBlank() const
{
    return m_backBlankAtStart && m_layout.back == BadgeSide();
}

void BadgeDocument::markSaved()
{
    m_undo.setClean();
    ++m_saveGeneration;
}

ElementRef BadgeDocument::addElement(BadgeSideId side, const Element& value, const QString& text)
{
    const QList<ElementRef> added = addElements(side, {value}, text);
    return added.isEmpty() ? ElementRef{} : added.first();
}

QList<ElementRef> BadgeDocument::addElements(BadgeSideId which, const QList<Element>& values,
                                             const QString& text)
{
    // Work out indexes and places on a copy, so the command holds exactly what it will do.
    BadgeSide trial = side(which);
    QList<Placed> placed;
    QList<ElementRef> refs;
    for (const Element& given : values) {
        const Element value = clamped(given);
        if (!refusedValues(value).isEmpty())
            continue;
        const ElementRef element = trial.add(value);
        if (element.index == 0)
            continue;
        placed << Placed{element, value, trial.stackPosition(element)};
        refs << element;
    }
    if (!placed.isEmpty())
        m_undo.push(new PlaceCommand(*this, text, which, std::move(placed), true));
    return refs;
}

bool BadgeDocument::changeElement(BadgeSideId which, ElementRef element, const Element& given,
                                  const QString& text, quint64 mergeKey)
{
    const Element value = clamped(given);
    const std::optional<Element> before = side(which).element(element);
    if (!before || before->index() != value.index() || *before == value)
        return false;
    // Values that would make it vanish are refused; one that came so from a file may be mended.
    if (!refusedValues(value).isEmpty() && refusedValues(*before).isEmpty())
        return false;
    m_undo.push(
        new ChangeCommand(*this, text, which, element, *before, value, mergeKey, m_saveGeneration));
    return true;
}

bool BadgeDocument::changeElements(BadgeSideId which,
                                   const QList<std::pair<ElementRef, Element>>& values,
                                   const QString& text)
{
    // Only what really changes, so a step that changes nothing is never made.
    QList<std::pair<ElementRef, Element>> changes;
    for (const auto& [element, value] : values) {
        const std::optional<Element> before = side(which).element(element);
        if (before && before->index() == value.index() && *before != clamped(value) &&
            (refusedValues(clamped(value)).isEmpty() || !refusedValues(*before).isEmpty()))
            changes.append({element, value});
    }
    if (changes.isEmpty())
        return false;
    m_undo.beginMacro(text);
    for (const auto& [element, value] : changes)
        changeElement(which, element, value, text);
    m_undo.endMacro();
    return true;
}

bool BadgeDocument::removeElement(BadgeSideId which, ElementRef element)
{
    if (element.kind == ElementKind::Photo || element.kind == ElementKind::Sign)
        return false;
    const std::optional<Element> value = side(which).element(element);
    if (!value)
        return false;
    Placed gone{element, *value, side(which).stackPosition(element)};
    m_undo.push(new PlaceCommand(*this, QStringLiteral("Delete"), which, {gone}, false));
    return true;
}

bool BadgeDocument::moveInStack(BadgeSideId which, ElementRef element, int position,
                                const QString& text)
{
    const BadgeSide& s = side(which);
    const int from = s.stackPosition(element);
    if (from < 0)
        return false;
    const int last = int(s.stackingOrder().size()) - 1;
    const int to = std::clamp(position, 0, last);
    if (to == from)
        return false;
    const QString named = !text.isEmpty() ? text
                          : to > from     ? QStringLiteral("Bring to Front")
                                          : QStringLiteral("Send to Back");
    m_undo.push(new StackCommand(*this, named, which, element, from, to));
    return true;
}

void BadgeDocument::setOrientation(Orientation orientation)
{
    if (orientation != this->orientation())
        m_undo.push(new OrientationCommand(*this, this->orientation(), orientation));
}

void BadgeDocument::applyOrientation(Orientation orientation)
{
    m_layout.orientation = qint16(orientation);
    Q_EMIT orientationChanged(orientation);
}

} // namespace vm
