// ChangeTracking: the state and helpers behind Process's change-tracking operations
// (the one-folder pass Process::triage(folder), triageAll(), the watch loop watch(),
// errorRecovery() and the orphan scan orphaned(), all defined in ChangeTracking.cpp):
// the watch loop's running flag, rounds and last reading of every watched file; the
// number of passes that are evaluating; the hand-over of settled files to triage and
// queue processing; and how a pass waits for the watch loop.
//
// Order of a pass: it evaluates its folder, then waits until none of the folder's
// files is on the watch list any more, and only then hands its new and changed files
// to triage or says that nothing is to be done. It never holds a thread merely
// waiting for longer than one settle interval at a time: when no loop runs, the pass
// runs the watch loop itself on its own thread (each round is one settle interval of
// that loop); when a loop runs already, the pass waits for its rounds one at a time
// and takes the loop over should it have ended.
//
// Thread-safety: every public function may be called from any thread. The watch
// state is guarded by WatchState::mutex, the evaluation count by
// EvaluationState::mutex; the two are never held together.
#pragma once

#include "model/FileObject.h"
#include "model/Location.h"

#include <QHash>

#include <condition_variable>
#include <mutex>

namespace trevalin {

class ChangeTracking {
public:
    ChangeTracking() = delete;

    // Returns when no file directly inside `folder` is on the watch list: runs the
    // watch loop on the calling thread when none runs, otherwise waits for the running
    // loop's rounds (at most one settle interval at a time). Blocks; run it on a pool
    // task.
    static void awaitWatchedFiles(const Location& folder);
    // Shut-down: empties the watch list. The running loop ends after its current
    // round, and the passes waiting for it go on. The files dropped keep their records
    // as they are; the next pass over their folders evaluates them again.
    static void abandonWatchedFiles();

private:
    friend class Process;

    // The watch loop's state.
    struct WatchState {
        std::mutex mutex;
        std::condition_variable roundEnded;      // notified after every round and at the loop's end
        bool running = false;                    // guarded by mutex: a watch loop runs
        quint64 rounds = 0;                      // guarded by mutex: rounds made by all loops
        QHash<Location, FileObjectPtr> readings; // guarded by mutex: last reading of each watched file
    };
    static WatchState& watchState();

    // The passes that switched the application to Evaluating and have not ended.
    struct EvaluationState {
        std::mutex mutex;
        int passes = 0; // guarded by mutex
    };
    static EvaluationState& evaluationState();

    // Held by a pass for as long as it is evaluating: switches to Evaluating when made
    // and, when it is the last such pass to end, back to Idle if no work came of it.
    class Evaluation {
    public:
        Evaluation();
        ~Evaluation();
        Evaluation(const Evaluation&) = delete;
        Evaluation& operator=(const Evaluation&) = delete;
    };

    // With EvaluationState::mutex held and no pass evaluating: back to Idle when the
    // application still evaluates and nothing came of it.
    static void endEvaluationWithoutWork();
    // triage() for change tracking, one caller at a time, so that two passes never take
    // the same batch from the added queue.
    static bool runTriage();
    // Runs queue processing for jobs the watch loop queued (and triage first when
    // locations wait for it), in one pool task at most. Never blocks the caller.
    static void startProcessing();
};

} // namespace trevalin
