#include "store/DatabaseCodec.h"

#include "store/DatabaseReader.h"
#include "store/LocationCoding.h"
#include "store/PlistError.h"
#include "store/PlistReader.h"
#include "store/PlistWriter.h"

#include <QIODevice>

#include <optional>

namespace trevalin {

namespace {

// The thirteen coding keys of a record, in coding order.
const char* const kKeys[] = {"identifier", "location",  "path",      "directory", "prefix",
                             "suffix",     "name",      "bytes",     "created",   "modified",
                             "status",     "checksums", "bookmarked"};
constexpr int kKeyCount = 13;

int keyIndex(const QString& key) {
    for (int i = 0; i < kKeyCount; ++i)
        if (key == QLatin1StringView(kKeys[i]))
            return i;
    return -1;
}

void encodeChecksum(PlistWriter& w, const Checksum& checksum) {
    w.beginDict();
    w.key(QLatin1StringView("algorithm"));
    w.string(toString(checksum.algorithm));
    w.key(QLatin1StringView("value"));
    w.string(checksum.value);
    w.key(QLatin1StringView("id"));
    LocationCoding::writeUuid(w, checksum.id);
    w.endDict();
}

// `urlText` is the location's URL text (the caller has it already for the map key).
void encodeRecord(PlistWriter& w, const FileObjectData& d, const QString& urlText) {
    w.beginDict();
    w.key(QLatin1StringView("identifier"));
    LocationCoding::writeUuid(w, d.identifier);
    w.key(QLatin1StringView("location"));
    LocationCoding::encodeUrlText(w, urlText);
    w.key(QLatin1StringView("path"));
    w.string(d.path);
    w.key(QLatin1StringView("directory"));
    w.string(d.directory);
    w.key(QLatin1StringView("prefix"));
    w.string(d.prefix);
    w.key(QLatin1StringView("suffix"));
    w.string(d.suffix);
    w.key(QLatin1StringView("name"));
    w.string(d.name);
    w.key(QLatin1StringView("bytes"));
    w.integer(quint64(d.bytes));
    w.key(QLatin1StringView("created"));
    w.real(d.created);
    w.key(QLatin1StringView("modified"));
    w.real(d.modified);
    w.key(QLatin1StringView("status"));
    w.string(toString(d.status));
    w.key(QLatin1StringView("checksums"));
    w.beginArray();
    for (const Checksum& checksum : d.checksums)
        encodeChecksum(w, checksum);
    w.endArray();
    w.key(QLatin1StringView("bookmarked"));
    w.boolean(d.bookmarked);
    w.endDict();
}

Checksum decodeChecksum(PlistReader& r) {
    if (r.peekType() != PlistReader::Type::Dict)
        r.fail(QStringLiteral("Expected to decode a Checksum dictionary but found %1 instead")
                   .arg(r.peekName()));
    r.beginDict();
    Checksum checksum;
    int seen = 0;
    QString key;
    while (r.nextKey(key)) {
        if (key == QLatin1StringView("algorithm")) {
            const QString text = r.readString();
            const auto digest = digestFromString(text);
            if (!digest)
                r.fail(QStringLiteral("Cannot initialize Digest from invalid String value ") + text);
            checksum.algorithm = *digest;
            seen |= 1;
        } else if (key == QLatin1StringView("value")) {
            checksum.value = r.readString();
            seen |= 2;
        } else if (key == QLatin1StringView("id")) {
            checksum.id = LocationCoding::uuidFromText(r, r.readString());
            seen |= 4;
        } else {
            r.skipValue();
        }
    }
    static const char* const names[] = {"algorithm", "value", "id"};
    for (int i = 0; i < 3; ++i)
        if (!(seen & (1 << i)))
            r.fail(QStringLiteral("No value associated with key \"%1\"").arg(QLatin1StringView(names[i])));
    return checksum;
}

FileObjectPtr decodeRecord(PlistReader& r) {
    if (r.peekType() != PlistReader::Type::Dict)
        r.fail(QStringLiteral("Expected to decode a FileObject dictionary but found %1 instead")
                   .arg(r.peekName()));
    r.beginDict();
    FileObjectData d;
    int seen = 0;
    QString key;
    while (r.nextKey(key)) {
        const int index = keyIndex(key);
        switch (index) {
        case 0:
            d.identifier = LocationCoding::uuidFromText(r, r.readString());
            break;
        case 1:
            d.location = LocationCoding::decode(r);
            break;
        case 2:
            d.path = r.readString();
            break;
        case 3:
            d.directory = r.readString();
            break;
        case 4:
            d.prefix = r.readString();
            break;
        case 5:
            d.suffix = r.readString();
            break;
        case 6:
            d.name = r.readString();
            break;
        case 7:
            d.bytes = r.readUnsigned();
            break;
        case 8:
            d.created = r.readReal();
            break;
        case 9:
            d.modified = r.readReal();
            break;
        case 10: {
            const QString text = r.readString();
            const auto state = fileStateFromString(text);
            if (!state)
                r.fail(QStringLiteral("Cannot initialize FileState from invalid String value ") + text);
            d.status = *state;
            break;
        }
        case 11:
            if (r.peekType() != PlistReader::Type::Array)
                r.fail(QStringLiteral("Expected to decode an array of checksums but found %1 instead")
                           .arg(r.peekName()));
            r.beginArray();
            while (r.hasNext())
                d.checksums.append(decodeChecksum(r));
            break;
        case 12:
            d.bookmarked = r.readBoolean();
            break;
        default:
            r.skipValue();
            continue;
        }
        seen |= 1 << index;
    }
    for (int i = 0; i < kKeyCount; ++i)
        if (!(seen & (1 << i)))
            r.fail(QStringLiteral("No value associated with key \"%1\"").arg(QLatin1StringView(kKeys[i])));
    return FileObject::fromData(d);
}

// One flattened map [key, value, key, value, ...].
DatabaseCodec::Map decodeMap(PlistReader& r) {
    DatabaseCodec::Map map;
    LocationCoding::decodeKeyedArray(r, decodeRecord, [&](const Location& key, FileObjectPtr value) {
        return map.insert(key, std::move(value));
    });
    return map;
}

} // namespace

void DatabaseCodec::encode(PlistWriter& writer, const Snapshot& entries) {
    writer.beginDict();
    writer.key(QStringLiteral("db"));
    writer.beginArray();
    writer.newline();
    for (const auto& [location, data] : entries) {
        const QString urlText = location.urlText();
        LocationCoding::encodeUrlText(writer, urlText);
        encodeRecord(writer, data, data.location == location ? urlText : data.location.urlText());
        writer.newline();
    }
    writer.endArray();
    writer.endDict();
}

DatabaseCodec::Map DatabaseCodec::decode(const QByteArray& document) {
    if (std::optional<Map> map = DatabaseReader::decode(document))
        return std::move(*map);
    PlistReader reader(document);
    return decode(reader);
}

DatabaseCodec::Map DatabaseCodec::decode(QIODevice* device) {
    if (device->isSequential())
        return decode(device->readAll());
    const qint64 start = device->pos();
    if (std::optional<Map> map = DatabaseReader::decode(device))
        return std::move(*map);
    // Anything the fast reader does not handle: the general reader gives the same
    // records or the exact error.
    if (!device->seek(start))
        throw PlistError(QStringLiteral("Unable to read the property list: ") + device->errorString());
    PlistReader reader(device);
    return decode(reader);
}

DatabaseCodec::Map DatabaseCodec::decode(PlistReader& reader) {
    // Every root value is decoded as a map; only "db" is kept.
    return reader.readRootValue(QLatin1StringView("db"), decodeMap);
}

} // namespace trevalin
