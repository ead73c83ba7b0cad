// Helpers shared by the store tests (besides the model tests' ones): record comparison,
// hand-written property-list documents, and a builder of records.
#pragma once

#include "model/FileObject.h"
#include "model/ModelTestSupport.h"

#include <bit>
#include <optional>
#include <utility>

namespace trevalin::test {

// Whether two records hold the same data, field by field (times bit for bit: -0.0 is not 0.0).
inline bool sameData(const FileObjectData& x, const FileObjectData& y) {
    const auto bits = [](double d) { return std::bit_cast<quint64>(d); };
    return x.identifier == y.identifier && x.location == y.location && x.path == y.path &&
           x.directory == y.directory && x.prefix == y.prefix && x.suffix == y.suffix && x.name == y.name &&
           x.bytes == y.bytes && bits(x.created) == bits(y.created) && bits(x.modified) == bits(y.modified) &&
           x.status == y.status && x.checksums == y.checksums && x.bookmarked == y.bookmarked;
}

// The error code `f` throws as an `E`; empty when it returns normally (any other
// exception passes through and fails the test).
template <typename E, typename F>
auto errorThrown(F&& f) -> std::optional<decltype(std::declval<const E&>().error())> {
    try {
        f();
    } catch (const E& error) {
        return error.error();
    }
    return std::nullopt;
}

// A complete XML property-list document around `root`.
inline QByteArray plistDocument(const QByteArray& root) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + root + "</plist>\n";
}

// A content database document holding the raw `entries` (URL and record, in turns).
inline QByteArray dbDocument(const QByteArray& entries) {
    return plistDocument("<dict><key>db</key><array>" + entries + "</array></dict>");
}

// A URL dictionary as the databases write it, for the text of a file URL.
inline QByteArray urlXml(const QByteArray& relative) {
    return "<dict><key>relative</key><string>" + relative + "</string></dict>";
}

// A record dictionary with the given URL text and path; `extra` entries come last, so a
// key repeated there gives the record its value.
inline QByteArray recordXml(const QByteArray& relative, const QByteArray& path,
                            const QByteArray& extra = {}) {
    return "<dict><key>identifier</key><string>0F2B6C1E-3D4A-4B5C-8D9E-0A1B2C3D4E5F</string>"
           "<key>location</key>" +
           urlXml(relative) + "<key>path</key><string>" + path +
           "</string><key>directory</key><string>/data</string><key>prefix</key><string>a</string>"
           "<key>suffix</key><string>txt</string><key>name</key><string>a.txt</string>"
           "<key>bytes</key><integer>12</integer><key>created</key><real>1.5</real>"
           "<key>modified</key><real>2.5</real><key>status</key><string>Processed</string>"
           "<key>checksums</key><array><dict><key>algorithm</key><string>SHA1</string><key>value</key>"
           "<string>abc</string><key>id</key><string>00000000-0000-0000-0000-000000000000</string></dict>"
           "</array><key>bookmarked</key><false/>" +
           extra + "</dict>";
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
