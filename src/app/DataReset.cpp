#include "app/DataReset.h"

#include "engine/EnginePool.h"
#include "engine/FolderNotifications.h"
#include "logging/FileDestination.h"
#include "logging/Log.h"
#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "store/AppSettings.h"
#include "store/BookmarkDatabase.h"
#include "store/CoreDataStack.h"
#include "store/CoreDatabase.h"
#include "store/Database.h"
#include "store/Debugging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <memory>

#include <unistd.h>

namespace trevalin {

namespace {

void ceaseMonitoring() {
    EnginePool::runBackground([] { FolderNotifications::shared().cease(); });
}

} // namespace

DataReset::Targets DataReset::Targets::shared() {
    return {&Database::shared(), &BookmarkDatabase::shared(), &CoreDataStack::shared(), Log::logFilePath()};
}

void DataReset::purge(const Targets& targets) {
    ceaseMonitoring();
    targets.content->reset();
    targets.bookmarks->reset();
    CoreDatabase::removeAllFolders(targets.folders);
    CoreDatabase::save(targets.folders);
}

bool DataReset::clearAll(const Targets& targets) {
    targets.content->reset();
    ceaseMonitoring();
    QString error;
    const bool removed = [&] {
        if (!targets.content->removeFile(&error) || !targets.bookmarks->removeFile(&error))
            return false;
        CoreDatabase::purge(targets.folders);
        AppSettings::removeAllSettings();
        if (!removeLogFile(targets.logFile, &error))
            return false;
        CoreDatabase::deleteStores(targets.folders);
        return true;
    }();
    if (!removed) {
        TLOG_ERROR(QStringLiteral("Unable to delete local application data from container") +
                   logTag("AdvancedPreferencesView.body"));
        if (Debugging::flag())
            TLOG_ERROR(QStringLiteral("Error provided was: ") + error +
                       logTag("AdvancedPreferencesView.body"));
    }
    return removed;
}

bool DataReset::removeLogFile(const QString& path, QString* error) {
    // A file destination reopens its file when it is gone: the ones writing this file are
    // taken out of the logger and pointed nowhere (which writes out what they hold) first.
    for (const std::shared_ptr<BaseDestination>& destination : Logger::destinations()) {
        const auto file = std::dynamic_pointer_cast<FileDestination>(destination);
        if (!file || file->logFilePath() != path)
            continue;
        Logger::removeDestination(destination);
        file->setLogFilePath(QString());
    }
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0) {
        const int code = errno;
        if (code != ENOENT) {
            *error = QString::fromLocal8Bit(std::strerror(code)) + QStringLiteral(": ") + path;
            return false;
        }
    }
    return true;
}

} // namespace trevalin
