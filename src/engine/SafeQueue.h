// SafeQueue: the engine's fixed set of named queues, in three groups — files,
// folders and (unused) counters. One process-wide instance, created on first use
// by shared(); queues start empty and nothing is persisted.
//
// Thread-safety: the members never change after construction; each queue guards
// its own contents (ThreadSafeOrderedQueue). No operation spans two queues
// atomically.
#pragma once

#include "engine/ThreadSafeCounters.h"
#include "engine/ThreadSafeLocationQueue.h"
#include "engine/ThreadSafeWorkQueue.h"

namespace trevalin {

class SafeQueue {
public:
    struct Files {
        ThreadSafeLocationQueue added{QStringLiteral("Files.added")};     // waiting for triage
        ThreadSafeWorkQueue queued{QStringLiteral("Files.queued")};       // jobs waiting for processing
        ThreadSafeLocationQueue deleted{QStringLiteral("Files.deleted")}; // kept, unused
        ThreadSafeLocationQueue watched{QStringLiteral("Files.watched")}; // changing files being watched
    };
    struct Folders {
        ThreadSafeLocationQueue added{QStringLiteral("Folders.added")};       // waiting for triage
        ThreadSafeLocationQueue deleted{QStringLiteral("Folders.deleted")};   // kept, unused
        ThreadSafeLocationQueue notified{QStringLiteral("Folders.notified")}; // kept, unused
    };

    // The shared instance, created on first use and never destroyed: pool tasks
    // may still use it while the process exits.
    static SafeQueue& shared() {
        static SafeQueue* instance = new SafeQueue();
        return *instance;
    }

    SafeQueue() = default;
    SafeQueue(const SafeQueue&) = delete;
    SafeQueue& operator=(const SafeQueue&) = delete;

    Files files;
    Folders folders;
    ThreadSafeCounters counters; // kept, never counted on
};

} // namespace trevalin
