// OrderedSet: a set of unique elements that remembers insertion order.
//
// Appending an element that is already present changes nothing (the first
// position is kept); removal keeps the order of the rest. Costs as OrderedMap:
// average constant-time lookup, average O(log n) append and removal, amortised
// constant-time removal of the first element, O(log n) position queries.
//
// Thread-safety: none of its own (as the standard containers); the owner locks.
#pragma once

#include "model/OrderedMap.h"

#include <initializer_list>
#include <optional>
#include <vector>

namespace trevalin {

template <typename T, typename Hash = DefaultHash<T>, typename Equal = std::equal_to<T>> class OrderedSet {
    struct Unit {
        bool operator==(const Unit&) const = default;
    };
    using Map = OrderedMap<T, Unit, Hash, Equal>;

public:
    using value_type = T;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        reference operator*() const { return m_it->first; }
        pointer operator->() const { return &m_it->first; }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++m_it;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_it == other.m_it; }

    private:
        friend class OrderedSet;
        explicit const_iterator(typename Map::const_iterator it)
            : m_it(it) {}
        typename Map::const_iterator m_it;
    };
    using iterator = const_iterator;

    OrderedSet() = default;
    OrderedSet(std::initializer_list<T> elements) {
        for (const T& e : elements)
            append(e);
    }
    template <typename Range> static OrderedSet fromRange(const Range& range) {
        OrderedSet out;
        for (const auto& e : range)
            out.append(e);
        return out;
    }

    std::size_t size() const { return m_map.size(); }
    bool isEmpty() const { return m_map.isEmpty(); }
    bool empty() const { return m_map.isEmpty(); }
    const_iterator begin() const { return const_iterator(m_map.begin()); }
    const_iterator end() const { return const_iterator(m_map.end()); }

    bool contains(const T& element) const { return m_map.contains(element); }

    // Appends when absent; returns whether it was appended.
    bool append(const T& element) { return m_map.insert(element, Unit{}); }

    // Appends every element of `range` that is not yet present, in order;
    // returns how many were appended.
    template <typename Range> std::size_t appendAll(const Range& range) {
        std::size_t added = 0;
        for (const auto& e : range)
            added += append(e) ? 1 : 0;
        return added;
    }

    // Removes `element`; the order of the rest is kept. Returns whether it was present.
    bool remove(const T& element) { return m_map.remove(element); }

    template <typename Pred> std::size_t removeIf(Pred pred) {
        return m_map.removeIf([&](const typename Map::Entry& e) { return pred(e.first); });
    }

    // Puts `replacement` at the position of `existing`. Fails (false, no change)
    // when `existing` is absent or `replacement` is present at another position.
    bool replace(const T& existing, const T& replacement) { return m_map.replaceKey(existing, replacement); }

    const T* first() const {
        auto e = m_map.first();
        return e ? &e->first : nullptr;
    }
    const T* last() const {
        auto e = m_map.last();
        return e ? &e->first : nullptr;
    }

    // Takes out and returns the first element; amortised constant time.
    std::optional<T> takeFirst() {
        if (m_map.isEmpty())
            return std::nullopt;
        T out = m_map.first()->first;
        m_map.remove(out);
        return std::optional<T>(std::move(out));
    }

    std::optional<std::size_t> indexOf(const T& element) const { return m_map.indexOf(element); }
    const T& at(std::size_t position) const { return m_map.at(position).first; }

    std::vector<T> toVector() const { return m_map.keys(); }

    void clear() { m_map.clear(); }
    void reserve(std::size_t n) { m_map.reserve(n); }
    void compact() { m_map.compact(); }
    std::size_t capacitySlots() const { return m_map.capacitySlots(); }

    bool operator==(const OrderedSet& other) const { return m_map == other.m_map; }

private:
    Map m_map;
};

} // namespace trevalin
