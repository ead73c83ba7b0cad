#include "store/BookmarkDatabase.h"

#include "logging/LogTag.h"
#include "logging/Logger.h"
#include "model/FileSystem.h"
#include "store/BookmarkError.h"
#include "store/Debugging.h"
#include "store/LocationCoding.h"
#include "store/LocationState.h"
#include "store/PlistError.h"
#include "store/PlistFile.h"
#include "store/PlistReader.h"
#include "store/PlistWriter.h"
#include "store/StoreHooks.h"

#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentMap>

#include <optional>

namespace trevalin {

namespace {

SecurityBookmark decodeBookmark(PlistReader& r) {
    if (r.peekType() != PlistReader::Type::Dict)
        r.fail(QStringLiteral("Expected to decode a SecurityBookmark dictionary but found %1 instead")
                   .arg(r.peekName()));
    r.beginDict();
    QUuid identifier;
    QByteArray token;
    int seen = 0;
    QString key;
    while (r.nextKey(key)) {
        if (key == QLatin1StringView("identifier")) {
            identifier = LocationCoding::uuidFromText(r, r.readString());
            seen |= 1;
        } else if (key == QLatin1StringView("token")) {
            token = r.readData();
            seen |= 2;
        } else {
            r.skipValue();
        }
    }
    if (!(seen & 1))
        r.fail(QStringLiteral("No value associated with key \"identifier\""));
    if (!(seen & 2))
        r.fail(QStringLiteral("No value associated with key \"token\""));
    return SecurityBookmark(identifier, token);
}

BookmarkDatabase::Map decodeMap(PlistReader& r) {
    BookmarkDatabase::Map map;
    LocationCoding::decodeKeyedArray(r, decodeBookmark, [&](const Location& key, SecurityBookmark value) {
        if (map.contains(key))
            return false;
        map.insert(key, std::move(value));
        return true;
    });
    return map;
}

} // namespace

BookmarkDatabase& BookmarkDatabase::shared() {
    static BookmarkDatabase* instance = new BookmarkDatabase();
    return *instance;
}

QString BookmarkDatabase::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/Trevalin.bookmarks.plist");
}

BookmarkDatabase::BookmarkDatabase(const QString& file, LocationState* state, QObject* parent)
    : QObject(parent)
    , m_file(file)
    , m_state(state ? state : &LocationState::shared())
    , m_dataFile(file, StoreHooks::SubSystem::bookmarks, m_mutex, m_generation) {}

BookmarkDatabase::Map BookmarkDatabase::db() const {
    std::lock_guard lock(m_mutex);
    return m_db;
}

int BookmarkDatabase::count() const {
    std::lock_guard lock(m_mutex);
    return int(m_db.size());
}

bool BookmarkDatabase::contains(const Location& location) const {
    std::lock_guard lock(m_mutex);
    return m_db.contains(location);
}

OrderedSet<Location> BookmarkDatabase::staleBookmarks() const {
    std::lock_guard lock(m_mutex);
    return m_stale;
}

void BookmarkDatabase::clearStaleBookmarks() {
    std::lock_guard lock(m_mutex);
    m_stale.clear();
}

bool BookmarkDatabase::removeBookmark(const Location& location) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_db.remove(location))
            return false;
        ++m_generation;
    }
    emit changed();
    return true;
}

void BookmarkDatabase::start() {
    try {
        load();
    } catch (const std::exception&) {
        try {
            save();
        } catch (const std::exception&) {
            TLOG_ERROR(QStringLiteral(
                           "Unable to read/write security bookmarks database; this could be problematic") +
                       logTag("BookmarkDatabase.start()"));
        }
    }
}

void BookmarkDatabase::load(bool setAside) {
    Map map;
    m_dataFile.load(setAside, {QStringLiteral("BookmarkDatabase.load()"),
                               QStringLiteral("The security bookmarks database could not be opened") +
                                   logTag("BookmarkDatabase.load()"),
                               QStringLiteral("Loading/parsing document bookmarks failed") +
                                   logTag("BookmarkDatabase.load()"),
                               [&map](QIODevice* file) { map = decode(file); },
                               [](const QString& reason, const QString& aside) {
                                   throw BookmarkException(BookmarkError::LoadBookmarkError, reason, aside);
                               }});
    const qsizetype entries = map.size();
    {
        std::lock_guard lock(m_mutex);
        m_db = std::move(map);
        ++m_generation;
    }
    emit changed();
    TLOG_INFO(QStringLiteral("Successfully loaded [ %1 ] security bookmarks from plist file [ %2 ]")
                  .arg(entries)
                  .arg(Location(m_file).urlText()) +
              logTag("BookmarkDatabase.load()"));
}

