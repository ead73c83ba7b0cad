// BookmarkDatabase: one security bookmark per user-chosen location, persisted in
// "Trevalin.bookmarks.plist" in the program's data folder; reopens them at start-up
// and collects the ones that can no longer be reopened in staleBookmarks for the
// clean-up.
//
// Thread-safety: a QObject called from any thread. The map, the stale list and the
// modification generation are guarded by m_mutex; each public function takes it for
// one critical section and never holds it while creating or resolving bookmarks or
// writing the file. Loading and saving the file go through m_dataFile (PlistDataFile),
// which serialises the writes. changed() is emitted after every change of the map,
// outside the lock.
#pragma once

#include "model/Location.h"
#include "model/OrderedSet.h"
#include "model/ThreadSafeCounter.h"
#include "store/PlistDataFile.h"
#include "store/SecurityBookmark.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <mutex>
#include <utility>

class QIODevice;

namespace trevalin {

class PlistReader;

class LocationState;

class BookmarkDatabase : public QObject {
    Q_OBJECT

public:
    using Map = QHash<Location, SecurityBookmark>;

    static BookmarkDatabase& shared();
    // <data folder>/Trevalin.bookmarks.plist.
    static QString defaultFile();
    explicit BookmarkDatabase(const QString& file = defaultFile(), LocationState* state = nullptr,
                              QObject* parent = nullptr);

    QString file() const { return m_file; }
    LocationState& locationState() const { return *m_state; }

    Map db() const;
    int count() const;
    bool contains(const Location& location) const;
    OrderedSet<Location> staleBookmarks() const;
    void clearStaleBookmarks();
    // Drops the bookmark of `location`; returns whether there was one.
    bool removeBookmark(const Location& location);

    // Load, falling back to save; never throws. The ready flag is set by sandboxValidate().
    void start();
    // Replaces the map from the file. Throws FileSystemException NotReadable when the
    // file is missing; BookmarkException LoadBookmarkError (map unchanged, the file
    // set aside as "<file>.corrupt-<time stamp>") when it cannot be read or decoded.
    // With `setAside` false (a reader that must change nothing) the file stays where it is.
    void load(bool setAside = true);
    // Writes the file only when the bookmarks' save flag is set; clears the flag unless
    // the map changed meanwhile. Throws BookmarkException SaveBookmarkError (flag kept).
    void save();
    // Empties the map at once and flags it modified; clears the location state and saves
    // (the file then holds no bookmarks) in a low-priority task.
    void reset();
    // Deletes the file (an absent file counts as deleted) and clears the save flag. Saves
    // write nothing until the map changes again, so the save at shutdown does not bring
    // the file back. False with `error` on failure.
    bool removeFile(QString* error = nullptr);

    // Creates bookmarks for `locations` concurrently and opens access to each one made;
    // returns those that succeeded.
    Map obtain(const QList<Location>& locations);
    // obtain(), merge (existing bookmarks are kept), save.
    void stash(const QList<Location>& locations);
    // obtain() for one location, store it, save.
    void store(const Location& location);
    // Records one bookmark, opens access, marks the database modified.
    void store(const Location& location, const SecurityBookmark& bookmark);
    // Reopens every bookmark of `data`; unresolvable ones and stale ones that cannot be
    // renewed go to staleBookmarks; then sets the bookmarks' ready flag (also when
    // `data` is empty).
    void sandboxValidate(const Map& data);
    // The bookmarked locations split into (files, folders).
    std::pair<QList<Location>, QList<Location>> splitFilesAndFolders() const;
    // Sets the save flag in a low-priority task; never blocks.
    void markBookmarksModified();

    static void encode(class PlistWriter& writer,
                       const QList<std::pair<Location, SecurityBookmark>>& entries);
    // Throws PlistError with the reason.
    static Map decode(const QByteArray& document);
    static Map decode(QIODevice* device);
    static Map decode(PlistReader& reader);

signals:
    void changed();

private:
    void flagModifiedNow();

    const QString m_file;
    LocationState* const m_state;
    ThreadSafeCounter m_taskCounter;
    mutable std::mutex m_mutex; // guards m_db, m_stale, m_generation
    Map m_db;
    OrderedSet<Location> m_stale;
    std::uint64_t m_generation = 0; // bumped by every change of m_db
    PlistDataFile m_dataFile;       // loads and saves m_file
};

} // namespace trevalin
