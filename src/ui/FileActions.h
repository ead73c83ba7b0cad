// FileActions: what a file row's context menu does with its record — whether the
// record may be removed, removing it (and saving the database), and putting the file
// through the engine again.
//
// Thread-safety: canRemove() may be called from any thread; removeRecord() belongs to
// the GUI thread; rescanFile() may be called from any thread and never blocks (its
// work runs on an engine pool task).
#pragma once

#include "engine/ApplicationState.h"
#include "model/Location.h"

#include <QFuture>

namespace trevalin {

class CoreDataStack;
class FileObject;

class FileActions {
public:
    FileActions() = delete;

    // Whether the record may be removed by hand: only while the application is Idle,
    // and only when the file does not lie directly inside a monitored folder of
    // `folders` (monitoring would record it again). A record whose directory is no
    // usable path, or is no stored folder, or an unmonitored one, may be removed.
    static bool canRemove(const FileObject& file, ApplicationState state, CoreDataStack& folders);

    // Removes the record under `location` from the shared content database (the list
    // follows the database's change report), marks the database modified and saves it
    // in a low-priority task. A failed save is logged.
    static void removeRecord(const Location& location);

    // Puts the file under `location` through the engine again, on a medium-priority
    // task: access to the file (or else to its folder) is opened, and a readable file
    // is queued, triaged and processed so every enabled digest is computed anew. An
    // unreadable file leaves its record as it was and sets the progress title to
    // "Error: sandbox permissions denied". The future finishes when the task has ended.
    static QFuture<void> rescanFile(const Location& location);
};

} // namespace trevalin
