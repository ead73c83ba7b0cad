// FlagStore: the per-subsystem flag table — whether the content database and the
// bookmark database are loaded ("ready") or hold unsaved changes ("save"), and
// whether watching runs ("active") — plus the start-up completion that happens
// exactly once, when the second of the two "ready" flags arrives, and save(), which
// writes back whatever is flagged as modified.
//
// The work that start-up completion starts and that save() performs belongs to
// other parts of the program; they plug in through the hooks below (an absent hook
// is skipped silently):
//   setBookmarkSaver / setContentSaver  — write one database; return true when it
//       was written (the saver clears its own "save" flag through set(); an
//       exception counts as a failure);
//   setFolderStoreFlush                 — save the folder store's pending changes;
//   addStartupCompletionHook            — run once, as a background task, when
//       start-up completes (the database clean-up, folder monitoring);
//   setStartupTimestamp                 — logs the time since start-up (debugging).
//
// Thread-safety: the flags, `startup` and the hooks are guarded by m_mutex; every
// public operation on them is one critical section, and the test of both "ready"
// flags and the clearing of `startup` happen in the same one, so completion can
// never run twice. save() is serialised by m_saveMutex (saves run one after
// another) and calls the hooks without holding m_mutex, so a saver may call set().
#pragma once

#include <QString>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

namespace trevalin {

enum class SubSystem : int { database = 0, bookmarks = 1, watching = 2 };
enum class Flag : int { ready = 0, save = 1, active = 2 };

QString toString(SubSystem subsystem);
QString toString(Flag flag);

// The key of the flag table: a one-entry map from a subsystem to a flag.
struct StateElement {
    std::map<SubSystem, Flag> state;

    StateElement(SubSystem subsystem, Flag flag)
        : state{{subsystem, flag}} {}
    bool operator==(const StateElement& other) const = default;
};

struct StateElementHash {
    std::size_t operator()(const StateElement& element) const noexcept {
        std::size_t h = 0x9e3779b9u;
        for (const auto& [subsystem, flag] : element.state)
            h ^= std::size_t(int(subsystem) * 3 + int(flag) + 1) + 0x9e3779b9u + (h << 6) + (h >> 2);
        return h;
    }
};

class FlagStore {
public:
    using SaveHook = std::function<bool()>;
    using Hook = std::function<void()>;

    FlagStore() = default;
    FlagStore(const FlagStore&) = delete;
    FlagStore& operator=(const FlagStore&) = delete;

    // The shared instance, created on first use.
    static FlagStore& shared();

    // Stores false under all nine keys, subsystem by subsystem.
    void initialise();
    // Stores one flag; completes start-up when this makes both "ready" flags true
    // for the first time.
    void set(SubSystem component, Flag flag, bool state);
    // The stored value; an absent key reads as false.
    bool get(SubSystem component, Flag flag) const;
    // True until start-up completes; never true again afterwards.
    bool startup() const;
    // The number of keys stored (nine after initialise()).
    int keyCount() const;

    // Writes the bookmark database when flagged, then the content database when
    // flagged, then flushes the folder store. Failures are logged and leave the
    // flag set for the next save. Blocking; callers run it on a pool task.
    void save();

    void setBookmarkSaver(SaveHook saver);
    void setContentSaver(SaveHook saver);
    void setFolderStoreFlush(Hook flush);
    // Registers work for start-up completion. A hook added after start-up has
    // already completed is started at once, so late registration loses nothing.
    void addStartupCompletionHook(Hook hook);
    void setStartupTimestamp(Hook timestamp);

    // Test-only: back to a freshly created store (no keys, startup true, no hooks).
    void resetForTesting();

private:
    bool getLocked(SubSystem component, Flag flag) const;

    mutable std::mutex m_mutex;
    std::unordered_map<StateElement, bool, StateElementHash> m_states; // guarded by m_mutex
    bool m_startup = true;                                             // guarded by m_mutex
    SaveHook m_bookmarkSaver;                                          // guarded by m_mutex
    SaveHook m_contentSaver;                                           // guarded by m_mutex
    Hook m_folderStoreFlush;                                           // guarded by m_mutex
    std::vector<Hook> m_completionHooks;                               // guarded by m_mutex
    Hook m_timestamp;                                                  // guarded by m_mutex

    std::mutex m_saveMutex; // held for the whole of save(): one save at a time
};

} // namespace trevalin
