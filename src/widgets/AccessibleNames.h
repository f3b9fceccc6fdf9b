#pragma once

#include <QString>

class QWidget;

namespace vm {

// A control with the object name tests find it by and the name a screen reader says.
template <class W> W* named(W* widget, const char* objectName, const QString& accessibleName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

// Fills in the names a screen reader would otherwise announce as blank. Qt reads a buddy label
// for text boxes and buttons but not for lists and tables, and the parts it builds inside
// controls carry no name at all: an editable list's text box and drop-down, a toolbar's
// overflow button, a text box's clear button. Lists and tables take their buddy label's text,
// the inner parts take their control's name or say what they do. Names already set are kept.
// A list box reports its current entry as its name on this platform, so one without a label
// beside it gets an unseen label with its name.
// Call once a window's controls exist.
void nameInnerParts(QWidget* root);

} // namespace vm
