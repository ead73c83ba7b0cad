#include "engine/Monitoring.h"

#include "engine/FlagStore.h"
#include "engine/FolderNotifications.h"
#include "engine/Process.h"
#include "store/StoreHooks.h"

#include <mutex>

namespace trevalin {

void registerMonitoring() {
    static std::once_flag once;
    std::call_once(once, [] {
        StoreHooks::install(nullptr, nullptr, nullptr, [] { Process::triageAll(); });
        FlagStore::shared().addStartupCompletionHook([] { FolderNotifications::shared().registerAll(); });
    });
}

} // namespace trevalin
