// Logger: the process-wide logging channel. Callers hand it a level, a lazily
// evaluated message, the source file, function and line, and an optional context;
// it fans the entry out to every registered destination that takes it.
//
// Thread-safety: every entry point may be called from any thread. The destination
// set is meant to be changed during set-up; changes are guarded by a mutex anyway.
#pragma once

#include "logging/Level.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace trevalin {

class BaseDestination;

class Logger {
public:
    // Produces the message text. Called at most once per entry, and never when no
    // destination takes the entry.
    using MessageFn = std::function<QString()>;

    // Registers a destination; adding one that is already registered changes nothing.
    static void addDestination(const std::shared_ptr<BaseDestination>& destination);
    // Drops a destination by identity; returns whether it was registered.
    static bool removeDestination(const std::shared_ptr<BaseDestination>& destination);
    static void removeAllDestinations();
    // The registered destinations, in the order they were added.
    static std::vector<std::shared_ptr<BaseDestination>> destinations();
    static int countDestinations();

    // An invalid QVariant stands for "no context".
    static void verbose(const MessageFn& message, const char* file, const char* function, int line,
                        const QVariant& context = {});
    static void debug(const MessageFn& message, const char* file, const char* function, int line,
                      const QVariant& context = {});
    static void info(const MessageFn& message, const char* file, const char* function, int line,
                     const QVariant& context = {});
    static void warning(const MessageFn& message, const char* file, const char* function, int line,
                        const QVariant& context = {});
    static void error(const MessageFn& message, const char* file, const char* function, int line,
                      const QVariant& context = {});
    static void custom(Level level, const MessageFn& message, const char* file, const char* function,
                       int line, const QVariant& context = {});

    // Waits up to `seconds` until every asynchronous destination queue has drained.
    // Returns whether all of them finished in time.
    static bool flush(double seconds);

    // "name(label:)" becomes "name()"; a name without "(" is returned unchanged.
    static QString shortenFunctionName(const QString& function);
    // Empty on the main thread (the application's thread, or without an application
    // the thread that started the process); else the label set with setThreadLabel,
    // the label of the log queue running the call, the QThread's object name, or a
    // description of the thread, in that order.
    static QString currentThreadName();
    // The calling thread as "<QThread: 0x<address>>{number = <kernel thread id>,
    // name = <object name, or (null)>}", for debugging lines that say where work runs.
    static QString currentThreadDescription();
    static bool isMainThread();
    // Names the calling thread in log lines, like a worker queue's label. An empty
    // label clears it.
    static void setThreadLabel(const QString& label);
};

} // namespace trevalin

// The usual way to log: the message expression is evaluated lazily.
#define TLOG_VERBOSE(msg)                                                                                    \
    ::trevalin::Logger::verbose([&]() -> QString { return (msg); }, __FILE__, __func__, __LINE__)
#define TLOG_DEBUG(msg)                                                                                      \
    ::trevalin::Logger::debug([&]() -> QString { return (msg); }, __FILE__, __func__, __LINE__)
#define TLOG_INFO(msg)                                                                                       \
    ::trevalin::Logger::info([&]() -> QString { return (msg); }, __FILE__, __func__, __LINE__)
#define TLOG_WARNING(msg)                                                                                    \
    ::trevalin::Logger::warning([&]() -> QString { return (msg); }, __FILE__, __func__, __LINE__)
#define TLOG_ERROR(msg)                                                                                      \
    ::trevalin::Logger::error([&]() -> QString { return (msg); }, __FILE__, __func__, __LINE__)
