// ThreadSafeWorkQueue: a named queue of digest jobs, in insertion order, each
// job at most once. Jobs are told apart by their record's identity and their
// algorithm, so jobs of two distinct records for the same file are both kept.
//
// Thread-safety: see ThreadSafeOrderedQueue — one mutex, one critical section per
// operation.
#pragma once

#include "engine/ThreadSafeOrderedQueue.h"
#include "model/Job.h"

namespace trevalin {

class ThreadSafeWorkQueue : public ThreadSafeOrderedQueue<Job, JobIdentityHash, JobIdentityEqual> {
public:
    explicit ThreadSafeWorkQueue(QString name)
        : ThreadSafeOrderedQueue(std::move(name), QStringLiteral("ThreadSafeWorkQueue")) {}

    // Takes out and returns the job at the front; nothing when the queue is empty.
    std::optional<Job> removeFirst() {
        std::lock_guard lock(m_mutex);
        return m_data.takeFirst();
    }

    // Takes out the job at the front together with the jobs right behind it that refer
    // to the same record, in queue order (one file's jobs, computed in one read); empty
    // when the queue is empty.
    QList<Job> removeFirstRun() {
        std::lock_guard lock(m_mutex);
        QList<Job> run;
        while (const Job* front = m_data.first()) {
            if (!run.isEmpty() && front->file != run.front().file)
                break;
            run.append(*m_data.takeFirst());
        }
        return run;
    }
};

} // namespace trevalin
