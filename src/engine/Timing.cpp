#include "engine/Timing.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

namespace trevalin {

namespace {

std::atomic<long long> g_settleMs{Timing::kSettleInterval.count()};
std::atomic<long long> g_startupMs{Timing::kStartupDelay.count()};
std::atomic<long long> g_blinkMs{Timing::kBlinkInterval.count()};
std::atomic<long long> g_settleWaits{0};
std::atomic<long long> g_startupWaits{0};

std::mutex g_hookMutex;
std::function<void()> g_settleHook; // guarded by g_hookMutex

} // namespace

std::chrono::milliseconds Timing::settleInterval() {
    return std::chrono::milliseconds(g_settleMs.load(std::memory_order_relaxed));
}

void Timing::waitSettleInterval() {
    g_settleWaits.fetch_add(1, std::memory_order_relaxed);
    std::function<void()> hook;
    {
        std::lock_guard lock(g_hookMutex);
        hook = g_settleHook;
    }
    if (hook)
        hook();
    std::this_thread::sleep_for(settleInterval());
}

long long Timing::settleWaitsForTesting() {
    return g_settleWaits.load(std::memory_order_relaxed);
}

void Timing::setSettleHookForTesting(std::function<void()> hook) {
    std::lock_guard lock(g_hookMutex);
    g_settleHook = std::move(hook);
}

std::chrono::milliseconds Timing::startupDelay() {
    return std::chrono::milliseconds(g_startupMs.load(std::memory_order_relaxed));
}

void Timing::waitStartupDelay() {
    g_startupWaits.fetch_add(1, std::memory_order_relaxed);
    std::this_thread::sleep_for(startupDelay());
}

long long Timing::startupWaitsForTesting() {
    return g_startupWaits.load(std::memory_order_relaxed);
}

std::chrono::milliseconds Timing::blinkInterval() {
    return std::chrono::milliseconds(g_blinkMs.load(std::memory_order_relaxed));
}

void Timing::setForTesting(std::chrono::milliseconds settle, std::chrono::milliseconds startup,
                           std::chrono::milliseconds blink) {
    g_settleMs.store(std::max<long long>(0, settle.count()), std::memory_order_relaxed);
    g_startupMs.store(std::max<long long>(0, startup.count()), std::memory_order_relaxed);
    g_blinkMs.store(std::max<long long>(0, blink.count()), std::memory_order_relaxed);
}

void Timing::resetForTesting() {
    setForTesting(kSettleInterval, kStartupDelay, kBlinkInterval);
}

} // namespace trevalin
