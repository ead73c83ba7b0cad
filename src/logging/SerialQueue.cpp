#include "logging/SerialQueue.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace trevalin {

namespace {
thread_local const QString* t_currentLabel = nullptr;
}

// Shared between the queue handle and its worker, so the worker can outlive a
// handle destroyed from within one of its own tasks.
struct SerialQueue::State {
    std::mutex mutex;
    std::condition_variable wake;    // the worker waits here for tasks; guarded by mutex
    std::condition_variable drained; // waiters of waitUntilDrained; guarded by mutex
    std::deque<Task> tasks;          // guarded by mutex
    quint64 submitted = 0;           // guarded by mutex
    quint64 completed = 0;           // guarded by mutex
    bool workerWaiting = false;      // guarded by mutex
    bool stopping = false;           // guarded by mutex
    bool started = false;            // guarded by mutex
    std::thread worker;              // guarded by mutex (started once)
    std::thread::id workerId;        // guarded by mutex
    std::mutex handlerMutex;
    std::function<void()> batchEnd; // guarded by handlerMutex
    QString label;                  // immutable after construction

    // Queues a task, starting the worker on first use; returns the task's number.
    // Called with mutex held.
    quint64 push(const std::shared_ptr<State>& self, Task task) {
        if (!started) {
            started = true;
            worker = std::thread(&State::run, this, self);
            workerId = worker.get_id();
        }
        tasks.push_back(std::move(task));
        if (workerWaiting)
            wake.notify_one();
        return ++submitted;
    }

    void run(std::shared_ptr<State> self) {
        t_currentLabel = &self->label;
        const QByteArray name = label.toUtf8().left(15);
        pthread_setname_np(pthread_self(), name.constData());
        std::deque<Task> batch;
        std::unique_lock lock(mutex);
        for (;;) {
            while (tasks.empty() && !stopping) {
                workerWaiting = true;
                wake.wait(lock);
                workerWaiting = false;
            }
            if (tasks.empty())
                break;
            batch.swap(tasks);
            lock.unlock();
            quint64 done = 0;
            while (!batch.empty()) {
                // A task never lets an exception cross the thread boundary.
                try {
                    batch.front()();
                } catch (...) {
                }
                batch.pop_front();
                ++done;
            }
            {
                std::lock_guard handlerLock(handlerMutex);
                if (batchEnd) {
                    try {
                        batchEnd();
                    } catch (...) {
                    }
                }
            }
            lock.lock();
            completed += done;
            drained.notify_all();
        }
        t_currentLabel = nullptr;
    }
};

SerialQueue::SerialQueue(const QString& label)
    : m_label(label)
    , m_state(std::make_shared<State>()) {
    m_state->label = label;
}

SerialQueue::~SerialQueue() {
    std::thread worker;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        m_state->wake.notify_all();
        if (!m_state->started)
            return;
        worker = std::move(m_state->worker);
    }
    if (worker.get_id() == std::this_thread::get_id())
        worker.detach(); // the worker holds its own reference to the state and ends by itself
    else if (worker.joinable())
        worker.join();
}

void SerialQueue::async(Task task) {
    std::lock_guard lock(m_state->mutex);
    m_state->push(m_state, std::move(task));
}

void SerialQueue::sync(Task task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::unique_lock lock(m_state->mutex);
    const quint64 mine = m_state->push(m_state, std::move(task));
    // Tasks finish in order, so ours is done once the count reaches it.
    m_state->drained.wait(lock, [&] { return m_state->completed >= mine; });
}

bool SerialQueue::waitUntilDrained(int timeoutMs) {
    if (isCurrent())
        return true;
    std::unique_lock lock(m_state->mutex);
    const quint64 target = m_state->submitted;
    auto reached = [&] { return m_state->completed >= target; };
    if (timeoutMs < 0) {
        m_state->drained.wait(lock, reached);
        return true;
    }
    return m_state->drained.wait_for(lock, std::chrono::milliseconds(timeoutMs), reached);
}

bool SerialQueue::isCurrent() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->started && m_state->workerId == std::this_thread::get_id();
}

void SerialQueue::setBatchEndHandler(std::function<void()> handler) {
    std::lock_guard lock(m_state->handlerMutex);
    m_state->batchEnd = std::move(handler);
}

QString SerialQueue::currentLabel() {
    return t_currentLabel ? *t_currentLabel : QString();
}

} // namespace trevalin
