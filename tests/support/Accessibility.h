#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace vm::test {

// What a screen reader is told a control is called, read the way it reads it: through the
// accessibility tree, so a buddy label in another parent or an editable list's own text box
// counts as the reader sees it, not as the code meant it.
inline QString accessibleName(QAccessibleInterface* iface)
{
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

// Every input, list and button under the root that a screen reader would announce without a
// name, as "role objectName (class)". Items of lists and tables are their data, not controls.
inline QStringList namelessControls(QWidget* root)
{
    static const QList<QAccessible::Role> named = {
        QAccessible::EditableText,   QAccessible::ComboBox,   QAccessible::SpinBox,
        QAccessible::Slider,         QAccessible::PushButton, QAccessible::ButtonMenu,
        QAccessible::ButtonDropDown, QAccessible::CheckBox,   QAccessible::RadioButton,
        QAccessible::List,           QAccessible::Table,      QAccessible::Tree,
        QAccessible::PageTabList,    QAccessible::Canvas};
    QStringList nameless;
    QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(root)};
    while (!pending.isEmpty()) {
        QAccessibleInterface* iface = pending.takeLast();
        if (!iface || !iface->isValid())
            continue;
        const QAccessible::Role role = iface->role();
        // A list box's name here is its current entry; the reader names it by its label.
        const bool unnamed = role == QAccessible::ComboBox
                                 ? iface->relations(QAccessible::Label).isEmpty()
                                 : accessibleName(iface).isEmpty();
        // Whatever the focus lands on is announced, whatever its kind.
        const bool announced = named.contains(role) || iface->state().focusable;
        if (announced && unnamed) {
            const QObject* object = iface->object();
            nameless << QStringLiteral("%1 %2 (%3)")
                            .arg(int(role), 0, 16)
                            .arg(object ? object->objectName() : QString())
                            .arg(object ? QString::fromLatin1(object->metaObject()->className())
                                        : QString());
        }
        if (role == QAccessible::List || role == QAccessible::Table || role == QAccessible::Tree)
            continue;
        for (int i = 0; i < iface->childCount(); ++i)
            pending << iface->child(i);
    }
    return nameless;
}

} // namespace vm::test
