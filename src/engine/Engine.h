// Engine: the one start-up routine of the engine. trevalinctl, the tests, the benches
// and the desktop program's start-up commands all start the engine through it; each
// says with Options which parts it needs.
//
// start() runs the pieces below in this order, each one only when its option asks for
// it (the first two always) and each at most once per process: a second start() runs
// only the pieces that an earlier one did not, so calling it again is harmless.
//
//   connectStore()     always: the store's background work runs on EnginePool, and
//                      StoreHooks::waitForBackground() waits for that pool.
//   loadDebugGate()    always: reads the "debugging" setting into the debug gate
//                      (store/Debugging.h, logging/DebugGate.h). Reads, never writes.
//   wirePersistence()  Options::persistence: the store's flags are FlagStore's, and
//                      FlagStore::save() writes the databases; start-up completion
//                      starts the database clean-up (engine/Persistence.h).
//   wireMonitoring()   Options::monitoring: start-up completion starts watching every
//                      monitored folder (engine/Monitoring.h). Nothing is watched and
//                      no thread is started before start-up completes.
//   initialiseFlags()  Options::flags: FlagStore::initialise(), all nine flags false.
//   loadAlgorithms()   Options::algorithms: AppSettings::loadAlgorithmStatus(), the
//                      stored algorithm selection, or the defaults, which it stores.
//   loadBookmarks()    Options::databases: the bookmark database loaded and validated
//                      (sets its "ready" flag);
//   openFolderStore()  then the folder store opened (returns its folder count; a
//                      later call only counts again);
//   loadContent()      then the content database loaded (sets its "ready" flag).
//                      With persistence wired, the second "ready" completes start-up.
//
// start() logs nothing of its own; the pieces log what the parts they call log. The
// wiring must come before anything loads a database: a "ready" flag set before
// wirePersistence() stays in the store's stand-in table and never completes start-up.
//
// The desktop program calls start({.persistence = true, .monitoring = true, .flags =
// true}) first and then the pieces one by one from its start-up commands, in their
// order and tasks: StateTracking initialiseFlags() (already done: the table must be
// filled before a database can report "ready" into it; then Global::start()),
// LoadSettings loadAlgorithms(),
// SecurityBookmarks loadBookmarks(), CoreDataStack openFolderStore(), DatabaseStartup
// loadContent(). Each piece is once-only as well, so the two ways never run one twice.
//
// Thread-safety: every function may be called from any thread. Each piece but
// openFolderStore() is a one-time initialisation, so concurrent callers run it once
// and all return after it finished.
#pragma once

namespace trevalin {

class Engine {
public:
    struct Options {
        bool persistence = false; // wirePersistence()
        bool monitoring = false;  // wireMonitoring()
        bool flags = false;       // initialiseFlags()
        bool algorithms = false;  // loadAlgorithms()
        bool databases = false;   // loadBookmarks(), openFolderStore(), loadContent(); blocking
    };

    // Runs the pieces that `options` asks for and that have not run yet, in the order
    // above; blocks until they are done.
    static void start(const Options& options);

    static void connectStore();
    static void loadDebugGate();
    static void wirePersistence();
    static void wireMonitoring();
    static void initialiseFlags();
    static void loadAlgorithms();
    static void loadBookmarks();
    // The number of folders in the folder store (opening it on first use).
    static int openFolderStore();
    static void loadContent();
};

} // namespace trevalin
