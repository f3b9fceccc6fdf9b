#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QTest>

namespace vm::test {

inline QStringList itemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

inline QStringList itemTexts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

// As the operator picks an entry from the open list (some lists are filled as they open).
inline void chooseEntry(QComboBox* combo, const QString& text)
{
    combo->showPopup();
    combo->hidePopup();
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(text + QStringLiteral(" not in ") + combo->objectName()));
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

// Makes the one item of the list with this text the current one, as a click on it does.
inline void chooseItem(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(found.size() == 1,
             qPrintable(text + QStringLiteral(" not once in ") + list->objectName()));
    list->setCurrentItem(found[0]);
}

} // namespace vm::test
