// SerialQueue: a named worker thread that runs submitted tasks one at a time in
// submission order. Each log destination owns one, so its writes never overlap.
//
// Thread-safety: every member may be called from any thread. The worker thread is
// started on first use; the destructor lets queued tasks finish and joins it (or,
// when it runs on the worker itself, lets the worker end on its own).
#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace trevalin {

class SerialQueue {
public:
    using Task = std::function<void()>;

    explicit SerialQueue(const QString& label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const QString& label() const { return m_label; }

    // Queues a task and returns at once.
    void async(Task task);
    // Runs a task on the queue and waits for it. Called on the queue's own thread it
    // runs the task inline, so a task that logs synchronously cannot deadlock.
    void sync(Task task);
    // Waits until every task submitted before the call has finished, at most
    // `timeoutMs` milliseconds (negative: no limit). Returns whether they all did.
    // Called on the queue's own thread it returns true at once.
    bool waitUntilDrained(int timeoutMs);
    // Whether the calling thread is this queue's worker.
    bool isCurrent() const;

    // Runs on the worker after each run of tasks it took from the queue, before
    // those tasks count as finished for sync() and waitUntilDrained(). A
    // destination uses it to write out what its tasks buffered. Replacing or
    // clearing the handler waits until a running call has returned; never call it
    // from within the handler.
    void setBatchEndHandler(std::function<void()> handler);

    // The label of the queue whose worker is the calling thread, or a null string.
    static QString currentLabel();

private:
    struct State;
    QString m_label;
    std::shared_ptr<State> m_state;
};

} // namespace trevalin
