// registerPersistence: connects the persistence layer to the engine's flag store —
// the store's flag reads and writes go to FlagStore, FlagStore::save() writes the
// bookmark database, then the content database, then flushes the folder store, and
// start-up completion starts Cleanup::databases() in the background. Saves scheduled
// by the store go through Global::scheduleSave(), and the clean-up's re-evaluation of
// all folders is Process::triageAll().
//
// Called by Engine::start() (Options::persistence) during start-up, before the
// databases are loaded; later calls do nothing. Thread-safe.
#pragma once

namespace trevalin {

void registerPersistence();

} // namespace trevalin
