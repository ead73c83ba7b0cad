#include "engine/Persistence.h"

#include "engine/FlagStore.h"
#include "engine/Global.h"
#include "engine/Process.h"
#include "store/BookmarkDatabase.h"
#include "store/Cleanup.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/StoreHooks.h"

#include <mutex>

namespace trevalin {

namespace {

SubSystem engineSubSystem(StoreHooks::SubSystem subsystem) {
    return subsystem == StoreHooks::SubSystem::database ? SubSystem::database : SubSystem::bookmarks;
}

Flag engineFlag(StoreHooks::Flag flag) {
    return flag == StoreHooks::Flag::ready ? Flag::ready : Flag::save;
}

} // namespace

void registerPersistence() {
    static std::once_flag once;
    std::call_once(once, [] {
        StoreHooks::install(
            [](StoreHooks::SubSystem s, StoreHooks::Flag f) {
                return FlagStore::shared().get(engineSubSystem(s), engineFlag(f));
            },
            [](StoreHooks::SubSystem s, StoreHooks::Flag f, bool value) {
                FlagStore::shared().set(engineSubSystem(s), engineFlag(f), value);
            },
            [] { Global::shared().scheduleSave(); }, [] { Process::triageAll(); });
        FlagStore& flags = FlagStore::shared();
        // An exception thrown by a saver counts as a failed save; the flag stays set.
        flags.setBookmarkSaver([] {
            BookmarkDatabase::shared().save();
            return true;
        });
        flags.setContentSaver([] {
            Database::shared().save();
            return true;
        });
        flags.setFolderStoreFlush([] { CoreDatabase::asyncSave(); });
        flags.addStartupCompletionHook([] { Cleanup::databases(); });
    });
}

} // namespace trevalin
