// LogEntry: one log entry as it travels from the Logger to its destinations.
// Plain value type; built once per call on the caller's thread and shared,
// read-only, by every destination that takes it.
#pragma once

#include "logging/Level.h"

#include <QString>
#include <QVariant>

namespace trevalin {

struct LogEntry {
    Level level = Level::Verbose;
    QString message;
    // Empty on the main thread, else the label or name of the logging thread.
    QString thread;
    // The full source path as the caller gave it.
    QString file;
    // The shortened function name (see Logger::shortenFunctionName).
    QString function;
    int line = 0;
    // Invalid when the caller gave no context.
    QVariant context;
    // When the entry was made, in microseconds since 1970-01-01 00:00:00 UTC.
    qint64 timeUs = 0;
};

} // namespace trevalin
