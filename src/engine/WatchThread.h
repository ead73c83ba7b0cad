// WatchThread: the one thread on which all folder watches live — a QThread running
// its own event loop, with one QFileSystemWatcher (a single inotify instance) that
// holds a watch for every monitored folder. Each watched folder has one owner (a
// FileSystemNotifier) and one handler, called on this thread for every change
// event of the folder (entries created, deleted, renamed, attributes changed).
// Handlers must return quickly and never wait for other threads.
//
// Created on first use; the thread is stopped when the QCoreApplication is
// destroyed.
//
// Thread-safety: add(), remove() and isWatched() may be called from any thread;
// they run on the watch thread (the caller waits for them, which is short, as the
// watch thread never waits for anything). The watcher and the owner table are
// only touched on the watch thread, so they need no lock.
#pragma once

#include "model/Location.h"

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

class QFileSystemWatcher;
class QObject;
class QThread;

namespace trevalin {

class WatchThread {
public:
    using Handler = std::function<void()>;

    static WatchThread& shared();

    WatchThread(const WatchThread&) = delete;
    WatchThread& operator=(const WatchThread&) = delete;

    // Watches `folder` for `owner`: its events call `handler` (on the watch thread).
    // A folder already watched for another owner passes to this one. `cancelled` is
    // asked on the watch thread right before the watch is added; when it answers true
    // nothing is added and the result is std::nullopt. Returns std::nullopt when the
    // folder is watched, else the reason why it cannot be (missing, not a folder,
    // the inotify watch limit reached, ...).
    std::optional<QString> add(const Location& folder, const void* owner, Handler handler,
                               std::function<bool()> cancelled = {});
    // Ends the watch of `folder` when `owner` holds it; returns whether it did.
    bool remove(const Location& folder, const void* owner);
    // Whether the watcher holds a watch on `folder` (whatever its owner).
    bool isWatched(const Location& folder);

    // The watch thread (for tests and diagnostics).
    QThread* thread() const { return m_thread; }

private:
    WatchThread();
    template <typename F> void runOnThread(F&& work);
    static void shutdown();

    struct Entry {
        const void* owner = nullptr;
        Handler handler;
    };

    QThread* m_thread = nullptr;
    QObject* m_context = nullptr;            // lives on m_thread
    QFileSystemWatcher* m_watcher = nullptr; // lives on m_thread; touched only there
    QHash<QString, Entry> m_entries;         // touched only on m_thread
};

} // namespace trevalin
