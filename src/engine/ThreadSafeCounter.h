// ThreadSafeCounter: a short-lived counter of finished subtasks (the bookmark
// database's task counter, one per monitored-folder evaluation pass). A signed
// count that starts at 0.
//
// Thread-safety: the count is guarded by m_mutex; each operation is one critical
// section.
#pragma once

#include <cstdint>
#include <mutex>

namespace trevalin {

class ThreadSafeCounter {
public:
    ThreadSafeCounter() = default;
    ThreadSafeCounter(const ThreadSafeCounter&) = delete;
    ThreadSafeCounter& operator=(const ThreadSafeCounter&) = delete;

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
