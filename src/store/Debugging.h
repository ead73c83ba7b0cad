// Debugging: the debug gate's source. flag() reads the persisted "debugging" setting
// once, on first use or when load() is called at start-up, sets DebugGate
// (logging/DebugGate.h) to it so that the layers below the store see the same value,
// and returns that value for the rest of the run; a later change of the setting takes
// effect at the next start.
//
// Thread-safety: the first read is a one-time initialisation serialised by a private
// mutex; afterwards flag() is a lock-free atomic load, callable from any thread.
#pragma once

namespace trevalin {

class Debugging {
public:
    // The cached value of the "debugging" setting.
    static bool flag();
    // Reads the setting into the gate now, unless it was read already.
    static void load();
    // The setting as stored now (reads the store; not cached).
    static bool debugging();

    // Test-only: replaces the cached value (as if the setting had been read as `value`).
    static void setFlagForTesting(bool value);
    // Test-only: forgets the cached value so the next flag() reads the store again.
    static void resetForTesting();
};

} // namespace trevalin
