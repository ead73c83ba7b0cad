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
        const FileAttributes attributes = fs.attributes();
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
    if (!fs.exists())
        throw FileSystemException(FileSystemError::NotFound, resolution.location.path());
    const FileAttributes attributes = fs.attributes();
    resolution.stale = attributes.device != device || attributes.inode != inode;
    return resolution;
}

} // namespace trevalin
