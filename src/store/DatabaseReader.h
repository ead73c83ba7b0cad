// DatabaseReader: a fast decoder for the content database file. It reads the raw UTF-8
// bytes in large blocks and decodes records straight from them, for the property-list
// subset this program writes and hand-edited files commonly hold: the elements dict,
// array, key, string, integer, real, true, false, date and data; the standard XML
// declaration and property-list DOCTYPE; comments; white space; the five predefined
// entities and numeric character references.
//
// Anything outside that subset (CDATA, other entities or declarations, attributes,
// processing instructions, a "base" URL, hexadecimal integers, ...) and every
// malformation makes it give up: decode() then returns nothing and the caller decodes
// the document with PlistReader, which yields the same records or the exact error.
// Whenever decode() returns a map, it is the map PlistReader would have produced.
//
// Stateless; safe from any thread (each call works on its own data).
#pragma once

#include "store/DatabaseCodec.h"

#include <QByteArray>

#include <optional>

class QIODevice;

namespace trevalin {

class DatabaseReader {
public:
    // Decodes a whole document held in memory.
    static std::optional<DatabaseCodec::Map> decode(const QByteArray& document);
    // Decodes the document read from `device`, from its current position to its end,
    // in blocks (the document is never held whole). On std::nullopt the device's
    // position is unspecified.
    static std::optional<DatabaseCodec::Map> decode(QIODevice* device);

    // Tests only: the size of the blocks read from a device (default 4 MiB), so that
    // small documents cross block boundaries everywhere. Not for concurrent use.
    static void setBlockSizeForTesting(qsizetype bytes);
};

} // namespace trevalin
