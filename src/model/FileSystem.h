// FileSystem: file-system queries bound to one location, made fresh for each query.
// All queries follow symbolic links (a link is judged by what it points to), except
// remove(), which removes the link itself. Stateless apart from the location; safe
// from any thread.
#pragma once

#include "model/FileSystemError.h"
#include "model/Location.h"

#include <QList>

#include <cstdint>
#include <optional>

namespace trevalin {

// The metadata of one file-system entry (after following links).
struct FileAttributes {
    enum class Type { Regular, Directory, Other };
    Type type = Type::Other;
    quint64 size = 0;
    // Birth time, seconds since 1970-01-01 UTC; absent when the file system does not record it.
    std::optional<double> created;
    // Modification time with its nanoseconds, seconds since 1970-01-01 UTC.
    std::optional<double> modified;
    quint64 device = 0;
    quint64 inode = 0;
};

class FileSystem {
public:
    explicit FileSystem(const Location& location)
        : m_location(location) {}

    const Location& url() const { return m_location; }
    const QString& path() const { return m_location.path(); }

    // Something exists at the path (a dangling link counts as missing).
    bool exists() const;
    // The process may read the path (access(2) R_OK).
    bool isReadable() const;
    // The process may write the path (access(2) W_OK).
    bool isWritable() const;

    // Throws FileSystemException: NotFound when nothing exists (or the system cannot say
    // what is there), NotReadable when not readable.
    FileAttributes attributes() const;
    // The same metadata without asking whether the process may read the entry: what
    // identifies a location that exists but is unreadable. Throws the system's error
    // (fromErrno): NotFound or NotDirectory when nothing is at the path, NotReadable when
    // a folder on the way cannot be searched.
    FileAttributes metadata() const;
    // As attributes(); absent when the file system does not record the date.
    std::optional<double> creationDate() const;
    std::optional<double> modificationDate() const;
    // As attributes(); the size in bytes.
    quint64 size() const;

    // A directory (links followed); false when the query fails.
    bool isDirectory() const;
    // A regular file (links followed); false when the query fails.
    bool isRegularFile() const;

    // The entries directly inside this folder: hidden entries (names starting with ".")
    // are skipped, and so is every entry that is a directory (links followed); what
    // remains (regular files, links to files, and other non-directories) is returned
    // sorted by name. A listing failure throws the system's error (fromErrno).
    QList<Location> directoryContents() const;

    // Removes the item (a folder with its contents; a link, not its target). Nothing at
    // the path: nothing to do, no error. Not writable: throws NotPermitted. A failure of
    // the removal itself is printed to standard output and not passed on.
    void remove() const;

private:
    Location m_location;
};

} // namespace trevalin
