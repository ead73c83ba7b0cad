// Timing: the engine's waiting intervals in one place — the settle interval of
// change tracking, the delay before the start-up pass when started at login, and
// the blink interval of the menu-bar icon. Tests shorten all three through the one
// test-only setter so no test waits for seconds.
//
// Thread-safety: every function may be called from any thread (atomics; the test
// hook is guarded by a mutex).
#pragma once

#include <chrono>
#include <functional>

namespace trevalin {

class Timing {
public:
    static constexpr std::chrono::milliseconds kSettleInterval{3000};
    static constexpr std::chrono::milliseconds kStartupDelay{10000};
    static constexpr std::chrono::milliseconds kBlinkInterval{1000};

    // How long a changing file is left alone before it is read again.
    static std::chrono::milliseconds settleInterval();
    // Sleeps the calling thread for one settle interval.
    static void waitSettleInterval();
    // How long change tracking waits before its start-up pass when started at login.
    static std::chrono::milliseconds startupDelay();
    // Sleeps the calling thread for the start-up delay.
    static void waitStartupDelay();
    // The period of one step of the menu-bar icon's blink loop.
    static std::chrono::milliseconds blinkInterval();

    // Test-only: replaces the three intervals (any value >= 0).
    static void setForTesting(std::chrono::milliseconds settle, std::chrono::milliseconds startup,
                              std::chrono::milliseconds blink);
    // Test-only: restores the constants above.
    static void resetForTesting();
    // Test-only: how many settle waits have been made in this process.
    static long long settleWaitsForTesting();
    // Test-only: how many start-up delay waits have been made in this process.
    static long long startupWaitsForTesting();
    // Test-only: `hook` runs on the waiting thread at the start of every settle wait,
    // so a test can change files exactly between two readings (empty: none).
    static void setSettleHookForTesting(std::function<void()> hook);
};

} // namespace trevalin
