// BaseDestination: the common state and the line rendering of every log
// destination. A destination decides by level (and optional filters) whether it
// takes an entry, renders it through its format string and, in a subclass, writes
// the result out on its own serial queue.
//
// Format language: the format is split at every "$"; each piece is an optional
// padding width (digits, optionally preceded by "-"), one token letter and literal
// text that follows the token's value:
//   I  nothing (carries the text before the first "$")
//   L  the level word          M  the message           T  the thread name
//   N  the file name without directory, cut before its first "."
//   n  the last path component  F  the shortened function name
//   l  the line number          C  escape + the level's colour     c  reset
//   D  the entry's time in the local time zone, the rest of the piece being the
//      date pattern (see DateFormatter);  d  nothing (ends a D run)
//   Z  as D, in UTC;  z  nothing (ends a Z run)
//   U  time since startDate as "HH:MM:SS.mmm"
//   X  the context's description, trimmed, or nothing without context
// A positive width right-aligns the value, a negative one left-aligns it; values
// are never cut. A piece whose letter is not in this list (or that has no
// letter) is copied unchanged together with its "$", so a stray "$" in a format
// stays visible. Trailing white space of the finished line is removed. A format
// that begins with "$J" renders the entry as one line of JSON instead, with the
// keys timestamp, level, message, thread, file, function, line and, when given,
// context.
//
// Thread-safety: all members may be called from any thread. The configuration is
// guarded by an internal mutex; `send` runs on the destination's queue.
#pragma once

#include "logging/DateFormatter.h"
#include "logging/Filter.h"
#include "logging/Level.h"
#include "logging/LogEntry.h"
#include "logging/SerialQueue.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace trevalin {

class BaseDestination {
public:
    static constexpr const char* defaultFormat = "$DHH:mm:ss.SSS$d $C$L$c $N.$F:$l - $M";

    BaseDestination();
    virtual ~BaseDestination();
    BaseDestination(const BaseDestination&) = delete;
    BaseDestination& operator=(const BaseDestination&) = delete;

    QString format() const;
    void setFormat(const QString& format);

    // Whether entries are written on the queue without the caller waiting.
    bool asynchronously() const { return m_asynchronously.load(std::memory_order_relaxed); }
    void setAsynchronously(bool value) { m_asynchronously.store(value, std::memory_order_relaxed); }

    Level minLevel() const { return Level(m_minLevel.load(std::memory_order_relaxed)); }
    void setMinLevel(Level level) { m_minLevel.store(int(level), std::memory_order_relaxed); }

    QString levelString(Level level) const;
    void setLevelString(Level level, const QString& text);
    QString levelColor(Level level) const;
    void setLevelColor(Level level, const QString& color);
    QString reset() const;
    void setReset(const QString& reset);
    QString escape() const;
    void setEscape(const QString& escape);

    QList<Filter> filters() const;
    void setFilters(const QList<Filter>& filters);
    void addFilter(const Filter& filter);

    // Origin of the "$U" token; the destination's creation time by default.
    QDateTime startDate() const;
    void setStartDate(const QDateTime& date);

    // "log-queue-" followed by a UUID.
    const QString& queueLabel() const { return m_queue.label(); }
    SerialQueue& queue() { return m_queue; }

    // Prints every take-or-drop decision to standard output.
    bool debugPrint() const { return m_debugPrint.load(std::memory_order_relaxed); }
    void setDebugPrint(bool value) { m_debugPrint.store(value, std::memory_order_relaxed); }

    // Whether this destination takes an entry. `message` is called only when a
    // message filter needs the text.
    bool shouldLevelBeLogged(Level level, const QString& path, const QString& function,
                             const std::function<QString()>& message) const;

    // Renders the entry; subclasses call this, then write the result. Returns no
    // value when nothing is to be written.
    virtual std::optional<QString> send(const LogEntry& entry);

    // The line for an entry under the current format (no JSON check, no I/O).
    QString formatMessage(const LogEntry& entry) const;
    // The JSON text of an entry, or no value when it cannot be made.
    std::optional<QString> messageToJson(const LogEntry& entry) const;

    // Writes one line (UTF-8 plus "\n") to standard output and flushes it.
    static void printLine(const QString& text);
    // The program's file name (the application's, else the running executable's, else
    // the application name): the name of the folders destinations keep their files in.
    // May be empty.
    static QString executableName();

protected:
    struct Piece {
        char16_t letter = 0; // 0: copied unchanged (unknown or missing letter)
        int padding = 0;
        QString rest;
        std::shared_ptr<DateFormatter> date; // for D and Z
    };

    mutable std::mutex m_configMutex;
    QString m_format;                     // guarded by m_configMutex
    QList<Piece> m_pieces;                // guarded by m_configMutex; parsed m_format
    bool m_json = false;                  // guarded by m_configMutex
    std::array<QString, 5> m_levelString; // guarded by m_configMutex
    std::array<QString, 5> m_levelColor;  // guarded by m_configMutex
    QString m_reset;                      // guarded by m_configMutex
    QString m_escape;                     // guarded by m_configMutex
    QList<Filter> m_filters;              // guarded by m_configMutex
    qint64 m_startUs = 0;                 // guarded by m_configMutex

private:
    QString formatLocked(const LogEntry& entry) const;
    static QString contextDescription(const QVariant& context);

    std::atomic<bool> m_asynchronously{true};
    std::atomic<int> m_minLevel{int(Level::Verbose)};
    std::atomic<bool> m_debugPrint{false};
    std::atomic<bool> m_hasFilters{false};
    SerialQueue m_queue;
};

} // namespace trevalin
