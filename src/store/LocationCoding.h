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
    // Throws PlistError when the dictionary lacks "relative" or is not a file location.
    static Location decode(PlistReader& reader);

    static QString uuidText(const QUuid& uuid);
    // Throws PlistError (via reader) when the text is not a UUID.
    static QUuid uuidFromText(PlistReader& reader, const QString& text);
};

} // namespace trevalin
