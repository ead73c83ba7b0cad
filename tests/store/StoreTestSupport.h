// Helpers shared by the store tests (besides the model tests' ones): a bit-exact
// comparison of doubles, a property-list wrapper and a builder of records.
#pragma once

#include "model/FileObject.h"
#include "model/ModelTestSupport.h"

#include <cstring>

namespace trevalin::test {

// True when both doubles have the same bit pattern (tells -0.0 from 0.0, keeps NaN payloads).
inline bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Whether two records hold the same data, field by field (times bit for bit).
inline bool sameData(const FileObjectData& x, const FileObjectData& y) {
    return x.identifier == y.identifier && x.location == y.location && x.path == y.path &&
           x.directory == y.directory && x.prefix == y.prefix && x.suffix == y.suffix && x.name == y.name &&
           x.bytes == y.bytes && sameBits(x.created, y.created) && sameBits(x.modified, y.modified) &&
           x.status == y.status && x.checksums == y.checksums && x.bookmarked == y.bookmarked;
}

// A complete XML property-list document around `root`.
inline QByteArray plistDocument(const QByteArray& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + root + "</plist>\n";
}

// A record for `path` with the given size and checksums, without touching the disk.
inline FileObjectPtr makeRecord(const QString& path, quint64 bytes = 0, QList<Checksum> checksums = {}) {
    const Location location(path);
    FileObjectData d;
    d.identifier = QUuid::createUuid();
    d.location = location;
    d.path = location.path();
    d.directory = location.directory();
    d.name = location.fileName();
    d.suffix = location.suffix();
    d.prefix = FileObject::prefixFor(d.name, d.suffix);
    d.bytes = bytes;
    d.created = 1700000000.123456789;
    d.modified = 1700000123.987654321;
    d.status = FileState::Processed;
    d.checksums = checksums;
    d.bookmarked = false;
    return FileObject::fromData(d);
}

} // namespace trevalin::test
