// DebugGate: the switch that every debug-gated log line of the program consults.
// It lives here, below every other layer, so that any code may ask it; the value
// is the "debugging" setting, which the store reads and pushes down with set()
// (store/Debugging.h) — once at start-up, or on the store's first own use of it.
// Until then the gate is unset and reads as off.
//
// Thread-safety: the state is one atomic; every function may be called from any
// thread, and flag() is a lock-free load.
#pragma once

namespace trevalin {

class DebugGate {
public:
    // Whether debug-gated lines are written; false while the gate is unset.
    static bool flag();
    // Whether set() has been called (since the last reset()).
    static bool isSet();
    // Sets the gate for the rest of the run.
    static void set(bool on);
    // Back to unset (for tests that read the setting again).
    static void reset();
};

} // namespace trevalin
