#include "model/FileSystem.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trevalin {

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

double toSeconds(const struct statx_timestamp& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

bool FileSystem::exists() const {
    if (m_location.isEmpty())
        return false;
    struct stat st;
    return ::stat(native(path()).constData(), &st) == 0;
}

bool FileSystem::isReadable() const {
    return !m_location.isEmpty() && ::access(native(path()).constData(), R_OK) == 0;
}

bool FileSystem::isWritable() const {
    return !m_location.isEmpty() && ::access(native(path()).constData(), W_OK) == 0;
}

namespace {

FileAttributes fromStatx(const struct statx& sx) {
    FileAttributes attributes;
    if (S_ISREG(sx.stx_mode))
        attributes.type = FileAttributes::Type::Regular;
    else if (S_ISDIR(sx.stx_mode))
        attributes.type = FileAttributes::Type::Directory;
    if (sx.stx_mask & STATX_SIZE)
        attributes.size = sx.stx_size;
    if (sx.stx_mask & STATX_BTIME)
        attributes.created = toSeconds(sx.stx_btime);
    if (sx.stx_mask & STATX_MTIME)
        attributes.modified = toSeconds(sx.stx_mtime);
    attributes.device = (static_cast<quint64>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    attributes.inode = sx.stx_ino;
    return attributes;
}

// statx of `path` (links followed); 0 or the errno.
int statxOf(const QString& path, struct statx* sx) {
    std::memset(sx, 0, sizeof *sx);
    if (::statx(AT_FDCWD, native(path).constData(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME,
                sx) != 0)
        return errno;
    return 0;
}

} // namespace

FileAttributes FileSystem::attributes() const {
    // One statx serves as the existence check too: whatever keeps it from answering
    // (nothing there, a dangling link, a path that cannot be searched) means not found.
    struct statx sx;
    if (m_location.isEmpty() || statxOf(path(), &sx) != 0)
        throw FileSystemException(FileSystemError::NotFound, path());
    if (!isReadable())
        throw FileSystemException(FileSystemError::NotReadable, path());
    return fromStatx(sx);
}

FileAttributes FileSystem::metadata() const {
    if (m_location.isEmpty())
        throw FileSystemException(FileSystemError::NotFound, path());
    struct statx sx;
    if (const int error = statxOf(path(), &sx))
        throw FileSystemException::fromErrno(error, path());
    return fromStatx(sx);
}

std::optional<double> FileSystem::creationDate() const {
    return attributes().created;
}

std::optional<double> FileSystem::modificationDate() const {
    return attributes().modified;
}

quint64 FileSystem::size() const {
    return attributes().size;
}

bool FileSystem::isDirectory() const {
    struct stat st;
    return !m_location.isEmpty() && ::stat(native(path()).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileSystem::isRegularFile() const {
    struct stat st;
    return !m_location.isEmpty() && ::stat(native(path()).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QList<Location> FileSystem::directoryContents() const {
    DIR* dir = ::opendir(native(path()).constData());
    if (dir == nullptr)
        throw FileSystemException::fromErrno(errno, path());
    const int dirFd = ::dirfd(dir);
    QList<QString> names;
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            directory = ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        if (!directory)
            names.append(QFile::decodeName(entry->d_name));
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0)
        throw FileSystemException::fromErrno(readError, path());
    std::sort(names.begin(), names.end());
    QList<Location> result;
    result.reserve(names.size());
    for (const QString& name : names)
        result.append(m_location.child(name));
    return result;
}

void FileSystem::remove() const {
    if (m_location.isEmpty())
        return;
    const QByteArray name = native(path());
    struct stat st;
    if (::lstat(name.constData(), &st) != 0)
        return; // nothing there: nothing to remove
    if (::faccessat(AT_FDCWD, name.constData(), W_OK, AT_SYMLINK_NOFOLLOW) != 0 &&
        ::access(name.constData(), W_OK) != 0)
        throw FileSystemException(FileSystemError::NotPermitted, path());
    bool removed = false;
    QString failure;
    if (S_ISDIR(st.st_mode)) {
        removed = QDir(path()).removeRecursively();
        if (!removed)
            failure = QStringLiteral("could not remove the folder ") + path();
    } else {
        removed = ::unlink(name.constData()) == 0;
        if (!removed)
            failure = QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(": ") + path();
    }
    if (!removed) {
        std::fputs(failure.toLocal8Bit().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

} // namespace trevalin
