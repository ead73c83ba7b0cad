// CoreDatabase: the operations on the folder store that the rest of the program uses
// (intake, monitoring, the folder list, the clean-up, clearing all data). Stateless;
// each operation works on the shared CoreDataStack unless a stack is given, and may be
// called from any thread.
#pragma once

#include "model/Location.h"
#include "store/Folder.h"

#include <QList>

namespace trevalin {

class CoreDataStack;

class CoreDatabase {
public:
    // Creates the folder; an error is logged and nothing else happens. With `commit`
    // the store is saved afterwards in a medium-priority task.
    static void addFolder(const Location& location, bool commit);
    static void addFolder(const Location& location, bool commit, CoreDataStack& stack);
    // A Folder with the location's path exists (unsaved ones included).
    static bool contains(const Location& location);
    static bool contains(const Location& location, CoreDataStack& stack);
    // No Folder with that path exists.
    static bool missing(const Location& location);
    static bool missing(const Location& location, CoreDataStack& stack);
    // The locations of all folders / of the monitored ones, in insertion order.
    static QList<Location> allFolders(CoreDataStack* stack = nullptr);
    static QList<Location> monitoredFolders(CoreDataStack* stack = nullptr);
    // Switches monitoring of the folder at `location` (unsaved until the next save).
    static bool setMonitored(const Location& location, bool monitored, CoreDataStack* stack = nullptr);
    // Removes every Folder, one by one (unsaved until the next save).
    static void removeAllFolders(CoreDataStack* stack = nullptr);
    // Write pending changes; nothing pending: nothing happens and nothing is logged.
    static void save(CoreDataStack* stack = nullptr);
    static void asyncSave(CoreDataStack* stack = nullptr);
    // Deletes every Folder in the store at once, then resets the working set.
    static void purge(CoreDataStack* stack = nullptr);
    // Destroys the store file.
    static void deleteStores(CoreDataStack* stack = nullptr);

private:
    static void saveAs(CoreDataStack& stack, const QString& function);
};

} // namespace trevalin
