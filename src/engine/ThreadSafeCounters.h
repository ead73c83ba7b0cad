// ThreadSafeCounters: the engine's four run counters. A value type whose copies
// share the same four counters. Two instances exist per process: the one inside
// SafeQueue (kept, never counted on) and shared(), on which queue processing counts
// its runs (invocations) and processed jobs (locations, jobs); notifications is
// never incremented.
//
// Thread-safety: the counters are CounterActors (each with its own mutex); the
// members themselves never change after construction.
#pragma once

#include "engine/CounterActor.h"

#include <memory>

namespace trevalin {

class ThreadSafeCounters {
public:
    ThreadSafeCounters()
        : invocations(std::make_shared<CounterActor>())
        , notifications(std::make_shared<CounterActor>())
        , locations(std::make_shared<CounterActor>())
        , jobs(std::make_shared<CounterActor>()) {}

    // The process-wide instance used by queue processing, created on first use and
    // never destroyed (pool tasks may still use it while the process exits).
    static ThreadSafeCounters& shared() {
        static ThreadSafeCounters* instance = new ThreadSafeCounters();
        return *instance;
    }

    std::shared_ptr<CounterActor> invocations;
    std::shared_ptr<CounterActor> notifications;
    std::shared_ptr<CounterActor> locations;
    std::shared_ptr<CounterActor> jobs;
};

} // namespace trevalin
