// WatchThread: the one thread on which all folder watches live — a QThread running
// its own event loop around one inotify instance, read through a QSocketNotifier.
// Each watched folder has one owner (a FileSystemNotifier) and one handler, called on
// this thread for every change event of the folder: entries created, deleted or moved
// in or out, a file closed after writing or its attributes changed (so an edit in
// place is seen too), and the folder itself leaving its path.
//
// A folder that leaves its path (deleted, moved away, its volume unmounted) is
// watched for through its nearest existing ancestor: when an entry of the missing
// name appears there, the folder's own watch comes back and the handler runs, so a
// folder deleted and created again is watched again. The status handler hears of
// both moves (Gone, Back), and of a watch that could not be added again (Failed,
// with the reason); a failed folder is no longer watched.
//
// Created on first use; the thread is stopped when the QCoreApplication is
// destroyed.
//
// Thread-safety: add(), remove(), isWatched() and the test hook may be called from
// any thread; they run on the watch thread (the caller waits for them, which is
// short, as the watch thread never waits for anything). The inotify descriptor and
// the watch tables are only touched on the watch thread, so they need no lock.
// Handlers must return quickly and never wait for other threads.
#pragma once

#include "model/Location.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

class QObject;
class QSocketNotifier;
class QThread;

namespace trevalin {

class WatchThread {
public:
    using Handler = std::function<void()>;
    enum class Status { Gone, Back, Failed };
    // `reason` is set for Failed only.
    using StatusHandler = std::function<void(Status status, const QString& reason)>;
    // Test-only: the errno to fail inotify_add_watch for `path` with (0: add it).
    using AddFailure = std::function<int(const QString& path)>;

    static WatchThread& shared();

    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;

    // Watches `folder` for `owner`: its events call `handler`, its moves `status` (both
    // on the watch thread). A folder already watched for another owner passes to this
    // one. `cancelled` is asked on the watch thread right before the watch is added;
    // when it answers true nothing is added and the result is std::nullopt. Returns
    // std::nullopt when the folder is watched, else the reason why it cannot be
    // (missing, not a folder, the inotify watch limit reached, ...).
    std::optional<QString> add(const Location& folder, const void* owner, Handler handler,
                               std::function<bool()> cancelled = {}, StatusHandler status = {});
    // Ends the watch of `folder` (or the wait for its return) when `owner` holds it;
    // returns whether it did.
    bool remove(const Location& folder, const void* owner);
    // Whether `folder` itself is watched (whatever its owner); false while it is
    // missing from its path and only waited for.
    bool isWatched(const Location& folder);

    // Test-only: decides the outcome of every inotify_add_watch (empty: none).
    void setAddFailureForTesting(AddFailure failure);

    // The watch thread (for tests and diagnostics).
    QThread* thread() const { return m_thread; }

private:
    WatchThread();
    template <typename F> void runOnThread(F&& work);
    static void shutdown();

    struct Entry {
        const void* owner = nullptr;
        Handler handler;
        StatusHandler status;
        int wd = -1;         // the watch this entry listens on
        bool present = true; // wd watches the folder itself; false: its nearest existing ancestor
        QString waitOn;      // that ancestor's path while the folder is missing
    };

    // inotify_add_watch for `path`: the watch descriptor, or -1 with the errno in `error`.
    int addWatch(const QString& path, int* error);
    // `path`'s entry stops listening on `wd`; the watch goes when nobody listens on it.
    void detach(const QString& path, int wd);
    void attach(const QString& path, Entry& entry, int wd, const QString& waitOn = {});
    // Drops the entry of `path` and reports Failed with the reason for `error`.
    void fail(const QString& path, int error);
    // Puts the watch of the entry of `path` where the folder is now: on the folder when
    // it is at its path, else on its nearest existing ancestor. Reports Gone, Back or
    // Failed (the entry is then dropped). Returns whether the folder came back.
    bool rearm(const QString& path);
    void readEvents();
    void dispatch(int wd, quint32 mask, const QString& name);

    QThread* m_thread = nullptr;
    QObject* m_context = nullptr;          // lives on m_thread
    QSocketNotifier* m_notifier = nullptr; // lives on m_thread; touched only there
    int m_fd = -1;                         // touched only on m_thread
    int m_initError = 0;                   // the errno of a failed inotify_init1
    QHash<QString, Entry> m_entries;       // by folder path; touched only on m_thread
    QHash<int, QSet<QString>> m_listeners; // wd -> folder paths; touched only on m_thread
    AddFailure m_addFailure;               // touched only on m_thread
};

} // namespace trevalin
