#pragma once

#include <QtGlobal>

#include <map>
#include <utility>

namespace vm {

// An indexed set of elements of one kind, as a side holds them. Index 0 is a hidden template
// that always exists and is never saved, shown or deleted; its values are the starting values of
// every new element. A new element takes the highest index in use plus one, and deleting one
// leaves a gap, so indexes stay stable while the operator edits.
template <class T> class ElementArray {
public:
    using value_type = T;
    using Map = std::map<int, T>;
    using iterator = typename Map::iterator;
    using const_iterator = typename Map::const_iterator;

    explicit ElementArray(T templateElement = T())
        : m_template(std::move(templateElement))
    {
    }

    T& templateElement() { return m_template; }
    const T& templateElement() const { return m_template; }

    // Creates a copy of the template and returns its index.
    int add()
    {
        const int index = highestIndex() + 1;
        m_elements.emplace(index, m_template);
        return index;
    }

    // Puts an element back at its own index, as undoing a deletion does; false when the index is
    // the template's or taken.
    bool insert(int index, T element)
    {
        return index > 0 && m_elements.emplace(index, std::move(element)).second;
    }

    // Removes the element; the template and missing indexes are left alone.
    bool remove(int index) { return index != 0 && m_elements.erase(index) > 0; }

    // Index 0 is the template.
    bool contains(int index) const { return index == 0 || m_elements.count(index) > 0; }
    T& at(int index)
    {
        Q_ASSERT(contains(index));
        return index == 0 ? m_template : m_elements.at(index);
    }
    const T& at(int index) const
    {
        Q_ASSERT(contains(index));
        return index == 0 ? m_template : m_elements.at(index);
    }

    // Elements present, without the template.
    int count() const { return int(m_elements.size()); }
    bool isEmpty() const { return m_elements.empty(); }
    // 0 when only the template is left.
    int highestIndex() const { return m_elements.empty() ? 0 : m_elements.rbegin()->first; }

    // The present elements as (index, element) in index order, without the template.
    iterator begin() { return m_elements.begin(); }
    iterator end() { return m_elements.end(); }
    const_iterator begin() const { return m_elements.begin(); }
    const_iterator end() const { return m_elements.end(); }

    friend bool operator==(const ElementArray&, const ElementArray&) = default;

private:
    T m_template;
    Map m_elements;
};

} // namespace vm
