// Database: the content database — one FileObject per tracked file, keyed by location,
// in insertion order — with its property-list file "Trevalin.database.plist" in the
// program's data folder (its form: DatabaseCodec) and the size summary.
//
// Thread-safety: a QObject that lives on the GUI thread but is called from any thread.
// The map, the size figures and the modification generation are guarded by m_mutex;
// each public function takes it for one critical section (records are locked by
// their own mutex, always after m_mutex). Every change of the map (a record appended,
// replaced or given a digest, removed; the whole map loaded or emptied) is reported
// by key through recordsChanged(), in batches (see ChangeBatcher and RecordChanges);
// sizeStringChanged() follows every size computation, outside the lock.
// Loading and saving the file go through m_dataFile (PlistDataFile), which serialises
// the writes. A save encodes a snapshot taken under m_mutex, so nothing reads the map
// while another thread changes it.
#pragma once

#include "model/FileObject.h"
#include "model/Location.h"
#include "model/OrderedMap.h"
#include "model/OrderedSet.h"
#include "store/ChangeBatcher.h"
#include "store/DatabaseCodec.h"
#include "store/DatabaseError.h"
#include "store/PlistDataFile.h"
#include "store/RecordChanges.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <mutex>
#include <optional>

namespace trevalin {

class Database : public QObject {
    Q_OBJECT

public:
    using Map = DatabaseCodec::Map;
    using Snapshot = DatabaseCodec::Snapshot;

    // The shared database on the default file, created on first use.
    static Database& shared();
    // <data folder>/Trevalin.database.plist.
    static QString defaultFile();
    // An empty database on `file`.
    explicit Database(const QString& file = defaultFile(), QObject* parent = nullptr);

    QString file() const { return m_file; }
    double totalBytes() const;
    QString sizeString() const;

    // --- the map -------------------------------------------------------------------
    std::size_t count() const;
    bool isEmpty() const { return count() == 0; }
    bool contains(const Location& location) const;
    // The record under `location`, or null.
    FileObjectPtr record(const Location& location) const;
    // The records under `locations`, in that order (null where there is none), read in
    // one critical section.
    QList<FileObjectPtr> records(const QList<Location>& locations) const;
    std::optional<std::size_t> indexOf(const Location& location) const;
    // Records / keys in map order.
    QList<FileObjectPtr> values() const;
    QList<Location> keys() const;
    // Stores `file` under `location`: replaces the value in place when the key exists,
    // appends otherwise. Returns true when it appended. Does not mark the database
    // modified. A location whose path a property list cannot carry (see
    // isStorable()) is refused: an error is logged and nothing changes (returns false).
    bool set(const Location& location, const FileObjectPtr& file);
    // Whether the location's path can be written to the database file and read back.
    static bool isStorable(const Location& location);

    // --- lifecycle -----------------------------------------------------------------
    // Load, or on failure create the file; then set the ready flag. Never throws.
    void start();
    // Replaces the map from the file. Throws FileSystemException NotReadable when the
    // file is missing; DatabaseException LoadDatabaseError (map unchanged, the file
    // set aside as "<file>.corrupt-<time stamp>") when it cannot be read or decoded.
    // With `setAside` false (a reader that must change nothing) the file stays where it is.
    void load(bool setAside = true);
    // Writes the map to the file atomically and clears the save flag unless the map was
    // modified meanwhile. Throws DatabaseException SaveDatabaseError (flag untouched).
    void save();
    // Empties the map at once and writes the empty file in a low-priority task.
    void reset();
    // Deletes the file (an absent file counts as deleted) and clears the save flag. Saves
    // write nothing until the map changes again, so a save queued earlier (reset()'s) or
    // the one at shutdown does not bring the file back. False with `error` on failure.
    bool removeFile(QString* error = nullptr);
    void calculateSize();

    // --- operations ----------------------------------------------------------------
    // Stores one digest into the record under `location`; a digest added or replaced
    // sets the record's status to Processed.
    void checksumStore(const Location& location, const Checksum& checksum);
    void remove(const OrderedSet<Location>& locations);
    // Removes one record without logging or marking the database modified; returns
    // whether there was one.
    bool removeRecord(const Location& location);
    void removeAsync(const OrderedSet<Location>& locations);
    // All records, or those whose directory equals the folder's path exactly. Throws
    // DatabaseException DumpFilterInvalid when `directory` exists and is not a folder.
    QList<FileObjectPtr> files(const std::optional<Location>& directory = std::nullopt) const;
    void purgeChildren(const QString& folderPath);
    // Bumps the modification generation at once and sets the save flag in a
    // low-priority task; never blocks.
    void markDatabaseModified();

    // --- change reports ------------------------------------------------------------
    // Delivers the changes gathered so far at once (recordsChanged() on this thread).
    void flushChanges();
    // The time from a change to the delivery of its batch (ChangeBatcher's default unless set).
    void setChangeInterval(std::chrono::milliseconds interval);

    // A consistent copy of every entry.
    Snapshot snapshot() const;

signals:
    // The records that changed since the last batch, by key; emitted from the batchers'
    // thread at most once per change interval. A list model applies it as RecordChanges
    // describes, reading the records it names from this database.
    void recordsChanged(const trevalin::RecordChanges& changes);
    void sizeStringChanged(const QString& sizeString);

private:
    const QString m_file;
    mutable std::mutex m_mutex; // guards m_db, m_totalBytes, m_sizeString, m_generation
    Map m_db;
    double m_totalBytes = 0;
    QString m_sizeString;
    std::uint64_t m_generation = 0; // bumped by every change that marks the database modified
    PlistDataFile m_dataFile;       // loads and saves m_file
    // Declared last: destroyed (its delivery thread joined) before everything it reports on.
    ChangeBatcher m_changes;
};

} // namespace trevalin
