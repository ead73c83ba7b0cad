// registerMonitoring: connects change tracking and folder monitoring to the rest of
// the program — the database clean-up re-evaluates every stored folder through
// Process::triageAll(), and start-up completion (both databases ready) starts the
// monitoring of every monitored folder (FolderNotifications::registerAll()) in a
// background task.
//
// Call once during start-up, before the databases are loaded (a call after start-up
// completed still starts the monitoring); later calls do nothing. Thread-safe.
#pragma once

namespace trevalin {

void registerMonitoring();

} // namespace trevalin
