#include "store/Debugging.h"

#include "store/AppSettings.h"

#include <atomic>
#include <mutex>

namespace trevalin {

namespace {

// -1: not read yet; 0 / 1: the cached flag.
std::atomic<int> s_flag{-1};
std::mutex s_initMutex; // serialises the first read of the setting

} // namespace

bool Debugging::flag() {
    const int cached = s_flag.load(std::memory_order_acquire);
    if (cached >= 0)
        return cached == 1;
    std::lock_guard lock(s_initMutex);
    int value = s_flag.load(std::memory_order_acquire);
    if (value < 0) {
        value = debugging() ? 1 : 0;
        s_flag.store(value, std::memory_order_release);
    }
    return value == 1;
}

bool Debugging::debugging() {
    return AppSettings::value(AppSettings::Keys::debugging).toBool();
}

void Debugging::setFlagForTesting(bool value) {
    std::lock_guard lock(s_initMutex);
    s_flag.store(value ? 1 : 0, std::memory_order_release);
}

void Debugging::resetForTesting() {
    std::lock_guard lock(s_initMutex);
    s_flag.store(-1, std::memory_order_release);
}

} // namespace trevalin
