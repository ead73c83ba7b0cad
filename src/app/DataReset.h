// DataReset: the two ways the preferences clear the program's data.
//   purge()    "Purge / Reset": no folders, no records, no bookmarks; the program keeps
//              running and the settings and the log stay.
//   clearAll() "Clear and Quit": removes everything the program keeps (both database
//              files, the folder store's entities and files, the settings, the log
//              file), so the next start is a first start.
// Both work on Targets: the program's own data (Targets::shared()) or, in tests, other
// databases, stores and log path.
//
// Thread-safety: both operations block (they write and remove files and wait for the
// folder store); run them on a pool task, never on the GUI thread. The targets must
// outlive the call.
#pragma once

#include <QString>

namespace trevalin {

class BookmarkDatabase;
class CoreDataStack;
class Database;

class DataReset {
public:
    struct Targets {
        Database* content = nullptr;
        BookmarkDatabase* bookmarks = nullptr;
        CoreDataStack* folders = nullptr;
        QString logFile;

        // The shared databases and folder store, and the program's log file.
        static Targets shared();
    };

    // Starts stopping every folder watch (a background task), empties the content
    // database and the bookmarks (their files are written empty on low-priority tasks),
    // deletes every folder and saves the folder store.
    static void purge(const Targets& targets);

    // In order: empties the content database; starts stopping every folder watch (a
    // background task); removes the content database file, the bookmark database file;
    // deletes every entity of the folder store; removes every setting (the login
    // setting stays); removes the log file (file logging to it ends first, so nothing
    // writes it again); destroys the folder store's files. A file already absent counts
    // as removed. The first removal that fails skips the rest, logs "Unable to delete
    // local application data from container" (with debugging on, the error too) and
    // returns false. Nothing removed is written again by a later save of the databases.
    static bool clearAll(const Targets& targets);

private:
    static bool removeLogFile(const QString& path, QString* error);
};

} // namespace trevalin
