// ThreadSafeCounters: the engine's run counters. A value type whose copies share the
// same counters. Two instances exist per process: the one inside SafeQueue (kept,
// never counted on) and shared(), on which queue processing counts its runs
// (invocations) and processed jobs (locations, jobs), and triage the files it refused:
// a path the content database cannot carry (unstorable), or one that could not be
// made a record because it is not a readable regular file (unresolved). notifications
// is never incremented.
//
// Thread-safety: the counters are CounterActors (each with its own mutex); the
// members themselves never change after construction.
#pragma once

#include "model/CounterActor.h"

#include <memory>

namespace trevalin {

class ThreadSafeCounters {
public:
    ThreadSafeCounters()
        : invocations(std::make_shared<CounterActor>())
        , notifications(std::make_shared<CounterActor>())
        , locations(std::make_shared<CounterActor>())
        , jobs(std::make_shared<CounterActor>())
        , unstorable(std::make_shared<CounterActor>())
        , unresolved(std::make_shared<CounterActor>()) {}

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
    std::shared_ptr<CounterActor> unstorable;
    std::shared_ptr<CounterActor> unresolved;
};

} // namespace trevalin
