// EntityFunctions: creation of folder-store entities. Stateless; safe from any thread
// (the stack locks its own state).
#pragma once

#include "model/Location.h"
#include "store/Folder.h"

namespace trevalin {

class CoreDataStack;

class EntityFunctions {
public:
    // Creates a Folder for `location` in the stack's working set (not saved) and returns
    // it. Throws FileSystemException NotFound when nothing exists at the path,
    // NotReadable when it cannot be read; CoreDataException ObjectExists when a folder
    // with the same path is already stored (nothing is inserted);
    // CoreDataException EntityCreationFailed (logged) when its dates cannot be read.
    static Folder createFolder(const Location& location);
    static Folder createFolder(const Location& location, CoreDataStack& stack);
};

} // namespace trevalin
