// CounterActor: one named run counter of ThreadSafeCounters, and (under the name
// ThreadSafeCounter) a subtask counter — a signed count that starts at 0 and only
// goes up by one.
//
// Thread-safety: the count is guarded by m_mutex; each operation is one critical
// section, so concurrent increments are never lost.
#pragma once

#include <cstdint>
#include <mutex>

namespace trevalin {

class CounterActor {
public:
    CounterActor() = default;
    CounterActor(const CounterActor&) = delete;
    CounterActor& operator=(const CounterActor&) = delete;

    // Adds one and returns the new count.
    std::int64_t increment() {
        std::lock_guard lock(m_mutex);
        return ++m_count;
    }
    std::int64_t count() const {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    mutable std::mutex m_mutex;
    std::int64_t m_count = 0; // guarded by m_mutex
};

} // namespace trevalin
