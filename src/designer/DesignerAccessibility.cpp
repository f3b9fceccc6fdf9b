#include "designer/DesignerAccessibility.h"

#include "designer/DesignerCanvas.h"
#include "designer/SettingsPanel.h"
#include "render/SheetLayout.h"

#include <QAccessibleWidget>
#include <QFileInfo>
#include <QHash>
#include <QPointer>

namespace vm {
namespace {

QString millimetres(double twips)
{
    return QString::number(twipsToMm(twips), 'f', 1) + QStringLiteral(" mm");
}

QString kindWord(ElementKind kind, const Element& value)
{
    switch (kind) {
    case ElementKind::Comment:
        return QStringLiteral("Comment");
    case ElementKind::Field:
        return QStringLiteral("Field");
    case ElementKind::Logo:
        return QStringLiteral("Logo");
    case ElementKind::Shape:
        break;
    case ElementKind::Photo:
    case ElementKind::Sign:
        return QStringLiteral("Picture frame");
    }
    switch (std::get<Shape>(value).ShpType) {
    case 2:
        return QStringLiteral("Oval");
    case 4:
        return QStringLiteral("Rounded rectangle");
    default:
        return QStringLiteral("Rectangle");
    }
}

// Which element of which side an interface stands for, as one hash key.
quint64 keyOf(BadgeSideId side, ElementRef element)
{
    return quint64(side) << 40 | quint64(element.kind) << 32 | quint32(element.index);
}

class ElementAccessible;

// The canvas with its elements as children. Each element keeps one interface for as long as
// the canvas lives, so a reader can hold on to it across moves and edits.
class CanvasAccessible : public QAccessibleWidget {
public:
    explicit CanvasAccessible(DesignerCanvas* canvas)
        : QAccessibleWidget(canvas, QAccessible::Canvas)
        , m_shown(canvas->shownElements())
        , m_side(canvas->displayedSide())
    {
    }
    ~CanvasAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_children))
            QAccessible::deleteAccessibleInterface(id);
    }

    DesignerCanvas* canvas() const { return static_cast<DesignerCanvas*>(widget()); }

    QAccessibleInterface* childFor(ElementRef element) const;
    // Tells the reader the children changed when elements came or went, the order or the side
    // changed, and lets go of the interfaces of those that went.
    void announceElements();

    int childCount() const override { return int(canvas()->shownElements().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QList<ElementRef> shown = canvas()->shownElements();
        return index >= 0 && index < shown.size() ? childFor(shown[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPointF at = canvas()->toTwips(canvas()->mapFromGlobal(QPoint(x, y)));
        const std::optional<ElementRef> hit = elementAt(canvas()->shownSide(), at);
        return hit ? childFor(*hit) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        const std::optional<ElementRef> marker = canvas()->marker();
        if (canvas()->hasFocus() && marker && canvas()->shownElements().contains(*marker))
            return childFor(*marker);
        return QAccessibleWidget::focusChild();
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Description)
            return QAccessibleWidget::text(t);
        return (canvas()->displayedSide() == BadgeSideId::Front ? QStringLiteral("Front side")
                                                                : QStringLiteral("Back side")) +
               QStringLiteral(". Tab and Shift+Tab choose an element, the arrow keys move it.");
    }

private:
    mutable QHash<quint64, QAccessible::Id> m_children;
    QList<ElementRef> m_shown;
    BadgeSideId m_side;
};

// One element of the shown side. It answers only while its element is shown.
class ElementAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    ElementAccessible(DesignerCanvas* canvas, BadgeSideId side, ElementRef element)
        : m_canvas(canvas)
        , m_side(side)
        , m_element(element)
    {
    }

    ElementRef element() const { return m_element; }
    BadgeSideId side() const { return m_side; }

    bool isValid() const override
    {
        return m_canvas && m_canvas->displayedSide() == m_side &&
               m_canvas->shownElements().contains(m_element);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        return m_canvas ? m_canvas->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_canvas.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        const std::optional<Element> value = current();
        if (!value)
            return {};
        if (t == QAccessible::Name)
            return accessibleElementName(m_element.kind, *value);
        if (t == QAccessible::Description)
            return accessibleElementDescription(m_element.kind, *value);
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        const std::optional<Element> value = current();
        if (!value)
            return {};
        const QRectF twips = drawnRectOf(*value);
        const QRectF pixels(m_canvas->toPixels(twips.topLeft()),
                            m_canvas->toPixels(twips.bottomRight()));
        return QRect(m_canvas->mapToGlobal(pixels.topLeft().toPoint()), pixels.size().toSize());
    }

    QAccessible::Role role() const override
    {
        return m_element.kind == ElementKind::Comment || m_element.kind == ElementKind::Field
                   ? QAccessible::StaticText
                   : QAccessible::Graphic;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invisible = true;
            return s;
        }
        s.focusable = s.selectable = s.movable = true;
        s.selected = m_canvas->marker() == m_element;
        s.focused = s.selected && m_canvas->hasFocus();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    // Pressing or focusing an element selects it, as Tab does.
    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString& name) override
    {
        if (!isValid() || !actionNames().contains(name))
            return;
        m_canvas->setFocus(Qt::OtherFocusReason);
        Q_EMIT m_canvas->elementChosen(m_element);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    std::optional<Element> current() const
    {
        if (!isValid())
            return std::nullopt;
        return m_canvas->shownSide().element(m_element);
    }

    QPointer<DesignerCanvas> m_canvas;
    BadgeSideId m_side;
    ElementRef m_element;
};

