// LocationCoding: the keyed form of a location in the property-list files — a
// dictionary with "relative" holding the URL text ("file://" + percent-encoded path)
// and, only when the URL has one, "base" holding the base URL. Locations never carry
// a base when written; a base is resolved when reading. Also the canonical UUID text
// (36 characters, upper case). Stateless; safe from any thread.
#pragma once

#include "model/Location.h"

#include <QString>
#include <QUuid>

namespace trevalin {

class PlistReader;
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
};

} // namespace trevalin
