// StoreHooks: the few places where the persistence layer reaches into the engine —
// the flag store's "ready" and "save" flags, scheduling a save, and the re-evaluation
// of every stored folder after the clean-up. The engine installs its implementations
// (registerPersistence() in store/Persistence.h); until then a private flag table and
// no-op actions stand in, so the store works and can be tested on its own.
//
// Thread-safety: every function may be called from any thread. The installed
// functions are guarded by m_mutex (a private static); they are called outside it.
#pragma once

#include <functional>

namespace trevalin {

class StoreHooks {
public:
    enum class SubSystem { database = 0, bookmarks = 1 };
    enum class Flag { ready = 0, save = 1 };

    using FlagGetter = std::function<bool(SubSystem, Flag)>;
    using FlagSetter = std::function<void(SubSystem, Flag, bool)>;
    using Action = std::function<void()>;

    // Reads or writes a flag synchronously (the caller decides whether to do it in a task).
    static bool flag(SubSystem subsystem, Flag flag);
    static void setFlag(SubSystem subsystem, Flag flag, bool value);
    // Starts a low-priority save of whatever is flagged; never blocks.
    static void scheduleSave();
    // Re-evaluates every stored folder; blocks until done.
    static void triageAll();

    // Installs the engine's implementations; an empty function keeps the stand-in.
    static void install(FlagGetter getter, FlagSetter setter, Action scheduleSave, Action triageAll);
    // Back to the stand-ins with all flags false (for tests).
    static void uninstall();
};

} // namespace trevalin
