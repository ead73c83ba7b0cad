#include "store/Debugging.h"

#include "logging/DebugGate.h"
#include "store/AppSettings.h"

#include <mutex>

namespace trevalin {

namespace {

std::mutex s_initMutex; // serialises the first read of the setting

} // namespace

bool Debugging::flag() {
    if (DebugGate::isSet())
        return DebugGate::flag();
    std::lock_guard lock(s_initMutex);
    if (!DebugGate::isSet())
        DebugGate::set(debugging());
    return DebugGate::flag();
}

void Debugging::load() {
    flag();
}

bool Debugging::debugging() {
    return AppSettings::value(AppSettings::Keys::debugging).toBool();
}

void Debugging::setFlagForTesting(bool value) {
    std::lock_guard lock(s_initMutex);
    DebugGate::set(value);
}

void Debugging::resetForTesting() {
    std::lock_guard lock(s_initMutex);
    DebugGate::reset();
}

} // namespace trevalin
