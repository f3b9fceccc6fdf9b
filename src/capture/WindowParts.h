#pragma once

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace vm {

// A button of a window's button row, named for tests, its tooltip saying what it does.
inline QPushButton* rowButton(QWidget* parent, QBoxLayout* row, const QString& name,
                              const QString& caption, const QString& tip)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(tip);
    row->addWidget(button);
    return button;
}

// The line a window says things in: wrapped, selectable, and named for a screen reader.
inline QLabel* sayingLabel(QWidget* parent, const QString& name, const QString& accessibleName)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setAccessibleName(accessibleName);
    return label;
}

} // namespace vm
