// Progress: the observable model behind the progress bar — a status title, a
// value against a total, whether work is active, and the processed and remaining
// job counts of the current run. One shared instance for the process.
//
// The engine writes it from any thread; every setter emits changed() after the
// write (also when the value is the same). A view that needs only the latest state
// follows updated() instead, with a queued connection: it is emitted once and then
// not again until a receiver has read the state with takeUpdate(), so thousands of
// changes a second cost the view a handful of events. incrementValue() never leaves
// value above total.
//
// Thread-safety: all fields are guarded by m_mutex; each public operation is one
// critical section and signals are emitted after the lock is released. shared()
// gives the object the application thread's affinity.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

namespace trevalin {

class Progress : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY changed)
    Q_PROPERTY(double value READ value WRITE setValue NOTIFY changed)
    Q_PROPERTY(double total READ total WRITE setTotal NOTIFY changed)
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY changed)
    Q_PROPERTY(qint64 processed READ processed WRITE setProcessed NOTIFY changed)
    Q_PROPERTY(qint64 remaining READ remaining WRITE setRemaining NOTIFY changed)

public:
    struct Snapshot {
        QString title;
        double value = 0;
        double total = 0;
        bool active = false;
        qint64 processed = 0;
        qint64 remaining = 0;
    };

    static constexpr const char* kInitialTitle = "Status: Idle";

    // A fresh model: "Status: Idle", 100 of 100, inactive, no counts.
    explicit Progress(QObject* parent = nullptr);

    // The shared instance, created on first use.
    static Progress& shared();

    Snapshot snapshot() const;
    // The snapshot, read after clearing the pending update: the next change emits
    // updated() again. A view calls it when it shows the state (and once when made).
    Snapshot takeUpdate();
    QString title() const;
    double value() const;
    double total() const;
    bool active() const;
    qint64 processed() const;
    qint64 remaining() const;

    void setTitle(const QString& title);
    void setValue(double value);
    void setTotal(double total);
    void setActive(bool active);
    void setProcessed(qint64 processed);
    void setRemaining(qint64 remaining);
    // processed += 1 and remaining -= 1 in one step.
    void jobFinished();

    // value += amount, clamped at total: a result above total is logged (warning
    // and debug line) and value becomes total. A NaN comparison does not clamp.
    void incrementValue(double amount);

    // The passive look: value = 1.0, total = 1.0, active = false.
    void setPassive();
    // The evaluating (indeterminate) look: value = 0, total = 0, active = true.
    void setIndeterminate();
    // Back to the values of a fresh model (for tests and a full reset).
    void resetToInitial();

    // A double as the log lines show it: the shortest text that reads back the
    // same, with ".0" on whole numbers ("1.0", "9.5", "1e+16").
    static QString decimalText(double value);

signals:
    // Emitted after every change of any field, on the writing thread.
    void changed();
    // Emitted after a change when no update is pending (see takeUpdate()).
    void updated();

private:
    template <typename T> void assign(T& field, const T& value);
    // Emits changed(), and updated() unless an update is pending.
    void notify();

    mutable std::mutex m_mutex;
    QString m_title;                          // guarded by m_mutex
    double m_value = 100.0;                   // guarded by m_mutex
    double m_total = 100.0;                   // guarded by m_mutex
    bool m_active = false;                    // guarded by m_mutex
    qint64 m_processed = 0;                   // guarded by m_mutex
    qint64 m_remaining = 0;                   // guarded by m_mutex
    std::atomic<bool> m_updatePending{false}; // updated() emitted and not yet taken
};

} // namespace trevalin
