#include "store/EntityFunctions.h"

#include "logging/Logger.h"
#include "model/FileSystem.h"
#include "store/CoreDataError.h"
#include "store/CoreDataStack.h"

namespace trevalin {

Folder EntityFunctions::createFolder(const Location& location) {
    return createFolder(location, CoreDataStack::shared());
}

Folder EntityFunctions::createFolder(const Location& location, CoreDataStack& stack) {
    const FileSystem fs(location);
    if (!fs.exists())
        throw FileSystemException(FileSystemError::NotFound, location.path());
    if (!fs.isReadable())
        throw FileSystemException(FileSystemError::NotReadable, location.path());
    if (stack.countPath(location.path()) > 0)
        throw CoreDataException(CoreDataError::ObjectExists);

    Folder folder;
    folder.id = QUuid::createUuid();
    folder.location = location;
    folder.name = location.fileName();
    folder.path = location.path();
    // The dates are read before anything is inserted, so a failure leaves no half-made folder.
    try {
        const FileAttributes attributes = fs.attributes();
        folder.created = attributes.created.value_or(0);
        folder.modified = attributes.modified.value_or(0);
    } catch (const FileSystemException& error) {
        TLOG_ERROR(QStringLiteral("Failed to create Folder entity: ") + toString(error.error()) +
                   QStringLiteral(" [ EntityFunctions.createFolder(_:) ]"));
        TLOG_ERROR(error.description() + QStringLiteral(", {path = ") + location.path() + u'}');
        throw CoreDataException(CoreDataError::EntityCreationFailed);
    }
    folder.monitored = false;
    if (!stack.insertIfAbsent(folder))
        throw CoreDataException(CoreDataError::ObjectExists);
    return folder;
}

} // namespace trevalin
