// ThreadSafeLocationQueue: a named queue of file or folder locations, in
// insertion order, each location at most once.
//
// Thread-safety: see ThreadSafeOrderedQueue — one mutex, one critical section per
// operation.
#pragma once

#include "engine/ThreadSafeOrderedQueue.h"
#include "model/Location.h"

namespace trevalin {

class ThreadSafeLocationQueue : public ThreadSafeOrderedQueue<Location> {
public:
    explicit ThreadSafeLocationQueue(QString name)
        : ThreadSafeOrderedQueue(std::move(name), QStringLiteral("ThreadSafeLocationQueue")) {}

    // Removes `location` (no effect when absent); the order of the rest is kept.
    // Returns whether it was queued. Debug-gated line.
    bool remove(const Location& location) {
        logProvided(typeName<Location>(), QStringLiteral("remove(_:)"));
        std::lock_guard lock(m_mutex);
        return m_data.remove(location);
    }

    // Takes out and returns the location at the front; nothing when empty.
    std::optional<Location> removeFirst() {
        std::lock_guard lock(m_mutex);
        return m_data.takeFirst();
    }
};

} // namespace trevalin
