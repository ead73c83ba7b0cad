// OrderedMap: a hash map with unique keys that remembers insertion order.
//
// Lookup and assignment in place are average constant time; insertion at the end
// and removal are average O(log n) (a Fenwick tree of live slots keeps positions
// countable); removing the first entry (the work-queue pattern) is amortised
// constant time. Removal leaves a hole in the slot vector that iteration skips;
// holes are compacted away once they outnumber the live entries, so memory stays
// proportional to the size. Position queries (`indexOf`, `at`) are constant time
// while no entry after the first has been removed since the last compaction, and
// O(log n) otherwise.
//
// Thread-safety: none of its own, like the standard containers: concurrent const
// use is safe, anything else needs the owner's lock. Any non-const call
// invalidates iterators and references.
#pragma once

#include <QHashFunctions>

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace trevalin {

// Hashes with std::hash when the type has one, otherwise with Qt's qHash.
template <typename T> struct DefaultHash {
    std::size_t operator()(const T& value) const {
        if constexpr (requires { std::hash<T>{}(value); })
            return std::hash<T>{}(value);
        else
            return static_cast<std::size_t>(qHash(value));
    }
};

template <typename Key, typename Value, typename Hash = DefaultHash<Key>, typename Equal = std::equal_to<Key>>
class OrderedMap {
public:
    using Entry = std::pair<Key, Value>;

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Entry;
        using difference_type = std::ptrdiff_t;
        using pointer = const Entry*;
        using reference = const Entry&;

        const_iterator() = default;
        reference operator*() const { return *(*m_slots)[m_pos]; }
        pointer operator->() const { return &*(*m_slots)[m_pos]; }
        const_iterator& operator++() {
            ++m_pos;
            skipHoles();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return m_pos == other.m_pos; }

    private:
        friend class OrderedMap;
        const_iterator(const std::vector<std::optional<Entry>>* storage, std::size_t pos)
            : m_slots(storage)
            , m_pos(pos) {
            skipHoles();
        }
        void skipHoles() {
            while (m_pos < m_slots->size() && !(*m_slots)[m_pos])
                ++m_pos;
        }
        const std::vector<std::optional<Entry>>* m_slots = nullptr;
        std::size_t m_pos = 0;
    };
    using iterator = const_iterator;

    OrderedMap() = default;
    OrderedMap(std::initializer_list<Entry> entries) {
        for (const Entry& e : entries)
            insert(e.first, e.second);
    }

    std::size_t size() const { return m_index.size(); }
    bool isEmpty() const { return m_index.empty(); }
    bool empty() const { return m_index.empty(); }

    const_iterator begin() const { return const_iterator(&m_slots, m_head); }
    const_iterator end() const { return const_iterator(&m_slots, m_slots.size()); }

    bool contains(const Key& key) const { return m_index.find(key) != m_index.end(); }

    // The value stored under `key`, or nullptr. The pointer is invalidated by any
    // non-const call.
    const Value* find(const Key& key) const {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_slots[it->second]->second;
    }
    Value* find(const Key& key) {
        auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_slots[it->second]->second;
    }

    // A copy of the value under `key`, or `fallback` when absent.
    Value value(const Key& key, const Value& fallback = Value()) const {
        const Value* v = find(key);
        return v ? *v : fallback;
    }

    // Appends (key, value) when the key is absent and returns true; when the key
    // is present nothing changes and the result is false.
    bool insert(const Key& key, Value value) {
        if (contains(key))
            return false;
        m_index.emplace(key, m_slots.size());
        m_slots.emplace_back(std::in_place, key, std::move(value));
        treeAppend();
        return true;
    }

    // Replaces the value of a present key in place (its position is kept) or
    // appends a new entry. Returns true when a new entry was appended.
    bool insertOrAssign(const Key& key, Value value) {
        if (Value* v = find(key)) {
            *v = std::move(value);
            return false;
        }
        return insert(key, std::move(value));
    }

    // Replaces the value of a present key in place; returns false (and changes
    // nothing) when the key is absent.
    bool replace(const Key& key, Value value) {
        Value* v = find(key);
        if (!v)
            return false;
        *v = std::move(value);
        return true;
    }

    // Replaces the key `oldKey` by `newKey` at the same position, keeping or
    // replacing the value. Fails (false, no change) when `oldKey` is absent or
    // `newKey` is already present under a different entry.
    bool replaceKey(const Key& oldKey, const Key& newKey, std::optional<Value> newValue = std::nullopt) {
        auto it = m_index.find(oldKey);
        if (it == m_index.end())
            return false;
        const std::size_t slot = it->second;
        auto other = m_index.find(newKey);
        if (other != m_index.end() && other->second != slot)
            return false;
        m_index.erase(it);
        m_index.emplace(newKey, slot);
        m_slots[slot]->first = newKey;
        if (newValue)
            m_slots[slot]->second = std::move(*newValue);
        return true;
    }

    // Removes the entry under `key`; the order of the rest is kept.
    bool remove(const Key& key) {
        auto it = m_index.find(key);
        if (it == m_index.end())
            return false;
        const std::size_t slot = it->second;
        m_index.erase(it);
        vacate(slot);
        return true;
    }

    // Removes every entry for which pred(entry) is true, in one pass; returns how
    // many were removed.
    template <typename Pred> std::size_t removeIf(Pred pred) {
        std::size_t removed = 0;
        for (std::size_t i = m_head; i < m_slots.size(); ++i) {
            if (m_slots[i] && pred(std::as_const(*m_slots[i]))) {
                m_index.erase(m_slots[i]->first);
                m_slots[i].reset();
                ++m_holes;
                ++removed;
            }
        }
        if (removed) {
            advanceHead();
            if (m_index.empty())
                clear();
            else if (!maybeCompact())
                treeRebuild();
        }
        return removed;
    }

    // The first entry, or nothing when empty.
    const Entry* first() const { return isEmpty() ? nullptr : &*m_slots[m_head]; }
    const Entry* last() const {
        if (isEmpty())
            return nullptr;
        std::size_t i = m_slots.size();
        while (!m_slots[i - 1])
            --i;
        return &*m_slots[i - 1];
    }

    // Takes out and returns the first entry; amortised constant time.
    std::optional<Entry> takeFirst() {
        if (isEmpty())
            return std::nullopt;
        Entry out = std::move(*m_slots[m_head]);
        m_index.erase(out.first);
        vacate(m_head);
        return std::optional<Entry>(std::move(out));
    }

    // Position of `key` in iteration order, or nothing when absent.
    std::optional<std::size_t> indexOf(const Key& key) const {
        auto it = m_index.find(key);
        if (it == m_index.end())
            return std::nullopt;
        if (m_holes == 0)
            return it->second - m_head;
        return std::size_t(treePrefix(it->second) - treePrefix(m_head));
    }

    // The entry at `position` in iteration order; position must be < size().
    const Entry& at(std::size_t position) const {
        if (m_holes == 0)
            return *m_slots[m_head + position];
        return *m_slots[treeFind(treePrefix(m_head) + std::int64_t(position) + 1)];
    }

    std::vector<Key> keys() const {
        std::vector<Key> out;
        out.reserve(size());
        for (const Entry& e : *this)
            out.push_back(e.first);
        return out;
    }
    std::vector<Value> values() const {
        std::vector<Value> out;
        out.reserve(size());
        for (const Entry& e : *this)
            out.push_back(e.second);
        return out;
    }

    void clear() {
        m_slots.clear();
        m_index.clear();
        m_tree.assign(1, 0);
        m_head = 0;
        m_holes = 0;
    }

    void reserve(std::size_t n) {
        m_slots.reserve(n);
        m_index.reserve(n);
        m_tree.reserve(n + 1);
    }

    // Closes every hole so that position queries are constant time.
    void compact() {
        if (m_head == 0 && m_holes == 0)
            return;
        std::size_t out = 0;
        for (std::size_t i = m_head; i < m_slots.size(); ++i) {
            if (!m_slots[i])
                continue;
            if (out != i) {
                m_slots[out] = std::move(m_slots[i]);
                m_slots[i].reset();
            }
            m_index.find(m_slots[out]->first)->second = out;
            ++out;
        }
        m_slots.resize(out);
        m_head = 0;
        m_holes = 0;
        treeRebuild();
    }

    // Equal when both hold equal keys with equal values in the same order.
    bool operator==(const OrderedMap& other) const {
        if (size() != other.size())
            return false;
        auto a = begin();
        auto b = other.begin();
        for (; a != end(); ++a, ++b) {
            if (!Equal{}(a->first, b->first) || !(a->second == b->second))
                return false;
        }
        return true;
    }

    // Number of slots held, live or not (for tests of the compaction policy).
    std::size_t capacitySlots() const { return m_slots.size(); }

private:
    void vacate(std::size_t slot) {
        m_slots[slot].reset();
        if (slot == m_head) {
            // Slots before the head never take part in a count, so the tree is
            // left as it is: taking the first entry stays constant time.
            ++m_head;
            advanceHead();
        } else {
            ++m_holes;
            treeAdd(slot, -1);
        }
        if (m_index.empty()) {
            clear();
            return;
        }
        maybeCompact();
    }

    // Moves the head past holes that now lie at the front.
    void advanceHead() {
        while (m_head < m_slots.size() && !m_slots[m_head]) {
            ++m_head;
            --m_holes;
        }
    }

    // Compacts when the holes outnumber the live entries; returns whether it did.
    bool maybeCompact() {
        const std::size_t dead = m_head + m_holes;
        if (dead > 32 && dead > m_index.size()) {
            compact();
            return true;
        }
        return false;
    }

    // Fenwick tree over the slots, 1-based: m_tree[i] sums the liveness (1 or 0) of
    // slots (i - lowbit(i), i]. Exact for every slot from m_head on; slots before
    // m_head may still count as live, which cancels out in every difference taken.
    static std::size_t lowbit(std::size_t i) { return i & (~i + 1); }

    // Number of live slots among the first `count` slots.
    std::int64_t treePrefix(std::size_t count) const {
        std::int64_t sum = 0;
        for (std::size_t i = count; i > 0; i -= lowbit(i))
            sum += m_tree[i];
        return sum;
    }
    void treeAdd(std::size_t slot, int delta) {
        for (std::size_t i = slot + 1; i < m_tree.size(); i += lowbit(i))
            m_tree[i] += delta;
    }
    // Extends the tree by the slot just appended (live).
    void treeAppend() {
        const std::size_t i = m_slots.size();
        m_tree.push_back(std::int32_t(1 + treePrefix(i - 1) - treePrefix(i - lowbit(i))));
    }
    void treeRebuild() {
        m_tree.assign(m_slots.size() + 1, 0);
        for (std::size_t i = 1; i < m_tree.size(); ++i) {
            m_tree[i] += m_slots[i - 1] ? 1 : 0;
            const std::size_t parent = i + lowbit(i);
            if (parent < m_tree.size())
                m_tree[parent] += m_tree[i];
        }
    }
    // The slot at which the running count of live slots first reaches `target`.
    std::size_t treeFind(std::int64_t target) const {
        std::size_t pos = 0;
        std::size_t step = 1;
        while (step * 2 < m_tree.size())
            step *= 2;
        for (; step > 0; step /= 2) {
            if (pos + step < m_tree.size() && m_tree[pos + step] < target) {
                pos += step;
                target -= m_tree[pos];
            }
        }
        return pos; // 1-based position pos + 1, i.e. slot pos
    }

    // m_slots[m_head] is the first live entry (or m_head == m_slots.size() when
    // empty); m_holes counts the empty slots after m_head.
    std::vector<std::optional<Entry>> m_slots;
    std::unordered_map<Key, std::size_t, Hash, Equal> m_index;
    std::vector<std::int32_t> m_tree{0}; // see treePrefix()
    std::size_t m_head = 0;
    std::size_t m_holes = 0;
};

} // namespace trevalin
