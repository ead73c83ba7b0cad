#include "store/StoreHooks.h"

#include "logging/Logger.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <exception>
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
    StoreHooks::Runner runner;
    StoreHooks::Waiter waiter;
    std::map<std::pair<int, int>, bool> flags; // the stand-in flag table
};

Hooks& hooks() {
    static Hooks instance;
    return instance;
}

// The stand-in for the engine's pool: created on first use and never destroyed, so a
// task still running when the process exits never holds the exit up.
QThreadPool& standInPool() {
    static QThreadPool* instance = [] {
        auto* pool = new QThreadPool();
        pool->setObjectName(QStringLiteral("StoreHooks"));
        pool->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        return pool;
    }();
    return *instance;
}

void runGuarded(const StoreHooks::Action& task) {
    try {
        task();
    } catch (const std::exception& e) {
        TLOG_ERROR(QStringLiteral("Store task ended by an exception: ") + QString::fromLocal8Bit(e.what()) +
                   QStringLiteral(" [ StoreHooks.run(_:_:) ]"));
    } catch (...) {
        TLOG_ERROR(QStringLiteral("Store task ended by an unknown exception [ StoreHooks.run(_:_:) ]"));
    }
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

void StoreHooks::run(Priority priority, Action task) {
    if (!task)
        return;
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    Runner runner = h.runner;
    lock.unlock();
    if (runner) {
        runner(priority, std::move(task));
        return;
    }
    standInPool().start([task = std::move(task)] { runGuarded(task); }, int(priority));
}

bool StoreHooks::waitForBackground(int msecs) {
    // remainingTime() is -1 for a deadline that never expires.
    const QDeadlineTimer deadline =
        msecs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(msecs);
    if (!standInPool().waitForDone(int(deadline.remainingTime())))
        return false;
    Hooks& h = hooks();
    std::unique_lock lock(h.mutex);
    Waiter waiter = h.waiter;
    lock.unlock();
    if (!waiter)
        return true;
    return waiter(int(deadline.remainingTime()));
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

void StoreHooks::installBackground(Runner runner, Waiter waiter) {
    Hooks& h = hooks();
    std::lock_guard lock(h.mutex);
    h.runner = std::move(runner);
    h.waiter = std::move(waiter);
}

void StoreHooks::uninstall() {
    Hooks& h = hooks();
    std::lock_guard lock(h.mutex);
    h.getter = nullptr;
    h.setter = nullptr;
    h.scheduleSave = nullptr;
    h.triageAll = nullptr;
    h.runner = nullptr;
    h.waiter = nullptr;
    h.flags.clear();
}

} // namespace trevalin
