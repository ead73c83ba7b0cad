#include "store/Database.h"

#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/FileSystem.h"
#include "store/ByteCount.h"
#include "store/DatabaseCodec.h"
#include "store/Debugging.h"
#include "store/PlistError.h"
#include "store/PlistFile.h"
#include "store/StoreHooks.h"

#include <QStandardPaths>

#include <atomic>

namespace trevalin {

namespace {

// Set while a task that raises the save flag is queued but has not run yet: marks made
// meanwhile are covered by it, so a burst of changes starts one task, not one each.
std::atomic<bool> saveFlagTaskQueued{false};

} // namespace

Database& Database::shared() {
    static Database* instance = new Database();
    return *instance;
}

QString Database::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Trevalin.database.plist");
}

Database::Database(const QString& file, QObject* parent)
    : QObject(parent)
    , m_file(file)
    , m_dataFile(file, StoreHooks::SubSystem::database, m_mutex, m_generation) {
    connect(&m_changes, &ChangeBatcher::batch, this, &Database::recordsChanged, Qt::DirectConnection);
}

double Database::totalBytes() const {
    std::lock_guard lock(m_mutex);
    return m_totalBytes;
}

QString Database::sizeString() const {
    std::lock_guard lock(m_mutex);
    return m_sizeString;
}

std::size_t Database::count() const {
    std::lock_guard lock(m_mutex);
    return m_db.size();
}

bool Database::contains(const Location& location) const {
    std::lock_guard lock(m_mutex);
    return m_db.contains(location);
}

FileObjectPtr Database::record(const Location& location) const {
    std::lock_guard lock(m_mutex);
    return m_db.value(location);
}

QList<FileObjectPtr> Database::records(const QList<Location>& locations) const {
    QList<FileObjectPtr> found;
    found.reserve(locations.size());
    std::lock_guard lock(m_mutex);
    for (const Location& location : locations)
        found.append(m_db.value(location));
    return found;
}

std::optional<std::size_t> Database::indexOf(const Location& location) const {
    std::lock_guard lock(m_mutex);
    return m_db.indexOf(location);
}

QList<FileObjectPtr> Database::values() const {
    std::lock_guard lock(m_mutex);
    QList<FileObjectPtr> out;
    out.reserve(qsizetype(m_db.size()));
    for (const auto& entry : m_db)
        out.append(entry.second);
    return out;
}

QList<Location> Database::keys() const {
    std::lock_guard lock(m_mutex);
    QList<Location> out;
    out.reserve(qsizetype(m_db.size()));
    for (const auto& entry : m_db)
        out.append(entry.first);
    return out;
}

bool Database::isStorable(const Location& location) {
    return !location.isEmpty() && PlistFile::isPropertyListSafe(location.path());
}

bool Database::set(const Location& location, const FileObjectPtr& file) {
    if (!file || !isStorable(location)) {
        TLOG_ERROR(QStringLiteral("Location cannot be stored in the content database: ") +
                   PlistFile::printable(location.path()) + logTag("Database.set(_:_:)"));
        return false;
    }
    bool appended;
    {
        std::lock_guard lock(m_mutex);
        appended = m_db.insertOrAssign(location, file);
        // Noted under the lock, so batches follow the map's own order of changes.
        if (appended)
            m_changes.inserted(location);
        else
            m_changes.changed(location);
    }
    return appended;
}

void Database::start() {
    try {
        load();
    } catch (const std::exception&) {
        try {
            save();
        } catch (const std::exception&) {
            TLOG_ERROR(QStringLiteral("Unable to read or write database; this could be problematic") +
                       logTag("Database.start()"));
        }
    }
    StoreHooks::setFlag(StoreHooks::SubSystem::database, StoreHooks::Flag::ready, true);
}

void Database::load(bool setAside) {
    Map map;
    m_dataFile.load(
        setAside,
        {QStringLiteral("Database.load()"),
         QStringLiteral("The content database file could not be opened") + logTag("Database.load()"),
         QStringLiteral("Loading/parsing content database failed ") + logTag("Database.load()"),
         [&map](QIODevice* file) { map = DatabaseCodec::decode(file); },
         [](const QString& reason, const QString& aside) {
             throw DatabaseException(DatabaseError::LoadDatabaseError, reason, aside);
         }});
    const std::size_t records = map.size();
    {
        std::lock_guard lock(m_mutex);
        m_db = std::move(map);
        m_changes.reset();
    }
    TLOG_INFO(QStringLiteral("Successfully loaded [ %1 ] database records from plist file [ %2 ]")
                  .arg(records)
                  .arg(Location(m_file).urlText()) +
              logTag("Database.load()"));
    calculateSize();
}

Database::Snapshot Database::snapshot() const {
    std::lock_guard lock(m_mutex);
    Snapshot out;
    out.reserve(m_db.size());
    for (const auto& entry : m_db)
        out.emplace_back(entry.first, entry.second->snapshot());
    return out;
}