QAccessibleInterface* CanvasAccessible::childFor(ElementRef element) const
{
    const quint64 key = keyOf(canvas()->displayedSide(), element);
    if (const QAccessible::Id id = m_children.value(key))
        return QAccessible::accessibleInterface(id);
    auto* child = new ElementAccessible(canvas(), canvas()->displayedSide(), element);
    m_children.insert(key, QAccessible::registerAccessibleInterface(child));
    return child;
}

int CanvasAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    const auto* element = dynamic_cast<const ElementAccessible*>(child);
    if (!element || element->side() != canvas()->displayedSide())
        return -1;
    return int(canvas()->shownElements().indexOf(element->element()));
}

void CanvasAccessible::announceElements()
{
    const QList<ElementRef> shown = canvas()->shownElements();
    const BadgeSideId side = canvas()->displayedSide();
    if (shown == m_shown && side == m_side)
        return;
    // What went has nothing left to say; the reader asks the canvas for its children again.
    for (const ElementRef& gone : std::as_const(m_shown)) {
        if (side != m_side || !shown.contains(gone)) {
            if (const QAccessible::Id id = m_children.take(keyOf(m_side, gone)))
                QAccessible::deleteAccessibleInterface(id);
        }
    }
    m_shown = shown;
    m_side = side;
    QAccessibleEvent event(canvas(), QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
}

// A colour swatch is a button to a screen reader: pressing it opens the colour choice.
class SwatchAccessible : public QAccessibleWidget {
public:
    explicit SwatchAccessible(ColorSwatch* swatch)
        : QAccessibleWidget(swatch, QAccessible::Button)
    {
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override
    {
        if (name != pressAction())
            QAccessibleWidget::doAction(name);
        else if (widget()->isEnabled())
            Q_EMIT static_cast<ColorSwatch*>(widget())->clicked();
    }
};

QAccessibleInterface* designerFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("vm::DesignerCanvas"))
        return new CanvasAccessible(static_cast<DesignerCanvas*>(object));
    if (className == QLatin1String("vm::ColorSwatch"))
        return new SwatchAccessible(static_cast<ColorSwatch*>(object));
    return nullptr;
}

