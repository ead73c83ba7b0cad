// ThreadSafeOrderedQueue: the common body of the engine's named work queues — an
// insertion-ordered set of elements, each held once, plus the queue's name.
// ThreadSafeWorkQueue (jobs) and ThreadSafeLocationQueue (locations) build on it.
//
// add() accepts exactly a QList, a std::vector or an OrderedSet of the element
// type; a batch of any other type is refused with the error line "Generic
// function received unexpected type [ <type> ] [ <tag> ]" and changes nothing.
//
// Thread-safety: the set is guarded by m_mutex; every public operation is one
// critical section, so operations on one queue never interleave. Log lines are
// written outside the lock.
#pragma once

#include "engine/TypeName.h"
#include "logging/Logger.h"
#include "model/OrderedSet.h"
#include "store/Debugging.h"

#include <QList>
#include <QString>

#include <mutex>
#include <optional>
#include <vector>

namespace trevalin {

template <typename Element, typename Hash = DefaultHash<Element>, typename Equal = std::equal_to<Element>>
class ThreadSafeOrderedQueue {
public:
    using Set = OrderedSet<Element, Hash, Equal>;

    ThreadSafeOrderedQueue(const ThreadSafeOrderedQueue&) = delete;
    ThreadSafeOrderedQueue& operator=(const ThreadSafeOrderedQueue&) = delete;

    // The queue's name, fixed at creation (e.g. "Files.queued").
    const QString& name() const { return m_name; }

    // Appends the elements of a batch in their order; elements already queued (and
    // repeats inside the batch) keep their first position.
    void add(const QList<Element>& batch) { addBatch(batch, typeName<QList<Element>>()); }
    void add(const std::vector<Element>& batch) { addBatch(batch, typeName<std::vector<Element>>()); }
    void add(const Set& batch) { addBatch(batch, typeName<Set>()); }
    // Any other kind of batch is refused: error line, nothing added.
    template <typename Other> void add(const Other&) {
        const QString type = typeName<Other>();
        logProvided(type, QStringLiteral("add(_:)"));
        TLOG_ERROR(QStringLiteral("Generic function received unexpected type [ ") + type +
                   QStringLiteral(" ] [ ") + tag(QStringLiteral("add(_:)")) + QStringLiteral(" ]"));
    }

    // The number of queued elements (debug-gated line).
    int count() const {
        std::size_t n = 0;
        {
            std::lock_guard lock(m_mutex);
            n = m_data.size();
        }
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Locations in [ ") + m_name + QStringLiteral(") ] count [ ") +
                       QString::number(n) + QStringLiteral(" ] [ ") + tag(QStringLiteral("count()")) +
                       QStringLiteral(" ]"));
        return static_cast<int>(n);
    }

    // Removes every element (debug-gated line with the number removed).
    void reset() {
        std::size_t n = 0;
        {
            std::lock_guard lock(m_mutex);
            n = m_data.size();
            m_data.clear();
        }
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Queue [ ") + m_name +
                       QStringLiteral(") ] cleared/reset of elements: [ ") + QString::number(n) +
                       QStringLiteral(" ] [ ") + tag(QStringLiteral("reset()")) + QStringLiteral(" ]"));
    }

    // Removes the elements of `taken` (a snapshot a caller has worked through) and writes
    // the reset line with their number. Elements queued since the snapshot stay queued.
    void reset(const Set& taken) {
        const std::size_t n = discard(taken);
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Queue [ ") + m_name +
                       QStringLiteral(") ] cleared/reset of elements: [ ") + QString::number(n) +
                       QStringLiteral(" ] [ ") + tag(QStringLiteral("reset()")) + QStringLiteral(" ]"));
    }

    // Removes the elements of `taken` without a log line; returns how many were queued.
    std::size_t discard(const Set& taken) {
        std::lock_guard lock(m_mutex);
        std::size_t n = 0;
        for (const Element& element : taken)
            n += m_data.remove(element) ? 1 : 0;
        return n;
    }

    // A snapshot copy of the queued elements, in order.
    Set data() const {
        std::lock_guard lock(m_mutex);
        return m_data;
    }

    // Replaces the whole set (by default with an empty one) without a log line.
    void replaceData(Set replacement = Set()) {
        std::lock_guard lock(m_mutex);
        m_data = std::move(replacement);
    }

    bool contains(const Element& element) const {
        std::lock_guard lock(m_mutex);
        return m_data.contains(element);
    }

    // Whether nothing is queued (no log line).
    bool isEmpty() const {
        std::lock_guard lock(m_mutex);
        return m_data.isEmpty();
    }

protected:
    ThreadSafeOrderedQueue(QString name, QString queueType)
        : m_name(std::move(name))
        , m_queueType(std::move(queueType)) {}

    QString tag(const QString& operation) const { return m_queueType + QLatin1Char('.') + operation; }

    void logProvided(const QString& type, const QString& operation) const {
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Generics function was provided with [ ") + type +
                       QStringLiteral(" ] content [ ") + tag(operation) + QStringLiteral(" ]"));
    }

    template <typename Range> void addBatch(const Range& batch, const QString& type) {
        logProvided(type, QStringLiteral("add(_:)"));
        std::lock_guard lock(m_mutex);
        m_data.appendAll(batch);
    }

    mutable std::mutex m_mutex;
    Set m_data; // guarded by m_mutex

private:
    const QString m_name;
    const QString m_queueType;
};

} // namespace trevalin
