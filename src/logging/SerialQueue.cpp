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
    QString label;                   // immutable after construction

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
    if (!m_state->started) {
        m_state->started = true;
        m_state->worker = std::thread(&State::run, m_state.get(), m_state);
        m_state->workerId = m_state->worker.get_id();
    }
    m_state->tasks.push_back(std::move(task));
    ++m_state->submitted;
    if (m_state->workerWaiting)
        m_state->wake.notify_one();
}

void SerialQueue::sync(Task task) {
    if (isCurrent()) {
        task();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCondition;
    bool done = false; // guarded by doneMutex
    async([&] {
        try {
            task();
        } catch (...) {
        }
        std::lock_guard lock(doneMutex);
        done = true;
        doneCondition.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneCondition.wait(lock, [&] { return done; });
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

QString SerialQueue::currentLabel() {
    return t_currentLabel ? *t_currentLabel : QString();
}

} // namespace trevalin
