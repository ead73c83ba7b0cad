// FolderNotifications: the process-wide registry of folder watches — one
// FileSystemNotifier per monitored folder, keyed by the folder's location — and the
// engine passes that their change events start.
//
// Passes: every change event of a folder asks for a pass over it (Process::triage
// for the folder, then Process::process() when that queued work), run on the engine
// pool at medium priority. The events of one folder are coalesced: at most one pass
// over a folder runs at a time and at most one more waits. An event that arrives
// while a pass runs marks the folder pending; when the pass ends, one more pass
// starts, which sees every change made up to its own start. So a burst of events
// (a thousand files copied into the folder) starts a handful of passes rather than
// a thousand overlapping ones, and no change is missed.
//
// Thread-safety: the notifier map is guarded by m_mutex and the pass table by
// m_passMutex; every public function may be called from any thread. monitor(),
// remove() and cease() wait briefly for the watch thread; run them on pool tasks.
#pragma once

#include "model/Location.h"
#include "model/OrderedMap.h"
#include "model/OrderedSet.h"

#include <QHash>
#include <QList>

#include <functional>
#include <memory>
#include <mutex>

namespace trevalin {

class FileSystemNotifier;

class FolderNotifications {
public:
    // Called when a pass over `folder` begins (true) and when it ends (false).
    using PassHook = std::function<void(const Location& folder, bool begins)>;

    // The shared instance, created on first use; never destroyed.
    static FolderNotifications& shared();

    FolderNotifications() = default;
    FolderNotifications(const FolderNotifications&) = delete;
    FolderNotifications& operator=(const FolderNotifications&) = delete;

    // Starts a notifier for every monitored folder of the folder store ("register").
    // Nothing monitored: only a debug-gated line.
    void registerAll();
    // Starts a notifier for `url`; an earlier one for the same folder is released.
    void monitor(const Location& url);
    // Stops and forgets the notifier of `url`, if any; always logs that monitoring
    // of the path stopped.
    void remove(const Location& url);
    // Removes every notifier, one after another.
    void cease();

    // The notifier of `url`, or null.
    std::shared_ptr<FileSystemNotifier> notifier(const Location& url) const;
    // The monitored locations, in the order they were registered.
    QList<Location> locations() const;

    // A change event of `folder`: starts a pass over it, or marks it pending when one
    // runs. Events of folders without a notifier are ignored.
    void folderChanged(const Location& folder);
    // Whether a pass over `folder` runs or waits.
    bool passActive(const Location& folder) const;

    // Test-only: observes the begin and end of every pass.
    void setPassHookForTesting(PassHook hook);

private:
    enum class PassState { Running, RunningPending };

    void runPasses(const Location& folder);
    bool isMonitored(const Location& folder) const;

    mutable std::mutex m_mutex;
    OrderedMap<Location, std::shared_ptr<FileSystemNotifier>> m_notifier; // guarded by m_mutex
    OrderedSet<Location> m_events; // guarded by m_mutex; kept, never used

    mutable std::mutex m_passMutex;
    QHash<Location, PassState> m_passes; // guarded by m_passMutex; absent = idle
    PassHook m_passHook;                 // guarded by m_passMutex
};

} // namespace trevalin
