// ChangeBatcher: gathers the row-level changes of one collection from any thread and
// hands them on as RecordChanges batches, at most one batch per interval (50 ms unless
// set otherwise), so that a run that changes 10,000 records in a second gives about
// twenty batches instead of 50,000 signals. The interval starts with the first change
// after a delivery; the batch is emitted from the batcher's own delivery thread (a
// plain thread without an event loop), never the GUI thread, so connect to batch()
// with a queued (or automatic) connection.
//
// Thread-safety: every public function may be called from any thread; the pending
// changes and the delivery thread's state are guarded by m_mutex.
#pragma once

#include "model/Location.h"
#include "store/RecordChanges.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace trevalin {

class ChangeBatcher : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultInterval{50};

    explicit ChangeBatcher(QObject* parent = nullptr);
    ~ChangeBatcher() override;

    // The time from the first change of a batch to its delivery.
    void setInterval(std::chrono::milliseconds interval);

    // `key` was appended at the end of the collection.
    void inserted(const Location& key);
    // The contents under `key` changed in place.
    void changed(const Location& key);
    // `key` was removed.
    void removed(const Location& key);
    // The whole collection was replaced or emptied.
    void reset();

    // Takes the pending changes at once (an empty batch when there are none); a delivery
    // already scheduled then finds nothing and emits nothing.
    RecordChanges take();
    // Emits the pending changes now, on the calling thread, when there are any. Batches
    // are emitted in the order they were taken, whichever thread flushes.
    void flush();

signals:
    void batch(const trevalin::RecordChanges& changes);

private:
    enum class Pending { Inserted, Changed, Removed, RemovedThenInserted };
    void note(const Location& key, Pending next);
    void run();

    std::mutex m_emitMutex; // held by flush() across take() and the emission; before m_mutex
    std::mutex m_mutex;     // guards everything below
    std::condition_variable m_wake;
    bool m_stop = false;
    std::chrono::milliseconds m_interval = kDefaultInterval;
    QHash<Location, Pending> m_pending; // the state of every key touched in this batch
    // Keys in the order they were first touched, and in the order they were appended. A
    // key dropped meanwhile stays listed (take() goes by m_pending), and one appended again
    // is listed again (its last place counts): noting a change stays a lookup and an append.
    QList<Location> m_touched;
    QList<Location> m_appended;
    bool m_reset = false;
    bool m_scheduled = false; // a change waits for delivery

    std::thread m_thread; // delivers the batches; started last, joined by the destructor
};

} // namespace trevalin