void Database::save() {
    Snapshot entries;
    m_dataFile.save(
        {[this, &entries] {
             entries.reserve(m_db.size());
             for (const auto& entry : m_db)
                 entries.emplace_back(entry.first, entry.second->snapshot());
         },
         [&entries] {
             // Nothing a property list cannot carry is ever written (set() refuses such paths).
             std::erase_if(entries, [](const auto& entry) {
                 if (Database::isStorable(entry.first) && PlistFile::isPropertyListSafe(entry.second.path))
                     return false;
                 TLOG_ERROR(QStringLiteral("Location cannot be stored in the content database: ") +
                            PlistFile::printable(entry.first.path()) + logTag("Database.save()"));
                 return true;
             });
         },
         [&entries](PlistWriter& writer) { DatabaseCodec::encode(writer, entries); },
         [](const PlistError& error) {
             TLOG_ERROR(error.message());
             throw DatabaseException(DatabaseError::SaveDatabaseError, error.message());
         },
         QStringLiteral("Save operation; database content written to storage") + logTag("Database.save()")});
    calculateSize();
}

void Database::reset() {
    {
        std::lock_guard lock(m_mutex);
        m_db.clear();
        ++m_generation;
        m_changes.reset();
    }
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("All database content cleared/reset"));
    StoreHooks::runLow([this] {
        try {
            save();
        } catch (const std::exception&) {
            TLOG_ERROR(QStringLiteral("Unable to save a new content database") + logTag("Database.reset()"));
        }
    });
}

bool Database::removeFile(QString* error) {
    return m_dataFile.remove(error);
}

void Database::calculateSize() {
    QString text;
    {
        std::lock_guard lock(m_mutex);
        quint64 sum = 0;
        for (const auto& entry : m_db)
            sum += entry.second->bytes();
        m_totalBytes = double(sum);
        m_sizeString = byteCountString(m_totalBytes);
        text = m_sizeString;
    }
    emit sizeStringChanged(text);
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Database content size total is ") + text +
                   logTag("Database.calculateSize()"));
}

void Database::checksumStore(const Location& location, const Checksum& checksum) {
    const FileObjectPtr file = record(location);
    if (!file) {
        TLOG_WARNING(QStringLiteral("File/object not in database; cannot update checksum") +
                     logTag("Database.checksumStore(location:checksum:)"));
        return;
    }
    FileObject::StoreResult result;
    {
        // Under the database lock, so a snapshot sees the record before or after the change.
        std::lock_guard lock(m_mutex);
        result = file->storeChecksum(checksum);
        if (result != FileObject::StoreResult::Unchanged) {
            file->setStatus(FileState::Processed);
            m_changes.changed(location);
        }
    }
    if (result == FileObject::StoreResult::Unchanged)
        return;
    if (result == FileObject::StoreResult::Replaced && Debugging::flag())
        TLOG_VERBOSE(QStringLiteral("Updating existing database object for ") + location.path() +
                     logTag("Database.checksumStore(location:checksum:)"));
    markDatabaseModified();
}

void Database::remove(const OrderedSet<Location>& locations) {
    TLOG_VERBOSE(QStringLiteral("Database records to remove: %1").arg(locations.size()));
    {
        std::lock_guard lock(m_mutex);
        for (const Location& location : locations)
            if (m_db.remove(location))
                m_changes.removed(location);
    }
    markDatabaseModified();
}

bool Database::removeRecord(const Location& location) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_db.remove(location))
            return false;
        m_changes.removed(location);
    }
    return true;
}

void Database::removeAsync(const OrderedSet<Location>& locations) {
    remove(locations);
}

QList<FileObjectPtr> Database::files(const std::optional<Location>& directory) const {
    if (!directory)
        return values();
    const FileSystem fs(*directory);
    if (!fs.exists()) {
        // A folder that vanished is still a valid filter: its records are returned.
        TLOG_WARNING(QStringLiteral("A directory location did not exist; possibly moved or deleted") +
                     logTag("Database.files(directory:)"));
    } else if (!fs.isDirectory()) {
        TLOG_ERROR(QStringLiteral(
                       "Directory dump request included a filter parameter that was not a directory URL") +
                   logTag("Database.files(directory:)"));
        throw DatabaseException(DatabaseError::DumpFilterInvalid);
    }
    const QString& path = directory->path();
    std::lock_guard lock(m_mutex);
    QList<FileObjectPtr> out;
    for (const auto& entry : m_db)
        if (entry.second->directory() == path)
            out.append(entry.second);
    return out;
}

void Database::purgeChildren(const QString& folderPath) {
    const bool debugging = Debugging::flag();
    if (debugging)
        TLOG_DEBUG(QStringLiteral("Searching for children: ") + folderPath +
                   logTag("Database.purgeChildren(_:)"));
    OrderedSet<Location> orphans;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& entry : m_db) {
            if (entry.second->directory() != folderPath)
                continue;
            if (debugging)
                TLOG_DEBUG(QStringLiteral("Removing orphan: ") + entry.second->path() +
                           logTag("Database.purgeChildren(_:)"));
            orphans.append(entry.second->location());
        }
    }
    if (orphans.isEmpty())
        return;
    removeAsync(orphans);
    StoreHooks::scheduleSave();
}

void Database::flushChanges() {
    m_changes.flush();
}

void Database::setChangeInterval(std::chrono::milliseconds interval) {
    m_changes.setInterval(interval);
}

void Database::markDatabaseModified() {
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        // Already flagged: the next save writes this change (see save()).
        if (StoreHooks::flag(StoreHooks::SubSystem::database, StoreHooks::Flag::save))
            return;
    }
    if (saveFlagTaskQueued.exchange(true))
        return;
    StoreHooks::runLow([] {
        saveFlagTaskQueued = false; // cleared first: a later mark queues a task of its own
        StoreHooks::setFlag(StoreHooks::SubSystem::database, StoreHooks::Flag::save, true);
    });
}

} // namespace trevalin
