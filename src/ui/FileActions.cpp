#include "ui/FileActions.h"

#include "engine/EnginePool.h"
#include "engine/Process.h"
#include "engine/Progress.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/FileObject.h"
#include "store/CoreDataStack.h"
#include "store/Database.h"
#include "store/Debugging.h"
#include "store/LocationState.h"

#include <QDir>
#include <QFileInfo>
#include <QPromise>

#include <exception>
#include <memory>

namespace trevalin {

namespace {

const QString kRescanFunction = QStringLiteral("FileView.rescanFile(_:)");

void debug(const QString& message) {
    if (Debugging::flag())
        TLOG_DEBUG(message + logTag(kRescanFunction));
}

// A message that ends in "[ " is closed by the function name alone, so the line reads
// "... [ FileView.rescanFile(_:) ]".
void debugOpen(const QString& message) {
    if (Debugging::flag())
        TLOG_DEBUG(message + kRescanFunction + QStringLiteral(" ]"));
}

// The body of rescanFile(), on its pool task.
void rescan(const Location& location) {
    LocationState& access = LocationState::shared();
    debugOpen(QStringLiteral("Attempting to obtain sandbox permissions for location [ "));
    if (!access.startAccessing(location)) {
        debugOpen(QStringLiteral("Could not obtain permission to escape sandbox for location [ "));
        const FileObjectPtr record = Database::shared().record(location);
        const Location parent =
            record && !record->directory().isEmpty() ? Location(record->directory()) : location.parent();
        if (access.startAccessing(parent))
            debug(QStringLiteral("Sandbox permissions available to parent location: ") + parent.urlText());
    }
    if (QFileInfo(location.path()).isReadable())
        Process::rescan(location);
    else
        Progress::shared().setTitle(QStringLiteral("Error: sandbox permissions denied"));
}

} // namespace

bool FileActions::canRemove(const FileObject& file, ApplicationState state, CoreDataStack& folders) {
    if (state != ApplicationState::Idle)
        return false;
    const QString& directory = file.directory();
    if (directory.isEmpty() || !QDir::isAbsolutePath(directory))
        return true;
    const std::optional<Folder> folder = folders.folder(directory);
    return !folder || !folder->monitored;
}

void FileActions::removeRecord(const Location& location) {
    Database& database = Database::shared();
    database.removeRecord(location);
    database.markDatabaseModified();
    EnginePool::runLow([] {
        try {
            Database::shared().save();
        } catch (const std::exception& e) {
            TLOG_ERROR(QStringLiteral("Unable to save the database after removing a record: ") +
                       QString::fromLocal8Bit(e.what()) + logTag("FileView.removeRecord(_:)"));
        }
    });
}

QFuture<void> FileActions::rescanFile(const Location& location) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> future = promise->future();
    promise->start();
    EnginePool::runMedium([promise, location] {
        // Finished also when the body throws (the pool logs the exception).
        struct Finish {
            QPromise<void>& promise;
            ~Finish() { promise.finish(); }
        } finish{*promise};
        rescan(location);
    });
    return future;
}

} // namespace trevalin
