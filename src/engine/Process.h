// Process: the engine's intake, triage and queue processing — the road from a file
// or folder the user adds to the digests stored in the content database.
//
// Stateless apart from the flag that keeps processing runs from overlapping: every
// operation is static and works on the shared queues (SafeQueue),
// the run counters, the content database, the folder store, the bookmark stores,
// the progress model and the application state.
//
// Thread-safety: every operation may be called from any thread; each shared object
// locks its own state. triage() and process() block while they work (they read
// files), so they run on engine pool tasks, never on the GUI thread. added() only
// starts a pool task and returns at once, so the GUI thread may call it.
#pragma once

#include "model/Location.h"

#include <QFuture>
#include <QList>

namespace trevalin {

class Process {
public:
    Process() = delete;

    // Intake of several locations: an empty list logs an error and starts nothing
    // (the future is already finished); otherwise starts one medium-priority task that
    // runs bulkIntake(). The future finishes when that task has ended. Never blocks.
    static QFuture<void> added(const QList<Location>& locations);
    // Intake of one location: starts one medium-priority task that runs singleIntake().
    // The future finishes when that task has ended. Never blocks.
    static QFuture<void> added(const Location& location);

    // The bodies of the intake tasks, run on the calling thread: bookmarks for the
    // locations that have no open access, queueing into the added queues, triage(),
    // and process() when triage queued work.
    static void bulkIntake(const QList<Location>& locations);
    static void singleIntake(const Location& location);

    // Empties the added queues: records new folders in the folder store and queues
    // the files directly inside them, records new or changed files in the content
    // database and queues one job per enabled algorithm for every file. Returns true
    // when the file phase ran (jobs may be none when no algorithm is enabled).
    static bool triage();

    // Drains the work queue in queue order, storing each digest; moves the application
    // to Processing and back to Idle (which schedules a save). Returns false without
    // doing anything when a run is already active or nothing is queued. Only one run is
    // active at a time (a flag under a private mutex); jobs found queued when a run has
    // gone back to Idle are taken by a further run before it returns.
    static bool process();
    // Whether a processing run is active.
    static bool isProcessing();

    // Puts one tracked file back through the engine: queues its location for triage
    // (a fresh record when its metadata changed, jobs for every enabled algorithm),
    // then runs triage() and, when that ran its file phase, process(). Blocks; run it on
    // a pool task. Returns what process() returned: false when the file could not be
    // recorded (nothing queued), when no algorithm is enabled, or when another run is
    // active (that run then takes the jobs).
    static bool rescan(const Location& location);

    // --- change tracking of monitored folders (ChangeTracking.cpp) -----------------
    // Keeps a stored folder in step with the disk: removes records of vanished
    // files, sends new and settled changed files to triage(), and watches files
    // that are still being written until they settle. Every operation blocks while
    // it works (it reads files and sleeps the settle interval); run it on a pool task.

    // The result of examining one file of a folder.
    enum class FileChangeStatus : int { Unchanged = 0, Changed = 1, Updating = 2 };

    // Where a pass over one folder runs its orphan scan: in a background task of its
    // own, not awaited (a pass started by a change event), or on the calling thread
    // before the files are evaluated, so that the records of the folder's vanished
    // files are gone when the pass returns (a folder brought up to date before its
    // watch starts).
    enum class OrphanScan { Background, Awaited };

    // One pass over one folder. Runs the orphan scan as `orphans` says, evaluates
    // every listed file with one settle interval for the whole pass, waits for the
    // watch loop while files of the folder are still changing (running the loop itself
    // when none runs; see ChangeTracking), then runs triage() when files were queued.
    // Returns true when triage() ran (the caller then runs process()). A pass that
    // switched the application to Evaluating and queued no work returns it to Idle.
    static bool triage(const Location& folder, OrphanScan orphans = OrphanScan::Background);
    // A pass over every stored folder (after the start-at-login delay when that
    // setting is on), then process().
    static void triageAll();
    // The watch loop: re-reads the watched files every settle interval and queues
    // each one once it has settled, until the watch list is empty. Returns at once
    // when a loop is already running (that loop takes the files added meanwhile).
    // When its files all went away and no pass is evaluating, it returns an
    // Evaluating state left to it to Idle.
    static void watch();
    // A watched file that could no longer be read: warning, database marked modified.
    static void errorRecovery(const Location& location);
    // The orphan scan of one folder: removes the records of its files that no longer
    // exist. A folder that is itself missing or unreadable removes nothing. Returns
    // the number of records removed.
    static int orphaned(const Location& folder);

private:
    // One processing run: `jobCount` jobs found queued at its start; Processing, the
    // loop, Idle.
    static void runOnce(int jobCount);
};

} // namespace trevalin
