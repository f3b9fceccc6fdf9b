// Invariant: a new element is a copy of the template at the highest index in use plus one;
// deleting leaves a gap; the template at index 0 is never counted, iterated or deleted.
#include "badge/ElementArray.h"

#include <QTest>

using namespace vm;

class tst_ElementArray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void indexesAndTemplate();
};

void tst_ElementArray::indexesAndTemplate()
{
    ElementArray<int> array(7);
    QCOMPARE(array.add(), 1);
    QCOMPARE(array.add(), 2);
    QCOMPARE(array.add(), 3);
    QVERIFY(array.remove(1));
    QCOMPARE(array.add(), 4); // the gap at 1 stays
    QVERIFY(array.remove(4) && !array.remove(4) && !array.remove(0));
    QCOMPARE(array.add(), 4); // 3 is the highest in use again
    array.at(4) = 8;
    array.templateElement() = 9;
    QCOMPARE(array.at(array.add()), 9);

    QList<std::pair<int, int>> present;
    for (const auto& [index, value] : array)
        present.append({index, value});
    QCOMPARE(present, (QList<std::pair<int, int>>{{2, 7}, {3, 7}, {4, 8}, {5, 9}}));
    QCOMPARE(array.count(), 4);
    QCOMPARE(array.at(0), 9);
}

QTEST_APPLESS_MAIN(tst_ElementArray)
#include "tst_ElementArray.moc"
