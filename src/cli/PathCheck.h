// PathCheck: what trevalinctl checks about the paths named on its command line before
// the engine sees them, so that a path the engine would drop quietly is refused with
// the real reason instead. The checks use the model's own functions, the ones intake
// and triage judge a location with.
//
// Thread-safety: stateless; safe from any thread.
#pragma once

#include "model/Location.h"

#include <QString>

#include <optional>

namespace trevalin {

class PathCheck {
public:
    PathCheck() = delete;

    // The location an argument names. A relative argument is taken from the current
    // folder; when that cannot be determined (it was removed, or its path is longer
    // than the system allows) there is no location and `error` says why.
    static std::optional<Location> locate(const QString& argument, QString* error);

    // Why `add` cannot take `location` in, or no value when it can: a path the content
    // database cannot carry, nothing there, a file or folder that cannot be read, a
    // folder that cannot be listed, or something that is neither a regular file nor a
    // folder (a FIFO, socket or device).
    static std::optional<QString> addRefusal(const Location& location);

    // The path made safe for one line of output (control characters as "\xNN").
    static QString printable(const Location& location);
};

} // namespace trevalin
