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
