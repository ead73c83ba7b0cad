#include "logging/DebugGate.h"

#include <atomic>

namespace trevalin {

namespace {

// -1: unset; 0 / 1: off / on.
std::atomic<int> s_state{-1};

} // namespace

bool DebugGate::flag() {
    return s_state.load(std::memory_order_acquire) == 1;
}

bool DebugGate::isSet() {
    return s_state.load(std::memory_order_acquire) >= 0;
}

void DebugGate::set(bool on) {
    s_state.store(on ? 1 : 0, std::memory_order_release);
}

void DebugGate::reset() {
    s_state.store(-1, std::memory_order_release);
}

} // namespace trevalin
