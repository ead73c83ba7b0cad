// FileSystemNotifier: the watch of one monitored folder. Creating it returns at
// once; a low-priority task then checks that the folder can be accessed and adds
// its watch on the watch thread (WatchThread). Every change event of the folder
// asks FolderNotifications for an engine pass over it. A folder that leaves its path
// stays Watching: the watch thread waits for it to come back, watches it again and
// the event starts a pass. stop() ends the watch.
//
// States: Created -> SettingUp -> Watching (the watch is in place) or Failed (no
// access, or the watch could not be added, at set-up or when the folder came back;
// logged) -> Stopped.
//
// Thread-safety: the state is guarded by m_mutex; every public function may be
// called from any thread. Always held through std::shared_ptr (create()).
#pragma once

#include "engine/WatchThread.h"
#include "model/Location.h"

#include <QtGlobal>

#include <memory>
#include <mutex>

namespace trevalin {

class FileSystemNotifier : public std::enable_shared_from_this<FileSystemNotifier> {
    struct Private {};

public:
    // The error of a folder that could not be opened for watching.
    enum class EventProcessorError { FileDescriptor };
    enum class State { Created, SettingUp, Watching, Failed, Stopped };

    // A notifier for `location`; its set-up runs in a new low-priority task.
    static std::shared_ptr<FileSystemNotifier> create(const Location& location);

    FileSystemNotifier(Private, const Location& location);
    ~FileSystemNotifier();
    FileSystemNotifier(const FileSystemNotifier&) = delete;
    FileSystemNotifier& operator=(const FileSystemNotifier&) = delete;

    const Location& location() const { return m_location; }
    // Set at creation (300 and 0); nothing consults them.
    quint32 trigger() const { return m_trigger; }
    quint32 timer() const { return m_timer; }

    State state() const;
    // The watch is in place (the event source is active).
    bool hasSource() const { return state() == State::Watching; }

    // Ends the watch: "Cancelled filesystem notifications for: <path>" when it was in
    // place, else the warning that there was no event source. A set-up still running
    // adds no watch afterwards.
    void stop();
    // As stop(), without a log line: for a notifier replaced by a newer one.
    void release();

private:
    void setUp();
    // What the watch thread reports of the folder: gone from its path, back, or no
    // longer watchable.
    void watchStatus(WatchThread::Status status, const QString& reason);
    void logWatchFailure(const QString& reason) const;
    // Ends the watch; returns whether it was in place.
    bool end();

    const Location m_location;
    const quint32 m_trigger = 300;
    const quint32 m_timer = 0;

    mutable std::mutex m_mutex;
    State m_state = State::Created; // guarded by m_mutex
    bool m_stopped = false;         // guarded by m_mutex: stop() or release() was called
};

} // namespace trevalin
