// DatabaseCodec: the property-list form of the content database — the root dictionary
// {"db": [key, record, key, record, ...]} with one dictionary of thirteen keys per
// record (FileObject) and one of three per digest — written through PlistWriter and
// read back by DatabaseReader (the common form, fast) or PlistReader (everything else).
//
// Stateless; safe from any thread (each call works on its own data).
#pragma once

#include "model/FileObject.h"
#include "model/Location.h"
#include "model/OrderedMap.h"

#include <QByteArray>

#include <utility>
#include <vector>

class QIODevice;

namespace trevalin {

class PlistReader;

class PlistWriter;

class DatabaseCodec {
public:
    // The records by location, in insertion order.
    using Map = OrderedMap<Location, FileObjectPtr>;
    // A copy of the records' data, taken under the database's lock and encoded outside it.
    using Snapshot = std::vector<std::pair<Location, FileObjectData>>;

    // Writes the root dictionary {"db": [key, record, ...]}.
    static void encode(PlistWriter& writer, const Snapshot& entries);
    // Decodes a whole document. Throws PlistError with the reason. The common form is
    // decoded by DatabaseReader; anything else by PlistReader (same result or error).
    static Map decode(const QByteArray& document);
    // Reads the device from its current position to its end.
    static Map decode(QIODevice* device);
    // Decodes with the general reader only.
    static Map decode(PlistReader& reader);
};

} // namespace trevalin
