// StoreHooks: the few places where the persistence layer reaches into the engine —
// the flag store's "ready" and "save" flags, scheduling a save, the re-evaluation of
// every stored folder after the clean-up, and running work in the background. The
// engine installs its implementations (Engine::start() in engine/Engine.h); until
// then a private flag table, no-op actions and a private thread pool of the store
// stand in, so the store works and can be tested on its own.
//
// Thread-safety: every function may be called from any thread. The installed
// functions are guarded by a private mutex; they are called outside it.
#pragma once

#include <functional>
#include <utility>

namespace trevalin {

class StoreHooks {
public:
    enum class SubSystem { database = 0, bookmarks = 1 };
    enum class Flag { ready = 0, save = 1 };

    using FlagGetter = std::function<bool(SubSystem, Flag)>;
    using FlagSetter = std::function<void(SubSystem, Flag, bool)>;
    using Action = std::function<void()>;

    // The priority of background work, lowest first; the engine maps it onto its pool's.
    enum class Priority { background = 0, low = 1, medium = 2, high = 3 };
    using Runner = std::function<void(Priority, Action)>;
    using Waiter = std::function<bool(int msecs)>;

    // Reads or writes a flag synchronously (the caller decides whether to do it in a task).
    static bool flag(SubSystem subsystem, Flag flag);
    static void setFlag(SubSystem subsystem, Flag flag, bool value);
    // Starts a low-priority save of whatever is flagged; never blocks.
    static void scheduleSave();
    // Re-evaluates every stored folder; blocks until done.
    static void triageAll();

    // Starts `task` in the background with `priority`; never blocks. A queued task of
    // higher priority starts before queued tasks of lower priority. An exception that
    // leaves the task is caught and logged.
    static void run(Priority priority, Action task);
    static void runLow(Action task) { run(Priority::low, std::move(task)); }
    static void runMedium(Action task) { run(Priority::medium, std::move(task)); }
    // Waits until no background task is queued or running, up to `msecs` (-1: no
    // limit): the stand-in pool's and, once the engine's runner is installed, whatever
    // its waiter waits for. Returns whether all finished. Never call it from a task.
    static bool waitForBackground(int msecs = -1);

    // Installs the engine's implementations; an empty function keeps the stand-in.
    static void install(FlagGetter getter, FlagSetter setter, Action scheduleSave, Action triageAll);
    // Installs the engine's background runner and the wait for its work; both must be given.
    static void installBackground(Runner runner, Waiter waiter);
    // Back to the stand-ins with all flags false (for tests).
    static void uninstall();
};

} // namespace trevalin
