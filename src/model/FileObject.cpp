#include "model/FileObject.h"

#include "logging/Logger.h"
#include "model/FileSystem.h"

namespace trevalin {

namespace {

QString tagged(const QString& text, const QString& path) {
    return text + QStringLiteral(" [ FileObject: ") + path + QStringLiteral(" ]");
}

} // namespace

QString FileObject::prefixFor(const QString& name, const QString& suffix) {
    const QString separator = u'.' + suffix;
    const qsizetype at = name.indexOf(separator);
    return at < 0 ? name : name.left(at);
}

FileObjectPtr FileObject::create(const Location& location, bool bookmarked) {
    const QString& path = location.path();
    FileAttributes attributes;
    try {
        attributes = FileSystem(location).attributes();
    } catch (const FileSystemException& error) {
        if (error.error() == FileSystemError::NotFound)
            TLOG_WARNING(tagged(QStringLiteral("File not found prevented instantiation"), path));
        else if (error.error() == FileSystemError::NotReadable)
            TLOG_WARNING(tagged(QStringLiteral("File permissions prevented instantiation"), path));
        throw;
    }
    // Only regular files become records: a folder, FIFO, socket or device is refused
    // here and never opened, so nothing downstream can block on it.
    if (attributes.type != FileAttributes::Type::Regular) {
        TLOG_ERROR(tagged(QStringLiteral("Specified location is not a file"), path));
        throw FileSystemException(FileSystemError::NotFile, path);
    }

    FileObjectData data;
    data.identifier = QUuid::createUuid();
    data.location = location;
    data.path = path;
    data.directory = location.directory();
    data.suffix = location.suffix();
    data.name = location.fileName();
    data.prefix = prefixFor(data.name, data.suffix);
    data.bytes = attributes.size;
    data.created = attributes.created.value_or(0.0);
    data.modified = attributes.modified.value_or(0.0);
    data.status = FileState::Pending;
    data.bookmarked = bookmarked;
    return std::make_shared<FileObject>(Private{}, data);
}

FileObjectPtr FileObject::fromData(const FileObjectData& data) {
    return std::make_shared<FileObject>(Private{}, data);
}

FileObject::FileObject(Private, const FileObjectData& data)
    : m_location(data.location)
    , m_path(data.path)
    , m_directory(data.directory)
    , m_prefix(data.prefix)
    , m_suffix(data.suffix)
    , m_name(data.name)
    , m_identifier(data.identifier)
    , m_bytes(data.bytes)
    , m_created(data.created)
    , m_modified(data.modified)
    , m_status(data.status)
    , m_checksums(data.checksums)
    , m_bookmarked(data.bookmarked) {}

QUuid FileObject::identifier() const {
    std::lock_guard lock(m_mutex);
    return m_identifier;
}

void FileObject::setIdentifier(const QUuid& identifier) {
    std::lock_guard lock(m_mutex);
    m_identifier = identifier;
}

quint64 FileObject::bytes() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

void FileObject::setBytes(quint64 bytes) {
    std::lock_guard lock(m_mutex);
    m_bytes = bytes;
}

double FileObject::created() const {
    std::lock_guard lock(m_mutex);
    return m_created;
}

void FileObject::setCreated(double created) {
    std::lock_guard lock(m_mutex);
    m_created = created;
}

double FileObject::modified() const {
    std::lock_guard lock(m_mutex);
    return m_modified;
}

void FileObject::setModified(double modified) {
    std::lock_guard lock(m_mutex);
    m_modified = modified;
}

FileState FileObject::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

void FileObject::setStatus(FileState status) {
    std::lock_guard lock(m_mutex);
    m_status = status;
}

QList<Checksum> FileObject::checksums() const {
    std::lock_guard lock(m_mutex);
    return m_checksums;
}

void FileObject::setChecksums(const QList<Checksum>& checksums) {
    std::lock_guard lock(m_mutex);
    m_checksums = checksums;
}

bool FileObject::bookmarked() const {
    std::lock_guard lock(m_mutex);
    return m_bookmarked;
}

void FileObject::setBookmarked(bool bookmarked) {
    std::lock_guard lock(m_mutex);
    m_bookmarked = bookmarked;
}

std::optional<Checksum> FileObject::checksum(Digest algorithm) const {
    std::lock_guard lock(m_mutex);
    for (const Checksum& checksum : m_checksums) {
        if (checksum.algorithm == algorithm)
            return checksum;
    }
    return std::nullopt;
}

FileObject::StoreResult FileObject::storeChecksum(const Checksum& checksum) {
    std::lock_guard lock(m_mutex);
    for (Checksum& stored : m_checksums) {
        if (stored.algorithm != checksum.algorithm)
            continue;
        if (stored.value == checksum.value)
            return StoreResult::Unchanged;
        stored = checksum;
        return StoreResult::Replaced;
    }
    m_checksums.append(checksum);
    return StoreResult::Added;
}

FileObjectData FileObject::snapshot() const {
    FileObjectData data;
    data.location = m_location;
    data.path = m_path;
    data.directory = m_directory;
    data.prefix = m_prefix;
    data.suffix = m_suffix;
    data.name = m_name;
    std::lock_guard lock(m_mutex);
    data.identifier = m_identifier;
    data.bytes = m_bytes;
    data.created = m_created;
    data.modified = m_modified;
    data.status = m_status;
    data.checksums = m_checksums;
    data.bookmarked = m_bookmarked;
    return data;
}

bool FileObject::metadataEquals(const FileObject& other) const {
    if (m_path != other.m_path)
        return false;
    quint64 bytes = 0, otherBytes = 0;
    double created = 0, otherCreated = 0, modified = 0, otherModified = 0;
    {
        std::lock_guard lock(m_mutex);
        bytes = m_bytes;
        created = m_created;
        modified = m_modified;
    }
    if (&other == this) {
        otherBytes = bytes;
        otherCreated = created;
        otherModified = modified;
    } else {
        std::lock_guard lock(other.m_mutex);
        otherBytes = other.m_bytes;
        otherCreated = other.m_created;
        otherModified = other.m_modified;
    }
    // Numeric comparison: a NaN never equals anything, itself included.
    return bytes == otherBytes && created == otherCreated && modified == otherModified;
}

QString FileObject::csvField(const QString& text) {
    const bool needsQuotes =
        text.contains(u',') || text.contains(u'"') || text.contains(u'\r') || text.contains(u'\n');
    if (!needsQuotes)
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString FileObject::csvRow() const {
    const QList<Checksum> stored = checksums();
    QString digests;
    for (Digest algorithm : kAllDigests) {
        for (const Checksum& checksum : stored) {
            if (checksum.algorithm == algorithm) {
                digests += checksum.value;
                break;
            }
        }
        digests += u',';
    }
    digests.chop(1);
    return csvField(m_path) + u',' + digests;
}

bool sameMetadata(const FileObjectPtr& a, const FileObjectPtr& b) {
    return a && b && a->metadataEquals(*b);
}

} // namespace trevalin
