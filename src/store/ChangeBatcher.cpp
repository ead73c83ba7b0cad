#include "store/ChangeBatcher.h"

#include <QSet>

#include <algorithm>

namespace trevalin {

ChangeBatcher::ChangeBatcher(QObject* parent)
    : QObject(parent) {
    qRegisterMetaType<RecordChanges>();
    m_thread = std::thread([this] { run(); });
}

ChangeBatcher::~ChangeBatcher() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void ChangeBatcher::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_scheduled; });
        if (m_stop)
            return;
        const auto due = std::chrono::steady_clock::now() + m_interval;
        if (m_wake.wait_until(lock, due, [this] { return m_stop; }))
            return;
        lock.unlock();
        flush();
        lock.lock();
    }
}

void ChangeBatcher::setInterval(std::chrono::milliseconds interval) {
    std::lock_guard lock(m_mutex);
    m_interval = interval;
}

void ChangeBatcher::note(const Location& key, Pending next) {
    std::lock_guard lock(m_mutex);
    const auto it = m_pending.find(key);
    if (it == m_pending.end()) {
        m_pending.insert(key, next);
        m_touched.append(key);
        if (next == Pending::Inserted)
            m_appended.append(key);
    } else {
        Pending& state = it.value();
        switch (next) {
        case Pending::Inserted:
            // Only a key that is not in the collection can be appended: it was removed.
            state = Pending::RemovedThenInserted;
            m_appended.append(key);
            break;
        case Pending::Changed:
            break; // inserted or changed already says it all
        case Pending::Removed:
            if (state == Pending::Inserted)
                m_pending.erase(it); // never seen by anyone
            else
                state = Pending::Removed;
            break;
        case Pending::RemovedThenInserted:
            break;
        }
    }
    if (!m_scheduled) {
        m_scheduled = true;
        m_wake.notify_all();
    }
}

void ChangeBatcher::inserted(const Location& key) {
    note(key, Pending::Inserted);
}

void ChangeBatcher::changed(const Location& key) {
    note(key, Pending::Changed);
}

void ChangeBatcher::removed(const Location& key) {
    note(key, Pending::Removed);
}

void ChangeBatcher::reset() {
    std::lock_guard lock(m_mutex);
    m_reset = true;
    m_pending.clear();
    m_touched.clear();
    m_appended.clear();
    if (!m_scheduled) {
        m_scheduled = true;
        m_wake.notify_all();
    }
}

RecordChanges ChangeBatcher::take() {
    std::lock_guard lock(m_mutex);
    RecordChanges out;
    m_scheduled = false;
    if (m_reset) {
        out.reset = true;
    } else {
        QSet<Location> seen;
        seen.reserve(m_touched.size());
        for (const Location& key : std::as_const(m_touched)) {
            const auto it = m_pending.constFind(key);
            if (it == m_pending.cend() || seen.contains(key))
                continue;
            seen.insert(key);
            if (it.value() == Pending::Removed || it.value() == Pending::RemovedThenInserted)
                out.removed.append(key);
            else if (it.value() == Pending::Changed)
                out.changed.append(key);
        }
        // A key appended more than once in this batch counts at its last place.
        seen.clear();
        for (qsizetype i = m_appended.size() - 1; i >= 0; --i) {
            const Location& key = m_appended[i];
            const auto it = m_pending.constFind(key);
            if (it == m_pending.cend() || seen.contains(key))
                continue;
            seen.insert(key);
            if (it.value() == Pending::Inserted || it.value() == Pending::RemovedThenInserted)
                out.inserted.append(key);
        }
        std::reverse(out.inserted.begin(), out.inserted.end());
    }
    m_reset = false;
    m_pending.clear();
    m_touched.clear();
    m_appended.clear();
    return out;
}

void ChangeBatcher::flush() {
    // Taking and emitting are one step, so batches reach their receivers in the order
    // they were taken even when the delivery thread and a caller flush at once.
    std::lock_guard emitting(m_emitMutex);
    const RecordChanges changes = take();
    if (!changes.isEmpty())
        emit batch(changes);
}

} // namespace trevalin
