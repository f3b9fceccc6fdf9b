// Invariant: a new element is a copy of the template at the highest index in use plus one;
// deleting leaves a gap; the template at index 0 is never counted, iterated or deleted.
#include "badge/ElementArray.h"

#include <QTest>

#include <vector>

using namespace vm;

namespace {

struct Item {
    int value = 0;
};

std::vector<int> indexes(const ElementArray<Item>& array)
{
    std::vector<int> result;
    for (const auto& entry : array)
        result.push_back(entry.first);
    return result;
}

} // namespace

class tst_ElementArray : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newElementsFollowTheHighestIndex();
    void theTemplateStays();
};

void tst_ElementArray::newElementsFollowTheHighestIndex()
{
    ElementArray<Item> array;
    QCOMPARE(array.add(), 1);
    QCOMPARE(array.add(), 2);
    QCOMPARE(array.add(), 3);
    QVERIFY(array.remove(1));
    QCOMPARE(array.add(), 4); // the gap at 1 is not reused
    QCOMPARE(indexes(array), (std::vector<int>{2, 3, 4}));
    QCOMPARE(array.count(), 3);

    QVERIFY(array.remove(4));
    QVERIFY(!array.remove(4));
    QCOMPARE(array.highestIndex(), 3);
    QCOMPARE(array.add(), 4); // the highest in use is 3 again
    QVERIFY(!array.contains(1));
}

void tst_ElementArray::theTemplateStays()
{
    ElementArray<Item> array(Item{7});
    QVERIFY(array.contains(0));
    QCOMPARE(array.count(), 0);
    QCOMPARE(array.highestIndex(), 0);

    const int first = array.add();
    QCOMPARE(array.at(first).value, 7);
    array.at(first).value = 8;
    QCOMPARE(array.templateElement().value, 7);
    array.templateElement().value = 9;
    QCOMPARE(array.at(array.add()).value, 9);

    QVERIFY(!array.remove(0));
    QCOMPARE(array.at(0).value, 9);
    QCOMPARE(indexes(array), (std::vector<int>{1, 2}));
}

QTEST_APPLESS_MAIN(tst_ElementArray)
#include "tst_ElementArray.moc"
