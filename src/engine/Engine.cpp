#include "engine/Engine.h"

#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Monitoring.h"
#include "engine/Persistence.h"
#include "store/AppSettings.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/StoreHooks.h"

#include <mutex>

namespace trevalin {

namespace {

TaskPriority enginePriority(StoreHooks::Priority priority) {
    switch (priority) {
    case StoreHooks::Priority::background:
        return TaskPriority::Background;
    case StoreHooks::Priority::low:
        return TaskPriority::Low;
    case StoreHooks::Priority::medium:
        return TaskPriority::Medium;
    case StoreHooks::Priority::high:
        return TaskPriority::High;
    }
    return TaskPriority::Low;
}

} // namespace

void Engine::start(const Options& options) {
    connectStore();
    loadDebugGate();
    if (options.persistence)
        wirePersistence();
    if (options.monitoring)
        wireMonitoring();
    if (options.flags)
        initialiseFlags();
    if (options.algorithms)
        loadAlgorithms();
    if (options.databases) {
        loadBookmarks();
        openFolderStore();
        loadContent();
    }
}

void Engine::connectStore() {
    static std::once_flag once;
    std::call_once(once, [] {
        StoreHooks::installBackground(
            [](StoreHooks::Priority priority, StoreHooks::Action task) {
                EnginePool::run(enginePriority(priority), std::move(task));
            },
            [](int msecs) { return EnginePool::waitForDone(msecs); });
    });
}

void Engine::loadDebugGate() {
    Debugging::load(); // reads the setting only while the gate is unset
}

void Engine::wirePersistence() {
    registerPersistence(); // once-only itself
}

void Engine::wireMonitoring() {
    registerMonitoring(); // once-only itself
}

void Engine::initialiseFlags() {
    static std::once_flag once;
    std::call_once(once, [] { FlagStore::shared().initialise(); });
}

void Engine::loadAlgorithms() {
    static std::once_flag once;
    std::call_once(once, [] { AppSettings::loadAlgorithmStatus(); });
}

void Engine::loadBookmarks() {
    static std::once_flag once;
    std::call_once(once, [] {
        BookmarkDatabase& bookmarks = BookmarkDatabase::shared();
        bookmarks.start();
        bookmarks.sandboxValidate(bookmarks.db());
    });
}

int Engine::openFolderStore() {
    return int(CoreDataStack::shared().folders().size());
}

void Engine::loadContent() {
    static std::once_flag once;
    std::call_once(once, [] { Database::shared().start(); });
}

} // namespace trevalin