// The canvas's interface, only while a reader listens.
CanvasAccessible* listening(DesignerCanvas* canvas)
{
    if (!QAccessible::isActive())
        return nullptr;
    return dynamic_cast<CanvasAccessible*>(QAccessible::queryAccessibleInterface(canvas));
}

void send(QAccessibleInterface* iface, QAccessible::Event type)
{
    QAccessibleEvent event(iface, type);
    QAccessible::updateAccessibility(&event);
}

} // namespace

QString accessibleElementName(ElementKind kind, const Element& value)
{
    switch (kind) {
    case ElementKind::Comment:
    case ElementKind::Field: {
        const QString caption = std::visit(
            [](const auto& e) {
                if constexpr (std::is_base_of_v<Comment, std::decay_t<decltype(e)>>)
                    return e.Caption.simplified();
                else
                    return QString();
            },
            value);
        return caption.isEmpty() ? QStringLiteral("Empty ") + kindWord(kind, value).toLower()
                                 : caption;
    }
    case ElementKind::Logo: {
        const QString file = QFileInfo(std::get<Logo>(value).Tag).fileName();
        return file.isEmpty() ? QStringLiteral("Logo without a picture") : file;
    }
    case ElementKind::Photo:
        return QStringLiteral("Photograph");
    case ElementKind::Sign:
        return QStringLiteral("Signature");
    case ElementKind::Shape:
        break;
    }
    return kindWord(kind, value);
}

QString accessibleElementDescription(ElementKind kind, const Element& value)
{
    const QRectF at = drawnRectOf(value);
    return QStringLiteral("%1; left %2, top %3, width %4, height %5")
        .arg(kindWord(kind, value), millimetres(at.left()), millimetres(at.top()),
             millimetres(at.width()), millimetres(at.height()));
}

namespace canvasAccessibility {

void install()
{
    static const bool installed = (QAccessible::installFactory(designerFactory), true);
    Q_UNUSED(installed);
}

void elementsChanged(DesignerCanvas* canvas)
{
    if (CanvasAccessible* iface = listening(canvas))
        iface->announceElements();
}

void elementChanged(DesignerCanvas* canvas, ElementRef element, const Element& before)
{
    CanvasAccessible* iface = listening(canvas);
    if (!iface)
        return;
    const std::optional<Element> now = canvas->shownSide().element(element);
    auto visible = [](const Element& e) {
        return std::visit([](const auto& g) { return g.Visible; }, e);
    };
    if (!now || visible(before) != visible(*now)) { // a frame shown or hidden
        iface->announceElements();
        return;
    }
    if (!visible(*now))
        return;
    QAccessibleInterface* child = iface->childFor(element);
    if (accessibleElementName(element.kind, before) != accessibleElementName(element.kind, *now))
        send(child, QAccessible::NameChanged);
    if (drawnRectOf(before) != drawnRectOf(*now)) {
        send(child, QAccessible::LocationChanged);
        send(child, QAccessible::DescriptionChanged);
    }
}

void selectionChanged(DesignerCanvas* canvas, std::optional<ElementRef> before)
{
    CanvasAccessible* iface = listening(canvas);
    if (!iface)
        return;
    const std::optional<ElementRef> now = canvas->marker();
    const QList<ElementRef> shown = canvas->shownElements();
    if (now && shown.contains(*now)) {
        QAccessibleInterface* child = iface->childFor(*now);
        send(child, QAccessible::Selection);
        if (canvas->hasFocus())
            send(child, QAccessible::Focus);
    } else if (before && shown.contains(*before)) {
        send(iface->childFor(*before), QAccessible::SelectionRemove);
    }
}

void focusEntered(DesignerCanvas* canvas)
{
    CanvasAccessible* iface = listening(canvas);
    const std::optional<ElementRef> marker = canvas->marker();
    if (iface && marker && canvas->shownElements().contains(*marker))
        send(iface->childFor(*marker), QAccessible::Focus);
}

} // namespace canvasAccessibility
} // namespace vm
