// Debugging: the debug gate. flag() reads the persisted "debugging" setting once, on
// first use, and returns that value for the rest of the run; a later change of the
// setting takes effect at the next start.
//
// Thread-safety: the first read is a one-time initialisation; afterwards flag() is a
// lock-free atomic load, callable from any thread.
#pragma once

namespace trevalin {

class Debugging {
public:
    // The cached value of the "debugging" setting.
    static bool flag();
    // The setting as stored now (reads the store; not cached).
    static bool debugging();

    // Test-only: replaces the cached value (as if the setting had been read as `value`).
    static void setFlagForTesting(bool value);
    // Test-only: forgets the cached value so the next flag() reads the store again.
    static void resetForTesting();
};

} // namespace trevalin
