// WatchCommand: `trevalinctl watch` — the monitoring of every monitored folder, run in
// the foreground as the desktop program runs it, for a machine without a desktop.
// Start-up completes as in the desktop program (the clean-up pass over every stored
// folder, then a watch on every monitored one); every burst of work ends with the
// flag store's save. Each file added, changed or removed gives one line on standard
// output ("added PATH", "changed PATH", "removed PATH"), written once its record is
// settled (hashed, or given up). SIGINT or SIGTERM ends it: monitoring stops, the
// files still being watched are left for the next start, running work finishes, and
// the caller saves everything.
//
// Signals: the handlers only write a byte into a pipe; a QSocketNotifier on the other
// end stops the event loop, so no Qt call runs inside a handler. After the first
// signal the default actions are restored: a second one ends the program at once.
//
// Thread-safety: created and run on the main thread, once per process; its slots run
// there (the database's change batches and the status changes arrive queued).
#pragma once

#include "engine/ApplicationState.h"
#include "model/Location.h"
#include "store/RecordChanges.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <functional>

namespace trevalin {

class WatchCommand : public QObject {
    Q_OBJECT

public:
    // `load` loads the settings' algorithms, the content database and the bookmarks;
    // it runs once the engine's persistence is wired, before start-up completes.
    explicit WatchCommand(std::function<void()> load, QObject* parent = nullptr);
    ~WatchCommand() override;

    // Runs until SIGINT or SIGTERM; needs the data lock and a QCoreApplication, and
    // runs the application's event loop (call it from main's flow, never from a slot).
    // Returns 0, or 1 when the signals could not be caught (nothing was started then).
    int run();

private:
    // What a line last said of a record (or what it was at the start).
    struct Seen {
        QUuid identifier;
        quint64 bytes = 0;
        double created = 0;
        double modified = 0;
        bool operator==(const Seen&) const = default;
    };

    bool catchSignals();
    void releaseSignals();
    void recordsChanged(const trevalin::RecordChanges& changes);
    void statusChanged(trevalin::ApplicationState state);
    // Writes the line for `location` when its record is settled (or `force`).
    void report(const Location& location, bool force);
    void print(const QString& line);

    std::function<void()> m_load;
    QHash<Location, Seen> m_seen; // records as the last line (or the start) knew them
    QSet<Location> m_pending;     // records changed since, not yet settled
};

} // namespace trevalin
