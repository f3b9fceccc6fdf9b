#include "widgets/AccessibleNames.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace vm {
namespace {

// "&Related Tables:" as a reader says it.
QString spoken(QString caption)
{
    caption.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    caption = caption.trimmed();
    while (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption.trimmed();
}

void nameIfBlank(QWidget* widget, const QString& name)
{
    if (widget && widget->accessibleName().isEmpty() && !name.isEmpty())
        widget->setAccessibleName(name);
}

} // namespace

void nameInnerParts(QWidget* root)
{
    QHash<const QWidget*, QString> labelled;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        if (label->buddy())
            labelled.insert(label->buddy(), spoken(label->text()));
    }
    auto nameOf = [&](const QWidget* widget) {
        return widget->accessibleName().isEmpty() ? labelled.value(widget)
                                                  : widget->accessibleName();
    };

    for (QAbstractItemView* view : root->findChildren<QAbstractItemView*>())
        nameIfBlank(view, nameOf(view));
    for (QComboBox* combo : root->findChildren<QComboBox*>()) {
        const QString name = nameOf(combo);
        nameIfBlank(combo, name);
        nameIfBlank(combo->lineEdit(), name);
        nameIfBlank(combo->view(), name);
        // Here a list box reports its current entry as its name, and the reader takes what it
        // is called from a label beside it: one without a label gets an unseen one.
        QWidget* parent = combo->parentWidget();
        const bool besideLabel =
            parent && std::ranges::any_of(parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly),
                                          [&](const QLabel* l) { return l->buddy() == combo; });
        if (parent && !besideLabel && !name.isEmpty()) {
            auto* label = new QLabel(name, parent);
            label->setObjectName(QStringLiteral("readerLabel"));
            label->hide();
            label->setBuddy(combo);
        }
    }
    for (QToolBar* bar : root->findChildren<QToolBar*>()) {
        nameIfBlank(bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"),
                                                 Qt::FindDirectChildrenOnly),
                    QStringLiteral("More tools"));
    }
    for (QLineEdit* edit : root->findChildren<QLineEdit*>()) {
        for (QToolButton* button : edit->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
            const QAction* action = button->defaultAction();
            if (!action)
                continue;
            const QString what = action->text().isEmpty() ? action->toolTip() : action->text();
            nameIfBlank(button, what.isEmpty() &&
                                        action->objectName().contains(QLatin1String("clearaction"))
                                    ? QStringLiteral("Clear text")
                                    : spoken(what));
        }
    }
}

} // namespace vm
