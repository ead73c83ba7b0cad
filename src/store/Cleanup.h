// Cleanup: the background clean-up run once start-up has completed — it removes the
// records and bookmarks of locations flagged stale, drops bookmarks whose file is no
// longer tracked or whose folder is no longer stored, re-evaluates every stored
// folder and schedules a save. Stateless; runs on an engine background task. The
// databases given (the shared ones by default) guard their own state.
#pragma once

namespace trevalin {

class BookmarkDatabase;
class CoreDataStack;
class Database;

class Cleanup {
public:
    static void databases();
    static void databases(Database& content, BookmarkDatabase& bookmarks, CoreDataStack& folders);
    static void securityBookmarksPurge();
    static void securityBookmarksPurge(Database& content, BookmarkDatabase& bookmarks,
                                       CoreDataStack& folders);
};

} // namespace trevalin
