#include "store/SecurityBookmark.h"

#include "logging/Logger.h"
#include "model/FileSystem.h"
#include "store/BookmarkError.h"
#include "store/Debugging.h"

#include <QDataStream>
#include <QFile>

namespace trevalin {

namespace {

constexpr char kMagic[4] = {'T', 'V', 'B', 'M'};
constexpr quint8 kVersion = 1;

} // namespace

QByteArray SecurityBookmark::makeToken(const QString& path, quint64 device, quint64 inode) {
    QByteArray token;
    QDataStream out(&token, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out.writeRawData(kMagic, 4);
    out << kVersion << device << inode;
    const QByteArray native = QFile::encodeName(path);
    out << quint32(native.size());
    out.writeRawData(native.constData(), int(native.size()));
    return token;
}

SecurityBookmark SecurityBookmark::create(const Location& location) {
    const QString tag = QStringLiteral(" [ SecurityBookmark.init(location:) ]");
    const QUuid identifier = QUuid::createUuid();
    const FileSystem fs(location);
    if (!fs.exists()) {
        if (Debugging::flag())
            TLOG_DEBUG(QStringLiteral("File not found: ") + location.path() + tag);
        throw FileSystemException(FileSystemError::NotFound, location.path());
    }
    try {
        // The bookmark records which file the user chose, not its contents: a file the
        // program may not read (yet) is bookmarked all the same.
        const FileAttributes attributes = fs.metadata();
        SecurityBookmark bookmark(identifier,
                                  makeToken(location.path(), attributes.device, attributes.inode));
        if (Debugging::flag())
            TLOG_DEBUG(location.path() + QStringLiteral(" bookmarked") + tag);
        return bookmark;
    } catch (const FileSystemException& error) {
        if (Debugging::flag()) {
            TLOG_DEBUG(QStringLiteral("Error creating bookmark for: ") + location.path() + tag);
            TLOG_DEBUG(error.description());
        }
        throw BookmarkException(BookmarkError::GetBookmarkError);
    }
}

SecurityBookmark::Resolution SecurityBookmark::resolve(const QByteArray& token) {
    QDataStream in(token);
    in.setByteOrder(QDataStream::BigEndian);
    char magic[4] = {};
    quint8 version = 0;
    quint64 device = 0;
    quint64 inode = 0;
    quint32 length = 0;
    if (in.readRawData(magic, 4) != 4 || memcmp(magic, kMagic, 4) != 0)
        throw BookmarkException(BookmarkError::GetBookmarkError);
    in >> version >> device >> inode >> length;
    if (in.status() != QDataStream::Ok || version != kVersion || length > quint32(token.size()))
        throw BookmarkException(BookmarkError::GetBookmarkError);
    QByteArray native(qsizetype(length), Qt::Uninitialized);
    if (in.readRawData(native.data(), int(length)) != int(length) || !in.atEnd())
        throw BookmarkException(BookmarkError::GetBookmarkError);

    Resolution resolution;
    resolution.location = Location(QFile::decodeName(native));
    if (resolution.location.isEmpty())
        throw BookmarkException(BookmarkError::GetBookmarkError);
    const FileSystem fs(resolution.location);
    FileAttributes attributes;
    try {
        attributes = fs.metadata();
    } catch (const FileSystemException& error) {
        // Only a path that is gone fails to resolve. Anything else (a folder on the way
        // that may not be searched, an I/O error) says nothing about the file: it is kept,
        // unreadable for now.
        if (error.error() == FileSystemError::NotFound || error.error() == FileSystemError::NotDirectory)
            throw FileSystemException(FileSystemError::NotFound, resolution.location.path());
        resolution.readable = false;
        return resolution;
    }
    resolution.stale = attributes.device != device || attributes.inode != inode;
    resolution.readable = fs.isReadable();
    return resolution;
}

} // namespace trevalin
