#include "store/Cleanup.h"

#include "logging/Logger.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/LocationState.h"
#include "store/StoreHooks.h"

namespace trevalin {

void Cleanup::databases() {
    databases(Database::shared(), BookmarkDatabase::shared(), CoreDataStack::shared());
}

void Cleanup::databases(Database& content, BookmarkDatabase& bookmarks, CoreDataStack& folders) {
    TLOG_INFO(QStringLiteral(
        "Cleanup of persistent database content starting on a background thread [ Cleanup.databases() ]"));
    securityBookmarksPurge(content, bookmarks, folders);
    StoreHooks::triageAll();
    StoreHooks::scheduleSave();
    TLOG_INFO(QStringLiteral("Cleanup of persistent database content completed [ Cleanup.databases() ]"));
}

void Cleanup::securityBookmarksPurge() {
    securityBookmarksPurge(Database::shared(), BookmarkDatabase::shared(), CoreDataStack::shared());
}

void Cleanup::securityBookmarksPurge(Database& content, BookmarkDatabase& bookmarks, CoreDataStack& folders) {
    const QString tag = QStringLiteral(" [ Cleanup.securityBookmarksPurge() ]");
    const bool debugging = Debugging::flag();

    const OrderedSet<Location> stale = bookmarks.staleBookmarks();
    if (!stale.isEmpty()) {
        TLOG_INFO(
            QStringLiteral("Purging database and security bookmarks of previously flagged stale locations") +
            tag);
        if (stale.size() == 1) {
            const Location& location = *stale.first();
            if (debugging)
                TLOG_INFO(QStringLiteral("Removing bookmark: ") + location.path() + tag);
            content.removeRecord(location);
            content.markDatabaseModified();
        } else {
            if (debugging)
                TLOG_INFO(QStringLiteral("Removing multuiple bookmarks using a bulk operation") + tag);
            content.remove(stale);
        }
        bookmarks.clearStaleBookmarks();
    }

    TLOG_INFO(QStringLiteral("Pruning any orphaned security bookmarks") + tag);
    const auto [files, folderLocations] = bookmarks.splitFilesAndFolders();
    bool removed = false;
    for (const Location& location : files) {
        if (content.contains(location)) {
            if (debugging)
                TLOG_DEBUG(QStringLiteral("File: ") + location.path() + QStringLiteral(" [OK]") + tag);
            continue;
        }
        bookmarks.locationState().stopAccessing(location);
        bookmarks.removeBookmark(location);
        removed = true;
        TLOG_VERBOSE(QStringLiteral("File: ") + location.path() + QStringLiteral(" [Removed]"));
    }
    for (const Location& location : folderLocations) {
        if (!CoreDatabase::missing(location, folders)) {
            if (debugging)
                TLOG_DEBUG(QStringLiteral("Folder: ") + location.path() + QStringLiteral(" [OK]") + tag);
            continue;
        }
        bookmarks.locationState().stopAccessing(location);
        bookmarks.removeBookmark(location);
        removed = true;
        TLOG_VERBOSE(QStringLiteral("Folder: ") + location.path() + QStringLiteral(" [Removed]"));
    }
    if (removed)
        bookmarks.markBookmarksModified();
}

} // namespace trevalin