void BookmarkDatabase::encode(PlistWriter& writer,
                              const QList<std::pair<Location, SecurityBookmark>>& entries) {
    writer.beginDict();
    writer.key(QStringLiteral("bookmarks"));
    writer.beginArray();
    for (const auto& [location, bookmark] : entries) {
        LocationCoding::encode(writer, location);
        writer.beginDict();
        writer.key(QStringLiteral("identifier"));
        writer.string(LocationCoding::uuidText(bookmark.identifier()));
        writer.key(QStringLiteral("token"));
        writer.data(bookmark.token());
        writer.endDict();
        writer.newline();
    }
    writer.endArray();
    writer.endDict();
}

BookmarkDatabase::Map BookmarkDatabase::decode(const QByteArray& document) {
    PlistReader reader(document);
    return decode(reader);
}

BookmarkDatabase::Map BookmarkDatabase::decode(QIODevice* device) {
    PlistReader reader(device);
    return decode(reader);
}

BookmarkDatabase::Map BookmarkDatabase::decode(PlistReader& reader) {
    return reader.readRootValue(QLatin1StringView("bookmarks"), decodeMap);
}

void BookmarkDatabase::save() {
    if (!StoreHooks::flag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save))
        return;
    TLOG_INFO(QStringLiteral("Modified security bookmarks database needs to be saved") +
              logTag("BookmarkDatabase.save()"));
    QList<std::pair<Location, SecurityBookmark>> entries;
    m_dataFile.save({[this, &entries] {
                         entries.reserve(m_db.size());
                         for (auto it = m_db.cbegin(); it != m_db.cend(); ++it)
                             if (PlistFile::isPropertyListSafe(it.key().path()))
                                 entries.append({it.key(), it.value()});
                     },
                     {},
                     [&entries](PlistWriter& writer) { encode(writer, entries); },
                     [](const PlistError& error) {
                         TLOG_ERROR(QStringLiteral("Unable to save security bookmarks database to disk") +
                                    logTag("BookmarkDatabase.save()"));
                         TLOG_ERROR(error.message());
                         throw BookmarkException(BookmarkError::SaveBookmarkError, error.message());
                     },
                     QStringLiteral("Save operation; security bookmarks database written to storage") +
                         logTag("BookmarkDatabase.save()")});
}

void BookmarkDatabase::reset() {
    {
        std::lock_guard lock(m_mutex);
        m_db.clear();
        ++m_generation;
    }
    // Emptied is a change like any other: the save below writes it only when flagged.
    flagModifiedNow();
    emit changed();
    StoreHooks::runLow([this] {
        m_state->clear();
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("All security bookmarks cleared/reset"));
        try {
            save();
        } catch (const std::exception&) {
            TLOG_ERROR(QStringLiteral("Unable to save an empty security bookmarks database") +
                       logTag("BookmarkDatabase.reset()"));
        }
    });
}

bool BookmarkDatabase::removeFile(QString* error) {
    return m_dataFile.remove(error);
}

BookmarkDatabase::Map BookmarkDatabase::obtain(const QList<Location>& locations) {
    // Children run on Qt's global pool, so an engine task that waits for them never
    // starves the engine pool.
    using Result = std::pair<Location, std::optional<SecurityBookmark>>;
    const QList<Result> results =
        QtConcurrent::blockingMapped<QList<Result>>(locations, [this](const Location& location) {
            const std::int64_t number = m_taskCounter.increment();
            if (Debugging::flag())
                TLOG_DEBUG(QStringLiteral("BookmarkTask [ %1 ]").arg(number) +
                           logTag("BookmarkDatabase.obtain(_:)"));
            try {
                return Result{location, SecurityBookmark::create(location)};
            } catch (const std::exception&) {
                return Result{location, std::nullopt};
            }
        });
    Map out;
    for (const Result& result : results) {
        if (!result.second)
            continue;
        out.insert(result.first, *result.second);
        if (!m_state->startAccessing(result.first))
            TLOG_WARNING(QStringLiteral("Unable to escape sandbox for location: ") + result.first.path() +
                         logTag("BookmarkDatabase.obtain(_:)"));
    }
    return out;
}

void BookmarkDatabase::flagModifiedNow() {
    StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, true);
}

void BookmarkDatabase::stash(const QList<Location>& locations) {
    const Map obtained = obtain(locations);
    bool added = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = obtained.cbegin(); it != obtained.cend(); ++it) {
            if (m_db.contains(it.key()))
                continue;
            m_db.insert(it.key(), it.value());
            added = true;
        }
        if (added)
            ++m_generation;
    }
    if (added) {
        emit changed();
        // Flagged before the save below, so the new bookmarks are written now.
        flagModifiedNow();
    }
    try {
        save();
    } catch (const std::exception&) {
        TLOG_ERROR(QStringLiteral("Security bookmarks database could not be saved to disk") +
                   logTag("BookmarkDatabase.stash(_:)"));
    }
}

