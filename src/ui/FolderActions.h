// FolderActions: what the folder list's actions do to one folder — switching its
// content monitoring off or on, and removing it with the records of its files. Each
// action runs as one low-priority task on the engine pool; the watch of the folder is
// always stopped before its monitoring flag changes, and started only once the folder
// has been brought up to date.
//
// Thread-safety: every function may be called from any thread (the GUI thread
// included: none blocks) and returns at once. No exception leaves a task: one is
// caught and logged at error level, and the task ends there.
#pragma once

#include "store/Folder.h"

#include <QFuture>

namespace trevalin {

class FolderActions {
public:
    FolderActions() = delete;

    // How the folder store is saved once the flag changed: through asyncSave() (the
    // menu's item) or save() (the eye icon). Both write the store before the task ends.
    enum class Save { Async, Sync };

    // Stops the folder's watch, clears its monitored flag and saves the folder store.
    // The future finishes when the task has ended.
    static QFuture<void> disableMonitoring(const Folder& folder, Save save);
    // Brings the folder's records up to date with its files (new and changed files
    // recorded and hashed, vanished ones removed), then starts its watch, sets its
    // monitored flag and saves the folder store. The future finishes when the task
    // has ended.
    static QFuture<void> enableMonitoring(const Folder& folder);
    // Stops the folder's watch when it is monitored, starts removing the records of
    // the files directly inside it (a task of its own, not awaited), removes the
    // folder from the folder store and saves it. The future finishes when the task
    // has ended; the records may still be going.
    static QFuture<void> remove(const Folder& folder);
};

} // namespace trevalin
