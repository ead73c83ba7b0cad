#include "store/StoreHooks.h"

#include <map>
#include <mutex>
#include <utility>

namespace trevalin {

namespace {

struct Hooks {
    std::mutex mutex; // guards every member
    StoreHooks::FlagGetter getter;
    StoreHooks::FlagSetter setter;
    StoreHooks::Action scheduleSave;
    StoreHooks::Action triageAll;
    std::map<std::pair<int, int>, bool> flags; // the stand-in flag table
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

} // namespace

bool StoreHooks::flag(SubSystem subsystem, Flag flag) {
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    if (FlagGetter getter = h.getter) {
        lock.unlock();
        return getter(subsystem, flag);
    }
    auto it = h.flags.find({int(subsystem), int(flag)});
    return it != h.flags.end() && it->second;
}

void StoreHooks::setFlag(SubSystem subsystem, Flag flag, bool value) {
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    if (FlagSetter setter = h.setter) {
        lock.unlock();
        setter(subsystem, flag, value);
        return;
    }
    h.flags[{int(subsystem), int(flag)}] = value;
}

void StoreHooks::scheduleSave() {
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    Action action = h.scheduleSave;
    lock.unlock();
    if (action)
        action();
}

void StoreHooks::triageAll() {
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    Action action = h.triageAll;
    lock.unlock();
    if (action)
        action();
}

void StoreHooks::install(FlagGetter getter, FlagSetter setter, Action scheduleSave, Action triageAll) {
    Hooks& h = hooks();
    std::lock_guard lock(h.mutex);
    if (getter)
        h.getter = std::move(getter);
    if (setter)
        h.setter = std::move(setter);
    if (scheduleSave)
        h.scheduleSave = std::move(scheduleSave);
    if (triageAll)
        h.triageAll = std::move(triageAll);
}

void StoreHooks::uninstall() {
    Hooks& h = hooks();
    std::lock_guard lock(h.mutex);
    h.getter = nullptr;
    h.setter = nullptr;
    h.scheduleSave = nullptr;
    h.triageAll = nullptr;
    h.flags.clear();
}

} // namespace trevalin