void BookmarkDatabase::store(const Location& location) {
    const Map obtained = obtain({location});
    if (obtained.isEmpty()) {
        TLOG_ERROR(QStringLiteral("Failed to obtain security bookmark for ") + location.path() +
                   logTag("BookmarkDatabase.store(_:)"));
        return;
    }
    store(location, obtained.value(location));
    flagModifiedNow();
    try {
        save();
    } catch (const std::exception&) {
        TLOG_ERROR(QStringLiteral("Security bookmarks database could not be saved to disk") +
                   logTag("BookmarkDatabase.store(_:)"));
    }
}

void BookmarkDatabase::store(const Location& location, const SecurityBookmark& bookmark) {
    {
        std::lock_guard lock(m_mutex);
        m_db.insert(location, bookmark);
        ++m_generation;
    }
    emit changed();
    m_state->set(location, true);
    markBookmarksModified();
    if (Debugging::flag())
        TLOG_DEBUG(QStringLiteral("Bookmark added to database: ") + location.path() +
                   logTag("BookmarkDatabase.store(location:bookmark:)"));
}

void BookmarkDatabase::sandboxValidate(const Map& data) {
    if (data.isEmpty()) {
        TLOG_INFO(QStringLiteral("No locations provided in sandbox escape request; nothing to do") +
                  logTag("BookmarkDatabase.sandboxValidate(data:)"));
        // Nothing to reopen is still a validated bookmark database: without this, a run
        // whose bookmarks are empty (first launch, a file set aside as unreadable) would
        // never complete start-up, and stored monitored folders would never be watched.
        StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::ready, true);
        return;
    }
    enum class Outcome { Open, Unreadable, Unresolvable, Renewed, StaleUnrenewable };
    using Entry = std::pair<Location, SecurityBookmark>;
    QList<Entry> entries;
    for (auto it = data.cbegin(); it != data.cend(); ++it)
        entries.append({it.key(), it.value()});
    using Result = std::tuple<Location, Outcome, SecurityBookmark>;
    const QList<Result> results =
        QtConcurrent::blockingMapped<QList<Result>>(entries, [this](const Entry& entry) {
            const Location& location = entry.first;
            const std::int64_t number = m_taskCounter.increment();
            if (Debugging::flag())
                TLOG_DEBUG(QStringLiteral("sandboxValidateTask [ %1 ] for ").arg(number) +
                           location.urlText());
            SecurityBookmark::Resolution resolution;
            try {
                resolution = entry.second.resolve();
            } catch (const std::exception&) {
                return Result{location, Outcome::Unresolvable, {}};
            }
            if (!resolution.stale)
                return Result{location, resolution.readable ? Outcome::Open : Outcome::Unreadable, {}};
            try {
                const SecurityBookmark fresh = SecurityBookmark::create(location);
                m_state->startAccessing(location);
                return Result{location, Outcome::Renewed, fresh};
            } catch (const std::exception&) {
                return Result{location, Outcome::StaleUnrenewable, {}};
            }
        });
    for (const auto& [location, outcome, fresh] : results) {
        switch (outcome) {
        case Outcome::Open:
            break;
        case Outcome::Unreadable:
            // Still there, only not readable now (permissions): the bookmark and the
            // record with its digests stay; the file is read again once it may be.
            TLOG_WARNING(QStringLiteral("Location exists but cannot be read; its bookmark is kept: ") +
                         location.path() + logTag("BookmarkDatabase.sandboxValidate(data:)"));
            break;
        case Outcome::Unresolvable: {
            TLOG_WARNING(QStringLiteral("Could not open bookmark for location: ") + location.path() +
                         logTag("BookmarkDatabase.sandboxValidate(data:)"));
            std::lock_guard lock(m_mutex);
            m_stale.append(location);
            break;
        }
        case Outcome::Renewed:
            store(location, fresh);
            break;
        case Outcome::StaleUnrenewable: {
            TLOG_ERROR(QStringLiteral("Security bookmark stale for location: ") + location.path() +
                       logTag("BookmarkDatabase.sandboxValidate(data:)"));
            std::lock_guard lock(m_mutex);
            m_stale.append(location);
            break;
        }
        }
    }
    StoreHooks::runLow([this] {
        try {
            save();
        } catch (const std::exception&) {
        }
    });
    TLOG_INFO(QStringLiteral("Completed sandbox escape for previously registered locations") +
              logTag("BookmarkDatabase.sandboxValidate(data:)"));
    StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::ready, true);
}

std::pair<QList<Location>, QList<Location>> BookmarkDatabase::splitFilesAndFolders() const {
    QList<Location> files;
    QList<Location> folders;
    for (const Location& location : db().keys()) {
        if (FileSystem(location).isDirectory())
            folders.append(location);
        else
            files.append(location);
    }
    return {files, folders};
}

void BookmarkDatabase::markBookmarksModified() {
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
    }
    StoreHooks::runLow(
        [] { StoreHooks::setFlag(StoreHooks::SubSystem::bookmarks, StoreHooks::Flag::save, true); });
}

} // namespace trevalin
