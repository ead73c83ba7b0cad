#include "store/CoreDatabase.h"

#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/FileSystemError.h"
#include "store/CoreDataError.h"
#include "store/CoreDataStack.h"
#include "store/Debugging.h"
#include "store/EntityFunctions.h"
#include "store/StoreHooks.h"

#include <QThread>

namespace trevalin {

namespace {

CoreDataStack& stackOr(CoreDataStack* stack) {
    return stack ? *stack : CoreDataStack::shared();
}

QString threadDescription() {
    QThread* thread = QThread::currentThread();
    const QString name = thread->objectName().isEmpty() ? QStringLiteral("(null)") : thread->objectName();
    return QStringLiteral("<QThread: 0x%1>{number = %2, name = %3}")
        .arg(quintptr(thread), 0, 16)
        .arg(quintptr(QThread::currentThreadId()))
        .arg(name);
}

} // namespace

void CoreDatabase::addFolder(const Location& location, bool commit) {
    addFolder(location, commit, CoreDataStack::shared());
}

void CoreDatabase::addFolder(const Location& location, bool commit, CoreDataStack& stack) {
    const QString tag = QStringLiteral(" [ CoreDatabase.addFolder(_:commit:) ]");
    try {
        EntityFunctions::createFolder(location, stack);
    } catch (const FileSystemException& error) {
        TLOG_ERROR(toString(error.error()) + tag);
        return;
    } catch (const CoreDataException& error) {
        TLOG_ERROR(toString(error.error()) + tag);
        return;
    }
    if (commit) {
        CoreDataStack* target = &stack;
        StoreHooks::runMedium([target] { CoreDatabase::save(target); });
    }
}

bool CoreDatabase::contains(const Location& location) {
    return contains(location, CoreDataStack::shared());
}

bool CoreDatabase::contains(const Location& location, CoreDataStack& stack) {
    return stack.countPath(location.path()) > 0;
}

bool CoreDatabase::missing(const Location& location) {
    return missing(location, CoreDataStack::shared());
}

bool CoreDatabase::missing(const Location& location, CoreDataStack& stack) {
    return stack.countPath(location.path()) == 0;
}

QList<Location> CoreDatabase::allFolders(CoreDataStack* stack) {
    QList<Location> out;
    for (const Folder& folder : stackOr(stack).folders())
        out.append(folder.location);
    return out;
}

QList<Location> CoreDatabase::monitoredFolders(CoreDataStack* stack) {
    QList<Location> out;
    for (const Folder& folder : stackOr(stack).folders())
        if (folder.monitored)
            out.append(folder.location);
    return out;
}

bool CoreDatabase::setMonitored(const Location& location, bool monitored, CoreDataStack* stack) {
    return stackOr(stack).setMonitored(location.path(), monitored);
}

void CoreDatabase::removeAllFolders(CoreDataStack* stack) {
    CoreDataStack& target = stackOr(stack);
    for (const Folder& folder : target.folders())
        target.removeFolder(folder.path);
}

void CoreDatabase::saveAs(CoreDataStack& stack, const QString& function) {
    if (!stack.hasChanges())
        return;
    QString error;
    if (stack.save(&error)) {
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("Saved core database on thread ") + threadDescription() +
                       logTag(function));
        else
            TLOG_INFO(QStringLiteral("Saved core database") + logTag(function));
        return;
    }
    TLOG_ERROR(QStringLiteral("Error; failed to save core database on thread ") + threadDescription() +
               logTag(function));
    TLOG_ERROR(error);
}

void CoreDatabase::save(CoreDataStack* stack) {
    saveAs(stackOr(stack), QStringLiteral("CoreDatabase.save()"));
}

void CoreDatabase::asyncSave(CoreDataStack* stack) {
    saveAs(stackOr(stack), QStringLiteral("CoreDatabase.asyncSave()"));
}

void CoreDatabase::purge(CoreDataStack* stack) {
    QString error;
    if (stackOr(stack).batchDeleteFolders(&error)) {
        TLOG_VERBOSE(
            QStringLiteral("A complete purge of the core database was performed [ CoreDatabase.purge() ]"));
        return;
    }
    TLOG_ERROR(QStringLiteral("Caught exception purging core database [ CoreDatabase.purge() ]"));
    TLOG_ERROR(error);
}

void CoreDatabase::deleteStores(CoreDataStack* stack) {
    CoreDataStack& target = stackOr(stack);
    QString error;
    if (target.destroyStore(&error)) {
        TLOG_WARNING(QStringLiteral("Deleted core data persistent store: ") +
                     Location(target.storePath()).urlText() +
                     QStringLiteral(" [ CoreDatabase.deleteStores() ]"));
        return;
    }
    TLOG_ERROR(QStringLiteral(
        "Caught exception deleting the core data persistent store [ CoreDatabase.deleteStores() ]"));
    TLOG_ERROR(error);
}

} // namespace trevalin
