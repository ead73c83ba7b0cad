#include "ui/FolderActions.h"

#include "engine/EnginePool.h"
#include "engine/FolderNotifications.h"
#include "engine/Process.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"

#include <QPromise>

#include <exception>
#include <functional>
#include <memory>

namespace trevalin {

namespace {

// Starts `body` as a low-priority task; the future finishes when it has ended. An
// exception that leaves `body` is logged under `function` and ends the task.
QFuture<void> startAction(const char* function, std::function<void()> body) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> future = promise->future();
    promise->start();
    EnginePool::runLow([promise, function, body = std::move(body)] {
        try {
            body();
        } catch (const std::exception& e) {
            TLOG_ERROR(QStringLiteral("Folder action ended by an exception: ") +
                       QString::fromLocal8Bit(e.what()) + logTag(function));
        } catch (...) {
            TLOG_ERROR(QStringLiteral("Folder action ended by an unknown exception") + logTag(function));
        }
        promise->finish();
    });
    return future;
}

} // namespace

QFuture<void> FolderActions::disableMonitoring(const Folder& folder, Save save) {
    return startAction("FolderActions.disableMonitoring(_:save:)", [folder, save] {
        FolderNotifications::shared().remove(folder.location);
        CoreDataStack::shared().setMonitored(folder.path, false);
        if (save == Save::Async)
            CoreDatabase::asyncSave();
        else
            CoreDatabase::save();
    });
}

QFuture<void> FolderActions::enableMonitoring(const Folder& folder) {
    return startAction("FolderActions.enableMonitoring(_:)", [folder] {
        // The changes made while the folder was not watched raise no event: the
        // folder is brought up to date, vanished files included, before its watch starts.
        if (Process::triage(folder.location, Process::OrphanScan::Awaited))
            Process::process();
        FolderNotifications::shared().monitor(folder.location);
        CoreDataStack::shared().setMonitored(folder.path, true);
        CoreDatabase::save();
    });
}

QFuture<void> FolderActions::remove(const Folder& folder) {
    return startAction("FolderActions.remove(_:)", [folder] {
        // A watch started since the menu was made is stopped too.
        if (folder.monitored || FolderNotifications::shared().notifier(folder.location))
            FolderNotifications::shared().remove(folder.location);
        const QString path = folder.path;
        EnginePool::runLow([path] { Database::shared().purgeChildren(path); });
        CoreDataStack::shared().removeFolder(folder.path);
        CoreDatabase::save();
    });
}

} // namespace trevalin
