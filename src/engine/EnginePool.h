// EnginePool: the one thread pool on which engine tasks run. It is sized for
// blocking work (tasks read files and sleep while files settle), so it holds at
// least 16 threads. Tasks carry one of four priorities; a queued task of higher
// priority starts before queued tasks of lower priority (running tasks are never
// pre-empted).
//
// Thread-safety: every function may be called from any thread. No exception
// leaves a task: one that escapes is caught and logged at error level.
#pragma once

#include <QString>

#include <functional>

class QThreadPool;

namespace trevalin {

enum class TaskPriority : int {
    Background = 9, // clean-up, orphan scans, starting and stopping all monitoring
    Low = 17,       // settings, taglines, the menu-bar item, saving, monitoring toggles
    Medium = 21,    // loading steps, intake, drops, folder-change passes
    High = 25,      // the start-up runner
};

class EnginePool {
public:
    static constexpr int kMinimumThreads = 16;

    // The shared pool, created on first use and never destroyed, so tasks still
    // sleeping when the process exits never hold the exit up.
    static QThreadPool& pool();

    // Starts `task` on the pool with `priority`; never blocks the caller.
    static void run(TaskPriority priority, std::function<void()> task);
    static void runHigh(std::function<void()> task) { run(TaskPriority::High, std::move(task)); }
    static void runMedium(std::function<void()> task) { run(TaskPriority::Medium, std::move(task)); }
    static void runLow(std::function<void()> task) { run(TaskPriority::Low, std::move(task)); }
    static void runBackground(std::function<void()> task) { run(TaskPriority::Background, std::move(task)); }

    // Waits until no task is queued or running, up to `msecs` (-1: no limit).
    // Returns whether the pool became idle. Meant for tests and orderly shut-down;
    // never call it from a pool task.
    static bool waitForDone(int msecs = -1);
};

} // namespace trevalin
