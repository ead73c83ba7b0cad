// LocationCoding: the keyed form of a location in the property-list files — a
// dictionary with "relative" holding the URL text ("file://" + percent-encoded path)
// and, only when the URL has one, "base" holding the base URL. Locations never carry
// a base when written; a base is resolved when reading. Also the canonical UUID text
// (36 characters, upper case). Stateless; safe from any thread.
#pragma once

#include "model/Location.h"
#include "store/PlistReader.h"

#include <QString>
#include <QUuid>

namespace trevalin {

class PlistWriter;

class LocationCoding {
public:
    static void encode(PlistWriter& writer, const Location& location);
    // The same dictionary from a location's urlText() computed by the caller.
    static void encodeUrlText(PlistWriter& writer, const QString& urlText);
    // Throws PlistError when the dictionary lacks "relative" or is not a file location.
    static Location decode(PlistReader& reader);

    static QString uuidText(const QUuid& uuid);
    // Writes uuidText(uuid) as a string value without building the text.
    static void writeUuid(PlistWriter& writer, const QUuid& uuid);
    // Throws PlistError (via reader) when the text is not a UUID.
    static QUuid uuidFromText(PlistReader& reader, const QString& text);

    // Decodes one flattened map [location, value, location, value, ...]: each key with
    // decode(), each value with decodeValue(reader), handed to insert(key, value), which
    // returns false for a key already present. Throws PlistError for anything but an
    // array, an odd number of elements, or a duplicate key.
    template <typename DecodeValue, typename Insert>
    static void decodeKeyedArray(PlistReader& r, DecodeValue decodeValue, Insert insert) {
        if (r.peekType() != PlistReader::Type::Array)
            r.fail(QStringLiteral("Expected to decode an array of key-value pairs but found %1 instead")
                       .arg(r.peekName()));
        r.beginArray();
        qsizetype offset = 0;
        while (r.hasNext()) {
            const qsizetype keyOffset = offset;
            const Location key = decode(r);
            if (!r.hasNext())
                r.fail(QStringLiteral("Unkeyed container reached end before value in key-value pair"));
            auto value = decodeValue(r);
            offset += 2;
            if (!insert(key, std::move(value)))
                r.fail(QStringLiteral("Duplicate key at offset %1").arg(keyOffset));
        }
    }
};

} // namespace trevalin
