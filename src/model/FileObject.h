// FileObject: the record kept for one tracked file. One shared instance per tracked
// file (FileObjectPtr): the content database, queued jobs and views hold the same object.
//
// Thread-safety: location, path, directory, prefix, suffix and name never change after
// construction and are read without locking. The mutable fields (identifier, bytes,
// created, modified, status, checksums, bookmarked) are guarded by the object's own
// mutex (m_mutex); every accessor is one critical section, and snapshot() reads all
// thirteen fields consistently. Equality (==) is metadata equality (path, bytes,
// created, modified; a NaN never matches); hashing (qHash / std::hash of the pointer)
// is object identity, so sets distinguish records by identity.
#pragma once

#include "model/Checksum.h"
#include "model/FileState.h"
#include "model/FileSystemError.h"
#include "model/Location.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

#include <memory>
#include <mutex>
#include <optional>

namespace trevalin {

class FileObject;
using FileObjectPtr = std::shared_ptr<FileObject>;

// All thirteen fields of a record, in coding order. The plain-value form used to
// decode and encode a record and to read it consistently.
struct FileObjectData {
    QUuid identifier;
    Location location;
    QString path;
    QString directory;
    QString prefix;
    QString suffix;
    QString name;
    quint64 bytes = 0;
    double created = 0;
    double modified = 0;
    FileState status = FileState::Pending;
    QList<Checksum> checksums;
    bool bookmarked = false;
};

class FileObject {
    struct Private {};

public:
    // Builds a record from the file on disk. Order of checks: existence (warning "File
    // not found prevented instantiation [ FileObject: <path> ]", NotFound), readability
    // (warning "File permissions prevented instantiation [ FileObject: <path> ]",
    // NotReadable), kind: anything but a regular file after following links — folder,
    // FIFO, socket, device — (error "Specified location is not a file [ FileObject:
    // <path> ]", NotFile; the file is never opened). An attribute query that fails after
    // the checks throws without logging. Status Pending, no checksums, a new identifier.
    static FileObjectPtr create(const Location& location, bool bookmarked);
    // A record from decoded values; all fields taken as given (the stored identifier is kept).
    static FileObjectPtr fromData(const FileObjectData& data);

    // The prefix for a name and its suffix: the name up to the first occurrence of
    // "." + suffix ("report.pdf" -> "report", "archive.tar.gz" -> "archive.tar",
    // "Makefile" -> "Makefile", "release1.2" -> "release1", ".bashrc" -> "").
    static QString prefixFor(const QString& name, const QString& suffix);

    FileObject(Private, const FileObjectData& data);
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    // Immutable fields.
    const Location& location() const { return m_location; }
    const QString& path() const { return m_path; }
    const QString& directory() const { return m_directory; }
    const QString& prefix() const { return m_prefix; }
    const QString& suffix() const { return m_suffix; }
    const QString& name() const { return m_name; }

    // Mutable fields, each read or written under m_mutex.
    QUuid identifier() const;
    void setIdentifier(const QUuid& identifier);
    quint64 bytes() const;
    void setBytes(quint64 bytes);
    double created() const;
    void setCreated(double created);
    double modified() const;
    void setModified(double modified);
    FileState status() const;
    void setStatus(FileState status);
    QList<Checksum> checksums() const;
    void setChecksums(const QList<Checksum>& checksums);
    bool bookmarked() const;
    void setBookmarked(bool bookmarked);

    // The first stored checksum of that algorithm, if any.
    std::optional<Checksum> checksum(Digest algorithm) const;
    enum class StoreResult { Unchanged, Replaced, Added };
    // Stores a checksum in one critical section: an entry of the same algorithm with the
    // same value -> Unchanged (nothing changes); with a different value -> Replaced in
    // place; none -> Added at the end. Does not touch status.
    StoreResult storeChecksum(const Checksum& checksum);

    // All thirteen fields, read consistently.
    FileObjectData snapshot() const;

    // Metadata equality: path, bytes, created, modified (NaN never equal).
    bool metadataEquals(const FileObject& other) const;
    friend bool operator==(const FileObject& a, const FileObject& b) { return a.metadataEquals(b); }

    // One CSV line without terminator: the path, then the values of MD5, SHA1, SHA256,
    // SHA384 and SHA512 in that order (empty when absent): always six fields. A path
    // holding a comma, a double quote, CR or LF is wrapped in double quotes with inner
    // quotes doubled; any other path is written unchanged.
    QString csvRow() const;
    // The CSV form of one field as csvRow() writes the path.
    static QString csvField(const QString& text);

private:
    const Location m_location;
    const QString m_path;
    const QString m_directory;
    const QString m_prefix;
    const QString m_suffix;
    const QString m_name;

    mutable std::mutex m_mutex; // guards every field below
    QUuid m_identifier;
    quint64 m_bytes = 0;
    double m_created = 0;
    double m_modified = 0;
    FileState m_status = FileState::Pending;
    QList<Checksum> m_checksums;
    bool m_bookmarked = false;
};

// Metadata equality of two records; false when either is null.
bool sameMetadata(const FileObjectPtr& a, const FileObjectPtr& b);

// Identity hash of a record (its address).
inline size_t qHash(const FileObjectPtr& file, size_t seed = 0) noexcept {
    return ::qHash(reinterpret_cast<quintptr>(file.get()), seed);
}

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::FileObjectPtr)
